#pragma once
// Small surfaces at survey coordinates for the analysis tests: random points
// triangulated, and regular grids with chosen diagonals. Positions are given
// locally and placed at (kE, kN) so every figure meets the rounding of real
// projects.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "triangulation/Triangulator.h"

namespace orvane::testing {

inline constexpr double kE = 5e5, kN = 4.5e6;

using Height = std::function<double(double, double)>;  // of local coordinates
using CellChoice = std::function<bool(int, int)>;

inline TriangleMesh Triangulate(PointList points) {
  Triangulator t;
  t.Initialise(points);
  std::optional<TriangleMesh> mesh = t.GetTriangleMesh(1e6);
  EXPECT_TRUE(mesh.has_value());
  return mesh ? std::move(*mesh) : TriangleMesh{};
}

// n random points in the local square [x0, x0 + size]^2 plus the extra ones,
// placed at the origin (e, n0), heights from z of the local position.
inline TriangleMesh RandomSurface(std::mt19937_64& rng, double e, double n0, double x0, double y0,
                                  double size, int n, const Height& z,
                                  const std::vector<XYRec>& extra = {}) {
  std::uniform_real_distribution<double> u(0, size);
  PointList pts;
  auto add = [&](double x, double y) { pts.AddVertex(e + x, n0 + y, z(x, y), 0); };
  for (int i = 0; i < n; ++i) add(x0 + u(rng), y0 + u(rng));
  for (const XYRec& p : extra) add(p.X, p.Y);
  return Triangulate(std::move(pts));
}

inline bool RisingDiagonal(int, int) {
  return false;
}
inline bool FallingDiagonal(int, int) {
  return true;
}
inline CellChoice RandomDiagonals(std::mt19937_64& rng) {
  return [&rng](int, int) { return rng() % 2 == 0; };
}

// Squares of side d over local [x0, x0 + nx d] x [y0, y0 + ny d], each split
// into two triangles along the diagonal `falling` picks; cells `keep` refuses
// are left out.
inline TriangleMesh GridSurface(double x0, double y0, double d, int nx, int ny, const Height& z,
                                const CellChoice& falling, const CellChoice& keep = nullptr) {
  TriangleMesh m;
  auto v = [&](int i, int j) {
    const double x = x0 + i * d, y = y0 + j * d;
    return PointRec{kE + x, kN + y, z(x, y), 0};
  };
  auto add = [&](const PointRec& a, const PointRec& b, const PointRec& c) {
    m.AddTriangle(a.X, a.Y, a.Z, 0, b.X, b.Y, b.Z, 0, c.X, c.Y, c.Z, 0);
  };
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j) {
      if (keep && !keep(i, j)) continue;
      if (falling(i, j)) {
        add(v(i, j), v(i + 1, j), v(i, j + 1));
        add(v(i + 1, j), v(i + 1, j + 1), v(i, j + 1));
      } else {
        add(v(i, j), v(i + 1, j), v(i + 1, j + 1));
        add(v(i, j), v(i + 1, j + 1), v(i, j + 1));
      }
    }
  m.Reindex();
  return m;
}

inline  // Two 5-12-13 right triangles (3-D area 30 each, plan area 18 each), both
    // clockwise in plan.
    TriangleMesh
    SmallSurface() {
  TriangleMesh mesh;
  mesh.Tag = std::string("Demo");
  const PointRec p[] = {
      {5.25, 7.5, -1.25, 0}, {8.25, 7.5, 2.75, 0}, {5.25, 19.5, -1.25, 0}, {8.25, 19.5, 2.75, 0}};
  for (const PointRec& q : p) mesh.AddPoint(q.X, q.Y, q.Z);
  auto add = [&](int a, int b, int c) {
    const PointRec &A = p[a - 1], &B = p[b - 1], &C = p[c - 1];
    mesh.AddTriangle(A.X, A.Y, A.Z, a, B.X, B.Y, B.Z, b, C.X, C.Y, C.Z, c);
  };
  add(1, 3, 2);
  add(2, 3, 4);
  return mesh;
}

}  // namespace orvane::testing
