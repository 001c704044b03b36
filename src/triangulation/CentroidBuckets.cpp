#include "triangulation/CentroidBuckets.h"

#include <algorithm>
#include <cmath>

namespace orvane {

XYRec CentroidBuckets::Centroid(const WorkTriangulation& tri, const WorkTriangulation::Tri& t) {
  const PointRec &A = tri.pts[static_cast<size_t>(t.v[0])],
                 &B = tri.pts[static_cast<size_t>(t.v[1])],
                 &C = tri.pts[static_cast<size_t>(t.v[2])];
  return {(A.X + B.X + C.X) / 3, (A.Y + B.Y + C.Y) / 3};
}

CentroidBuckets::CentroidBuckets(const WorkTriangulation& tri) {
  std::vector<XYRec> at;
  std::vector<int32_t> placed;
  at.reserve(static_cast<size_t>(tri.LiveCount()));
  placed.reserve(static_cast<size_t>(tri.LiveCount()));
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (size_t t = 0; t < tri.tris.size(); ++t) {
    if (!tri.tris[t].alive) continue;
    const XYRec c = Centroid(tri, tri.tris[t]);
    if (!std::isfinite(c.X) || !std::isfinite(c.Y)) {
      unplaced_.push_back(static_cast<int32_t>(t));
      continue;
    }
    at.push_back(c);
    placed.push_back(static_cast<int32_t>(t));
    x0 = std::min(x0, c.X);
    x1 = std::max(x1, c.X);
    y0 = std::min(y0, c.Y);
    y1 = std::max(y1, c.Y);
  }
  if (placed.empty()) return;
  // About two triangles per cell.
  const double w = x1 - x0, h = y1 - y0;
  const double cells = std::max(1.0, static_cast<double>(placed.size()) / 2);
  cell_ = std::sqrt(w * h / cells);
  if (!(cell_ > 0) || !std::isfinite(cell_)) cell_ = std::max({w, h, 1e-9});
  cols_ = std::clamp<int64_t>(static_cast<int64_t>(w / cell_) + 1, 1, 1 << 14);
  rows_ = std::clamp<int64_t>(static_cast<int64_t>(h / cell_) + 1, 1, 1 << 14);
  cell_ = std::max(w / static_cast<double>(cols_), h / static_cast<double>(rows_)) * (1 + 1e-12);
  if (!(cell_ > 0) || !std::isfinite(cell_)) cell_ = 1;
  minX_ = x0;
  minY_ = y0;

  const auto cellCount = static_cast<size_t>(cols_ * rows_);
  std::vector<int32_t> cellOf(placed.size());
  start_.assign(cellCount + 1, 0);
  for (size_t k = 0; k < placed.size(); ++k) {
    cellOf[k] = static_cast<int32_t>(Row(at[k].Y) * cols_ + Col(at[k].X));
    ++start_[static_cast<size_t>(cellOf[k]) + 1];
  }
  for (size_t c = 0; c < cellCount; ++c) start_[c + 1] += start_[c];
  members_.resize(placed.size());
  std::vector<int32_t> fill(start_.begin(), start_.end() - 1);
  for (size_t k = 0; k < placed.size(); ++k)
    members_[static_cast<size_t>(fill[static_cast<size_t>(cellOf[k])]++)] = placed[k];
}

int64_t CentroidBuckets::Col(double x) const {
  return std::clamp<int64_t>(static_cast<int64_t>(std::floor((x - minX_) / cell_)), 0, cols_ - 1);
}

int64_t CentroidBuckets::Row(double y) const {
  return std::clamp<int64_t>(static_cast<int64_t>(std::floor((y - minY_) / cell_)), 0, rows_ - 1);
}

std::vector<int32_t> CentroidBuckets::Candidates(double minX, double minY, double maxX,
                                                 double maxY) const {
  std::vector<int32_t> out(unplaced_);
  if (cols_ == 0) return out;
  int64_t c0 = 0, c1 = cols_ - 1, r0 = 0, r1 = rows_ - 1;
  if (std::isfinite(minX) && std::isfinite(minY) && std::isfinite(maxX) && std::isfinite(maxY)) {
    // Clamped to the grid: cells beyond it hold nothing, and the clamping of
    // a centroid's own cell is the same monotone rule.
    c0 = Col(minX);
    c1 = Col(maxX);
    r0 = Row(minY);
    r1 = Row(maxY);
  }
  for (int64_t r = r0; r <= r1; ++r) {
    const auto first = static_cast<size_t>(start_[static_cast<size_t>(r * cols_ + c0)]),
               last = static_cast<size_t>(start_[static_cast<size_t>(r * cols_ + c1) + 1]);
    out.insert(out.end(), members_.begin() + static_cast<std::ptrdiff_t>(first),
               members_.begin() + static_cast<std::ptrdiff_t>(last));
  }
  return out;
}

}  // namespace orvane
