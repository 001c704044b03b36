#include "analysis/Volume.h"

#include <cmath>

#include "core/TriangleMesh.h"

namespace orvane {

double Volume(const TriangleMesh& mesh, double BaseElevation) {
  // Millions of prisms of a few cubic metres each add up to a figure of
  // 1e9 m3 and more, where a plain running sum drops whole cubic metres by
  // the end. Neumaier's compensated sum keeps the rounding of every addition
  // in a second term, so the result is as good as one final rounding
  // (whatever the order or the signs of the terms, unlike Kahan's form).
  double sum = 0, compensation = 0;
  const int32_t n = mesh.TriangleCount();
  for (int32_t i = 1; i <= n; ++i) {
    TriangleMesh::TriangleFigures figures;
    mesh.TriangleInfo(i, figures, BaseElevation);
    const double v = figures.Volume;
    const double t = sum + v;
    if (std::abs(sum) >= std::abs(v))
      compensation += (sum - t) + v;
    else
      compensation += (v - t) + sum;
    sum = t;
  }
  return sum + compensation;
}

}  // namespace orvane
