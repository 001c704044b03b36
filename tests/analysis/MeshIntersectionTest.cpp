#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "analysis/IntersectionKernels.h"
#include "analysis/MeshIntersection.h"
#include "analysis/SegmentDuplicates.h"
#include "core/model/PointList.h"
#include "reference/MeshIntersectionReference.h"
#include "support/SurveySurfaces.h"
#include "triangulation/Triangulator.h"

namespace orvane {

namespace {

using testing::FallingDiagonal;
using testing::GridSurface;
using testing::Height;
using testing::kE;
using testing::kN;
using testing::RandomDiagonals;
using testing::RandomSurface;
using testing::RisingDiagonal;

void ExpectSameSegments(const std::vector<PlanSegment>& got, const std::vector<PlanSegment>& want,
                        const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t k = 0; k < got.size(); ++k)
    if (std::memcmp(&got[k], &want[k], sizeof(PlanSegment)) != 0) {  // NaN included
      ADD_FAILURE() << what << ": segment " << k << " differs";
      return;
    }
}

void ExpectSameOverlay(const TriangleMesh& A, const TriangleMesh& B, const std::string& what) {
  const std::vector<PlanSegment> want =
      reference::LiteralOverlaySegments(A.Triangles(), B.Triangles());
  ExpectSameSegments(OverlaySegments(A, B), want, what);
  EXPECT_FALSE(want.empty()) << what;
}

void ExpectSameCrossings(const TriangleMesh& A, const TriangleMesh& B, const std::string& what) {
  ExpectSameSegments(CrossingSegments(A, B),
                     reference::LiteralCrossingSegments(A.Triangles(), B.Triangles()), what);
}

// X, Y, Z of vertex k (T is the vertex's own number).
PointRec End(const PointList& s, int32_t k) {
  PointRec p = *s.GetPoint(k);
  p.T = 0;
  return p;
}

}  // namespace

TEST(MeshIntersection, OverlayMatchesThePairByPairProcedure) {
  const Height za = [](double x, double y) { return 100 + 0.05 * x + std::sin(0.3 * y); };
  const Height zb = [](double x, double y) { return 101 - 0.03 * y + std::cos(0.2 * x); };
  for (uint64_t seed = 1; seed <= 4; ++seed) {
    std::mt19937_64 rng(seed);
    const std::string s = " seed " + std::to_string(seed);
    // Independent point sets over partly overlapping squares.
    const TriangleMesh A = RandomSurface(rng, kE, kN, 0, 0, 60, 150, za);
    TriangleMesh B = RandomSurface(rng, kE, kN, 25, 15, 60, 150, zb);
    ExpectSameOverlay(A, B, "independent" + s);
    ExpectSameOverlay(B, A, "independent, swapped" + s);

    // B holds some of A's vertices and points exactly on A's edges (edge
    // midpoints of axis-parallel grid edges), and points within and just
    // beyond 0.001 of A's vertices.
    std::vector<XYRec> extra;
    for (int32_t p = 1; p <= A.PointCount(); p += 3) {
      const PointRec& q = A.Point(p);
      const double dx = (p % 2 ? 0.0009 : 0.0011) * (p % 4 < 2 ? 1 : -1);
      extra.push_back({q.X - kE + (p % 9 == 0 ? dx : 0), q.Y - kN});
    }
    B = RandomSurface(rng, kE, kN, 20, 10, 50, 80, zb, extra);
    ExpectSameOverlay(A, B, "shared vertices" + s);

    // Equal grids share every edge; a grid shifted by half a cell puts its
    // vertices on the other's edges; a local grid at 0.001-scale spacing.
    const TriangleMesh G1 = GridSurface(0, 0, 4, 8, 8, za, RandomDiagonals(rng));
    const TriangleMesh G2 = GridSurface(0, 0, 4, 8, 8, zb, RandomDiagonals(rng));
    const TriangleMesh G3 = GridSurface(2, 0, 4, 7, 8, zb, RandomDiagonals(rng));
    ExpectSameOverlay(G1, G2, "same grid" + s);
    ExpectSameOverlay(G1, G3, "half-shifted grid" + s);
    ExpectSameOverlay(G1, A, "grid against random" + s);
    const TriangleMesh F1 = GridSurface(0, 0, 0.003, 6, 6, za, RandomDiagonals(rng));
    const TriangleMesh F2 = GridSurface(0.0015, 0.0005, 0.003, 6, 6, zb, RandomDiagonals(rng));
    ExpectSameOverlay(F1, F2, "millimetre grid" + s);

    // Mesh_Intersects_Mesh_2D is the same list as constraint segments.
    const std::vector<PlanSegment> compact = OverlaySegments(A, B);
    SegmentCollection lines(3);
    Mesh_Intersects_Mesh_2D(A, B, lines);
    ASSERT_EQ(lines.size(), compact.size()) << s;
    for (size_t k = 0; k < lines.size(); ++k) {
      ASSERT_EQ(lines[k].count(), 2);
      EXPECT_EQ(lines[k].Model, PointListModel::Breakline);
      EXPECT_EQ(End(lines[k], 1), compact[k].From);
      EXPECT_EQ(End(lines[k], 2), compact[k].To);
    }
  }
}

TEST(MeshIntersection, DuplicateRemovalMatchesRecordAgainstRecord) {
  // Clusters of copies of a few segments, direct and reversed, their ends
  // moved by up to 0.0012 (0.001 exactly among them), so that matching is not
  // transitive and copies chain; at survey and at large coordinates, a
  // metre and kilometres long, with a few non-finite records and a few
  // reaching past single precision.
  for (uint64_t seed = 21; seed <= 30; ++seed) {
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> pick(0, 5), step(-12, 12);
    const double origin = seed % 3 == 0 ? 3e11 : kE;
    const double spacing = seed % 2 == 0 ? 1 : 7919.3;
    std::vector<PointRec> base;
    for (int k = 0; k < 8; ++k)
      base.push_back({origin + spacing * (k % 3), kN + spacing * (k / 3), 0, 0});
    std::vector<PlanSegment> records;
    for (int r = 0; r < 400; ++r) {
      auto jitter = [&](PointRec p) {
        p.X += step(rng) * 1e-4;
        p.Y += step(rng) * 1e-4;
        p.Z = r;
        return p;
      };
      const int a = pick(rng), b = a + 1 + pick(rng) % 2;
      PlanSegment s{jitter(base[static_cast<size_t>(a)]), jitter(base[static_cast<size_t>(b)])};
      if (rng() % 2) std::swap(s.From, s.To);
      if (r % 97 == 5) s.To.Y = r % 2 ? NAN : INFINITY;
      records.push_back(s);
      // Ends far beyond single precision's range, and a plan so wide that
      // the grid of ends cannot divide it.
      if (seed % 4 == 0 && r % 150 == 3) {
        const double far = r < 300 ? 1e300 : 4e38;
        PlanSegment wide{{-far, 1, 0, 0}, {far, 2, 0, 0}};
        if (r == 153) std::swap(wide.From, wide.To);
        records.push_back(wide);
      }
    }
    const std::vector<PlanSegment> want = reference::LiteralRemoveDuplicates(records);
    // The same from blocks of random sizes (some empty), each record's
    // number alongside.
    std::vector<std::vector<PlanSegment>> blocks;
    std::vector<std::vector<SegmentSource>> along;
    for (size_t r = 0; r < records.size();) {
      size_t size = std::min<size_t>(records.size() - r, rng() % 40);
      blocks.emplace_back(records.begin() + static_cast<std::ptrdiff_t>(r),
                          records.begin() + static_cast<std::ptrdiff_t>(r + size));
      along.emplace_back();
      for (; size > 0; --size, ++r) along.back().push_back({static_cast<int32_t>(r), 0});
    }
    std::vector<SegmentSource> numbers;
    const std::vector<PlanSegment> joined = RemoveDuplicateSegments(blocks, &along, &numbers);
    std::vector<PlanSegment> numbered;
    for (const SegmentSource& k : numbers) numbered.push_back(records[static_cast<size_t>(k.i)]);
    ExpectSameSegments(joined, want, "blocks, seed " + std::to_string(seed));
    ExpectSameSegments(numbered, want, "numbers, seed " + std::to_string(seed));
    RemoveDuplicateSegments(records);
    ExpectSameSegments(records, want, "seed " + std::to_string(seed));
  }
}

TEST(MeshIntersection, CrossingsMatchThePairByPairProcedure) {
  for (uint64_t seed = 11; seed <= 14; ++seed) {
    std::mt19937_64 rng(seed);
    const std::string s = " seed " + std::to_string(seed);
    const TriangleMesh A = RandomSurface(rng, kE, kN, 0, 0, 60, 150, [](double x, double y) {
      return 100 + 0.1 * x + 2 * std::sin(0.2 * y);
    });
    const TriangleMesh B = RandomSurface(rng, kE, kN, 20, 10, 60, 150, [](double x, double y) {
      return 103 - 0.05 * y + 2 * std::cos(0.15 * x);
    });
    ExpectSameCrossings(A, B, "random" + s);
    EXPECT_FALSE(CrossingSegments(A, B).empty()) << s;
    // Planes that share grid lines and coplanar stretches (z = x on both
    // where the grids meet).
    const Height plane = [](double x, double) { return x; };
    const Height fold = [](double x, double y) { return y > 16 ? x : x + 0.5 * (16 - y); };
    ExpectSameCrossings(GridSurface(0, 0, 4, 8, 8, plane, RandomDiagonals(rng)),
                        GridSurface(2, 2, 4, 8, 8, fold, RandomDiagonals(rng)), "folded grid" + s);
  }
  // Vertical walls whose plan boxes touch exactly or miss by a few units in
  // the last place: an edge of W2 lying in W1's plane crosses it along that
  // edge; a hair away it does not.
  TriangleMesh W1, W2;
  for (int k = 0; k < 20; ++k) {
    const double x = kE + k, gap = k % 2 ? 0 : 1e-9 * k;
    W1.AddTriangle(x, kN, 0, 0, x + 1, kN, 0, 0, x + 0.5, kN, 10, 0);
    W2.AddTriangle(x + 0.5, kN + gap, 2, 0, x + 0.5, kN + gap, 8, 0, x + 0.5, kN + 1, 5, 0);
    W2.AddTriangle(x + 1 + gap, kN - 1, 0, 0, x + 1 + gap, kN + 1, 0, 0, x + 1 + gap, kN, 5, 0);
  }
  ExpectSameCrossings(W1, W2, "walls");
  ExpectSameCrossings(W2, W1, "walls, swapped");
}

// Two tilted planes, each triangulated from its own random points (on a
// 1/64 m lattice, so every corner lies exactly on its plane wherever the
// square is placed), cross along 4x + 3y = 320 from (80, 0) to (5, 100):
// 125 m in plan. The crossing segments must cover that line whole at every
// offset, survey coordinates included.
TEST(MeshIntersection, CrossingLineFoundWholeAtSurveyCoordinates) {
  std::mt19937_64 rng(17);
  std::uniform_int_distribution<int> lattice(0, 6400);
  auto surface = [&](double e, double n, double z0, double zx, double zy) {
    PointList pts;
    auto add = [&](double x, double y) { pts.AddVertex(e + x, n + y, z0 + zx * x + zy * y, 0); };
    for (const double c : {0.0, 100.0}) {
      add(c, 0);
      add(c, 100);
    }
    for (int k = 0; k < 150; ++k) add(lattice(rng) / 64.0, lattice(rng) / 64.0);
    return testing::Triangulate(std::move(pts));
  };
  for (const double offset : {0.0, 1e3, 1e4, 1e5, 5e5, 1e6, 2.2e6}) {
    SCOPED_TRACE("offset " + std::to_string(offset));
    const double e = offset, n = offset / 8;
    const TriangleMesh A = surface(e, n, 100, 1.0 / 8, -1.0 / 16);
    const TriangleMesh B = surface(e, n, 90, 1.0 / 4, 1.0 / 32);
    double length = 0;
    for (const PlanSegment& s : CrossingSegments(A, B)) {
      const double x1 = s.From.X - e, y1 = s.From.Y - n, x2 = s.To.X - e, y2 = s.To.Y - n;
      ASSERT_NEAR(4 * x1 + 3 * y1, 320, 1e-6);
      ASSERT_NEAR(4 * x2 + 3 * y2, 320, 1e-6);
      ASSERT_NEAR(s.From.Z, 100 + x1 / 8 - y1 / 16, 1e-6);
      length += std::hypot(x2 - x1, y2 - y1);
    }
    EXPECT_NEAR(length, 125, 1e-6);
  }
}

// The overlay's own cases (a triangle inside another, edges across, shared
// edges once, pieces under the tolerance) are held to the pair-by-pair
// procedure above; here the list calls and the per-pair members.
TEST(MeshIntersection, ListCallsAndPairMembers) {
  auto mesh = [](std::vector<std::array<PointRec, 3>> tris) {
    TriangleMesh m;
    for (const auto& t : tris)
      m.AddTriangle(t[0].X, t[0].Y, t[0].Z, 0, t[1].X, t[1].Y, t[1].Z, 0, t[2].X, t[2].Y, t[2].Z,
                    0);
    return m;
  };
  // A: one large triangle, z = 10 + x.
  const TriangleMesh A = mesh({{{{0, 0, 10, 0}, {100, 0, 110, 0}, {0, 100, 10, 0}}}});
  // Far apart: empty overlay; the crossing list is left alone.
  const TriangleMesh Far = mesh({{{{500, 500, 0, 0}, {600, 500, 0, 0}, {500, 600, 0, 0}}}});
  SegmentCollection lines(2);
  Mesh_Intersects_Mesh_2D(A, Far, lines);
  EXPECT_TRUE(lines.empty());
  SegmentCollection constraints(2);
  Mesh_Intersects_Mesh(A, Far, constraints);
  EXPECT_EQ(constraints.size(), 2u);
  Mesh_Intersects_Mesh(A, TriangleMesh{}, constraints);
  EXPECT_EQ(constraints.size(), 2u);
  Mesh_Intersects_Mesh_2D(TriangleMesh{}, A, lines);
  EXPECT_TRUE(lines.empty());

  // Per-pair members: index beyond the count or boxes apart leave the output
  // alone; coplanar triangles report contact with the outputs untouched.
  SegmentCollection pair(1);
  TriangleIntersectTriangle2D(A, 2, 10, 10, 0, 20, 10, 0, 10, 20, 0, pair);
  EXPECT_EQ(pair.size(), 1u);
  TriangleIntersectTriangle2D(A, 1, 500, 500, 0, 600, 500, 0, 500, 600, 0, pair);
  EXPECT_EQ(pair.size(), 1u);
  TriangleIntersectTriangle2D(A, 1, 10, 10, 0, 20, 10, 0, 10, 20, 5, pair);
  EXPECT_EQ(pair.size(), 3u);
  double o[6] = {7, 7, 7, 7, 7, 7};
  EXPECT_TRUE(TriangleIntersectTriangle(A, 1, 10, 0, 20, 20, 0, 30, 10, 10, 20, o[0], o[1], o[2],
                                        o[3], o[4], o[5]));
  for (double v : o) EXPECT_EQ(v, 7);
  EXPECT_FALSE(TriangleIntersectTriangle(A, 2, 10, 10, 0, 20, 10, 0, 10, 20, 5, o[0], o[1], o[2],
                                         o[3], o[4], o[5]));
  // A vertical wall through A along x = 50 crosses it at z = 60.
  EXPECT_TRUE(TriangleIntersectTriangle(A, 1, 50, 10, 0, 50, 30, 0, 50, 20, 200, o[0], o[1], o[2],
                                        o[3], o[4], o[5]));
  EXPECT_NEAR(o[0], 50, 1e-9);
  EXPECT_NEAR(o[2], 60, 1e-9);
  EXPECT_NEAR(o[5], 60, 1e-9);
}

}  // namespace orvane
