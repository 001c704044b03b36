#include "core/Kernels.h"

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

}  // namespace orvane
