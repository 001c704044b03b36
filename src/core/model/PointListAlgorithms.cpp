// The settled polygon operations of PointList: duplicate check, decimation,
// convex hull and the walk for a segment crossing.

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "core/geometry/Kernels.h"
#include "core/geometry/PointGrid.h"
#include "core/geometry/RadixSort.h"
#include "core/model/PointList.h"

namespace orvane {

namespace {

// Closeness of CheckForDuplicates and Decimate: strict, per axis (a box, not
// a circle), Z only when VerifyZ.
struct NearRule {
  double Radius;
  bool VerifyZ;

  bool Close(const PointRec& a, const PointRec& b) const {
    return std::fabs(b.X - a.X) < Radius && std::fabs(b.Y - a.Y) < Radius &&
           (!VerifyZ || std::fabs(b.Z - a.Z) < Radius);
  }
  // A point with a non-finite coordinate on a compared axis is close to none.
  bool Comparable(const PointRec& p) const {
    return std::isfinite(p.X) && std::isfinite(p.Y) && (!VerifyZ || std::isfinite(p.Z));
  }
  // |v - c| < Radius implies fl(c - Radius) <= v <= fl(c + Radius).
  void Box(const PointRec& c, PointGrid::Bounds& lo, PointGrid::Bounds& hi) const {
    lo = {c.X - Radius, c.Y - Radius, c.Z - Radius};
    hi = {c.X + Radius, c.Y + Radius, c.Z + Radius};
  }
};

// Cell width and origin for the points 1..n with alive[i] != 0. Cells are
// four radii wide, so a query box spans one or two cells per axis, and never
// so narrow that the list's spread overflows the cell numbers.
struct GridFrame {
  double width;
  PointRec origin;
  PointRec high;  // the high corner of the points
};
GridFrame FrameFor(std::span<const PointRec> points, const std::vector<uint8_t>& alive,
                   const NearRule& rule) {
  PointRec lo{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
              std::numeric_limits<double>::max(), 0};
  PointRec hi{-lo.X, -lo.Y, -lo.Z, 0};
  for (size_t i = 1; i < points.size(); ++i) {
    const PointRec& p = points[i];
    if (!alive[i] || !rule.Comparable(p)) continue;
    lo = {std::min(lo.X, p.X), std::min(lo.Y, p.Y), std::min(lo.Z, p.Z), 0};
    hi = {std::max(hi.X, p.X), std::max(hi.Y, p.Y), std::max(hi.Z, p.Z), 0};
  }
  if (lo.X > hi.X) lo = hi = PointRec{};
  double spread = std::max(hi.X - lo.X, hi.Y - lo.Y);
  if (rule.VerifyZ) spread = std::max(spread, hi.Z - lo.Z);
  double width = 4 * rule.Radius;
  if (std::isfinite(spread)) width = std::max(width, spread / (1 << 28));
  // Wider cells would turn (v - origin) / width into inf / inf.
  return {std::min(width, 1e300), lo, hi};
}

// The grid of the points 1..n that are still candidates (alive[i] != 0).
PointGrid BuildGrid(std::span<const PointRec> points, const std::vector<uint8_t>& alive,
                    const NearRule& rule) {
  const GridFrame frame = FrameFor(points, alive, rule);
  const auto members = static_cast<size_t>(
      std::count_if(alive.begin(), alive.end(), [](uint8_t a) { return a != 0; }));
  PointGrid grid(frame.width, rule.VerifyZ, frame.origin, members);
  for (size_t i = 1; i < points.size(); ++i)
    if (alive[i]) grid.Add(static_cast<int32_t>(i), points[i]);
  return grid;
}

// The alive, comparable points that may be close to another: those whose
// plan cell or one of its eight neighbours holds another such point. Any
// point close to p lies there: along an axis it lies in [fl(p - R), fl(p + R)],
// whose ends are less than a cell apart (a cell is four radii; the rounding of
// (v - origin) / width is far below a cell), and the cell number is monotone
// in v, so the two cells differ by at most one. A point outside the result
// neither absorbs nor is absorbed: the greedy pass may skip it. Found by
// sorting cell keys, in linear time.
std::vector<uint8_t> Crowded(std::span<const PointRec> points, const std::vector<uint8_t>& alive,
                             const NearRule& rule) {
  const GridFrame frame = FrameFor(points, alive, rule);
  // The origin is the low corner of these points, so cells start at 0.
  // Multiplying by the reciprocal is as monotone as dividing, and its
  // rounding is as far below a cell: the argument above holds, without a
  // division's wait per coordinate.
  const double perCell = 1 / frame.width;
  const auto cellOf = [&](double v, double origin) {
    const double c = std::floor((v - origin) * perCell);
    return static_cast<int64_t>(std::clamp(c, 0.0, double{1 << 30}));
  };
  // Key = column * 2^bits + row, with a spare row value above every row so
  // that row - 1 and row + 1 never wrap into a neighbouring column (the
  // highest row is that of the highest Y, cells being monotone).
  const int64_t maxY = cellOf(frame.high.Y, frame.origin.Y);
  int bits = 1;
  while ((int64_t{1} << bits) <= maxY + 1) ++bits;
  std::vector<uint64_t> keys;
  std::vector<int32_t> index;
  keys.reserve(points.size());
  index.reserve(points.size());
  for (size_t i = 1; i < points.size(); ++i) {
    const PointRec& p = points[i];
    if (!alive[i] || !rule.Comparable(p)) continue;
    keys.push_back((static_cast<uint64_t>(cellOf(p.X, frame.origin.X)) << bits) |
                   static_cast<uint64_t>(cellOf(p.Y, frame.origin.Y)));
    index.push_back(static_cast<int32_t>(i));
  }
  RadixSort(keys, index);

  std::vector<uint8_t> crowded(points.size(), 0);
  const size_t n = keys.size();
  const auto markRun = [&](size_t from) {
    for (size_t k = from; k < n && keys[k] == keys[from]; ++k)
      crowded[static_cast<size_t>(index[k])] = 1;
  };
  const uint64_t column = uint64_t{1} << bits;
  size_t next = 0;  // first entry at or after the next column's row - 1
  for (size_t run = 0; run < n;) {
    size_t end = run + 1;
    while (end < n && keys[end] == keys[run]) ++end;
    bool near = end - run > 1;
    if (end < n && keys[end] == keys[run] + 1) {  // row + 1, same column
      near = true;
      markRun(end);
    }
    const uint64_t lo = keys[run] + column - 1, hi = keys[run] + column + 1;
    next = std::max(next, end);
    while (next < n && keys[next] < lo) ++next;
    for (size_t k = next; k < n && keys[k] <= hi; ++k) {
      near = true;
      crowded[static_cast<size_t>(index[k])] = 1;
    }
    if (near) markRun(run);
    run = end;
  }
  return crowded;
}

// The greedy pass shared by both operations: for each alive point i in index
// order, every later alive point close to i dies and is reported to
// absorbed(i, j) in ascending j. A dead point never absorbs others.
template <class Absorbed>
void GreedyPass(std::span<const PointRec> points, std::vector<uint8_t>& alive, const NearRule& rule,
                Absorbed&& absorbed) {
  const std::vector<uint8_t> crowded = Crowded(points, alive, rule);
  const PointGrid grid = BuildGrid(points, crowded, rule);
  std::vector<int32_t> cluster;
  PointGrid::Bounds lo{}, hi{};
  for (size_t i = 1; i < points.size(); ++i) {
    const PointRec& p = points[i];
    if (!crowded[i] || !alive[i]) continue;
    cluster.clear();
    rule.Box(p, lo, hi);
    const int32_t self = static_cast<int32_t>(i);
    grid.ForEachLaterInBox(self, p, lo, hi, [&](int32_t j) {
      if (alive[static_cast<size_t>(j)] && rule.Close(p, points[static_cast<size_t>(j)])) {
        alive[static_cast<size_t>(j)] = 0;
        cluster.push_back(j);
      }
      return true;
    });
    // Cells are visited in cell order; the scan's order is the index order.
    std::sort(cluster.begin(), cluster.end());
    for (int32_t j : cluster) absorbed(self, j);
  }
}

}  // namespace

PointList::DuplicateReport PointList::CheckForDuplicates(double Radius, bool VerifyZ,
                                                         bool CheckAll) const {
  const NearRule rule{Radius, VerifyZ};
  DuplicateReport report;
  std::vector<uint8_t> alive(points_.size(), 1);
  if (!CheckAll) {
    // Whether any pair is close: the first pair in order only decides that.
    const PointGrid grid = BuildGrid(points_, alive, rule);
    PointGrid::Bounds lo{}, hi{};
    for (size_t i = 1; i < points_.size() && report.Count == 0; ++i) {
      const PointRec& p = points_[i];
      if (!rule.Comparable(p)) continue;
      rule.Box(p, lo, hi);
      grid.ForEachLaterInBox(static_cast<int32_t>(i), p, lo, hi, [&](int32_t j) {
        if (rule.Close(p, points_[static_cast<size_t>(j)])) report.Count = 1;
        return report.Count == 0;
      });
    }
    return report;
  }

  GreedyPass(points_, alive, rule, [](int32_t, int32_t) {});
  for (size_t i = 1; i < alive.size(); ++i) {
    if (alive[i]) continue;
    ++report.Count;
    report.DupIndexes += std::to_string(i);
    report.DupIndexes += '|';
  }
  return report;
}

int32_t PointList::Decimate(double Radius, bool VerifyZ, bool KeepsAverage) {
  const NearRule rule{Radius, VerifyZ};
  const int32_t before = count();
  // A point whose T is already -1 counts as removed from the start.
  std::vector<uint8_t> alive(points_.size(), 0);
  for (size_t i = 1; i < points_.size(); ++i) alive[i] = points_[i].T != -1;

  // Averages are computed from positions before averaging; a point's own
  // position is never read again once its scan is over, so it can be
  // replaced as soon as its cluster is complete.
  int32_t current = 0;
  PointRec sum{};
  double members = 0;
  const auto finish = [&]() {
    if (KeepsAverage && members > 1) {
      PointRec& p = points_[static_cast<size_t>(current)];
      p.X = sum.X / members;
      p.Y = sum.Y / members;
      p.Z = sum.Z / members;
    }
  };
  const std::span<const PointRec> view(points_);
  GreedyPass(view, alive, rule, [&](int32_t i, int32_t j) {
    if (i != current) {
      finish();
      current = i;
      sum = view[static_cast<size_t>(i)];
      members = 1;
    }
    const PointRec& q = view[static_cast<size_t>(j)];
    sum.X += q.X;
    sum.Y += q.Y;
    sum.Z += q.Z;
    members += 1;
    if (j <= PointPropertyCount()) pointProps_.SetRemoved(static_cast<size_t>(j), true);
  });
  finish();

  size_t kept = 1;
  for (size_t i = 1; i < points_.size(); ++i)
    if (alive[i]) points_[kept++] = points_[i];
  points_.resize(kept);
  index_.Clear();
  UpdateBounds();
  return before - count();
}

std::optional<PointList> PointList::GetConvexHull() const {
  const int32_t n = count();
  if (n == 0) return std::nullopt;
  constexpr double kPi = std::numbers::pi;

  int32_t S = 1, E = 1;
  for (int32_t i = 2; i <= n; ++i) {
    if (points_[static_cast<size_t>(i)].X < points_[static_cast<size_t>(S)].X) S = i;
    if (points_[static_cast<size_t>(i)].X > points_[static_cast<size_t>(E)].X) E = i;
  }

  // Azimuth of P - C clockwise from north in [0, 2*pi) radians; 999 for a
  // coincident point so that it is never picked.
  const auto azimuth = [](const PointRec& C, const PointRec& P) {
    const double dx = P.X - C.X, dy = P.Y - C.Y;
    if (dy == 0) return dx > 0 ? kPi / 2 : dx < 0 ? 3 * kPi / 2 : 999.0;
    double a = std::atan(dx / dy);
    if (dy < 0) a += kPi;
    if (a < 0) a += 2 * kPi;
    return a;
  };

  // Gift wrapping, O(n * h) for h hull points: from the current point take
  // the smallest azimuth (lowest index on ties) up to E, then the smallest
  // azimuth turned by half a circle back to S.
  std::vector<int32_t> hull{S};
  int32_t C = S;
  bool secondHalf = false, closed = false;
  for (int32_t step = 0; step < n && !closed; ++step) {
    double best = 100;
    int32_t pick = 0;
    const PointRec& c = points_[static_cast<size_t>(C)];
    for (int32_t i = 1; i <= n; ++i) {
      if (i == C) continue;
      double a = azimuth(c, points_[static_cast<size_t>(i)]);
      if (secondHalf) {
        a += kPi;
        if (a >= 2 * kPi) a -= 2 * kPi;
      }
      if (a < best) {
        best = a;
        pick = i;
      }
    }
    if (pick == 0) break;  // every other point coincides with C
    hull.push_back(pick);
    C = pick;
    if (C == E) secondHalf = true;
    if (C == S) closed = true;
  }

  PointList result;
  result.Model = PointListModel::Boundary;
  if (closed) {
    for (int32_t i : hull) {
      const PointRec& p = points_[static_cast<size_t>(i)];
      result.AddVertex(p.X, p.Y, p.Z, p.T);
    }
    return result;
  }
  // No closure: the extents' rectangle at the lowest elevation, T = 0, not
  // closed by a repeated point.
  const ExtentsRec& e = extents_;
  const PointRec corners[4] = {{e.Min.X, e.Min.Y, e.Min.Z, 0},
                               {e.Min.X, e.Max.Y, e.Min.Z, 0},
                               {e.Max.X, e.Max.Y, e.Min.Z, 0},
                               {e.Max.X, e.Min.Y, e.Min.Z, 0}};
  for (const PointRec& p : corners) {
    result.points_.push_back(p);
    GrowExtents(result.extents_, p);
  }
  return result;
}

PointList::Intersection PointList::GetIntersectingPoint(double x1, double y1, double x2, double y2,
                                                        int32_t NumberOfIntersection,
                                                        bool CheckOnly) const {
  Intersection out;
  const int32_t n = count();
  int32_t hits = 0;
  bool last = false;
  // When the walk runs out, it stops past the last segment (at count, or at
  // 1 for a list without segments).
  int32_t stop = std::max(n, 1);
  for (int32_t i = 1; i <= n - 1; ++i) {
    const PointRec& a = points_[static_cast<size_t>(i)];
    const PointRec& b = points_[static_cast<size_t>(i + 1)];
    last = SegmentsCross(a.X, a.Y, b.X, b.Y, x1, y1, x2, y2);
    if (!last) continue;
    ++hits;
    if (!CheckOnly) {
      // Crossing of the two lines, as a fraction along a -> b. Parallel
      // segments (collinear ones pass the straddle test) meet at the first
      // end that lies within the other segment's box.
      const double ux = b.X - a.X, uy = b.Y - a.Y, vx = x2 - x1, vy = y2 - y1;
      const double den = ux * vy - uy * vx;
      if (den != 0) {
        const double t = ((x1 - a.X) * vy - (y1 - a.Y) * vx) / den;
        out.XI = a.X + t * ux;
        out.YI = a.Y + t * uy;
      } else {
        const auto within = [](double px, double py, double ax, double ay, double bx, double by) {
          return px >= std::min(ax, bx) && px <= std::max(ax, bx) && py >= std::min(ay, by) &&
                 py <= std::max(ay, by);
        };
        if (within(x1, y1, a.X, a.Y, b.X, b.Y)) {
          out.XI = x1, out.YI = y1;
        } else if (within(x2, y2, a.X, a.Y, b.X, b.Y)) {
          out.XI = x2, out.YI = y2;
        } else if (within(b.X, b.Y, x1, y1, x2, y2)) {
          out.XI = b.X, out.YI = b.Y;
        } else {
          out.XI = a.X, out.YI = a.Y;
        }
      }
    }
    if (hits == NumberOfIntersection) {
      stop = i;
      break;
    }
  }
  out.Hit = last;
  out.Idx1 = stop;
  out.Idx2 = stop + 1;
  return out;
}

}  // namespace orvane
