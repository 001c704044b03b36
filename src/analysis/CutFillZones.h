#pragma once
// Cut and fill figures of the whole overlap and of each zone polygon.
//
// The rebuilt first surface of a cut and fill run lies, triangle by triangle,
// over one triangle of each original surface (or is clipped into pieces that
// do, see OverlapClipper.h), so the height difference is linear over every
// piece. Each piece is cut exactly along the zone edges that cross it; every
// part then lies wholly inside or outside each zone and goes, whole, to the
// first zone (in the order given) that contains it, or to the "outside
// zones" row. No part is counted twice or lost: the rows add up to the
// totals, which are their sums. Within a part the difference is split at its
// zero line, as for the totals of the run.

#include <span>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

// Figures of one region. Fill is the volume (m3) where the first surface
// lies above the second, cut where it lies below; FillArea and CutArea the
// plan areas (m2) of those parts; Area the plan area of the overlap in the
// region, which also holds the parts where the two surfaces coincide.
struct CutFillFigures {
  double Cut = 0, Fill = 0, CutArea = 0, FillArea = 0, Area = 0;
  double Net() const { return Fill - Cut; }
};

struct CutFillBreakdown {
  std::vector<CutFillFigures> Zones;  // one per zone, in the order given
  CutFillFigures Outside;             // the overlap in no zone
  CutFillFigures Total;               // the sums of the rows above
};

// A and B: the original surfaces (first and second); rebuiltA: the first
// surface rebuilt by CutAndFillVolumes from them. zones: closed polygons
// (their edges from point to point, closed back to the first point); a
// polygon of fewer than three points holds nothing. Cancelled through
// feedback (which also receives the percentage done); nothing else fails.
Result<CutFillBreakdown> BreakDownCutAndFill(const TriangleMesh& A, const TriangleMesh& B,
                                             const TriangleMesh& rebuiltA,
                                             std::span<const PointList> zones, Feedback& feedback);

}  // namespace orvane
