// undo, redo and history: the project's last changes, reverted, repeated
// and listed, as the explorer's Undo and Redo do.

#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/storage/AtomicFile.h"
#include "project/actions/HistoryActions.h"
#include "project/actions/ProjectState.h"

namespace orvane::cli {

namespace {

struct HistoryArgs {
  std::string folder;
};

void PrintChange(const char* label, const ChangeSummary& change) {
  std::cout << label << '\t' << OneLine(change.Title) << '\n';
  for (const ChangeSummary::File& f : change.Files)
    std::cout << '\t' << OneLine(f.Name) << '\t'
              << (f.Before == f.After ? "replaced"
                  : f.After           ? "added"
                                      : "removed")
              << '\n';
}

int RunMove(const HistoryArgs& a, bool back) {
  const FolderLock lock(a.folder);
  const actions::ActionResult opened = OpenProjectOrCancel(a.folder);
  if (!opened.ok()) {
    std::cerr << opened.Message << '\n';
    return 2;
  }
  InterruptBlock block;
  const actions::ActionResult r = back ? actions::Undo() : actions::Redo();
  if (!r.ok()) {
    std::cerr << r.Message << '\n';
    return 2;
  }
  std::cout << OneLine(r.Message) << '\n';
  for (const auto& file : r.Written)
    std::cout << "restored\t" << OneLine(file.filename().string()) << '\n';
  for (const auto& file : r.Deleted)
    std::cout << "removed\t" << OneLine(file.filename().string()) << '\n';
  return 0;
}

int RunHistory(const HistoryArgs& a) {
  const actions::ActionResult opened = OpenProjectOrCancel(a.folder);
  if (!opened.ok()) {
    std::cerr << opened.Message << '\n';
    return 2;
  }
  const Result<ChangeList> list = actions::History();
  if (!list) {
    std::cerr << list.Error().Text() << '\n';
    return 2;
  }
  for (const ChangeSummary& c : list->Undoable) PrintChange("undo", c);
  for (const ChangeSummary& c : list->Redoable) PrintChange("redo", c);
  return 0;
}

CLI::App* Add(CLI::App& app, const char* name, const char* help, HistoryArgs& a) {
  auto* cmd = app.add_subcommand(name, help);
  cmd->add_option("FOLDER", a.folder, "Project folder (holds the surfaces' files)")->required();
  return cmd;
}

}  // namespace

Runner AddUndoCommand(CLI::App& app) {
  auto a = std::make_shared<HistoryArgs>();
  Add(app, "undo",
      "Put the project's files back exactly as they were before its last change (a build,\n"
      "import, save as, rename, delete, operation or colouring). Refused when one of its\n"
      "files changed since.",
      *a);
  return [a] { return RunMove(*a, true); };
}

Runner AddRedoCommand(CLI::App& app) {
  auto a = std::make_shared<HistoryArgs>();
  Add(app, "redo", "Make the last change undone again.", *a);
  return [a] { return RunMove(*a, false); };
}

Runner AddHistoryCommand(CLI::App& app) {
  auto a = std::make_shared<HistoryArgs>();
  Add(app, "history",
      "List the changes undo would revert (newest first), then those redo would repeat,\n"
      "each with its files: added, replaced or removed.",
      *a);
  return [a] { return RunHistory(*a); };
}

}  // namespace orvane::cli
