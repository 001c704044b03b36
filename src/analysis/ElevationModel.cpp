#include "analysis/ElevationModel.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <span>
#include <vector>

#include "analysis/StepProgress.h"
#include "core/geometry/TriangleInterpolation.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Threads.h"

namespace orvane {

namespace {

Outcome Refused(std::string text) {
  return Outcome::Failure(ErrorCode::Refused, std::move(text));
}

// The grid's place and size, cells still empty.
Result<FloatGrid> EmptyGrid(const TriangleMesh& mesh, double S,
                            const std::optional<PlanBounds>& bounds) {
  if (!(S > 0) || !std::isfinite(S)) return Refused("the cell size must be a length above 0");
  PlanBounds b;
  if (bounds) {
    b = *bounds;
    if (!std::isfinite(b.West) || !std::isfinite(b.South) || !std::isfinite(b.East) ||
        !std::isfinite(b.North) || !(b.East > b.West) || !(b.North > b.South))
      return Refused("the bounds must be west south east north, east of west and north of south");
  } else {
    if (mesh.TriangleCount() == 0) return Refused("the surface has no triangles");
    b = {INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (const TriangleRec& t : mesh.Triangles().subspan(1))
      for (const PointRec* p : {&t.A, &t.B, &t.C}) {
        b.West = std::min(b.West, p->X);
        b.East = std::max(b.East, p->X);
        b.South = std::min(b.South, p->Y);
        b.North = std::max(b.North, p->Y);
      }
    if (!std::isfinite(b.West + b.East + b.South + b.North))
      return Refused("the surface has coordinates that are not finite");
    b.West = std::floor(b.West / S) * S;
    b.South = std::floor(b.South / S) * S;
    // A surface whose east or north edge lies on a cell border still gets
    // the cells whose centres are nearest to it.
    b.East = std::max(std::ceil(b.East / S) * S, b.West + S);
    b.North = std::max(std::ceil(b.North / S) * S, b.South + S);
  }
  // A width of whole cells stays whole whatever its quotient's last bit.
  const double columns = std::ceil((b.East - b.West) / S - 1e-9);
  const double rows = std::ceil((b.North - b.South) / S - 1e-9);
  if (!(columns * rows <= static_cast<double>(kMaxElevationModelCells)))
    return Refused("the grid would have more than " + std::to_string(kMaxElevationModelCells) +
                   " cells: choose a larger cell size or smaller bounds");
  FloatGrid grid;
  grid.West = b.West;
  grid.North = b.North;
  grid.CellSize = S;
  grid.Columns = static_cast<int32_t>(std::max(columns, 1.0));
  grid.Rows = static_cast<int32_t>(std::max(rows, 1.0));
  grid.Cells.assign(static_cast<size_t>(grid.Columns) * static_cast<size_t>(grid.Rows),
                    grid.NoData);
  return grid;
}

// floor and ceil of v within [lo, hi] (whole numbers), without the library
// calls a build for any x86-64 makes of std::floor: a row of cells costs
// four of them.
inline int32_t FloorWithin(double v, int32_t lo, int32_t hi) {
  if (!(v > lo)) return lo;  // also NaN
  if (!(v < hi)) return hi;
  const auto t = static_cast<int32_t>(v);  // towards zero; v lies within (lo, hi)
  return v < 0 && t != v ? t - 1 : t;
}
inline int32_t CeilWithin(double v, int32_t lo, int32_t hi) {
  return -FloorWithin(-v, -hi, -lo);
}

// Fills the empty cells of rows [rowLo, rowHi) that triangle t contains.
// Cells are taken in triangle order, so a cell on a shared edge or vertex
// keeps the height of the first triangle that holds it, as the elevation
// query's does. Only the cells near the triangle's outline need the exact
// test; the row's span inside it is found in plain arithmetic and narrowed
// by a margin far above its rounding.
void ScanTriangle(const TriangleRec& t, FloatGrid& grid, int32_t rowLo, int32_t rowHi) {
  const PreparedTriangle prepared(t);
  const double S = grid.CellSize, invS = 1 / S;
  const double ylo = std::min({t.A.Y, t.B.Y, t.C.Y}), yhi = std::max({t.A.Y, t.B.Y, t.C.Y});
  const double xlo = std::min({t.A.X, t.B.X, t.C.X}), xhi = std::max({t.A.X, t.B.X, t.C.X});
  if (!(xlo < xhi && ylo < yhi)) return;  // no plan area, or not finite
  const double margin =
      1e-9 * (1 + std::max({std::fabs(xlo), std::fabs(xhi), std::fabs(ylo), std::fabs(yhi)}));
  // Rows whose centre may lie within [ylo, yhi], one more either side.
  const int32_t r0 = std::max(rowLo, FloorWithin((grid.North - yhi) * invS - 0.5, -1, grid.Rows));
  const int32_t r1 =
      std::min(rowHi - 1, CeilWithin((grid.North - ylo) * invS - 0.5, -1, grid.Rows));
  // The edges as x = x0 + (y - y0) slope over their rows.
  struct Edge {
    double ylo, yhi, x0, y0, slope, xlo, xhi;
  };
  Edge edges[3];
  const PointRec* corners[3] = {&t.A, &t.B, &t.C};
  for (int k = 0; k < 3; ++k) {
    const PointRec& p = *corners[k];
    const PointRec& q = *corners[(k + 1) % 3];
    edges[k] = {std::min(p.Y, q.Y),
                std::max(p.Y, q.Y),
                p.X,
                p.Y,
                p.Y == q.Y ? 0 : (q.X - p.X) / (q.Y - p.Y),
                std::min(p.X, q.X),
                std::max(p.X, q.X)};
  }
  const double west = grid.West;
  // Column positions only choose which cells to look at, with margins far
  // above the rounding of a reciprocal.
  auto column = [&](double x) { return (x - west) * invS - 0.5; };
  for (int32_t r = r0; r <= r1; ++r) {
    const double y = grid.CentreY(r);
    if (y < ylo - margin || y > yhi + margin) continue;
    // The span of the triangle along the row: its edges' crossings.
    double left = INFINITY, right = -INFINITY;
    for (const Edge& e : edges) {
      if (y < e.ylo || y > e.yhi) continue;
      if (e.ylo == e.yhi) {
        left = std::min(left, e.xlo);
        right = std::max(right, e.xhi);
        continue;
      }
      const double x = e.x0 + (y - e.y0) * e.slope;
      left = std::min(left, x);
      right = std::max(right, x);
    }
    if (left > right) left = xlo, right = xhi;  // within the margin of a corner's row
    // Cells from c0 to c1 may lie in the triangle; those from i0 to i1 do.
    const int32_t columns = grid.Columns;
    const int32_t c0 = CeilWithin(column(left - margin), -1, columns);
    const int32_t c1 = FloorWithin(column(right + margin), -1, columns);
    const bool nearCorner = y - ylo < margin || yhi - y < margin;
    int32_t i0 = FloorWithin(column(left + margin), -2, columns) + 1;
    int32_t i1 = CeilWithin(column(right - margin), -1, columns + 1) - 1;
    if (nearCorner || i0 > i1) i0 = c1 + 1, i1 = c1;
    const int32_t first = std::max(c0, 0), last = std::min(c1, grid.Columns - 1);
    float* row = &grid.At(0, r);
    auto exact = [&](int32_t c) {
      if (row[c] != grid.NoData) return;
      const double x = grid.CentreX(c);
      if (prepared.Contains(x, y)) row[c] = static_cast<float>(prepared.HeightAt(x, y));
    };
    int32_t c = first;
    for (; c <= last && c < i0; ++c) exact(c);
    for (; c <= last && c <= i1; ++c)
      if (row[c] == grid.NoData) row[c] = static_cast<float>(prepared.HeightAt(grid.CentreX(c), y));
    for (; c <= last; ++c) exact(c);
  }
}

}  // namespace

Result<FloatGrid> ElevationModel(const TriangleMesh& mesh, double cellSize,
                                 const std::optional<PlanBounds>& bounds, Feedback& feedback) {
  Result<FloatGrid> made = EmptyGrid(mesh, cellSize, bounds);
  if (!made) return made.Error();
  FloatGrid& grid = *made;
  const std::span<const TriangleRec> triangles = mesh.Triangles();
  const int32_t n = mesh.TriangleCount();
  // Bands of rows on threads of their own: each band sees every triangle
  // in order, so its cells are those one pass would give.
  const unsigned threads = ThreadsToUse(static_cast<unsigned>(std::min(grid.Rows, 64)));
  std::atomic<bool> stopped{false};
  auto band = [&](unsigned k) {
    const auto rowLo = static_cast<int32_t>(int64_t{grid.Rows} * k / threads);
    const auto rowHi = static_cast<int32_t>(int64_t{grid.Rows} * (k + 1) / threads);
    const double top = grid.North - rowLo * grid.CellSize + grid.CellSize;
    const double bottom = grid.North - rowHi * grid.CellSize - grid.CellSize;
    StepProgress progress(feedback);
    for (int32_t i = 1; i <= n; ++i) {
      if (i % StepProgress::kStep == 0) {
        if (stopped.load(std::memory_order_relaxed)) return;
        if (k == 0 && !progress.At(i, n)) stopped = true;
        if (k != 0 && feedback.Cancelled()) stopped = true;
      }
      const TriangleRec& t = triangles[static_cast<size_t>(i)];
      if (std::max({t.A.Y, t.B.Y, t.C.Y}) < bottom || std::min({t.A.Y, t.B.Y, t.C.Y}) > top)
        continue;
      ScanTriangle(t, grid, rowLo, rowHi);
    }
  };
  {
    std::vector<std::jthread> workers;
    for (unsigned k = 1; k < threads; ++k) workers.push_back(StartThread([&band, k] { band(k); }));
    band(0);
  }
  if (stopped || feedback.Cancelled()) return Outcome::Cancel();
  // A surface with a coordinate that is not a number has no height there.
  for (float& v : grid.Cells)
    if (std::isnan(v)) v = grid.NoData;
  return made;
}

}  // namespace orvane
