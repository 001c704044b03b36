// The square grid against the literal one-scan-per-node procedure on random
// meshes, and the grid's own cases: sizes, empty nodes, planes, refusal,
// progress and cancel.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/GridResampling.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Status.h"
#include "reference/ElevationReference.h"
#include "support/MeshChecks.h"

namespace orvane {
namespace {

void ExpectSameQuads(const QuadMesh& got, const QuadMesh& want) {
  ASSERT_EQ(got.QuadCount(), want.QuadCount());
  for (int32_t q = 1; q <= got.QuadCount(); ++q) ASSERT_EQ(*got.GetQuad(q), *want.GetQuad(q)) << q;
}

// A w x h rectangle at (x0, y0) of cells of size h / rows, two triangles
// each, heights from the plane z = a + b x + c y.
TriangleMesh Rectangle(double x0, double y0, double w, double h, int cols, int rows, double a = 0,
                       double b = 0, double c = 0) {
  TriangleMesh mesh;
  auto z = [&](double x, double y) { return a + b * x + c * y; };
  for (int j = 0; j <= rows; ++j)
    for (int i = 0; i <= cols; ++i) {
      const double x = x0 + w * i / cols, y = y0 + h * j / rows;
      mesh.AddPoint(x, y, z(x, y));
    }
  auto P = [&](int i, int j) { return mesh.Point(j * (cols + 1) + i + 1); };
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < cols; ++i) {
      const PointRec p = P(i, j), q = P(i + 1, j), r = P(i + 1, j + 1), s = P(i, j + 1);
      mesh.AddTriangle(p.X, p.Y, p.Z, 0, q.X, q.Y, q.Z, 0, r.X, r.Y, r.Z, 0);
      mesh.AddTriangle(p.X, p.Y, p.Z, 0, r.X, r.Y, r.Z, 0, s.X, s.Y, s.Z, 0);
    }
  return mesh;
}

TEST(GridResampling, MatchesTheLiteralGridOnRandomMeshes) {
  struct Case {
    double east, north;
    unsigned seed;
  };
  for (const Case& c : {Case{0, 0, 1}, Case{500000.0005, 4500000.0015, 2}, Case{-73.5, 20, 3}}) {
    SCOPED_TRACE("seed " + std::to_string(c.seed));
    std::mt19937_64 rng(c.seed);
    std::uniform_real_distribution<double> u(0, 1);
    // Jittered 12 x 8 cells of 10 m (on whole metres every other node, so
    // many nodes land on vertices and shared edges), plus overlapping
    // triangles with other heights.
    TriangleMesh mesh;
    auto jitter = [&](int i) { return i % 2 ? 3 * (u(rng) - 0.5) : 0.0; };
    std::vector<PointRec> node;
    for (int j = 0; j <= 8; ++j)
      for (int i = 0; i <= 12; ++i) {
        mesh.AddPoint(c.east + 10 * i + jitter(i + j), c.north + 10 * j + jitter(i * j),
                      50 * u(rng));
        node.push_back(mesh.Point(mesh.PointCount()));
      }
    auto at = [&](int i, int j) { return node[static_cast<size_t>(j * 13 + i)]; };
    auto add = [&](const PointRec& a, const PointRec& b, const PointRec& d) {
      mesh.AddTriangle(a.X, a.Y, a.Z, 0, b.X, b.Y, b.Z, 0, d.X, d.Y, d.Z, 0);
    };
    for (int j = 0; j < 8; ++j)
      for (int i = 0; i < 12; ++i) {
        if (u(rng) < 0.3) continue;  // holes: empty nodes inside the box
        add(at(i, j), at(i + 1, j), at(i + 1, j + 1));
        add(at(i + 1, j + 1), at(i, j + 1), at(i, j));
      }
    for (int k = 0; k < 15; ++k) {
      const double x = c.east + 120 * u(rng), y = c.north + 80 * u(rng), r = 30 * u(rng);
      add({x, y, 200, 0}, {x + r, y, 210, 0}, {x, y + r, 220, 0});
    }
    for (int32_t side : {1, 3, 5, 10, 37, 200}) {
      SCOPED_TRACE("side " + std::to_string(side));
      const Result<QuadMesh> grid = GetSquareQuadMesh(mesh, side);
      ASSERT_TRUE(grid);
      EXPECT_EQ(mesh.LastErrorCode, 0);
      // Its quads list their corners counter-clockwise, and so its triangles.
      ExpectValidSurface(grid->GetTriangleMesh(), "grid", {.RequireClockwise = false});
      ExpectSameQuads(*grid,
                      reference::LiteralSquareGrid(mesh.Triangles(), mesh.GetExtents(), side));
    }
  }
}

// A sliver along the hull edge, 1.4 mm wide, with a node 1 cm outside that
// edge: the node stays empty (the sliver's plane gave it -6 m) and every
// other node takes the containing triangle's height, at survey coordinates
// too.
TEST(GridResampling, SliverNodesComeFromTheContainingTriangle) {
  for (const double east : {0.0, 500000.0, 2230000.0}) {
    const double north = east == 0 ? 0 : 4500000;
    SCOPED_TRACE("east " + std::to_string(east));
    auto add = [&](TriangleMesh& m, double x1, double y1, double z1, double x2, double y2,
                   double z2, double x3, double y3, double z3) {
      m.AddTriangle(east + x1, north + y1, z1, 0, east + x2, north + y2, z2, 0, east + x3,
                    north + y3, z3, 0);
    };
    // Hull edge (0,0)-(100,99.98) passes 1 cm below the node (50,50); the
    // apex (50.0007, ~49.9893) lies 1.4 mm inside it.
    const double px = 50.0007, py = 0.9998 * 50.0007 - 0.0014;
    TriangleMesh mesh;
    add(mesh, 0, 0, 0, px, py, 1, 100, 99.98, 0);
    add(mesh, 0, 0, 0, 100, 0, 0, px, py, 1);
    add(mesh, px, py, 1, 100, 0, 0, 100, 99.98, 0);
    for (int32_t side : {1, 5, 10}) {
      SCOPED_TRACE("side " + std::to_string(side));
      const Result<QuadMesh> grid = GetSquareQuadMesh(mesh, side);
      ASSERT_TRUE(grid);
      ExpectSameQuads(*grid,
                      reference::LiteralSquareGrid(mesh.Triangles(), mesh.GetExtents(), side));
      for (int32_t q = 1; q <= grid->QuadCount(); ++q) {
        const QuadMesh::Quad quad = *grid->GetQuad(q);
        for (const PointRec& p : quad) {
          ASSERT_GE(p.Z, 0);
          ASSERT_LE(p.Z, 1);
          ASSERT_LE(p.Y - north, 0.9998 * (p.X - east) + 1e-9);  // on the surface
        }
      }
    }
  }
}

TEST(GridResampling, SizesAndEmptyNodes) {
  // 100 wide, 50 high, side 10: 11 x 11 nodes over a 100 x 100 box; the
  // nodes above the surface stay empty and no quad touches them.
  TriangleMesh wide = Rectangle(0, 0, 100, 50, 4, 2, 7, 0.5, -0.25);
  Result<QuadMesh> grid = GetSquareQuadMesh(wide, 10);
  ASSERT_TRUE(grid);
  EXPECT_EQ(grid->QuadCount(), 10 * 5);
  EXPECT_EQ(grid->GetExtents().Max.Y, 50);
  // First quad: the lowest column, from the highest filled row down.
  const QuadMesh::Quad q = *grid->GetQuad(1);
  const double corners[4][2] = {{0, 50}, {0, 40}, {10, 40}, {10, 50}};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(q[k].X, corners[k][0]);
    EXPECT_EQ(q[k].Y, corners[k][1]);
    EXPECT_NEAR(q[k].Z, 7 + 0.5 * q[k].X - 0.25 * q[k].Y, 1e-12);
  }

  // Side above half the width: 2 x 2 nodes, one quad; above the width: one
  // node, no quad.
  TriangleMesh square = Rectangle(0, 0, 100, 100, 3, 3, 1);
  for (int32_t side : {60, 100}) EXPECT_EQ(GetSquareQuadMesh(square, side)->QuadCount(), 1);
  EXPECT_EQ(GetSquareQuadMesh(square, 101)->QuadCount(), 0);

  // A surface point at x = 0, y = 0 is a filled node like any other.
  TriangleMesh origin = Rectangle(0, 0, 10, 10, 1, 1, 3);
  ASSERT_EQ(GetSquareQuadMesh(origin, 10)->QuadCount(), 1);
  EXPECT_EQ((*GetSquareQuadMesh(origin, 10)->GetQuad(1))[1], (PointRec{0, 0, 3, 0}));

  // A plane at survey coordinates, sampled on its own vertices and between.
  TriangleMesh survey = Rectangle(500000, 4500000, 300, 300, 7, 7, -1e5, 0.125, 0.0625);
  const Result<QuadMesh> plane = GetSquareQuadMesh(survey, 4);
  ASSERT_TRUE(plane);
  EXPECT_EQ(plane->QuadCount(), 75 * 75);
  for (int32_t i = 1; i <= plane->QuadCount(); i += 97) {
    const QuadMesh::Quad quad = *plane->GetQuad(i);
    for (const PointRec& p : quad) EXPECT_NEAR(p.Z, -1e5 + 0.125 * p.X + 0.0625 * p.Y, 1e-6);
  }

  EXPECT_EQ(GetSquareQuadMesh(*std::make_unique<TriangleMesh>(), 5)->QuadCount(), 0);
  for (int32_t side : {0, -10}) {
    EXPECT_EQ(GetSquareQuadMesh(square, side).Error().Code(), ErrorCode::Refused);
    EXPECT_EQ(square.LastErrorCode, kGridRefused);
  }
}

TEST(GridResampling, ReportsEachColumnAndStopsOnCancel) {
  TriangleMesh mesh = Rectangle(0, 0, 100, 100, 2, 2);
  auto status = Status::Create();
  status->Delay = 0;
  std::vector<int32_t> seen;
  int32_t cancelAt = -1;
  status->Progress = [&](int32_t& p) {
    seen.push_back(p);
    if (p == cancelAt) CancelRequested = true;
  };
  status->Listen();
  CancelRequested = true;  // left over from before: forgotten by the feedback
  StatusFeedback first;
  ASSERT_TRUE(GetSquareQuadMesh(mesh, 25, first));
  EXPECT_EQ(seen, (std::vector<int32_t>{20, 40, 60, 80, 100, 100}));

  seen.clear();
  cancelAt = 60;
  StatusFeedback second;
  EXPECT_TRUE(GetSquareQuadMesh(mesh, 25, second).Error().IsCancelled());
  EXPECT_EQ(mesh.LastErrorCode, kGridCancelled);
  EXPECT_FALSE(CancelRequested);
  EXPECT_EQ(seen, (std::vector<int32_t>{20, 40, 60}));
  Status::Create()->Listen();  // nobody listens to later tests' progress
}

}  // namespace
}  // namespace orvane
