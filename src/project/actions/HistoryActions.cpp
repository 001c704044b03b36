#include "project/actions/HistoryActions.h"

#include <utility>

#include "project/actions/ProjectState.h"
#include "project/settings/ProjectSettings.h"
#include "project/settings/TextIds.h"

namespace orvane::actions {

namespace fs = std::filesystem;

namespace {

HistoryLimits Limits(const fs::path& folder) {
  HistoryLimits limits;
  const Result<ProjectSettings> settings = ReadProjectSettings(folder);
  if (settings) limits.Bytes = static_cast<uint64_t>(settings->UndoHistoryMegabytes * 1024 * 1024);
  if (limits.Bytes == 0) limits.Changes = 0;
  return limits;
}

std::string TextOr(int n, std::string_view english) {
  const std::string text = Project().Text(n);
  return text.empty() ? std::string(english) : text;
}

ActionResult Move(bool back) {
  const fs::path folder = Project().ProjectFolder;
  Result<ChangeSummary> moved = back ? UndoChange(folder) : RedoChange(folder);
  if (!moved) {
    if (moved.Error().Code() == ErrorCode::Refused)
      return back ? ActionResult::Refused(TextOr(text::kNothingToUndo, "Nothing to undo"), {},
                                          text::kNothingToUndo)
                  : ActionResult::Refused(TextOr(text::kNothingToRedo, "Nothing to redo"), {},
                                          text::kNothingToRedo);
    return ActionResult::From(moved.Error());
  }
  ActionResult r;
  r.Message =
      (back ? TextOr(text::kUndo, "Undo") : TextOr(text::kRedo, "Redo")) + ": " + moved->Title;
  for (const ChangeSummary::File& f : moved->Files) {
    const bool there = back ? f.Before : f.After;
    (there ? r.Written : r.Deleted).push_back(folder / f.Name);
  }
  return r;
}

}  // namespace

ChangeRecording RecordChange(int verbText, std::string_view surface) {
  return RecordChange(Project().Text(verbText) + " " + std::string(surface));
}

ChangeRecording RecordChange(std::string title) {
  const fs::path folder = Project().ProjectFolder;
  return ChangeRecording(folder, std::move(title), Limits(folder));
}

ActionResult Undo() {
  return Move(true);
}

ActionResult Redo() {
  return Move(false);
}

Result<ChangeList> History() {
  return ListChanges(Project().ProjectFolder);
}

}  // namespace orvane::actions
