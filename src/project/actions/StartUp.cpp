#include "project/actions/StartUp.h"

#include <vector>

#include "project/actions/ProjectState.h"
#include "project/settings/TextIds.h"

namespace orvane {

std::string TextKey(int n) {
  std::string digits = std::to_string(n);
  if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
  return "m1" + digits;
}

std::filesystem::path HelpFilePathFor(const std::filesystem::path& programFolder,
                                      std::string_view languageCode) {
  return programFolder / ("Orvane_" + std::string(languageCode) + ".html");
}

void LoadSettings(const SettingsStore& store) {
  const std::string code = ReadSetting(store, kSettingsApp, kLanguageSection, kLanguageKey, "");
  std::vector<std::string> texts;
  texts.reserve(text::kTextCount);
  for (int n = 1; n <= text::kTextCount; ++n)
    texts.push_back(ReadSetting(store, kSettingsApp, kTextSection, TextKey(n), ""));

  ProjectState& state = Project();
  state.LanguageCode = code;
  state.HelpFilePath = HelpFilePathFor(ProgramFolder(), code).string();
  state.TextTable = std::move(texts);
  state.ApplicationTitle = state.Text(text::kApplicationTitle);
}

void LoadSettings(std::vector<std::string>* warnings) {
  const auto file = FindSettingsFile(warnings);
  LoadSettings(file ? SettingsStore::Load(*file) : SettingsStore());
}

ProjectArgument SplitCommandLine(std::string_view argument) {
  ProjectArgument result;
  const size_t caret = argument.find('^');
  if (caret != std::string_view::npos) {
    result.Name = argument.substr(0, caret);
    const std::string_view rest = argument.substr(caret + 1);
    result.Folder = rest.substr(0, rest.find('^'));
  } else {
    result.Folder = argument;
  }
  while (result.Folder.size() > 1 && result.Folder.back() == '/') result.Folder.pop_back();
  if (caret == std::string_view::npos) {
    const size_t slash = result.Folder.rfind('/');
    result.Name = slash == std::string::npos ? result.Folder : result.Folder.substr(slash + 1);
  }
  return result;
}

void ApplyCommandLine(std::string_view argument) {
  ProjectArgument parsed = SplitCommandLine(argument);
  Project().ProjectName = std::move(parsed.Name);
  Project().ProjectFolder = std::move(parsed.Folder);
}

}  // namespace orvane
