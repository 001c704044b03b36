#include "triangulation/Triangulator.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <thread>
#include <utility>

#include "core/geometry/Kernels.h"
#include "core/geometry/RadixSort.h"
#include "core/storage/Platform.h"
#include "core/support/Feedback.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"
#include "triangulation/CentroidBuckets.h"
#include "triangulation/HilbertCurve.h"
#include "triangulation/RecentPositions.h"
#include "triangulation/RingLocator.h"
#include "triangulation/SortByX.h"
#include "triangulation/VertexMatcher.h"
#include "triangulation/WorkTriangulation.h"

namespace orvane {

namespace {

constexpr int32_t kBoundaryModel = 1100;
constexpr int32_t kAreaModel = 1200;
constexpr int32_t kBreaklineModel = 1300;

// Lists shorter than this are not worth a second thread.
constexpr int32_t kHalvesFrom = 1 << 16;

// Reports percentages to the build's feedback, but only when the figure
// changes: a million points cost a hundred events, not a million.
class Progress {
 public:
  Progress(int64_t total, Feedback& feedback) : total_(total), feedback_(feedback) {}
  // Called at every step of the hot loops: a step within the run of steps
  // known to give the last percentage costs a comparison.
  void At(int64_t i) {
    if (i >= from_ && i < to_) return;
    const int32_t pct = PercentOf(i, total_);
    // The percentage never falls as i grows, so the steps giving this one
    // run from i to the first that gives more, found by halving.
    from_ = i;
    to_ = INT64_MAX;
    if (i < total_ && PercentOf(total_, total_) > pct) {
      int64_t lo = i, hi = total_;  // PercentOf(lo) == pct < PercentOf(hi)
      while (hi - lo > 1) {
        const int64_t mid = lo + (hi - lo) / 2;
        (PercentOf(mid, total_) > pct ? hi : lo) = mid;
      }
      to_ = hi;
    }
    if (pct == last_) return;
    last_ = pct;
    feedback_.Progress(pct, false);
  }

 private:
  int64_t total_;
  Feedback& feedback_;
  int32_t last_ = -1;
  int64_t from_ = 0, to_ = 0;  // steps from_..to_-1 give last_
};

// The ring of consecutive segment pairs as the constraint list holds it,
// closed by overwriting its last entry with its first: v1, v2, v2, ...,
// v(m-1), v(m-1), v1.
std::vector<XYRec> PairedRing(const std::vector<PointRec>& all, const std::vector<int32_t>& idx) {
  std::vector<XYRec> ring;
  const size_t m = idx.size();
  if (m < 2) return ring;
  auto xy = [&](int32_t i) {
    return XYRec{all[static_cast<size_t>(i)].X, all[static_cast<size_t>(i)].Y};
  };
  ring.push_back(xy(idx[0]));
  for (size_t k = 1; k + 1 < m; ++k) {
    ring.push_back(xy(idx[k]));
    ring.push_back(xy(idx[k]));
  }
  ring.push_back(xy(idx[0]));
  return ring;
}

// For each of the first n points (sorted by X), the first point in that
// order with exactly the same X and Y.
// Two halves at once for long lists, split between runs of equal X.
std::vector<int32_t> FirstOfEqualPositions(const std::vector<PointRec>& pts, int32_t n) {
  std::vector<int32_t> first(static_cast<size_t>(n));
  auto runs = [&](int32_t from, int32_t to) {
    std::vector<std::pair<double, int32_t>> run;
    // Whether the Y values of points i..j-1 all differ, as in a grid's
    // columns: then each point is its own first and the run needs no sort.
    // Found with a hash of the values' bits (0 and -0 as one); a NaN counts
    // as a possible repeat, which the sort then settles.
    constexpr uint64_t kEmpty = ~uint64_t{0};  // a NaN's bits: no value's here
    std::vector<uint64_t> seen;
    auto distinctY = [&](int32_t i, int32_t j) {
      const size_t size = std::bit_ceil(2 * static_cast<size_t>(j - i));
      const int shift = 64 - std::countr_zero(size);
      seen.assign(size, kEmpty);
      for (int32_t k = i; k < j; ++k) {
        const double y = pts[static_cast<size_t>(k)].Y;
        if (std::isnan(y)) return false;
        const uint64_t bits = std::bit_cast<uint64_t>(y == 0 ? 0.0 : y);
        size_t h = shift == 64 ? 0 : static_cast<size_t>((bits * 0x9E3779B97F4A7C15ull) >> shift);
        for (; seen[h] != kEmpty; h = (h + 1) & (size - 1))
          if (seen[h] == bits) return false;
        seen[h] = bits;
      }
      return true;
    };
    for (int32_t i = from; i < to;) {
      int32_t j = i + 1;
      while (j < to && pts[static_cast<size_t>(j)].X == pts[static_cast<size_t>(i)].X) ++j;
      if (j - i == 1 || distinctY(i, j)) {
        for (int32_t k = i; k < j; ++k) first[static_cast<size_t>(k)] = k;
      } else {
        run.clear();
        for (int32_t k = i; k < j; ++k) run.push_back({pts[static_cast<size_t>(k)].Y, k});
        std::sort(run.begin(), run.end());
        for (size_t k = 0; k < run.size(); ++k)
          first[static_cast<size_t>(run[k].second)] =
              k > 0 && run[k].first == run[k - 1].first
                  ? first[static_cast<size_t>(run[k - 1].second)]
                  : run[k].second;
      }
      i = j;
    }
  };
  int32_t mid = n / 2;
  while (mid > 0 && mid < n &&
         pts[static_cast<size_t>(mid)].X == pts[static_cast<size_t>(mid) - 1].X)
    ++mid;
  if (n < kHalvesFrom || mid >= n)
    runs(0, n);
  else
    RunBoth([&] { runs(mid, n); }, [&] { runs(0, mid); });
  return first;
}

// From this many points on, the insertion goes in rounds (InsertionOrder).
// Fewer go in along the curve alone, which the split's four-point parts
// reproduce (analysis/SplitParts.cpp).
constexpr size_t kRoundsFrom = 4096;

// The round of the point of X rank i: the last (7) for seven points in
// eight, the one before for seven in 64, and so on, by a fixed hash of the
// rank, so that the rounds are a sample that looks random and is the same
// on every run and with any number of threads.
uint64_t RoundOf(size_t i) {
  uint64_t h = (i + 1) * 0x9E3779B97F4A7C15ull;
  h = (h ^ (h >> 31)) * 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  uint64_t earlier = 0;
  while (earlier < 7 && (h & 7) == 0) {
    ++earlier;
    h >>= 3;
  }
  return 7 - earlier;
}

// The points to insert (each first of its position) in insertion order:
// along a Hilbert curve, where each point lies next to the one before, in
// rounds of growing size from a sparse sample of the whole area to the
// seven eighths of the points that fill it in; ties in X order. Along the
// curve alone, the triangulation would grow from one corner, with the
// triangles along its straight sides reaching out to the enclosing
// triangle's far corners: their circles are nearly the sides' lines, and a
// point just beyond a side lies within those of the triangles all along it
// (a gridded survey, with its rows and columns of points, makes such sides
// everywhere: one point in eight then emptied a cavity of 16 to several
// hundred triangles). After the sample, the points land inside the hull.
std::vector<int32_t> InsertionOrder(const std::vector<PointRec>& pts,
                                    const std::vector<int32_t>& first, size_t& lastRound) {
  const size_t n = first.size();
  const bool rounds = n >= kRoundsFrom;
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  for (size_t i = 0; i < n; ++i) {
    x0 = std::min(x0, pts[i].X);
    x1 = std::max(x1, pts[i].X);
    y0 = std::min(y0, pts[i].Y);
    y1 = std::max(y1, pts[i].Y);
  }
  const double span = std::max({x1 - x0, y1 - y0, 1e-300});
  const double scale = 65535.0 / span;
  auto cell = [&](double v, double lo) {
    const double c = std::floor((v - lo) * scale);
    return static_cast<uint32_t>(std::clamp(c, 0.0, 65535.0));
  };
  // Ties in X order: the radix sort is stable and the points come in X order
  // (large lists keyed in two halves at once, joined in order).
  auto key = [&](size_t from, size_t to, std::vector<uint64_t>& keys, std::vector<int32_t>& order) {
    keys.reserve(to - from);
    order.reserve(to - from);
    for (size_t i = from; i < to; ++i) {
      if (first[i] != static_cast<int32_t>(i)) continue;
      const uint64_t round = rounds ? RoundOf(i) : 0;
      keys.push_back(round << 32 | HilbertIndex(cell(pts[i].X, x0), cell(pts[i].Y, y0)));
      order.push_back(static_cast<int32_t>(i));
    }
  };
  std::vector<uint64_t> keys, keys2;
  std::vector<int32_t> order, order2;
  if (n < static_cast<size_t>(kHalvesFrom)) {
    key(0, n, keys, order);
  } else {
    keys.reserve(n);
    order.reserve(n);
    RunBoth([&] { key(n / 2, n, keys2, order2); }, [&] { key(0, n / 2, keys, order); });
    keys.insert(keys.end(), keys2.begin(), keys2.end());
    order.insert(order.end(), order2.begin(), order2.end());
  }
  std::vector<uint64_t>().swap(keys2);
  std::vector<int32_t>().swap(order2);
  RadixSort(keys, order);
  // Where the last round starts (the end without rounds).
  lastRound =
      rounds ? static_cast<size_t>(std::lower_bound(keys.begin(), keys.end(), uint64_t{7} << 32) -
                                   keys.begin())
             : order.size();
  return order;
}

// Orders the triangles (corners numbered 1..points, each given from its
// lowest corner) by their corners, first to last: a counting sort in one
// pass by the lowest corner taken in runs of consecutive points (4,096 runs
// at most), then each run, a few hundred triangles, sorted. The order
// depends on the triangles alone, not on the slots they were found in.
// Large lists are counted, placed and sorted in two halves at once.
void SortWestToEast(std::vector<std::array<int32_t, 3>>& triples, int32_t points) {
  const int coarse =
      std::max(0, static_cast<int>(std::bit_width(static_cast<uint32_t>(points) + 1)) - 12);
  const size_t runs = (static_cast<size_t>(points) >> coarse) + 1, m = triples.size();
  const auto run = [&](const std::array<int32_t, 3>& t) {
    return static_cast<size_t>(std::min({t[0], t[1], t[2]})) >> coarse;
  };
  const size_t parts = m >= static_cast<size_t>(kHalvesFrom) && TwoThreads() ? 2 : 1;
  const size_t half = parts == 2 ? m / 2 : m;
  std::vector<std::vector<size_t>> at(parts, std::vector<size_t>(runs, 0));
  auto bothParts = [&](auto&& work) {
    if (parts == 2)
      RunBoth([&] { work(1, half, m); }, [&] { work(0, 0, half); });
    else
      work(0, 0, m);
  };
  bothParts([&](size_t part, size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) ++at[part][run(triples[k])];
  });
  size_t sum = 0;
  for (size_t r = 0; r < runs; ++r)
    for (size_t part = 0; part < parts; ++part) sum += std::exchange(at[part][r], sum);
  std::vector<std::array<int32_t, 3>> sorted(m);
  bothParts([&](size_t part, size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) sorted[at[part][run(triples[k])]++] = triples[k];
  });
  triples.swap(sorted);
  // Within a run, by the lowest corner (a counting sort over the run's
  // points), then the few triangles of one lowest corner by the others:
  // at[parts - 1][r] is now where run r ends.
  const std::vector<size_t>& ends = at[parts - 1];
  auto sortRuns = [&](size_t firstRun, size_t lastRun) {
    const size_t width = size_t{1} << coarse;
    std::vector<uint32_t> count(width + 1);
    std::vector<std::array<int32_t, 3>> run;
    size_t from = firstRun == 0 ? 0 : ends[firstRun - 1];
    for (size_t r = firstRun; r < lastRun; from = ends[r], ++r) {
      const auto part = std::span(triples).subspan(from, ends[r] - from);
      if (part.size() < 2) continue;
      const size_t low = r << coarse;  // the run's first point
      std::fill(count.begin(), count.end(), 0);
      for (const auto& t : part) ++count[static_cast<size_t>(t[0]) - low + 1];
      for (size_t k = 1; k <= width; ++k) count[k] += count[k - 1];
      run.resize(part.size());
      for (const auto& t : part) run[count[static_cast<size_t>(t[0]) - low]++] = t;
      // count[k] is now where the triangles of point low + k end.
      size_t begin = 0;
      for (size_t k = 0; k < width && begin < run.size(); ++k) {
        const size_t end = count[k];
        for (size_t i = begin + 1; i < end; ++i)
          for (size_t j = i; j > begin && run[j] < run[j - 1]; --j) std::swap(run[j], run[j - 1]);
        begin = end;
      }
      std::copy(run.begin(), run.end(), part.begin());
    }
  };
  if (parts == 2)
    RunBoth([&] { sortRuns(runs / 2, runs); }, [&] { sortRuns(0, runs / 2); });
  else
    sortRuns(0, runs);
}

// How many steps of a fast loop (a triangle tested or saved) go between two
// looks at the cancel: a few microseconds of work, so a cancel is felt
// at once, and the look itself costs nothing measurable.
constexpr size_t kCancelStride = 1024;

// Builds of fewer work points free a few megabytes at most.
constexpr int32_t kReleaseFromPoints = 50000;

class PhaseClock {
 public:
  PhaseClock(std::vector<Triangulator::PhaseTime>& out, Feedback& feedback)
      : out_(out), feedback_(feedback) {}
  void Enter(const char* code) {
    Close();
    feedback_.Phase(code);
    code_ = code;
    start_ = std::chrono::steady_clock::now();
  }
  void Close() {
    if (!code_) return;
    out_.push_back(
        {code_, std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count()});
    code_ = nullptr;
  }

 private:
  std::vector<Triangulator::PhaseTime>& out_;
  Feedback& feedback_;
  const char* code_ = nullptr;
  std::chrono::steady_clock::time_point start_;
};

// What one build carries from phase to phase. The working vertices are
// numbered three ways: X rank (the order of SortByX, which is also the
// mesh's point order), working vertex (insertion order, as tri holds them)
// and the caller's AllPoints index.
struct Build {
  Build(int32_t& code, std::vector<Triangulator::PhaseTime>& times, Feedback& feedback)
      : code(code), feedback(feedback), phase(times, feedback) {}

  // Every phase asks the feedback as it goes; a cancel in any of them ends
  // the build as one during insertion does: nothing returned, no further
  // phase or progress reported.
  bool Cancelled() {
    if (!feedback.Cancelled()) return false;
    code = Triangulator::Cancelled;
    return true;
  }

  // Inserts working vertex k; one that took another's vertex (or could not
  // be located) says so in vertexOf.
  void Insert(int32_t k) {
    const int32_t v = tri.Insert(k);
    if (v == k) return;
    const std::vector<int32_t>& xOf = tri.WorkRanks();
    vertexOf[static_cast<size_t>(xOf[static_cast<size_t>(k)])] =
        v < 0 ? -1 : xOf[static_cast<size_t>(v)];
  }

  int32_t& code;  // the triangulator's LastErrorCode
  Feedback& feedback;
  PhaseClock phase;
  int32_t n = 0;            // work points
  bool northSouth = false;  // whether they spread further north-south than east-west
  WorkTriangulation tri;
  std::vector<int32_t> workOfAll;  // AllPoints index -> X rank, -1 for none
  std::vector<int32_t> vertexOf;   // X rank -> X rank of the vertex standing for it, -1 none
  std::vector<int32_t> posOf;      // X rank -> working vertex
  int32_t inserted = 0;            // working vertices 0..inserted-1 are inserted
  size_t lastRound = 0;            // the first of them in the last round
  std::vector<XYRec> hullRing;     // the rings to clip by (PairedRing)
  std::vector<std::vector<XYRec>> areaRings;
  TriangleMesh mesh;
};

// Room for the points made where constraints cross, beyond the work points:
// few in practice (a few hundred among the 11 million segments of a cut and
// fill of million-point surfaces), and the lists grow past it if need be.
size_t CrossingRoom(size_t segments) {
  return segments / 64 + 64;
}

// The work points into tri.pts in the order of SortByX (sorting positions
// 0..n-1 picks the same pivots as positions 1..n), followed by room for the
// enclosing triangle (and reserved room for crossings); small keys are
// sorted, then gathered.
bool LoadInXOrder(Build& b, std::span<const int32_t> workIndex,
                  const std::vector<PointRec>& allPoints, size_t crossingRoom) {
  const int32_t n = b.n;
  b.tri.pts.reserve(static_cast<size_t>(n) + 3 + crossingRoom);
  b.tri.pts.resize(static_cast<size_t>(n) + 3);
  b.workOfAll.assign(allPoints.size(), -1);
  std::vector<XKey> keys(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) {
    const int32_t all = workIndex[static_cast<size_t>(k)];
    keys[static_cast<size_t>(k)] = {allPoints[static_cast<size_t>(all)].X, all};
  }
  SortByX(keys, 0, n - 1);
  if (b.Cancelled()) return false;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t all = keys[static_cast<size_t>(k)].index;
    b.tri.pts[static_cast<size_t>(k)] = allPoints[static_cast<size_t>(all)];
    b.workOfAll[static_cast<size_t>(all)] = k;
  }
  return true;
}

// The enclosing triangle, 20 times the larger extent around the middle,
// after the n work points.
void EncloseWorkPoints(WorkTriangulation& tri, int32_t n, const ExtentsRec& extents) {
  const double dx = extents.Max.X - extents.Min.X, dy = extents.Max.Y - extents.Min.Y;
  const double dmax = dx > dy ? dx : dy;
  const double xmid = (extents.Max.X + extents.Min.X) / 2,
               ymid = (extents.Max.Y + extents.Min.Y) / 2;
  tri.pts[static_cast<size_t>(n)] = {xmid - 20 * dmax, ymid - 20 * dmax, 0, 0};
  tri.pts[static_cast<size_t>(n) + 1] = {xmid, ymid + 20 * dmax, 0, 0};
  tri.pts[static_cast<size_t>(n) + 2] = {xmid + 20 * dmax, ymid - 20 * dmax, 0, 0};
  tri.Start(n, n + 1, n + 2);
}

// The working points (X ranks 0..n-1) renumbered in the order given, so
// that neighbours in the plane are neighbours in memory. Gathered into a
// fresh list rather than permuted in place: the loads are then independent
// of each other (a cycle-by-cycle permutation waits for every miss in turn),
// for a moment's copy of the points.
void RenumberWorkPoints(Build& b, std::vector<int32_t> order) {
  const int32_t n = b.n;
  b.tri.SetWorkCount(n, std::move(order));
  const std::vector<int32_t>& xOf = b.tri.WorkRanks();
  b.posOf.resize(static_cast<size_t>(n));
  for (int32_t v = 0; v < n; ++v) b.posOf[static_cast<size_t>(xOf[static_cast<size_t>(v)])] = v;
  std::vector<PointRec> byRank;
  byRank.reserve(b.tri.pts.capacity());
  byRank.resize(static_cast<size_t>(n) + 3);
  auto gather = [&](int32_t from, int32_t to) {
    for (int32_t v = from; v < to; ++v)
      byRank[static_cast<size_t>(v)] = b.tri.pts[static_cast<size_t>(xOf[static_cast<size_t>(v)])];
  };
  if (n < kHalvesFrom)
    gather(0, n);
  else
    RunBoth([&] { gather(n / 2, n); }, [&] { gather(0, n / 2); });
  std::copy(b.tri.pts.begin() + n, b.tri.pts.end(), byRank.begin() + n);
  b.tri.pts.swap(byRank);
}

// Which points go in, and in what order. The triangles are those of
// insertion in X order (ties on a circle broken by X rank, which the working
// triangulation reproduces for any order), so the points go in the order
// that is quickest to insert in (InsertionOrder). Of points with equal X and
// Y only the first in X order is inserted, as in X-order insertion; the
// others take its vertex. The working points are renumbered in insertion
// order (then the points that are not inserted); xOf (held by the working
// triangulation, which breaks its ties by it) maps a working vertex back to
// its X rank, posOf the other way. vertexOf stays in X ranks.
bool OrderForInsertion(Build& b) {
  b.vertexOf = FirstOfEqualPositions(b.tri.pts, b.n);
  if (b.Cancelled()) return false;
  std::vector<int32_t> order = InsertionOrder(b.tri.pts, b.vertexOf, b.lastRound);
  if (b.Cancelled()) return false;
  b.inserted = static_cast<int32_t>(order.size());
  for (int32_t x = 0; x < b.n; ++x)
    if (b.vertexOf[static_cast<size_t>(x)] != x) order.push_back(x);
  RenumberWorkPoints(b, std::move(order));
  return true;
}

using PointsReady = std::function<void(std::span<const PointRec> points)>;

// The mesh's points, those of X order, and the caller's work on them.
void AddMeshPoints(Build& b, const PointsReady& whileInserting) {
  b.mesh.Reserve(static_cast<size_t>(b.n), 0);
  for (int32_t i = 1; i <= b.n; ++i) {
    const PointRec& p = b.tri.pts[static_cast<size_t>(b.posOf[static_cast<size_t>(i) - 1])];
    b.mesh.AddPoint(p.X, p.Y, p.Z, p.T);
  }
  if (whileInserting) whileInserting(b.mesh.Points().subspan(1));
}

// The sides of the last round's two lanes (1 and 2, per working vertex): of
// the middle X rank, or of the middle Y where the points spread further
// north-south (a corridor split along its length would share most of its
// triangles).
std::vector<uint8_t> LaneSides(const Build& b) {
  const int32_t n = b.n;
  const std::vector<PointRec>& pts = b.tri.pts;
  std::vector<uint8_t> sides(static_cast<size_t>(n));
  std::vector<double> ys;
  if (b.northSouth) {
    ys.reserve(static_cast<size_t>(n));
    for (int32_t v = 0; v < n; ++v)
      if (std::isfinite(pts[static_cast<size_t>(v)].Y)) ys.push_back(pts[static_cast<size_t>(v)].Y);
  }
  if (!ys.empty()) {
    std::nth_element(ys.begin(), ys.begin() + static_cast<std::ptrdiff_t>(ys.size() / 2), ys.end());
    const double middle = ys[ys.size() / 2];
    for (int32_t v = 0; v < n; ++v)
      sides[static_cast<size_t>(v)] = pts[static_cast<size_t>(v)].Y < middle ? 1 : 2;
  } else {
    const std::vector<int32_t>& xOf = b.tri.WorkRanks();
    for (int32_t v = 0; v < n; ++v)
      sides[static_cast<size_t>(v)] = xOf[static_cast<size_t>(v)] < n / 2 ? 1 : 2;
  }
  return sides;
}

// The last round, working vertices last..inserted-1, on two threads: the
// points of one side on this one, the others on the other, each in its
// order; a point either could not insert without meeting the other's work
// goes in afterwards.
bool InsertInTwoLanes(Build& b, int32_t last, Progress& progress) {
  const int32_t inserted = b.inserted;
  std::vector<uint8_t> sides = LaneSides(b);
  std::vector<int32_t> first, second, deferred;
  first.reserve(static_cast<size_t>(inserted - last) / 2 + 1024);
  second.reserve(static_cast<size_t>(inserted - last) / 2 + 1024);
  for (int32_t k = last; k < inserted; ++k)
    (sides[static_cast<size_t>(k)] == 1 ? first : second).push_back(k);
  const int64_t spread = static_cast<int64_t>(inserted - last) /
                         std::max<int64_t>(1, static_cast<int64_t>(first.size()));
  if (!b.tri.InsertBoth(
          first, second, std::move(sides), deferred, [&] { return b.Cancelled(); },
          [&](int64_t done) { progress.At(std::min<int64_t>(last + done * spread, inserted)); }))
    return false;
  for (size_t k = 0; k < deferred.size(); ++k) {
    if (k % kCancelStride == 0 && b.Cancelled()) return false;
    b.Insert(deferred[k]);
  }
  progress.At(inserted);
  return true;
}

// Inserts the points in their order, and adds the mesh's points (known
// before the insertion) while it runs where two threads may, else after it.
// The last round, seven points in eight, goes in on two lanes where two
// threads may run. The lanes give the triangles of one thread in other
// slots; the constraints forced afterwards find their crossings by walking
// the triangles and split and rebuild them by geometry alone, and the saved
// triangles are ordered by their corners, so the mesh is the same.
bool InsertPoints(Build& b, const PointsReady& whileInserting) {
  const bool alongside = b.n >= kHalvesFrom && TwoThreads();
  {
    if (b.Cancelled()) return false;
    // The insertion appends to the working triangles' room page after page,
    // each page a wait for the system at its first write: with two threads
    // the other one has the room made resident first. The other thread only
    // reads the working points, which the insertion does not change; it is
    // joined at the end of the block, however it ends, and what it threw is
    // thrown here.
    std::exception_ptr sideFailure;
    std::jthread side;
    if (alongside) {
      const std::span<std::byte> room = SpareCapacity(b.tri.tris);
      side = StartThread([room, &b, &whileInserting, &sideFailure] {
        try {
          PrefaultForWriting(room.data(), room.size());
          AddMeshPoints(b, whileInserting);
        } catch (...) {
          sideFailure = std::current_exception();
        }
      });
    }
    Progress progress(b.inserted, b.feedback);
    const auto last = static_cast<int32_t>(b.lastRound);
    const bool twoLanes =
        alongside && b.tri.decisions == nullptr && b.inserted - last >= kHalvesFrom;
    const int32_t alone = twoLanes ? last : b.inserted;
    for (int32_t k = 0; k < alone; ++k) {
      progress.At(int64_t{k} + 1);
      if (b.Cancelled()) return false;
      b.Insert(k);
    }
    if (twoLanes && !InsertInTwoLanes(b, last, progress)) return false;
    if (side.joinable()) side.join();
    if (sideFailure) std::rethrow_exception(sideFailure);
  }
  if (!alongside) AddMeshPoints(b, whileInserting);
  return true;
}

// Forces the constraint segments (AllPoints indices), in order; one that
// cannot be forced makes the build Incomplete.
bool ForceConstraints(Build& b, const std::vector<std::pair<int32_t, int32_t>>& constraints) {
  Progress progress(static_cast<int64_t>(constraints.size()), b.feedback);
  // The ends as work vertices, -1 where an end was not triangulated: looked
  // up for all at once (in two halves where two threads may run), so that
  // the forcing below reads them in a row.
  const size_t n = constraints.size();
  std::vector<std::pair<int32_t, int32_t>> ends(n);
  auto lookUp = [&](size_t from, size_t to) {
    auto vertex = [&](int32_t all) {
      const int32_t w = b.workOfAll[static_cast<size_t>(all)];
      const int32_t x = w < 0 ? -1 : b.vertexOf[static_cast<size_t>(w)];
      return x < 0 ? -1 : b.posOf[static_cast<size_t>(x)];
    };
    for (size_t s = from; s < to; ++s)
      ends[s] = {vertex(constraints[s].first), vertex(constraints[s].second)};
  };
  if (n < static_cast<size_t>(kHalvesFrom))
    lookUp(0, n);
  else
    RunBoth([&] { lookUp(n / 2, n); }, [&] { lookUp(0, n / 2); });

  // Most constraints are edges already, found by turning around the first
  // end: its triangle is asked for a few constraints ahead, and the slot
  // that names it a few more ahead, so that the turn does not wait for
  // memory. Asking is only a hint: the forcing may since have moved either.
  const WorkTriangulation& tri = b.tri;
  constexpr size_t kSlotAhead = 16, kTriangleAhead = 8;
  auto ask = [&](size_t s) {
    if (s + kSlotAhead < n) {
      const int32_t v = ends[s + kSlotAhead].first;
      if (v >= 0) __builtin_prefetch(tri.vertexTri.data() + v);
    }
    if (s + kTriangleAhead < n) {
      const int32_t v = ends[s + kTriangleAhead].first;
      const int32_t t = v >= 0 ? tri.vertexTri[static_cast<size_t>(v)] : -1;
      if (t >= 0) __builtin_prefetch(tri.tris.data() + t);
    }
  };
  std::vector<bool> oneEdge(n, false);
  for (size_t s = 0; s < n; ++s) {
    progress.At(static_cast<int64_t>(s) + 1);
    if (b.Cancelled()) return false;
    ask(s);
    const auto [v1, v2] = ends[s];
    if (v1 < 0 || v2 < 0 || !b.tri.ForceSegment(v1, v2))
      b.code = Triangulator::Incomplete;
    else
      oneEdge[s] = b.tri.ForcedAsOneEdge();
  }
  // No constraint is lost without a word: once all are forced (a later one
  // may split an earlier one), each whose ends are triangulated must be a
  // chain of edges. One that was made a single edge still is one unless a
  // later constraint freed that edge.
  for (size_t s = 0; s < n; ++s) {
    if (s % kCancelStride == 0 && b.Cancelled()) return false;
    const auto [v1, v2] = ends[s];
    if (oneEdge[s] && b.tri.StillAnEdge(v1, v2)) continue;
    if (v1 >= 0 && v2 >= 0 && !b.tri.CoversSegment(v1, v2)) b.code = Triangulator::Incomplete;
  }
  return true;
}

// A triangle goes when its centroid is not strictly inside the boundary,
// or strictly inside a hole. Deleting one changes no other's centroid, so
// the order they are tested in does not matter.
bool CentroidInside(const WorkTriangulation& tri, const RingLocator& locator, size_t t) {
  const XYRec c = CentroidBuckets::Centroid(tri, tri.tris[t]);
  return locator.Classify(c.X, c.Y) == RingLocator::Place::Inside;
}

// The centroids are tested a block at a time, in two halves at once where
// two threads may run (the tests read only the corners, which killing
// leaves alone); the triangles outside then go in slot order, as on one
// thread.
bool ClipToBoundary(Build& b) {
  WorkTriangulation& tri = b.tri;
  const RingLocator locator(b.hullRing);
  const size_t count = tri.tris.size();
  Progress progress(static_cast<int64_t>(count), b.feedback);
  constexpr auto kBlock = static_cast<size_t>(kHalvesFrom);
  std::vector<uint8_t> outside(std::min(count, kBlock));
  for (size_t from = 0; from < count; from += kBlock) {
    const size_t to = std::min(count, from + kBlock), mid = from + (to - from) / 2;
    auto test = [&](size_t first, size_t last) {
      for (size_t t = first; t < last; ++t)
        outside[t - from] = tri.tris[t].alive && !CentroidInside(tri, locator, t);
    };
    if (to - from < kBlock)
      test(from, to);
    else
      RunBoth([&] { test(mid, to); }, [&] { test(from, mid); });
    for (size_t t = from; t < to; ++t) {
      progress.At(static_cast<int64_t>(t) + 1);
      if (t % kCancelStride == 0 && b.Cancelled()) return false;
      if (outside[t - from]) tri.Kill(static_cast<int32_t>(t));
    }
  }
  return true;
}

bool PunchAreas(Build& b) {
  WorkTriangulation& tri = b.tri;
  if (b.Cancelled()) return false;
  // Only a centroid within a hole's box can be inside it.
  const CentroidBuckets buckets(tri);
  Progress progress(static_cast<int64_t>(b.areaRings.size()), b.feedback);
  for (size_t z = 0; z < b.areaRings.size(); ++z) {
    if (b.Cancelled()) return false;
    progress.At(static_cast<int64_t>(z) + 1);
    const std::vector<XYRec>& ring = b.areaRings[z];
    const RingLocator locator(ring);
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const XYRec& p : ring) {
      x0 = std::min(x0, p.X);
      x1 = std::max(x1, p.X);
      y0 = std::min(y0, p.Y);
      y1 = std::max(y1, p.Y);
    }
    const std::vector<int32_t> candidates = buckets.Candidates(x0, y0, x1, y1);
    for (size_t k = 0; k < candidates.size(); ++k) {
      if (k % kCancelStride == kCancelStride - 1 && b.Cancelled()) return false;
      const auto t = static_cast<size_t>(candidates[k]);
      if (tri.tris[t].alive && CentroidInside(tri, locator, t)) tri.Kill(static_cast<int32_t>(t));
    }
  }
  return true;
}

using Triple = std::array<int32_t, 3>;

// The surviving triangles as bare index triples, clockwise, in the mesh's
// point numbers (a working vertex's X rank + 1; points made at constraint
// crossings after the n work points), in slot order; large lists in two
// halves at once, joined in order. westToEast gives each from its lowest
// corner.
std::vector<Triple> GatherTriples(const Build& b, bool westToEast) {
  const WorkTriangulation& tri = b.tri;
  const std::vector<int32_t>& xOf = tri.WorkRanks();
  const int32_t n = b.n;
  auto meshIndex = [&](int32_t v) { return v < n ? xOf[static_cast<size_t>(v)] + 1 : v - 2; };
  auto gather = [&](size_t from, size_t to, std::vector<Triple>& out) {
    for (size_t slot = from; slot < to; ++slot) {
      const WorkTriangulation::Tri& tr = tri.tris[slot];
      if (!tr.alive) continue;
      // Stored counter-clockwise, saved clockwise.
      Triple t{meshIndex(tr.v[0]), meshIndex(tr.v[2]), meshIndex(tr.v[1])};
      if (westToEast) {
        if (t[1] < t[0] && t[1] < t[2])
          t = {t[1], t[2], t[0]};
        else if (t[2] < t[0] && t[2] < t[1])
          t = {t[2], t[0], t[1]};
      }
      out.push_back(t);
    }
  };
  std::vector<Triple> triples;
  const size_t slots = tri.tris.size();
  triples.reserve(static_cast<size_t>(tri.LiveCount()));
  if (slots < static_cast<size_t>(kHalvesFrom)) {
    gather(0, slots, triples);
    return triples;
  }
  std::vector<Triple> later;
  later.reserve(static_cast<size_t>(tri.LiveCount()) / 2 + 1024);
  RunBoth([&] { gather(slots / 2, slots, later); }, [&] { gather(0, slots / 2, triples); });
  triples.insert(triples.end(), later.begin(), later.end());
  return triples;
}

// Whether each triple is saved (1), left out for a side of ladoMax or more
// alone (kLongSide, which the caller hears of) or for coincident corners or
// a corner at -999 (0). Each corner is read from the mesh's copy of its
// point, which holds exactly the working point's coordinates.
constexpr uint8_t kLongSide = 2;

std::vector<uint8_t> JudgeTriangles(const TriangleMesh& mesh, std::span<const Triple> triples,
                                    double ladoMax) {
  auto keep = [&](const Triple& t) -> uint8_t {
    const PointRec &a = mesh.Point(t[0]), &b = mesh.Point(t[1]), &c = mesh.Point(t[2]);
    if (PointsCoincide(a, b, true) || PointsCoincide(b, c, true) || PointsCoincide(c, a, true))
      return 0;
    if (a.Z == -999 || b.Z == -999 || c.Z == -999) return 0;
    if (Triangulator::distp1p2(a.X, a.Y, b.X, b.Y) >= ladoMax ||
        Triangulator::distp1p2(b.X, b.Y, c.X, c.Y) >= ladoMax ||
        Triangulator::distp1p2(c.X, c.Y, a.X, a.Y) >= ladoMax)
      return kLongSide;
    return 1;
  };
  const size_t count = triples.size();
  std::vector<uint8_t> kept(count);
  auto judge = [&](size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) kept[k] = keep(triples[k]);
  };
  if (static_cast<int64_t>(count) < kHalvesFrom)
    judge(0, count);
  else
    RunBoth([&] { judge(count / 2, count); }, [&] { judge(0, count / 2); });
  return kept;
}

// The triples judged 1, in order, in blocks that go back to the system one
// by one as their triangles go into the mesh; each block knows how many of
// the triples came before its end, for the progress.
struct KeptBlock {
  std::vector<Triple> triples;
  size_t end = 0;  // triples (kept or not) up to this block's last one
};
constexpr size_t kKeptBlock = size_t{1} << 16;

// Large lists in two halves of the blocks at once.
std::vector<KeptBlock> KeptBlocks(std::span<const Triple> triples, std::span<const uint8_t> kept) {
  std::vector<KeptBlock> blocks((triples.size() + kKeptBlock - 1) / kKeptBlock);
  auto fill = [&](size_t first, size_t last) {
    for (size_t i = first; i < last; ++i) {
      const size_t from = i * kKeptBlock, to = std::min(triples.size(), from + kKeptBlock);
      KeptBlock& block = blocks[i];
      block.triples.reserve(
          static_cast<size_t>(std::count(kept.begin() + from, kept.begin() + to, 1)));
      for (size_t k = from; k < to; ++k)
        if (kept[k] == 1) block.triples.push_back(triples[k]);
      block.end = to;
    }
  };
  if (triples.size() < static_cast<size_t>(kHalvesFrom))
    fill(0, blocks.size());
  else
    RunBoth([&] { fill(blocks.size() / 2, blocks.size()); }, [&] { fill(0, blocks.size() / 2); });
  return blocks;
}

// Adds the kept triangles to the mesh, in order, its room reserved for them.
// The mesh's triangles are the bulk of its memory, and the system hands out
// each page of it at its first write: with two threads the other one has
// the pages made resident a little ahead of the adding, and each block of
// triples goes as soon as it is added, so that the two do not add up.
bool AddKeptTriangles(Build& build, std::vector<KeptBlock> blocks, size_t saved,
                      Progress& progress) {
  TriangleMesh& mesh = build.mesh;
  const std::span<std::byte> room = mesh.SpareTriangleRoom();
  std::atomic<size_t> reached{0};  // bytes of the room the adding has reached
  auto prefault = [&] {
    constexpr size_t kChunk = size_t{4} << 20, kAhead = size_t{16} << 20;
    for (size_t done = 0; done < room.size();) {
      const size_t at = reached.load(std::memory_order_acquire);
      if (at >= room.size()) return;  // added, or stopped
      if (done >= at + kAhead) {
        reached.wait(at, std::memory_order_acquire);
        continue;
      }
      const size_t to = std::min(room.size(), done + kChunk);
      PrefaultForWriting(room.data() + done, to - done);
      done = to;
    }
  };
  auto publish = [&](size_t bytes) {
    reached.store(bytes, std::memory_order_release);
    reached.notify_one();
  };
  bool stoppedAdding = false;
  auto addTriangles = [&] {
    size_t added = 0, progressed = 0;
    for (KeptBlock& block : blocks) {
      for (const auto& [ia, ib, ic] : block.triples) {
        const PointRec &a = mesh.Point(ia), &b = mesh.Point(ib), &c = mesh.Point(ic);
        mesh.AddTriangle(a.X, a.Y, a.Z, ia, b.X, b.Y, b.Z, ib, c.X, c.Y, c.Z, ic);
      }
      added += block.triples.size();
      std::vector<Triple>().swap(block.triples);
      publish(added * sizeof(TriangleRec));
      while (progressed < block.end) {
        progress.At(static_cast<int64_t>(++progressed));
        if (progressed % kCancelStride == 0 && build.Cancelled()) {
          stoppedAdding = true;
          publish(room.size());
          return;
        }
      }
    }
    publish(room.size());
  };
  if (static_cast<int64_t>(saved) < kHalvesFrom || !TwoThreads()) {
    addTriangles();
    return !stoppedAdding;
  }
  // However the adding ends, the other thread hears that it has and is
  // joined (side goes after done).
  const std::jthread side = StartThread(prefault);
  const struct Done {
    std::function<void()> tell;
    ~Done() { tell(); }
  } done{[&] { publish(room.size()); }};
  addTriangles();
  return !stoppedAdding;
}

// The surviving triangles into the mesh, whose points the insertion added;
// longSides counts those left out for their length alone.
//
// The working indexes go back to the system before the mesh's lists are
// filled, where that is worth a system call: a small build (the split at an
// elevation makes thousands of them) frees too little for it. The surviving
// triangles are kept as bare index triples and the working triangles and
// ranks freed as soon as they are not needed: the mesh's own lists are the
// bulk of the memory. The mesh's points go in first, so that the working
// points can go before the triangles take their room: at the end the mesh
// stands alone.
//
// A large mesh takes each triangle from its lowest corner and the triangles
// ordered by their corners, which is their order west to east since the
// points are in X order: whatever reads the triangles with their points later
// (the filters and the copy into the mesh here, the files, the colouring)
// then reads both lists nearly in order instead of all over the point list.
// That order depends on the triangles alone, not on the working slots, which
// differ when two threads insert. With two threads the triples are gathered,
// sorted and the triangles' filters evaluated in two halves before the
// triangles go in; the mesh is the same.
bool SaveTriangles(Build& b, double ladoMax, int64_t& longSides) {
  WorkTriangulation& tri = b.tri;
  const int32_t n = b.n;
  if (b.Cancelled()) return false;
  if (n >= kReleaseFromPoints) ReleaseFreedMemory();
  const bool westToEast = static_cast<size_t>(n) >= kRoundsFrom;
  const size_t extra = tri.pts.size() - static_cast<size_t>(n) - 3;
  Progress progress(tri.LiveCount(), b.feedback);
  std::vector<Triple> triples = GatherTriples(b, westToEast);
  if (b.Cancelled()) return false;
  std::vector<WorkTriangulation::Tri>().swap(tri.tris);
  tri.ReleaseRanks();
  std::vector<int32_t>().swap(b.posOf);
  // Points created where two constraints cross follow the work points.
  if (extra > 0) b.mesh.Reserve(static_cast<size_t>(n) + extra, 0);
  for (size_t k = 0; k < extra; ++k) {
    const PointRec& p = tri.pts[static_cast<size_t>(n) + 3 + k];
    b.mesh.AddPoint(p.X, p.Y, p.Z, 0);
  }
  std::vector<PointRec>().swap(tri.pts);
  if (westToEast) {
    SortWestToEast(triples, n + static_cast<int32_t>(extra));
    if (b.Cancelled()) return false;
  }
  std::vector<uint8_t> kept = JudgeTriangles(b.mesh, triples, ladoMax);
  if (b.Cancelled()) return false;
  if (triples.empty()) b.code = Triangulator::Incomplete;
  const auto saved = static_cast<size_t>(std::count(kept.begin(), kept.end(), uint8_t{1}));
  longSides = static_cast<int64_t>(std::count(kept.begin(), kept.end(), kLongSide));
  std::vector<KeptBlock> blocks = KeptBlocks(triples, kept);
  std::vector<Triple>().swap(triples);
  std::vector<uint8_t>().swap(kept);
  b.mesh.Reserve(0, saved);
  return AddKeptTriangles(b, std::move(blocks), saved, progress);
}

}  // namespace

double Triangulator::distp1p2(double x1, double y1, double x2, double y2) {
  return std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2));
}

void Triangulator::SetBoundary(PointList& Points, const PointList& Boundary,
                               VertexMatcher& matcher) {
  boundaryIndex_.clear();
  boundaryPolygon_.clear();
  const int32_t n = Boundary.count();
  for (int32_t i = 1; i <= n; ++i) {
    const PointRec& p = Boundary.Point(i);
    boundaryPolygon_.push_back({p.X, p.Y});
    boundaryIndex_.push_back(matcher.MatchOrAdd(Points, p));
  }
  // A boundary whose last vertex does not repeat its first is closed: left
  // open, its closing edge would be neither forced nor tested.
  if (n >= 3) {
    const PointRec &first = Boundary.Point(1), &last = Boundary.Point(n);
    if (first.X != last.X || first.Y != last.Y) {
      boundaryPolygon_.push_back({first.X, first.Y});
      boundaryIndex_.push_back(boundaryIndex_.front());
    }
  }
}

void Triangulator::Initialise(PointList& Points, std::span<const PointList> cCon) {
  Initialise(Points, cCon, 0, {});
}

void Triangulator::ReadItems(PointList& Points, std::span<const PointList> cCon,
                             VertexMatcher& matcher) {
  boundaryIndex_.clear();
  boundaryPolygon_.clear();
  breaklines_.clear();
  areas_.clear();
  boundaryMode_ = 1;

  for (const PointList& item : cCon) {
    if (item.Model == kBoundaryModel) {
      SetBoundary(Points, item, matcher);
      boundaryMode_ = 2;
    } else if (item.Model == kBreaklineModel) {
      // Consecutive vertices give the segments; a single vertex gives none.
      int32_t prev = 0;
      for (int32_t p = 1; p <= item.count(); ++p) {
        const int32_t idx = matcher.MatchOrAdd(Points, item.Point(p));
        if (p > 1 && idx != prev) breaklines_.push_back({prev, idx});
        prev = idx;
      }
    } else if (item.Model == kAreaModel) {
      std::vector<int32_t> idx;
      for (int32_t p = 1; p <= item.count(); ++p)
        idx.push_back(matcher.MatchOrAdd(Points, item.Point(p)));
      std::vector<int32_t> distinct(idx);
      std::sort(distinct.begin(), distinct.end());
      distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
      if (distinct.size() < 3) continue;  // no area to punch
      const PointRec &first = item.Point(1), &last = item.Point(item.count());
      if (first.X != last.X || first.Y != last.Y) idx.push_back(idx.front());
      areas_.push_back(std::move(idx));
    }
  }
}

void Triangulator::Initialise(PointList& Points, std::span<const PointList> cCon,
                              size_t segmentCount, const SegmentEnds& ends) {
  if (Points.Model != PointListModel::OpenPolyline) return;
  std::vector<XYRec> positions;
  for (const PointList& item : cCon) {
    if (item.Model != kBoundaryModel && item.Model != kBreaklineModel && item.Model != kAreaModel)
      continue;
    for (int32_t p = 1; p <= item.count(); ++p)
      positions.push_back({item.Point(p).X, item.Point(p).Y});
  }
  for (size_t k = 0; k < segmentCount; ++k) {
    const auto [from, to] = ends(k);
    positions.push_back({from.X, from.Y});
    positions.push_back({to.X, to.Y});
  }
  VertexMatcher matcher(Points.Points(), positions);
  std::vector<XYRec>().swap(positions);
  ReadItems(Points, cCon, matcher);
  breaklines_.reserve(breaklines_.size() + segmentCount);
  // Points only grow here, so an end at exactly the position of an earlier
  // one matches what that one matched (or became).
  RecentPositions<int32_t> recent;
  auto match = [&](const PointRec& p) {
    if (const int32_t* known = recent.Find(p.X, p.Y)) return *known;
    const int32_t idx = matcher.MatchOrAdd(Points, p);
    recent.Put(p.X, p.Y, idx);
    return idx;
  };
  for (size_t k = 0; k < segmentCount; ++k) {
    const auto [from, to] = ends(k);
    const int32_t a = match(from);
    const int32_t b = match(to);
    if (a != b) breaklines_.push_back({a, b});
  }
  Prepare(Points);
}

void Triangulator::Initialise(PointList& Points,
                              std::vector<std::pair<int32_t, int32_t>> segments) {
  if (Points.Model != PointListModel::OpenPolyline) return;
  VertexMatcher none(Points.Points(), {});
  ReadItems(Points, {}, none);
  const int32_t count = Points.count();
  std::erase_if(segments, [count](const std::pair<int32_t, int32_t>& s) {
    return s.first == s.second || s.first < 1 || s.second < 1 || s.first > count ||
           s.second > count;
  });
  breaklines_ = std::move(segments);
  Prepare(Points);
}

void Triangulator::Prepare(const PointList& Points) {
  // Without a boundary every point is triangulated and nothing is clipped;
  // the convex hull that would stand in for the boundary changes nothing, so
  // it is not computed.
  if (boundaryIndex_.empty()) boundaryMode_ = 1;

  const int32_t allCount = Points.count();
  if (allCount < 3) {
    initialised_ = false;
    return;
  }
  // A large build's working lists go back to the system as they are freed.
  if (allCount >= kReleaseFromPoints) MapLargeBlocks();
  allPoints_.assign(Points.Points().begin(), Points.Points().end());

  constraints_.clear();
  areaSegments_.clear();
  if (boundaryMode_ == 2) {
    for (size_t k = 1; k < boundaryIndex_.size(); ++k)
      constraints_.push_back({boundaryIndex_[k - 1], boundaryIndex_[k]});
  }
  ringSegments_ = constraints_.size();
  // The breaklines are not needed apart from the constraint list; with
  // millions of them one copy is enough.
  if (constraints_.empty())
    constraints_ = std::move(breaklines_);
  else
    constraints_.insert(constraints_.end(), breaklines_.begin(), breaklines_.end());
  std::vector<std::pair<int32_t, int32_t>>().swap(breaklines_);
  for (const auto& area : areas_) {
    const size_t first = constraints_.size();
    for (size_t k = 1; k < area.size(); ++k) constraints_.push_back({area[k - 1], area[k]});
    areaSegments_.push_back({first, constraints_.size()});
  }

  workIndex_.clear();
  workIndex_.reserve(static_cast<size_t>(allCount));
  if (boundaryMode_ == 1) {
    extents_ = Points.GetExtents();
    for (int32_t i = 1; i <= allCount; ++i) workIndex_.push_back(i);
  } else {
    std::vector<XYRec> ring;
    for (int32_t i : boundaryIndex_)
      ring.push_back({allPoints_[static_cast<size_t>(i)].X, allPoints_[static_cast<size_t>(i)].Y});
    // Each point's place in two halves at once for long lists; the points
    // inside are taken in order.
    const RingLocator locator(ring);
    std::vector<uint8_t> inside(static_cast<size_t>(allCount) + 1);
    auto classify = [&](int32_t from, int32_t to) {
      for (int32_t i = from; i < to; ++i) {
        const PointRec& p = allPoints_[static_cast<size_t>(i)];
        inside[static_cast<size_t>(i)] = locator.Classify(p.X, p.Y) != RingLocator::Place::Outside;
      }
    };
    if (allCount < kHalvesFrom)
      classify(1, allCount + 1);
    else
      RunBoth([&] { classify(allCount / 2, allCount + 1); }, [&] { classify(1, allCount / 2); });
    extents_ = ExtentsRec{};
    for (int32_t i = 1; i <= allCount; ++i) {
      if (!inside[static_cast<size_t>(i)]) continue;
      workIndex_.push_back(i);
      GrowExtents(extents_, allPoints_[static_cast<size_t>(i)]);
    }
  }
  initialised_ = true;
}

std::optional<TriangleMesh> Triangulator::GetTriangleMesh(double ladoMax) {
  Feedback quiet;
  return GetTriangleMesh(ladoMax, quiet);
}

std::optional<TriangleMesh> Triangulator::GetTriangleMesh(double ladoMax, Feedback& feedback) {
  LastErrorCode = Done;
  longSides_ = 0;
  phaseTimes_.clear();
  if (!initialised_ || workIndex_.empty()) {
    LastErrorCode = NotInitialised;
    return std::nullopt;
  }
  // A build consumes its preparation: the next build needs a new Initialise.
  initialised_ = false;
  Build b(LastErrorCode, phaseTimes_, feedback);
  b.phase.Enter("INITTRI");
  feedback.Progress(0, false);

  b.n = static_cast<int32_t>(workIndex_.size());
  if (!LoadInXOrder(b, workIndex_, allPoints_, CrossingRoom(constraints_.size())))
    return std::nullopt;
  std::vector<int32_t>().swap(workIndex_);
  // The rings to clip by, before the copy of the caller's points goes.
  if (ringSegments_ > 0) b.hullRing = PairedRing(allPoints_, boundaryIndex_);
  for (const auto& area : areas_) b.areaRings.push_back(PairedRing(allPoints_, area));
  std::vector<PointRec>().swap(allPoints_);
  if (b.Cancelled()) return std::nullopt;
  EncloseWorkPoints(b.tri, b.n, extents_);
  b.northSouth = extents_.Max.Y - extents_.Min.Y > extents_.Max.X - extents_.Min.X;

  b.phase.Enter("START_TRIANGULATION");
  if (b.Cancelled() || !OrderForInsertion(b) || !InsertPoints(b, WhileInserting))
    return std::nullopt;
  // The enclosing triangle goes, and with it the triangles along the hull
  // whose circumcircle reaches one of its corners; those are put back, so
  // the surface covers the convex hull of its points, and they are there
  // before the constraints are forced, so that boundary edges and
  // breaklines along the hull can be forced through them.
  b.tri.RemoveTrianglesWithVertexFrom(b.n, true);
  const bool anyTriangle = b.tri.LiveCount() > 0;
  if (b.Cancelled()) return std::nullopt;

  if (anyTriangle && !constraints_.empty()) {
    b.phase.Enter("SET_CONSTRAINTS");
    if (!ForceConstraints(b, constraints_)) return std::nullopt;
  }
  std::vector<std::pair<int32_t, int32_t>>().swap(constraints_);
  if (anyTriangle && ringSegments_ > 0) {
    b.phase.Enter("REMOVING_EXTERNAL_HULL");
    if (!ClipToBoundary(b)) return std::nullopt;
  }
  if (anyTriangle && !areas_.empty()) {
    b.phase.Enter("MAKING_AREAS");
    if (!PunchAreas(b)) return std::nullopt;
  }

  b.tri.ReleaseScratch();
  std::vector<int32_t>().swap(b.workOfAll);
  std::vector<int32_t>().swap(b.vertexOf);
  if (!anyTriangle) {
    LastErrorCode = Incomplete;
    b.mesh = TriangleMesh();  // without triangles, without points
  } else {
    b.phase.Enter("SAVING_TRIANGLES");
    if (!SaveTriangles(b, ladoMax, longSides_)) return std::nullopt;
  }
  b.phase.Close();
  feedback.Progress(100, false);
  feedback.Phase("IDLE");
  return std::move(b.mesh);
}

}  // namespace orvane
