#pragma once
// Spatial index over a mesh's triangles, answering "the lowest-numbered
// triangle near (X, Y) that passes a test" without a scan of the whole mesh.
//
// Every triangle gets a plan box widened by a margin large enough that no
// point the point-in-triangle classifier could accept lies outside it (see
// TriangleIndex.cpp for the bound). The boxes are filed in a hierarchy of
// square grids: level k has cells 2^k times as wide as the box size that
// nine boxes in ten do not exceed, and a triangle is filed at the first level
// whose cells are at least as wide as its box, so it touches at most 2 x 2
// cells (3 x 3 under rounding). A level is a dense array when its occupied
// cells fill a compact window, else a hash of its occupied cells, so memory
// stays linear in the triangle count whatever the shapes and distances (one
// huge triangle, a stray point far away). Triangles
// whose box cannot be computed safely (non-finite or astronomically large
// coordinates) go to a short list tested on every query.
//
// The index is a snapshot: any edit of the triangles invalidates it (the mesh
// drops it and rebuilds it on the next query).

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "core/geometry/CellHash.h"
#include "core/storage/Records.h"

namespace orvane {

class TriangleIndex {
 public:
  // triangles: the mesh's list, slot 0 ahead of entry 1.
  explicit TriangleIndex(std::span<const TriangleRec> triangles);

  // The lowest 1-based index t whose widened box holds every one of the
  // points and for which accept(t) is true; 0 when there is none. The cell
  // of the first point is searched, its candidates in ascending order, so
  // accept runs on few triangles.
  // REQUIRES: at least one point, all finite; accept(t) is false whenever a
  // point lies farther from triangle t than the classifier's reach (0.001
  // from a vertex, the angular on-edge band, or inside).
  template <class Accept>
  int32_t FirstAccepted(std::span<const XYRec> points, Accept&& accept) const;
  template <class Accept>
  int32_t FirstAccepted(double X, double Y, Accept&& accept) const {
    const XYRec p{X, Y};
    return FirstAccepted(std::span<const XYRec>(&p, 1), accept);
  }

  // Width of the finest cells, metres (0 when no triangle is filed), and
  // the levels in use: cells of level k are BaseCellSize() * 2^k wide, with
  // borders at the integer multiples of that width. For tests and benchmarks.
  double BaseCellSize() const { return baseCell_; }
  std::vector<int> Levels() const;
  size_t EntryCount() const { return entries_.size() + global_.size(); }

 private:
  // One filing of a triangle in a cell, with its widened box stored beside
  // it so that rejecting a candidate touches no other memory. The box is
  // relative to the cell's lower-left corner, in 32-bit floats rounded
  // outwards (never smaller than the true box).
  struct Entry {
    int32_t t;
    float xlo, ylo, xhi, yhi;
  };
  struct GlobalEntry {
    int32_t t;
    double xlo, ylo, xhi, yhi;  // absolute; infinite when unknown
  };
  // One level of the hierarchy. A level whose occupied cells fill a compact
  // window (at most a few times as many cells as entries) is a dense array,
  // the usual case for a survey surface; a scattered one is hashed.
  struct Level {
    int level = 0;
    double cell = 0;  // metres
    bool dense = false;
    int64_t i0 = 0, j0 = 0, ni = 0, nj = 0;  // dense window, in cells
    uint32_t firstCell = 0;                  // dense: id of cell (i0, j0), then row by row
  };
  static constexpr int kMaxLevel = 200;
  struct Builder;

  // Id of cell (i, j) of level L, or CellHash::kMissing.
  uint32_t CellId(const Level& L, int64_t i, int64_t j) const;

  std::vector<GlobalEntry> global_;  // triangles tested on every query, ascending
  double baseCell_ = 0;              // metres
  std::vector<Level> levels_;        // ascending
  CellHash cells_;                   // cells of the hashed levels
  uint32_t hashedBase_ = 0;          // id of hashed cell h is hashedBase_ + h
  std::vector<uint32_t> offsets_;    // cell id -> first entry; one more at the end
  std::vector<Entry> entries_;       // ascending triangle index within a cell
};

inline uint32_t TriangleIndex::CellId(const Level& L, int64_t i, int64_t j) const {
  if (L.dense) {
    if (i < L.i0 || j < L.j0 || i - L.i0 >= L.ni || j - L.j0 >= L.nj) return CellHash::kMissing;
    return L.firstCell + static_cast<uint32_t>((i - L.i0) * L.nj + (j - L.j0));
  }
  const uint32_t id = cells_.Find(L.level, i, j);
  return id == CellHash::kMissing ? id : hashedBase_ + id;
}

template <class Accept>
int32_t TriangleIndex::FirstAccepted(std::span<const XYRec> points, Accept&& accept) const {
  int32_t best = std::numeric_limits<int32_t>::max();
  auto inGlobalBox = [&](const GlobalEntry& g) {
    for (const XYRec& p : points)
      if (p.X < g.xlo || p.X > g.xhi || p.Y < g.ylo || p.Y > g.yhi) return false;
    return true;
  };
  for (const GlobalEntry& g : global_) {
    if (g.t >= best) break;
    if (inGlobalBox(g) && accept(g.t)) {
      best = g.t;
      break;
    }
  }
  constexpr size_t kMaxPoints = 3;
  double rx[kMaxPoints], ry[kMaxPoints];
  const size_t np = points.size() < kMaxPoints ? points.size() : kMaxPoints;
  for (const Level& L : levels_) {
    const int64_t i = CellCoordinate(points[0].X, L.cell), j = CellCoordinate(points[0].Y, L.cell);
    const uint32_t id = CellId(L, i, j);
    if (id == CellHash::kMissing) continue;
    // The same subtraction as when filing, so the rounding agrees.
    for (size_t k = 0; k < np; ++k) {
      rx[k] = points[k].X - static_cast<double>(i) * L.cell;
      ry[k] = points[k].Y - static_cast<double>(j) * L.cell;
    }
    const Entry* e = entries_.data() + offsets_[id];
    const Entry* last = entries_.data() + offsets_[id + 1];
    for (; e != last; ++e) {
      if (e->t >= best) break;
      bool inside = true;
      for (size_t k = 0; k < np && inside; ++k)
        inside = rx[k] >= e->xlo && rx[k] <= e->xhi && ry[k] >= e->ylo && ry[k] <= e->yhi;
      if (inside && accept(e->t)) {
        best = e->t;
        break;
      }
    }
  }
  return best == std::numeric_limits<int32_t>::max() ? 0 : best;
}

}  // namespace orvane
