#pragma once
// A list of quadrilaterals (for example the cells of a grid laid over a
// surface) that can be turned into a triangle mesh.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/storage/Records.h"

namespace orvane {

class TriangleMesh;

class QuadMesh {
 public:
  // Corners P1..P4 in the order given; their T is 0.
  using Quad = std::array<PointRec, 4>;

  int32_t Model = 0;  // free model code; nothing here reads it

  int32_t QuadCount() const { return static_cast<int32_t>(quads_.size()); }

  // Appends a quad (coordinates in metres) and grows the extents by its
  // corners.
  void AddQuad(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
               double y3, double z3, double x4, double y4, double z4);

  // Quad idx (1-based); nullopt for 0 or above QuadCount. Throws
  // std::out_of_range for a negative idx.
  std::optional<Quad> GetQuad(int32_t idx) const;

  // Box of every corner added; empty (Min +1e30, Max -1e30) for no quad.
  ExtentsRec GetExtents() const { return extents_; }

  // Splits each quad, in order, into the triangles (P1, P2, P3) and
  // (P3, P4, P1). Corners within 0.001 m in plan of one seen before (any
  // elevation) share its point, which keeps the Z of the first corner seen;
  // each triangle vertex keeps its own Z. Points are numbered in order of
  // first appearance and carry their index in T.
  TriangleMesh GetTriangleMesh() const;

 private:
  std::vector<Quad> quads_;  // quad i is quads_[i - 1]
  ExtentsRec extents_;
};

}  // namespace orvane
