#pragma once
// Samples a surface on a square grid and returns the grid cells as quads.

#include <cstdint>

#include "core/model/QuadMesh.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

class TriangleMesh;

// LastErrorCode values of GetSquareQuadMesh besides 0.
inline constexpr int32_t kGridCancelled = 1;
// side is not positive, or the grid would have more than 2^31 - 1 nodes (the
// node and quad numbers are 32-bit).
inline constexpr int32_t kGridRefused = 2;

// The grid box is the mesh's extents made square by raising the maximum of
// the shorter axis; n = floor(width / side) + 1 nodes per axis. Nodes run
// column by column from the lowest x, each column from the highest y down,
// stepping by side (repeated addition, as the columns have always been
// laid); a node takes the height of the triangle under it (TriangleUnder of
// ElevationQueries.h), and a node with no triangle under it is empty. Every
// cell whose four corners k, k + 1, k + n + 1, k + n are all filled becomes
// a quad, in node order. A mesh without extents gives an empty grid.
//
// Progress goes to feedback once per column (throttled), then 100
// (unthrottled). On a cancel (the feedback asked after each progress
// report) the result is Cancelled and LastErrorCode becomes kGridCancelled;
// a refused side gives Refused (saying why) and kGridRefused. Otherwise
// LastErrorCode is 0.
Result<QuadMesh> GetSquareQuadMesh(TriangleMesh& mesh, int32_t side, Feedback& feedback);
// The same, reporting nothing and never cancelled.
Result<QuadMesh> GetSquareQuadMesh(TriangleMesh& mesh, int32_t side);

}  // namespace orvane
