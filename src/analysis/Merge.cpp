#include "analysis/Merge.h"

#include <cmath>

#include "core/geometry/Kernels.h"
#include "core/support/Status.h"

namespace orvane {

namespace {

// Cells a little wider than the two tolerances a box spans: a query then
// touches at most two cells per axis.
constexpr double kCellWidth = 4 * CoincidenceTolerance;

bool Finite(const PointRec& p) {
  return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z);
}

void AppendTriangles(TriangleMesh& into, const TriangleMesh& from, int32_t count) {
  for (int32_t i = 1; i <= count; ++i) {
    // A copy: `from` may be `into`, whose list moves as it grows.
    const TriangleRec t = from.Triangle(i);
    into.AddTriangle(t.A.X, t.A.Y, t.A.Z, 0, t.B.X, t.B.Y, t.B.Z, 0, t.C.X, t.C.Y, t.C.Z, 0);
    const int32_t added = into.TriangleCount();
    into.SetColor(added, t.Color);
    into.SetGroup(added, t.Group);
  }
}

}  // namespace

MergePointSet::MergePointSet(std::span<const PointRec> points)
    : expected_(points.empty() ? 0 : points.size() - 1) {
  xyz_.reserve(points.size());
  for (size_t i = 1; i < points.size(); ++i) Add(points[i]);
}

bool MergePointSet::HasDuplicate(const PointRec& p) const {
  // A point with a non-finite coordinate is never less than 0.001 from
  // anything (the difference is infinite or NaN).
  if (!grid_ || !Finite(p)) return false;
  const PointGrid::Bounds lo{p.X - CoincidenceTolerance, p.Y - CoincidenceTolerance,
                             p.Z - CoincidenceTolerance};
  const PointGrid::Bounds hi{p.X + CoincidenceTolerance, p.Y + CoincidenceTolerance,
                             p.Z + CoincidenceTolerance};
  bool found = false;
  grid_->ForEachInBox(lo, hi, [&](int32_t j) {
    const auto& q = xyz_[static_cast<size_t>(j)];
    if (PointsCoincide(p, PointRec{q[0], q[1], q[2], 0}, true)) found = true;
    return !found;
  });
  return found;
}

void MergePointSet::Add(const PointRec& p) {
  xyz_.push_back({p.X, p.Y, p.Z});
  if (!grid_) {
    if (!Finite(p)) return;  // the grid would not hold it anyway
    grid_.emplace(kCellWidth, true, p, expected_);
  }
  grid_->Add(static_cast<int32_t>(xyz_.size() - 1), p);
}

void MergeTriangleMesh(TriangleMesh& into, const TriangleMesh* TriMesh, bool DoReindex) {
  Feedback quiet;
  static_cast<void>(MergeTriangleMesh(into, TriMesh, DoReindex, quiet));  // never cancelled
}

Outcome MergeTriangleMesh(TriangleMesh& into, const TriangleMesh* TriMesh, bool DoReindex,
                          Feedback& feedback) {
  into.LastErrorCode = 0;
  if (TriMesh == nullptr) return {};
  const TriangleMesh& from = *TriMesh;
  const int32_t n = from.PointCount();
  const int32_t triangles = from.TriangleCount();

  // Decide every point first, so that a cancel leaves `into` untouched.
  MergePointSet known(into.Points());
  std::vector<int32_t> taken;
  for (int32_t i = 1; i <= n; ++i) {
    feedback.Progress(PercentOf(i, n), true);
    if (feedback.Cancelled()) {
      into.LastErrorCode = 1;
      return Outcome::Cancel();
    }
    const PointRec& p = from.Point(i);
    if (known.HasDuplicate(p)) continue;
    known.Add(p);
    taken.push_back(i);
  }

  into.Reserve(static_cast<size_t>(into.PointCount()) + taken.size(),
               static_cast<size_t>(into.TriangleCount()) + static_cast<size_t>(triangles));
  for (int32_t i : taken) {
    const PointRec p = from.Point(i);
    into.AddPoint(p.X, p.Y, p.Z, p.T);
  }
  AppendTriangles(into, from, triangles);
  if (DoReindex) into.Reindex();
  return {};
}

IncrementalMerge::IncrementalMerge(TriangleMesh& mesh) : mesh_(mesh), points_(mesh.Points()) {}

void IncrementalMerge::Reserve(size_t points, size_t triangles) {
  mesh_.Reserve(points, triangles);
  if (points_.size() == 0) points_.Reserve(points);
}

void IncrementalMerge::AddPoint(double X, double Y, double z, double t) {
  mesh_.AddPoint(X, Y, z, t);
  points_.Add(PointRec{X, Y, z, t});
}

void IncrementalMerge::Merge(const TriangleMesh& piece) {
  mesh_.LastErrorCode = 0;
  for (int32_t i = 1; i <= piece.PointCount(); ++i) {
    const PointRec p = piece.Point(i);
    if (points_.HasDuplicate(p)) continue;
    AddPoint(p.X, p.Y, p.Z, p.T);
  }
  AppendTriangles(mesh_, piece, piece.TriangleCount());
}

}  // namespace orvane
