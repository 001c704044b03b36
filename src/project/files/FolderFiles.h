#pragma once
// The files of a folder as the file set sees them.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// True when path names an existing file (not a folder); any error gives false.
bool FileExists(const std::filesystem::path& path);

// Names (without folder) of the regular files of folder whose name ends in
// "." + extension (letter case ignored, as file patterns are on the suite's
// home platform), sorted by name as bytes so every machine lists the same
// order. A missing or unreadable folder gives an empty list.
std::vector<std::string> ListFiles(const std::filesystem::path& folder, std::string_view extension);

// text with every byte lowered by std::tolower: the letter case that file
// patterns ignore.
std::string LowerCaseBytes(std::string_view text);

}  // namespace orvane
