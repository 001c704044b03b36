// The surface operations: shift, scale, grid, merge and split. Each opens
// FOLDER as the project, finds the surface NAME in it and does what the
// operations window's Apply does with the typed value, printing the names of
// the surfaces written (the grid: its file) and the "finished" text.

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/storage/AtomicFile.h"
#include "project/actions/Actions.h"
#include "project/actions/OperationActions.h"
#include "project/actions/ProjectState.h"
#include "project/files/SurfaceFiles.h"

namespace orvane::cli {

namespace {

struct OperationArgs {
  std::string folder, name, value;
  std::string maxSide;  // --max-side as typed, "" when not given
  CLI::App* command = nullptr;
  const char* valueName = "";
};

void PrintWarnings(const std::vector<std::string>& warnings) {
  for (const std::string& w : warnings) std::cerr << w << '\n';
}

// The typed value as given: the parser takes "-inf" or "--5" for an option,
// and they are refused as the number they are not, like any other typo.
std::optional<std::string> TypedValue(const OperationArgs& a) {
  std::vector<std::string> rest = a.command->remaining();
  if (a.command->count(a.valueName) == 1 && rest.empty()) return a.value;
  if (a.command->count(a.valueName) == 0 && rest.size() == 1) return rest.front();
  if (rest.empty())
    std::cerr << a.valueName << " is required\n";
  else
    std::cerr << "The following argument was not expected: " << rest.back() << '\n';
  return std::nullopt;
}

int RunOperation(actions::Operation operation, const OperationArgs& a) {
  const std::optional<std::string> value = TypedValue(a);
  if (!value) return 2;
  // The whole command is one change of the folder: nothing else changes it
  // between the scan and the end.
  const FolderLock lock(a.folder);
  const actions::ActionResult opened = OpenProjectOrCancel(a.folder);
  PrintWarnings(opened.Warnings);
  if (!opened.ok()) {
    std::cerr << opened.Message << '\n';
    return 2;
  }
  const actions::ActionResult first = actions::FindSurface(a.name);
  if (!first.ok()) {
    std::cerr << first.Message << '\n';
    return 2;
  }
  std::shared_ptr<TriangleMesh> second;
  if (operation == actions::Operation::Merge) {
    const actions::ActionResult other = actions::FindSurface(*value);
    if (!other.ok()) {
      std::cerr << other.Message << '\n';
      return 2;
    }
    second = other.Surface;
  }
  UseMaxSide(a.maxSide);
  InterruptGuard guard;
  actions::ActionResult r;
  {
    ProgressLine progress;
    r = actions::Run(operation, first.Surface, second, *value, [] { return Interrupted(); });
  }
  actions::Apply(r);
  PrintWarnings(r.Warnings);
  if (!r.ok()) {
    std::cerr << r.Message << '\n';
    return 2;
  }
  if (!KeepMaxSide(a.folder, a.maxSide)) return 2;
  for (const std::string& name : r.SurfaceNames) std::cout << OneLine(name) << '\n';
  if (r.SurfaceNames.empty())
    for (const auto& file : r.Written) std::cout << OneLine(file.string()) << '\n';
  std::cout << r.Message << '\n';
  if (Interrupted())
    std::cerr << "Ctrl+C came after the files were complete: the new files are kept\n";
  return 0;
}

Runner Add(CLI::App& app, const char* name, const std::string& help, actions::Operation operation,
           const char* valueName, const char* valueHelp) {
  auto a = std::make_shared<OperationArgs>();
  auto* cmd = app.add_subcommand(name, help);
  cmd->add_option("FOLDER", a->folder, "Project folder (holds the surfaces' files)")->required();
  cmd->add_option("NAME", a->name, "Surface name")->required();
  cmd->add_option(valueName, a->value, valueHelp);
  cmd->allow_extras();
  a->command = cmd;
  a->valueName = valueName;
  if (operation != actions::Operation::Grid) AddMaxSideOption(cmd, a->maxSide);
  return [a, operation] { return RunOperation(operation, *a); };
}

// How the operations read a typed number, and how they stop.
const std::string kTypedNumber =
    "The number must be a whole number text with \".\" as decimal point; anything else\n"
    "(\"2,5\", \"abc\", \"\") is refused before anything is done. ";
const std::string kCancel = "Ctrl+C cancels and leaves every file as it was.";

}  // namespace

Runner AddShiftCommand(CLI::App& app) {
  return Add(app, "shift",
             "Add DZ to every elevation of surface NAME and rebuild it: every line of NAME.xyz is\n"
             "kept with its elevation changed (-999, no elevation, stays; a point that would\n"
             "land on -999 is refused), .dsp and .tin are rewritten, the elevations of NAME.bnd\n"
             "and NAME.brk change alike, NAME.con is removed. " +
                 kTypedNumber + kCancel,
             actions::Operation::Shift, "DZ", "Elevation shift (m)");
}

Runner AddScaleCommand(CLI::App& app) {
  return Add(app, "scale",
             "Multiply every elevation of surface NAME by FACTOR and rebuild it, as shift does.\n" +
                 kTypedNumber + kCancel,
             actions::Operation::Scale, "FACTOR", "Scale factor");
}

Runner AddGridCommand(CLI::App& app) {
  return Add(app, "grid",
             "Write NAME.grd: the square grid of surface NAME with spacing SIDE (rounded to a\n"
             "whole number, halves to even; at least 2), two triangle lines per cell. A grid\n"
             "without a cell on the surface (spacing wider than it) is refused.\n" +
                 kTypedNumber + kCancel,
             actions::Operation::Grid, "SIDE", "Grid spacing (m)");
}

Runner AddMergeCommand(CLI::App& app) {
  return Add(app, "merge",
             "Merge surface OTHER into surface NAME as the new surface NAME_OTHER, built from\n"
             "the merged points (NAME_OTHER.xyz, .dsp, .tin). The files of NAME and OTHER are\n"
             "not touched; a name already in use is refused. " +
                 kCancel,
             actions::Operation::Merge, "OTHER", "The surface merged into NAME");
}

Runner AddSplitCommand(CLI::App& app) {
  return Add(app, "split",
             "Split surface NAME at ELEVATION into NAME__inferior (at or below) and\n"
             "NAME__superior (at or above): each is the pieces of NAME's triangles on its side\n"
             "of the level, every piece kept (.xyz, .dsp, .tin). A side without triangles is\n"
             "not written; names in use are refused.\n" +
                 kTypedNumber + kCancel,
             actions::Operation::Split, "ELEVATION", "Elevation of the cut (m)");
}

}  // namespace orvane::cli
