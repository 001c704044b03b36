// Editing rules of the surface model.

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

#include "core/geometry/Kernels.h"
#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "support/MeshChecks.h"

namespace orvane {
namespace {

// Two triangles over the unit square sharing the diagonal 1-3.
TriangleMesh Square() {
  TriangleMesh m;
  m.AddPoint(0, 0, 1);
  m.AddPoint(1, 0, 2);
  m.AddPoint(1, 1, 3);
  m.AddPoint(0, 1, 4);
  m.AddTriangle(0, 0, 1, 1, 1, 0, 2, 2, 1, 1, 3, 3);
  m.AddTriangle(0, 0, 1, 1, 1, 1, 3, 3, 0, 1, 4, 4);
  return m;
}

TEST(TriangleMesh, AddTriangleLeavesExtentsUntilReindex) {
  TriangleMesh m;
  m.AddTriangle(0, 0, 1, 0, 4, 0, 1, 0, 0, 3, 1, 0);
  EXPECT_EQ(m.GetExtents(), ExtentsRec{});
  EXPECT_EQ(m.PointCount(), 0);
  m.Reindex();
  EXPECT_EQ(m.GetExtents().Max.X, 4);
  EXPECT_EQ(*m.GetTriangleIndexes(1), (std::array<int32_t, 3>{1, 2, 3}));
  VerifyIndexed(m);
  // (Which vertices merge: ReindexDifferentialTest.)
}

TEST(TriangleMesh, GetPointListKeepsEveryPointAndItsT) {
  TriangleMesh m;
  m.AddPoint(1, 2, 3);
  m.AddPoint(4, 5, 6, 7.5);
  const PointList list = m.GetPointList();
  EXPECT_EQ(std::vector<PointRec>(list.Points().begin() + 1, list.Points().end()),
            (std::vector<PointRec>{{1, 2, 3, 1}, {4, 5, 6, 7.5}}));
}

TEST(TriangleMesh, ChangePointRules) {
  TriangleMesh pointsOnly;
  pointsOnly.AddPoint(1, 1, 1);
  pointsOnly.ChangePoint(1, 9, 9, 9);
  EXPECT_EQ(pointsOnly.GetPoint(1)->X, 1);  // no triangles: nothing changes
  EXPECT_EQ(pointsOnly.LastErrorCode, 0);

  TriangleMesh m = Square();
  m.ChangePoint(5, 0, 0, 0);
  EXPECT_EQ(m.LastErrorCode, 3);
  m.ChangePoint(3, 2, 2, 30);
  EXPECT_EQ(*m.GetPoint(3), (PointRec{2, 2, 30, 3}));
  EXPECT_EQ(m.Triangle(1).C, (PointRec{2, 2, 30, 3}));
  EXPECT_EQ(m.Triangle(2).B, (PointRec{2, 2, 30, 3}));
  EXPECT_EQ(m.GetExtents().Max.X, 1);  // extents are not changed

  // A never-indexed mesh is reindexed first.
  TriangleMesh raw;
  raw.AddTriangle(0, 0, 1, 0, 4, 0, 1, 0, 0, 3, 1, 0);
  raw.ChangePoint(2, 5, 0, 1);
  EXPECT_EQ(raw.Triangle(1).B.X, 5);
}

TEST(TriangleMesh, RemoveTriangleDropsOnlyUnusedPoints) {
  TriangleMesh one;
  one.AddPoint(0, 0, 0);
  one.AddPoint(1, 0, 0);
  one.AddPoint(0, 1, 0);
  one.AddTriangle(0, 0, 0, 1, 1, 0, 0, 2, 0, 1, 0, 3);
  one.RemoveTriangle(1);
  EXPECT_EQ(one.TriangleCount(), 0);
  EXPECT_EQ(one.PointCount(), 0);

  // Corners still used elsewhere: no reindex, the point list stays as it was
  // (a stray point 5 proves no rebuild happened).
  TriangleMesh m = Square();
  m.AddTriangle(0, 0, 1, 1, 1, 0, 2, 2, 1, 1, 3, 3);
  m.AddPoint(50, 50, 50);
  m.RemoveTriangle(3);
  EXPECT_EQ(m.PointCount(), 5);
  m.RemoveTriangle(9);  // above the count: nothing
  EXPECT_EQ(m.TriangleCount(), 2);
  // Point 2 becomes unused: rebuilt from the triangles, stray point gone.
  m.RemoveTriangle(1);
  EXPECT_EQ(m.PointCount(), 3);
  VerifyIndexed(m);
  EXPECT_THROW(m.RemoveTriangle(0), std::out_of_range);
}

TEST(TriangleMesh, PropertyStoresGrowAndUseExactKeys) {
  TriangleMesh m;
  m.SetTriProperty(10, "Depth", 2.5);
  EXPECT_EQ(m.TriPropertyCount(), 10);
  EXPECT_TRUE(IsEmpty(m.TriProperty(4, "Depth")));
  EXPECT_TRUE(IsEmpty(m.TriProperty(10, "depth")));
  m.SetClassProperty("Name", std::string("North pad"));
  m.SetClassProperty("Name", std::string("South pad"));
  EXPECT_EQ(m.ClassPropertyCount(), 1);
  EXPECT_TRUE(IsEmpty(m.ClassProperty("name")));
  EXPECT_EQ(m.ClassProperties(2).first, "");
}

TEST(TriangleMesh, CloneKeepsWhatTheFileHolds) {
  TriangleMesh m = Square();
  m.SetSelected(1, true);
  m.SetColor(2, 255);
  m.Tag = std::string("Pad");
  m.AddPoint(9, 9, 9);  // unused: the clone's reindex drops it
  TriangleMesh c = m.Clone();
  EXPECT_EQ(c.TriangleCount(), 2);
  EXPECT_EQ(c.PointCount(), 4);
  EXPECT_FALSE(c.Selected(1));
  EXPECT_EQ(c.Color(2), 255);
  EXPECT_EQ(c.Tag, Variant(std::string("Pad")));
  VerifyIndexed(c);

  TriangleMesh pointsOnly;
  pointsOnly.AddPoint(1, 2, 3);
  EXPECT_EQ(pointsOnly.Clone().PointCount(), 0);
}

TEST(TriangleMesh, TranslateMovesPointsVerticesAndExtents) {
  TriangleMesh m = Square();
  m.Translate(500000, 4500000, -1);
  EXPECT_EQ(m.Triangle(2).C, (PointRec{500000, 4500001, 3, 4}));
  EXPECT_EQ(m.GetExtents().Max.Y, 4500001);
  EXPECT_EQ(m.GetExtents().Min.Z, 0);
  VerifyIndexed(m);

  TriangleMesh raw;
  raw.AddTriangle(0, 0, 1, 0, 4, 0, 1, 0, 0, 3, 1, 0);
  EXPECT_THROW(raw.Translate(1, 1, 1), std::logic_error);
}

TEST(TriangleMesh, CallerFaultsThrow) {
  TriangleMesh m = Square();
  EXPECT_FALSE(m.GetPoint(0).has_value());
  EXPECT_FALSE(m.GetPoint(5).has_value());
  EXPECT_THROW(m.GetTriangle(0), std::out_of_range);
  EXPECT_FALSE(m.GetTriangle(3).has_value());
  EXPECT_THROW(m.Group(3), std::out_of_range);
  EXPECT_THROW(m.SetColor(-1, 0), std::out_of_range);
  EXPECT_FALSE(m.GetTriangleExtents(0).has_value());
  EXPECT_EQ(m.GetTriangleExtents(1)->Max.Z, 3);
}

// The literal RemoveUnusedPoints: every point against every vertex.
std::vector<PointRec> LiteralRemoveUnused(const TriangleMesh& m) {
  std::vector<PointRec> kept;
  for (int32_t i = 1; i <= m.PointCount(); ++i) {
    bool used = false;
    for (int32_t t = 1; t <= m.TriangleCount() && !used; ++t) {
      const TriangleRec& tri = m.Triangle(t);
      used = PointsCoincide(m.Point(i), tri.A, true) || PointsCoincide(m.Point(i), tri.B, true) ||
             PointsCoincide(m.Point(i), tri.C, true);
    }
    if (used) kept.push_back(m.Point(i));
  }
  return kept;
}

TEST(TriangleMesh, RemoveUnusedPointsMatchesLiteralScan) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(0, 30);
  const double offsets[] = {0, 0.0005, 0.00099, 0.001, 0.0015, -0.0005, -0.001};
  std::uniform_int_distribution<int> pick(0, 6);
  for (double east : {0.0, 500000.0}) {
    TriangleMesh m;
    std::vector<PointRec> base;
    for (int i = 0; i < 300; ++i) base.push_back({east + u(rng), 4500000 + u(rng), u(rng), 0});
    for (int i = 0; i < 300; ++i) {
      const PointRec& b = base[static_cast<size_t>(i)];
      m.AddPoint(b.X + offsets[pick(rng)], b.Y + offsets[pick(rng)], b.Z + offsets[pick(rng)]);
    }
    for (int t = 0; t < 60; ++t) {
      const PointRec& a = base[static_cast<size_t>(t * 5)];
      const PointRec& b = base[static_cast<size_t>(t * 5 + 1)];
      const PointRec& c = base[static_cast<size_t>(t * 5 + 2)];
      m.AddTriangle(a.X, a.Y, a.Z, 1, b.X, b.Y, b.Z, 1, c.X, c.Y, c.Z, 1);
    }
    const std::vector<PointRec> expected = LiteralRemoveUnused(m);
    m.RemoveUnusedPoints();
    ASSERT_EQ(m.PointCount(), static_cast<int32_t>(expected.size()));
    for (int32_t i = 1; i <= m.PointCount(); ++i) EXPECT_EQ(m.Point(i), expected[i - 1]);
  }
}

}  // namespace
}  // namespace orvane
