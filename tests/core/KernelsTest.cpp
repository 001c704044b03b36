#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

#include "core/geometry/Kernels.h"
#include "core/storage/Records.h"

namespace orvane {
namespace {

constexpr double E = 5e5;    // survey-sized easting, metres
constexpr double N = 4.5e6;  // survey-sized northing, metres

TEST(Kernels, PointsCoincideIsStrictAndPointsMatch3DInclusive) {
  EXPECT_FALSE(PointsCoincide({0, 0, 0, 0}, {0.001, 0, 0, 0}, false));
  EXPECT_TRUE(PointsCoincide({0, 0, 0, 0}, {0.000999, 0, 0, 0}, false));
  EXPECT_TRUE(PointsCoincide({0, 0, 0, 0}, {0, 0, 5, 0}, false));
  EXPECT_FALSE(PointsCoincide({0, 0, 0, 0}, {0, 0, 5, 0}, true));
  EXPECT_TRUE(PointsMatch3D({0, 0, 0, 0}, {0.001, -0.001, 0.001, 0}));
  EXPECT_FALSE(PointsMatch3D({0, 0, 0, 0}, {0, 0, 0.0015, 0}));
  // Survey coordinates with millimetre offsets.
  EXPECT_TRUE(PointsCoincide({E, N, 0, 0}, {E + 0.0005, N - 0.0005, 0, 0}, false));
  EXPECT_FALSE(PointsCoincide({E, N, 0, 0}, {E, N + 0.0015, 0, 0}, false));
}

std::vector<XYRec> Shifted(std::vector<XYRec> ring, double dx, double dy) {
  for (XYRec& p : ring) p = {p.X + dx, p.Y + dy};
  return ring;
}

TEST(Kernels, PointInPolygonCodes) {
  for (const XYRec origin : {XYRec{0, 0}, XYRec{E, N}}) {
    const auto square = Shifted({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, origin.X, origin.Y);
    const auto at = [&](double x, double y) {
      return PointInPolygon(square, x + origin.X, y + origin.Y);
    };
    EXPECT_EQ(at(5, 5), PolygonLocation::Inside);
    EXPECT_EQ(at(50, 5), PolygonLocation::Outside);
    EXPECT_EQ(at(5, 0), PolygonLocation::OnEdge);
    EXPECT_EQ(at(-0.0005, 10.0005), PolygonLocation::OnVertex);  // outside, yet on the vertex
    EXPECT_EQ(at(10.0015, 10), PolygonLocation::Outside);
  }
  // Points exactly on every edge of a grid-like boundary, where the rotated
  // angle rounds to -pi as often as to +pi: all of them are on the edge.
  for (const XYRec origin : {XYRec{0, 0}, XYRec{E, N}}) {
    const auto box = Shifted({{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 0}}, origin.X, origin.Y);
    for (int k = 1; k < 5; ++k) {
      for (auto [x, y] : {std::pair{k * 1.0, 0.0}, {5.0, k * 1.0}, {k * 1.0, 5.0}, {0.0, k * 1.0}})
        EXPECT_EQ(PointInPolygon(box, x + origin.X, y + origin.Y), PolygonLocation::OnEdge)
            << x << ' ' << y;
    }
  }
  const std::vector<PointRec> closed{{0, 0, 0, 0}, {6, 0, 0, 0}, {0, 6, 0, 0}, {0, 0, 0, 0}};
  EXPECT_EQ(PointInPolygon(closed, 2, 2), PolygonLocation::Inside);
  EXPECT_EQ(PointInPolygon(std::span(closed).first(2), 2, 2), PolygonLocation::NoPolygon);
  // An open ring skips its closing edge: inside still sums past pi, outside
  // sums to neither 0 nor past pi and gets no code.
  const std::span open = std::span(closed).first(3);
  EXPECT_EQ(PointInPolygon(open, 2, 2), PolygonLocation::Inside);
  EXPECT_EQ(PointInPolygon(open, -3, 2), std::nullopt);
}

TEST(Kernels, Atan2SingleQuadrants) {
  const float pi = static_cast<float>(std::numbers::pi);
  EXPECT_EQ(Atan2Single(0, -1), 3.1415927f);
  EXPECT_EQ(Atan2Single(0, 0), 0);
  for (auto [y, x, angle] : {std::array{1.f, 0.f, pi / 2},
                             {-1.f, 0.f, -pi / 2},
                             {0.f, 1.f, 0.f},
                             {1.f, -1.f, 3 * pi / 4},
                             {-1.f, -1.f, -3 * pi / 4},
                             {-1.f, 1.f, -pi / 4}})
    EXPECT_FLOAT_EQ(Atan2Single(y, x), angle) << y << ", " << x;
}

// Wherever the quick test answers, it answers as the classifier does, for
// the closed outline and the open one; points on an edge (the overlay's
// crossings) and points in and just outside an edge's band are settled
// against the closed outline without the classifier.
TEST(Kernels, QuickTriangleTestAgreesWithTheClassifier) {
  std::mt19937_64 rng(20261209);
  std::uniform_real_distribution<double> unit(0, 1);
  const auto mm = [](double v) { return std::round(v * 1000) / 1000; };
  int onEdge = 0, onEdgeSettled = 0;
  for (int trial = 0; trial < 4000; ++trial) {
    const double x0 = trial % 2 ? E : 0, y0 = trial % 3 ? N : 0;
    const double size = std::pow(10, 4 * unit(rng) - 1);  // 0.1 m to 1 km
    TriangleRec t;
    for (PointRec* p : {&t.A, &t.B, &t.C})
      *p = {mm(x0 + size * unit(rng)), mm(y0 + size * unit(rng)), 0, 0};
    if (trial % 5 == 0)  // a sliver: C nearly on A-B
      t.C = {mm((t.A.X + t.B.X) / 2 + size * 1e-4), mm((t.A.Y + t.B.Y) / 2), 0, 0};
    const std::array<PointRec, 4> ring{t.A, t.B, t.C, t.A};
    for (int k = 0; k < 40; ++k) {
      const PointRec* ends[3][2] = {{&t.A, &t.B}, {&t.B, &t.C}, {&t.C, &t.A}};
      const auto [u, w] = ends[k % 3];
      const double ex = w->X - u->X, ey = w->Y - u->Y, length = std::hypot(ex, ey);
      if (length == 0) continue;
      // Along the edge (beyond its ends too), off it by nothing, by about
      // the band's half-width at that place, or by much more.
      const double s = k < 30 ? unit(rng) : 1.6 * unit(rng) - 0.3;
      const double halfWidth = std::tan(0.0005) * length * 2 * s * (1 - s);
      const double offsets[] = {0, halfWidth * (0.9 + 0.2 * unit(rng)) * (k % 2 ? 1 : -1),
                                length * (unit(rng) - 0.5)};
      const double off = offsets[k % 3];
      const double x = u->X + s * ex - off * ey / length, y = u->Y + s * ey + off * ex / length;
      for (const bool closed : {true, false}) {
        const auto where = PointInPolygon(std::span(ring).first(closed ? 4 : 3), x, y);
        const bool accepted = where && *where >= PolygonLocation::OnVertex;
        const std::optional<bool> quick = QuickTriangleTest(t, x, y, closed);
        if (quick) {
          EXPECT_EQ(*quick, accepted) << trial << ' ' << k << ' ' << closed;
        }
        if (closed && off == 0 && s > 0.01 && s < 0.99 && trial % 5 != 0) {
          ++onEdge;
          onEdgeSettled += quick.has_value();
        }
      }
    }
  }
  EXPECT_GT(onEdgeSettled, onEdge * 99 / 100) << onEdgeSettled << " of " << onEdge;
}

TEST(Kernels, SegmentsCross) {
  EXPECT_TRUE(SegmentsCross(0, 0, 2, 2, 0, 2, 2, 0));
  EXPECT_FALSE(SegmentsCross(0, 0, 2, 2, 3, 0, 5, 1));
  // Collinear counts whether or not the segments overlap.
  EXPECT_TRUE(SegmentsCross(0, 0, 1, 1, 2, 2, 3, 3));
  EXPECT_TRUE(SegmentsCross(0, 0, 2, 2, 1, 1, 3, 3));
  // Touching at an end, or with an end on the other segment.
  EXPECT_TRUE(SegmentsCross(0, 0, 2, 1, 2, 1, 3, 5));
  EXPECT_TRUE(SegmentsCross(0, 0, 4, 2, 2, 1, 2, 7));
  // Vertical against horizontal: coordinate comparisons only.
  EXPECT_TRUE(SegmentsCross(0, -1, 0, 1, -1, 0, 1, 0));
  EXPECT_TRUE(SegmentsCross(0, -1, 0, 1, 0, 1, 5, 1));
  EXPECT_FALSE(SegmentsCross(0, -1, 0, 1, 0.001, 0, 2, 0));
  EXPECT_TRUE(SegmentsCross(E, N - 1, E, N + 1, E - 0.0005, N, E + 0.0005, N));
  EXPECT_FALSE(SegmentsCross(E, N - 1, E + 2, N + 1, E + 1.0005, N, E + 3, N));
}

TEST(Kernels, SmallHelpers) {
  // Ties return B, visible through the sign of zero.
  EXPECT_TRUE(std::signbit(MinOf(0.0, -0.0)));
  EXPECT_TRUE(std::signbit(MaxOf(0.0, -0.0)));
  const PointRec a{0, 0, 0, 0}, b{4, 1, 0, 0}, c{2, 3, 0, 0};
  EXPECT_TRUE(InTriangleBox(4, 3, a, b, c));  // corner of the box, outside the triangle
  EXPECT_FALSE(InTriangleBox(4.0001, 1, a, b, c));
  for (auto [v, r] : {std::pair{0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}})
    EXPECT_EQ(RoundHalfEven(v), r) << v;
}

TEST(Kernels, GrowExtentsFromResetBox) {
  ExtentsRec e = ResetExtents();
  EXPECT_EQ(e.Min, (PointRec{1e30, 1e30, 1e30, 0}));
  EXPECT_EQ(e.Max, (PointRec{-1e30, -1e30, -1e30, 0}));
  GrowExtents(e, {E, N, 12.5, 7});
  EXPECT_EQ(e.Min, (PointRec{E, N, 12.5, 0}));  // T is never touched
  EXPECT_EQ(e.Max, e.Min);
  GrowExtents(e, {E - 1, N + 1, 12.5, 0});
  EXPECT_EQ(e.Min, (PointRec{E - 1, N, 12.5, 0}));
  EXPECT_EQ(e.Max, (PointRec{E, N + 1, 12.5, 0}));
}

}  // namespace
}  // namespace orvane
