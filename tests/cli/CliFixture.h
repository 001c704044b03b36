#pragma once
// A fresh folder per command-line test, and the small surfaces its inputs are
// made of.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "core/model/TriangleMesh.h"
#include "support/RunCli.h"

namespace orvane::testing {

// An n x n grid of d m squares from (x0, y0) m east and north of (500000,
// 4500000), z(x, y) with x, y from that origin; each square split along the
// same diagonal.
template <class Height>
TriangleMesh Grid(double x0, double y0, double d, int n, Height z) {
  TriangleMesh m;
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) {
      const double x = x0 + d * i, y = y0 + d * j;
      m.AddPoint(5e5 + x, 4.5e6 + y, z(x, y));
    }
  auto at = [n](int i, int j) { return j * (n + 1) + i + 1; };
  auto add = [&](int a, int b, int c) {
    const PointRec &A = m.Point(a), &B = m.Point(b), &C = m.Point(c);
    m.AddTriangle(A.X, A.Y, A.Z, a, B.X, B.Y, B.Z, b, C.X, C.Y, C.Z, c);
  };
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      add(at(i, j), at(i + 1, j), at(i + 1, j + 1));
      add(at(i, j), at(i + 1, j + 1), at(i, j + 1));
    }
  return m;
}

// HILL: two triangles from 100.5 to 119.5 m.
inline TriangleMesh Hill() {
  TriangleMesh hill;
  for (const auto& t : {std::array<double, 9>{0, 0, 100.5, 10, 0, 110, 0, 10, 119.5},
                        std::array<double, 9>{10, 0, 110, 10, 10, 104, 0, 10, 119.5}}) {
    for (int k = 0; k < 9; k += 3) hill.AddPoint(t[k], t[k + 1], t[k + 2]);
    hill.AddTriangle(t[0], t[1], t[2], 0, t[3], t[4], t[5], 0, t[6], t[7], t[8], 0);
  }
  hill.Reindex();
  hill.Tag = "HILL";
  return hill;
}

inline void SaveGrid(TriangleMesh m, const std::filesystem::path& file) {
  EXPECT_TRUE(m.SaveToBinary(file));
  ASSERT_EQ(m.LastErrorCode, 0) << file;
}

using CliFolder = TempFolderTest;

}  // namespace orvane::testing
