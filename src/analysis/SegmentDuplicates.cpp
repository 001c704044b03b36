#include "analysis/SegmentDuplicates.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/support/Threads.h"

namespace orvane {

namespace {

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

// How far from v a coordinate within the tolerance of it can lie, with a
// tenth of the tolerance and the rounding of v +- the reach to spare.
double Reach(double v) {
  return 1.1 * CoincidenceTolerance + 4e-16 * std::abs(v);
}

// A dense grid over the records' starts, with about two starts per cell, so
// that a look-up reads a few neighbouring cells rather than a scattered hash
// table: the records come triangle by triangle, and consecutive ones look in
// the same or nearby cells. A cell number is monotone in the coordinate
// (rounded subtraction and division, truncation of a positive quotient,
// clamping), so a start within a window lies in a cell between those of the
// window's ends.
class StartGrid {
 public:
  StartGrid(double xlo, double ylo, double xhi, double yhi, size_t starts) : x0_(xlo), y0_(ylo) {
    const double sx = xhi - xlo, sy = yhi - ylo;
    if (!std::isfinite(sx) || !std::isfinite(sy)) return;  // one cell
    const double cells = static_cast<double>(starts) / 2 + 16;
    w_ = std::max(16 * CoincidenceTolerance, std::sqrt(sx * sy / cells));
    while ((std::floor(sx / w_) + 1) * (std::floor(sy / w_) + 1) > 2 * cells) w_ *= 1.5;
    nx_ = static_cast<int64_t>(sx / w_) + 1;
    ny_ = static_cast<int64_t>(sy / w_) + 1;
  }

  size_t CellCount() const { return static_cast<size_t>(nx_ * ny_); }
  int64_t Column(double x) const { return Clamped((x - x0_) / w_, nx_); }
  int64_t Row(double y) const { return Clamped((y - y0_) / w_, ny_); }
  size_t Cell(int64_t column, int64_t row) const { return static_cast<size_t>(column * ny_ + row); }
  size_t Cell(const PointRec& p) const { return Cell(Column(p.X), Row(p.Y)); }

 private:
  static int64_t Clamped(double q, int64_t n) {
    if (!(q > 0)) return 0;
    return q >= static_cast<double>(n - 1) ? n - 1 : static_cast<int64_t>(q);
  }

  double x0_, y0_, w_ = 1;
  int64_t nx_ = 1, ny_ = 1;
};

// A record filed in the cell of its start, with the way from its start to
// its end in single precision: most records of a cell lead elsewhere, and
// that is seen here without reading the record itself, which lies anywhere
// in the list. The rounding to float is covered by a margin, so a record
// that could match is never passed over; the match itself is decided on
// the record.
struct Filed {
  uint32_t record;
  float dx, dy;  // NaN where the float would not be finite: always read
};

float Way(double d) {
  const auto f = static_cast<float>(d);
  return std::isfinite(f) ? f : NAN;
}

// Whether a record whose way is w may have its ends within the tolerance
// of two ends whose way is v: each end moves by at most the reach, the way
// by at most twice that; 1e-6 of the way covers the float's rounding.
bool MayMatch(float w, double v, double reach) {
  const double ww = static_cast<double>(w);
  return !(std::abs(ww - v) > 2 * reach + 1e-6 * (std::abs(v) + std::abs(ww)));
}

// The records filed by the cell of their start.
struct Files {
  const StartGrid& grid;
  const std::vector<uint32_t>& offsets;
  const std::vector<Filed>& filed;
};

// Record b, later than record a, matches it.
struct Match {
  uint32_t a, b;
};

// Every match of records from..to-1 with a later record, by ascending a
// (a later record may come twice).
void FindMatches(const std::vector<PlanSegment>& records, const Files& files, size_t from,
                 size_t to, std::vector<Match>& out) {
  for (size_t a = from; a < to; ++a) {
    const PlanSegment& sa = records[a];
    if (!Finite(sa)) continue;
    // A match starts near a's start (direct) or near a's end (reversed).
    for (const bool reversed : {false, true}) {
      const PointRec& end = reversed ? sa.To : sa.From;
      const PointRec& other = reversed ? sa.From : sa.To;
      const double rx = Reach(end.X), ry = Reach(end.Y);
      const double vx = other.X - end.X, vy = other.Y - end.Y;
      const double wx = Reach(other.X) + rx, wy = Reach(other.Y) + ry;
      const int64_t i0 = files.grid.Column(end.X - rx), i1 = files.grid.Column(end.X + rx);
      const int64_t j0 = files.grid.Row(end.Y - ry), j1 = files.grid.Row(end.Y + ry);
      for (int64_t i = i0; i <= i1; ++i)
        for (int64_t j = j0; j <= j1; ++j) {
          const size_t c = files.grid.Cell(i, j);
          const Filed* first = files.filed.data() + files.offsets[c];
          const Filed* last = files.filed.data() + files.offsets[c + 1];
          const Filed* p =
              std::upper_bound(first, last, static_cast<uint32_t>(a),
                               [](uint32_t value, const Filed& f) { return value < f.record; });
          for (; p != last; ++p)
            if (MayMatch(p->dx, vx, wx) && MayMatch(p->dy, vy, wy) &&
                Matches(sa, records[p->record]))
              out.push_back({static_cast<uint32_t>(a), p->record});
        }
    }
  }
}

// Taking each record a in order, the first of its matches not yet removed
// goes.
void TakeMatches(const std::vector<Match>& matches, size_t n, std::vector<uint8_t>& removed) {
  for (size_t k = 0; k < matches.size();) {
    const uint32_t a = matches[k].a;
    size_t best = n;
    for (; k < matches.size() && matches[k].a == a; ++k)
      if (!removed[matches[k].b] && matches[k].b < best) best = matches[k].b;
    if (best < n) removed[best] = 1;
  }
}

// The items not removed, in their order, in a list of their exact size:
// copied once into it rather than moved down and copied again to shrink.
template <class T>
void Keep(std::vector<T>& items, const std::vector<uint8_t>& removed) {
  const auto gone = static_cast<size_t>(std::count(removed.begin(), removed.end(), 1));
  if (gone == 0) return;
  std::vector<T> kept;
  kept.reserve(items.size() - gone);
  for (size_t r = 0; r < items.size(); ++r)
    if (!removed[r]) kept.push_back(items[r]);
  items.swap(kept);
}

}  // namespace

void RemoveDuplicateSegments(std::vector<PlanSegment>& records, std::vector<SegmentSource>* along) {
  const size_t n = records.size();
  if (n < 2) return;

  double xlo = INFINITY, ylo = INFINITY, xhi = -INFINITY, yhi = -INFINITY;
  size_t finite = 0;
  for (const PlanSegment& s : records) {
    if (!Finite(s)) continue;
    ++finite;
    xlo = std::min(xlo, s.From.X);
    xhi = std::max(xhi, s.From.X);
    ylo = std::min(ylo, s.From.Y);
    yhi = std::max(yhi, s.From.Y);
  }
  if (finite < 2) return;
  const StartGrid grid(xlo, ylo, xhi, yhi, finite);

  // Records filed by the cell of their start, ascending within a cell.
  std::vector<uint32_t> offsets(grid.CellCount() + 1, 0);
  for (const PlanSegment& s : records)
    if (Finite(s)) ++offsets[grid.Cell(s.From) + 1];
  for (size_t c = 1; c < offsets.size(); ++c) offsets[c] += offsets[c - 1];
  std::vector<Filed> filed(offsets.back());
  {
    std::vector<uint32_t> fill(offsets.begin(), offsets.end() - 1);
    for (size_t r = 0; r < n; ++r) {
      const PlanSegment& s = records[r];
      if (Finite(s))
        filed[fill[grid.Cell(s.From)]++] = {static_cast<uint32_t>(r), Way(s.To.X - s.From.X),
                                            Way(s.To.Y - s.From.Y)};
    }
  }

  // Which later records match a record depends on the records alone; only
  // which of them goes depends on what went before. The matches are found
  // by both halves at once, then taken in the order of the records.
  const Files files{grid, offsets, filed};
  std::vector<Match> first, second;
  const size_t half = n / 2;
  RunBoth([&] { FindMatches(records, files, half, n, second); },
          [&] { FindMatches(records, files, 0, half, first); });
  std::vector<uint8_t> removed(n, 0);
  TakeMatches(first, n, removed);
  TakeMatches(second, n, removed);

  Keep(records, removed);
  if (along) Keep(*along, removed);
}

}  // namespace orvane
