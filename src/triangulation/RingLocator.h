#pragma once
// Where many points lie against one closed ring, as far as the clipping and
// the choice of work points ask it of the kernel's PointInPolygon (winding
// angles in single precision, on-vertex and on-edge tolerances): strictly
// inside, on the ring (a vertex or an edge), or neither. The answer is
// exactly the kernel's, in time near-constant per point and near-linear in
// the ring's size to prepare, where the kernel takes the ring's size for
// every point.
//
// Only the edges near a point can make the kernel call it on a vertex or on
// an edge, and those few are tested as it tests them: its vertex box, and
// the angle under which the point sees the edge (the kernel itself where
// that angle is within its rounding of the threshold). Elsewhere the kernel's
// angle sum is 2 pi times the winding number up to its rounding (at most
// about 2.4e-7 per edge, which for up to kMaxEdges edges is far below the pi
// that separates a winding of 0 from one of +-1), so it answers "inside"
// exactly when the winding number is not zero. The winding number is counted
// exactly: each cell of a grid over the ring holds the winding number of a
// reference point of its own, and a point adds the signed crossings, decided
// by exact orientation tests, of the segment from that reference point with
// the few edges of its cell. A cell that a dense run of short edges crowds
// holds a finer grid of its own, built the same way from its reference
// point, so that a cell's edges stay few however unevenly the ring is
// spaced.
//
// Open rings (last entry not equal to the first), rings with non-finite
// vertices and rings longer than kMaxEdges are answered by the kernel.

#include <cstdint>
#include <span>
#include <vector>

#include "core/geometry/Kernels.h"
#include "core/storage/Records.h"

namespace orvane {

class RingLocator {
 public:
  static constexpr size_t kMaxEdges = 2'000'000;

  enum class Place : uint8_t {
    Outside,  // PointInPolygon: Outside, or its inconclusive sum
    OnRing,   // OnVertex or OnEdge
    Inside,
  };

  explicit RingLocator(std::span<const XYRec> ring);

  Place Classify(double X, double Y) const;

 private:
  // A grid over a rectangle. Its cells are cells base.. of the pooled
  // per-cell lists: the edges (ring index of their first vertex) within
  // their margin of the cell (CSR over all grids), the winding number at the
  // cell's reference point and which candidate that point is (-1: every
  // candidate lies on the ring), and the finer grid that stands in for a
  // cell crowded with edges (-1: none).
  struct Grid {
    double minX = 0, minY = 0, cell = 1;
    int64_t cols = 1, rows = 1;
    size_t base = 0;
  };
  Place KernelPlace(double X, double Y) const;
  // Adds grid g's cells (its frame already set) with `edges`; each row's
  // winding numbers start from `from` (winding `w`), whose segment to any
  // point of the grid crosses only the edges of `fromEdges` or, when
  // leftOfGrid, of the cells of the row up to the point's.
  void Fill(size_t g, std::span<const int32_t> edges, XYRec from, int w,
            std::span<const int32_t> fromEdges, bool leftOfGrid, int depth);
  // Fill's steps: the cells each edge reaches, their pooled lists, the
  // reference windings, and the finer grids of crowded cells.
  struct Piece {
    int64_t first, last;  // cells of the grid, row-major
    int32_t edge;
  };
  std::vector<Piece> CellPieces(const Grid& grid, std::span<const int32_t> edges) const;
  void PoolEdges(const Grid& grid, std::span<const Piece> pieces);
  void ReferenceWindings(const Grid& grid, XYRec from, int w, std::span<const int32_t> fromEdges,
                         bool leftOfGrid);
  void Refine(const Grid& grid, int depth);
  size_t CellOf(const Grid& grid, double X, double Y) const;
  XYRec Reference(const Grid& grid, size_t local, int candidate) const;
  bool OnAnEdge(std::span<const int32_t> edges, XYRec p) const;
  int Crossings(std::span<const int32_t> edges, XYRec from, XYRec to) const;
  std::span<const int32_t> EdgesOf(size_t cell) const;

  std::vector<XYRec> ring_;
  bool fast_ = false;
  double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0, slack_ = 0;
  std::vector<Grid> grids_;  // [0] covers the ring
  std::vector<int32_t> start_, edges_, winding_, finer_;
  std::vector<int8_t> reference_;
  std::vector<float> margin_;   // per ring edge
  std::vector<uint32_t> seen_;  // construction scratch, per ring edge
  uint32_t round_ = 0;
};

}  // namespace orvane
