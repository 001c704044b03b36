#include "analysis/DifferenceMap.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "analysis/ElevationQueries.h"

namespace orvane {

namespace {

Outcome Refused(std::string text) {
  return Outcome::Failure(ErrorCode::Refused, std::move(text));
}

// The plan extents of the triangles' corners; false when there are none or
// they are not finite.
bool TriangleExtents(const TriangleMesh& m, double& w, double& s, double& e, double& n) {
  w = s = INFINITY;
  e = n = -INFINITY;
  for (const TriangleRec& t : m.Triangles().subspan(1))
    for (const PointRec* p : {&t.A, &t.B, &t.C}) {
      w = std::min(w, p->X);
      e = std::max(e, p->X);
      s = std::min(s, p->Y);
      n = std::max(n, p->Y);
    }
  return std::isfinite(w + e + s + n);
}

}  // namespace

Result<FloatGrid> HeightDifferenceMap(const TriangleMesh& A, const TriangleMesh& B, double cellSize,
                                      Feedback& feedback) {
  const double S = cellSize;
  if (!(S > 0) || !std::isfinite(S)) return Refused("the cell size must be a length above 0");
  double wa, sa, ea, na, wb, sb, eb, nb;
  if (!TriangleExtents(A, wa, sa, ea, na) || !TriangleExtents(B, wb, sb, eb, nb))
    return Refused("a surface has no triangles, or coordinates that are not finite");
  const double west = std::max(wa, wb), east = std::min(ea, eb);
  const double south = std::max(sa, sb), north = std::min(na, nb);
  if (!(west <= east && south <= north)) return Refused("the two surfaces do not overlap in plan");
  FloatGrid grid;
  grid.CellSize = S;
  grid.West = std::floor(west / S) * S;
  grid.North = std::ceil(north / S) * S;
  const double southEdge = std::floor(south / S) * S;
  const double eastEdge = std::ceil(east / S) * S;
  const double columns = std::max(std::ceil((eastEdge - grid.West) / S), 1.0);
  const double rows = std::max(std::ceil((grid.North - southEdge) / S), 1.0);
  if (!(columns * rows <= static_cast<double>(kMaxDifferenceMapCells)))
    return Refused("the map would have more than " + std::to_string(kMaxDifferenceMapCells) +
                   " cells: choose a larger cell size");
  grid.Columns = static_cast<int32_t>(columns);
  grid.Rows = static_cast<int32_t>(rows);
  grid.Cells.assign(static_cast<size_t>(grid.Columns) * static_cast<size_t>(grid.Rows),
                    grid.NoData);

  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  // Rows are answered a batch at a time: as many cells as the larger
  // surface has triangles make a batch that one pass over each surface's
  // triangles answers. The cancel check stays once per row; the rows of a
  // batch report their progress once it is answered.
  const size_t columnCount = static_cast<size_t>(grid.Columns);
  const size_t batch = std::max<size_t>(
      {4096, static_cast<size_t>(A.TriangleCount()), static_cast<size_t>(B.TriangleCount())});
  std::vector<XYRec> centres;
  std::vector<double> za, zb;
  int32_t firstRow = 0;  // of the batch
  const auto answer = [&](int32_t endRow) {
    za.resize(centres.size());
    zb.resize(centres.size());
    InterpolateZ(A, centres, kNone, za);
    InterpolateZ(B, centres, kNone, zb);
    for (size_t k = 0; k < centres.size(); ++k) {
      const double d = zb[k] - za[k];
      if (std::isfinite(d))
        grid.At(static_cast<int32_t>(k % columnCount),
                firstRow + static_cast<int32_t>(k / columnCount)) = static_cast<float>(d);
    }
    for (int32_t r = firstRow; r < endRow; ++r)
      feedback.Progress(static_cast<int32_t>(int64_t{100} * (r + 1) / grid.Rows), true);
    centres.clear();
    firstRow = endRow;
  };
  for (int32_t r = 0; r < grid.Rows; ++r) {
    if (feedback.Cancelled()) return Outcome::Cancel();
    for (int32_t c = 0; c < grid.Columns; ++c)
      centres.push_back({grid.CentreX(c), grid.CentreY(r)});
    if (centres.size() >= batch || r + 1 == grid.Rows) answer(r + 1);
  }
  return grid;
}

}  // namespace orvane
