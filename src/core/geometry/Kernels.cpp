#include "core/geometry/Kernels.h"

#include <cmath>
#include <numbers>

namespace orvane {

bool PointsMatch3D(const PointRec& P, const PointRec& Q) {
  return std::abs(P.X - Q.X) <= CoincidenceTolerance &&
         std::abs(P.Y - Q.Y) <= CoincidenceTolerance && std::abs(P.Z - Q.Z) <= CoincidenceTolerance;
}

float Atan2Single(double Y, double X) {
  constexpr double pi = std::numbers::pi;
  double r;
  if (X == 0) {
    r = Y > 0 ? pi / 2 : (Y < 0 ? -pi / 2 : 0.0);
  } else if (Y == 0) {
    r = X < 0 ? pi : 0.0;
  } else if (X < 0) {
    r = Y > 0 ? std::atan(Y / X) + pi : std::atan(Y / X) - pi;
  } else {
    r = std::atan(Y / X);
  }
  return static_cast<float>(r);
}

namespace {

template <class Rec>
std::optional<PolygonLocation> Locate(std::span<const Rec> poly, double X, double Y) {
  const size_t n = poly.size();
  if (n < 3) return PolygonLocation::NoPolygon;
  for (const Rec& v : poly)
    if (std::abs(X - v.X) < CoincidenceTolerance && std::abs(Y - v.Y) < CoincidenceTolerance)
      return PolygonLocation::OnVertex;
  constexpr double pi = std::numbers::pi;
  double sum = 0;
  for (size_t i = 0; i + 1 < n; ++i) {
    const double dx = poly[i].X - X;
    const double dy = poly[i].Y - Y;
    // The angles are rounded to single precision on purpose (the on-edge
    // test and the sums depend on it); their sum is kept in double.
    const float a = Atan2Single(dy, dx);
    const double c = std::cos(static_cast<double>(a));
    const double s = std::sin(static_cast<double>(a));
    const double ux = poly[i + 1].X - X;
    const double uy = poly[i + 1].Y - Y;
    const double u = ux * c + uy * s;
    const double v = uy * c - ux * s;
    const double t = Atan2Single(v, u);
    // A point on the edge sees it under an angle of pi; rounding decides
    // whether the rotated angle comes out as +pi or -pi, so both count (a
    // test of +pi alone would call some points exactly on an edge outside).
    if (std::abs(std::abs(t) - pi) < CoincidenceTolerance) return PolygonLocation::OnEdge;
    sum += t;
  }
  if (std::abs(sum) < CoincidenceTolerance) return PolygonLocation::Outside;
  if (std::abs(sum) > pi) return PolygonLocation::Inside;
  return std::nullopt;
}

}  // namespace

std::optional<PolygonLocation> PointInPolygon(std::span<const PointRec> polygon, double X,
                                              double Y) {
  return Locate(polygon, X, Y);
}

std::optional<PolygonLocation> PointInPolygon(std::span<const XYRec> polygon, double X, double Y) {
  return Locate(polygon, X, Y);
}

double Distance2D(double X1, double Y1, double X2, double Y2) {
  return std::sqrt((X1 - X2) * (X1 - X2) + (Y1 - Y2) * (Y1 - Y2));
}

bool InTriangleBox(double X, double Y, const PointRec& P1, const PointRec& P2, const PointRec& P3) {
  return MinOf(P1.X, MinOf(P2.X, P3.X)) <= X && X <= MaxOf(P1.X, MaxOf(P2.X, P3.X)) &&
         MinOf(P1.Y, MinOf(P2.Y, P3.Y)) <= Y && Y <= MaxOf(P1.Y, MaxOf(P2.Y, P3.Y));
}

namespace {

// Does segment (X3,Y3)-(X4,Y4) reach both sides of the line through
// (X1,Y1)-(X2,Y2)? Touching counts.
bool Straddles(double X1, double Y1, double X2, double Y2, double X3, double Y3, double X4,
               double Y4) {
  if (X1 == X2) return (X3 <= X1 && X4 >= X1) || (X3 >= X1 && X4 <= X1);
  if (Y1 == Y2) return (Y3 <= Y1 && Y4 >= Y1) || (Y3 >= Y1 && Y4 <= Y1);
  // Each product is rounded to a double before the comparison (no fused
  // multiply-add), so exactly collinear inputs compare equal and count as
  // crossing whether or not they overlap.
  const double s3 = (Y3 - Y1) * (X2 - X1);
  const double t3 = (X3 - X1) * (Y2 - Y1);
  const double s4 = (Y4 - Y1) * (X2 - X1);
  const double t4 = (X4 - X1) * (Y2 - Y1);
  return (s3 <= t3 && s4 >= t4) || (s3 >= t3 && s4 <= t4);
}

}  // namespace

bool SegmentsCross(double X1, double Y1, double X2, double Y2, double X3, double Y3, double X4,
                   double Y4) {
  return Straddles(X1, Y1, X2, Y2, X3, Y3, X4, Y4) && Straddles(X3, Y3, X4, Y4, X1, Y1, X2, Y2);
}

double RoundHalfEven(double v) {
  return std::nearbyint(v);
}

int32_t RoundToInt32(double v) {
  if (std::isnan(v)) return 0;
  const double r = std::nearbyint(v);
  if (r >= 2147483647.0) return 2147483647;
  if (r <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(r);
}

// The classifier (angle sums over the walked edges, angles rounded to single
// precision) accepts P
//  - within 0.001 in X and Y of a vertex (tested here exactly as it does);
//  - when a walked edge is seen from P under an angle within 0.001 of pi: a
//    lens around that edge no wider than (L/2) tan(0.0005 + rounding);
//  - when the angles sum to more than pi in size: against the closed
//    outline every point inside; against the open one every point inside
//    that does not see C-A under an angle within rounding (about 1e-6) of
//    pi; no point outside.
// So P inside (and, for the open outline, away from C-A by more than
// 1e-5 L^2 / L, an angle deficit of about 4e-5) is accepted, and P outside,
// away from the three lines by more than 1e-3 L each (a deficit of about
// 4e-3), is not. Nearer a line, against the closed outline, the band of each
// near edge is settled by the angle itself, in double precision, unless that
// angle is within 1e-5 of the band's edge: the overlay's crossing points lie
// on edges, and most of them would otherwise go to the classifier's six arc
// tangents. Every determinant is taken with its rounding bound:
// differences of doubles are exact to half an ulp of themselves, the
// products and their difference to a few more.
std::optional<bool> QuickTriangleTest(const TriangleRec& t, double X, double Y, bool closed) {
  const PointRec* v[3] = {&t.A, &t.B, &t.C};
  for (const PointRec* p : v)
    if (std::abs(X - p->X) < CoincidenceTolerance && std::abs(Y - p->Y) < CoincidenceTolerance)
      return true;
  constexpr double kErr = 1e-15;  // relative bound of a 2 x 2 determinant, with room
  double det[3], lengthSq[3], bound[3];
  double area = 0, areaBound = 0;
  for (int e = 0; e < 3; ++e) {
    const PointRec& u = *v[e];
    const PointRec& w = *v[(e + 1) % 3];
    const double ex = w.X - u.X, ey = w.Y - u.Y, px = X - u.X, py = Y - u.Y;
    det[e] = ex * py - ey * px;
    bound[e] = kErr * (std::abs(ex * py) + std::abs(ey * px));
    lengthSq[e] = ex * ex + ey * ey;
    if (e == 0) {
      const double cx = v[2]->X - u.X, cy = v[2]->Y - u.Y;
      area = ex * cy - ey * cx;
      areaBound = kErr * (std::abs(ex * cy) + std::abs(ey * cx));
    }
  }
  if (!(std::abs(area) > areaBound) || !std::isfinite(area)) return std::nullopt;
  for (int e = 0; e < 3; ++e)
    if (!std::isfinite(det[e]) || !std::isfinite(lengthSq[e])) return std::nullopt;
  const double side = area > 0 ? 1 : -1;
  bool inside = true, signsSure = true, farFromLines = true, farFromLine[3];
  for (int e = 0; e < 3; ++e) {
    if (!(std::abs(det[e]) > bound[e])) signsSure = false;
    if (det[e] * side < 0) inside = false;
    farFromLine[e] = std::abs(det[e]) > 1e-3 * lengthSq[e] * 1.01 + bound[e];
    farFromLines = farFromLines && farFromLine[e];
  }
  if (signsSure && inside) {
    // Edge 2 is C-A, which the open outline does not walk.
    if (closed || std::abs(det[2]) > 1e-5 * lengthSq[2] * 1.01 + bound[2]) return true;
    return std::nullopt;
  }
  if (signsSure && farFromLines) return false;
  if (!closed) return std::nullopt;
  // Near a line, against the closed outline: each edge's band is settled by
  // the angle under which P sees it, unless P is beyond the edge's ends
  // (then that angle is below a right angle). The classifier's angles are
  // rounded to single precision, a few 1e-7 near pi; the margin is far
  // wider. A point in a band is accepted; outside every band, P is accepted
  // when inside.
  constexpr double kBand = CoincidenceTolerance, kMargin = 1e-5;
  bool bandUnsure = false;
  for (int e = 0; e < 3; ++e) {
    if (farFromLine[e]) continue;
    const PointRec& u = *v[e];
    const PointRec& w = *v[(e + 1) % 3];
    const double ax = u.X - X, ay = u.Y - Y, bx = w.X - X, by = w.Y - Y;
    const double along = (w.X - u.X) * -ax + (w.Y - u.Y) * -ay;
    if (along < -1e-3 * lengthSq[e] || along > lengthSq[e] * (1 + 1e-3)) continue;
    const double deficit =
        std::numbers::pi - std::atan2(std::abs(ax * by - ay * bx), ax * bx + ay * by);
    if (deficit < kBand - kMargin) return true;
    if (!(deficit > kBand + kMargin)) bandUnsure = true;
  }
  if (bandUnsure || !signsSure) return std::nullopt;
  return inside;
}

}  // namespace orvane
