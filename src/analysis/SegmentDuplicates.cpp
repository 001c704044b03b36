#include "analysis/SegmentDuplicates.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

#include "core/storage/Platform.h"
#include "core/support/Threads.h"

namespace orvane {

namespace {

// The kept records are copied out of the blocks, and the freed blocks handed
// back to the system, this many blocks at a time.
constexpr size_t kTrimEvery = 8;

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

// The records as consecutive blocks, numbered on across them. Most of the
// work reads them in order; a record by its number is found by bisection.
class Records {
 public:
  explicit Records(std::vector<std::span<const PlanSegment>> blocks) : blocks_(std::move(blocks)) {
    first_.reserve(blocks_.size() + 1);
    first_.push_back(0);
    for (const auto& b : blocks_) first_.push_back(first_.back() + b.size());
  }
  size_t size() const { return first_.back(); }
  const PlanSegment& operator[](size_t r) const {
    const size_t b =
        static_cast<size_t>(std::upper_bound(first_.begin(), first_.end(), r) - first_.begin()) - 1;
    return blocks_[b][r - first_[b]];
  }
  // visit(r, record) for every record in order.
  template <class Visit>
  void ForEach(Visit&& visit) const {
    size_t r = 0;
    for (const auto& b : blocks_)
      for (const PlanSegment& s : b) visit(r++, s);
  }

 private:
  std::vector<std::span<const PlanSegment>> blocks_;
  std::vector<size_t> first_;
};

// A dense grid over the records' ends, with about two ends of a kind (the
// starts, or the ends) per cell. A cell number is monotone in the
// coordinate (rounded subtraction and division, truncation of a positive
// quotient, clamping), so an end within a window lies in a cell between
// those of the window's ends.
class EndGrid {
 public:
  EndGrid(double xlo, double ylo, double xhi, double yhi, size_t ends) : x0_(xlo), y0_(ylo) {
    const double sx = xhi - xlo, sy = yhi - ylo;
    if (!std::isfinite(sx) || !std::isfinite(sy)) return;  // one cell
    const double cells = static_cast<double>(ends) / 2 + 16;
    w_ = std::max(16 * CoincidenceTolerance, std::sqrt(sx * sy / cells));
    while ((std::floor(sx / w_) + 1) * (std::floor(sy / w_) + 1) > 2 * cells) w_ *= 1.5;
    nx_ = static_cast<int64_t>(sx / w_) + 1;
    ny_ = static_cast<int64_t>(sy / w_) + 1;
  }

  size_t CellCount() const { return static_cast<size_t>(nx_ * ny_); }
  int64_t Rows() const { return ny_; }
  int64_t Column(double x) const { return Clamped((x - x0_) / w_, nx_); }
  int64_t Row(double y) const { return Clamped((y - y0_) / w_, ny_); }
  size_t Cell(int64_t column, int64_t row) const { return static_cast<size_t>(column * ny_ + row); }
  // The corner from which the ends of a column or row are placed.
  double Left(int64_t column) const { return x0_ + static_cast<double>(column) * w_; }
  double Bottom(int64_t row) const { return y0_ + static_cast<double>(row) * w_; }

 private:
  static int64_t Clamped(double q, int64_t n) {
    if (!(q > 0)) return 0;
    return q >= static_cast<double>(n - 1) ? n - 1 : static_cast<int64_t>(q);
  }

  double x0_, y0_, w_ = 1;
  int64_t nx_ = 1, ny_ = 1;
};

// One end of a record, filed in the cell it lies in: where in the cell (from
// the cell's corner) and the way to the record's other end, in single
// precision. A look-up then reads the neighbouring cells' files in a row
// rather than the records, which lie anywhere in the list; the files are
// walked cell by cell, so each is read once. The rounding to float is
// covered by margins: what the floats cannot settle is decided on the
// records themselves.
struct Filed {
  uint32_t record;
  float ox, oy;  // the end, from the cell's corner
  float wx, wy;  // to the other end; NaN where the float would not be finite
};

// NaN beyond the float's range, which converting would not be defined for.
float Single(double d) {
  if (!(std::abs(d) <= std::numeric_limits<float>::max())) return NAN;
  return static_cast<float>(d);
}

// The finite records' starts (or ends, reversed) filed by cell, ascending
// within a cell.
struct Files {
  std::vector<uint32_t> offsets;  // cell c's entries: [offsets[c], offsets[c + 1])
  std::vector<Filed> filed;
};

Files FileEnds(const Records& records, const EndGrid& grid, bool byEnd) {
  Files files;
  files.offsets.assign(grid.CellCount() + 1, 0);
  auto cellOf = [&](const PlanSegment& s) {
    const PointRec& p = byEnd ? s.To : s.From;
    return grid.Cell(grid.Column(p.X), grid.Row(p.Y));
  };
  records.ForEach([&](size_t, const PlanSegment& s) {
    if (Finite(s)) ++files.offsets[cellOf(s) + 1];
  });
  for (size_t c = 1; c < files.offsets.size(); ++c) files.offsets[c] += files.offsets[c - 1];
  files.filed.resize(files.offsets.back());
  std::vector<uint32_t> fill(files.offsets.begin(), files.offsets.end() - 1);
  records.ForEach([&](size_t r, const PlanSegment& s) {
    if (!Finite(s)) return;
    const PointRec& p = byEnd ? s.To : s.From;
    const PointRec& q = byEnd ? s.From : s.To;
    const int64_t i = grid.Column(p.X), j = grid.Row(p.Y);
    files.filed[fill[grid.Cell(i, j)]++] = {static_cast<uint32_t>(r), Single(p.X - grid.Left(i)),
                                            Single(p.Y - grid.Bottom(j)), Single(q.X - p.X),
                                            Single(q.Y - p.Y)};
  });
  return files;
}

// What the floats say of one coordinate's difference d, whose rounding is
// at most margin: within the tolerance for certain, beyond it for certain,
// or unsettled (NaN included).
enum class Verdict { Near, Far, Unsettled };

Verdict Judge(double d, double margin) {
  const double a = std::abs(d);
  if (a <= CoincidenceTolerance - margin) return Verdict::Near;
  if (a > CoincidenceTolerance + margin) return Verdict::Far;
  return Verdict::Unsettled;
}

// The float's rounding of v (and of the double difference it came from),
// with room to spare.
double Rounding(float v) {
  return 1.2e-7 * std::abs(static_cast<double>(v));
}

// The ways of two matching records differ by at most twice the tolerance
// in each coordinate, and their floats by their rounding on top: a
// difference beyond kWayReach * (1 + |way|) rules the pair out, with a
// wide margin to spare.
constexpr double kWayReach = 2.5e-3;

// Record b, later than record a, matches it.
struct Match {
  uint32_t a, b;
};

// Every match of a record whose query end is filed in queries' cells
// from..to-1 with a later record whose start lies near that end, the way
// from it near the query's way: queries filed by start find the direct
// matches, queries filed by end the reversed ones.
void FindMatches(const Records& records, const EndGrid& grid, const Files& starts,
                 const Files& queries, bool queriesByEnd, size_t from, size_t to,
                 std::vector<Match>& out) {
  const int64_t rows = grid.Rows();
  for (size_t c = from; c < to; ++c) {
    const int64_t ci = static_cast<int64_t>(c) / rows, cj = static_cast<int64_t>(c) % rows;
    const double left = grid.Left(ci), bottom = grid.Bottom(cj);
    for (uint32_t q = queries.offsets[c]; q < queries.offsets[c + 1]; ++q) {
      const Filed& e = queries.filed[q];
      // The window holds every start within the tolerance of the true end,
      // which the float places within its rounding.
      double ex = left + e.ox, ey = bottom + e.oy;
      double slackX = Rounding(e.ox), slackY = Rounding(e.oy);
      if (!std::isfinite(ex + slackX) || !std::isfinite(ey + slackY)) {
        // Beyond the float's range: the window comes from the record.
        const PlanSegment& s = records[e.record];
        ex = queriesByEnd ? s.To.X : s.From.X;
        ey = queriesByEnd ? s.To.Y : s.From.Y;
        slackX = slackY = 0;
      }
      const double rx = 1.1 * CoincidenceTolerance + 4e-16 * std::abs(ex) + slackX;
      const double ry = 1.1 * CoincidenceTolerance + 4e-16 * std::abs(ey) + slackY;
      const int64_t i0 = grid.Column(ex - rx), i1 = grid.Column(ex + rx);
      const int64_t j0 = grid.Row(ey - ry), j1 = grid.Row(ey + ry);
      for (int64_t i = i0; i <= i1; ++i) {
        const double dLeft = grid.Left(i) - left;
        for (int64_t j = j0; j <= j1; ++j) {
          const double dBottom = grid.Bottom(j) - bottom;
          const size_t cell = grid.Cell(i, j);
          for (uint32_t k = starts.offsets[cell]; k < starts.offsets[cell + 1]; ++k) {
            const Filed& f = starts.filed[k];
            if (f.record <= e.record) continue;
            // Ends that both lie near give ways within twice the tolerance:
            // most starts nearby lead elsewhere.
            const double dwx = static_cast<double>(f.wx) - e.wx;
            const double dwy = static_cast<double>(f.wy) - e.wy;
            if (std::abs(dwx) > kWayReach * (1 + std::abs(e.wx)) ||
                std::abs(dwy) > kWayReach * (1 + std::abs(e.wy)))
              continue;
            const double sx = dLeft + (static_cast<double>(f.ox) - e.ox);
            const double sy = dBottom + (static_cast<double>(f.oy) - e.oy);
            const double mx = Rounding(f.ox) + Rounding(e.ox) + 4e-16 * std::abs(dLeft) + 1e-12;
            const double my = Rounding(f.oy) + Rounding(e.oy) + 4e-16 * std::abs(dBottom) + 1e-12;
            const Verdict vx = Judge(sx, mx), vy = Judge(sy, my);
            if (vx == Verdict::Far || vy == Verdict::Far) continue;
            const Verdict tx = Judge(sx + dwx, mx + 2 * (Rounding(f.wx) + Rounding(e.wx)));
            const Verdict ty = Judge(sy + dwy, my + 2 * (Rounding(f.wy) + Rounding(e.wy)));
            if (tx == Verdict::Far || ty == Verdict::Far) continue;
            const bool settled = vx == Verdict::Near && vy == Verdict::Near &&
                                 tx == Verdict::Near && ty == Verdict::Near;
            if (settled || Matches(records[e.record], records[f.record]))
              out.push_back({e.record, f.record});
          }
        }
      }
    }
  }
}

// The matches by ascending a (two passes of 16 bits).
void SortByFirst(std::vector<Match>& matches) {
  std::vector<Match> other(matches.size());
  for (const int shift : {0, 16}) {
    std::vector<size_t> start(65537, 0);
    for (const Match& m : matches) ++start[((m.a >> shift) & 0xFFFF) + 1];
    for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
    for (const Match& m : matches) other[start[(m.a >> shift) & 0xFFFF]++] = m;
    matches.swap(other);
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

// The same from consecutive blocks, each freed once copied.
template <class T>
std::vector<T> KeepJoined(std::vector<std::vector<T>>& blocks,
                          const std::vector<uint8_t>& removed) {
  const auto gone = static_cast<size_t>(std::count(removed.begin(), removed.end(), 1));
  std::vector<T> kept;
  kept.reserve(removed.size() - gone);
  size_t r = 0;
  for (size_t b = 0; b < blocks.size(); ++b) {
    for (const T& item : blocks[b])
      if (!removed[r++]) kept.push_back(item);
    std::vector<T>().swap(blocks[b]);
    // Freed heap memory stays with the process until trimmed: without the
    // trims the kept list would add to the blocks instead of replacing them.
    if (b % kTrimEvery == kTrimEvery - 1) ReleaseFreedMemory();
  }
  ReleaseFreedMemory();
  return kept;
}

// Which records go, by the rule of RemoveDuplicateSegments.
std::vector<uint8_t> Removed(const Records& records) {
  const size_t n = records.size();
  std::vector<uint8_t> removed(n, 0);
  if (n < 2) return removed;

  double xlo = INFINITY, ylo = INFINITY, xhi = -INFINITY, yhi = -INFINITY;
  size_t finite = 0;
  records.ForEach([&](size_t, const PlanSegment& s) {
    if (!Finite(s)) return;
    ++finite;
    xlo = std::min({xlo, s.From.X, s.To.X});
    xhi = std::max({xhi, s.From.X, s.To.X});
    ylo = std::min({ylo, s.From.Y, s.To.Y});
    yhi = std::max({yhi, s.From.Y, s.To.Y});
  });
  if (finite < 2) return removed;
  const EndGrid grid(xlo, ylo, xhi, yhi, finite);

  // Which later records match a record depends on the records alone; only
  // which of them goes depends on what went before. The matches are found
  // cell by cell, by both halves of the cells at once, then taken in the
  // order of the records.
  Files starts, ends;
  RunBoth([&] { ends = FileEnds(records, grid, true); },
          [&] { starts = FileEnds(records, grid, false); });
  const size_t cells = grid.CellCount();
  // Halves of about as many starts.
  const auto middle = static_cast<size_t>(
      std::lower_bound(starts.offsets.begin(), starts.offsets.end(), starts.offsets.back() / 2) -
      starts.offsets.begin());
  const size_t half = std::min(middle, cells);
  std::vector<Match> first, second;
  auto find = [&](size_t from, size_t to, std::vector<Match>& out) {
    FindMatches(records, grid, starts, starts, false, from, to, out);
    FindMatches(records, grid, starts, ends, true, from, to, out);
  };
  RunBoth([&] { find(half, cells, second); }, [&] { find(0, half, first); });
  first.insert(first.end(), second.begin(), second.end());
  std::vector<Match>().swap(second);
  starts = Files();
  ends = Files();
  SortByFirst(first);
  TakeMatches(first, n, removed);
  return removed;
}

}  // namespace

void RemoveDuplicateSegments(std::vector<PlanSegment>& records, std::vector<SegmentSource>* along) {
  const std::vector<uint8_t> removed = Removed(Records({std::span<const PlanSegment>(records)}));
  Keep(records, removed);
  if (along) Keep(*along, removed);
}

std::vector<PlanSegment> RemoveDuplicateSegments(std::vector<std::vector<PlanSegment>>& blocks,
                                                 std::vector<std::vector<SegmentSource>>* along,
                                                 std::vector<SegmentSource>* alongKept) {
  std::vector<uint8_t> removed =
      Removed(Records(std::vector<std::span<const PlanSegment>>(blocks.begin(), blocks.end())));
  std::vector<PlanSegment> kept = KeepJoined(blocks, removed);
  if (along && alongKept) *alongKept = KeepJoined(*along, removed);
  return kept;
}

}  // namespace orvane
