#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "core/model/QuadMesh.h"
#include "core/model/TriangleMesh.h"

namespace orvane {
namespace {

std::array<int32_t, 3> Indexes(const TriangleMesh& m, int32_t t) {
  return m.GetTriangleIndexes(t).value();
}

TEST(QuadMesh, SingleQuadSplitsIntoTwoTriangles) {
  QuadMesh q;
  q.AddQuad(0, 0, 1, 1, 0, 2, 1, 1, 3, 0, 1, 4);
  ASSERT_EQ(q.QuadCount(), 1);
  const TriangleMesh m = q.GetTriangleMesh();
  ASSERT_EQ(m.TriangleCount(), 2);
  ASSERT_EQ(m.PointCount(), 4);
  EXPECT_EQ(Indexes(m, 1), (std::array<int32_t, 3>{1, 2, 3}));
  EXPECT_EQ(Indexes(m, 2), (std::array<int32_t, 3>{3, 4, 1}));
  EXPECT_EQ(m.GetPoint(4), (PointRec{0, 1, 4, 4}));
  EXPECT_EQ(m.GetTriangle(2).value()[1], (PointRec{0, 1, 4, 4}));
}

TEST(QuadMesh, SharedCornersBecomeOnePoint) {
  const double e = 5e5, n = 4.5e6;  // survey coordinates, metres
  QuadMesh q;
  q.AddQuad(e, n, 0, e + 1, n, 0, e + 1, n + 1, 0, e, n + 1, 0);
  q.AddQuad(e + 1, n, 5, e + 2, n, 0, e + 2, n + 1, 0, e + 1, n + 1, 6);
  const TriangleMesh m = q.GetTriangleMesh();
  EXPECT_EQ(m.TriangleCount(), 4);
  ASSERT_EQ(m.PointCount(), 6);
  EXPECT_EQ(Indexes(m, 3), (std::array<int32_t, 3>{2, 5, 6}));
  EXPECT_EQ(Indexes(m, 4), (std::array<int32_t, 3>{6, 3, 2}));
  // The shared point keeps the first Z seen; each vertex keeps its own.
  EXPECT_EQ(m.GetPoint(2)->Z, 0);
  EXPECT_EQ(m.GetTriangle(3).value()[0].Z, 5);
}

TEST(QuadMesh, CornersWithinAMillimetreMerge) {
  QuadMesh q;
  // Corner 3 lies 0.0005 from corner 1; corner 4 lies 0.0015 from corner 2.
  q.AddQuad(0, 0, 0, 1, 0, 0, 0.0005, -0.0005, 0, 1.0015, 0, 0);
  const TriangleMesh m = q.GetTriangleMesh();
  EXPECT_EQ(Indexes(m, 1), (std::array<int32_t, 3>{1, 2, 1}));
  EXPECT_EQ(Indexes(m, 2), (std::array<int32_t, 3>{1, 3, 1}));
  EXPECT_EQ(m.PointCount(), 3);
  EXPECT_EQ(m.GetTriangle(1).value()[2].X, 0.0005);
}

TEST(QuadMesh, GetQuadBoundsAndExtents) {
  QuadMesh q;
  EXPECT_EQ(q.GetTriangleMesh().TriangleCount(), 0);
  q.AddQuad(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, -12);
  EXPECT_FALSE(q.GetQuad(0));
  EXPECT_FALSE(q.GetQuad(2));
  EXPECT_THROW(q.GetQuad(-1), std::out_of_range);
  EXPECT_EQ(q.GetExtents().Min, (PointRec{1, 2, -12, 0}));
  EXPECT_EQ(q.GetExtents().Max, (PointRec{10, 11, 9, 0}));
}

}  // namespace
}  // namespace orvane
