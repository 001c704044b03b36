// The split at an elevation against the literal procedure (scanned point
// lists, all-pairs merges), and the geometry of its results.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "analysis/HorizontalSplit.h"
#include "analysis/MergeSplitMeshes.h"
#include "core/model/MeshInvariants.h"
#include "core/support/Status.h"
#include "reference/MergeSplitReference.h"

namespace orvane {
namespace {

using test_surfaces::ExpectSameMesh;
using test_surfaces::RandomSurface;
using test_surfaces::SurfaceShape;

double PlanArea(const TriangleMesh& m) {
  double sum = 0;
  for (int32_t t = 1; t <= m.TriangleCount(); ++t) {
    const TriangleRec& r = m.Triangle(t);
    // Relative to the first corner: survey coordinates keep their digits.
    const double bx = r.B.X - r.A.X, by = r.B.Y - r.A.Y, cx = r.C.X - r.A.X, cy = r.C.Y - r.A.Y;
    sum += std::abs(bx * cy - by * cx) / 2;
  }
  return sum;
}

// The same triangles with the vertices' point numbers 0 (round 1) or
// pointing at random points (round 2): the split must not rely on them.
TriangleMesh Renumbered(const TriangleMesh& m, int round, std::mt19937_64& rng) {
  if (round == 0) return m;
  std::uniform_int_distribution<int32_t> any(1, m.PointCount());
  TriangleMesh out;
  for (const PointRec& p : m.Points().subspan(1)) out.AddPoint(p.X, p.Y, p.Z);
  for (const TriangleRec& t : m.Triangles().subspan(1)) {
    auto n = [&](const PointRec& v) { return round == 1 ? 0 : (v.T == 1 ? 1 : any(rng)); };
    out.AddTriangle(t.A.X, t.A.Y, t.A.Z, n(t.A), t.B.X, t.B.Y, t.B.Z, n(t.B), t.C.X, t.C.Y, t.C.Z,
                    n(t.C));
  }
  return out;
}

// HorizontalSplitTriangles hands over the sides' triangles of the split,
// corner for corner; a corner that keeps a number copies that point of the
// source.
void ExpectSameSideTriangles(const TriangleMesh& source, double e, const TriangleMesh& lower,
                             const TriangleMesh& upper, const std::string& what) {
  std::vector<TriangleRec> got[2];
  Feedback quiet;
  ASSERT_TRUE(HorizontalSplitTriangles(
      source, e,
      [&](bool up, const PointRec& a, const PointRec& b, const PointRec& c) {
        got[up].push_back({a, b, c});
      },
      quiet));
  for (int up = 0; up < 2; ++up) {
    const std::span<const TriangleRec> want = (up ? upper : lower).Triangles().subspan(1);
    ASSERT_EQ(got[up].size(), want.size()) << what << (up ? " upper" : " lower");
    for (size_t k = 0; k < want.size(); ++k) {
      const TriangleRec& g = got[up][k];
      const TriangleRec& w = want[k];
      for (auto [x, y] : {std::pair{&g.A, &w.A}, {&g.B, &w.B}, {&g.C, &w.C}}) {
        ASSERT_TRUE(x->X == y->X && x->Y == y->Y && x->Z == y->Z) << what << " triangle " << k;
        if (x->T == 0 || x->T > source.PointCount()) continue;
        const PointRec& p = source.Point(static_cast<int32_t>(x->T));
        // Numbers the source's triangles carried (the test renumbers some
        // at random) may name another point; the split never invents one.
        if (!(p.X == x->X && p.Y == x->Y && p.Z == x->Z)) {
          bool carried = false;
          for (const TriangleRec& t : source.Triangles().subspan(1))
            for (const PointRec* v : {&t.A, &t.B, &t.C})
              carried = carried || (v->T == x->T && v->X == x->X && v->Y == x->Y);
          ASSERT_TRUE(carried) << what << " triangle " << k;
        }
      }
    }
  }
}

TEST(HorizontalSplitSimple, MatchesLiteralSplit) {
  const SurfaceShape shapes[] = {
      {0, 0, 12, 12, 1, 0, 10, 5, 0.25, 0.3, 0.25},
      {500000, 4500000, 25, 20, 0.5, 100, 104, 102, 0.3, 0.4, 0.05},
      // Points packed at millimetres: pieces and vertices within 0.001.
      {500000.0005, 4500000.0005, 10, 10, 0.0015, 0, 0.004, 0.002, 0.3, 0.9},
      // Elevations a hair from the plane: crossing points within 0.001 of a
      // vertex, whose sliver the triangulation of a piece leaves out.
      {500000, 4500000, 25, 20, 0.5, 101.99, 102.01, 102, 0.3, 0.4},
      // Mostly flat at the elevation: triangles lying in the plane.
      {100, 200, 15, 15, 2, 4, 6, 5, 0.8, 0.2, 0.5},
      // A square grid at whole elevations 0 to 2, cut at 1.5 (and at 1 and
      // 0.5 where corners lie): crossing points at half metres, so parts
      // are isosceles trapezoids, whose four corners lie on one circle and
      // whose diagonal the in-circle tie rule chooses; corners, and two
      // corners of a triangle, exactly at the elevation.
      {0, 0, 12, 12, 1, 0, 2, 1, 0.1, 0, 1},
      {500000, 4500000, 12, 12, 1, 0, 2, 0.5, 0.05, 0, 1},
  };
  unsigned seed = 11;
  for (const SurfaceShape& shape : shapes) {
    for (int round = 0; round < 3; ++round, ++seed) {
      std::mt19937_64 rng(seed);
      TriangleMesh source = Renumbered(RandomSurface(shape, rng), round, rng);
      const ExtentsRec box = source.GetExtents();
      for (double e : {shape.snapTo, shape.snapTo + 0.0123, box.Min.Z, box.Max.Z,
                       (box.Min.Z + 3 * box.Max.Z) / 4}) {
        const std::string what = "seed " + std::to_string(seed) + " at " + std::to_string(e);
        TriangleMesh lower, upper, literalLower, literalUpper;
        HorizontalSplitSimple(source, e, lower, upper);
        reference::LiteralHorizontalSplitSimple(source, e, literalLower, literalUpper);
        ExpectSameMesh(lower, literalLower, what + " lower");
        ExpectSameMesh(upper, literalUpper, what + " upper");
        EXPECT_EQ(source.LastErrorCode, 0);
        ExpectSameSideTriangles(source, e, lower, upper, what);

        // Each side lies on its side of the plane; together they cover the
        // source's plan area (where no corner of a piece comes within 0.001
        // of another).
        if (shape.zStep == 0) continue;
        for (const TriangleRec& t : lower.Triangles().subspan(1))
          for (const PointRec* v : {&t.A, &t.B, &t.C}) EXPECT_LE(v->Z, e) << what;
        for (const TriangleRec& t : upper.Triangles().subspan(1))
          for (const PointRec* v : {&t.A, &t.B, &t.C}) EXPECT_GE(v->Z, e) << what;
        const double whole = PlanArea(source);
        EXPECT_NEAR(PlanArea(lower) + PlanArea(upper), whole, 1e-9 * whole + 1e-12) << what;

        // Reindexed, the sides are sound surfaces: every corner names its
        // point, no triangle without plan area, none overlapping another.
        // The pieces are clockwise, the whole triangles keep their winding.
        lower.Reindex();
        upper.Reindex();
        for (const TriangleMesh* side : {&lower, &upper}) {
          const MeshReport report = CheckMesh(*side, {.RequireClockwise = false});
          EXPECT_TRUE(report.Valid()) << what << ": " << report.Summary();
        }
      }
    }
  }
}

// Triangles on their own, most of them slivers whose parts are nearly
// collinear (the triangulation of a part decides by exact predicates), with
// corners at, a hair off and on both sides of the elevation.
TEST(HorizontalSplitSimple, SliversMatchTheSplitsTriangles) {
  std::mt19937_64 rng(29);
  std::uniform_real_distribution<double> u(0, 1);
  for (int round = 0; round < 4; ++round) {
    TriangleMesh m;
    const double e = 100;
    for (int k = 0; k < 600; ++k) {
      const double x0 = 500000 + 40 * u(rng), y0 = 4500000 + 40 * u(rng);
      const double dx = 20 * (u(rng) - 0.5), dy = 20 * (u(rng) - 0.5);
      const double s = u(rng);
      // Off the line through the other two by 1e-12 to 1 m, or on it.
      const double off = k % 7 == 0 ? 0 : std::pow(10, -12 + 12 * u(rng)) * (u(rng) < 0.5 ? -1 : 1);
      PointRec v[3] = {
          {x0, y0, 0}, {x0 + dx, y0 + dy, 0}, {x0 + s * dx - off * dy, y0 + s * dy + off * dx, 0}};
      for (PointRec& p : v) {
        const double r = u(rng);
        p.Z = r < 0.15 ? e : r < 0.25 ? e + (u(rng) - 0.5) * 2e-9 : e + 4 * (u(rng) - 0.5);
      }
      m.AddTriangle(v[0].X, v[0].Y, v[0].Z, 0, v[1].X, v[1].Y, v[1].Z, 0, v[2].X, v[2].Y, v[2].Z,
                    0);
    }
    TriangleMesh lower, upper;
    HorizontalSplitSimple(m, e, lower, upper);
    ExpectSameSideTriangles(m, e, lower, upper, "round " + std::to_string(round));
  }
}

TEST(HorizontalSplitSimple, TrianglesAtTheElevation) {
  auto split = [](std::initializer_list<PointRec> corners, double e) {
    TriangleMesh m;
    const auto* c = corners.begin();
    m.AddTriangle(c[0].X, c[0].Y, c[0].Z, 0, c[1].X, c[1].Y, c[1].Z, 0, c[2].X, c[2].Y, c[2].Z, 0);
    TriangleMesh lower, upper;
    HorizontalSplitSimple(m, e, lower, upper);
    return std::pair{lower.TriangleCount(), upper.TriangleCount()};
  };
  using Counts = std::pair<int32_t, int32_t>;
  // Highest vertex at the elevation: down whole; lowest at it: up whole;
  // lying in it: up.
  EXPECT_EQ(split({{0, 0, 1}, {10, 0, 5}, {0, 10, 5}}, 5), (Counts{1, 0}));
  EXPECT_EQ(split({{0, 0, 9}, {10, 0, 5}, {0, 10, 5}}, 5), (Counts{0, 1}));
  EXPECT_EQ(split({{0, 0, 5}, {10, 0, 5}, {0, 10, 5}}, 5), (Counts{0, 1}));
  // One above, two below: a triangle above, a quadrilateral (two) below;
  // and the other way round.
  EXPECT_EQ(split({{0, 0, 9}, {10, 0, 1}, {0, 10, 2}}, 5), (Counts{2, 1}));
  EXPECT_EQ(split({{0, 0, 1}, {10, 0, 9}, {0, 10, 8}}, 5), (Counts{1, 2}));
  // A vertex exactly at the elevation between one above and one below.
  EXPECT_EQ(split({{0, 0, 5}, {10, 0, 9}, {0, 10, 1}}, 5), (Counts{1, 1}));

  // The crossing point does not depend on the direction of the edge and
  // lies exactly in the plane.
  const PointRec a{500000.123, 4500000.456, 101.7}, b{500003.9, 4499998.2, 98.35},
      c{500001, 4500004, 99};
  const TriangleSplit one = SplitTriangle(a, b, c, 100), other = SplitTriangle(b, a, c, 100);
  ASSERT_EQ(one.Upper.Count, 3);
  ASSERT_EQ(one.Lower.Count, 4);
  EXPECT_EQ(one.Upper.Vertices[0], (PointRec{a.X, a.Y, a.Z, 0}));
  EXPECT_EQ(one.Upper.Vertices[1], other.Upper.Vertices[0]);  // on a-b
  EXPECT_EQ(one.Upper.Vertices[1].Z, 100);
  EXPECT_EQ(one.Lower.Vertices[0], one.Upper.Vertices[1]);
}

TEST(HorizontalSplitSimple, CancelDeliversNothing) {
  std::mt19937_64 rng(3);
  TriangleMesh source = RandomSurface({0, 0, 30, 30, 1, 0, 10, 5, 0.2, 0.3}, rng);
  TriangleMesh lower = RandomSurface({0, 0, 3, 3, 1, 0, 10, 5, 0.2, 0.3}, rng), upper;
  const TriangleMesh lowerBefore = lower;
  auto status = Status::Create();
  status->Delay = 0;
  int reports = 0;
  status->Progress = [&](int32_t& pct) {
    if (++reports == 1 && pct < 50) return;
    CancelRequested = true;  // on a later report, part-way through
  };
  status->Listen();
  {
    StatusFeedback feedback;
    EXPECT_TRUE(HorizontalSplitSimple(source, 5, lower, upper, feedback).IsCancelled());
  }
  Status::Create()->Listen();
  EXPECT_EQ(source.LastErrorCode, 1);
  EXPECT_FALSE(CancelRequested);
  EXPECT_GT(reports, 1);
  ExpectSameMesh(lower, lowerBefore, "lower");
  EXPECT_EQ(upper.TriangleCount() + upper.PointCount(), 0);

  // An empty source gives two empty meshes.
  TriangleMesh empty;
  HorizontalSplitSimple(empty, 5, lower, upper);
  EXPECT_EQ(lower.TriangleCount() + lower.PointCount() + upper.TriangleCount(), 0);
}

}  // namespace
}  // namespace orvane
