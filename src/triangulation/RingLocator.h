#pragma once
// Where many points lie against one closed ring, as far as the clipping and
// the choice of work points ask it of the kernel's PointInPolygon (winding
// angles in single precision, on-vertex and on-edge tolerances): strictly
// inside, on the ring (a vertex or an edge), or neither. The answer is
// exactly the kernel's, in time near-constant per point and near-linear in
// the ring's size to prepare, so a boundary of a hundred thousand vertices
// costs what a square does.
//
// Only the edges near a point can make the kernel call it on a vertex or on
// an edge, and those few are put to the kernel itself. Elsewhere the kernel's
// angle sum is 2 pi times the winding number up to its rounding (at most
// about 2.4e-7 per edge, which for up to kMaxEdges edges is far below the pi
// that separates a winding of 0 from one of +-1), so it answers "inside"
// exactly when the winding number is not zero. The winding number is counted
// exactly: each cell of a grid over the ring holds the winding number of a
// reference point of its own, and a point adds the signed crossings, decided
// by exact orientation tests, of the segment from that reference point with
// the few edges of its cell.
//
// Open rings (last entry not equal to the first), rings with non-finite
// vertices and rings longer than kMaxEdges are answered by the kernel.

#include <cstdint>
#include <span>
#include <vector>

#include "core/Kernels.h"
#include "core/Records.h"

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
  struct Cell {
    int64_t col, row;
  };
  Place KernelPlace(double X, double Y) const;
  Cell CellOf(double X, double Y) const;
  XYRec Reference(size_t cell, int candidate) const;
  bool OnAnEdgeOf(size_t cell, XYRec p) const;
  int Crossings(size_t cell, XYRec from, XYRec to) const;

  std::vector<XYRec> ring_;
  bool fast_ = false;
  double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
  double cell_ = 1;
  int64_t cols_ = 1, rows_ = 1;
  // Per cell, the edges (ring index of their first vertex) within their
  // margin of it (CSR), the winding number at its reference point and which
  // candidate that point is (-1: every candidate lies on the ring).
  std::vector<int32_t> cellStart_, cellEdges_;
  std::vector<int32_t> winding_;
  std::vector<int8_t> reference_;
  std::vector<double> margin_;  // per ring edge
};

}  // namespace orvane
