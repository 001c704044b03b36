#include "analysis/Volume.h"

#include <cmath>

#include "analysis/CompensatedSum.h"
#include "core/model/TriangleMesh.h"

namespace orvane {

namespace {

// The volume between the plane through the corners (heights h above the
// base) and the base, over the triangle's plan area, where the plane lies
// above the base. Where one corner alone lies above and the plane crosses the
// base, the part above is the tetrahedron-like wedge cut off at the base
// level, area * h^3 / (3 (h - h1) (h - h2)).
double PartAbove(double area, const double (&h)[3]) {
  int above = 0, below = 0;
  for (double v : h) {
    above += v > 0;
    below += v < 0;
  }
  if (above == 0) return 0;
  const double mean = (h[0] + h[1] + h[2]) / 3;
  if (below == 0) return area * mean;
  if (above == 1) {
    const int k = h[0] > 0 ? 0 : (h[1] > 0 ? 1 : 2);
    const double top = h[k], a = h[(k + 1) % 3], b = h[(k + 2) % 3];
    return area * top * top * top / (3 * (top - a) * (top - b));
  }
  // Two corners above, one below: all of it less the wedge below.
  const int k = h[0] < 0 ? 0 : (h[1] < 0 ? 1 : 2);
  const double bottom = -h[k], a = -h[(k + 1) % 3], b = -h[(k + 2) % 3];
  const double wedge = area * bottom * bottom * bottom / (3 * (bottom - a) * (bottom - b));
  return area * mean + wedge;
}

}  // namespace

double Volume(const TriangleMesh& mesh, double BaseElevation) {
  return VolumeAboveAndBelow(mesh, BaseElevation).Net;
}

VolumeFigures VolumeAboveAndBelow(const TriangleMesh& mesh, double BaseElevation) {
  CompensatedSum net, above, below;
  const int32_t n = mesh.TriangleCount();
  for (int32_t i = 1; i <= n; ++i) {
    TriangleMesh::TriangleFigures figures;
    mesh.TriangleInfo(i, figures, BaseElevation);
    net.Add(figures.Volume);
    const TriangleRec& t = mesh.Triangle(i);
    const double up[3] = {t.A.Z - BaseElevation, t.B.Z - BaseElevation, t.C.Z - BaseElevation};
    const double down[3] = {-up[0], -up[1], -up[2]};
    above.Add(PartAbove(figures.Surface, up));
    below.Add(PartAbove(figures.Surface, down));
  }
  // Each side is a sum of non-negative terms; only rounding of a wedge can
  // leave it a hair below zero.
  auto side = [](double v) { return v < 0 ? 0.0 : v; };
  return {net.Value(), side(above.Value()), side(below.Value())};
}

}  // namespace orvane
