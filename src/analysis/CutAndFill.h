#pragma once
// Cut and fill: the earth volume between two surfaces.
//
// Both surfaces are rebuilt over one plan subdivision (the plan overlay of
// their edges forced as breaklines into both), so that every triangle of the
// rebuilt first surface lies over exactly one triangle of each original
// surface, where both are planes. The height difference is then linear over
// the triangle and is integrated exactly, split at its zero line: the part
// where the first surface lies above the second is fill, the rest cut.
//
// Only the plan overlap of the two ORIGINAL surfaces counts: a rebuilt
// triangle counts whole when it lies within one triangle of each original
// surface (found under its incircle centre); any other rebuilt triangle is
// clipped against the original triangles it meets, so that exactly its part
// over both counts. The rebuilt surfaces themselves cover the convex hull of
// their points, which may reach into the notches of a concave surface.
//
// Overlay pieces with an end over neither surface (the clipping's line
// crossings where an edge grazes a nearly parallel side) are left out of the
// breaklines and of Constraints.

#include <vector>

#include "analysis/MeshIntersection.h"
#include "analysis/Segments.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

// mesh: surface A, whose excess counts as fill; InputMesh: surface B, whose
// excess counts as cut. Both are only read.
//
// On success retM1 receives A rebuilt on the common subdivision (A's heights
// at every vertex from A itself), retM2 B rebuilt likewise, Constraints the
// plan overlay segments used as breaklines, and the whole prism volumes
// (m3) are ADDED to vCut and vFill, which are never reset; OverlapArea, when
// given, receives the plan area (m2) of the counted overlap.
//
// BaseElevation is accepted and not used: only the difference of the two
// surfaces matters.
//
// Refused (ErrorCode::Refused, with the message for the user) and every
// output untouched when either surface has two points within 0.001 in plan.
// A cancel returns ErrorCode::Cancelled. The phases
// ("OPTIMIZING_MESHES", "MESH_INTERSECTIONS", "CAF_STEP1" .. "CAF_STEP3",
// "CAF_TRIANGULATING_STEP1", "CAF_STEP4", "CAF_TRIANGULATING_STEP2",
// "CAF_CALC_VOLUME", "IDLE") and the overlay's progress go to feedback; a
// cancel also leaves every output untouched. feedback is asked from a
// helper thread too. Without a feedback the run says nothing and is never
// cancelled.
Outcome CutAndFillVolumes(const TriangleMesh& mesh, const TriangleMesh& InputMesh,
                          double BaseElevation, TriangleMesh& retM1, TriangleMesh& retM2,
                          SegmentCollection& Constraints, double& vCut, double& vFill,
                          double* OverlapArea, Feedback& feedback);
Outcome CutAndFillVolumes(const TriangleMesh& mesh, const TriangleMesh& InputMesh,
                          double BaseElevation, TriangleMesh& retM1, TriangleMesh& retM2,
                          SegmentCollection& Constraints, double& vCut, double& vFill,
                          double* OverlapArea = nullptr);

// The same with the overlay segments in compact form, for surfaces so large
// that one point list per segment would not fit in memory.
Outcome CutAndFillVolumes(const TriangleMesh& mesh, const TriangleMesh& InputMesh,
                          double BaseElevation, TriangleMesh& retM1, TriangleMesh& retM2,
                          std::vector<PlanSegment>& Overlay, double& vCut, double& vFill,
                          double* OverlapArea, Feedback& feedback);
Outcome CutAndFillVolumes(const TriangleMesh& mesh, const TriangleMesh& InputMesh,
                          double BaseElevation, TriangleMesh& retM1, TriangleMesh& retM2,
                          std::vector<PlanSegment>& Overlay, double& vCut, double& vFill,
                          double* OverlapArea = nullptr);

// The same for a caller with no use for B rebuilt: with retM2 null, B is not
// rebuilt at all. Everything else comes out the same, sooner and in less
// memory (B's rebuild is as large as A's).
Outcome CutAndFillVolumes(const TriangleMesh& mesh, const TriangleMesh& InputMesh,
                          double BaseElevation, TriangleMesh& retM1, TriangleMesh* retM2,
                          std::vector<PlanSegment>& Overlay, double& vCut, double& vFill,
                          double* OverlapArea, Feedback& feedback);

// Would adjust two meshes to each other before their comparison. The
// adjustment has never been defined, so this leaves both meshes as they are.
void OptimizeMeshes(TriangleMesh& m1, TriangleMesh& m2);

}  // namespace orvane
