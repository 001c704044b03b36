#include <gtest/gtest.h>

#include "analysis/IntersectionKernels.h"

namespace orvane {
namespace {

void ExpectNear(const Point3D& got, const Point3D& want, double tol = 1e-9) {
  EXPECT_NEAR(got.X, want.X, tol);
  EXPECT_NEAR(got.Y, want.Y, tol);
  EXPECT_NEAR(got.Z, want.Z, tol);
}

PlaneCut Cut(Point3D a, Point3D b) {
  PlaneCut c;
  c.Append(a);
  c.Append(b);
  return c;
}

TEST(IntersectionKernels, PlaneZ) {
  // z = 2x + 3y + 1, also at survey coordinates.
  const auto z = [](double x, double y) { return 2 * x + 3 * y + 1; };
  EXPECT_DOUBLE_EQ(PlaneZ(0.25, 0.5, 0, 0, z(0, 0), 1, 0, z(1, 0), 0, 1, z(0, 1)), z(0.25, 0.5));
  const double e = 5e5, n = 4.5e6;
  const auto h = [&](double x, double y) { return 100 + 0.02 * (x - e) - 0.01 * (y - n); };
  EXPECT_NEAR(
      PlaneZ(e + 3.001, n + 4.002, e, n, h(e, n), e + 10, n, h(e + 10, n), e, n + 10, h(e, n + 10)),
      h(e + 3.001, n + 4.002), 1e-6);
  // Three points on one vertical line, or on one plan line: no plan area.
  EXPECT_EQ(PlaneZ(5, 5, 1, 1, 0, 1, 1, 5, 1, 1, 9), 0);
  EXPECT_EQ(PlaneZ(5, 5, 0, 0, 0, 1, 1, 5, 2, 2, 9), 0);
}

TEST(IntersectionKernels, LineCrossPoint) {
  EXPECT_EQ(LineCrossPoint(0, 0, 2, 2, 0, 2, 2, 0), (XYRec{1, 1}));
  EXPECT_EQ(LineCrossPoint(1, -5, 1, 5, 0, 0, 4, 2), (XYRec{1, 0.5}));  // first vertical
  EXPECT_EQ(LineCrossPoint(0, 0, 4, 2, 3, -5, 3, 5), (XYRec{3, 1.5}));  // second vertical
  // Unbounded lines: the crossing lies beyond both segments.
  EXPECT_EQ(LineCrossPoint(0, 0, 1, 1, 10, 0, 11, -1), (XYRec{5, 5}));
  EXPECT_FALSE(LineCrossPoint(0, 0, 0, 1, 3, 0, 3, 1));  // both vertical
  EXPECT_FALSE(LineCrossPoint(0, 0, 1, 2, 5, 0, 6, 2));  // equal slopes
}

TEST(IntersectionKernels, TrianglePlaneCutCases) {
  const Plane z0{0, 0, 1, 0};  // z = 0
  // One vertex alone on its side: its two edges cross, in vertex order.
  PlaneCut c = TrianglePlaneCut({0, 0, -1}, {2, 0, 1}, {0, 2, 1}, z0);
  ASSERT_EQ(c.Count, 2);
  ExpectNear(c.Points[0], {1, 0, 0});
  ExpectNear(c.Points[1], {0, 1, 0});
  // One vertex on the plane, the opposite edge crossing.
  c = TrianglePlaneCut({5, 5, 0}, {0, 0, -1}, {0, 2, 1}, z0);
  ASSERT_EQ(c.Count, 2);
  EXPECT_EQ(c.Points[0], (Point3D{5, 5, 0}));
  ExpectNear(c.Points[1], {0, 1, 0});
  // Touching at a vertex only; an edge in the plane; the whole triangle.
  EXPECT_EQ(TrianglePlaneCut({5, 5, 0}, {0, 0, 1}, {0, 2, 1}, z0).Count, 1);
  EXPECT_EQ(TrianglePlaneCut({5, 5, 0}, {0, 0, 0}, {0, 2, 1}, z0).Count, 2);
  EXPECT_EQ(TrianglePlaneCut({5, 5, 0}, {0, 0, 0}, {0, 2, 0}, z0).Count, 3);
  // Wholly on one side.
  EXPECT_EQ(TrianglePlaneCut({5, 5, 1}, {0, 0, 1}, {0, 2, 3}, z0).Count, 0);
}

TEST(IntersectionKernels, ProjectOnSegment) {
  SegmentPosition p = ProjectOnSegment({0, 0, 0}, {2, 0, 0}, {3, 1, 0});
  EXPECT_DOUBLE_EQ(p.t, 1.5);
  EXPECT_DOUBLE_EQ(p.e, 0.5);
  p = ProjectOnSegment({1, 1, 1}, {1, 1, 1}, {1, 1, 1});
  EXPECT_EQ(p.t, 0.5);
  EXPECT_EQ(p.e, 0);
  EXPECT_EQ(ProjectOnSegment({1, 1, 1}, {1, 1, 1}, {1, 1, 1.0000001}).e, 1e38);
}

TEST(IntersectionKernels, SegmentOverlapCodes) {
  const Point3D U1{0, 0, 0}, U2{4, 0, 0};
  const PlaneCut u = Cut(U1, U2);
  struct Row {
    double v1, v2;
    OverlapCase code;
    std::optional<Segment3D> common;
  };
  const Row rows[] = {
      {-2, -1, OverlapCase::BeforeBefore, std::nullopt},
      {-1, 2, OverlapCase::BeforeWithin, Segment3D{U1, {2, 0, 0}}},
      {-1, 5, OverlapCase::BeforeAfter, Segment3D{U1, U2}},
      {1, -1, OverlapCase::WithinBefore, Segment3D{U1, {1, 0, 0}}},
      {1, 3, OverlapCase::WithinWithin, Segment3D{{1, 0, 0}, {3, 0, 0}}},
      {1, 5, OverlapCase::WithinAfter, Segment3D{{1, 0, 0}, U2}},
      {5, -1, OverlapCase::AfterBefore, Segment3D{U1, U2}},
      {5, 3, OverlapCase::AfterWithin, Segment3D{{3, 0, 0}, U2}},
      {5, 6, OverlapCase::AfterAfter, std::nullopt},
  };
  for (const Row& r : rows) {
    const SegmentOverlapResult got = SegmentOverlap(u, Cut({r.v1, 0, 0}, {r.v2, 0, 0}));
    EXPECT_EQ(got.Case, r.code) << r.v1 << " " << r.v2;
    EXPECT_EQ(got.Common, r.common) << r.v1 << " " << r.v2;
  }
  // Equal segments: V1 - V2.
  const SegmentOverlapResult same = SegmentOverlap(u, u);
  EXPECT_EQ(same.Case, OverlapCase::WithinWithin);
  EXPECT_EQ(same.Common, (Segment3D{U1, U2}));
  // Off the line, or a cut that is no segment.
  EXPECT_EQ(SegmentOverlap(u, Cut({1, 0.001, 0}, {3, 0, 0})).Case, OverlapCase::NotCollinear);
  PlaneCut one;
  one.Append({1, 0, 0});
  EXPECT_EQ(SegmentOverlap(u, one).Case, OverlapCase::NotCollinear);
  EXPECT_FALSE(SegmentOverlap(one, u).Common);
}

TEST(IntersectionKernels, TriangleTriangleIntersect) {
  const std::array<Point3D, 3> flat{{{0, 0, 0}, {4, 0, 0}, {0, 4, 0}}};
  // A vertical triangle in the plane x = 1 crossing the flat one.
  const std::array<Point3D, 3> wall{{{1, -1, -1}, {1, 5, -1}, {1, 2, 3}}};
  TriangleIntersection r = TriangleTriangleIntersect(flat, wall);
  EXPECT_EQ(r.Contact, TriangleContact::Crossing);
  ASSERT_TRUE(r.Segment);
  ExpectNear(r.Segment->From, {1, 0, 0});
  ExpectNear(r.Segment->To, {1, 3, 0});

  // The same at survey coordinates: the segment still comes out.
  const double e = 5e5, n = 4.5e6;
  auto shift = [&](std::array<Point3D, 3> t) {
    for (Point3D& p : t) p = {p.X + e, p.Y + n, p.Z + 100};
    return t;
  };
  r = TriangleTriangleIntersect(shift(flat), shift(wall));
  EXPECT_EQ(r.Contact, TriangleContact::Crossing);
  ASSERT_TRUE(r.Segment);
  ExpectNear(r.Segment->From, {e + 1, n, 100}, 1e-6);
  ExpectNear(r.Segment->To, {e + 1, n + 3, 100}, 1e-6);

  // Touching at one vertex only: a one-point cut is no segment.
  const std::array<Point3D, 3> tent{{{4, 0, 0}, {6, 1, 2}, {6, -1, 3}}};
  r = TriangleTriangleIntersect(flat, tent);
  EXPECT_EQ(r.Contact, TriangleContact::None);
  EXPECT_FALSE(r.Segment);

  // In the same plane, overlapping or not.
  const std::array<Point3D, 3> beside{{{10, 0, 0}, {12, 0, 0}, {10, 3, 0}}};
  EXPECT_EQ(TriangleTriangleIntersect(flat, beside).Contact, TriangleContact::Coplanar);

  // Apart.
  const std::array<Point3D, 3> above{{{0, 0, 5}, {4, 0, 6}, {0, 4, 7}}};
  EXPECT_EQ(TriangleTriangleIntersect(flat, above).Contact, TriangleContact::None);
}

}  // namespace
}  // namespace orvane
