#pragma once
// The user-interface texts of the windows: entries of the project's text
// table (project/settings/TextIds.h), taken at the moment they are shown.

#include <QString>

#include "project/actions/ProjectState.h"

namespace orvane::app {

// Entry n (1-based) of the text table; "" when it is empty or out of range.
inline QString Text(int n) {
  return QString::fromStdString(Project().Text(n));
}

}  // namespace orvane::app
