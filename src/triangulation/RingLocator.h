#pragma once
// Point-in-polygon answers for many points against one ring, equal to the
// kernel's PointInPolygon (winding angles in single precision, on-vertex and
// on-edge tolerances), but in near-constant time per point.
//
// Points within a generous margin of an edge or vertex are answered by the
// kernel itself. Everywhere else the kernel's angle sum is 2 pi times the
// winding number up to rounding (at most about 4e-7 per edge, far below its
// 0.001 and pi thresholds for rings of up to kMaxFastEdges edges), so the
// answer is Inside when the exact winding number is non-zero and Outside
// otherwise; the winding number is counted with exact orientation tests over
// the edges of the point's horizontal slab. Open rings (last entry not equal
// to the first) and very long rings are answered by the kernel throughout.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/Kernels.h"
#include "core/Records.h"

namespace orvane {

class RingLocator {
 public:
  static constexpr size_t kMaxFastEdges = 2400;

  explicit RingLocator(std::span<const XYRec> ring);

  // Exactly PointInPolygon(ring, X, Y).
  std::optional<PolygonLocation> Locate(double X, double Y) const;

 private:
  bool NearRing(double X, double Y) const;
  int WindingNumber(double X, double Y) const;

  std::vector<XYRec> ring_;
  bool fast_ = false;
  double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
  // Near-test grid: per cell, the edges whose margin box overlaps it (CSR).
  double cell_ = 1;
  int64_t cols_ = 1, rows_ = 1;
  std::vector<int32_t> cellStart_, cellEdges_;
  std::vector<double> margin_;  // per edge
  // Winding slabs: per horizontal slab, the edges spanning it (CSR).
  double slabH_ = 1;
  int64_t slabs_ = 1;
  std::vector<int32_t> slabStart_, slabEdges_;
};

}  // namespace orvane
