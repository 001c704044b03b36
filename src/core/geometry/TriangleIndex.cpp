#include "core/geometry/TriangleIndex.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>

#include "core/model/TriangleMesh.h"
#include "core/support/Threads.h"

namespace orvane {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr uint8_t kUnfiled = 0xFF;
// Meshes from this many triangles build their index on two threads.
constexpr size_t kHalvesFrom = size_t{1} << 14;

// The plan box of a triangle widened so that it holds every point the
// point-in-triangle classifier can accept for it, or false when no such
// finite box can be trusted (the triangle is then tested on every query).
//
// What the classifier accepts, with L the longest edge:
//  - points within 0.001 in X and Y of a vertex;
//  - points that see an edge under an angle within 0.001 rad of pi: a lens
//    around the edge whose half-width is L/2 tan(0.0005), about 0.00025 L;
//  - points whose angle sum over the edges A-B and B-C exceeds pi: the
//    triangle itself, plus a sliver along C-A as wide as the rounding of
//    the angles (32-bit, ~1e-7 rad) allows.
// Rounding of the coordinate differences adds an absolute error of about
// 1e-16 M (M the largest coordinate magnitude), seen from at least 0.001 away
// (nearer points are vertex hits), i.e. an angular error up to ~1e-13 M rad.
// The margin covers all of it with room to spare: 0.002 + eps + L * tol with
// tol >= 0.0012 rad bounds the lens half-width (<= L tol while tol <= 0.5).
bool WidenedBox(const TriangleRec& t, double& xlo, double& ylo, double& xhi, double& yhi) {
  const double xs[3] = {t.A.X, t.B.X, t.C.X};
  const double ys[3] = {t.A.Y, t.B.Y, t.C.Y};
  xlo = std::min({xs[0], xs[1], xs[2]});
  xhi = std::max({xs[0], xs[1], xs[2]});
  ylo = std::min({ys[0], ys[1], ys[2]});
  yhi = std::max({ys[0], ys[1], ys[2]});
  if (!std::isfinite(xlo) || !std::isfinite(xhi) || !std::isfinite(ylo) || !std::isfinite(yhi))
    return false;
  const double magnitude = std::max({std::abs(xlo), std::abs(xhi), std::abs(ylo), std::abs(yhi)});
  double longest = 0;  // |dx| + |dy| >= the edge length
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    longest = std::max(longest, std::abs(xs[i] - xs[j]) + std::abs(ys[i] - ys[j]));
  }
  const double eps = 1e-15 * magnitude;
  const double tol = 0.0012 + 1e4 * eps;
  if (!(tol <= 0.5)) return false;
  const double margin = 0.002 + eps + longest * tol;
  xlo -= margin;
  ylo -= margin;
  xhi += margin;
  yhi += margin;
  return std::isfinite(margin) && std::isfinite(xlo) && std::isfinite(xhi) && std::isfinite(ylo) &&
         std::isfinite(yhi);
}

// The nearest float not above (below) v; infinite beyond the float range,
// so that a box rounded this way never shrinks.
float FloatBelow(double v) {
  if (!(v > -1e30)) return -std::numeric_limits<float>::infinity();
  if (v > 1e30) return 1e30f;
  const float f = static_cast<float>(v);
  if (static_cast<double>(f) <= v) return f;
  // One float down: f is finite here, and 0 (of either sign) steps to the
  // smallest negative float.
  if (f == 0) return -std::numeric_limits<float>::denorm_min();
  const auto bits = std::bit_cast<uint32_t>(f);
  return std::bit_cast<float>(f > 0 ? bits - 1 : bits + 1);
}
float FloatAbove(double v) {
  if (!(v < 1e30)) return std::numeric_limits<float>::infinity();
  if (v < -1e30) return -1e30f;
  const float f = static_cast<float>(v);
  if (static_cast<double>(f) >= v) return f;
  if (f == 0) return std::numeric_limits<float>::denorm_min();
  const auto bits = std::bit_cast<uint32_t>(f);
  return std::bit_cast<float>(f > 0 ? bits + 1 : bits - 1);
}

// First level whose cells (c0 * 2^level) are at least `size` wide, or -1
// when that is beyond the last level.
int LevelFor(double size, double c0, int maxLevel) {
  const double ratio = size / c0;
  if (!std::isfinite(ratio)) return -1;
  int level = 0;
  if (ratio > 1) std::frexp(ratio, &level);  // 2^(level-1) <= ratio < 2^level
  while (level > 0 && std::ldexp(c0, level - 1) >= size) --level;
  while (level <= maxLevel && std::ldexp(c0, level) < size) ++level;
  return level <= maxLevel ? level : -1;
}

}  // namespace

// Builds an index in passes: the widened boxes, the size of the finest
// cells, each triangle's level and cells, the layout of the levels (dense or
// hashed), then the cells' entry lists; the triangles no level takes go to the
// list tested on every query. On a large mesh the per-triangle passes run on
// two threads, each on one half of the list (`mid` starts the second): each
// half writes only its own triangles' records, and the second half's entries
// go after the first half's in every cell, so the index is the one a single
// thread builds.
struct TriangleIndex::Builder {
  struct Box {
    double xlo, ylo, xhi, yhi;
  };
  struct Stats {
    bool used = false;
    int64_t imin = 0, imax = 0, jmin = 0, jmax = 0;
    double entries = 0;
  };
  // A triangle's cells: i0..i0+di x j0..j0+dj of its level.
  struct Filing {
    int64_t i0, j0;
    uint8_t di, dj;
  };

  TriangleIndex& index;
  size_t n;
  size_t mid;  // first triangle of the second half; n + 1 on one thread
  std::vector<Box> boxes;
  std::vector<uint8_t> level;
  std::vector<Filing> filing;
  std::vector<Stats> stats;
  std::vector<uint32_t> lowCounts;  // cell id -> entries of the first half's triangles
  std::vector<int> slot;            // level -> its position in index.levels_
  bool anyBox = false;              // some triangle has a trusted box: the levels are built

  Builder(TriangleIndex& into, std::span<const TriangleRec> triangles)
      : index(into),
        n(triangles.empty() ? 0 : triangles.size() - 1),
        mid(n >= kHalvesFrom && TwoThreads() ? 1 + n / 2 : n + 1),
        boxes(n + 1, Box{-kInf, -kInf, kInf, kInf}),
        level(n + 1, kUnfiled) {
    std::vector<double> sizes, high;
    InHalves([&] { high = Widen(triangles, mid, n + 1); },
             [&] { sizes = Widen(triangles, 1, mid); });
    sizes.insert(sizes.end(), high.begin(), high.end());
    if (sizes.empty()) return;
    anyBox = true;
    // The finest cells are as wide as nine boxes in ten: most triangles sit
    // on one level, touching at most 2 x 2 of its cells, and a query visits
    // few levels. When even the largest box is not twice that wide, one
    // level of cells as wide as the largest box serves everything.
    auto pick = sizes.begin() + static_cast<std::ptrdiff_t>(sizes.size() * 9 / 10);
    std::nth_element(sizes.begin(), pick, sizes.end());
    const double largest = *std::max_element(pick, sizes.end());
    index.baseCell_ = largest <= 2 * *pick ? largest : *pick;
  }

  // Runs high (the second half's part) beside low where there are two
  // halves.
  template <class High, class Low>
  void InHalves(High&& high, Low&& low) const {
    if (mid <= n)
      RunBoth(high, low);
    else
      low();
  }

  // The widened boxes of triangles from..to - 1, and the sizes (the larger
  // side) of the trusted ones.
  std::vector<double> Widen(std::span<const TriangleRec> triangles, size_t from, size_t to) {
    std::vector<double> sizes;
    sizes.reserve(to - from);
    for (size_t t = from; t < to; ++t) {
      Box b;
      if (WidenedBox(triangles[t], b.xlo, b.ylo, b.xhi, b.yhi)) {
        boxes[t] = b;
        sizes.push_back(std::max(b.xhi - b.xlo, b.yhi - b.ylo));
      }
    }
    return sizes;
  }

  // Each triangle's level and cells, found once for the passes below, and
  // the window and entry count of every level.
  void File() {
    filing.resize(n + 1);
    std::vector<Stats> high;
    InHalves([&] { high = FileRange(mid, n + 1); }, [&] { stats = FileRange(1, mid); });
    for (size_t k = 0; k < high.size(); ++k) {
      const Stats& h = high[k];
      Stats& s = stats[k];
      if (!h.used) continue;
      if (!s.used) {
        s = h;
        continue;
      }
      s.imin = std::min(s.imin, h.imin);
      s.imax = std::max(s.imax, h.imax);
      s.jmin = std::min(s.jmin, h.jmin);
      s.jmax = std::max(s.jmax, h.jmax);
      s.entries += h.entries;  // whole numbers: the sum is exact in any order
    }
  }

  std::vector<Stats> FileRange(size_t from, size_t to) {
    std::vector<Stats> out(kMaxLevel + 1);
    for (size_t t = from; t < to; ++t) {
      const Box& b = boxes[t];
      if (b.xlo == -kInf) continue;
      const int k = LevelFor(std::max(b.xhi - b.xlo, b.yhi - b.ylo), index.baseCell_, kMaxLevel);
      if (k < 0) continue;
      const double cell = std::ldexp(index.baseCell_, k);
      const int64_t i0 = CellCoordinate(b.xlo, cell), i1 = CellCoordinate(b.xhi, cell);
      const int64_t j0 = CellCoordinate(b.ylo, cell), j1 = CellCoordinate(b.yhi, cell);
      if (i1 - i0 > 2 || j1 - j0 > 2) continue;  // cannot happen short of rounding havoc
      level[t] = static_cast<uint8_t>(k);
      filing[t] = {i0, j0, static_cast<uint8_t>(i1 - i0), static_cast<uint8_t>(j1 - j0)};
      Stats& s = out[static_cast<size_t>(k)];
      if (!s.used) {
        s = {true, i0, i1, j0, j1, 0};
      } else {
        s.imin = std::min(s.imin, i0);
        s.imax = std::max(s.imax, i1);
        s.jmin = std::min(s.jmin, j0);
        s.jmax = std::max(s.jmax, j1);
      }
      s.entries += static_cast<double>((i1 - i0 + 1) * (j1 - j0 + 1));
    }
    return out;
  }

  // Dense levels take the first cell ids, hashed cells the ones after.
  void LayOutLevels() {
    slot.assign(kMaxLevel + 1, -1);
    uint32_t denseCells = 0;
    for (int k = 0; k <= kMaxLevel; ++k) {
      const Stats& s = stats[static_cast<size_t>(k)];
      if (!s.used) continue;
      Level L;
      L.level = k;
      L.cell = std::ldexp(index.baseCell_, k);
      const double ni = static_cast<double>(s.imax - s.imin) + 1;
      const double nj = static_cast<double>(s.jmax - s.jmin) + 1;
      L.dense = ni * nj <= 4 * s.entries + 1024 && denseCells + ni * nj < 2e9;
      if (L.dense) {
        L.i0 = s.imin;
        L.j0 = s.jmin;
        L.ni = s.imax - s.imin + 1;
        L.nj = s.jmax - s.jmin + 1;
        L.firstCell = denseCells;
        denseCells += static_cast<uint32_t>(L.ni * L.nj);
      }
      slot[static_cast<size_t>(k)] = static_cast<int>(index.levels_.size());
      index.levels_.push_back(L);
    }
    index.hashedBase_ = denseCells;
  }

  const Level& LevelOf(size_t t) const {
    return index.levels_[static_cast<size_t>(slot[level[t]])];
  }

  // Counts every cell's entries (hashing the cells of scattered levels on
  // the way) and turns the counts into offsets.
  void CountEntries() {
    std::vector<uint32_t> counts(index.hashedBase_, 0);
    for (size_t t = 1; t <= n; ++t) {
      if (level[t] == kUnfiled) continue;
      const Level& L = LevelOf(t);
      const Filing& f = filing[t];
      for (int64_t i = f.i0; i <= f.i0 + f.di; ++i)
        for (int64_t j = f.j0; j <= f.j0 + f.dj; ++j) {
          const uint32_t id =
              L.dense ? L.firstCell + static_cast<uint32_t>((i - L.i0) * L.nj + (j - L.j0))
                      : index.hashedBase_ + index.cells_.Insert(L.level, i, j);
          if (id >= counts.size()) counts.resize(id + 1, 0);
          ++counts[id];
          if (t < mid && mid <= n) {
            if (id >= lowCounts.size()) lowCounts.resize(id + 1, 0);
            ++lowCounts[id];
          }
        }
    }
    index.offsets_.assign(counts.size() + 1, 0);
    for (size_t id = 0; id < counts.size(); ++id)
      index.offsets_[id + 1] = index.offsets_[id] + counts[id];
  }

  // Triangles are visited in ascending order, so every cell's list ends up
  // ascending, which lets a query stop at its first accepted candidate.
  void FillEntries() {
    index.entries_.resize(index.offsets_.back());
    std::vector<uint32_t> cursor(index.offsets_.begin(), index.offsets_.end() - 1);
    std::vector<uint32_t> highCursor;
    if (mid <= n) {
      highCursor = cursor;
      for (size_t id = 0; id < lowCounts.size(); ++id) highCursor[id] += lowCounts[id];
    }
    InHalves([&] { FillRange(mid, n + 1, highCursor); }, [&] { FillRange(1, mid, cursor); });
  }

  void FillRange(size_t from, size_t to, std::vector<uint32_t>& cursor) {
    for (size_t t = from; t < to; ++t) {
      if (level[t] == kUnfiled) continue;
      const Level& L = LevelOf(t);
      const Box& b = boxes[t];
      const Filing& f = filing[t];
      for (int64_t i = f.i0; i <= f.i0 + f.di; ++i)
        for (int64_t j = f.j0; j <= f.j0 + f.dj; ++j) {
          const uint32_t id = index.CellId(L, i, j);
          const double x = static_cast<double>(i) * L.cell;
          const double y = static_cast<double>(j) * L.cell;
          index.entries_[cursor[id]++] = {static_cast<int32_t>(t), FloatBelow(b.xlo - x),
                                          FloatBelow(b.ylo - y), FloatAbove(b.xhi - x),
                                          FloatAbove(b.yhi - y)};
        }
    }
  }

  void ListUnfiled() {
    for (size_t t = 1; t <= n; ++t)
      if (level[t] == kUnfiled)
        index.global_.push_back(
            {static_cast<int32_t>(t), boxes[t].xlo, boxes[t].ylo, boxes[t].xhi, boxes[t].yhi});
  }
};

TriangleIndex::TriangleIndex(std::span<const TriangleRec> triangles) {
  Builder build(*this, triangles);
  if (build.anyBox) {
    build.File();
    build.LayOutLevels();
    build.CountEntries();
    build.FillEntries();
  }
  build.ListUnfiled();
}

std::vector<int> TriangleIndex::Levels() const {
  std::vector<int> out;
  for (const Level& L : levels_) out.push_back(L.level);
  return out;
}

const TriangleIndex& TriangleMesh::Index() const {
  if (!index_) index_ = std::make_shared<const TriangleIndex>(Triangles());
  return *index_;
}

}  // namespace orvane
