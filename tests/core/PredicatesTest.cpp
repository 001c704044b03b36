// Exact signs of the orientation and in-circle predicates, checked against
// exact integer arithmetic on inputs that defeat plain double evaluation.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/geometry/Predicates.h"

namespace orvane {
namespace {

using i128 = __int128;

int Sign(double v) {
  return (v > 0) - (v < 0);
}
int Sign(i128 v) {
  return (v > 0) - (v < 0);
}

// Points are base + k * 2^-s with integer k, so every coordinate is an exact
// double and the determinants can be computed exactly on the integers k.
struct Lattice {
  double baseX, baseY, step;
  double X(int64_t k) const { return baseX + static_cast<double>(k) * step; }
  double Y(int64_t k) const { return baseY + static_cast<double>(k) * step; }
};

i128 OrientInt(i128 ax, i128 ay, i128 bx, i128 by, i128 cx, i128 cy) {
  return (ax - cx) * (by - cy) - (ay - cy) * (bx - cx);
}

i128 InCircleInt(i128 ax, i128 ay, i128 bx, i128 by, i128 cx, i128 cy, i128 dx, i128 dy) {
  const i128 adx = ax - dx, ady = ay - dy, bdx = bx - dx, bdy = by - dy, cdx = cx - dx,
             cdy = cy - dy;
  return (adx * adx + ady * ady) * (bdx * cdy - cdx * bdy) +
         (bdx * bdx + bdy * bdy) * (cdx * ady - adx * cdy) +
         (cdx * cdx + cdy * cdy) * (adx * bdy - bdx * ady);
}

TEST(Predicates, MatchExactIntegerSignsAtSurveyCoordinates) {
  const Lattice lattices[] = {
      {0, 0, 1}, {500000, 4500000, 0.0009765625}, {500000.5, 4500000.25, 1.0 / 1048576}};
  std::mt19937_64 rng(11);
  for (const Lattice& L : lattices) {
    // Small integer ranges make collinear and co-circular quadruples common.
    std::uniform_int_distribution<int64_t> k(-6, 6);
    for (int trial = 0; trial < 200000; ++trial) {
      const int64_t ax = k(rng), ay = k(rng), bx = k(rng), by = k(rng), cx = k(rng), cy = k(rng),
                    dx = k(rng), dy = k(rng);
      ASSERT_EQ(Sign(Orient2D(L.X(ax), L.Y(ay), L.X(bx), L.Y(by), L.X(cx), L.Y(cy))),
                Sign(OrientInt(ax, ay, bx, by, cx, cy)));
      ASSERT_EQ(
          Sign(InCircle(L.X(ax), L.Y(ay), L.X(bx), L.Y(by), L.X(cx), L.Y(cy), L.X(dx), L.Y(dy))),
          Sign(InCircleInt(ax, ay, bx, by, cx, cy, dx, dy)))
          << ax << ' ' << ay << ' ' << bx << ' ' << by << ' ' << cx << ' ' << cy << ' ' << dx << ' '
          << dy;
    }
  }
}

TEST(Predicates, NearlyCollinearAtSurveyCoordinates) {
  // Points on the line through a and b, nudged by one unit in the last place:
  // plain double evaluation of the determinant gets many of these wrong.
  const double ax = 500000.123, ay = 4500000.456;
  const double bx = 500123.789, by = 4500321.012;
  for (int i = 1; i < 2000; ++i) {
    const double t = i / 2000.0;
    const double cx = ax + t * (bx - ax);
    const double cy0 = ay + t * (by - ay);
    const double up = std::nextafter(cy0, 1e300), down = std::nextafter(cy0, -1e300);
    const double s0 = Orient2D(ax, ay, bx, by, cx, cy0);
    // Moving c north can only turn the triangle counter-clockwise.
    EXPECT_GE(Sign(Orient2D(ax, ay, bx, by, cx, up)), Sign(s0));
    EXPECT_LE(Sign(Orient2D(ax, ay, bx, by, cx, down)), Sign(s0));
    // Antisymmetry under exchange of two points.
    EXPECT_EQ(Sign(Orient2D(bx, by, ax, ay, cx, up)), -Sign(Orient2D(ax, ay, bx, by, cx, up)));
  }
}

TEST(Predicates, RectangleCornersAreExactlyCocircular) {
  // Any axis-aligned rectangle is co-circular, whatever its doubles: the
  // in-circle sign must be exactly 0, also when the differences are inexact.
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(0, 1);
  for (int trial = 0; trial < 20000; ++trial) {
    const double scale = trial % 3 == 0 ? 1e-3 : (trial % 3 == 1 ? 1.0 : 1e3);
    const double x1 = 500000 + u(rng) * scale, x2 = x1 + u(rng) * scale + 1e-9;
    const double y1 = 4500000 * u(rng), y2 = y1 + u(rng) * scale + 1e-9;
    EXPECT_EQ(InCircle(x1, y1, x2, y1, x2, y2, x1, y2), 0.0);
    // Move the fourth corner one ulp inward / outward along X.
    const double in = std::nextafter(x1, x2), out = std::nextafter(x1, -1e300);
    EXPECT_GT(InCircle(x1, y1, x2, y1, x2, y2, in, y2), 0.0);
    EXPECT_LT(InCircle(x1, y1, x2, y1, x2, y2, out, y2), 0.0);
  }
}

TEST(Predicates, InexactDifferencesUseTheExactPath) {
  // Coordinates of very different magnitude: a - c is not a double.
  const double tiny = std::ldexp(1.0, -60);
  EXPECT_GT(Orient2D(tiny, 0, 1, 0, 1 + std::ldexp(1.0, -52), std::ldexp(1.0, -70)), 0.0);
  EXPECT_EQ(Orient2D(tiny, tiny, 2 * tiny, 2 * tiny, 1, 1), 0.0);
  EXPECT_LT(Orient2D(tiny, tiny, 2 * tiny, 2 * tiny, 1, std::nextafter(1.0, 0.0)), 0.0);
}

}  // namespace
}  // namespace orvane
