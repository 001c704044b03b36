#pragma once
// A surveyed-looking surface for the benchmarks: side x side points on a
// grid of the given spacing at survey coordinates, each moved by up to 30 %
// of the spacing (seeded), two triangles per cell, heights from z(i, j).

#include <functional>
#include <random>

#include "core/model/TriangleMesh.h"

namespace orvane::bench {

inline TriangleMesh JitteredGrid(int side, double spacing,
                                 const std::function<double(int, int)>& z) {
  TriangleMesh m;
  const int n = side;
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> jitter(-0.3 * spacing, 0.3 * spacing);
  m.Reserve(static_cast<size_t>(n) * n, 2 * static_cast<size_t>(n - 1) * (n - 1));
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i)
      m.AddPoint(500000 + i * spacing + jitter(rng), 4500000 + j * spacing + jitter(rng), z(i, j));
  auto add = [&](int a, int b, int c) {
    const PointRec p = m.Point(a), q = m.Point(b), r = m.Point(c);
    m.AddTriangle(p.X, p.Y, p.Z, a, q.X, q.Y, q.Z, b, r.X, r.Y, r.Z, c);
  };
  for (int j = 0; j + 1 < n; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      const int p00 = j * n + i + 1, p10 = p00 + 1, p01 = p00 + n, p11 = p01 + 1;
      add(p00, p10, p11);
      add(p00, p11, p01);
    }
  return m;
}

}  // namespace orvane::bench
