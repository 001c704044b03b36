#include "project/files/FolderFiles.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace orvane {

namespace fs = std::filesystem;

std::string LowerCaseBytes(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool FileExists(const fs::path& path) {
  std::error_code ec;
  const fs::file_status s = fs::status(path, ec);
  return !ec && fs::exists(s) && !fs::is_directory(s);
}

std::vector<std::string> ListFiles(const fs::path& folder, std::string_view extension) {
  std::vector<std::string> names;
  std::string suffix(1, '.');
  suffix += LowerCaseBytes(extension);
  std::error_code ec;
  fs::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code sec;
    if (!it->is_regular_file(sec)) continue;
    const std::string name = it->path().filename().string();
    if (name.size() > suffix.size() &&
        LowerCaseBytes(std::string_view(name).substr(name.size() - suffix.size())) == suffix)
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace orvane
