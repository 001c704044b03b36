#include "reference/MeshIntersectionReference.h"

#include <cmath>
#include <optional>

#include "core/geometry/Kernels.h"

namespace orvane::reference {

namespace {

// The plane height and line crossing formulas written out here, so that this
// file needs nothing beyond the core library.
double LiteralPlaneZ(double xp, double yp, const PointRec& p1, const PointRec& p2,
                     const PointRec& p3) {
  const double A = (p2.Y - p3.Y) * (p1.Z - p3.Z) - (p2.Z - p3.Z) * (p1.Y - p3.Y);
  const double B = (p2.Z - p3.Z) * (p1.X - p3.X) - (p2.X - p3.X) * (p1.Z - p3.Z);
  const double C = (p2.X - p3.X) * (p1.Y - p3.Y) - (p2.Y - p3.Y) * (p1.X - p3.X);
  if (C == 0) return 0;
  return p1.Z - ((xp - p1.X) * A + (yp - p1.Y) * B) / C;
}

// Height of a mesh triangle's plane: its first vertex's height without plan
// area.
double LiteralGetZ(const TriangleRec& t, double x, double y) {
  const double C = (t.B.X - t.C.X) * (t.A.Y - t.C.Y) - (t.B.Y - t.C.Y) * (t.A.X - t.C.X);
  if (C == 0) return t.A.Z;
  return LiteralPlaneZ(x, y, t.A, t.B, t.C);
}

// false when parallel.
bool LiteralCross(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                  double y4, double& XI, double& YI) {
  if (x1 == x2) {
    if (x3 == x4) return false;
    XI = x1;
    YI = (y4 - y3) * (XI - x3) / (x4 - x3) + y3;
    return true;
  }
  if (x3 == x4) {
    XI = x3;
    YI = (y2 - y1) * (XI - x1) / (x2 - x1) + y1;
    return true;
  }
  const double m1 = (y2 - y1) / (x2 - x1), b1 = y1 - m1 * x1;
  const double m2 = (y4 - y3) / (x4 - x3), b2 = y3 - m2 * x3;
  if (m1 == m2) return false;
  XI = (b2 - b1) / (m1 - m2);
  YI = m1 * XI + b1;
  return true;
}

bool Inside(const PointRec (&o)[4], double x, double y) {
  const auto c = PointInPolygon(std::span<const PointRec>(o, 4), x, y);
  return c && *c >= PolygonLocation::OnVertex;
}

struct Piece {
  double x1, y1, x2, y2;
};

// The edges of E clipped by outline O, in edge order.
std::vector<Piece> Clip(const PointRec (&E)[4], const PointRec (&O)[4]) {
  std::vector<Piece> out;
  for (int k = 0; k < 3; ++k) {
    const PointRec& P = E[k];
    const PointRec& Q = E[k + 1];
    const bool pin = Inside(O, P.X, P.Y);
    const bool qin = Inside(O, Q.X, Q.Y);
    if (pin && qin) {
      out.push_back({P.X, P.Y, Q.X, Q.Y});
      continue;
    }
    double xs[2] = {0, 0}, ys[2] = {0, 0};
    int n = 0;
    for (int m = 0; m < 3; ++m) {
      if (!SegmentsCross(P.X, P.Y, Q.X, Q.Y, O[m].X, O[m].Y, O[m + 1].X, O[m + 1].Y)) continue;
      double xi = 0, yi = 0;
      if (!LiteralCross(P.X, P.Y, Q.X, Q.Y, O[m].X, O[m].Y, O[m + 1].X, O[m + 1].Y, xi, yi))
        continue;
      xs[n] = xi;
      ys[n] = yi;
      ++n;
      if (pin || qin || n == 2) break;
    }
    if (pin && n == 1) out.push_back({P.X, P.Y, xs[0], ys[0]});
    if (qin && n == 1) out.push_back({xs[0], ys[0], Q.X, Q.Y});
    if (!pin && !qin && n == 2) out.push_back({xs[0], ys[0], xs[1], ys[1]});
  }
  return out;
}

bool Same(const PointRec& p, const PointRec& q) {
  return std::abs(p.X - q.X) <= 0.001 && std::abs(p.Y - q.Y) <= 0.001;
}

}  // namespace

std::vector<PlanSegment> LiteralOverlaySegments(std::span<const TriangleRec> A,
                                                std::span<const TriangleRec> B) {
  std::vector<PlanSegment> records;
  for (size_t i = 1; i < A.size(); ++i) {
    const TriangleRec& a = A[i];
    const PointRec T1[4] = {a.A, a.B, a.C, a.A};
    for (size_t j = 1; j < B.size(); ++j) {
      const TriangleRec& b = B[j];
      const PointRec T2[4] = {b.A, b.B, b.C, b.A};
      const double min1x = MinOf(T1[0].X, MinOf(T1[1].X, T1[2].X));
      const double max1x = MaxOf(T1[0].X, MaxOf(T1[1].X, T1[2].X));
      const double min1y = MinOf(T1[0].Y, MinOf(T1[1].Y, T1[2].Y));
      const double max1y = MaxOf(T1[0].Y, MaxOf(T1[1].Y, T1[2].Y));
      const double min2x = MinOf(T2[0].X, MinOf(T2[1].X, T2[2].X));
      const double max2x = MaxOf(T2[0].X, MaxOf(T2[1].X, T2[2].X));
      const double min2y = MinOf(T2[0].Y, MinOf(T2[1].Y, T2[2].Y));
      const double max2y = MaxOf(T2[0].Y, MaxOf(T2[1].Y, T2[2].Y));
      if (min2x > max1x || max2x < min1x || min2y > max1y || max2y < min1y) continue;
      std::vector<PlanSegment> found;
      for (const Piece& p : Clip(T2, T1))
        found.push_back({{p.x1, p.y1, LiteralGetZ(a, p.x1, p.y1), 0},
                         {p.x2, p.y2, LiteralGetZ(a, p.x2, p.y2), 0}});
      for (const Piece& p : Clip(T1, T2))
        found.push_back({{p.x1, p.y1, LiteralPlaneZ(p.x1, p.y1, b.A, b.B, b.C), 0},
                         {p.x2, p.y2, LiteralPlaneZ(p.x2, p.y2, b.A, b.B, b.C), 0}});
      for (const PlanSegment& s : found)
        if (!(std::abs(s.From.X - s.To.X) < 0.001 && std::abs(s.From.Y - s.To.Y) < 0.001 &&
              std::abs(s.From.Z - s.To.Z) < 0.001))
          records.push_back(s);
    }
  }
  return LiteralRemoveDuplicates(records);
}

std::vector<PlanSegment> LiteralRemoveDuplicates(const std::vector<PlanSegment>& segments) {
  std::vector<int> flag(segments.size(), 0);
  for (size_t x = 0; x < segments.size(); ++x)
    for (size_t y = x + 1; y < segments.size(); ++y) {
      if (flag[y] != 0) continue;
      const PlanSegment& s = segments[x];
      const PlanSegment& t = segments[y];
      if ((Same(t.From, s.From) && Same(t.To, s.To)) ||
          (Same(t.From, s.To) && Same(t.To, s.From))) {
        flag[y] = 1;
        break;
      }
    }
  std::vector<PlanSegment> out;
  for (size_t x = 0; x < segments.size(); ++x)
    if (flag[x] == 0) out.push_back(segments[x]);
  return out;
}

}  // namespace orvane::reference
