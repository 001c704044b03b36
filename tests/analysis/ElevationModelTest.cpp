#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis/ElevationModel.h"
#include "analysis/ElevationQueries.h"
#include "core/model/TriangleMesh.h"
#include "support/RandomQueryMeshes.h"
#include "support/SurveySurfaces.h"

namespace orvane {
namespace {

using testing::kE;
using testing::kN;

// Every cell against the elevation query at its centre: the same triangle
// and the same height (rounded to the cell's 32 bits), or no data where no
// triangle holds the centre.
void ExpectQueryAtEveryCentre(const TriangleMesh& mesh, const FloatGrid& g) {
  int64_t differing = 0, filled = 0;
  for (int32_t r = 0; r < g.Rows; ++r)
    for (int32_t c = 0; c < g.Columns; ++c) {
      const double z = InterpolateZ(mesh, g.CentreX(c), g.CentreY(r), NAN);
      const float want = std::isnan(z) ? g.NoData : static_cast<float>(z);
      filled += !std::isnan(z);
      if (g.At(c, r) != want && ++differing <= 5)
        ADD_FAILURE() << "cell " << c << " " << r << ": " << g.At(c, r) << " not " << want;
    }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(filled, 0);
}

struct DemCase {
  const char* what;
  TriangleMesh mesh;
  double cell;
  std::optional<PlanBounds> bounds;
};

TEST(ElevationModelTest, EveryCellCentreHoldsTheElevationQuerysHeight) {
  std::mt19937_64 rng(7);
  const auto plane = [](double x, double y) { return 812.5 + 0.031 * x - 0.017 * y; };
  std::vector<DemCase> cases;
  // Cell centres on every vertex and edge of a grid of mixed diagonals.
  cases.push_back({"centres on vertices and edges",
                   testing::GridSurface(0, 0, 1, 20, 15, plane, testing::RandomDiagonals(rng)), 0.5,
                   PlanBounds{kE - 0.25, kN - 0.75, kE + 20.5, kN + 15.25}});
  cases.push_back({"random survey surface",
                   testing::RandomSurface(rng, kE, kN, 0, 0, 300, 400, plane), 0.73, std::nullopt});
  // Overlapping triangles, slivers, near-duplicate corners, degenerate ones.
  cases.push_back(
      {"overlaps and slivers", testing::RandomMesh({kE, kN, 2.0, 12, 3}), 0.03, std::nullopt});
  cases.push_back({"bounds beyond the surface", testing::RandomMesh({1000, 2000, 5.0, 6, 4, true}),
                   1.0, PlanBounds{990, 1990, 1040, 2035}});
  for (const DemCase& c : cases) {
    SCOPED_TRACE(c.what);
    Feedback quiet;
    const Result<FloatGrid> g = ElevationModel(c.mesh, c.cell, c.bounds, quiet);
    ASSERT_TRUE(g.Ok()) << g.Error().Text();
    ExpectQueryAtEveryCentre(c.mesh, *g);
  }
}

TEST(ElevationModelTest, PlaneGivesThePlaneOnCellsAlignedToTheCellSize) {
  const auto plane = [](double x, double y) { return 100 + 0.25 * x + 0.5 * y; };
  const TriangleMesh mesh =
      testing::GridSurface(0.3, 0.6, 3, 4, 3, plane, testing::FallingDiagonal);
  Feedback quiet;
  const Result<FloatGrid> g = ElevationModel(mesh, 2, std::nullopt, quiet);
  ASSERT_TRUE(g.Ok());
  // Local x 0.3 .. 12.3 and y 0.6 .. 9.6 widened to whole cells of 2 m.
  EXPECT_EQ(g->West, kE);
  EXPECT_EQ(g->North, kN + 10);
  EXPECT_EQ(g->Columns, 7);
  EXPECT_EQ(g->Rows, 5);
  for (int32_t r = 0; r < g->Rows; ++r)
    for (int32_t c = 0; c < g->Columns; ++c) {
      const double x = g->CentreX(c) - kE, y = g->CentreY(r) - kN;
      const bool on = x >= 0.3 && x <= 12.3 && y >= 0.6 && y <= 9.6;
      EXPECT_EQ(g->At(c, r), on ? static_cast<float>(plane(x, y)) : g->NoData) << c << " " << r;
    }
}

TEST(ElevationModelTest, BadCellSizeOrBoundsAreRefused) {
  const TriangleMesh mesh = testing::SmallSurface();
  Feedback quiet;
  for (const double cell : {0.0, -1.0, double{NAN}, double{INFINITY}, 1e-9})
    EXPECT_EQ(ElevationModel(mesh, cell, std::nullopt, quiet).Error().Code(), ErrorCode::Refused);
  EXPECT_EQ(ElevationModel(mesh, 1, PlanBounds{10, 0, 5, 5}, quiet).Error().Code(),
            ErrorCode::Refused);
  EXPECT_EQ(ElevationModel(TriangleMesh{}, 1, std::nullopt, quiet).Error().Code(),
            ErrorCode::Refused);
}

}  // namespace
}  // namespace orvane
