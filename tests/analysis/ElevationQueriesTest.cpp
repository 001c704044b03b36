// InterpolateZ and GetZ against the literal scan in index order, on seeded
// random meshes (jittered grids with mixed windings, overlapping and
// degenerate triangles, near-duplicate corners) at small and survey-sized
// coordinates, and at the classifier's limits around single triangles.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/ElevationQueries.h"
#include "core/TriangleMesh.h"
#include "reference/ElevationReference.h"
#include "support/RandomQueryMeshes.h"

namespace orvane {
namespace {

constexpr double kOutside = 1e30;

using testing::Add;
using testing::Case;
using testing::NewPoint;
using testing::Queries;
using testing::RandomMesh;

TEST(ElevationQueries, InterpolateZMatchesTheScanInIndexOrder) {
  const Case cases[] = {{0, 0, 1, 14, 1},
                        {500000.0005, 4500000.0015, 2.5, 12, 2},
                        {500000, 4500000, 0.004, 10, 3},
                        {-30, 12, 40, 8, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE("seed " + std::to_string(c.seed));
    const TriangleMesh mesh = RandomMesh(c);
    // Three rounds of the queries with non-finite ones among them: enough
    // for the batch to answer in its own order.
    std::vector<XYRec> q = Queries(mesh, c, c.seed + 50);
    const size_t round = q.size();
    q.insert(q.end(), q.begin(), q.end());
    q.insert(q.end(), q.begin(), q.begin() + static_cast<std::ptrdiff_t>(round));
    const double inf = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < q.size(); i += 997) q[i] = {i % 2 ? std::nan("") : inf, 5};
    std::vector<double> batch(q.size());
    InterpolateZ(mesh, q, kOutside, batch);
    int hits = 0;
    for (size_t i = 0; i < q.size(); ++i) {
      const double want =
          reference::LiteralInterpolateZ(mesh.Triangles(), q[i].X, q[i].Y, kOutside);
      ASSERT_EQ(TriangleUnder(mesh, q[i].X, q[i].Y),
                reference::LiteralTriangleUnder(mesh.Triangles(), q[i].X, q[i].Y))
          << std::to_string(q[i].X) << ", " << std::to_string(q[i].Y);
      ASSERT_EQ(InterpolateZ(mesh, q[i].X, q[i].Y, kOutside), want);
      ASSERT_EQ(batch[i], want);
      hits += want != kOutside;
    }
    EXPECT_GT(hits, 3000);
  }
}

// The quick orientation tests must agree with the classifier everywhere
// near its limits: the on-edge lens (about 2.5e-4 L each side), the vertex
// boxes and the borders of the plan box.
TEST(ElevationQueries, TriangleUnderAgreesAtTheClassifiersLimits) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(0, 1);
  const double offsets[] = {0, 1e-9, 1e-6, 1e-5, 2.4e-4, 2.5e-4, 2.6e-4, 1e-3, 1.1e-3, 0.1};
  int accepted = 0, rejected = 0;
  for (int round = 0; round < 300; ++round) {
    const double east = round % 2 ? 500000.0005 : 0, north = round % 2 ? 4500000.0015 : 0;
    const double size = std::pow(10.0, static_cast<int>(rng() % 6) - 3);  // 1 mm .. 100 m
    PointRec v[3];
    for (PointRec& p : v) p = {east + u(rng) * size, north + u(rng) * size, u(rng), 0};
    if (round % 5 == 0) v[2] = {(v[0].X + v[1].X) / 2 + size * 1e-4, (v[0].Y + v[1].Y) / 2, 0, 0};
    TriangleMesh mesh;
    Add(mesh, v[0], v[1], v[2]);
    auto check = [&](double x, double y) {
      const int32_t want = reference::LiteralTriangleUnder(mesh.Triangles(), x, y);
      ASSERT_EQ(TriangleUnder(mesh, x, y), want) << "round " << round;
      (want ? accepted : rejected)++;
    };
    for (int e = 0; e < 3; ++e) {
      const PointRec &a = v[e], &b = v[(e + 1) % 3];
      const double len = std::hypot(b.X - a.X, b.Y - a.Y);
      if (len == 0) continue;
      const double nx = -(b.Y - a.Y) / len, ny = (b.X - a.X) / len;
      for (double along : {-0.1, 0.0, 0.3, 0.5, 1.0, 1.2})
        for (double off : offsets)
          for (double sign : {-1.0, 1.0})
            check(a.X + (b.X - a.X) * along + sign * nx * off * len,
                  a.Y + (b.Y - a.Y) * along + sign * ny * off * len);
      for (double d : {0.0009, 0.00099, 0.001, 0.0011})
        for (double s : {-1.0, 1.0}) check(a.X + s * d, a.Y - s * d);
    }
  }
  EXPECT_GT(accepted, 3000);
  EXPECT_GT(rejected, 3000);
}

TEST(ElevationQueries, CasesOfTheQueries) {
  // Two triangles sharing the edge (0,0)-(10,10), at different heights.
  TriangleMesh mesh;
  mesh.AddTriangle(0, 0, 10, 1, 10, 0, 10, 2, 10, 10, 10, 3);
  mesh.AddTriangle(0, 0, 20, 1, 10, 10, 20, 3, 0, 10, 20, 4);
  EXPECT_EQ(InterpolateZ(mesh, 5, 5, kOutside), 10);  // the lower-numbered one wins
  EXPECT_EQ(InterpolateZ(mesh, 2, 8, kOutside), 20);
  EXPECT_EQ(InterpolateZ(mesh, 11, 5, kOutside), kOutside);
  EXPECT_EQ(InterpolateZ(mesh, -1e9, 5, kOutside), kOutside);
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(InterpolateZ(mesh, std::nan(""), 5, -7), -7);
  EXPECT_EQ(InterpolateZ(mesh, inf, 5, -7), -7);
  EXPECT_EQ(InterpolateZ(mesh, 5, -inf, -7), -7);

  // A sloping triangle: within 0.001 of a vertex, outside the triangle but
  // inside its box, the plane is extrapolated.
  TriangleMesh slope;
  slope.AddTriangle(0, 0, 0, 1, 10, 0, 10, 2, 5, 10, 5, 3);  // z = x
  const double x = 9.9999, y = 0.0009;                       // beyond the edge (10,0)-(5,10)
  ASSERT_LT(10 - y / 2, x);
  EXPECT_DOUBLE_EQ(InterpolateZ(slope, x, y, kOutside), x);
  EXPECT_EQ(InterpolateZ(slope, 10.0005, 0, kOutside), kOutside);  // outside the box

  // No plan area: height 0 under InterpolateZ, first vertex under GetZ.
  TriangleMesh flat;
  flat.AddTriangle(0, 0, 7, 1, 10, 0, 8, 2, 5, 0, 9, 3);
  EXPECT_EQ(InterpolateZ(flat, 5, 0, kOutside), 0);
  EXPECT_EQ(GetZ(flat, 1, 3, 3), 7);

  EXPECT_DOUBLE_EQ(GetZ(slope, 1, 20, 50), 20);  // anywhere on the plane
  EXPECT_EQ(GetZ(slope, 0, 1, 1), 0);
  EXPECT_EQ(GetZ(slope, 2, 1, 1), 0);
  EXPECT_THROW(GetZ(slope, -1, 1, 1), std::out_of_range);
  EXPECT_EQ(InterpolateZ(TriangleMesh(), 0, 0, kOutside), kOutside);
}

}  // namespace
}  // namespace orvane
