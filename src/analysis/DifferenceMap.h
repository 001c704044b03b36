#pragma once
// The height difference of two surfaces as a raster: every cell whose centre
// both surfaces cover holds B - A there, each height exactly as the
// elevation query gives it (InterpolateZ: the lowest-numbered triangle that
// contains the centre, borders included, and its interpolation); every other
// cell holds no data.

#include <cstdint>

#include "analysis/FloatGrid.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

inline constexpr int64_t kMaxDifferenceMapCells = int64_t{1} << 31;

// The grid covers the overlap of the two surfaces' plan extents, its edges
// on whole multiples of cellSize (so that it lines up with the project's
// other rasters of that cell size). Refused for a cell size that is not a
// positive finite length, surfaces whose extents do not overlap, or a grid
// of more than kMaxDifferenceMapCells cells. Progress per row goes to
// feedback; a cancel gives Cancelled.
Result<FloatGrid> HeightDifferenceMap(const TriangleMesh& A, const TriangleMesh& B, double cellSize,
                                      Feedback& feedback);

}  // namespace orvane
