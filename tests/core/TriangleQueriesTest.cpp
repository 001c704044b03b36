// Finding triangles by position after edits, the edge list and border
// polyline on empty meshes, and the edge swap. The queries themselves are
// compared with the literal scans in MeshQueriesDifferentialTest.

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"

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

// (The lower index on a shared edge: the differential test's scan order.)
TEST(TriangleAt, EditsAreSeen) {
  MeshBuilder m = Square();
  TriangleMesh& mesh = m.mesh;
  EXPECT_EQ(mesh.TriangleAt(20, 20), 0);
  // The index is rebuilt after every kind of edit.
  mesh.AddTriangle(19, 19, 0, 0, 21, 19, 0, 0, 20, 21, 0, 0);
  EXPECT_EQ(mesh.TriangleAt(20, 20), 3);
  mesh.RemoveTriangle(1);
  EXPECT_EQ(mesh.TriangleAt(20, 20), 2);
  EXPECT_EQ(mesh.TriangleAt(0.25, 0.75), 1);
  mesh.Reindex();
  mesh.ChangePoint(static_cast<int32_t>(mesh.Triangle(2).C.T), 40, 30, 0);
  EXPECT_EQ(mesh.TriangleAt(20, 20), 0);
  EXPECT_EQ(mesh.TriangleAt(31, 25), 2);
}

// The queries themselves (the point-in-triangle walk of the open ring
// included) are compared with the literal procedures elsewhere.
TEST(MeshQueries, EmptyAndOutOfRange) {
  MeshBuilder m = Square();
  EXPECT_FALSE(m.mesh.PointInsideTriangle(3, 0.5, 0.25));  // above the count
  EXPECT_THROW((void)m.mesh.PointInsideTriangle(0, 0.5, 0.25), std::out_of_range);
  m.mesh.GenerateEdgeList();
  ASSERT_EQ(m.mesh.EdgeCount(), 6);
  EXPECT_FALSE(m.mesh.GetEdge(7));
  EXPECT_FALSE(m.mesh.GetEdge(0));
  TriangleMesh empty;
  empty.GenerateEdgeList();
  EXPECT_EQ(empty.EdgeCount(), 0);
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

}  // namespace
}  // namespace orvane
