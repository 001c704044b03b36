#include "cli/CutFillOutputs.h"

#include <iostream>

#include "analysis/CutFillZones.h"
#include "cli/Interrupt.h"
#include "core/support/Status.h"
#include "formats/CutFillReport.h"
#include "formats/TextFiles.h"

namespace orvane::cli {

bool ReadCutFillZones(const CutFillOutputOptions& o, std::vector<PointList>& zones) {
  zones.clear();
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
