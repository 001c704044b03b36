#include "reference/ElevationReference.h"

#include <array>
#include <cmath>
#include <vector>

#include "core/geometry/Kernels.h"
#include "core/geometry/Predicates.h"

namespace orvane::reference {

int32_t ExactTriangleUnder(std::span<const TriangleRec> triangles, double X, double Y) {
  for (size_t i = 1; i < triangles.size(); ++i) {
    const TriangleRec& t = triangles[i];
    const double o = Orient2D(t.A.X, t.A.Y, t.B.X, t.B.Y, t.C.X, t.C.Y);
    const double s = o > 0 ? 1 : (o < 0 ? -1 : 0);
    if (s == 0) continue;
    if (s * Orient2D(t.A.X, t.A.Y, t.B.X, t.B.Y, X, Y) >= 0 &&
        s * Orient2D(t.B.X, t.B.Y, t.C.X, t.C.Y, X, Y) >= 0 &&
        s * Orient2D(t.C.X, t.C.Y, t.A.X, t.A.Y, X, Y) >= 0)
      return static_cast<int32_t>(i);
  }
  return 0;
}

int32_t LiteralTriangleReaching(std::span<const TriangleRec> triangles, double X, double Y) {
  for (size_t i = 1; i < triangles.size(); ++i) {
    const TriangleRec& t = triangles[i];
    if (!InTriangleBox(X, Y, t.A, t.B, t.C)) continue;
    const std::array<PointRec, 4> ring{t.A, t.B, t.C, t.A};
    int code = 0;
    if (const auto where = PointInPolygon(ring, X, Y)) code = static_cast<int>(*where);
    if (code >= 2) return static_cast<int32_t>(i);
  }
  return 0;
}

}  // namespace orvane::reference
