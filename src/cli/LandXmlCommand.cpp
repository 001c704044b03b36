// landxml: the LandXML document of one surface file of a project folder.

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/model/TriangleMesh.h"
#include "formats/LandXml.h"
#include "project/actions/Actions.h"
#include "project/actions/ProjectState.h"

namespace orvane::cli {

namespace {

namespace fs = std::filesystem;

struct LandXmlOptions {
  std::string folder, name, out;
};

int RunLandXml(const LandXmlOptions& o) {
  InterruptGuard guard;
  // The command line's name is the file's name: its bytes are the file
  // name's bytes, whatever the encoding.
  const fs::path dsp = fs::path(o.folder) / (o.name + ".dsp");
  TriangleMesh surface;
  if (!LoadSurfaceFile(dsp.string(), surface)) return 2;
  // The companion files are found by the Tag; a surface saved without one
  // goes by its file name, as an import does.
  if (LandXmlSurfaceName(surface).empty()) surface.Tag = o.name;
  // The folder is the project only as far as the companions are found in it:
  // there is no scan.
  Project().ProjectFolder = o.folder;

  actions::ActionResult r;
  {
    ProgressLine progress;
    r = actions::ExportLandXml(surface, o.out, [] { return Interrupted(); });
  }
  for (const std::string& line : r.Warnings) std::cerr << line << '\n';
  if (!r.ok()) {
    std::cerr << r.Message << '\n';
    return 2;
  }
  std::cout << o.out << ": " << r.FigureValue("points") << " points, " << r.FigureValue("triangles")
            << " triangles, " << r.FigureValue("zones") << " zones, " << r.FigureValue("breaklines")
            << " breaklines\n";
  return 0;
}

}  // namespace

Runner AddLandXmlCommand(CLI::App& app) {
  auto o = std::make_shared<LandXmlOptions>();
  auto* cmd = app.add_subcommand(
      "landxml",
      "Export surface NAME of the project folder FOLDER (FOLDER/NAME.dsp) as a LandXML 1.2\n"
      "document, with the inclusion zones (.bnd) and breaklines (.brk) of its file set.\n"
      "A surface without triangles is not exported. Ctrl+C cancels and leaves OUT as it was.");
  cmd->add_option("FOLDER", o->folder, "Project folder")->required();
  cmd->add_option("NAME", o->name, "Surface name (its files are NAME.dsp, NAME.bnd, NAME.brk)")
      ->required();
  cmd->add_option("OUT", o->out, "LandXML file to write (.xml)")->required();
  return [o]() { return RunLandXml(*o); };
}

}  // namespace orvane::cli
