// profile: the sections of surfaces of a project along a polyline, as CSV.

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/Profile.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/model/TriangleMesh.h"
#include "formats/ProfileFile.h"
#include "formats/TextFiles.h"

namespace orvane::cli {

namespace {

namespace fs = std::filesystem;

struct ProfileOptions {
  std::string folder, line, out;
  std::vector<std::string> names;
};

int RunProfile(const ProfileOptions& o) {
  InterruptGuard guard;
  const PolylineFile read = ReadBreaklineFile(o.line);
  for (const std::string& text : read.Report.Describe(o.line)) std::cerr << text << '\n';
  if (!read.Report.ok()) {
    std::cerr << read.Report.Status.Text() << '\n';
    return 2;
  }
  if (read.Lists.size() != 1) {
    std::cerr << o.line << ": holds " << read.Lists.size()
              << " polylines; the profile follows exactly one\n";
    return 2;
  }
  const PointList& line = read.Lists.front();
  std::vector<std::vector<SectionPoint>> sections;
  for (const std::string& name : o.names) {
    TriangleMesh surface;
    // The command line's name is the file's name, as for landxml.
    if (!LoadSurfaceFile((fs::path(o.folder) / (name + ".dsp")).string(), surface)) return 2;
    if (Interrupted()) break;
    sections.push_back(SurfaceSection(surface, line));
    if (sections.back().empty()) {
      std::cerr << o.line << ": the polyline needs two distinct points\n";
      return 2;
    }
  }
  if (Interrupted()) {
    std::cerr << "profile: cancelled, no file written\n";
    return 2;
  }
  const ProfileTable table = CombineSections(sections);
  const Outcome written = [&] {
    InterruptBlock block;
    return WriteProfileCsv(o.out, table, o.names);
  }();
  if (!written) {
    std::cerr << written.Text() << '\n';
    return 2;
  }
  std::cout << o.out << ": " << table.Rows.size() << " stations\n";
  return 0;
}

}  // namespace

Runner AddProfileCommand(CLI::App& app) {
  auto o = std::make_shared<ProfileOptions>();
  auto* cmd = app.add_subcommand(
      "profile",
      "Write the sections of surfaces NAME... of project folder FOLDER (FOLDER/NAME.dsp) along\n"
      "the polyline of LINE (.brk, one polyline) as CSV: station, x, y and each surface's\n"
      "height, a row at every vertex of the line and wherever it crosses a triangle edge of a\n"
      "surface, a height left empty where that surface is absent. Ctrl+C writes nothing.");
  cmd->add_option("FOLDER", o->folder, "Project folder")->required();
  cmd->add_option("LINE", o->line, "The polyline (.brk layout)")->required();
  cmd->add_option("NAME", o->names, "Surface names")->required();
  cmd->add_option("--out", o->out, "CSV file to write")->required();
  return [o]() { return RunProfile(*o); };
}

}  // namespace orvane::cli
