#pragma once
// The working triangles bucketed by their centroids on a grid, so that a
// hole is tested against the triangles whose centroid lies in its box
// instead of against every triangle: many holes cost their own sizes, not
// the surface's size each.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "triangulation/WorkTriangulation.h"

namespace orvane {

class CentroidBuckets {
 public:
  // Buckets the live triangles of tri. Their centroid is the mean of the
  // corners' X and of their Y, as the clipping computes it.
  explicit CentroidBuckets(const WorkTriangulation& tri);

  static XYRec Centroid(const WorkTriangulation& tri, const WorkTriangulation::Tri& t);

  // The triangles bucketed where a centroid in [minX, maxX] x [minY, maxY]
  // would be, and those whose centroid is not finite; a box that is not
  // finite gets every bucketed triangle. A triangle may come in any order.
  std::vector<int32_t> Candidates(double minX, double minY, double maxX, double maxY) const;

 private:
  int64_t Col(double x) const;
  int64_t Row(double y) const;

  double minX_ = 0, minY_ = 0, cell_ = 1;
  int64_t cols_ = 0, rows_ = 0;
  std::vector<int32_t> start_, members_;  // CSR per cell, row-major
  std::vector<int32_t> unplaced_;         // centroids that are not finite
};

}  // namespace orvane
