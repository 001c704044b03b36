// Finding triangles and edges: by vertices, by position, the edge list, the
// border polyline and the edge swap.

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/PointList.h"
#include "core/TriangleMesh.h"

namespace orvane {
namespace {

// Adds point-indexed triangles over points given as (x, y, z) triples.
struct MeshBuilder {
  TriangleMesh mesh;
  int32_t Point(double x, double y, double z = 0) {
    mesh.AddPoint(x, y, z);
    return mesh.PointCount();
  }
  void Triangle(int32_t a, int32_t b, int32_t c) {
    const PointRec p = mesh.Point(a), q = mesh.Point(b), r = mesh.Point(c);
    mesh.AddTriangle(p.X, p.Y, p.Z, a, q.X, q.Y, q.Z, b, r.X, r.Y, r.Z, c);
  }
};

// Unit square at (x0, y0) split along its rising diagonal: triangles
// (p00, p10, p11) and (p00, p11, p01), both counter-clockwise.
MeshBuilder Square(double x0 = 0, double y0 = 0) {
  MeshBuilder m;
  const int32_t a = m.Point(x0, y0, 1), b = m.Point(x0 + 1, y0, 2), c = m.Point(x0 + 1, y0 + 1, 3),
                d = m.Point(x0, y0 + 1, 4);
  m.Triangle(a, b, c);
  m.Triangle(a, c, d);
  return m;
}

TEST(FindTriangle, MatchesVerticesInAnyOrderAndOnlyAllThree) {
  MeshBuilder m;
  const int32_t p[] = {m.Point(0, 0, 1), m.Point(1, 0, 2), m.Point(0, 1, 3), m.Point(1, 1, 4),
                       m.Point(2, 1, 5), m.Point(5, 5, 6), m.Point(6, 5, 7)};
  m.Triangle(p[0], p[1], p[3]);  // shares A and B of the target
  m.Triangle(p[0], p[2], p[3]);  // shares A and C
  m.Triangle(p[5], p[6], p[4]);
  m.Triangle(p[3], p[4], p[1]);
  m.Triangle(p[0], p[1], p[2]);  // target, number 5
  TriangleMesh& mesh = m.mesh;
  // C, A, B of triangle 5, each off by less than 0.001.
  EXPECT_EQ(mesh.FindTriangle(0.0009, 1, 3, 0, -0.0009, 1, 1, 0, 2.0009), 5);
  EXPECT_EQ(mesh.FindTriangle(0.001, 1, 3, 0, 0, 1, 1, 0, 2), 0);  // 0.001 is not within
  // Z decides unless CheckZ is off.
  EXPECT_EQ(mesh.FindTriangle(0, 0, 50, 1, 0, 2, 0, 1, 3), 0);
  EXPECT_EQ(mesh.FindTriangle(0, 0, 50, 1, 0, 2, 0, 1, 3, false), 5);
  EXPECT_EQ(mesh.FindTriangle(9, 9, 0, 1, 0, 2, 0, 1, 3), 0);
}

TEST(TriangleAt, SharedEdgeGoesToTheLowerIndexAndEditsAreSeen) {
  MeshBuilder m;
  const int32_t a = m.Point(0, 0), b = m.Point(2, 0), c = m.Point(2, 2), d = m.Point(0, 2),
                far = m.Point(50, 50), far2 = m.Point(51, 50), far3 = m.Point(50, 51);
  for (int k = 0; k < 2; ++k) m.Triangle(far, far2, far3);
  m.Triangle(c, a, b);  // 3: the diagonal c-a is one of its two walked edges
  for (int k = 0; k < 4; ++k) m.Triangle(far, far2, far3);
  m.Triangle(a, c, d);  // 8
  TriangleMesh& mesh = m.mesh;
  EXPECT_EQ(mesh.TriangleAt(1, 1), 3);  // on the shared diagonal
  EXPECT_EQ(mesh.TriangleAt(0.5, 1.5), 8);
  EXPECT_EQ(mesh.TriangleAt(1.5, 0.5), 3);
  EXPECT_EQ(mesh.TriangleAt(50.2, 50.2), 1);
  EXPECT_EQ(mesh.TriangleAt(-0.0009, -0.0009), 3);  // within 0.001 of vertex A
  EXPECT_EQ(mesh.TriangleAt(-0.0011, 0), 0);
  EXPECT_EQ(mesh.TriangleAt(20, 20), 0);

  // The index is rebuilt after every kind of edit.
  mesh.AddTriangle(19, 19, 0, 0, 21, 19, 0, 0, 20, 21, 0, 0);
  EXPECT_EQ(mesh.TriangleAt(20, 20), 9);
  mesh.RemoveTriangle(1);
  EXPECT_EQ(mesh.TriangleAt(20, 20), 8);
  EXPECT_EQ(mesh.TriangleAt(1.5, 0.5), 2);
  mesh.Reindex();
  mesh.ChangePoint(static_cast<int32_t>(mesh.Triangle(8).C.T), 40, 30, 0);
  EXPECT_EQ(mesh.TriangleAt(20, 20), 0);
  EXPECT_EQ(mesh.TriangleAt(31, 25), 8);
}

TEST(PointInsideTriangle, WalksOnlyTwoEdgesOfTheOpenRing) {
  MeshBuilder m;
  m.Triangle(m.Point(0, 0), m.Point(4, 0), m.Point(0, 4));
  const TriangleMesh& mesh = m.mesh;
  EXPECT_TRUE(mesh.PointInsideTriangle(1, 1, 1));
  EXPECT_TRUE(mesh.PointInsideTriangle(1, 2, 0));       // on A-B
  EXPECT_TRUE(mesh.PointInsideTriangle(1, 2, 2));       // on B-C
  EXPECT_TRUE(mesh.PointInsideTriangle(1, 4.0005, 0));  // by a vertex, outside
  EXPECT_TRUE(mesh.PointInsideTriangle(1, 0.01, 1));    // inside by the closing edge C-A
  EXPECT_FALSE(mesh.PointInsideTriangle(1, -0.01, 1));
  EXPECT_FALSE(mesh.PointInsideTriangle(1, 3, 3));
  EXPECT_FALSE(mesh.PointInsideTriangle(1, -1, -1));
  EXPECT_FALSE(mesh.PointInsideTriangle(2, 1, 1));  // above the count
  EXPECT_THROW((void)mesh.PointInsideTriangle(0, 1, 1), std::out_of_range);
}

TEST(EdgeList, TwoTrianglesShareOnePairedEdge) {
  MeshBuilder m = Square();
  TriangleMesh& mesh = m.mesh;
  mesh.GenerateEdgeList();
  ASSERT_EQ(mesh.EdgeCount(), 6);
  // Edge 3 is (C, A) of triangle 1 = (3, 1); edge 4 is (A, B) of triangle 2 =
  // (1, 3): listed once from each side.
  EXPECT_EQ(*mesh.GetEdge(3), (EdgeRec{3, 1, 1, true, 2}));
  EXPECT_EQ(*mesh.GetEdge(4), (EdgeRec{1, 3, 2, true, 1}));
  int border = 0;
  for (int32_t i = 1; i <= 6; ++i) border += mesh.GetEdge(i)->TriB == 0;
  EXPECT_EQ(border, 4);
  EXPECT_FALSE(mesh.GetEdge(7));
  EXPECT_FALSE(mesh.GetEdge(0));

  TriangleMesh empty;
  empty.GenerateEdgeList();
  EXPECT_EQ(empty.EdgeCount(), 0);
}

TEST(ConcaveHull, FollowsTheBorderLoopOfTheFirstBorderEdge) {
  MeshBuilder one;
  one.Triangle(one.Point(0, 0, 1), one.Point(3, 0, 2), one.Point(0, 3, 3));
  const std::optional<PointList> tri = one.mesh.GetConcaveHull();
  ASSERT_TRUE(tri);
  EXPECT_EQ(tri->Model, PointListModel::MeshBorder);
  ASSERT_EQ(tri->count(), 4);
  EXPECT_EQ(tri->GetPoint(1)->X, tri->GetPoint(4)->X);
  EXPECT_EQ(tri->GetPoint(2)->X, 3);
  EXPECT_EQ(tri->GetPoint(4)->T, 4);  // numbered by the list

  // Two islands: only the loop of the first border edge is followed.
  MeshBuilder two = Square();
  const int32_t a = two.Point(10, 0), b = two.Point(11, 0), c = two.Point(10, 1);
  two.Triangle(a, b, c);
  const std::optional<PointList> hull = two.mesh.GetConcaveHull();
  ASSERT_TRUE(hull);
  EXPECT_EQ(hull->count(), 5);  // the square's 4 corners and the first again

  TriangleMesh empty;
  EXPECT_FALSE(empty.GetConcaveHull());
}

TEST(SwapEdge, NeighboursExchangeTheirDiagonal) {
  MeshBuilder m = Square();
  TriangleMesh& mesh = m.mesh;
  mesh.SwapEdge(0.8, 0.2, 0.2, 0.8);
  // The new diagonal runs from (1, 0) to (0, 1); both stay counter-clockwise.
  EXPECT_EQ(mesh.FindTriangle(0, 0, 1, 1, 0, 2, 0, 1, 4), mesh.TriangleAt(0.2, 0.2));
  EXPECT_EQ(mesh.FindTriangle(1, 1, 3, 1, 0, 2, 0, 1, 4), mesh.TriangleAt(0.8, 0.8));
  EXPECT_NE(mesh.TriangleAt(0.2, 0.2), mesh.TriangleAt(0.8, 0.8));
  EXPECT_EQ(mesh.GetTriangleOrientation(1), 1);
  EXPECT_EQ(mesh.GetTriangleOrientation(2), 1);

  // Not neighbours, the same triangle, or nothing there: left alone.
  MeshBuilder apart = Square();
  const int32_t a = apart.Point(5, 5), b = apart.Point(6, 5), c = apart.Point(5, 6);
  apart.Triangle(a, b, c);
  const TriangleRec before1 = apart.mesh.Triangle(1), before3 = apart.mesh.Triangle(3);
  apart.mesh.SwapEdge(0.8, 0.2, 5.2, 5.2);
  apart.mesh.SwapEdge(0.8, 0.2, 0.9, 0.1);
  apart.mesh.SwapEdge(0.8, 0.2, 30, 30);
  EXPECT_EQ(apart.mesh.Triangle(1), before1);
  EXPECT_EQ(apart.mesh.Triangle(3), before3);
}

TEST(GetPointList, EveryPointInOrderWithItsT) {
  TriangleMesh mesh;
  mesh.AddPoint(1, 2, 3);
  mesh.AddPoint(4, 5, 6, 7.5);
  const PointList list = mesh.GetPointList();
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(*list.GetPoint(1), (PointRec{1, 2, 3, 1}));
  EXPECT_EQ(*list.GetPoint(2), (PointRec{4, 5, 6, 7.5}));
}

}  // namespace
}  // namespace orvane
