#pragma once
// The elevation queries and the square grid as literal scans over the
// triangles in index order: the slow procedures the fast versions must
// reproduce exactly.

#include <cstdint>
#include <span>

#include "core/QuadMesh.h"
#include "core/Records.h"

namespace orvane::reference {

// First triangle in index order whose plan box (borders included) holds the
// point and whose closed outline A, B, C, A classifies it with code >= 2;
// 0 when none.
int32_t LiteralTriangleUnder(std::span<const TriangleRec> triangles, double X, double Y);

// Its plane height (0 for C exactly 0), or DefaultValue.
double LiteralInterpolateZ(std::span<const TriangleRec> triangles, double X, double Y,
                           double DefaultValue);

// The grid of nodes and quads, one triangle scan per node, nodes marked
// empty explicitly. REQUIRES: side > 0 and a grid of reasonable size.
QuadMesh LiteralSquareGrid(std::span<const TriangleRec> triangles, const ExtentsRec& extents,
                           int32_t side);

}  // namespace orvane::reference
