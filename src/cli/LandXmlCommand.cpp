#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/Status.h"
#include "core/TriangleMesh.h"
#include "project/LandXml.h"

namespace orvane::cli {

namespace {

namespace fs = std::filesystem;

struct LandXmlOptions {
  std::string folder, name, out;
};

const char* PhaseCode(LandXmlPhase phase) {
  switch (phase) {
    case LandXmlPhase::CgPoints:
      return "LANDXML_CGPOINTS";
    case LandXmlPhase::Pnts:
      return "LANDXML_PNTS";
    case LandXmlPhase::Faces:
      return "LANDXML_FACES";
  }
  return "LANDXML";
}

int RunLandXml(const LandXmlOptions& o) {
  InterruptGuard guard;
  CancelRequested = false;
  // The command line's name is the file's name: its bytes are the file
  // name's bytes, whatever the encoding.
  const fs::path dsp = fs::path(o.folder) / (o.name + ".dsp");
  TriangleMesh surface;
  std::string reason;
  if (!surface.LoadFromBinary(dsp, &reason)) {
    if (reason.rfind(dsp.string(), 0) == 0)
      std::cerr << reason << '\n';
    else
      std::cerr << dsp.string() << ": cannot load surface: " << reason << '\n';
    return 2;
  }
  // The companion files are found by the Tag; a surface saved without one
  // goes by its file name, as an import does.
  if (LandXmlSurfaceName(surface).empty()) surface.Tag = o.name;

  LandXmlExport result;
  {
    ProgressLine progress;
    LandXmlPhase shown{};
    bool started = false;
    result = ExportLandXml(surface, o.folder, o.out,
                           [&](LandXmlPhase phase, int64_t done, int64_t total) {
                             if (!started || phase != shown) {
                               started = true;
                               shown = phase;
                               CurrentStatus().SendPhase(PhaseCode(phase));
                             }
                             CurrentStatus().SendEvents(PercentOf(done, total));
                             return !CancelRequested.load() && !Interrupted();
                           });
  }
  for (const auto& [file, report] : result.Inputs)
    for (const std::string& line : report.Describe(file.string())) std::cerr << line << '\n';
  if (!result.ok()) {
    std::cerr << result.Error << '\n';
    return 2;
  }
  std::cout << o.out << ": " << surface.PointCount() << " points, " << surface.TriangleCount()
            << " triangles, " << result.ZoneCount << " zones, " << result.BreaklineCount
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
