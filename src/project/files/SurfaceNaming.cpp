#include "project/files/SurfaceNaming.h"

namespace orvane {

namespace fs = std::filesystem;

std::string BaseName(std::string_view path) {
  size_t start = path.size();
  while (start > 0 && path[start - 1] != '/' && path[start - 1] != '\\') --start;
  std::string_view name = path.substr(start);
  return std::string(name.substr(0, name.find('.')));
}

std::string SurfaceNameOfFile(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot));
}

std::string SurfaceName(const TriangleMesh& mesh) {
  return VariantToText(mesh.Tag);
}

fs::path SurfaceFile(const fs::path& folder, std::string_view name, std::string_view ext) {
  return folder / (std::string(name) + std::string(ext));
}

FileSetRefusal CheckSurfaceName(std::string_view name) {
  if (name.empty()) return FileSetRefusal::EmptyName;
  if (name == "." || name == "..") return FileSetRefusal::InvalidName;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127 || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos)
      return FileSetRefusal::InvalidName;
  }
  if (name.back() == ' ' || name.back() == '.') return FileSetRefusal::InvalidName;
  if (name.size() > kMaxSurfaceName) return FileSetRefusal::NameTooLong;
  return FileSetRefusal::None;
}

}  // namespace orvane
