#include "reference/VertexTableReference.h"

#include <cmath>

#include "core/geometry/Kernels.h"

namespace orvane::reference {

int32_t LiteralVertexTable::AddQuadVertex(const PointRec& origin, const PointRec& P) {
  const double fi = width > 0 ? std::nearbyint((P.X - origin.X) / width) : 0;
  const double fj = height > 0 ? std::nearbyint((P.Y - origin.Y) / height) : 0;
  if (!(fi >= 0 && fi <= 100 && fj >= 0 && fj <= 100)) return 0;
  auto& cell = cells[static_cast<size_t>(fi) * 101 + static_cast<size_t>(fj)];
  for (int32_t n : cell)
    if (PointsMatch3D(unique[static_cast<size_t>(n - 1)], P)) return n;
  unique.push_back(P);
  const auto n = static_cast<int32_t>(unique.size());
  cell.push_back(n);
  return n;
}

void LiteralVertexTable::Build(std::vector<TriangleRec>& triangles) {
  ExtentsRec box;
  for (size_t t = 1; t < triangles.size(); ++t) {
    GrowExtents(box, triangles[t].A);
    GrowExtents(box, triangles[t].B);
    GrowExtents(box, triangles[t].C);
  }
  width = (box.Max.X - box.Min.X) / 100;
  height = (box.Max.Y - box.Min.Y) / 100;
  for (size_t t = 1; t < triangles.size(); ++t) {
    triangles[t].A.T = AddQuadVertex(box.Min, triangles[t].A);
    triangles[t].B.T = AddQuadVertex(box.Min, triangles[t].B);
    triangles[t].C.T = AddQuadVertex(box.Min, triangles[t].C);
  }
}

std::vector<PointRec> LiteralReindex(std::vector<TriangleRec>& triangles) {
  LiteralVertexTable table;
  table.Build(triangles);
  std::vector<PointRec> points(1);
  for (size_t i = 0; i < table.unique.size(); ++i) {
    PointRec p = table.unique[i];
    p.T = static_cast<double>(i + 1);
    points.push_back(p);
  }
  return points;
}

}  // namespace orvane::reference
