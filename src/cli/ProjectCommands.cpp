// The project commands: list, build, import, saveas, rename and delete. Each
// opens FOLDER as the project (its .dsp files scanned in name order, the
// surfaces known by the names they carry) and does what the explorer's
// buttons do, without asking for confirmation.

#include <iostream>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"
#include "core/support/Threads.h"
#include "project/actions/Actions.h"
#include "project/actions/ProjectState.h"
#include "project/files/SurfaceFiles.h"

namespace orvane::cli {

namespace {

struct ProjectArgs {
  std::string folder, name, other;
  unsigned threads = 0;  // build: 0 every core
  std::string maxSide;   // build: --max-side as typed, "" when not given
};

// The explorer's count column: a leading blank for non-negative numbers.
std::string CountColumn(int32_t n) {
  return (n >= 0 ? " " : "") + std::to_string(n);
}

// ".xyz, .bnd and .tin": the help names exactly the files a command handles.
std::string Companions(std::span<const std::string_view> exts) {
  std::string text;
  for (size_t k = 0; k < exts.size(); ++k) {
    if (k > 0) text += k + 1 == exts.size() ? " and " : ", ";
    text += exts[k];
  }
  return text;
}

void PrintWarnings(const std::vector<std::string>& warnings) {
  for (const std::string& w : warnings) std::cerr << w << '\n';
}

// Opens FOLDER as the project, with the failed loads on stderr; false after
// a message when it cannot be opened.
bool Open(const std::string& folder) {
  const actions::ActionResult r = OpenProjectOrCancel(folder);
  PrintWarnings(r.Warnings);
  if (!r.ok()) std::cerr << r.Message << '\n';
  return r.ok();
}

// The surface NAME of the open project; null after a message.
std::shared_ptr<TriangleMesh> Find(const std::string& name) {
  actions::ActionResult r = actions::FindSurface(name);
  if (!r.ok()) std::cerr << r.Message << '\n';
  return r.Surface;
}

// Reports a file-set action: warnings and refusals on stderr. A warning is a
// step that failed (a file not copied or not deleted), so it fails the
// command too.
int Finish(const actions::ActionResult& r) {
  PrintWarnings(r.Warnings);
  if (!r.ok()) {
    std::cerr << r.Message << '\n';
    return 2;
  }
  return r.Warnings.empty() ? 0 : 2;
}

int RunList(const ProjectArgs& a) {
  if (!Open(a.folder)) return 2;
  for (const auto& s : Project().Surfaces) {
    // A surface without points (a file that did not load) has no range.
    const ExtentsRec e = s->PointCount() > 0 ? s->GetExtents() : ExtentsRec{PointRec{}, PointRec{}};
    std::cout << OneLine(SurfaceName(*s)) << '\t' << CountColumn(s->PointCount()) << '\t'
              << CountColumn(s->TriangleCount()) << '\t' << FormatFixed(e.Min.Z, 3) << '\t'
              << FormatFixed(e.Max.Z, 3) << '\n';
  }
  return 0;
}

int RunBuild(const ProjectArgs& a) {
  SetThreadLimit(a.threads);
  // The whole command is one change of the folder: nothing else changes it
  // between the scan and the end.
  const FolderLock lock(a.folder);
  if (!Open(a.folder)) return 2;
  UseMaxSide(a.maxSide);
  InterruptGuard guard;
  actions::ActionResult r;
  {
    ProgressLine progress;
    r = actions::Build(a.name, [] { return Interrupted(); });
  }
  PrintWarnings(r.Warnings);
  if (!r.ok()) {
    std::cerr << r.Message << '\n';
    return 2;
  }
  if (!KeepMaxSide(a.folder, a.maxSide)) return 2;
  const BuildResult& b = r.Builds.front();
  std::cout << "points: " << b.PointCount << '\n'
            << "triangles: " << b.TriangleCount << '\n'
            << "zones: " << b.ZoneCount << '\n'
            << "breaklines: " << b.BreaklineCount << '\n'
            << "removed outside zones: " << b.TrimmedTriangles << '\n'
            << "left out for their side: " << b.LongSidesLeftOut << " (max side "
            << FormatNumber(b.MaxTriangleSide) << " m)\n";
  for (const BuildResult::Phase& p : b.Phases)
    std::cout << "time " << p.Name << ": " << FormatFixed(p.Seconds, 3) << " s\n";
  if (Interrupted())
    std::cerr << "Ctrl+C came after the files of " << a.name
              << " were complete: the new surface is kept\n";
  return 0;
}

int RunImport(const ProjectArgs& a) {
  // The whole command is one change of the folder: nothing else changes it
  // between the scan and the end.
  const FolderLock lock(a.folder);
  if (!Open(a.folder)) return 2;
  InterruptBlock block;
  actions::ActionResult r = actions::Import(a.name);
  actions::Apply(r);
  if (r.ok() && r.Surface) std::cout << OneLine(SurfaceName(*r.Surface)) << '\n';
  return Finish(r);
}

int RunSaveAs(const ProjectArgs& a) {
  // The whole command is one change of the folder: nothing else changes it
  // between the scan and the end.
  const FolderLock lock(a.folder);
  if (!Open(a.folder)) return 2;
  auto surface = Find(a.name);
  if (!surface) return 2;
  InterruptBlock block;
  actions::ActionResult r = actions::SaveAs(surface, a.other);
  actions::Apply(r);
  if (r.ok() && r.Surface) std::cout << OneLine(SurfaceName(*r.Surface)) << '\n';
  return Finish(r);
}

int RunRename(const ProjectArgs& a) {
  // The whole command is one change of the folder: nothing else changes it
  // between the scan and the end.
  const FolderLock lock(a.folder);
  if (!Open(a.folder)) return 2;
  auto surface = Find(a.name);
  if (!surface) return 2;
  InterruptBlock block;
  actions::ActionResult r = actions::Rename(surface, a.other);
  actions::Apply(r);
  if (r.ok()) std::cout << OneLine(SurfaceName(*surface)) << '\n';
  return Finish(r);
}

int RunDelete(const ProjectArgs& a) {
  // The whole command is one change of the folder: nothing else changes it
  // between the scan and the end.
  const FolderLock lock(a.folder);
  if (!Open(a.folder)) return 2;
  InterruptBlock block;
  actions::ActionResult r = actions::Delete(a.name);
  actions::Apply(r);
  return Finish(r);
}

CLI::App* Add(CLI::App& app, const char* name, const std::string& help, ProjectArgs& a) {
  auto* cmd = app.add_subcommand(name, help);
  cmd->add_option("FOLDER", a.folder, "Project folder (holds the surfaces' files)")->required();
  return cmd;
}

}  // namespace

Runner AddListCommand(CLI::App& app) {
  auto a = std::make_shared<ProjectArgs>();
  Add(app, "list",
      "List the project's surfaces, one per line in scan order, tab-separated: name, points,\n"
      "triangles, lowest and highest elevation (\"0.000\").",
      *a);
  return [a] { return RunList(*a); };
}

Runner AddBuildCommand(CLI::App& app) {
  auto a = std::make_shared<ProjectArgs>();
  auto* cmd = Add(app, "build",
                  "Build surface NAME from NAME.xyz with its zones (NAME.bnd) and breaklines\n"
                  "(NAME.brk); write NAME.dsp and NAME.tin. Triangles with a side of the\n"
                  "project's longest side or more are left out, and counted (--max-side).\n"
                  "Ctrl+C cancels and writes nothing.",
                  *a);
  cmd->add_option("NAME", a->name, "Surface name")->required();
  AddThreadsOption(cmd, a->threads);
  AddMaxSideOption(cmd, a->maxSide);
  return [a] { return RunBuild(*a); };
}

Runner AddImportCommand(CLI::App& app) {
  auto a = std::make_shared<ProjectArgs>();
  auto* cmd = Add(app, "import",
                  "Add a surface file to the project: copies it and its companions from its\n"
                  "own folder under the surface's name (" +
                      Companions(std::span(kImportCopies).subspan(1)) + ").\nPrints the name.",
                  *a);
  cmd->add_option("FILE", a->name, "Surface file (.dsp)")->required();
  return [a] { return RunImport(*a); };
}

Runner AddSaveAsCommand(CLI::App& app) {
  auto a = std::make_shared<ProjectArgs>();
  auto* cmd = Add(app, "saveas",
                  "Save a copy of surface NAME as TARGET (.dsp) with its companions named after\n"
                  "TARGET (" +
                      Companions(kSaveAsCopies) + "). Prints the new name.",
                  *a);
  cmd->add_option("NAME", a->name, "Surface name")->required();
  cmd->add_option("TARGET", a->other, "File to write (.dsp)")->required();
  return [a] { return RunSaveAs(*a); };
}

Runner AddRenameCommand(CLI::App& app) {
  auto a = std::make_shared<ProjectArgs>();
  auto* cmd = Add(app, "rename",
                  "Rename surface NAME and its files to NEWNAME in upper case (.dsp, " +
                      Companions(kRenameCopies) + ").\nPrints the new name.",
                  *a);
  cmd->add_option("NAME", a->name, "Surface name")->required();
  cmd->add_option("NEWNAME", a->other, "New name")->required();
  return [a] { return RunRename(*a); };
}

Runner AddDeleteCommand(CLI::App& app) {
  auto a = std::make_shared<ProjectArgs>();
  auto* cmd = Add(app, "delete",
                  "Delete surface NAME: its files (" + Companions(kDeleteList) +
                      ").\nDoes not ask for confirmation.",
                  *a);
  cmd->add_option("NAME", a->name, "Surface name")->required();
  return [a] { return RunDelete(*a); };
}

}  // namespace orvane::cli
