#include "reference/ZoneTrimReference.h"

#include <vector>

#include "core/Records.h"
#include "reference/MeshQueriesReference.h"

namespace orvane::reference {

int32_t LiteralTrimToZones(TriangleMesh& mesh, std::span<const PointList> zones) {
  const int32_t before = mesh.TriangleCount();
  std::vector<XYRec> centroids;
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
    if (!inside) centroids.push_back({cx, cy});
  }
  for (const XYRec& c : centroids) {
    // Found again by position: every removal renumbers the later triangles.
    const int32_t t = LiteralTriangleAt(mesh.Triangles(), c.X, c.Y);
    if (t > 0) mesh.RemoveTriangle(t);
  }
  return before - mesh.TriangleCount();
}

}  // namespace orvane::reference
