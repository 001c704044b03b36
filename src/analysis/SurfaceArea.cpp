#include "analysis/SurfaceArea.h"

#include <cmath>

namespace orvane {

double SurfaceArea3D(const TriangleMesh& mesh) {
  double sum = 0;
  for (const TriangleRec& t : mesh.Triangles().subspan(1)) {
    const auto side = [](const PointRec& p, const PointRec& q) {
      const double dx = q.X - p.X, dy = q.Y - p.Y, dz = q.Z - p.Z;
      return std::sqrt(dx * dx + dy * dy + dz * dz);
    };
    const double a = side(t.A, t.B), b = side(t.B, t.C), c = side(t.C, t.A);
    const double s = (a + b + c) * 0.5;
    const double product = s * (s - a) * (s - b) * (s - c);
    if (product > 0) sum += std::sqrt(product);
  }
  return sum;
}

double SurfaceArea2D(const TriangleMesh& mesh) {
  double sum = 0;
  for (const TriangleRec& t : mesh.Triangles().subspan(1)) {
    // The trapezoid sum around the triangle, with northings taken relative
    // to the first corner: the same sum (around a closed outline a common
    // offset cancels), without losing the millimetres to northings of
    // millions of metres.
    const PointRec &p1 = t.A, &p2 = t.B, &p3 = t.C;
    const double y2 = p2.Y - p1.Y, y3 = p3.Y - p1.Y;
    sum += ((p2.X - p1.X) * y2 + (p3.X - p2.X) * (y3 + y2) + (p1.X - p3.X) * y3) / 2;
  }
  return sum;
}

}  // namespace orvane
