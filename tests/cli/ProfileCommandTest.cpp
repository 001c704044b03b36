#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cli/CliFixture.h"
#include "support/GdalReadBack.h"
#include "support/SurveySurfaces.h"

namespace orvane::testing {

namespace {

// Along y = 5 from x = -5 to 105 over S, 10 m cells with rising diagonals
// and z = (x - 50)^2 / 100 + y at the nodes, cell (4, 0) missing: S's
// section has a vertex on every cell side (x = 0, 10, ...) and diagonal
// (x = 5, 15, ...), a gap at x = 45 and off both ends. P, a plane of two
// triangles over [0, 100]^2, lies on the same rows.
TEST_F(CliFolder, ProfileOfAKnownSurfaceReadBackThroughGdal) {
  auto f = [](double x) { return (x - 50) * (x - 50) / 100; };
  SaveGrid(GridSurface(
               0, 0, 10, 10, 2, [&](double x, double y) { return f(x) + y; }, RisingDiagonal,
               [](int i, int j) { return !(i == 4 && j == 0); }),
           dir_ / "S.dsp");
  SaveGrid(GridSurface(
               0, 0, 100, 1, 1, [](double x, double) { return 1 + 0.01 * x; }, RisingDiagonal),
           dir_ / "P.dsp");
  Write("L.brk", "BREAKLINE\n499995 4500005 0\n500105 4500005 0\nBREAKLINE\n");
  const CliOutcome run = RunCli(dir_, "profile . L.brk S P --out profile.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<GdalRow> rows = ReadWithGdal(dir_ / "profile.csv");
  ASSERT_EQ(rows.size(), 25u);
  for (size_t r = 0; r < rows.size(); ++r) {
    const double x = -5 + 2.5 * static_cast<double>(std::min<size_t>(r, 2)) +
                     5 * static_cast<double>(r > 2 ? std::min<size_t>(r - 2, 20) : 0) +
                     2.5 * static_cast<double>(r > 22 ? r - 22 : 0);
    SCOPED_TRACE(x);
    EXPECT_NEAR(rows[r].Number("station"), x + 5, 1e-9);
    EXPECT_NEAR(rows[r].Number("x"), kE + x, 1e-9);
    EXPECT_NEAR(rows[r].Number("y"), kN + 5, 1e-9);
    const bool onS = x >= 0 && x <= 100 && x != 45;
    const double cell = 10 * std::floor(x / 10);
    const double s = x == cell ? f(x) + 5 : (f(cell) + f(cell + 10)) / 2 + 5;
    EXPECT_EQ(rows[r].fields.at("S").empty(), !onS);
    if (onS) {
      EXPECT_NEAR(rows[r].Number("S"), s, 1e-9);
    }
    EXPECT_EQ(rows[r].fields.at("P").empty(), !(x >= 0 && x <= 100));
    if (x >= 0 && x <= 100) {
      EXPECT_NEAR(rows[r].Number("P"), 1 + 0.01 * x, 1e-9);
    }
  }
  // A line file of two polylines is refused, and nothing is written.
  Write("two.brk", "0 0 0\n1 1 0\nBREAKLINE\n2 2 0\n3 3 0\n");
  EXPECT_EQ(RunCli(dir_, "profile . two.brk S --out two.csv").status, 2);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "two.csv"));
}

}  // namespace

}  // namespace orvane::testing
