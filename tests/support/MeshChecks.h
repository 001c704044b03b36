#pragma once
// Invariant checks every model test calls after an edit.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/model/MeshInvariants.h"
#include "core/model/TriangleMesh.h"

namespace orvane {

// After Reindex (and the operations that keep it): point i has T = i, every
// vertex's T names a point whose coordinates equal the vertex's within 0.001,
// and the extents enclose every point.
inline void VerifyIndexed(const TriangleMesh& m) {
  const ExtentsRec e = m.GetExtents();
  for (int32_t i = 1; i <= m.PointCount(); ++i) {
    const PointRec& p = m.Point(i);
    EXPECT_EQ(p.T, i) << "point " << i;
    EXPECT_TRUE(p.X >= e.Min.X && p.X <= e.Max.X && p.Y >= e.Min.Y && p.Y <= e.Max.Y &&
                p.Z >= e.Min.Z && p.Z <= e.Max.Z)
        << "point " << i << " outside the extents";
  }
  for (int32_t t = 1; t <= m.TriangleCount(); ++t) {
    const TriangleRec& tri = m.Triangle(t);
    for (const PointRec* v : {&tri.A, &tri.B, &tri.C}) {
      const double idx = v->T;
      ASSERT_TRUE(idx >= 1 && idx <= m.PointCount() && idx == std::floor(idx))
          << "triangle " << t << " vertex T " << idx;
      const PointRec& p = m.Point(static_cast<int32_t>(idx));
      EXPECT_LE(std::abs(p.X - v->X), 0.001) << "triangle " << t;
      EXPECT_LE(std::abs(p.Y - v->Y), 0.001) << "triangle " << t;
      EXPECT_LE(std::abs(p.Z - v->Z), 0.001) << "triangle " << t;
    }
  }
}

// A surface as the producers must leave it (see core/model/MeshInvariants.h).
inline void ExpectValidSurface(const TriangleMesh& m, const std::string& what = "",
                               const MeshCheckOptions& options = {}) {
  const MeshReport r = CheckMesh(m, options);
  EXPECT_TRUE(r.Valid()) << what << ": " << r.Summary();
}

}  // namespace orvane
