#include "reference/ElevationReference.h"

#include <array>
#include <cmath>
#include <vector>

#include "core/Kernels.h"

namespace orvane::reference {

int32_t LiteralTriangleUnder(std::span<const TriangleRec> triangles, double X, double Y) {
  for (size_t i = 1; i < triangles.size(); ++i) {
    const TriangleRec& t = triangles[i];
    if (!InTriangleBox(X, Y, t.A, t.B, t.C)) continue;
    const std::array<PointRec, 4> ring{t.A, t.B, t.C, t.A};
    int code = 0;
    if (const auto where = PointInPolygon(ring, X, Y)) code = static_cast<int>(*where);
    if (code >= 2) return static_cast<int32_t>(i);
  }
  return 0;
}

namespace {

double LiteralPlaneZ(const TriangleRec& t, double X, double Y) {
  const double x1 = t.A.X, y1 = t.A.Y, z1 = t.A.Z;
  const double x2 = t.B.X, y2 = t.B.Y, z2 = t.B.Z;
  const double x3 = t.C.X, y3 = t.C.Y, z3 = t.C.Z;
  const double A = (y2 - y3) * (z1 - z3) - (z2 - z3) * (y1 - y3);
  const double B = (z2 - z3) * (x1 - x3) - (x2 - x3) * (z1 - z3);
  const double C = (x2 - x3) * (y1 - y3) - (y2 - y3) * (x1 - x3);
  if (C == 0) return 0;
  return z1 - ((X - x1) * A + (Y - y1) * B) / C;
}

}  // namespace

double LiteralInterpolateZ(std::span<const TriangleRec> triangles, double X, double Y,
                           double DefaultValue) {
  const int32_t t = LiteralTriangleUnder(triangles, X, Y);
  return t == 0 ? DefaultValue : LiteralPlaneZ(triangles[static_cast<size_t>(t)], X, Y);
}

QuadMesh LiteralSquareGrid(std::span<const TriangleRec> triangles, const ExtentsRec& extents,
                           int32_t side) {
  double minX = extents.Min.X, minY = extents.Min.Y, maxX = extents.Max.X, maxY = extents.Max.Y;
  const double dx = maxX - minX, dy = maxY - minY;
  if (dy <= dx)
    maxY += dx - dy;
  else
    maxX += dy - dx;
  QuadMesh grid;
  const double across = std::floor((maxX - minX) / side) + 1;
  if (!(across >= 1)) return grid;
  const int64_t n = static_cast<int64_t>(across);
  struct Node {
    double x = 0, y = 0, z = 0;
    bool filled = false;
  };
  std::vector<Node> nodes(static_cast<size_t>(n * n) + 1);
  int64_t k = 0;
  for (double x = minX; x <= maxX; x += side) {
    for (double y = maxY; y >= minY; y -= side) {
      ++k;
      if (k > n * n) break;
      const int32_t t = LiteralTriangleUnder(triangles, x, y);
      if (t != 0) nodes[static_cast<size_t>(k)] = {x, y, LiteralPlaneZ(triangles[t], x, y), true};
    }
  }
  for (int64_t i = 1; i + n <= n * n; ++i) {
    if (i % n == 0) continue;
    const Node* c[4] = {&nodes[static_cast<size_t>(i)], &nodes[static_cast<size_t>(i + 1)],
                        &nodes[static_cast<size_t>(i + n + 1)], &nodes[static_cast<size_t>(i + n)]};
    if (!c[0]->filled || !c[1]->filled || !c[2]->filled || !c[3]->filled) continue;
    grid.AddQuad(c[0]->x, c[0]->y, c[0]->z, c[1]->x, c[1]->y, c[1]->z, c[2]->x, c[2]->y, c[2]->z,
                 c[3]->x, c[3]->y, c[3]->z);
  }
  return grid;
}

}  // namespace orvane::reference
