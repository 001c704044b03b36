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

namespace orvane {

// > 0 when a, b, c turn counter-clockwise (X east, Y north), < 0 clockwise,
// 0 when collinear. The magnitude approximates twice the signed area.
double Orient2D(double ax, double ay, double bx, double by, double cx, double cy);

// > 0 when d lies strictly inside the circle through a, b, c given
// counter-clockwise (the sign flips for a clockwise a, b, c), < 0 outside,
// 0 on the circle.
double InCircle(double ax, double ay, double bx, double by, double cx, double cy, double dx,
                double dy);

}  // namespace orvane
