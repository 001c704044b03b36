#pragma once
// The unique-vertex table as literally described: 101 x 101 cells, each with
// the list of its registered points, searched in list order.

#include <cstdint>
#include <vector>

#include "core/storage/Records.h"

namespace orvane::reference {

struct LiteralVertexTable {
  std::vector<PointRec> unique;  // point 1 is unique[0]
  double width = 0, height = 0;
  std::vector<std::vector<int32_t>> cells = std::vector<std::vector<int32_t>>(101 * 101);

  // Sets T of every vertex of triangles[1..] (entry 0 is slot 0) like Reindex.
  void Build(std::vector<TriangleRec>& triangles);
  int32_t AddQuadVertex(const PointRec& origin, const PointRec& P);
};

// The whole literal Reindex on a copy of the triangle list: returns the new
// point list (slot 0 first) and rewrites the vertices' T.
std::vector<PointRec> LiteralReindex(std::vector<TriangleRec>& triangles);

}  // namespace orvane::reference
