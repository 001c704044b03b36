// import-landxml: the TIN surfaces and survey points of a LandXML document
// brought into a project folder.

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/storage/AtomicFile.h"
#include "project/actions/LandXmlActions.h"
#include "project/actions/ProjectState.h"
#include "project/files/SurfaceNaming.h"

namespace orvane::cli {

namespace {

struct ImportLandXmlArgs {
  std::string folder, file, units = "keep";
  std::vector<std::string> surfaces;
};

int RunImportLandXml(const ImportLandXmlArgs& a) {
  // The whole command is one change of the folder: nothing else changes it
  // between the scan and the end.
  const FolderLock lock(a.folder);
  const actions::ActionResult opened = OpenProjectOrCancel(a.folder);
  for (const std::string& w : opened.Warnings) std::cerr << w << '\n';
  if (!opened.ok()) {
    std::cerr << opened.Message << '\n';
    return 2;
  }
  InterruptGuard guard;
  actions::ActionResult r;
  {
    ProgressLine progress;
    r = actions::ImportLandXml(a.file, {a.units == "metre", a.surfaces},
                               [] { return Interrupted(); });
  }
  for (const std::string& w : r.Warnings) std::cerr << w << '\n';
  if (!r.ok()) {
    std::cerr << r.Message << '\n';
    return 2;
  }
  std::cout << r.Message << '\n';
  for (const auto& s : r.Changes.Added)
    std::cout << OneLine(SurfaceName(*s)) << ": " << s->PointCount() << " points, "
              << s->TriangleCount() << " triangles\n";
  if (const int64_t n = r.FigureValue("hidden faces"); n > 0)
    std::cout << "hidden faces left out: " << n << '\n';
  if (const int64_t n = r.FigureValue("survey points"); n > 0)
    std::cout << "survey points: " << r.Written.back().string() << ", " << n << " points\n";
  actions::Apply(r);
  return 0;
}

}  // namespace

Runner AddImportLandXmlCommand(CLI::App& app) {
  auto a = std::make_shared<ImportLandXmlArgs>();
  auto* cmd = app.add_subcommand(
      "import-landxml",
      "Add the TIN surfaces of a LandXML document (1.0, 1.1, 1.2 or 2.0) to the project\n"
      "with their exact points and faces: NAME.dsp, NAME.tin, NAME.xyz, and NAME.bnd (outer\n"
      "boundaries) and NAME.brk (breaklines) where it has them. Its survey points (CgPoints)\n"
      "become a point file named after FILE. A name already taken gets a suffix (_2, ...).\n"
      "Prints the units and each surface. Nothing is written unless all of it is.");
  cmd->add_option("FOLDER", a->folder, "Project folder")->required();
  cmd->add_option("FILE", a->file, "LandXML document (.xml)")->required();
  cmd->add_option("--surface", a->surfaces,
                  "Import only the surface of this name (repeatable; no survey points then)");
  cmd->add_option("--units", a->units,
                  "keep: coordinates as the document has them (default); metre: converted")
      ->check(CLI::IsMember({"keep", "metre"}));
  return [a] { return RunImportLandXml(*a); };
}

}  // namespace orvane::cli
