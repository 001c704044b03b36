#pragma once
// The mesh-against-mesh operations as the pair-by-pair procedure computes
// them: every triangle of the first mesh against every triangle of the
// second, and every pair of overlay records compared for duplicates.

#include <array>
#include <span>
#include <vector>

#include "analysis/IntersectionKernels.h"
#include "analysis/MeshIntersection.h"
#include "core/storage/Records.h"

namespace orvane::reference {

// Plan overlay of A (first) and B (cutting), triangles with slot 0 first.
std::vector<PlanSegment> LiteralOverlaySegments(std::span<const TriangleRec> A,
                                                std::span<const TriangleRec> B);

// The duplicate removal of the overlay records, record against record.
std::vector<PlanSegment> LiteralRemoveDuplicates(const std::vector<PlanSegment>& records);

// Crossing segments of A and B by the kernel on every pair. Inline so that
// only the programs that include it need the analysis library.
inline std::vector<PlanSegment> LiteralCrossingSegments(std::span<const TriangleRec> A,
                                                        std::span<const TriangleRec> B) {
  auto corners = [](const TriangleRec& t) {
    return std::array<Point3D, 3>{Point3D{t.A.X, t.A.Y, t.A.Z}, Point3D{t.B.X, t.B.Y, t.B.Z},
                                  Point3D{t.C.X, t.C.Y, t.C.Z}};
  };
  std::vector<PlanSegment> out;
  for (size_t i = 1; i < A.size(); ++i)
    for (size_t j = 1; j < B.size(); ++j) {
      const TriangleIntersection r = TriangleTriangleIntersect(corners(A[i]), corners(B[j]));
      if (r.Contact != TriangleContact::Crossing) continue;
      out.push_back({{r.Segment->From.X, r.Segment->From.Y, r.Segment->From.Z, 0},
                     {r.Segment->To.X, r.Segment->To.Y, r.Segment->To.Z, 0}});
    }
  return out;
}

}  // namespace orvane::reference
