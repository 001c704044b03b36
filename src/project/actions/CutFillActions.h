#pragma once
// Cut and fill of two surfaces of the project, as the explorer runs it: the
// figures (whole), the map of where each side lies above the other, and the
// report saved on request.

#include <filesystem>
#include <memory>

#include "analysis/CutFillZones.h"
#include "core/model/TriangleMesh.h"
#include "project/actions/Actions.h"
#include "project/plan/PlanScene.h"

namespace orvane::actions {

struct CutFillOutcome {
  CutFillBreakdown Figures;                // the total alone (no zones)
  std::shared_ptr<const PlanScene> Scene;  // the cut and fill map
};

// A: the surface whose excess is fill; B: the one whose excess is cut. Both
// are only read. Refused (with the duplicate-point message) when either has
// two points within 0.001 m in plan; Cancelled through CancelRequested or
// stop. Progress goes to CurrentStatus().
ActionResult CutAndFillSurfaces(const TriangleMesh& A, const TriangleMesh& B,
                                const StopRequest& stop, CutFillOutcome& out);

// Writes the report of the figures (CSV, or GeoJSON for ".json"; see
// formats/CutFillReport.h) to file, replacing it only when complete.
ActionResult SaveCutFillReport(const std::filesystem::path& file, const CutFillBreakdown& figures);

}  // namespace orvane::actions
