// Volume against closed-form solids, and its summation at survey size.

#include <gtest/gtest.h>

#include <cmath>

#include "analysis/Volume.h"
#include "core/model/TriangleMesh.h"

namespace orvane {
namespace {

// A square [x0, x0 + side]^2 of cells x cells, two triangles per cell, with
// heights from z(x, y) (x, y relative to the square's corner).
template <class Height>
TriangleMesh SquareMesh(double x0, double y0, double side, int cells, Height z) {
  TriangleMesh mesh;
  const double h = side / cells;
  auto corner = [&](int i, int j) { return PointRec{x0 + i * h, y0 + j * h, z(i * h, j * h), 0}; };
  for (int j = 0; j < cells; ++j)
    for (int i = 0; i < cells; ++i) {
      const PointRec a = corner(i, j), b = corner(i + 1, j), c = corner(i + 1, j + 1),
                     d = corner(i, j + 1);
      mesh.AddTriangle(a.X, a.Y, a.Z, 0, b.X, b.Y, b.Z, 0, c.X, c.Y, c.Z, 0);
      mesh.AddTriangle(c.X, c.Y, c.Z, 0, d.X, d.Y, d.Z, 0, a.X, a.Y, a.Z, 0);  // clockwise
    }
  return mesh;
}

TEST(Volume, ClosedFormSolids) {
  const TriangleMesh flat = SquareMesh(0, 0, 10, 1, [](double, double) { return 5.0; });
  EXPECT_EQ(Volume(flat, 0), 500);  // whole prisms, not a tenth of them
  EXPECT_EQ(Volume(flat, 10), -500);
  EXPECT_EQ(Volume(TriangleMesh(), 3), 0);

  // Below zero elevations take the same figure as the same shape above.
  const TriangleMesh low = SquareMesh(0, 0, 10, 1, [](double, double) { return -5.0; });
  EXPECT_DOUBLE_EQ(Volume(low, -10), 500);

  // A tilted plane: the prism sum is exact for a linear surface.
  auto plane = [](double x, double y) { return 40 + 0.25 * x - 0.125 * y; };
  const TriangleMesh tilted = SquareMesh(500000, 4500000, 200, 20, plane);
  const double mean = 40 + 0.25 * 100 - 0.125 * 100;
  EXPECT_NEAR(Volume(tilted, 12.5), 200.0 * 200.0 * (mean - 12.5), 1e-6);
}

// The signed figure nets the part above the base against the part below:
// a pyramid of 100 x 100 m and 30 m with the base at a third of its height
// gives 0 m3 where 800000/27 m3 lie above the base. Both parts are exact
// (the pyramid's tip above the base is a pyramid of 2/3 the size); at and
// below its foot the figure is the closed form of the whole solid.
TEST(Volume, NetFigureHidesTheVolumesAboveAndBelowTheBase) {
  TriangleMesh pyramid;
  const double e = 500123.25, n = 4500456.5;
  const double corner[5][2] = {{e, n}, {e + 100, n}, {e + 100, n + 100}, {e, n + 100}, {e, n}};
  for (int k = 0; k < 4; ++k)
    pyramid.AddTriangle(corner[k][0], corner[k][1], 100, 0, corner[k + 1][0], corner[k + 1][1], 100,
                        0, e + 50, n + 50, 130, 0);
  const double whole = 100.0 * 100.0 * 30 / 3;
  const struct {
    double base, net, above, below;
  } cases[] = {
      {110, 0, 800000.0 / 27, 800000.0 / 27},
      {100, whole, whole, 0},
      {130, whole - 300000, 0, 300000 - whole},
      {120, whole - 200000, 100000.0 / 27, 200000 - whole + 100000.0 / 27},
      {90, whole + 100000, whole + 100000, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.base);
    const VolumeFigures v = VolumeAboveAndBelow(pyramid, c.base);
    EXPECT_EQ(v.Net, Volume(pyramid, c.base));
    EXPECT_NEAR(v.Net, c.net, 1e-9);
    EXPECT_NEAR(v.Above, c.above, 1e-9);
    EXPECT_NEAR(v.Below, c.below, 1e-9);
  }
}

// A coarse regional triangle of 1e10 m3 followed by 180000 fine prisms of a
// few litres each, at survey coordinates: the result is the sum of the same
// terms kept in extended precision to a few units in the last place, where a
// running sum in doubles drops each prism's last digits (0.7 litres in all
// here, growing with the count).
TEST(Volume, ManySmallPrismsAfterALargeOneKeepTheirDigits) {
  const double e = 500000.37, n = 4500000.81;
  TriangleMesh mesh =
      SquareMesh(e, n, 150, 300, [](double x, double y) { return 1000.37 + 1e-3 * x * y; });
  TriangleMesh all;
  all.AddTriangle(e - 10000, n - 10000, 1200, 0, e, n - 10000, 1200, 0, e - 10000, n, 1200, 0);
  for (const TriangleRec& t : mesh.Triangles().subspan(1))
    all.AddTriangle(t.A.X, t.A.Y, t.A.Z, 0, t.B.X, t.B.Y, t.B.Z, 0, t.C.X, t.C.Y, t.C.Z, 0);
  long double exact = 0;
  for (int32_t i = 1; i <= all.TriangleCount(); ++i) {
    TriangleMesh::TriangleFigures f;
    all.TriangleInfo(i, f, 1000);
    exact += f.Volume;
  }
  const double v = Volume(all, 1000);
  EXPECT_LE(std::abs(static_cast<long double>(v) - exact), 4 * std::abs(exact) * 1.1e-16L);
}

}  // namespace
}  // namespace orvane
