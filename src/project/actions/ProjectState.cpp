#include "project/actions/ProjectState.h"

namespace orvane {

const std::string& ProjectState::Text(int n) const {
  static const std::string empty;
  if (n < 1 || n > static_cast<int>(TextTable.size())) return empty;
  return TextTable[static_cast<size_t>(n) - 1];
}

void ProjectState::CloseProject() {
  ProjectState fresh;
  fresh.LanguageCode = std::move(LanguageCode);
  fresh.HelpFilePath = std::move(HelpFilePath);
  fresh.TextTable = std::move(TextTable);
  fresh.ApplicationTitle = std::move(ApplicationTitle);
  *this = std::move(fresh);
}

ProjectState& Project() {
  static ProjectState state;
  return state;
}

}  // namespace orvane
