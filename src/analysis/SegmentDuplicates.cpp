#include "analysis/SegmentDuplicates.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/CellHash.h"

namespace orvane {

namespace {

// Cells four times as wide as the match tolerance: the starts that can match
// a point mostly lie in its own cell, at most in two per axis.
constexpr double kCell = 4 * CoincidenceTolerance;
// More cells per axis than this (only at coordinates beyond 1e12, where the
// search window's own rounding grows) and the later records are scanned.
constexpr int64_t kMaxCellsPerAxis = 8;

bool Near(const PointRec& p, const PointRec& q) {
  return std::abs(p.X - q.X) <= CoincidenceTolerance && std::abs(p.Y - q.Y) <= CoincidenceTolerance;
}

bool Matches(const PlanSegment& a, const PlanSegment& b) {
  return (Near(b.From, a.From) && Near(b.To, a.To)) || (Near(b.From, a.To) && Near(b.To, a.From));
}

// A record with a NaN or infinite plan coordinate matches nothing: every
// difference it takes part in is NaN or infinite.
bool Finite(const PlanSegment& s) {
  return std::isfinite(s.From.X) && std::isfinite(s.From.Y) && std::isfinite(s.To.X) &&
         std::isfinite(s.To.Y);
}

// Cells whose starts may lie within the tolerance of v: the window is
// widened by a tenth of the tolerance plus the rounding of v +- the window.
void Window(double v, int64_t& lo, int64_t& hi) {
  const double reach = 1.1 * CoincidenceTolerance + 4e-16 * std::abs(v);
  lo = CellCoordinate(v - reach, kCell);
  hi = CellCoordinate(v + reach, kCell);
}

}  // namespace

void RemoveDuplicateSegments(std::vector<PlanSegment>& records) {
  const size_t n = records.size();
  if (n < 2) return;

  // Records filed by the cell of their start, ascending within a cell.
  CellHash cells;
  std::vector<uint32_t> cellOf(n, CellHash::kMissing);
  std::vector<uint32_t> counts;
  for (size_t r = 0; r < n; ++r) {
    if (!Finite(records[r])) continue;
    const uint32_t id = cells.Insert(0, CellCoordinate(records[r].From.X, kCell),
                                     CellCoordinate(records[r].From.Y, kCell));
    cellOf[r] = id;
    if (id >= counts.size()) counts.resize(id + 1, 0);
    ++counts[id];
  }
  std::vector<uint32_t> offsets(counts.size() + 1, 0);
  for (size_t c = 0; c < counts.size(); ++c) offsets[c + 1] = offsets[c] + counts[c];
  counts.clear();
  counts.shrink_to_fit();
  std::vector<uint32_t> filed(offsets.back());
  {
    std::vector<uint32_t> fill(offsets.begin(), offsets.end() - 1);
    for (size_t r = 0; r < n; ++r)
      if (cellOf[r] != CellHash::kMissing) filed[fill[cellOf[r]]++] = static_cast<uint32_t>(r);
  }
  cellOf.clear();
  cellOf.shrink_to_fit();

  std::vector<uint8_t> removed(n, 0);
  for (size_t a = 0; a < n; ++a) {
    const PlanSegment& sa = records[a];
    if (!Finite(sa)) continue;
    size_t best = n;
    auto consider = [&](size_t b) {
      if (b > a && b < best && !removed[b] && Matches(sa, records[b])) best = b;
    };
    // A match starts near a's start (direct) or near a's end (reversed).
    for (const PointRec* end : {&sa.From, &sa.To}) {
      int64_t i0, i1, j0, j1;
      Window(end->X, i0, i1);
      Window(end->Y, j0, j1);
      if (i1 - i0 >= kMaxCellsPerAxis || j1 - j0 >= kMaxCellsPerAxis) {
        for (size_t b = a + 1; b < best; ++b) consider(b);
        continue;
      }
      for (int64_t i = i0; i <= i1; ++i)
        for (int64_t j = j0; j <= j1; ++j) {
          const uint32_t id = cells.Find(0, i, j);
          if (id == CellHash::kMissing) continue;
          const uint32_t* first = filed.data() + offsets[id];
          const uint32_t* last = filed.data() + offsets[id + 1];
          for (const uint32_t* p = std::upper_bound(first, last, static_cast<uint32_t>(a));
               p != last && *p < best; ++p)
            consider(*p);
        }
    }
    if (best < n) removed[best] = 1;
  }

  size_t kept = 0;
  for (size_t r = 0; r < n; ++r)
    if (!removed[r]) records[kept++] = records[r];
  records.resize(kept);
}

}  // namespace orvane
