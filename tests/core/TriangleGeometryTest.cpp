// Per-triangle geometry, each checked at the origin and at survey-sized
// coordinates (eastings 5e5, northings 4.5e6, millimetre offsets).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <sstream>
#include <stdexcept>

#include "core/model/TriangleMesh.h"

namespace orvane {
namespace {

struct Origin {
  double x, y;
};
const Origin kOrigins[] = {{0, 0}, {500000.0005, 4500000.0015}};

void ExpectXY(Origin o, double x, double y, double wantX, double wantY) {
  EXPECT_NEAR(x - o.x, wantX, 1e-9);
  EXPECT_NEAR(y - o.y, wantY, 1e-9);
}

TriangleMesh OneTriangle(Origin o, PointRec a, PointRec b, PointRec c) {
  TriangleMesh mesh;
  mesh.AddTriangle(o.x + a.X, o.y + a.Y, a.Z, 1, o.x + b.X, o.y + b.Y, b.Z, 2, o.x + c.X, o.y + c.Y,
                   c.Z, 3);
  return mesh;
}

TEST(TriangleGeometry, NormalPointsUpForCounterClockwiseAndFlipsWithOrientation) {
  for (Origin o : kOrigins) {
    TriangleMesh mesh = OneTriangle(o, {0, 0, 0}, {4, 0, 0}, {0, 3, 0});
    EXPECT_EQ(mesh.GetTriangleOrientation(1), 1);
    const auto up = mesh.GetTriangleNormal(1);
    ASSERT_TRUE(up);
    EXPECT_NEAR((*up)[2], 1, 1e-12);
    mesh.InvertTriangleOrientation(1);
    EXPECT_EQ(mesh.GetTriangleOrientation(1), -1);
    EXPECT_NEAR((*mesh.GetTriangleNormal(1))[2], -1, 1e-12);
    EXPECT_EQ(mesh.Triangle(1).A.T, 3);  // whole records exchanged, B stays
    EXPECT_EQ(mesh.Triangle(1).B.T, 2);
  }
  TriangleMesh flat = OneTriangle({0, 0}, {1, 1, 1}, {1, 1, 1}, {2, 2, 2});
  EXPECT_EQ(*flat.GetTriangleNormal(1), (std::array<double, 3>{0, 0, 0}));
  EXPECT_EQ(flat.GetTriangleOrientation(1), 1);  // degenerate counts as counter-clockwise
  EXPECT_FALSE(flat.GetTriangleNormal(2));
  EXPECT_EQ(flat.GetTriangleOrientation(0), 0);
  EXPECT_EQ(flat.GetTriangleOrientation(2), 0);
  EXPECT_THROW(flat.InvertTriangleOrientation(2), std::out_of_range);
}

TEST(TriangleGeometry, SlopeJoinsTheExtremeVertices) {
  for (Origin o : kOrigins) {
    EXPECT_EQ(OneTriangle(o, {0, 0, 7}, {4, 0, 7}, {0, 3, 7}).GetTriangleSlope(1), 0);
    EXPECT_EQ(OneTriangle(o, {0, 0, 0}, {4, 0, 0}, {0, 3, 0.0005}).GetTriangleSlope(1), 0);
    // Highest C (z 5), lowest A (z 1) 8 m apart in plan: 50 %, whatever the
    // plane's steepest slope.
    EXPECT_NEAR(OneTriangle(o, {0, 0, 1}, {0, 8, 2}, {8, 0, 5}).GetTriangleSlope(1), 50, 1e-6);
  }
  const TriangleMesh wall = OneTriangle({0, 0}, {0, 0, 0}, {0, 0, 10}, {3, 0, 5});
  EXPECT_EQ(wall.GetTriangleSlope(1), std::numeric_limits<double>::infinity());
  EXPECT_THROW((void)wall.GetTriangleSlope(2), std::out_of_range);
}

TEST(TriangleGeometry, AnglesAreInteriorForBothWindings) {
  for (Origin o : kOrigins) {
    for (bool clockwise : {false, true}) {
      const TriangleMesh mesh = clockwise ? OneTriangle(o, {0, 0, 0}, {0, 3, 0}, {4, 0, 0})
                                          : OneTriangle(o, {0, 0, 0}, {4, 0, 0}, {0, 3, 0});
      const std::array<float, 3> a = mesh.GetTriDegrees(1);
      const double atB = std::atan2(3.0, 4.0) * 180 / std::numbers::pi;  // at (4, 0)
      EXPECT_NEAR(a[0], 90, 1e-4);
      EXPECT_NEAR(clockwise ? a[2] : a[1], atB, 1e-4);
      EXPECT_NEAR(a[0] + a[1] + a[2], 180, 1e-3);
    }
  }
  EXPECT_THROW((void)TriangleMesh().GetTriDegrees(1), std::out_of_range);
}

TEST(TriangleGeometry, CircumAndInscribedCircles) {
  for (Origin o : kOrigins) {
    const TriangleMesh mesh = OneTriangle(o, {0, 0, 0}, {4, 0, 0}, {0, 3, 0});
    const auto circum = mesh.GetCircumCenter(1);
    ASSERT_TRUE(circum);
    ExpectXY(o, circum->xCenter, circum->yCenter, 2, 1.5);
    EXPECT_NEAR(circum->Radius, 2.5, 1e-9);

    const auto in = mesh.GetBestFitInscribedCircle(1);
    ASSERT_TRUE(in);
    ExpectXY(o, in->circle.xCenter, in->circle.yCenter, 1, 1);
    EXPECT_NEAR(in->circle.Radius, 1, 1e-9);
    ExpectXY(o, in->TangentAB.X, in->TangentAB.Y, 1, 0);
    ExpectXY(o, in->TangentBC.X, in->TangentBC.Y, 1.6, 1.8);  // 3 from B along B-C
    ExpectXY(o, in->TangentCA.X, in->TangentCA.Y, 0, 1);
  }
  const TriangleMesh line = OneTriangle({0, 0}, {0, 0, 0}, {1, 1, 0}, {2, 2, 0});
  EXPECT_FALSE(line.GetCircumCenter(1));
  EXPECT_FALSE(line.GetCircumCenter(2));
  EXPECT_NEAR(line.GetBestFitInscribedCircle(1)->circle.Radius, 0, 1e-12);
  const TriangleMesh dot = OneTriangle({0, 0}, {3, 4, 0}, {3, 4, 0}, {3, 4, 0});
  EXPECT_EQ(dot.GetBestFitInscribedCircle(1)->circle.xCenter, 3);
  EXPECT_FALSE(dot.GetBestFitInscribedCircle(0));
}

TEST(TriangleInfo, AddsPlanFiguresAndTheWholePrismVolume) {
  for (Origin o : kOrigins) {
    const TriangleMesh mesh = OneTriangle(o, {0, 0, 10}, {4, 0, 10}, {0, 3, 10});
    TriangleMesh::TriangleFigures acc;
    mesh.TriangleInfo(1, acc, 0);
    EXPECT_NEAR(acc.Surface, 6, 1e-6);
    EXPECT_NEAR(acc.Perimeter, 12, 1e-6);
    EXPECT_NEAR(acc.Volume, 60, 1e-5);  // m3: area 6 m2 x 10 m
    mesh.TriangleInfo(1, acc, 4);       // accumulates
    EXPECT_NEAR(acc.Volume, 96, 1e-5);
    EXPECT_NEAR(acc.Surface, 12, 1e-6);
  }
  // Below zero the elevations are lifted with the base: same volume.
  const TriangleMesh low = OneTriangle({0, 0}, {0, 0, -5}, {4, 0, -5}, {0, 3, -5});
  const TriangleMesh high = OneTriangle({0, 0}, {0, 0, 5}, {4, 0, 5}, {0, 3, 5});
  TriangleMesh::TriangleFigures a, b;
  low.TriangleInfo(1, a, -10);
  high.TriangleInfo(1, b, 0);
  EXPECT_EQ(a.Volume, b.Volume);
  EXPECT_EQ(a.Volume, 30);
  // Clockwise triangles add a positive area; out of range adds nothing.
  const TriangleMesh cw = OneTriangle({0, 0}, {0, 0, 1}, {0, 3, 1}, {4, 0, 1});
  TriangleMesh::TriangleFigures c;
  cw.TriangleInfo(1, c);
  cw.TriangleInfo(0, c);
  cw.TriangleInfo(2, c);
  EXPECT_EQ(c.Surface, 6);
  EXPECT_EQ(c.Volume, 6);
  EXPECT_THROW(cw.TriangleInfo(-1, c), std::out_of_range);
}

TEST(DebugTriangle, WritesEachVertexWithFourDecimals) {
  const TriangleMesh mesh = OneTriangle({500000, 4500000}, {0.25, 0, 1}, {1, 2, -3.5}, {0, 1, 0});
  std::ostringstream out;
  std::streambuf* old = std::clog.rdbuf(out.rdbuf());
  mesh.DebugTriangle(1);
  std::clog.rdbuf(old);
  EXPECT_NE(out.str().find("500000.2500  4500000.0000  1.0000"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("500001.0000  4500002.0000  -3.5000"), std::string::npos);
  EXPECT_THROW(mesh.DebugTriangle(2), std::out_of_range);
}

}  // namespace
}  // namespace orvane
