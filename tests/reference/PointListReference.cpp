#include "reference/PointListReference.h"

#include <cmath>

namespace orvane::reference {

namespace {

bool Close(const PointRec& a, const PointRec& b, double Radius, bool VerifyZ) {
  return std::fabs(a.X - b.X) < Radius && std::fabs(a.Y - b.Y) < Radius &&
         (!VerifyZ || std::fabs(a.Z - b.Z) < Radius);
}

}  // namespace

int32_t LiteralFindPoint(std::span<const PointRec> points, double X, double Y, double Tolerance,
                         double z) {
  for (size_t i = 1; i < points.size(); ++i) {
    const PointRec& p = points[i];
    if (p.X >= X - Tolerance && p.X <= X + Tolerance && p.Y >= Y - Tolerance &&
        p.Y <= Y + Tolerance && (z == 0 || (p.Z >= z - Tolerance && p.Z <= z + Tolerance)))
      return static_cast<int32_t>(i);
  }
  return 0;
}

LiteralDuplicates LiteralCheckForDuplicates(std::span<const PointRec> points, double Radius,
                                            bool VerifyZ, bool CheckAll) {
  LiteralDuplicates out;
  const size_t n = points.size();
  if (!CheckAll) {
    for (size_t i = 1; i < n; ++i)
      for (size_t j = i + 1; j < n; ++j)
        if (Close(points[i], points[j], Radius, VerifyZ)) {
          out.Count = 1;
          return out;
        }
    return out;
  }
  std::vector<bool> marked(n, false);
  for (size_t i = 1; i < n; ++i) {
    if (marked[i]) continue;
    for (size_t j = i + 1; j < n; ++j)
      if (!marked[j] && Close(points[i], points[j], Radius, VerifyZ)) marked[j] = true;
  }
  for (size_t i = 1; i < n; ++i) {
    if (!marked[i]) continue;
    ++out.Count;
    out.DupIndexes += std::to_string(i) + "|";
  }
  return out;
}

LiteralDecimation LiteralDecimate(std::vector<PointRec> points, double Radius, bool VerifyZ,
                                  bool KeepsAverage) {
  LiteralDecimation out;
  const size_t n = points.size();
  out.MarkedRemoved.assign(n, false);
  for (size_t i = 1; i < n; ++i) {
    if (points[i].T == -1) continue;
    const PointRec before = points[i];
    double sx = before.X, sy = before.Y, sz = before.Z, members = 1;
    for (size_t j = i + 1; j < n; ++j) {
      if (points[j].T == -1 || !Close(before, points[j], Radius, VerifyZ)) continue;
      points[j].T = -1;
      out.MarkedRemoved[j] = true;
      if (KeepsAverage) {
        sx += points[j].X;
        sy += points[j].Y;
        sz += points[j].Z;
        members += 1;
      }
    }
    if (KeepsAverage && members > 1) {
      points[i].X = sx / members;
      points[i].Y = sy / members;
      points[i].Z = sz / members;
    }
  }
  out.Points.push_back(points[0]);
  for (size_t i = 1; i < n; ++i)
    if (points[i].T != -1) out.Points.push_back(points[i]);
  out.Removed = static_cast<int32_t>(n - out.Points.size());
  return out;
}

}  // namespace orvane::reference
