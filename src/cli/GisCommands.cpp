// dem, contours and crs: the project's surfaces as files for GIS programs,
// and the coordinate system those files carry.

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Contours.h"
#include "analysis/ElevationModel.h"
#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"
#include "formats/ContourFile.h"
#include "formats/CoordinateSystem.h"
#include "formats/GeoTiff.h"
#include "project/settings/ProjectSettings.h"

namespace orvane::cli {

namespace {

int Fail(const std::string& message) {
  std::cerr << message << '\n';
  return 2;
}

// A number option as typed ("." as decimal point), or the message saying why not.
Result<double> Number(const char* option, const std::string& text) {
  const Result<double> v = ParseTypedNumber(text);
  if (!v)
    return Outcome::Failure(ErrorCode::Refused, std::string(option) + ": " + v.Error().Text());
  return v;
}

// The surface NAME of the project in folder, opened as every command opens
// it, and the project's coordinate system; nullptr after a line on stderr.
struct OpenedSurface {
  std::shared_ptr<TriangleMesh> Surface;
  std::string CoordinateSystem;
};
std::optional<OpenedSurface> OpenSurface(const std::string& folder, const std::string& name) {
  const Result<ProjectSettings> settings = ReadProjectSettings(folder);
  if (!settings) {
    std::cerr << settings.Error().Text() << '\n';
    return std::nullopt;
  }
  const actions::ActionResult opened = OpenProjectOrCancel(folder);
  for (const std::string& w : opened.Warnings) std::cerr << w << '\n';
  if (!opened.ok()) {
    std::cerr << opened.Message << '\n';
    return std::nullopt;
  }
  const actions::ActionResult found = actions::FindSurface(name);
  if (!found.ok()) {
    std::cerr << found.Message << '\n';
    return std::nullopt;
  }
  return OpenedSurface{found.Surface, settings->CoordinateSystem};
}

struct DemOptions {
  std::string folder, name, out, cell;
  std::vector<std::string> bounds;
  unsigned threads = 0;
};

int RunDem(const DemOptions& o) {
  SetThreadLimit(o.threads);
  const Result<double> cell = Number("--cell", o.cell);
  if (!cell) return Fail(cell.Error().Text());
  std::optional<PlanBounds> bounds;
  if (!o.bounds.empty()) {
    double v[4];
    for (size_t k = 0; k < 4; ++k) {
      const Result<double> b = Number("--bounds", o.bounds[k]);
      if (!b) return Fail(b.Error().Text());
      v[k] = *b;
    }
    bounds = PlanBounds{v[0], v[1], v[2], v[3]};
  }
  const FolderLock lock(o.folder, FolderLock::Mode::Shared);
  InterruptGuard guard;
  const std::optional<OpenedSurface> opened = OpenSurface(o.folder, o.name);
  if (!opened) return 2;
  Result<FloatGrid> grid = Outcome();
  {
    ProgressLine progress;
    StatusFeedback feedback([] { return Interrupted(); });
    grid = ElevationModel(*opened->Surface, *cell, bounds, feedback);
  }
  if (!grid)
    return Fail(grid.Error().IsCancelled() ? "dem: cancelled, no file written"
                                           : "dem: " + grid.Error().Text());
  Outcome written;
  {
    InterruptBlock block;
    written = WriteGeoTiff(o.out, *grid, opened->CoordinateSystem);
  }
  if (!written) return Fail(written.Text());
  int64_t filled = 0;
  for (const float v : grid->Cells) filled += v != grid->NoData;
  std::cout << OneLine(o.out) << ": " << grid->Columns << " x " << grid->Rows << " cells of "
            << FormatNumber(grid->CellSize) << " m, " << filled << " on the surface\n";
  return 0;
}

struct ContourOptionsTyped {
  std::string folder, name, out, interval, from = "0";
  int32_t index = 5;
};

int RunContours(const ContourOptionsTyped& o) {
  ContourOptions options;
  const Result<double> interval = Number("--interval", o.interval);
  if (!interval) return Fail(interval.Error().Text());
  const Result<double> from = Number("--from", o.from);
  if (!from) return Fail(from.Error().Text());
  options.Interval = *interval;
  options.From = *from;
  options.IndexEvery = o.index;
  if (!ContourFileDriver(o.out))
    return Fail(o.out + ": the extension must be .gpkg, .shp, .dxf, .geojson or .json");
  const FolderLock lock(o.folder, FolderLock::Mode::Shared);
  InterruptGuard guard;
  const std::optional<OpenedSurface> opened = OpenSurface(o.folder, o.name);
  if (!opened) return 2;
  Result<std::vector<ContourLine>> lines = Outcome();
  {
    ProgressLine progress;
    StatusFeedback feedback([] { return Interrupted(); });
    lines = Contours(*opened->Surface, options, feedback);
  }
  if (!lines)
    return Fail(lines.Error().IsCancelled() ? "contours: cancelled, no file written"
                                            : "contours: " + lines.Error().Text());
  Outcome written;
  {
    InterruptBlock block;
    written = WriteContourFile(o.out, *lines, opened->CoordinateSystem);
  }
  if (!written) return Fail(written.Text());
  int64_t rings = 0, index = 0;
  for (const ContourLine& line : *lines) {
    rings += line.Closed;
    index += line.Index;
  }
  std::cout << OneLine(o.out) << ": " << lines->size() << " lines (" << rings << " closed, "
            << index << " index)\n";
  return 0;
}

struct CrsOptions {
  std::string folder, setting;
  bool clear = false;
};

int RunCrs(const CrsOptions& o) {
  if (o.clear && !o.setting.empty())
    return Fail("crs: give a coordinate system or --clear, not both");
  std::error_code ec;
  if (!std::filesystem::is_directory(o.folder, ec)) return Fail(o.folder + ": no such folder");
  const FolderLock lock(o.folder);
  if (o.clear || !o.setting.empty()) {
    const Result<std::string> kept = NormaliseCoordinateSystem(o.setting);
    if (!kept) return Fail("crs: " + kept.Error().Text());
    if (const Outcome w = WriteCoordinateSystem(o.folder, *kept); !w) return Fail(w.Text());
  }
  const Result<ProjectSettings> settings = ReadProjectSettings(o.folder);
  if (!settings) return Fail(settings.Error().Text());
  const Result<std::optional<CoordinateSystemInfo>> info =
      DescribeCoordinateSystem(settings->CoordinateSystem);
  if (!info) return Fail("crs: " + info.Error().Text());
  if (!*info) {
    std::cout << "none\n";
  } else {
    const CoordinateSystemInfo& i = **info;
    std::cout << (i.EpsgCode ? "EPSG:" + std::to_string(*i.EpsgCode) + " " : std::string())
              << OneLine(i.Name) << '\n';
  }
  return 0;
}

}  // namespace

Runner AddDemCommand(CLI::App& app) {
  auto o = std::make_shared<DemOptions>();
  auto* cmd = app.add_subcommand(
      "dem",
      "Write OUT (GeoTIFF): the elevation model of surface NAME with square cells of\n"
      "--cell metres. Each cell holds the surface's height at its centre, the height\n"
      "elevation prints there; cells whose centre no triangle holds have no data. The\n"
      "grid covers --bounds, or else the surface, its edges on whole multiples of the\n"
      "cell size. 32-bit floats, tiled and compressed, with the project's coordinate\n"
      "system (crs). Prints the grid's size. Ctrl+C cancels and writes nothing.");
  cmd->add_option("FOLDER", o->folder, "Project folder")->required();
  cmd->add_option("NAME", o->name, "Surface name")->required();
  cmd->add_option("OUT", o->out, "GeoTIFF file to write (.tif)")->required();
  cmd->add_option("--cell", o->cell, "Cell size, metres")->required();
  cmd->add_option("--bounds", o->bounds, "WEST SOUTH EAST NORTH, metres")->expected(4);
  AddThreadsOption(cmd, o->threads);
  return [o]() { return RunDem(*o); };
}

Runner AddContoursCommand(CLI::App& app) {
  auto o = std::make_shared<ContourOptionsTyped>();
  auto* cmd = app.add_subcommand(
      "contours",
      "Write OUT: the contour lines of surface NAME every --interval metres, at the\n"
      "levels --from + whole intervals. Each is the exact level line of the surface,\n"
      "straight on each triangle and joined across them, a closed ring where it comes\n"
      "back to its start, with its elevation and an index flag (every --index-th level,\n"
      "counted from --from). OUT's extension picks the format: .gpkg, .shp, .dxf,\n"
      ".geojson or .json. A vertex exactly at a level counts as above it; triangles\n"
      "with a corner at -999 hold no line. Prints the number of lines.");
  cmd->add_option("FOLDER", o->folder, "Project folder")->required();
  cmd->add_option("NAME", o->name, "Surface name")->required();
  cmd->add_option("OUT", o->out, "Vector file to write")->required();
  cmd->add_option("--interval", o->interval, "Contour interval, metres")->required();
  cmd->add_option("--index", o->index, "Every N-th level is an index contour (default 5; 0 none)")
      ->check(CLI::Range(0, 1000000));
  cmd->add_option("--from", o->from, "A contour level the others are counted from (default 0)");
  return [o]() { return RunContours(*o); };
}

Runner AddCrsCommand(CLI::App& app) {
  auto o = std::make_shared<CrsOptions>();
  auto* cmd = app.add_subcommand(
      "crs",
      "Print the coordinate system of the project in FOLDER (\"EPSG:n name\", or \"none\"),\n"
      "after setting it to CRS when given: an EPSG code (EPSG:25830) or a WKT\n"
      "definition. --clear removes it. It is kept in the project's settings file and\n"
      "written into every GeoTIFF and vector file and into the LandXML export.");
  cmd->add_option("FOLDER", o->folder, "Project folder")->required();
  cmd->add_option("CRS", o->setting, "EPSG code or WKT");
  cmd->add_flag("--clear", o->clear, "Remove the project's coordinate system");
  return [o]() { return RunCrs(*o); };
}

}  // namespace orvane::cli
