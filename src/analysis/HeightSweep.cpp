#include "analysis/HeightSweep.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "core/geometry/Kernels.h"
#include "core/geometry/TriangleInterpolation.h"
#include "core/support/Threads.h"

namespace orvane {

namespace {

struct FiledQuery {
  double X, Y;
  uint32_t slot;  // position in the caller's list
};

// Column (or row) of a coordinate: floor((v - lo) * scale), clamped to the
// grid. Monotone in v, so the cells of a box's corners span the cell of
// every position inside the box.
struct Axis {
  double lo = 0, scale = 0;
  int32_t cells = 1;

  int32_t Of(double v) const {
    if (cells == 1) return 0;
    // Clamped first, so that truncation is the floor (and no call to it).
    const double c = std::clamp((v - lo) * scale, 0.0, static_cast<double>(cells - 1));
    return static_cast<int32_t>(c);  // never NaN: v, lo and scale are finite
  }
};

// The finite queries filed by cell, row by row; about one per cell (finer
// cells cost more rows per triangle, coarser ones more queries to look at).
struct QueryGrid {
  double xlo = 0, ylo = 0, xhi = 0, yhi = 0;  // the queries' plan box
  Axis x, y;
  std::vector<uint32_t> first;  // cell -> its first query; one more at the end
  std::vector<FiledQuery> filed;

  // false when the box is not of finite size.
  bool Build(std::span<const XYRec> queries);
};

// Cells along an axis of the given extents so that nx * ny is about
// `cells`, as square as the box allows.
void Shape(double w, double h, double cells, Axis& x, Axis& y) {
  double nx = 1, ny = 1;
  if (w > 0 && h > 0) {
    nx = std::clamp(std::round(std::sqrt(cells * (w / h))), 1.0, cells);
    ny = std::clamp(std::floor(cells / nx), 1.0, cells);
  } else if (w > 0) {
    nx = cells;
  } else if (h > 0) {
    ny = cells;
  }
  const auto fit = [](Axis& a, double lo, double width, double n) {
    a.lo = lo;
    a.scale = n / width;
    a.cells = static_cast<int32_t>(n);
    if (a.cells < 2 || !std::isfinite(a.scale)) a = {lo, 0, 1};
  };
  fit(x, x.lo, w, nx);
  fit(y, y.lo, h, ny);
}

}  // namespace

QueryBox FiniteBox(std::span<const XYRec> queries) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  QueryBox box{kInf, kInf, -kInf, -kInf};
  for (const XYRec& q : queries)
    if (std::isfinite(q.X) && std::isfinite(q.Y)) {
      box.xlo = std::min(box.xlo, q.X);
      box.xhi = std::max(box.xhi, q.X);
      box.ylo = std::min(box.ylo, q.Y);
      box.yhi = std::max(box.yhi, q.Y);
      ++box.finite;
    }
  return box;
}

namespace {

bool QueryGrid::Build(std::span<const XYRec> queries) {
  const QueryBox box = FiniteBox(queries);
  const size_t finite = box.finite;
  xlo = box.xlo;
  ylo = box.ylo;
  xhi = box.xhi;
  yhi = box.yhi;
  if (finite == 0) return true;
  if (!std::isfinite(xhi - xlo) || !std::isfinite(yhi - ylo)) return false;
  x.lo = xlo;
  y.lo = ylo;
  Shape(xhi - xlo, yhi - ylo, std::max(1.0, static_cast<double>(finite)), x, y);

  // Counting sort by cell.
  constexpr uint32_t kUnfiled = std::numeric_limits<uint32_t>::max();
  const size_t cells = static_cast<size_t>(x.cells) * static_cast<size_t>(y.cells);
  std::vector<uint32_t> cellOf(queries.size(), kUnfiled);
  first.assign(cells + 1, 0);
  for (size_t i = 0; i < queries.size(); ++i) {
    const XYRec& q = queries[i];
    if (!(std::isfinite(q.X) && std::isfinite(q.Y))) continue;
    cellOf[i] = static_cast<uint32_t>(static_cast<size_t>(y.Of(q.Y)) * x.cells + x.Of(q.X));
    ++first[cellOf[i] + 1];
  }
  for (size_t c = 0; c < cells; ++c) first[c + 1] += first[c];
  filed.resize(finite);
  std::vector<uint32_t> next(first.begin(), first.end() - 1);
  for (size_t i = 0; i < queries.size(); ++i)
    if (cellOf[i] != kUnfiled)
      filed[next[cellOf[i]]++] = {queries[i].X, queries[i].Y, static_cast<uint32_t>(i)};
  return true;
}

// Each filed query's first containing triangle within a range of the list,
// and the height there.
struct Claims {
  std::vector<int32_t> triangle;  // 0: none yet
  std::vector<double> height;
  explicit Claims(size_t n) : triangle(n, 0), height(n, 0) {}
};

bool Finite(const PointRec& p) {
  return std::isfinite(p.X) && std::isfinite(p.Y);
}

// Triangle t claims the unclaimed queries of its cells that it contains.
// Returns the work done: the rows of cells it covers and the queries
// looked at.
size_t Claim(const TriangleRec& tri, int32_t t, const QueryGrid& g, Claims& claims) {
  const double xlo = MinOf(tri.A.X, MinOf(tri.B.X, tri.C.X));
  const double xhi = MaxOf(tri.A.X, MaxOf(tri.B.X, tri.C.X));
  const double ylo = MinOf(tri.A.Y, MinOf(tri.B.Y, tri.C.Y));
  const double yhi = MaxOf(tri.A.Y, MaxOf(tri.B.Y, tri.C.Y));
  if (xhi < g.xlo || xlo > g.xhi || yhi < g.ylo || ylo > g.yhi) return 0;
  const int32_t c0 = g.x.Of(xlo), c1 = g.x.Of(xhi), r0 = g.y.Of(ylo), r1 = g.y.Of(yhi);
  // The queries in the box are gathered first, without a branch per query
  // (whether one is in the box is all but random), then tested.
  constexpr size_t kGather = 32;
  uint32_t inBox[kGather];
  size_t gathered = 0;
  std::optional<PreparedTriangle> prepared;
  const auto test = [&] {
    if (!prepared) prepared.emplace(tri);
    for (size_t i = 0; i < gathered; ++i) {
      const uint32_t k = inBox[i];
      if (const std::optional<double> z = prepared->HeightIfContains(g.filed[k].X, g.filed[k].Y)) {
        claims.triangle[k] = t;
        claims.height[k] = *z;
      }
    }
    gathered = 0;
  };
  size_t work = 0;
  for (int32_t r = r0; r <= r1; ++r) {
    const size_t row = static_cast<size_t>(r) * static_cast<size_t>(g.x.cells);
    const uint32_t begin = g.first[row + c0], end = g.first[row + c1 + 1];
    work += 1 + (end - begin);
    for (uint32_t k = begin; k < end; ++k) {
      const FiledQuery& q = g.filed[k];
      inBox[gathered] = k;
      gathered +=
          (claims.triangle[k] == 0) & (q.X >= xlo) & (q.X <= xhi) & (q.Y >= ylo) & (q.Y <= yhi);
      if (gathered == kGather) test();
    }
  }
  if (gathered > 0) test();
  return work;
}

// Claims for triangles from..to - 1 in index order; false when a triangle
// has a coordinate that is not finite or the work passes `budget`.
bool Sweep(std::span<const TriangleRec> triangles, size_t from, size_t to, const QueryGrid& g,
           size_t budget, Claims& claims) {
  size_t work = 0;
  for (size_t t = from; t < to; ++t) {
    const TriangleRec& tri = triangles[t];
    if (!Finite(tri.A) || !Finite(tri.B) || !Finite(tri.C)) return false;
    work += Claim(tri, static_cast<int32_t>(t), g, claims);
    if (work > budget) return false;
  }
  return true;
}

}  // namespace

bool SweepHeights(std::span<const TriangleRec> triangles, std::span<const XYRec> queries,
                  double DefaultValue, std::span<int32_t> under, std::span<double> heights) {
  // Cell, query and triangle numbers are 32-bit.
  constexpr auto kMost = static_cast<size_t>(std::numeric_limits<int32_t>::max());
  if (triangles.size() < 2 || triangles.size() > kMost || queries.size() > kMost) return false;
  QueryGrid grid;
  if (!grid.Build(queries)) return false;
  const size_t n = triangles.size() - 1, q = grid.filed.size();
  if (q == 0) {
    std::fill(heights.begin(), heights.end(), DefaultValue);
    std::fill(under.begin(), under.end(), 0);
    return true;
  }
  // On a survey surface each triangle looks at a few queries; far more
  // means long thin or piled-up triangles, or queries crowded where the
  // triangles are small, which the index handles better.
  const size_t budget = 16 * (n + q) + (size_t{1} << 20);
  // Two halves of the list on two threads, each claiming for itself; a
  // query takes the first half's triangle when it has one. One thread gives
  // the same answers from one pass.
  const bool two = TwoThreads() && n >= 2;
  const size_t half = two ? 1 + n / 2 : n + 1;
  std::optional<Claims> low, high;  // each cleared by the thread that fills it
  bool lowDone = false, highDone = !two;
  const auto sweepLow = [&] { lowDone = Sweep(triangles, 1, half, grid, budget, low.emplace(q)); };
  if (two)
    RunBoth([&] { highDone = Sweep(triangles, half, n + 1, grid, budget, high.emplace(q)); },
            sweepLow);
  else
    sweepLow();
  if (!lowDone || !highDone) return false;

  std::fill(heights.begin(), heights.end(), DefaultValue);
  std::fill(under.begin(), under.end(), 0);
  for (size_t k = 0; k < q; ++k) {
    const Claims* by =
        low->triangle[k] != 0 ? &*low : (high && high->triangle[k] != 0 ? &*high : nullptr);
    if (!by) continue;
    const uint32_t slot = grid.filed[k].slot;
    heights[slot] = by->height[k];
    if (!under.empty()) under[slot] = by->triangle[k];
  }
  return true;
}

}  // namespace orvane
