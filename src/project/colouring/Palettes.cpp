#include "project/colouring/Palettes.h"

#include <system_error>

#include "project/files/NameCase.h"
#include "project/files/SurfaceFiles.h"
#include "project/settings/Settings.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string PaletteName(std::string_view text) {
  return UpperCaseName(TrimBlanks(text));
}

}  // namespace

std::vector<fs::path> PaletteSearchPath() {
  std::vector<fs::path> paths;
  if (const fs::path program = ProgramFolder(); !program.empty()) {
    paths.push_back(program / "data" / "palettes");
    paths.push_back((program / ".." / "share" / "orvane" / "palettes").lexically_normal());
  }
  return paths;
}

fs::path PaletteFolder() {
  for (const fs::path& folder : PaletteSearchPath()) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return folder;
  }
  return {};
}

bool IsSlopePaletteName(std::string_view name, std::string_view slopeName) {
  const std::string slope = PaletteName(slopeName);
  return !slope.empty() && PaletteName(name) == slope;
}

std::vector<Palette> ListPalettes(const fs::path& folder, std::string_view slopeName) {
  std::vector<Palette> palettes;
  for (const std::string& file : ListFiles(folder, "rgb")) {
    Palette p;
    p.Name = PaletteName(std::string_view(file).substr(0, file.find('.')));
    if (p.Name.empty() || FindPalette(palettes, p.Name)) continue;
    p.File = folder / file;
    p.Slope = IsSlopePaletteName(p.Name, slopeName);
    palettes.push_back(std::move(p));
  }
  return palettes;
}

std::optional<Palette> FindPalette(std::span<const Palette> palettes, std::string_view name) {
  const std::string wanted = PaletteName(name);
  for (const Palette& p : palettes)
    if (p.Name == wanted) return p;
  return std::nullopt;
}

}  // namespace orvane
