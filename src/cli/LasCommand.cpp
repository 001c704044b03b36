// import-las: the points of a LAS point cloud as a surface's source points.

#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"
#include "project/actions/LasImportActions.h"

namespace orvane::cli {

namespace {

struct LasArgs {
  std::string folder, file, name;
  std::string classes;  // as typed; "" the default
  std::string returns = "all";
  std::string thin;  // as typed; "" no thinning
};

int RunImportLas(const LasArgs& a) {
  Result<LasSelection> selection = ParseLasClasses(a.classes);
  if (!selection) {
    std::cerr << selection.Error().Text() << '\n';
    return 2;
  }
  selection->Returns = a.returns == "first"  ? LasReturns::First
                       : a.returns == "last" ? LasReturns::Last
                                             : LasReturns::All;
  if (!a.thin.empty()) {
    const Result<double> cell = ParseTypedNumber(a.thin);
    if (!cell || !(*cell > 0)) {
      std::cerr << (cell ? "--thin " + a.thin + ": the cell size must be more than 0"
                         : cell.Error().Text())
                << '\n';
      return 2;
    }
    selection->ThinCell = *cell;
  }
  // The whole command is one change of the folder.
  const FolderLock lock(a.folder);
  const actions::ActionResult open = OpenProjectOrCancel(a.folder);
  for (const std::string& w : open.Warnings) std::cerr << w << '\n';
  if (!open.ok()) {
    std::cerr << open.Message << '\n';
    return 2;
  }
  InterruptGuard guard;
  actions::ActionResult r;
  {
    ProgressLine progress;
    r = actions::ImportLas(a.file, a.name, *selection, [] { return Interrupted(); });
  }
  if (!r.ok()) {
    std::cerr << r.Message << '\n';
    return 2;
  }
  std::cout << "classes: " << r.Message << '\n';
  for (const actions::Figure& f : r.Figures) std::cout << f.Name << ": " << f.Value << '\n';
  std::cout << "written: " << r.File.string() << '\n';
  return 0;
}

}  // namespace

Runner AddImportLasCommand(CLI::App& app) {
  auto a = std::make_shared<LasArgs>();
  auto* cmd = app.add_subcommand(
      "import-las",
      "Write NAME.xyz from the points of a LAS point cloud (versions 1.0 to 1.4, point\n"
      "formats 0 to 10; compressed LAZ files are refused). Withheld points are left out.\n"
      "By default the ground points (class 2) when the file has any, else every point;\n"
      "says which classes it kept and how many points. Refuses an existing NAME.xyz.\n"
      "Ctrl+C cancels and writes nothing.");
  cmd->add_option("FOLDER", a->folder, "Project folder")->required();
  cmd->add_option("FILE", a->file, "Point cloud (.las)")->required();
  cmd->add_option("NAME", a->name, "Surface name: the points go to NAME.xyz")->required();
  cmd->add_option("--classes", a->classes,
                  "Classification codes to keep, \"2,9\", or \"all\" (default: ground 2 when\n"
                  "the file has any, else all)");
  cmd->add_option("--returns", a->returns, "Returns to keep: all, first or last (default all)")
      ->check(CLI::IsMember({"all", "first", "last"}));
  cmd->add_option("--thin", a->thin,
                  "Keep one point per CELL x CELL plan cell (metres): the lowest, the first\n"
                  "in the file among equally low ones");
  return [a] { return RunImportLas(*a); };
}

}  // namespace orvane::cli
