#include "triangulation/VertexMatcher.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "core/geometry/Kernels.h"
#include "core/support/Threads.h"

namespace orvane {

namespace {

constexpr uint64_t kTopCell = (uint64_t{1} << 31) - 1;

// Lists shorter than this are not worth a second thread.
constexpr size_t kHalvesFrom = size_t{1} << 16;

uint64_t CellOf(double v, double origin, double width) {
  const double c = std::floor((v - origin) / width);
  if (!(c > 0)) return 0;
  if (c >= static_cast<double>(kTopCell)) return kTopCell;
  return static_cast<uint64_t>(c);
}

bool Before(const XYRec& a, const XYRec& b) {
  return a.X < b.X || (a.X == b.X && a.Y < b.Y);
}

// The cells holding some box, each with where its boxes' positions lie in
// a list sorted by cell: open addressing on the cell's key.
class CellTable {
 public:
  explicit CellTable(const std::vector<std::pair<uint64_t, int32_t>>& sorted) {
    size_t distinct = 0;
    for (size_t k = 0; k < sorted.size(); ++k)
      distinct += k == 0 || sorted[k].first != sorted[k - 1].first;
    const size_t size = std::bit_ceil(std::max<size_t>(2 * distinct, 2));
    shift_ = 64 - std::countr_zero(size);
    slots_.assign(size, Slot{});
    for (size_t k = 0; k < sorted.size();) {
      size_t end = k + 1;
      while (end < sorted.size() && sorted[end].first == sorted[k].first) ++end;
      size_t s = Hash(sorted[k].first);
      while (slots_[s].end != 0) s = (s + 1) & (size - 1);
      slots_[s] = {sorted[k].first, static_cast<uint32_t>(k), static_cast<uint32_t>(end)};
      k = end;
    }
  }
  // The range of the sorted list holding the cell's boxes (empty when none).
  std::pair<uint32_t, uint32_t> Range(uint64_t key) const {
    const size_t mask = slots_.size() - 1;
    for (size_t s = Hash(key);; s = (s + 1) & mask) {
      const Slot& slot = slots_[s];
      if (slot.end == 0) return {0, 0};
      if (slot.key == key) return {slot.begin, slot.end};
    }
  }

 private:
  struct Slot {
    uint64_t key = 0;
    uint32_t begin = 0, end = 0;  // end 0: a free slot
  };
  size_t Hash(uint64_t key) const {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  std::vector<Slot> slots_;
  int shift_ = 63;
};

}  // namespace

VertexMatcher::Box VertexMatcher::BoxOf(double x, double y) {
  // Bounds rounded once, as FindPoint rounds them.
  return {x - CoincidenceTolerance, y - CoincidenceTolerance, x + CoincidenceTolerance,
          y + CoincidenceTolerance};
}

uint64_t VertexMatcher::CellKey(double x, double y) const {
  return CellOf(x, originX_, width_) << 32 | CellOf(y, originY_, width_);
}

template <class Visit>
void VertexMatcher::ForEachCell(const Box& b, Visit&& visit) const {
  const uint64_t cx1 = CellOf(b.x1, originX_, width_), cy1 = CellOf(b.y1, originY_, width_);
  for (uint64_t cx = CellOf(b.x0, originX_, width_); cx <= cx1; ++cx)
    for (uint64_t cy = CellOf(b.y0, originY_, width_); cy <= cy1; ++cy) visit(cx << 32 | cy);
}

VertexMatcher::VertexMatcher(std::span<const PointRec> points, std::span<const XYRec> positions) {
  for (const XYRec& p : positions)
    if (std::isfinite(p.X) && std::isfinite(p.Y)) positions_.push_back(p);
  std::sort(positions_.begin(), positions_.end(), Before);
  positions_.erase(
      std::unique(positions_.begin(), positions_.end(),
                  [](const XYRec& a, const XYRec& b) { return a.X == b.X && a.Y == b.Y; }),
      positions_.end());
  first_.assign(positions_.size(), 0);
  if (positions_.empty()) return;
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (const XYRec& p : positions_) {
    const Box b = BoxOf(p.X, p.Y);
    x0 = std::min(x0, b.x0);
    y0 = std::min(y0, b.y0);
    x1 = std::max(x1, b.x1);
    y1 = std::max(y1, b.y1);
  }
  originX_ = x0;
  originY_ = y0;
  reach_ = {x0, y0, x1, y1};
  // A box spans at most two cells a side, and the spread fits the cell
  // numbers.
  width_ = std::max(4 * CoincidenceTolerance, std::max(x1 - x0, y1 - y0) / (1 << 30));
  if (!std::isfinite(width_)) width_ = std::numeric_limits<double>::max();
  FindFirstPoints(points);
}

// Each position's first point: the points in order, each tested against
// the boxes registered in its cell; two halves at once for long lists.
void VertexMatcher::FindFirstPoints(std::span<const PointRec> points) {
  std::vector<std::pair<uint64_t, int32_t>> cells;
  cells.reserve(positions_.size() * 2);
  for (size_t k = 0; k < positions_.size(); ++k)
    ForEachCell(BoxOf(positions_[k].X, positions_[k].Y), [&](uint64_t key) {
      cells.push_back({key, static_cast<int32_t>(k)});
    });
  std::sort(cells.begin(), cells.end());
  const CellTable table(cells);
  auto scan = [&](size_t from, size_t to, std::vector<int32_t>& first) {
    for (size_t i = from; i < to; ++i) {
      const PointRec& p = points[i];
      if (!InBox(p, reach_)) continue;  // within no box
      const auto [begin, end] = table.Range(CellKey(p.X, p.Y));
      for (uint32_t k = begin; k < end; ++k) {
        const auto id = static_cast<size_t>(cells[k].second);
        if (first[id] == 0 && InBox(p, BoxOf(positions_[id].X, positions_[id].Y)))
          first[id] = static_cast<int32_t>(i);
      }
    }
  };
  const size_t n = points.size();
  if (n < kHalvesFrom) {
    scan(1, n, first_);
    return;
  }
  std::vector<int32_t> later(positions_.size(), 0);
  RunBoth([&] { scan(n / 2, n, later); }, [&] { scan(1, n / 2, first_); });
  for (size_t k = 0; k < first_.size(); ++k)
    if (first_[k] == 0) first_[k] = later[k];
}

int32_t VertexMatcher::FirstAppended(const PointList& Points, const Box& b) const {
  int32_t best = 0;
  ForEachCell(b, [&](uint64_t key) {
    const auto it = appended_.find(key);
    if (it == appended_.end()) return;
    for (int32_t idx : it->second)
      if ((best == 0 || idx < best) && InBox(Points.Point(idx), b)) best = idx;
  });
  return best;
}

int32_t VertexMatcher::MatchOrAdd(PointList& Points, const PointRec& p) {
  const XYRec xy{p.X, p.Y};
  const auto it = std::lower_bound(positions_.begin(), positions_.end(), xy, Before);
  int32_t found = 0;
  if (it != positions_.end() && it->X == p.X && it->Y == p.Y) {
    // The list's own points come before every appended one.
    found = first_[static_cast<size_t>(it - positions_.begin())];
    if (found == 0) found = FirstAppended(Points, BoxOf(p.X, p.Y));
  } else {
    found = Points.FindPoint(p.X, p.Y, CoincidenceTolerance, 0);
  }
  if (found != 0) return found;
  Points.AddVertex(p.X, p.Y, p.Z, 0);
  const int32_t idx = Points.count();
  if (std::isfinite(p.X) && std::isfinite(p.Y)) appended_[CellKey(p.X, p.Y)].push_back(idx);
  return idx;
}

}  // namespace orvane
