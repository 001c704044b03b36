#pragma once
// Every file of a folder with its bytes, for tests that prove an operation
// left a project exactly as it was (or exactly as it should be). The
// program's own bookkeeping (".orvane-..." entries: the undo history and
// state) is left out: it says what was done, it is not the project.

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace orvane::testing {

using FolderSnapshot = std::map<std::string, std::string>;  // file name -> bytes

inline FolderSnapshot TakeSnapshot(const std::filesystem::path& folder) {
  FolderSnapshot out;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    if (e.path().filename().string().starts_with(".orvane-")) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    out[e.path().filename().string()] = s.str();
  }
  return out;
}

}  // namespace orvane::testing
