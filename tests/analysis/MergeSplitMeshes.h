#pragma once
// Seeded random surfaces for the merge and split tests, and an exact mesh
// comparison.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "core/model/TriangleMesh.h"

namespace orvane::test_surfaces {

struct SurfaceShape {
  double east = 0, north = 0;  // origin
  int columns = 8, rows = 8;
  double spacing = 1;
  double zLow = 0, zHigh = 10;
  double snapTo = 5;       // elevation some vertices are put exactly at
  double snapShare = 0.2;  // share of vertices snapped to it
  double jitter = 0.3;     // of the spacing
  double zStep = 0;        // elevations rounded to multiples of it (0: not)
};

// A jittered grid of points, each cell cut into two triangles along a random
// diagonal, the winding random; colours and groups random. Indexed.
inline TriangleMesh RandomSurface(const SurfaceShape& s, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(0, 1);
  TriangleMesh m;
  for (int r = 0; r < s.rows; ++r)
    for (int c = 0; c < s.columns; ++c) {
      const double x = s.east + (c + s.jitter * (u(rng) - 0.5)) * s.spacing;
      const double y = s.north + (r + s.jitter * (u(rng) - 0.5)) * s.spacing;
      double z = s.zLow + u(rng) * (s.zHigh - s.zLow);
      if (s.zStep > 0) z = s.zLow + std::round((z - s.zLow) / s.zStep) * s.zStep;
      if (u(rng) < s.snapShare) z = s.snapTo;
      m.AddPoint(x, y, z);
    }
  auto at = [&](int c, int r) { return r * s.columns + c + 1; };
  auto add = [&](int a, int b, int c) {
    if (u(rng) < 0.5) std::swap(b, c);
    const PointRec &A = m.Point(a), &B = m.Point(b), &C = m.Point(c);
    m.AddTriangle(A.X, A.Y, A.Z, a, B.X, B.Y, B.Z, b, C.X, C.Y, C.Z, c);
    m.SetColor(m.TriangleCount(), static_cast<int32_t>(u(rng) * 0xFFFFFF));
    m.SetGroup(m.TriangleCount(), static_cast<int32_t>(u(rng) * 5));
  };
  for (int r = 0; r + 1 < s.rows; ++r)
    for (int c = 0; c + 1 < s.columns; ++c) {
      if (u(rng) < 0.5) {
        add(at(c, r), at(c + 1, r), at(c + 1, r + 1));
        add(at(c, r), at(c + 1, r + 1), at(c, r + 1));
      } else {
        add(at(c, r), at(c + 1, r), at(c, r + 1));
        add(at(c + 1, r), at(c + 1, r + 1), at(c, r + 1));
      }
    }
  return m;
}

// Points, triangles (with colour and group), extents and error code equal
// bit for bit; reports the first difference of each list.
inline void ExpectSameMesh(const TriangleMesh& got, const TriangleMesh& want,
                           const std::string& what) {
  ASSERT_EQ(got.PointCount(), want.PointCount()) << what;
  ASSERT_EQ(got.TriangleCount(), want.TriangleCount()) << what;
  for (int32_t i = 1; i <= got.PointCount(); ++i)
    if (!(got.Point(i) == want.Point(i))) {
      ADD_FAILURE() << what << ": point " << i << " differs";
      break;
    }
  for (int32_t i = 1; i <= got.TriangleCount(); ++i)
    if (!(got.Triangle(i) == want.Triangle(i))) {
      ADD_FAILURE() << what << ": triangle " << i << " differs";
      break;
    }
  EXPECT_EQ(got.GetExtents(), want.GetExtents()) << what;
  EXPECT_EQ(got.LastErrorCode, want.LastErrorCode) << what;
}

}  // namespace orvane::test_surfaces
