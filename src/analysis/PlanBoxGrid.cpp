#include "analysis/PlanBoxGrid.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// A box filed in more cells than this is tested on every query instead: a
// few long slivers along a hull must not fill the grid.
constexpr int64_t kMaxCellsPerBox = 64;

bool Finite(const PlanBox& b) {
  return std::isfinite(b.xlo) && std::isfinite(b.ylo) && std::isfinite(b.xhi) &&
         std::isfinite(b.yhi) && b.xlo <= b.xhi && b.ylo <= b.yhi;
}

}  // namespace

PlanBoxGrid::CellRange PlanBoxGrid::CellsOf(const PlanBox& b) const {
  return {CellCoordinate(b.xlo, cell_), CellCoordinate(b.ylo, cell_), CellCoordinate(b.xhi, cell_),
          CellCoordinate(b.yhi, cell_)};
}

PlanBoxGrid::PlanBoxGrid(std::vector<PlanBox> boxes) : boxes_(std::move(boxes)) {
  if (boxes_.empty()) boxes_.resize(1);
  // Cells about as wide as a typical box: each box then lies in a few cells
  // and a query finds few strangers.
  double sum = 0;
  int64_t finite = 0;
  for (size_t j = 1; j < boxes_.size(); ++j) {
    const PlanBox& b = boxes_[j];
    if (!Finite(b)) continue;
    const double size = std::max(b.xhi - b.xlo, b.yhi - b.ylo);
    if (!std::isfinite(size)) continue;
    sum += size;
    ++finite;
  }
  if (finite > 0 && sum > 0 && std::isfinite(sum)) cell_ = 1.5 * sum / static_cast<double>(finite);
  if (!(cell_ > 0) || !std::isfinite(cell_)) cell_ = 1;

  std::vector<uint32_t> counts;
  auto filed = [&](size_t j, const CellRange& r) {
    return Finite(boxes_[j]) && r.i1 - r.i0 < kMaxCellsPerBox && r.j1 - r.j0 < kMaxCellsPerBox &&
           (r.i1 - r.i0 + 1) * (r.j1 - r.j0 + 1) <= kMaxCellsPerBox;
  };
  for (size_t j = 1; j < boxes_.size(); ++j) {
    const CellRange r = CellsOf(boxes_[j]);
    if (!filed(j, r)) {
      global_.push_back(static_cast<int32_t>(j));
      continue;
    }
    for (int64_t i = r.i0; i <= r.i1; ++i)
      for (int64_t k = r.j0; k <= r.j1; ++k) {
        const uint32_t id = cells_.Insert(0, i, k);
        if (id >= counts.size()) counts.resize(id + 1, 0);
        ++counts[id];
      }
  }
  offsets_.assign(counts.size() + 1, 0);
  for (size_t c = 0; c < counts.size(); ++c) offsets_[c + 1] = offsets_[c] + counts[c];
  entries_.resize(offsets_.back());
  std::vector<uint32_t> fill(offsets_.begin(), offsets_.end() - 1);
  for (size_t j = 1; j < boxes_.size(); ++j) {
    const CellRange r = CellsOf(boxes_[j]);
    if (!filed(j, r)) continue;
    for (int64_t i = r.i0; i <= r.i1; ++i)
      for (int64_t k = r.j0; k <= r.j1; ++k)
        entries_[fill[cells_.Find(0, i, k)]++] = static_cast<int32_t>(j);
  }
}

void PlanBoxGrid::AllMeeting(const PlanBox& q, std::vector<int32_t>& out) const {
  for (size_t j = 1; j < boxes_.size(); ++j)
    if (BoxesMeet(q, boxes_[j])) out.push_back(static_cast<int32_t>(j));
}

void PlanBoxGrid::Meeting(const PlanBox& q, std::vector<int32_t>& out) const {
  out.clear();
  if (boxes_.size() <= 1) return;
  // A box with a NaN or infinite side, or one covering more cells than there
  // are boxes, is cheaper (and only safe) to test against every box.
  bool scan = !Finite(q);
  CellRange r{};
  if (!scan) {
    r = CellsOf(q);
    const double ni = static_cast<double>(r.i1 - r.i0) + 1;
    const double nj = static_cast<double>(r.j1 - r.j0) + 1;
    scan = ni * nj > static_cast<double>(boxes_.size()) + 16;
  }
  if (scan) {
    AllMeeting(q, out);
    return;
  }
  for (int32_t j : global_)
    if (BoxesMeet(q, boxes_[static_cast<size_t>(j)])) out.push_back(j);
  for (int64_t i = r.i0; i <= r.i1; ++i)
    for (int64_t k = r.j0; k <= r.j1; ++k) {
      const uint32_t id = cells_.Find(0, i, k);
      if (id == CellHash::kMissing) continue;
      for (uint32_t e = offsets_[id]; e != offsets_[id + 1]; ++e) {
        const int32_t j = entries_[e];
        if (BoxesMeet(q, boxes_[static_cast<size_t>(j)])) out.push_back(j);
      }
    }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

}  // namespace orvane
