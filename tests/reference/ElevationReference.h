#pragma once
// The elevation queries and the square grid as literal scans over the
// triangles in index order: the slow procedures the fast versions must
// reproduce exactly. Heights come from HeightIn, whose own accuracy the
// elevation tests check against a long-double interpolation.

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "core/geometry/TriangleInterpolation.h"
#include "core/model/QuadMesh.h"
#include "core/storage/Records.h"
#include "reference/MeshQueriesReference.h"

namespace orvane::reference {

// First triangle in index order with plan area that contains the point,
// borders included, by the signs of the three exact orientations of the
// point against its edges; 0 when none.
int32_t ExactTriangleUnder(std::span<const TriangleRec> triangles, double X, double Y);

// HeightIn of that triangle, or DefaultValue.
inline double ExactInterpolateZ(std::span<const TriangleRec> triangles, double X, double Y,
                                double DefaultValue) {
  const int32_t t = ExactTriangleUnder(triangles, X, Y);
  return t == 0 ? DefaultValue : HeightIn(triangles[static_cast<size_t>(t)], X, Y);
}

// First triangle in index order whose plan box (borders included) holds the
// point and whose closed outline A, B, C, A the angle-sum classifier gives
// code >= 2; 0 when none.
int32_t LiteralTriangleReaching(std::span<const TriangleRec> triangles, double X, double Y);

// A surface's height at a position on it or beside it: HeightIn of the
// exact containing triangle, else of the reaching one, else of TriangleAt's;
// DefaultValue when there is none.
inline double LiteralHeightNear(std::span<const TriangleRec> triangles, double X, double Y,
                                double DefaultValue) {
  int32_t t = ExactTriangleUnder(triangles, X, Y);
  if (t == 0) t = LiteralTriangleReaching(triangles, X, Y);
  if (t == 0) t = LiteralTriangleAt(triangles, X, Y);
  return t < 1 ? DefaultValue : HeightIn(triangles[static_cast<size_t>(t)], X, Y);
}

// The grid of nodes and quads, one triangle scan per node, nodes marked
// empty explicitly. REQUIRES: side > 0 and a grid of reasonable size.
inline QuadMesh LiteralSquareGrid(std::span<const TriangleRec> triangles, const ExtentsRec& extents,
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
      const int32_t t = ExactTriangleUnder(triangles, x, y);
      if (t != 0)
        nodes[static_cast<size_t>(k)] = {x, y, HeightIn(triangles[static_cast<size_t>(t)], x, y),
                                         true};
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
