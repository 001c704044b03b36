#pragma once
// Many elevation queries answered in one pass over the triangles in index
// order, instead of one index lookup per query.
//
// The queries are filed in a grid over their plan box; each triangle, in
// index order, tests the queries of the cells its plan box covers, and a
// query keeps the first triangle that contains it. That is the definition
// of the triangle under a position (the lowest-numbered one that contains
// it, exact predicates), so the answers are InterpolateZ's, bit for bit.
// Reading the triangles in their stored order streams them from memory,
// where a lookup per query waits for scattered cells and triangles; and no
// spatial index of the whole mesh is needed. It pays when the queries are
// not much fewer than the triangles.

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/storage/Records.h"

namespace orvane {

// The plan box of the queries with finite coordinates, and how many there are.
struct QueryBox {
  double xlo, ylo, xhi, yhi;
  size_t finite = 0;
};
QueryBox FiniteBox(std::span<const XYRec> queries);

// LocateAndInterpolate(mesh, queries, DefaultValue, triangles, heights) for
// the mesh whose triangle list (slot 0 ahead of entry 1) is given. Declines, returning
// false with heights unspecified, where a pass would not pay or cannot be
// trusted: a triangle or the queries' box with coordinates that are not
// finite, or triangles whose boxes cover far more cells than there are
// triangles and queries (heavily overlapping or very long thin ones).
// REQUIRES: heights.size() == queries.size(); under empty or as large.
bool SweepHeights(std::span<const TriangleRec> triangles, std::span<const XYRec> queries,
                  double DefaultValue, std::span<int32_t> under, std::span<double> heights);

}  // namespace orvane
