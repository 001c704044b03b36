#include "core/geometry/PointGrid.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "core/geometry/HashMix.h"

namespace orvane {

namespace {

bool FiniteOn(const PointRec& p, bool use3D) {
  return std::isfinite(p.X) && std::isfinite(p.Y) && (!use3D || std::isfinite(p.Z));
}

}  // namespace

PointGrid::PointGrid(double width, bool use3D, const PointRec& origin, size_t expectedPoints)
    : width_(width), axes_(use3D ? 3 : 2), origin_{origin.X, origin.Y, origin.Z} {
  if (use3D) {
    minCell_[2] = kLimit;
    maxCell_[2] = -kLimit;
  }
  size_t size = 64;
  while (size < 2 * expectedPoints) size *= 2;
  Resize(size);
  next_.reserve(expectedPoints + 1);
}

uint64_t PointGrid::Hash(const Cell& c) {
  const uint64_t xy =
      (static_cast<uint64_t>(static_cast<uint32_t>(c[0])) << 32) | static_cast<uint32_t>(c[1]);
  return HashMix(xy ^ HashMix(static_cast<uint32_t>(c[2]) + 0x9E3779B97F4A7C15ULL));
}

void PointGrid::Resize(size_t size) {
  std::vector<Slot> old = std::move(slots_);
  std::vector<int32_t> oldTails = std::move(tails_);
  slots_.assign(size, Slot{{0, 0, 0}, 0});
  tails_.assign(size, 0);
  // 4 bits per slot: size is a power of two >= 64, so 4 * size bits are
  // addressed by the top log2(4 * size) bits of the hash.
  filter_.assign(size / 16, 0);
  filterShift_ = 64 - std::countr_zero(4 * size);
  const size_t mask = size - 1;
  for (size_t o = 0; o < old.size(); ++o) {
    if (old[o].head == 0) continue;
    const uint64_t h = Hash(old[o].cell);
    size_t s = h & mask;
    while (slots_[s].head != 0) s = (s + 1) & mask;
    slots_[s] = old[o];
    tails_[s] = oldTails[o];
    Mark(h);
  }
}

void PointGrid::Add(int32_t index, const PointRec& p) {
  if (index <= 0) return;
  if (!FiniteOn(p, axes_ == 3)) return;
  if (static_cast<size_t>(index) >= next_.size())
    next_.resize(std::max(static_cast<size_t>(index) + 1, next_.size() * 3 / 2), 0);

  const Cell c = CellOf(p);
  for (size_t a = 0; a < static_cast<size_t>(axes_); ++a) {
    minCell_[a] = std::min(minCell_[a], c[a]);
    maxCell_[a] = std::max(maxCell_[a], c[a]);
  }

  const uint64_t h = Hash(c);
  const size_t mask = slots_.size() - 1;
  size_t s = h & mask;
  while (slots_[s].head != 0 &&
         (slots_[s].cell[0] != c[0] || slots_[s].cell[1] != c[1] || slots_[s].cell[2] != c[2]))
    s = (s + 1) & mask;
  if (slots_[s].head != 0) {
    next_[static_cast<size_t>(tails_[s])] = index;
    tails_[s] = index;
    return;
  }
  slots_[s] = Slot{c, index};
  tails_[s] = index;
  Mark(h);
  if (++used_ * 2 > slots_.size()) Resize(slots_.size() * 2);
}

bool PointGrid::Range(const Bounds& lo, const Bounds& hi, Cell& from, Cell& to) const {
  from = {0, 0, 0};
  to = {0, 0, 0};
  for (int a = 0; a < axes_; ++a) {
    const size_t k = static_cast<size_t>(a);
    from[k] = std::max(CellOf(a, lo[k]), minCell_[k]);
    to[k] = std::min(CellOf(a, hi[k]), maxCell_[k]);
    if (from[k] > to[k]) return false;
  }
  return true;
}

double PointGrid::CellsInBox(const Bounds& lo, const Bounds& hi) const {
  Cell from{}, to{};
  if (!Range(lo, hi, from, to)) return 0;
  double cells = 1;
  for (size_t k = 0; k < 3; ++k) cells *= static_cast<double>(to[k]) - from[k] + 1;
  return cells;
}

// ---------------------------------------------------------------------------

namespace {

// Lists shorter than this are scanned: a grid would not pay for itself.
constexpr int32_t kMinIndexed = 24;
// Building a grid costs about as much as this many scans, so a list that is
// edited between look-ups is scanned until it has been asked this often.
constexpr int32_t kScansBeforeIndex = 32;
// Cells narrower than this (metres) buy nothing for tolerances near zero.
constexpr double kMinWidth = 0.004;
// A grid built for one tolerance serves another whose ideal width is up to
// kFinerFactor times larger than the grid's (the box then still spans at most
// about 3 cells per axis) or up to kCoarserFactor times smaller (cells then
// hold a few more points).
constexpr double kFinerFactor = 4;
constexpr double kCoarserFactor = 16;
// Wider cells would turn (v - origin) / width into inf / inf.
constexpr double kMaxWidth = 1e300;

double IdealWidth(double Tolerance) {
  return std::max(4 * Tolerance, kMinWidth);
}

bool InBox(const PointRec& p, const PointGrid::Bounds& lo, const PointGrid::Bounds& hi,
           bool withZ) {
  return p.X >= lo[0] && p.X <= hi[0] && p.Y >= lo[1] && p.Y <= hi[1] &&
         (!withZ || (p.Z >= lo[2] && p.Z <= hi[2]));
}

}  // namespace

void PointIndexCache::Append(int32_t index, const PointRec& p) {
  if (grids_.empty()) return;
  if (index != indexed_ + 1) {
    Clear();
    return;
  }
  for (Entry& e : grids_) e.grid.Add(index, p);
  indexed_ = index;
}

int32_t PointIndexCache::FindFirst(std::span<const PointRec> points, double X, double Y,
                                   double Tolerance, double z) {
  const int32_t n = static_cast<int32_t>(points.size()) - 1;
  const bool withZ = z != 0;
  // The box exactly as the scan compares: inclusive, bounds rounded once.
  const PointGrid::Bounds lo{X - Tolerance, Y - Tolerance, z - Tolerance};
  const PointGrid::Bounds hi{X + Tolerance, Y + Tolerance, z + Tolerance};

  const auto scan = [&]() -> int32_t {
    for (int32_t i = 1; i <= n; ++i)
      if (InBox(points[static_cast<size_t>(i)], lo, hi, withZ)) return i;
    return 0;
  };
  // Non-finite bounds can match non-finite coordinates, which the grid does
  // not hold; a NaN bound matches nothing and the scan says so.
  if (n < kMinIndexed || !std::isfinite(lo[0]) || !std::isfinite(lo[1]) || !std::isfinite(hi[0]) ||
      !std::isfinite(hi[1]))
    return scan();
  if (!(lo[0] <= hi[0]) || !(lo[1] <= hi[1])) return 0;  // negative tolerance

  if (!grids_.empty() && indexed_ != n) Clear();  // the list changed behind the cache's back
  const double ideal = IdealWidth(Tolerance);
  // A grid built for a tolerance within a factor of this one serves it:
  // at most about 3 cells per axis, and cells not much coarser than needed.
  size_t pick = grids_.size();
  for (size_t g = 0; g < grids_.size(); ++g) {
    const double built = grids_[g].ideal;
    if (ideal <= built * kFinerFactor && built <= ideal * kCoarserFactor) {
      pick = g;
      break;
    }
  }
  if (pick == grids_.size()) {
    if (++scans_ < kScansBeforeIndex) return scan();
    // Origin at the low corner, width wide enough that the list's spread fits
    // the cell numbers without clamping.
    PointRec origin{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), 0, 0};
    double xmax = -std::numeric_limits<double>::max(), ymax = xmax;
    for (int32_t i = 1; i <= n; ++i) {
      const PointRec& p = points[static_cast<size_t>(i)];
      if (!std::isfinite(p.X) || !std::isfinite(p.Y)) continue;
      origin.X = std::min(origin.X, p.X);
      origin.Y = std::min(origin.Y, p.Y);
      xmax = std::max(xmax, p.X);
      ymax = std::max(ymax, p.Y);
    }
    if (origin.X > xmax) origin = PointRec{X, Y, 0, 0};
    const double spread = std::max(xmax - origin.X, ymax - origin.Y);
    double width = ideal;
    if (std::isfinite(spread)) width = std::max(width, spread / (1 << 28));
    PointGrid grid(std::min(width, kMaxWidth), false, origin, static_cast<size_t>(n));
    for (int32_t i = 1; i <= n; ++i) grid.Add(i, points[static_cast<size_t>(i)]);
    if (grids_.size() >= 2) grids_.pop_back();
    grids_.insert(grids_.begin(), Entry{std::move(grid), ideal});
    indexed_ = n;
    scans_ = 0;
    pick = 0;
  } else if (pick != 0) {
    std::swap(grids_[0], grids_[pick]);
    pick = 0;
  }

  const PointGrid& grid = grids_[pick].grid;
  if (grid.CellsInBox(lo, hi) > 4.0 * n + 16) return scan();  // spread too wide to index
  int32_t best = std::numeric_limits<int32_t>::max();
  grid.ForEachInBox(lo, hi, [&](int32_t j) {
    if (j >= best) return false;
    if (InBox(points[static_cast<size_t>(j)], lo, hi, withZ)) {
      best = j;
      return false;
    }
    return true;
  });
  return best == std::numeric_limits<int32_t>::max() ? 0 : best;
}

}  // namespace orvane
