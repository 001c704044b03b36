#include "cli/CutFillOutputs.h"

#include <cmath>
#include <iostream>
#include <optional>

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

bool WriteCutFillOutputs(const CutFillOutputOptions& o, const TriangleMesh& A,
                         const TriangleMesh& B, const TriangleMesh& rebuiltA,
                         const std::vector<PointList>& zones) {
  // Both are made before either is written: a cancel leaves every file as
  // it was.
  std::optional<FloatGrid> grid;
  if (!o.map.empty()) {
    Result<FloatGrid> made = [&] {
      ProgressLine progress;
      StatusFeedback feedback;
      feedback.Phase("CAF_MAP");
      return HeightDifferenceMap(A, B, *ParseTypedNumber(o.cell), feedback);
    }();
    if (!made && !made.Error().IsCancelled()) {
      std::cerr << "cutfill: " << o.map << ": " << made.Error().Text() << '\n';
      return false;
    }
    if (made) grid = std::move(*made);
  }
  std::optional<CutFillBreakdown> figures;
  if (!o.report.empty() && !Interrupted()) {
    Result<CutFillBreakdown> made = [&] {
      ProgressLine progress;
      StatusFeedback feedback;
      feedback.Phase("CAF_REPORT");
      return BreakDownCutAndFill(A, B, rebuiltA, zones, feedback);
    }();
    if (made) figures = std::move(*made);
  }
  if (Interrupted() || (!o.map.empty() && !grid) || (!o.report.empty() && !figures)) {
    std::cerr << "cutfill: cancelled, no file written\n";
    return false;
  }
  InterruptBlock block;
  Outcome written;
  if (grid) written = WriteGeoTiff(o.map, *grid, o.coordinateSystem);
  if (written && figures)
    written = WriteCutFillReport(o.report, *figures, zones, o.coordinateSystem);
  if (!written) {
    std::cerr << written.Text() << '\n';
    return false;
  }
  return true;
}

}  // namespace orvane::cli
