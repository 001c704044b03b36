#pragma once
// Cutting a surface with the horizontal plane z = Elevation into the part at
// or below it and the part at or above it.

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "core/model/TriangleMesh.h"
#include "core/storage/Records.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

// One side of a cut triangle: 0, 3 or 4 points in outline order (T = 0).
struct SplitPart {
  std::array<PointRec, 4> Vertices{};
  int32_t Count = 0;
  std::span<const PointRec> View() const { return {Vertices.data(), static_cast<size_t>(Count)}; }
};

struct TriangleSplit {
  SplitPart Upper;  // the vertices above the plane
  SplitPart Lower;  // the vertices at or below it
};

// Cuts the triangle A, B, C, which crosses the plane (lowest z below
// Elevation, highest above), walking its outline A, B, C, A. Each vertex goes
// to the upper part when its z is above Elevation and to the lower part
// otherwise; one exactly at Elevation is where the outline crosses the plane,
// so it goes to both. An edge with one end above and the other below is cut,
// and its crossing point goes to both parts in outline order. The crossing
// point is interpolated from the edge's lower end towards its upper end,
// with Z = Elevation exactly: the two triangles sharing the edge get the same
// point whichever way each runs along it. The parts are therefore a triangle
// and a quadrilateral, or two triangles when a vertex lies at Elevation; one
// of fewer than 3 points (a triangle that does not cross) stands for nothing.
TriangleSplit SplitTriangle(const PointRec& A, const PointRec& B, const PointRec& C,
                            double Elevation);

// Cuts every triangle of `mesh`, in order, and sorts the pieces into two new
// meshes. A triangle whose highest z is at or below Elevation goes to the
// lower mesh whole; then one whose lowest z is at or above it goes to the
// upper mesh whole (so one lying in the plane goes up). A crossing triangle
// is cut by SplitTriangle, upper part first: a triangle part is added like a
// whole triangle; a quadrilateral part is triangulated on its own (Delaunay,
// no limit on the sides: a piece of an existing triangle is never dropped
// for its length) and merged into the side's mesh like MergeTriangleMesh
// without reindexing, its points then keeping their place in the part (1 to
// 4) as T.
//
// Triangles are added without point indices. Each side keeps the list of
// points already placed: a vertex of a whole triangle or triangle part joins
// the side's mesh only when that list holds no point within 0.001 in X and Y
// (inclusive); the merge of a quadrilateral part has its own rule (0.001 in
// X, Y and Z, strict, against the side mesh's points).
//
// The results are not reindexed; the caller does it. Progress goes to
// feedback (throttled) once per triangle. Cancellation (the feedback, asked
// between two triangles and by the triangulation of a quadrilateral part):
// the result is Cancelled, LastErrorCode of `mesh` becomes 1 and the out
// meshes are left as they were.
Outcome HorizontalSplitSimple(TriangleMesh& mesh, double Elevation, TriangleMesh& LowerTriangleMesh,
                              TriangleMesh& UpperTriangleMesh, Feedback& feedback);
// The same, reporting nothing and never cancelled.
void HorizontalSplitSimple(TriangleMesh& mesh, double Elevation, TriangleMesh& LowerTriangleMesh,
                           TriangleMesh& UpperTriangleMesh);

// Hands the triangles HorizontalSplitSimple puts into each side's mesh to
// `add` (upper false for the lower side), each side's in its order, with the
// same corners in the same order, but makes neither the sides' meshes nor
// their point lists, which are most of the split's work and which a rebuild
// from the sides' points (a Reindex reads only the triangles) does not need.
// A corner that copies a vertex of `mesh` keeps that vertex's T, so that a
// reindex can know it by its number; a crossing point has T = 0. Progress
// goes to feedback (throttled), which is asked now and then whether to
// stop; a yes ends the split (Cancelled returned). `mesh` is not changed.
using SplitTriangleSink =
    std::function<void(bool upper, const PointRec& a, const PointRec& b, const PointRec& c)>;
Outcome HorizontalSplitTriangles(const TriangleMesh& mesh, double Elevation,
                                 const SplitTriangleSink& add, Feedback& feedback);

}  // namespace orvane
