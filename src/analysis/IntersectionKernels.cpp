#include "analysis/IntersectionKernels.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/Predicates.h"

namespace orvane {

double PlaneZ(double xp, double yp, double x1, double y1, double z1, double x2, double y2,
              double z2, double x3, double y3, double z3) {
  const double A = (y2 - y3) * (z1 - z3) - (z2 - z3) * (y1 - y3);
  const double B = (z2 - z3) * (x1 - x3) - (x2 - x3) * (z1 - z3);
  const double C = (x2 - x3) * (y1 - y3) - (y2 - y3) * (x1 - x3);
  if (C == 0) return 0;
  return z1 - ((xp - x1) * A + (yp - y1) * B) / C;
}

std::optional<XYRec> LineCrossPoint(double x1, double y1, double x2, double y2, double x3,
                                    double y3, double x4, double y4) {
  if (x1 == x2) {
    if (x3 == x4) return std::nullopt;
    const double xi = x1;
    return XYRec{xi, (y4 - y3) * (xi - x3) / (x4 - x3) + y3};
  }
  if (x3 == x4) {
    const double xi = x3;
    return XYRec{xi, (y2 - y1) * (xi - x1) / (x2 - x1) + y1};
  }
  const double m1 = (y2 - y1) / (x2 - x1);
  const double b1 = y1 - m1 * x1;
  const double m2 = (y4 - y3) / (x4 - x3);
  const double b2 = y3 - m2 * x3;
  if (m1 == m2) return std::nullopt;
  const double xi = (b2 - b1) / (m1 - m2);
  return XYRec{xi, m1 * xi + b1};
}

Plane PlaneOf(const Point3D& P1, const Point3D& P2, const Point3D& P3) {
  Plane p;
  p.A = (P2.Y - P1.Y) * (P3.Z - P1.Z) - (P2.Z - P1.Z) * (P3.Y - P1.Y);
  p.B = (P2.Z - P1.Z) * (P3.X - P1.X) - (P2.X - P1.X) * (P3.Z - P1.Z);
  p.C = (P2.X - P1.X) * (P3.Y - P1.Y) - (P2.Y - P1.Y) * (P3.X - P1.X);
  p.D = -(p.A * P2.X + p.B * P2.Y + p.C * P2.Z);
  return p;
}

void PlaneCut::Append(const Point3D& p) {
  if (Count < static_cast<int32_t>(Points.size())) Points[static_cast<size_t>(Count++)] = p;
}

void EdgePlanePoint(const Point3D& Pa, const Point3D& Pb, double da, double db, PlaneCut& cut) {
  if (da == 0) {
    cut.Append(Pa);
  } else if (db == 0) {
    cut.Append(Pb);
  } else if (da * db < 0) {
    const double t = db / (db - da);
    cut.Append({t * Pa.X + (1 - t) * Pb.X, t * Pa.Y + (1 - t) * Pb.Y, t * Pa.Z + (1 - t) * Pb.Z});
  }
}

PlaneCut TrianglePlaneCut(const Point3D& P1, const Point3D& P2, const Point3D& P3,
                          const Plane& plane) {
  const std::array<Point3D, 3> P{P1, P2, P3};
  std::array<double, 3> d{};
  for (size_t k = 0; k < 3; ++k)
    d[k] = plane.A * P[k].X + plane.B * P[k].Y + plane.C * P[k].Z + plane.D;

  PlaneCut cut;
  for (size_t k = 0; k < 3; ++k)
    if (d[k] == 0) cut.Append(P[k]);

  if (cut.Count == 0) {
    for (size_t k = 0; k < 3; ++k) {
      // The other two vertices, in vertex order.
      const size_t a = k == 0 ? 1 : 0;
      const size_t b = k == 2 ? 1 : 2;
      if (d[k] * d[a] < 0 && d[k] * d[b] < 0) {
        EdgePlanePoint(P[k], P[a], d[k], d[a], cut);
        EdgePlanePoint(P[k], P[b], d[k], d[b], cut);
        break;
      }
    }
  } else if (cut.Count == 1) {
    const size_t on = d[0] == 0 ? 0 : (d[1] == 0 ? 1 : 2);
    const size_t a = on == 0 ? 1 : 0;
    const size_t b = on == 2 ? 1 : 2;
    EdgePlanePoint(P[a], P[b], d[a], d[b], cut);
  }
  return cut;
}

namespace {

double Length(double dx, double dy, double dz) {
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

enum class Along { Before, Within, After };

Along Classify(double t) {
  if (t < 0) return Along::Before;
  if (t > 1) return Along::After;
  return Along::Within;
}

}  // namespace

SegmentPosition ProjectOnSegment(const Point3D& A, const Point3D& B, const Point3D& P) {
  const double bx = B.X - A.X, by = B.Y - A.Y, bz = B.Z - A.Z;
  const double L = Length(bx, by, bz);
  if (L == 0) return {0.5, P == A ? 0.0 : 1e38};
  const double t = ((P.X - A.X) * bx + (P.Y - A.Y) * by + (P.Z - A.Z) * bz) / (L * L);
  const double e = Length(P.X - (A.X + t * bx), P.Y - (A.Y + t * by), P.Z - (A.Z + t * bz)) / L;
  return {t, e};
}

SegmentOverlapResult SegmentOverlap(const PlaneCut& cut1, const PlaneCut& cut2) {
  SegmentOverlapResult r;
  if (cut1.Count != 2 || cut2.Count != 2) return r;
  const Point3D& U1 = cut1.Points[0];
  const Point3D& U2 = cut1.Points[1];
  const Point3D& V1 = cut2.Points[0];
  const Point3D& V2 = cut2.Points[1];
  const SegmentPosition p1 = ProjectOnSegment(U1, U2, V1);
  const SegmentPosition p2 = ProjectOnSegment(U1, U2, V2);
  // Written so that a NaN offset counts as off the line.
  if (!(p1.e <= 1e-10 && p2.e <= 1e-10)) return r;

  const Along a1 = Classify(p1.t);
  const Along a2 = Classify(p2.t);
  r.Case = static_cast<OverlapCase>(1 + 3 * static_cast<int32_t>(a1) + static_cast<int32_t>(a2));
  switch (r.Case) {
    case OverlapCase::BeforeWithin:
      r.Common = Segment3D{U1, V2};
      break;
    case OverlapCase::BeforeAfter:
      r.Common = Segment3D{U1, U2};
      break;
    case OverlapCase::WithinBefore:
      r.Common = Segment3D{U1, V1};
      break;
    case OverlapCase::WithinWithin:
      r.Common = Segment3D{V1, V2};
      break;
    case OverlapCase::WithinAfter:
      r.Common = Segment3D{V1, U2};
      break;
    case OverlapCase::AfterBefore:
      r.Common = Segment3D{U1, U2};
      break;
    case OverlapCase::AfterWithin:
      r.Common = Segment3D{V2, U2};
      break;
    default:
      break;  // both ends on one side: no common part
  }
  return r;
}

namespace {

// Side of v against the plane through t (exact sign, accurate value).
double SideOf(const std::array<Point3D, 3>& t, const Point3D& v) {
  return Orient3D(t[0].X, t[0].Y, t[0].Z, t[1].X, t[1].Y, t[1].Z, t[2].X, t[2].Y, t[2].Z, v.X, v.Y,
                  v.Z);
}

// Where triangle t meets the other plane, from the exact sides s of its
// corners: the segment between the crossings of its two edges from the
// corner that lies alone on one side (the corner itself where a side is
// 0, never a computed point), or a single point where it only touches.
// REQUIRES: the sides are neither all 0 nor all of one strict sign.
std::array<Point3D, 2> CutOf(const std::array<Point3D, 3>& t, const std::array<double, 3>& s) {
  auto sign = [](double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); };
  // The corner alone on its side: strictly off the plane with the other
  // two on the other side or in the plane; else (two on one side, one in
  // the plane) the corner in the plane.
  size_t apex = 3;
  for (size_t k = 0; k < 3 && apex == 3; ++k) {
    const int sk = sign(s[k]);
    if (sk != 0 && sign(s[(k + 1) % 3]) != sk && sign(s[(k + 2) % 3]) != sk) apex = k;
  }
  if (apex == 3)
    for (size_t k = 0; k < 3; ++k)
      if (s[k] == 0) apex = k;
  const Point3D& a = t[apex];
  auto crossing = [&](size_t k) -> Point3D {
    const Point3D& b = t[k];
    if (s[k] == 0) return b;
    if (s[apex] == 0) return a;
    const double f = std::clamp(s[apex] / (s[apex] - s[k]), 0.0, 1.0);
    return {a.X + f * (b.X - a.X), a.Y + f * (b.Y - a.Y), a.Z + f * (b.Z - a.Z)};
  };
  return {crossing((apex + 1) % 3), crossing((apex + 2) % 3)};
}

bool AllOneSide(const std::array<double, 3>& s) {
  return (s[0] > 0 && s[1] > 0 && s[2] > 0) || (s[0] < 0 && s[1] < 0 && s[2] < 0);
}

}  // namespace

TriangleIntersection TriangleTriangleIntersect(const std::array<Point3D, 3>& T1,
                                               const std::array<Point3D, 3>& T2) {
  TriangleIntersection r;
  // Which side of the other's plane each corner lies on decides everything
  // that is not a length: exactly, on the coordinates as stored, so the
  // answer does not depend on where the survey lies.
  const std::array<double, 3> s1{SideOf(T2, T1[0]), SideOf(T2, T1[1]), SideOf(T2, T1[2])};
  const std::array<double, 3> s2{SideOf(T1, T2[0]), SideOf(T1, T2[1]), SideOf(T1, T2[2])};
  if ((s1[0] == 0 && s1[1] == 0 && s1[2] == 0) || (s2[0] == 0 && s2[1] == 0 && s2[2] == 0)) {
    r.Contact = TriangleContact::Coplanar;
    return r;
  }
  if (AllOneSide(s1) || AllOneSide(s2)) return r;
  // Both cuts lie on the line where the planes meet: their common part,
  // ordered along the axis on which the four ends spread most.
  const std::array<Point3D, 2> c1 = CutOf(T1, s1), c2 = CutOf(T2, s2);
  const Point3D* ends[4] = {&c1[0], &c1[1], &c2[0], &c2[1]};
  int axis = 0;
  double widest = -1;
  for (int k = 0; k < 3; ++k) {
    auto coord = [k](const Point3D& p) { return k == 0 ? p.X : (k == 1 ? p.Y : p.Z); };
    double lo = coord(*ends[0]), hi = lo;
    for (const Point3D* e : ends) {
      lo = std::min(lo, coord(*e));
      hi = std::max(hi, coord(*e));
    }
    if (hi - lo > widest) {
      widest = hi - lo;
      axis = k;
    }
  }
  auto at = [axis](const Point3D& p) { return axis == 0 ? p.X : (axis == 1 ? p.Y : p.Z); };
  auto ordered = [&](const std::array<Point3D, 2>& c) {
    return at(c[0]) <= at(c[1]) ? std::pair{&c[0], &c[1]} : std::pair{&c[1], &c[0]};
  };
  const auto [lo1, hi1] = ordered(c1);
  const auto [lo2, hi2] = ordered(c2);
  const Point3D* from = at(*lo1) >= at(*lo2) ? lo1 : lo2;
  const Point3D* to = at(*hi1) <= at(*hi2) ? hi1 : hi2;
  // Touching at a point, or cuts that miss each other along the line.
  if (!(at(*from) < at(*to))) return r;
  r.Contact = TriangleContact::Crossing;
  r.Segment = Segment3D{*from, *to};
  return r;
}

}  // namespace orvane
