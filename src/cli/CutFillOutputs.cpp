#include "cli/CutFillOutputs.h"

#include <cmath>
#include <iostream>

#include "analysis/CutFillZones.h"
#include "analysis/DifferenceMap.h"
#include "cli/Interrupt.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "formats/CutFillReport.h"
#include "formats/GeoTiff.h"
#include "formats/TextFiles.h"

namespace orvane::cli {

bool PrepareCutFillOutputs(const CutFillOutputOptions& o, std::vector<PointList>& zones) {
  zones.clear();
  if (!o.cell.empty()) {
    const Result<double> cell = ParseTypedNumber(o.cell);
    if (!cell || !(*cell > 0) || !std::isfinite(*cell)) {
      std::cerr << "cutfill: --cell: "
                << (cell ? "the cell size must be a length above 0" : TypedNumberError(o.cell))
                << '\n';
      return false;
    }
  }
  if (o.zones.empty()) return true;
  PolylineFile read = ReadZoneFile(o.zones);
  for (const std::string& line : read.Report.Describe(o.zones)) std::cerr << line << '\n';
  if (!read.Report.ok()) {
    std::cerr << read.Report.Status.Text() << '\n';
    return false;
  }
  zones = std::move(read.Lists);
  return true;
}

namespace {

// B - A at the cell centres, as GeoTIFF. The map carries no coordinate
// system: the surfaces are files, not a project's.
bool WriteMap(const CutFillOutputOptions& o, const TriangleMesh& A, const TriangleMesh& B) {
  if (o.map.empty()) return true;
  Result<FloatGrid> grid = [&] {
    ProgressLine progress;
    StatusFeedback feedback;
    feedback.Phase("CAF_MAP");
    return HeightDifferenceMap(A, B, *ParseTypedNumber(o.cell), feedback);
  }();
  if (Interrupted() || (!grid && grid.Error().IsCancelled())) {
    std::cerr << "cutfill: cancelled, " << o.map << " not written\n";
    return false;
  }
  if (!grid) {
    std::cerr << "cutfill: " << o.map << ": " << grid.Error().Text() << '\n';
    return false;
  }
  const Outcome written = [&] {
    InterruptBlock block;
    return WriteGeoTiff(o.map, *grid, "");
  }();
  if (!written) {
    std::cerr << written.Text() << '\n';
    return false;
  }
  return true;
}

}  // namespace

bool WriteCutFillOutputs(const CutFillOutputOptions& o, const TriangleMesh& A,
                         const TriangleMesh& B, const TriangleMesh& rebuiltA,
                         const std::vector<PointList>& zones) {
  if (!WriteMap(o, A, B)) return false;
  if (o.report.empty()) return true;
  Result<CutFillBreakdown> figures = [&] {
    ProgressLine progress;
    StatusFeedback feedback;
    feedback.Phase("CAF_REPORT");
    return BreakDownCutAndFill(A, B, rebuiltA, zones, feedback);
  }();
  if (!figures || Interrupted()) {
    std::cerr << "cutfill: cancelled, no file written\n";
    return false;
  }
  const Outcome written = [&] {
    InterruptBlock block;
    return WriteCutFillReport(o.report, *figures, zones);
  }();
  if (!written) {
    std::cerr << written.Text() << '\n';
    return false;
  }
  return true;
}

}  // namespace orvane::cli
