#include "reference/ZoneTrimReference.h"

#include <vector>

namespace orvane::reference {

int32_t LiteralTrimToZones(TriangleMesh& mesh, std::span<const PointList> zones) {
  const int32_t before = mesh.TriangleCount();
  std::vector<int32_t> outside;
  for (int32_t i = 1; i <= before; ++i) {
    const auto v = *mesh.GetTriangle(i);
    const double cx = (v[0].X + v[1].X + v[2].X) / 3;
    const double cy = (v[0].Y + v[1].Y + v[2].Y) / 3;
    bool inside = false;
    for (const PointList& zone : zones) {
      if (zone.Model != 1100) continue;
      if (zone.IsPointInside(cx, cy)) {
        inside = true;
        break;
      }
    }
    if (!inside) outside.push_back(i);
  }
  // Every removal renumbers the later triangles down by one.
  int32_t removed = 0;
  for (int32_t t : outside) mesh.RemoveTriangle(t - removed++);
  return before - mesh.TriangleCount();
}

}  // namespace orvane::reference
