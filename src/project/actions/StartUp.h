#pragma once
// Start-up: the language, the help-file path and the 100 user-interface texts
// from the settings store, and the command-line argument that names the
// project.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "project/settings/Settings.h"

namespace orvane {

// Where the settings live (see Settings.h): application, sections, keys.
inline constexpr std::string_view kSettingsApp = "ORVANE";
inline constexpr std::string_view kLanguageSection = "Language";
inline constexpr std::string_view kLanguageKey = "Current";
// Two backslash characters, exactly as the suite writes the section.
inline constexpr std::string_view kTextSection = "Language\\\\orv_tessaly";

// "m1" and n in five digits: m100001 ... m100103.
std::string TextKey(int n);

// <programFolder>/Orvane_<languageCode>.html; the help is HTML, so the
// stem is the suite's and the extension is ours.
std::filesystem::path HelpFilePathFor(const std::filesystem::path& programFolder,
                                      std::string_view languageCode);

// Fills Project().LanguageCode, HelpFilePath, TextTable (entries 1..100;
// a missing text is "") and ApplicationTitle (text 2) from store. Raises the
// SettingsError of ReadSetting; the state is changed only when every read
// succeeded.
void LoadSettings(const SettingsStore& store);
// The same from the store in force (FindSettingsFile, whose warnings go to
// warnings when given).
void LoadSettings(std::vector<std::string>* warnings = nullptr);

struct ProjectArgument {
  std::string Name;
  std::string Folder;  // without a trailing "/" (except the root itself)
  friend bool operator==(const ProjectArgument&, const ProjectArgument&) = default;
};

// "NAME^FOLDER" as the suite passes it: split at every "^", field 0 the
// name, field 1 the folder (later fields ignored). Without a "^" the whole
// argument is the folder and its last component the name.
ProjectArgument SplitCommandLine(std::string_view argument);

// Sets Project().ProjectName and ProjectFolder from the argument.
void ApplyCommandLine(std::string_view argument);

}  // namespace orvane
