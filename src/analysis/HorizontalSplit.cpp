#include "analysis/HorizontalSplit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "analysis/Merge.h"
#include "analysis/SplitParts.h"
#include "core/model/PointList.h"
#include "core/storage/Platform.h"
#include "core/support/Status.h"
#include "triangulation/Triangulator.h"

namespace orvane {

namespace {

PointRec Crossing(const PointRec& P, const PointRec& Q, double Elevation) {
  const PointRec& lo = P.Z < Q.Z ? P : Q;
  const PointRec& hi = P.Z < Q.Z ? Q : P;
  const double t = (Elevation - lo.Z) / (hi.Z - lo.Z);
  return {lo.X + t * (hi.X - lo.X), lo.Y + t * (hi.Y - lo.Y), Elevation, 0};
}

void Push(SplitPart& part, const PointRec& p) {
  // A triangle that crosses the plane yields at most 4 points per side.
  if (part.Count < 4) part.Vertices[static_cast<size_t>(part.Count++)] = {p.X, p.Y, p.Z, 0};
}

// The split's cancel, without its reports: a piece's phases and percentages
// mean nothing to whoever follows the split.
class CancelOnly : public Feedback {
 public:
  explicit CancelOnly(Feedback& split) : split_(split) {}
  bool Cancelled() override { return split_.Cancelled(); }

 private:
  Feedback& split_;
};

// The points already placed on one side and the mesh they went into.
class Side {
 public:
  // source: the mesh being split, whose point numbers let a vertex met again
  // skip its look-up.
  Side(const TriangleMesh& source, size_t triangles)
      : source_(source),
        known_(static_cast<size_t>(source.PointCount()) + 1, false),
        merge_(mesh_) {
    merge_.Reserve(triangles / 2 + 16, triangles);
    placed_.Reserve(triangles / 2 + 16);
  }

  void AddTriangle(const PointRec& a, const PointRec& b, const PointRec& c) {
    mesh_.AddTriangle(a.X, a.Y, a.Z, 0, b.X, b.Y, b.Z, 0, c.X, c.Y, c.Z, 0);
    for (const PointRec* v : {&a, &b, &c}) {
      // Once a vertex has been placed (or found placed), the point list
      // holds a point within 0.001 of it for good: the list only grows.
      const size_t key = KnownKey(*v);
      if (key != 0 && known_[key]) continue;
      if (!Placed(*v)) {
        placed_.AddVertex(v->X, v->Y, v->Z, 0);
        merge_.AddPoint(v->X, v->Y, v->Z, 0);
      }
      if (key != 0) known_[key] = true;
    }
  }

  // false when the triangulation was cancelled.
  bool AddQuadrilateral(std::span<const PointRec> part, Feedback& feedback) {
    PointList points;
    for (const PointRec& v : part) points.AddVertex(v.X, v.Y, v.Z);
    Triangulator triangulator;
    triangulator.Initialise(points);
    CancelOnly quiet(feedback);
    const std::optional<TriangleMesh> piece =
        triangulator.GetTriangleMesh(std::numeric_limits<double>::infinity(), quiet);
    if (triangulator.LastErrorCode == Triangulator::Cancelled) return false;
    if (piece) merge_.Merge(*piece);
    for (const PointRec& v : part)
      if (!Placed(v)) placed_.AddVertex(v.X, v.Y, v.Z, 0);
    return true;
  }

  TriangleMesh& Mesh() { return mesh_; }

 private:
  bool Placed(const PointRec& v) const {
    return placed_.FindPoint(v.X, v.Y, CoincidenceTolerance, 0) != 0;
  }
  // The source point a vertex copies exactly in plan, or 0.
  size_t KnownKey(const PointRec& v) const {
    const double t = v.T;
    if (!(t >= 1 && t <= source_.PointCount()) || t != std::floor(t)) return 0;
    const PointRec& p = source_.Point(static_cast<int32_t>(t));
    return p.X == v.X && p.Y == v.Y ? static_cast<size_t>(t) : 0;
  }

  const TriangleMesh& source_;
  std::vector<bool> known_;  // by source point number
  TriangleMesh mesh_;
  PointList placed_;
  IncrementalMerge merge_;
};

}  // namespace

TriangleSplit SplitTriangle(const PointRec& A, const PointRec& B, const PointRec& C,
                            double Elevation) {
  TriangleSplit out;
  const PointRec* outline[4] = {&A, &B, &C, &A};
  for (int e = 0; e < 3; ++e) {
    const PointRec& P = *outline[e];
    const PointRec& Q = *outline[e + 1];
    if (P.Z > Elevation) {
      Push(out.Upper, P);
    } else if (P.Z == Elevation) {
      Push(out.Upper, P);
      Push(out.Lower, P);
    } else {
      Push(out.Lower, P);
    }
    if ((P.Z > Elevation && Q.Z < Elevation) || (P.Z < Elevation && Q.Z > Elevation)) {
      const PointRec X = Crossing(P, Q, Elevation);
      Push(out.Upper, X);
      Push(out.Lower, X);
    }
  }
  return out;
}

void HorizontalSplitSimple(TriangleMesh& mesh, double Elevation, TriangleMesh& LowerTriangleMesh,
                           TriangleMesh& UpperTriangleMesh) {
  Feedback quiet;  // never cancelled
  static_cast<void>(
      HorizontalSplitSimple(mesh, Elevation, LowerTriangleMesh, UpperTriangleMesh, quiet));
}

Outcome HorizontalSplitSimple(TriangleMesh& mesh, double Elevation, TriangleMesh& LowerTriangleMesh,
                              TriangleMesh& UpperTriangleMesh, Feedback& feedback) {
  const int32_t n = mesh.TriangleCount();
  // Sized for the triangles that go to each side whole, plus two per piece.
  size_t down = 0, up = 0;
  for (const TriangleRec& t : mesh.Triangles().subspan(1)) {
    ExtentsRec box;
    for (const PointRec* v : {&t.A, &t.B, &t.C}) GrowExtents(box, *v);
    if (box.Min.Z >= Elevation) {
      ++up;
    } else if (box.Max.Z <= Elevation) {
      ++down;
    } else {
      up += 2;
      down += 2;
    }
  }
  Side lower(mesh, down), upper(mesh, up);
  for (int32_t i = 1; i <= n; ++i) {
    if (feedback.Cancelled()) {
      mesh.LastErrorCode = 1;
      return Outcome::Cancel();
    }
    feedback.Progress(PercentOf(i, n), true);
    const TriangleRec& t = mesh.Triangle(i);
    ExtentsRec box;
    for (const PointRec* v : {&t.A, &t.B, &t.C}) GrowExtents(box, *v);
    // Up before down: a triangle lying in the plane goes up.
    if (box.Min.Z >= Elevation) {
      upper.AddTriangle(t.A, t.B, t.C);
      continue;
    }
    if (box.Max.Z <= Elevation) {
      lower.AddTriangle(t.A, t.B, t.C);
      continue;
    }
    const TriangleSplit split = SplitTriangle(t.A, t.B, t.C, Elevation);
    for (auto [part, side] : {std::pair{&split.Upper, &upper}, std::pair{&split.Lower, &lower}}) {
      if (part->Count == 3) {
        side->AddTriangle(part->Vertices[0], part->Vertices[1], part->Vertices[2]);
      } else if (part->Count >= 4 && !side->AddQuadrilateral(part->View(), feedback)) {
        mesh.LastErrorCode = 1;
        return Outcome::Cancel();
      }
    }
  }
  LowerTriangleMesh = std::move(lower.Mesh());
  UpperTriangleMesh = std::move(upper.Mesh());
  return {};
}

Outcome HorizontalSplitTriangles(const TriangleMesh& mesh, double Elevation,
                                 const SplitTriangleSink& add, Feedback& feedback) {
  const std::span<const TriangleRec> triangles = mesh.Triangles().subspan(1);
  const auto n = static_cast<int64_t>(triangles.size());
  PartTriangulator parts(&feedback);
  std::vector<PieceTriangle> pieces;
  int64_t done = 0;
  for (const TriangleRec& t : triangles) {
    if (++done % 4096 == 0) {
      feedback.Progress(PercentOf(done, n), true);
      if (feedback.Cancelled()) return Outcome::Cancel();
    }
    ExtentsRec box;
    for (const PointRec* v : {&t.A, &t.B, &t.C}) GrowExtents(box, *v);
    if (box.Min.Z >= Elevation) {
      add(true, t.A, t.B, t.C);
      continue;
    }
    if (box.Max.Z <= Elevation) {
      add(false, t.A, t.B, t.C);
      continue;
    }
    // A corner of a part that is a corner of t takes its number back.
    auto numbered = [&t](PointRec v) {
      for (const PointRec* c : {&t.A, &t.B, &t.C})
        if (c->X == v.X && c->Y == v.Y && c->Z == v.Z) {
          v.T = c->T;
          break;
        }
      return v;
    };
    const TriangleSplit split = SplitTriangle(t.A, t.B, t.C, Elevation);
    for (auto [part, upper] : {std::pair{&split.Upper, true}, std::pair{&split.Lower, false}}) {
      if (part->Count < 3) continue;
      pieces.clear();
      if (!parts.Add(part->View(), pieces)) return Outcome::Cancel();
      for (const PieceTriangle& p : pieces) add(upper, numbered(p.A), numbered(p.B), numbered(p.C));
    }
  }
  feedback.Progress(100, true);
  return {};
}

}  // namespace orvane
