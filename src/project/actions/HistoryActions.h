#pragma once
// Undo and redo of the project's changes (core/storage/ChangeHistory.h),
// for the windows and the command line alike.

#include <string>
#include <string_view>

#include "core/storage/ChangeHistory.h"
#include "project/actions/Actions.h"

namespace orvane::actions {

// Records what the action about to run changes in the project folder as
// one change, titled by the verb's text-table entry and the surface. Held
// for the whole action; the limits are the project's settings.
ChangeRecording RecordChange(int verbText, std::string_view surface);
ChangeRecording RecordChange(std::string title);

// Puts the project's files back as they were before its last change, or
// repeats the last change undone. The message names the change; Written
// and Deleted list the files. The surfaces in memory are the old ones
// until the project is opened again.
ActionResult Undo();
ActionResult Redo();

// The changes undo and redo would revert next, newest first.
Result<ChangeList> History();

}  // namespace orvane::actions
