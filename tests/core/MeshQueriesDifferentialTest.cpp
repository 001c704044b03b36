// The indexed and hashed mesh queries against the literal scans, on seeded
// random meshes: a jittered grid (two triangles per cell, mixed windings),
// random overlapping triangles, near-duplicate vertices 0.0005 / 0.001 /
// 0.0015 apart, degenerate triangles, at small and survey-sized
// coordinates. Queries sit on vertices, on and beside edges, at the critical
// distances from vertices, on the index's cell borders and far outside.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/geometry/TriangleIndex.h"
#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "reference/MeshQueriesReference.h"
#include "support/RandomQueryMeshes.h"

namespace orvane {
namespace {

using testing::Add;
using testing::Case;
using testing::NewPoint;
using testing::ProbesAround;
using testing::Queries;
using testing::RandomMesh;
using testing::RandomProbeTriangle;

const Case kCases[] = {
    {0, 0, 1, 16, 1},
    {500000.0005, 4500000.0015, 2.5, 14, 2},  // survey-sized, millimetre offsets
    {-30, 12, 0.004, 12, 3},                  // grid spacing of a few tolerances
    {500000, 4500000, 0.0031, 10, 4},
    {500000.001, 4500000, 40, 8, 5, true},  // long edges: a wide on-edge band
};

TEST(MeshQueriesDifferential, TriangleAtMatchesTheScan) {
  for (const Case& c : kCases) {
    SCOPED_TRACE("seed " + std::to_string(c.seed));
    const TriangleMesh mesh = RandomMesh(c);
    int hits = 0;
    for (const XYRec& p : Queries(mesh, c, c.seed + 100)) {
      const int32_t expected = reference::LiteralTriangleAt(mesh.Triangles(), p.X, p.Y);
      ASSERT_EQ(mesh.TriangleAt(p.X, p.Y), expected)
          << "at " << std::to_string(p.X) << ", " << std::to_string(p.Y);
      hits += expected != 0;
    }
    EXPECT_GT(hits, 1000);  // the queries do land on the mesh
  }
}

// The point-in-triangle test settles most points with orientation tests;
// near the classifier's own limits (the on-edge lens about 2.5e-4 L wide,
// the rounding sliver along C-A, the vertex boxes) it must still agree.
TEST(MeshQueriesDifferential, PointInsideTriangleAgreesNearTheClassifiersLimits) {
  std::mt19937_64 rng(17);
  int checked = 0, accepted = 0;
  for (int round = 0; round < 400; ++round) {
    const auto v = RandomProbeTriangle(rng, round);
    TriangleMesh mesh;
    Add(mesh, v[0], v[1], v[2]);
    for (const XYRec& p : ProbesAround(v)) {
      const bool want = reference::LiteralPointInsideTriangle(mesh.Triangle(1), p.X, p.Y);
      ASSERT_EQ(mesh.PointInsideTriangle(1, p.X, p.Y), want) << "round " << round;
      ++checked;
      accepted += want;
    }
  }
  EXPECT_GT(accepted, checked / 5);
}

TEST(MeshQueriesDifferential, FindTriangleMatchesTheScan) {
  for (const Case& c : kCases) {
    SCOPED_TRACE("seed " + std::to_string(c.seed));
    const TriangleMesh mesh = RandomMesh(c);
    const auto tris = mesh.Triangles();
    std::mt19937_64 rng(c.seed + 200);
    std::uniform_int_distribution<size_t> pickTri(1, tris.size() - 1);
    const double near[] = {0.0005, -0.0005, 0.00099, 0.001, -0.001, 0.0015};
    std::uniform_int_distribution<int> pickNear(0, 5);
    std::uniform_real_distribution<double> unit(0, 1);
    int found = 0;
    for (int k = 0; k < 1500; ++k) {
      const TriangleRec& t = tris[pickTri(rng)];
      PointRec v[3] = {t.A, t.B, t.C};
      std::shuffle(v, v + 3, rng);
      if (k % 5 == 0) v[2] = tris[pickTri(rng)].B;  // a vertex of another triangle
      for (PointRec& p : v)
        for (double* coord : {&p.X, &p.Y, &p.Z})
          if (unit(rng) < 0.1) *coord += near[pickNear(rng)];
      const bool checkZ = k % 2 == 0;
      const int32_t expected = reference::LiteralFindTriangle(tris, v[0], v[1], v[2], checkZ);
      ASSERT_EQ(mesh.FindTriangle(v[0].X, v[0].Y, v[0].Z, v[1].X, v[1].Y, v[1].Z, v[2].X, v[2].Y,
                                  v[2].Z, checkZ),
                expected);
      found += expected != 0;
    }
    EXPECT_GT(found, 500);
  }
}

TEST(MeshQueriesDifferential, DegenerateLayoutsMatchTheScan) {
  // A cluster of tiny triangles, one huge triangle, a stray triangle 1e7 m
  // away, and triangles with coordinates too large to index.
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> unit(0, 1);
  TriangleMesh mesh;
  for (int k = 0; k < 300; ++k) {
    const double x = 500000 + 0.05 * unit(rng), y = 4500000 + 0.05 * unit(rng);
    mesh.AddTriangle(x, y, 0, 0, x + 0.003 * unit(rng), y, 0, 0, x, y + 0.003 * unit(rng), 0, 0);
  }
  mesh.AddTriangle(400000, 4400000, 0, 0, 600000, 4400000, 0, 0, 500000, 4600000, 0, 0);
  mesh.AddTriangle(1e7, 1e7, 0, 0, 1e7 + 1, 1e7, 0, 0, 1e7, 1e7 + 1, 0, 0);
  mesh.AddTriangle(1e13, 1e13, 0, 0, 1e13 + 4, 1e13, 0, 0, 1e13, 1e13 + 4, 0, 0);
  mesh.AddTriangle(-1e300, 0, 0, 0, 1e300, 0, 0, 0, 0, 1e300, 0, 0);
  std::vector<XYRec> q;
  for (int k = 0; k < 2000; ++k)
    q.push_back({500000 + 0.06 * unit(rng), 4500000 + 0.06 * unit(rng)});
  q.push_back({1e7 + 0.2, 1e7 + 0.2});
  q.push_back({1e13 + 1, 1e13 + 1});
  q.push_back({0, -1});
  q.push_back({0, 1e299});
  q.push_back({1e308, 1e308});
  q.push_back({-std::numeric_limits<double>::infinity(), 3});
  q.push_back({std::nan(""), 3});
  for (const XYRec& p : q)
    ASSERT_EQ(mesh.TriangleAt(p.X, p.Y), reference::LiteralTriangleAt(mesh.Triangles(), p.X, p.Y))
        << std::to_string(p.X) << ", " << std::to_string(p.Y);
  // Every triangle is filed in at most 3 x 3 cells, whatever the layout.
  EXPECT_LE(TriangleIndex(mesh.Triangles()).EntryCount(), 9u * mesh.TriangleCount());
}

// Triangles over a small pool of point indices: non-manifold edges shared by
// three or more triangles, repeated vertices, reversed duplicates.
TEST(MeshQueriesDifferential, EdgeListMatchesTheQuadraticPairing) {
  // Point numbers far apart (stale or foreign numbering) take another path.
  const int32_t sparse[] = {INT32_MIN, -3, 0, 5, 1000000, INT32_MAX};
  for (unsigned seed = 1; seed <= 8; ++seed) {
    std::mt19937_64 rng(seed);
    const int pool = seed <= 3 ? 6 : (seed <= 6 ? 40 : 6);
    std::uniform_int_distribution<int> pick(1, pool);
    auto number = [&](int k) { return seed <= 6 ? k : sparse[k - 1]; };
    TriangleMesh mesh;
    for (int t = 0; t < 400; ++t) {
      const int32_t a = number(pick(rng)), b = number(pick(rng)), c = number(pick(rng));
      mesh.AddTriangle(a, 0, 0, a, b, 0, 0, b, c, 0, 0, c);
    }
    const std::vector<EdgeRec> expected = reference::LiteralEdgeList(mesh.Triangles());
    mesh.GenerateEdgeList();
    ASSERT_EQ(mesh.EdgeCount() + 1, static_cast<int32_t>(expected.size()));
    for (int32_t i = 1; i <= mesh.EdgeCount(); ++i)
      ASSERT_EQ(*mesh.GetEdge(i), expected[static_cast<size_t>(i)])
          << "seed " << seed << " edge " << i;
  }
  for (const Case& c : kCases) {
    TriangleMesh mesh = RandomMesh(c);
    const std::vector<EdgeRec> expected = reference::LiteralEdgeList(mesh.Triangles());
    mesh.GenerateEdgeList();
    for (int32_t i = 1; i <= mesh.EdgeCount(); ++i)
      ASSERT_EQ(*mesh.GetEdge(i), expected[static_cast<size_t>(i)]);
  }
}

// A grid with cells left out (holes, islands, pinch points) and border
// vertices doubled by distinct points 0.0005 / 0.0015 away, so that the walk
// meets coinciding and almost-coinciding starts.
TEST(MeshQueriesDifferential, ConcaveHullMatchesTheLiteralWalk) {
  for (const Case& c : kCases) {
    for (unsigned variant = 0; variant < 4; ++variant) {
      SCOPED_TRACE("seed " + std::to_string(c.seed) + " variant " + std::to_string(variant));
      std::mt19937_64 rng(c.seed * 10 + variant);
      std::uniform_real_distribution<double> unit(0, 1);
      TriangleMesh mesh;
      const int n = c.grid + 1;
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
          mesh.AddPoint(c.east + i * c.spacing, c.north + j * c.spacing, 10 + (i + j) % 3);
      auto node = [&](int i, int j) {
        PointRec p = mesh.Point(j * n + i + 1);
        if (variant >= 2 && unit(rng) < 0.2) {
          // A distinct point almost on top of the node.
          const double d = unit(rng) < 0.5 ? 0.0005 : 0.0015;
          mesh.AddPoint(p.X + d, p.Y - d, p.Z);
          p = mesh.Point(mesh.PointCount());
        }
        return p;
      };
      for (int j = 0; j < c.grid; ++j)
        for (int i = 0; i < c.grid; ++i) {
          if (variant % 2 == 1 && unit(rng) < 0.25) continue;
          const PointRec p00 = node(i, j), p10 = node(i + 1, j), p11 = node(i + 1, j + 1),
                         p01 = node(i, j + 1);
          Add(mesh, p00, p10, p11);
          Add(mesh, p00, p11, p01);
        }
      mesh.GenerateEdgeList();
      std::vector<EdgeRec> edges(1);
      for (int32_t i = 1; i <= mesh.EdgeCount(); ++i) edges.push_back(*mesh.GetEdge(i));
      const auto expected = reference::LiteralConcaveHull(edges, mesh.Points());
      const std::optional<PointList> hull = mesh.GetConcaveHull();
      ASSERT_EQ(hull.has_value(), expected.has_value());
      if (!hull) continue;
      EXPECT_EQ(hull->Model, PointListModel::MeshBorder);
      ASSERT_EQ(hull->count(), static_cast<int32_t>(expected->size()));
      for (int32_t k = 1; k <= hull->count(); ++k)
        ASSERT_EQ(*hull->GetPoint(k), (*expected)[static_cast<size_t>(k - 1)]) << "point " << k;
    }
  }
}

}  // namespace
}  // namespace orvane
