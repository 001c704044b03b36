// The hashed unique-vertex table against the literal cell scan, on meshes
// whose vertices are crowded at 0.0005 / 0.001 / 0.0015 spacing, sit on cell
// rounding borders, and use survey-sized coordinates.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/model/VertexTable.h"
#include "core/storage/Platform.h"
#include "reference/VertexTableReference.h"

namespace orvane {
namespace {

struct Case {
  double east, north;
  double size;  // metres
  unsigned seed;
};

// Triangles whose vertices come from a small pool of base positions plus
// near-duplicates at the critical spacings, so that many vertices merge and
// many just fail to.
std::vector<TriangleRec> CrowdedTriangles(const Case& c, size_t count) {
  std::mt19937_64 rng(c.seed);
  std::uniform_real_distribution<double> u(0, c.size);
  std::uniform_int_distribution<int> pick(0, 7);
  const double offsets[] = {0, 0.0005, -0.0005, 0.001, -0.001, 0.0015, 0.00099, 0.0};
  std::vector<PointRec> base;
  for (int i = 0; i < 200; ++i)
    base.push_back({c.east + u(rng), c.north + u(rng), 100 + u(rng) / 10, 0});
  // Positions exactly on the rounding border between two cells (half-way).
  const double cell = c.size / 100;
  for (int k = 0; k < 20; ++k)
    base.push_back({c.east + (k * 5 + 0.5) * cell, c.north + (k * 3 + 0.5) * cell, 100, 0});
  base.push_back({c.east, c.north, 100, 0});
  base.push_back({c.east + c.size, c.north + c.size, 100, 0});
  std::uniform_int_distribution<size_t> which(0, base.size() - 1);
  auto vertex = [&]() {
    PointRec p = base[which(rng)];
    p.X += offsets[pick(rng)];
    p.Y += offsets[pick(rng)];
    p.Z += offsets[pick(rng)];
    return p;
  };
  std::vector<TriangleRec> tris(1);
  for (size_t t = 0; t < count; ++t) tris.push_back({vertex(), vertex(), vertex(), 0, 0, false});
  return tris;
}

TEST(ReindexDifferential, MatchesLiteralCellScan) {
  const Case cases[] = {{0, 0, 100, 1},
                        {500000, 4500000, 1000, 2},
                        {500000.1234, 4500000.5678, 3.7, 3},
                        {-20, 7, 0.9, 4}};
  for (const Case& c : cases) {
    for (size_t n : {1u, 7u, 500u, 5000u}) {
      std::vector<TriangleRec> literal = CrowdedTriangles(c, n);
      TriangleMesh mesh;
      for (size_t t = 1; t < literal.size(); ++t) {
        const TriangleRec& r = literal[t];
        mesh.AddTriangle(r.A.X, r.A.Y, r.A.Z, 0, r.B.X, r.B.Y, r.B.Z, 0, r.C.X, r.C.Y, r.C.Z, 0);
      }
      const std::vector<PointRec> expected = reference::LiteralReindex(literal);
      mesh.Reindex();
      SCOPED_TRACE("seed " + std::to_string(c.seed) + " n " + std::to_string(n));
      ASSERT_EQ(mesh.PointCount() + 1, static_cast<int32_t>(expected.size()));
      for (int32_t i = 1; i <= mesh.PointCount(); ++i) ASSERT_EQ(mesh.Point(i), expected[i]);
      for (int32_t t = 1; t <= mesh.TriangleCount(); ++t) ASSERT_EQ(mesh.Triangle(t), literal[t]);
    }
  }
}

TEST(ReindexDifferential, OneVerticalOrHorizontalLineDoesNotDivideByZero) {
  for (bool vertical : {true, false}) {
    std::vector<TriangleRec> literal(1);
    for (int i = 0; i < 50; ++i) {
      const double a = i * 0.7, b = i * 0.7 + 0.0004;
      PointRec p = vertical ? PointRec{5, a, 1, 0} : PointRec{a, 5, 1, 0};
      PointRec q = vertical ? PointRec{5, b, 1, 0} : PointRec{b, 5, 1, 0};
      literal.push_back({p, q, p, 0, 0, false});
    }
    TriangleMesh mesh;
    for (size_t t = 1; t < literal.size(); ++t) {
      const TriangleRec& r = literal[t];
      mesh.AddTriangle(r.A.X, r.A.Y, r.A.Z, 0, r.B.X, r.B.Y, r.B.Z, 0, r.C.X, r.C.Y, r.C.Z, 0);
    }
    mesh.Reindex();
    const std::vector<PointRec> expected = reference::LiteralReindex(literal);
    ASSERT_EQ(mesh.PointCount() + 1, static_cast<int32_t>(expected.size()));
    EXPECT_EQ(mesh.PointCount(), 50);  // each p and its q 0.0004 apart merge
  }
}

TEST(VertexTable, SameCellMergesNeighbouringCellsDoNot) {
  // Box 0..100 in X and Y: cell width 1, so X = 10.5 is a rounding border
  // (10.5 rounds to 10, half to even; 10.5005 rounds to 11).
  VertexTable table;
  ExtentsRec box;
  box.Min = {0, 0, 0, 0};
  box.Max = {100, 100, 0, 0};
  table.Reset(box);
  const int32_t a = table.AddQuadVertex(box.Min, {20.2, 20.2, 0, 0});
  EXPECT_EQ(table.AddQuadVertex(box.Min, {20.2005, 20.2, 0, 0}), a);
  EXPECT_EQ(table.AddQuadVertex(box.Min, {20.2, 20.2, 0.001, 0}), a);  // 0.001 apart: inclusive
  EXPECT_NE(table.AddQuadVertex(box.Min, {20.2, 20.2021, 0, 0}), a);
  const int32_t left = table.AddQuadVertex(box.Min, {10.4998, 30, 0, 0});
  EXPECT_NE(table.AddQuadVertex(box.Min, {10.5003, 30, 0, 0}), left);
}

TEST(VertexTable, OutsideTheLimitsReportsAndReturnsZero) {
  int messages = 0;
  Platform().ShowMessage = [&](std::string_view) { ++messages; };
  VertexTable table;
  ExtentsRec box;
  box.Min = {0, 0, 0, 0};
  box.Max = {100, 100, 0, 0};
  table.Reset(box);
  EXPECT_EQ(table.AddQuadVertex(box.Min, {101, 5, 0, 0}), 0);
  EXPECT_EQ(table.AddQuadVertex(box.Min, {std::nan(""), 5, 0, 0}), 0);
  EXPECT_TRUE(table.UniquePoints().empty());
  EXPECT_EQ(messages, 2);
  Platform().ShowMessage = nullptr;
}

}  // namespace
}  // namespace orvane
