#include "core/geometry/TriangleInterpolation.h"

#include <algorithm>
#include <cmath>

#include "core/geometry/Kernels.h"
#include "core/geometry/Predicates.h"

namespace orvane {

namespace {

// Twice the signed plan areas of the triangles (P, B, C), (A, P, C) and
// (A, B, P): the barycentric weights of A, B and C times twice the area
// of A, B, C, signs exact. Made non-negative for a clockwise triangle.
struct Weights {
  double a, b, c;
};

Weights WeightsOf(const TriangleRec& t, double X, double Y, double orientation) {
  Weights w{Orient2D(X, Y, t.B.X, t.B.Y, t.C.X, t.C.Y), Orient2D(t.A.X, t.A.Y, X, Y, t.C.X, t.C.Y),
            Orient2D(t.A.X, t.A.Y, t.B.X, t.B.Y, X, Y)};
  if (orientation < 0) w = {-w.a, -w.b, -w.c};
  return w;
}

bool IsWellShaped(const TriangleRec& t, double orientation) {
  const double xlo = std::min({t.A.X, t.B.X, t.C.X}), xhi = std::max({t.A.X, t.B.X, t.C.X});
  const double ylo = std::min({t.A.Y, t.B.Y, t.C.Y}), yhi = std::max({t.A.Y, t.B.Y, t.C.Y});
  const double span = (xhi - xlo) + (yhi - ylo);
  // Well shaped (twice the area above 1e-4 of the squared span): the plain
  // weights are off by less than 1e-11 of their total.
  return std::fabs(orientation) >= 1e-4 * span * span;
}

// The weights to within a few units in their last place, for the
// interpolation: plain arithmetic loses about eps L / h of the total
// on a triangle of width L and height h, which on a sliver shows in the
// height.
Weights AccurateWeightsOf(const TriangleRec& t, double X, double Y, double orientation) {
  if (IsWellShaped(t, orientation)) return WeightsOf(t, X, Y, orientation);
  Weights w{Orient2DAccurate(X, Y, t.B.X, t.B.Y, t.C.X, t.C.Y),
            Orient2DAccurate(t.A.X, t.A.Y, X, Y, t.C.X, t.C.Y),
            Orient2DAccurate(t.A.X, t.A.Y, t.B.X, t.B.Y, X, Y)};
  if (orientation < 0) w = {-w.a, -w.b, -w.c};
  return w;
}

// Height at a position on the edge P-Q, the same from either triangle that
// shares the edge: the ends are taken in a fixed order whichever way the
// triangle runs.
double HeightOnEdge(const PointRec& P, const PointRec& Q, double X, double Y) {
  const bool pFirst = P.X < Q.X || (P.X == Q.X && P.Y <= Q.Y);
  const PointRec& u = pFirst ? P : Q;
  const PointRec& v = pFirst ? Q : P;
  const double dx = v.X - u.X, dy = v.Y - u.Y;
  const double s = ((X - u.X) * dx + (Y - u.Y) * dy) / (dx * dx + dy * dy);
  if (!(s > 0)) return u.Z;  // at u, or an edge without length
  if (s >= 1) return v.Z;
  return u.Z + s * (v.Z - u.Z);
}

}  // namespace

bool TriangleContains(const TriangleRec& t, double X, double Y) {
  if (!InTriangleBox(X, Y, t.A, t.B, t.C)) return false;
  const double o = Orient2D(t.A.X, t.A.Y, t.B.X, t.B.Y, t.C.X, t.C.Y);
  if (!(o > 0 || o < 0)) return false;  // no plan area (or not finite)
  const Weights w = WeightsOf(t, X, Y, o);
  return w.a >= 0 && w.b >= 0 && w.c >= 0;
}

double HeightIn(const TriangleRec& t, double X, double Y) {
  return PreparedTriangle(t).HeightAt(X, Y);
}

PreparedTriangle::PreparedTriangle(const TriangleRec& t)
    : t_(&t), orientation_(Orient2D(t.A.X, t.A.Y, t.B.X, t.B.Y, t.C.X, t.C.Y)) {
  plain_ = (orientation_ > 0 || orientation_ < 0) && IsWellShaped(t, orientation_);
}

bool PreparedTriangle::Contains(double X, double Y) const {
  const TriangleRec& t = *t_;
  if (!InTriangleBox(X, Y, t.A, t.B, t.C)) return false;
  if (!(orientation_ > 0 || orientation_ < 0)) return false;  // no plan area (or not finite)
  const Weights w = WeightsOf(t, X, Y, orientation_);
  return w.a >= 0 && w.b >= 0 && w.c >= 0;
}

double PreparedTriangle::HeightOnBorder(double X, double Y) const {
  const TriangleRec& t = *t_;
  const double o = orientation_;
  if (!(o > 0 || o < 0)) return t.A.Z;  // no plan area (or not finite)
  const Weights w = AccurateWeightsOf(t, X, Y, o);
  // Off the triangle by rounding (a caller's position just outside): the
  // nearest side's weights, never a plane extended across a sliver.
  const double a = std::max(w.a, 0.0), b = std::max(w.b, 0.0), c = std::max(w.c, 0.0);
  // On a vertex or an edge the height is that of the vertex or the edge
  // alone, the same whichever triangle holds the position.
  if (b == 0 && c == 0) return t.A.Z;
  if (a == 0 && c == 0) return t.B.Z;
  if (a == 0 && b == 0) return t.C.Z;
  if (c == 0) return HeightOnEdge(t.A, t.B, X, Y);
  if (a == 0) return HeightOnEdge(t.B, t.C, X, Y);
  if (b == 0) return HeightOnEdge(t.C, t.A, X, Y);
  // Relative to A, so that survey heights lose no digits to the weights.
  return t.A.Z + (b * (t.B.Z - t.A.Z) + c * (t.C.Z - t.A.Z)) / (a + b + c);
}

}  // namespace orvane
