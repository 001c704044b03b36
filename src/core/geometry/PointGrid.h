#pragma once
// A uniform grid hash over point positions: "which points lie in this box"
// without scanning the whole list. FindPoint, CheckForDuplicates and Decimate
// answer through it and must give exactly the answer of a scan in index
// order, so the grid never decides a match: it only narrows the candidates,
// and the caller applies its own exact comparison to each.
//
// Why no candidate can be missed: a point's cell on an axis is
//   clamp(floor(fl(fl(v - origin) / Width)), -2^30, 2^30)
// Every step is monotone in v (rounded subtraction and division by a positive
// constant, floor, clamp), so a point with lo <= v <= hi lies in a cell
// between cell(lo) and cell(hi), whatever the rounding. A box query visits
// exactly those cells. A strict test |fl(v - c)| < R (R a double) implies
// fl(c - R) <= v <= fl(c + R), so the same box query serves it.
//
//   cell(lo)            cell(hi)
//   |  .   |   . x |  .  x |  .    |     x = points visited by the box
//          [lo ========= hi]
//
// Each cell keeps its points in ascending index order (a chain through
// next_), so appending a larger index keeps the order and the first match in
// a cell is the cell's smallest matching index.
//
// Points with a non-finite coordinate on one of the grid's axes are not
// registered: they can never lie in a finite box nor pass a strict test.

#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "core/storage/Records.h"

namespace orvane {

class PointGrid {
 public:
  using Bounds = std::array<double, 3>;  // X, Y, Z; Z is ignored by a plan grid

  // width: cell edge in metres (> 0); use3D adds Z as a third axis;
  // expectedPoints sizes the table up front.
  PointGrid(double width, bool use3D, const PointRec& origin, size_t expectedPoints = 0);

  double Width() const { return width_; }
  bool Uses3D() const { return axes_ == 3; }

  // Registers point `index` (1-based) at p. REQUIRES: index larger than every
  // index registered before.
  void Add(int32_t index, const PointRec& p);

  // Calls visit(index) for the registered points of every cell the box
  // [lo, hi] (inclusive) covers, cell by cell, each cell's points in
  // ascending index order; visit returns false to leave the current cell.
  // Infinite bounds are clipped to the occupied cells. REQUIRES: no NaN bound.
  template <class Visit>
  void ForEachInBox(const Bounds& lo, const Bounds& hi, Visit&& visit) const;

  // The same, but only for indices above `index`, a registered point at p
  // (the greedy passes ask for later points only): its own cell is walked
  // from its successor, without a table look-up.
  template <class Visit>
  void ForEachLaterInBox(int32_t index, const PointRec& p, const Bounds& lo, const Bounds& hi,
                         Visit&& visit) const;

  // Number of cells ForEachInBox would probe for this box (after clipping).
  double CellsInBox(const Bounds& lo, const Bounds& hi) const;

 private:
  using Cell = std::array<int32_t, 3>;
  static constexpr int32_t kLimit = 1 << 30;
  struct Slot {
    Cell cell;
    int32_t head;  // first (smallest) index of the cell; 0 marks a free slot
  };

  int32_t CellOf(int axis, double v) const {
    const double c = std::floor((v - origin_[static_cast<size_t>(axis)]) / width_);
    if (!(c >= -kLimit)) return -kLimit;  // also NaN, never registered
    if (c > kLimit) return kLimit;
    return static_cast<int32_t>(c);
  }
  Cell CellOf(const PointRec& p) const {
    return {CellOf(0, p.X), CellOf(1, p.Y), axes_ == 3 ? CellOf(2, p.Z) : 0};
  }
  static uint64_t Hash(const Cell& c);
  // Most probes of a query hit empty cells; a bit per hash value, small
  // enough to stay in cache, answers those without touching the table.
  bool MayHold(uint64_t h) const {
    const uint64_t bit = h >> filterShift_;
    return (filter_[bit >> 6] >> (bit & 63)) & 1;
  }
  void Mark(uint64_t h) {
    const uint64_t bit = h >> filterShift_;
    filter_[bit >> 6] |= uint64_t{1} << (bit & 63);
  }
  // The first index of cell c (0 when the cell is empty).
  int32_t Head(const Cell& c) const {
    const uint64_t h = Hash(c);
    if (!MayHold(h)) return 0;
    const size_t mask = slots_.size() - 1;
    for (size_t s = h & mask;; s = (s + 1) & mask) {
      const Slot& slot = slots_[s];
      if (slot.head == 0) return 0;
      if (slot.cell[0] == c[0] && slot.cell[1] == c[1] && slot.cell[2] == c[2]) return slot.head;
    }
  }
  void Resize(size_t slots);
  bool Range(const Bounds& lo, const Bounds& hi, Cell& from, Cell& to) const;

  double width_;
  int axes_;
  Bounds origin_;
  std::vector<Slot> slots_;       // open addressing, power-of-two size
  std::vector<int32_t> tails_;    // per slot: last (largest) index of the cell
  std::vector<uint64_t> filter_;  // 4 bits per slot
  int filterShift_ = 64;
  std::vector<int32_t> next_;  // per point index: next index of its cell, 0 ends
  size_t used_ = 0;
  Cell minCell_{kLimit, kLimit, 0};
  Cell maxCell_{-kLimit, -kLimit, 0};
};

template <class Visit>
void PointGrid::ForEachInBox(const Bounds& lo, const Bounds& hi, Visit&& visit) const {
  Cell from{}, to{};
  if (!Range(lo, hi, from, to)) return;
  Cell c{};
  for (c[0] = from[0]; c[0] <= to[0]; ++c[0]) {
    for (c[1] = from[1]; c[1] <= to[1]; ++c[1]) {
      for (c[2] = from[2]; c[2] <= to[2]; ++c[2]) {
        for (int32_t j = Head(c); j != 0; j = next_[static_cast<size_t>(j)])
          if (!visit(j)) break;
      }
    }
  }
}

template <class Visit>
void PointGrid::ForEachLaterInBox(int32_t index, const PointRec& p, const Bounds& lo,
                                  const Bounds& hi, Visit&& visit) const {
  Cell from{}, to{};
  if (!Range(lo, hi, from, to)) return;
  const Cell own = CellOf(p);
  Cell c{};
  for (c[0] = from[0]; c[0] <= to[0]; ++c[0]) {
    for (c[1] = from[1]; c[1] <= to[1]; ++c[1]) {
      for (c[2] = from[2]; c[2] <= to[2]; ++c[2]) {
        int32_t j = c == own ? next_[static_cast<size_t>(index)] : Head(c);
        for (; j != 0; j = next_[static_cast<size_t>(j)])
          if (j > index && !visit(j)) break;
      }
    }
  }
}

// The lazily built FindPoint index of a point list. It keeps up to two grids
// (for callers that alternate between two tolerances), is extended by every
// appended point and dropped by any other edit. Copies start without one.
// Not safe for concurrent use: a const FindPoint may build it.
class PointIndexCache {
 public:
  PointIndexCache() = default;
  PointIndexCache(const PointIndexCache&) {}
  PointIndexCache& operator=(const PointIndexCache&) {
    Clear();
    return *this;
  }
  PointIndexCache(PointIndexCache&&) noexcept = default;
  PointIndexCache& operator=(PointIndexCache&&) noexcept = default;

  void Clear() {
    grids_.clear();
    indexed_ = 0;
    scans_ = 0;
  }
  // Registers the point just appended as `index` (= the new count).
  void Append(int32_t index, const PointRec& p);
  // FindPoint over points[1..] (entry 0 is slot 0): the first index whose X
  // and Y lie in [X - Tolerance, X + Tolerance] (and Z in
  // [z - Tolerance, z + Tolerance] when z != 0); 0 when none.
  int32_t FindFirst(std::span<const PointRec> points, double X, double Y, double Tolerance,
                    double z);

 private:
  struct Entry {
    PointGrid grid;
    double ideal;  // the width the tolerance asked for (the grid may be wider)
  };
  std::vector<Entry> grids_;  // most recently used first
  int32_t indexed_ = 0;       // points 1..indexed_ are registered
  int32_t scans_ = 0;         // look-ups answered by a scan since the last build or edit
};

}  // namespace orvane
