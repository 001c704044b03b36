#include "analysis/IntersectionKernels.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/geometry/Predicates.h"

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

// Where a triangle meets the other plane, from the exact sides s of its
// corners: between the crossings of its two edges from the corner that lies
// alone on one side, strictly off the plane, to the other two (which lie on
// the other side or in the plane). Each end is the crossing of the edge
// from corner Apex to corner k.
struct Cut {
  size_t Apex = 3;  // 3: none, the triangle only touches the plane at a corner
  int Side = 0;     // the side of Apex, 1 or -1
};

Cut CutOf(const std::array<double, 3>& s) {
  auto sign = [](double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); };
  for (size_t k = 0; k < 3; ++k) {
    const int sk = sign(s[k]);
    if (sk != 0 && sign(s[(k + 1) % 3]) != sk && sign(s[(k + 2) % 3]) != sk) return {k, sk};
  }
  return {};
}

// The crossing of edge Apex-k of t with the other plane: the corner itself
// where it lies in the plane, never a computed point there.
Point3D CrossingOf(const std::array<Point3D, 3>& t, const std::array<double, 3>& s, size_t apex,
                   size_t k) {
  const Point3D &a = t[apex], &b = t[k];
  if (s[k] == 0) return b;
  const double f = std::clamp(s[apex] / (s[apex] - s[k]), 0.0, 1.0);
  return {a.X + f * (b.X - a.X), a.Y + f * (b.Y - a.Y), a.Z + f * (b.Z - a.Z)};
}

bool AllOneSide(const std::array<double, 3>& s) {
  return (s[0] > 0 && s[1] > 0 && s[2] > 0) || (s[0] < 0 && s[1] < 0 && s[2] < 0);
}

double Orient3DOf(const Point3D& a, const Point3D& b, const Point3D& c, const Point3D& d) {
  return Orient3D(a.X, a.Y, a.Z, b.X, b.Y, b.Z, c.X, c.Y, c.Z, d.X, d.Y, d.Z);
}

}  // namespace

TriangleIntersection TriangleTriangleIntersect(const std::array<Point3D, 3>& T1,
                                               const std::array<Point3D, 3>& T2) {
  TriangleIntersection r;
  // Every decision is the sign of an orientation of four corners as
  // stored, exact, so the answer does not depend on where the survey lies;
  // only the two ends reported are computed points.
  const std::array<double, 3> s1{SideOf(T2, T1[0]), SideOf(T2, T1[1]), SideOf(T2, T1[2])};
  const std::array<double, 3> s2{SideOf(T1, T2[0]), SideOf(T1, T2[1]), SideOf(T1, T2[2])};
  if ((s1[0] == 0 && s1[1] == 0 && s1[2] == 0) || (s2[0] == 0 && s2[1] == 0 && s2[2] == 0)) {
    r.Contact = TriangleContact::Coplanar;
    return r;
  }
  if (AllOneSide(s1) || AllOneSide(s2)) return r;
  const Cut c1 = CutOf(s1), c2 = CutOf(s2);
  if (c1.Apex == 3 || c2.Apex == 3) return r;  // touching at a corner
  // Both cuts lie on the line L where the planes meet; D = N1 x N2 (the
  // normals of T1 and T2 in their corner order) runs along it. An end is
  // the crossing of edge a-b (a the apex) of T1 with T2's plane, or of
  // edge c-d of T2 with T1's plane; the end from c-d lies ahead of the end
  // from a-b along D when Side1 Side2 orient(a, b, c, d) > 0 (in T1's plane
  // L separates a from b, and the line c-d passes L on the side of a-b
  // that orientation tells).
  using End = std::pair<size_t, size_t>;          // apex, other corner
  auto ahead = [&](const End& x, const End& y) {  // > 0: y (of T2) ahead of x (of T1)
    const double o = Orient3DOf(T1[x.first], T1[x.second], T2[y.first], T2[y.second]);
    return (o > 0 ? 1 : (o < 0 ? -1 : 0)) * c1.Side * c2.Side;
  };
  // Along D, T1's crossings from its apex run towards the corner after it
  // when the apex lies below T2's plane, T2's when its apex lies above
  // T1's plane (seen along each normal, the corners turn counter-clockwise
  // and L passes the apex on the side its side of the other plane gives).
  const End e1{c1.Apex, (c1.Apex + 1) % 3}, e2{c1.Apex, (c1.Apex + 2) % 3};
  const End f1{c2.Apex, (c2.Apex + 1) % 3}, f2{c2.Apex, (c2.Apex + 2) % 3};
  const End lo1 = c1.Side < 0 ? e1 : e2, hi1 = c1.Side < 0 ? e2 : e1;
  const End lo2 = c2.Side > 0 ? f1 : f2, hi2 = c2.Side > 0 ? f2 : f1;
  // The common part, from the later start to the earlier end; none unless
  // it has length.
  if (!(ahead(lo1, hi2) > 0 && ahead(hi1, lo2) < 0)) return r;
  const Point3D from = ahead(lo1, lo2) > 0 ? CrossingOf(T2, s2, lo2.first, lo2.second)
                                           : CrossingOf(T1, s1, lo1.first, lo1.second);
  const Point3D to = ahead(hi1, hi2) > 0 ? CrossingOf(T1, s1, hi1.first, hi1.second)
                                         : CrossingOf(T2, s2, hi2.first, hi2.second);
  r.Contact = TriangleContact::Crossing;
  r.Segment = Segment3D{from, to};
  return r;
}

}  // namespace orvane
