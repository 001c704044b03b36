#pragma once
// The surface as a raster of elevations (a DEM): every cell whose centre a
// triangle contains holds the surface's height there, exactly as the
// elevation query gives it (the lowest-numbered triangle that contains the
// centre, borders included, and its interpolation); every other cell holds
// no data.

#include <optional>

#include "analysis/FloatGrid.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

class TriangleMesh;

// A plan rectangle, metres.
struct PlanBounds {
  double West = 0, South = 0, East = 0, North = 0;
};

// The cells of a DEM with square cells of cellSize. With bounds, the grid's
// north-west corner is (West, North) and it has just enough columns and rows
// to reach East and South. Without, it covers the triangles' plan extents,
// its edges on whole multiples of cellSize (so that the DEMs of one project
// line up cell for cell). Refused for a cell size that is not a positive
// finite length, bounds that are empty or not finite, a surface without
// triangles (and no bounds) or a grid of more than kMaxElevationModelCells
// cells. Progress goes to feedback per triangle (throttled); a cancel
// gives Cancelled.
inline constexpr int64_t kMaxElevationModelCells = int64_t{1} << 31;
Result<FloatGrid> ElevationModel(const TriangleMesh& mesh, double cellSize,
                                 const std::optional<PlanBounds>& bounds, Feedback& feedback);

}  // namespace orvane
