// Behaviour of the triangulator on small, degenerate and hostile inputs.

#include <gtest/gtest.h>

#include <random>

#include "core/PointList.h"
#include "support/TinChecks.h"
#include "triangulation/Triangulator.h"

namespace orvane {
namespace {

PointList Points(std::initializer_list<std::array<double, 3>> xyz) {
  PointList p;
  for (const auto& v : xyz) p.AddVertex(v[0], v[1], v[2]);
  return p;
}

PointList RandomPoints(size_t n, double east, double north, double size, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(0, size);
  PointList p;
  for (size_t i = 0; i < n; ++i) p.AddVertex(east + u(rng), north + u(rng), 100 + u(rng) / 100);
  return p;
}

TEST(Triangulator, ThreePointsGiveOneClockwiseTriangle) {
  PointList p = Points({{0, 0, 1}, {10, 0, 2}, {0, 10, 3}});
  Triangulator t;
  t.Initialise(p);
  auto mesh = t.GetTriangleMesh();
  ASSERT_TRUE(mesh);
  EXPECT_EQ(t.LastErrorCode, 0);
  EXPECT_EQ(mesh->PointCount(), 3);
  ASSERT_EQ(mesh->TriangleCount(), 1);
  VerifyTin(*mesh);
}

TEST(Triangulator, RandomPointsAtSurveyCoordinatesGiveAValidDelaunayMesh) {
  for (unsigned seed : {1u, 2u, 3u}) {
    PointList p = RandomPoints(3000, 500000, 4500000, 200, seed);
    Triangulator t;
    t.Initialise(p);
    auto mesh = t.GetTriangleMesh();
    ASSERT_TRUE(mesh);
    EXPECT_EQ(t.LastErrorCode, 0);
    EXPECT_EQ(mesh->PointCount(), 3000);
    VerifyTin(*mesh);
    // Mesh point i is work point i in X order.
    for (int32_t i = 2; i <= mesh->PointCount(); ++i) EXPECT_LE(mesh->Point(i - 1).X, mesh->Point(i).X);
  }
}

TEST(Triangulator, RegularGridIsValid) {
  PointList p;
  for (int r = 0; r < 40; ++r)
    for (int c = 0; c < 40; ++c) p.AddVertex(500000 + c * 0.5, 4500000 + r * 0.5, r * 0.1);
  Triangulator t;
  t.Initialise(p);
  auto mesh = t.GetTriangleMesh();
  ASSERT_TRUE(mesh);
  VerifyTin(*mesh);
  EXPECT_EQ(mesh->TriangleCount(), 2 * 39 * 39);
}

TEST(Triangulator, BreaklinesBoundaryAndHole) {
  PointList p = RandomPoints(2000, 500000, 4500000, 100, 9);
  std::vector<PointList> con;
  PointList boundary;
  boundary.Model = 1100;
  for (auto [x, y] : std::vector<std::pair<double, double>>{{5, 5}, {95, 8}, {90, 92}, {8, 90}, {5, 5}})
    boundary.AddVertex(500000 + x, 4500000 + y, 100);
  PointList hole;
  hole.Model = 1200;
  for (auto [x, y] : std::vector<std::pair<double, double>>{{40, 40}, {60, 40}, {60, 60}, {40, 60}, {40, 40}})
    hole.AddVertex(500000 + x, 4500000 + y, 100);
  PointList brk;
  brk.Model = 1300;
  brk.AddVertex(500010.25, 4500020.5, 101);
  brk.AddVertex(500030.75, 4500080.125, 102);
  brk.AddVertex(500085.5, 4500070.25, 103);
  con = {boundary, hole, brk};
  Triangulator t;
  t.Initialise(p, con);
  auto mesh = t.GetTriangleMesh();
  ASSERT_TRUE(mesh);
  EXPECT_EQ(t.LastErrorCode, 0);
  std::vector<Segment2> segs;
  auto addSegs = [&](const PointList& l) {
    for (int32_t i = 1; i < l.count(); ++i)
      segs.push_back({l.Point(i).X, l.Point(i).Y, l.Point(i + 1).X, l.Point(i + 1).Y});
  };
  // Boundary edges need not all be edges: where the boundary is the hull of
  // the points, the finite enclosing triangle leaves thin slivers along it
  // untriangulated (the construction's own result).
  addSegs(hole);
  addSegs(brk);
  VerifyTin(*mesh, segs);
}

}  // namespace
}  // namespace orvane
