#include "project/ProjectState.h"

namespace orvane {

const std::string& ProjectState::Text(int n) const {
  static const std::string empty;
  if (n < 1 || n > static_cast<int>(TextTable.size())) return empty;
  return TextTable[static_cast<size_t>(n) - 1];
}

ProjectState& Project() {
  static ProjectState state;
  return state;
}

}  // namespace orvane
