#pragma once
// Where two surfaces meet.
//
// The plan overlay clips every edge of either mesh, in plan, to the triangles
// of the other and drapes the pieces onto the other surface: the segments
// both meshes must carry as breaklines to share one plan subdivision. The
// space curves are the 3-D lines along which the two surfaces cross.
//
// Results come in discovery order: triangles i of the first mesh ascending,
// within each the triangles j of the cutting mesh ascending, that pair's
// segments in the order the clipping emits them. The meshes are only read.
// Both mesh-level operations report progress to the feedback given and ask
// it whether to stop (from every thread they run on); a cancelled run
// returns what it has so far, which the caller should discard. Without a
// feedback they say nothing and run to the end.

#include <cstdint>
#include <vector>

#include "analysis/Segments.h"
#include "core/storage/Records.h"
#include "core/support/Feedback.h"

namespace orvane {

class TriangleMesh;

// A segment in the compact form the overlay works with: start and end, T = 0.
struct PlanSegment {
  PointRec From;
  PointRec To;
  friend bool operator==(const PlanSegment&, const PlanSegment&) = default;
};

// Plan overlay of one triangle pair: the edges of the given triangle clipped
// to triangle TriIdx of mesh, with mesh's heights there (GetZ), then the
// edges of TriIdx clipped to the given triangle, with that triangle's plane
// heights. RetPlist is left untouched when TriIdx is above the count or the
// plan boxes do not meet (touching boxes meet); otherwise it receives the
// segments, possibly none.
void TriangleIntersectTriangle2D(const TriangleMesh& mesh, int32_t TriIdx, double x1, double y1,
                                 double z1, double x2, double y2, double z2, double x3, double y3,
                                 double z3, SegmentCollection& RetPlist);

// Every segment of the plan overlay of mesh and CuttingMesh, pieces whose
// ends lie within 0.001 in X, Y and Z dropped, and the later copies of a
// segment removed: taking the records in order, each one removes the first
// later record not yet removed whose ends match its own (0.001 in X and Y,
// inclusive), directly or reversed. The first copy found survives.
//
// sources, when given, receives for each segment the triangle of mesh and
// the triangle of CuttingMesh (1-based) whose pair gave it: both hold its
// ends, up to the rounding of the crossings.
struct SegmentSource {
  int32_t i = 0, j = 0;
};
std::vector<PlanSegment> OverlaySegments(const TriangleMesh& mesh, const TriangleMesh& CuttingMesh,
                                         std::vector<SegmentSource>* sources = nullptr);
std::vector<PlanSegment> OverlaySegments(const TriangleMesh& mesh, const TriangleMesh& CuttingMesh,
                                         std::vector<SegmentSource>* sources, Feedback& feedback);

// OverlaySegments as constraint segments. RetLines is always replaced.
void Mesh_Intersects_Mesh_2D(const TriangleMesh& mesh, const TriangleMesh& CuttingMesh,
                             SegmentCollection& RetLines);

// Crossing of triangle srcTriangleIndex of mesh with the given triangle:
// true with the crossing segment written to the outputs, or true with the
// outputs unchanged when one triangle lies in the other's plane; false
// (outputs unchanged) for no contact or an index above the count.
bool TriangleIntersectTriangle(const TriangleMesh& mesh, int32_t srcTriangleIndex, double x1,
                               double y1, double z1, double x2, double y2, double z2, double x3,
                               double y3, double z3, double& xInt1, double& yInt1, double& zInt1,
                               double& xInt2, double& yInt2, double& zInt2);

// The segments along which the triangles of mesh cross those of CuttingMesh
// (coplanar pairs give nothing), in discovery order.
std::vector<PlanSegment> CrossingSegments(const TriangleMesh& mesh, const TriangleMesh& CuttingMesh,
                                          Feedback& feedback);
std::vector<PlanSegment> CrossingSegments(const TriangleMesh& mesh,
                                          const TriangleMesh& CuttingMesh);

// CrossingSegments as constraint segments. RetConstraints is replaced only
// when at least one segment was found.
void Mesh_Intersects_Mesh(const TriangleMesh& mesh, const TriangleMesh& CuttingMesh,
                          SegmentCollection& RetConstraints);

}  // namespace orvane
