#pragma once
// Appending one surface to another.
//
// An incoming point joins the target only when no point already there
// (including one appended earlier by the same merge) differs from it by less
// than 0.001 in X, in Y and in Z. Triangles are always appended, whatever
// became of their points, and carry no point indices until a Reindex.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/geometry/PointGrid.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/Records.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

// Appends TriMesh's new points (AddPoint with their own T) and all its
// triangles (vertices without point indices, Color and Group copied) to
// `into`, then reindexes when DoReindex. LastErrorCode of `into` is 0 on
// completion. No TriMesh: nothing happens. Progress goes to feedback
// (throttled) once per incoming point; when the feedback is then cancelled,
// the result is Cancelled, LastErrorCode becomes 1 and `into` is left
// exactly as it was (nothing is applied before every point has been
// decided). TriMesh may be `into`.
Outcome MergeTriangleMesh(TriangleMesh& into, const TriangleMesh* TriMesh, bool DoReindex,
                          Feedback& feedback);
// The same, reporting nothing and never cancelled.
void MergeTriangleMesh(TriangleMesh& into, const TriangleMesh* TriMesh, bool DoReindex);

// The merge's duplicate test over a growing set of points: some registered
// point differs by less than 0.001 (strictly) in X, in Y and in Z. The grid
// only narrows the candidates; the exact comparison decides, so the answer is
// that of a scan over every registered point.
class MergePointSet {
 public:
  MergePointSet() = default;
  // Registers points 1..count of the list (entry 0 is slot 0).
  explicit MergePointSet(std::span<const PointRec> points);

  bool HasDuplicate(const PointRec& p) const;
  void Add(const PointRec& p);
  // Room for this many points in all (before the first Add only).
  void Reserve(size_t points) {
    expected_ = points;
    xyz_.reserve(points + 1);
  }
  size_t size() const { return xyz_.size() - 1; }

 private:
  // Made at the first finite point, which becomes its origin: survey
  // coordinates counted in 4 mm cells from 0 would overflow the cell numbers.
  std::optional<PointGrid> grid_;
  size_t expected_ = 0;
  std::vector<std::array<double, 3>> xyz_ = std::vector<std::array<double, 3>>(1);  // [0] unused
};

// Builds one mesh from many small ones: every point appended through it is
// remembered, so merging a piece costs time in proportion to the piece, not
// to the mesh. The results equal those of AddPoint and of MergeTriangleMesh
// (DoReindex false) on the same mesh, provided nothing else appends points
// to it meanwhile. Reports no progress and never cancels.
class IncrementalMerge {
 public:
  explicit IncrementalMerge(TriangleMesh& mesh);
  // Room for this many points and triangles in all (right after creation).
  void Reserve(size_t points, size_t triangles);

  void AddPoint(double X, double Y, double z, double t = 0);
  void Merge(const TriangleMesh& piece);
  TriangleMesh& Mesh() { return mesh_; }

 private:
  TriangleMesh& mesh_;
  MergePointSet points_;
};

}  // namespace orvane
