#pragma once
// The pieces of a triangle cut at an elevation, exactly as the split at an
// elevation (HorizontalSplitSimple) makes them, for a colouring that follows
// each triangle through many cuts on its own.

#include <span>
#include <vector>

#include "core/Records.h"
#include "triangulation/WorkTriangulation.h"

namespace orvane {

// A triangle's three corners in their stored order (T = 0).
struct PieceTriangle {
  PointRec A, B, C;
};

// Triangulates the four-point part of a cut triangle as the split does: a
// Triangulator built on the part's points without constraints, sides under
// 1000, its triangles in the order its mesh lists them. A part of four
// points with distinct X (every cut of a triangle in general position) runs
// the triangulator's own steps on a working triangulation kept from part to
// part, without its set-up of lists and meshes, which costs several times
// the triangulation itself; any other part goes through a Triangulator.
class PartTriangulator {
 public:
  // Appends the triangles of part (3 or more points; 3 is one triangle) to
  // out. False when a Triangulator it needed was cancelled.
  bool Add(std::span<const PointRec> part, std::vector<PieceTriangle>& out);

 private:
  bool AddQuadrilateral(std::span<const PointRec, 4> part, std::vector<PieceTriangle>& out);
  WorkTriangulation work_;
  const WorkTriangulation pristine_{};
};

}  // namespace orvane
