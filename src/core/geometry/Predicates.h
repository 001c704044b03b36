#pragma once
// Exact-sign geometric predicates: adaptive-precision floating-point
// arithmetic after the published method of J. R. Shewchuk ("Adaptive
// Precision Floating-Point Arithmetic and Fast Robust Geometric Predicates",
// 1997), written for this program.
//
// Each predicate first evaluates its determinant in plain double arithmetic
// with a forward error bound; only when the sign is uncertain does it refine
// the result with exact expansion arithmetic. The SIGN returned is always the
// sign of the exact determinant of the given doubles: no tolerance, no
// relative epsilon. The triangulator relies on that to take the same
// Delaunay decisions at survey coordinates (eastings of 5e5 m, northings of
// 4.5e6 m with millimetre detail) as on small ones.

#include <cmath>

namespace orvane {

// The refinements, out of line: the plain evaluation below decides nearly
// every call, and inlining it is most of the speed of the triangulator.
namespace predicates_detail {
double Orient2DSlow(double ax, double ay, double bx, double by, double cx, double cy,
                    double detsum);
double InCircleSlow(double ax, double ay, double bx, double by, double cx, double cy, double dx,
                    double dy, double permanent);
inline constexpr double kEps = 1.1102230246251565e-16;  // 2^-53: half an ulp of 1
inline constexpr double kCcwErrBoundA = (3.0 + 16.0 * kEps) * kEps;
inline constexpr double kIccErrBoundA = (10.0 + 96.0 * kEps) * kEps;
}  // namespace predicates_detail

// > 0 when a, b, c turn counter-clockwise (X east, Y north), < 0 clockwise,
// 0 when collinear. The magnitude approximates twice the signed area.
inline double Orient2D(double ax, double ay, double bx, double by, double cx, double cy) {
  const double detleft = (ax - cx) * (by - cy);
  const double detright = (ay - cy) * (bx - cx);
  const double det = detleft - detright;
  double detsum;
  if (detleft > 0) {
    if (detright <= 0) return det;
    detsum = detleft + detright;
  } else if (detleft < 0) {
    if (detright >= 0) return det;
    detsum = -detleft - detright;
  } else {
    return det;
  }
  const double errbound = predicates_detail::kCcwErrBoundA * detsum;
  if (det >= errbound || -det >= errbound) return det;
  return predicates_detail::Orient2DSlow(ax, ay, bx, by, cx, cy, detsum);
}

// Orient2D's determinant itself to within a few units in its last place,
// however much of it cancels: exact expansion arithmetic, rounded once at
// the end. Slower; for interpolation weights that must be accurate, not
// only of the right sign.
double Orient2DAccurate(double ax, double ay, double bx, double by, double cx, double cy);

// (d - a) . ((b - a) x (c - a)): > 0 when d lies on the side of the plane
// through a, b, c towards which that cross product points (above it when
// a, b, c turn counter-clockwise seen from above), < 0 on the other side,
// 0 in the plane. The sign is exact; the value is within 1e-10 of itself
// (exact expansion arithmetic where plain arithmetic cannot promise that),
// so it may serve as an interpolation weight.
double Orient3D(double ax, double ay, double az, double bx, double by, double bz, double cx,
                double cy, double cz, double dx, double dy, double dz);

// > 0 when d lies strictly inside the circle through a, b, c given
// counter-clockwise (the sign flips for a clockwise a, b, c), < 0 outside,
// 0 on the circle.
inline double InCircle(double ax, double ay, double bx, double by, double cx, double cy, double dx,
                       double dy) {
  const double adx = ax - dx, bdx = bx - dx, cdx = cx - dx;
  const double ady = ay - dy, bdy = by - dy, cdy = cy - dy;
  const double bdxcdy = bdx * cdy, cdxbdy = cdx * bdy;
  const double alift = adx * adx + ady * ady;
  const double cdxady = cdx * ady, adxcdy = adx * cdy;
  const double blift = bdx * bdx + bdy * bdy;
  const double adxbdy = adx * bdy, bdxady = bdx * ady;
  const double clift = cdx * cdx + cdy * cdy;
  const double det =
      alift * (bdxcdy - cdxbdy) + blift * (cdxady - adxcdy) + clift * (adxbdy - bdxady);
  const double permanent = (std::fabs(bdxcdy) + std::fabs(cdxbdy)) * alift +
                           (std::fabs(cdxady) + std::fabs(adxcdy)) * blift +
                           (std::fabs(adxbdy) + std::fabs(bdxady)) * clift;
  const double errbound = predicates_detail::kIccErrBoundA * permanent;
  if (det > errbound || -det > errbound) return det;
  return predicates_detail::InCircleSlow(ax, ay, bx, by, cx, cy, dx, dy, permanent);
}

}  // namespace orvane
