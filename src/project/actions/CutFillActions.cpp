#include "project/actions/CutFillActions.h"

#include <utility>
#include <vector>

#include "analysis/CutAndFill.h"
#include "core/support/Status.h"
#include "formats/CutFillReport.h"
#include "project/actions/ProjectState.h"
#include "project/plan/CutFillScene.h"
#include "project/settings/ProjectSettings.h"

namespace orvane::actions {

ActionResult CutAndFillSurfaces(const TriangleMesh& A, const TriangleMesh& B,
                                const StopRequest& stop, CutFillOutcome& out) {
  CancelRequested = false;
  StatusFeedback feedback([&stop] { return CancelRequested.load() || (stop && stop()); });
  TriangleMesh rebuiltA;
  std::vector<PlanSegment> overlay;
  double cut = 0, fill = 0;
  // Only the map and the figures are kept: B is not rebuilt, and the
  // overlay goes before the breakdown needs its memory.
  const Outcome run =
      CutAndFillVolumes(A, B, 0, rebuiltA, nullptr, overlay, cut, fill, nullptr, feedback);
  if (!run) return ActionResult::From(run);
  std::vector<PlanSegment>().swap(overlay);
  feedback.Phase("CAF_REPORT");
  Result<CutFillBreakdown> figures = BreakDownCutAndFill(A, B, rebuiltA, {}, feedback);
  if (!figures) return ActionResult::From(figures.Error());
  if (feedback.Cancelled()) return ActionResult::From(Outcome::Cancel());
  feedback.Phase("IDLE");
  out.Figures = std::move(*figures);
  out.Scene = std::make_shared<const PlanScene>(ScenePlanOfCutFill(A, B, rebuiltA));
  CancelRequested = false;
  return {};
}

ActionResult SaveCutFillReport(const std::filesystem::path& file, const CutFillBreakdown& figures) {
  const Result<ProjectSettings> settings = ReadProjectSettings(Project().ProjectFolder);
  const Outcome written =
      WriteCutFillReport(file, figures, {}, settings ? settings->CoordinateSystem : std::string());
  return ActionResult::WroteFile(written, file);
}

}  // namespace orvane::actions
