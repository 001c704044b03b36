#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliFixture.h"
#include "project/settings/ProjectSettings.h"
#include "support/GdalReadBack.h"

namespace orvane::testing {

namespace {

// A = 10 + 0.1 x, B = 12 - 0.02 y over [0, 100]^2: cut 2000/3 over 1000 m2,
// fill 122000/3 over 9000 m2, B - A = 2 - 0.1 x - 0.02 y. Zone 1, [0, 50] x [0, 100], holds all the
// cut and 7500 m3 net; zone 2, half of [50, 100] x [0, 50], 8333.33 m3 of fill.
TEST_F(CliFolder, CutFillReportAndMapReadBackThroughGdal) {
  SaveGrid(Grid(0, 0, 10, 10, [](double x, double) { return 10 + 0.1 * x; }), dir_ / "A.dsp");
  SaveGrid(Grid(0, 0, 25, 4, [](double, double y) { return 12 - 0.02 * y; }), dir_ / "B.dsp");
  Write("Z.bnd",
        "500000 4500000 0\n500050 4500000 0\n500050 4500100 0\n500000 4500100 0\nZONA_INC\n"
        "500050 4500000 0\n500100 4500000 0\n500100 4500050 0\n");
  const CliOutcome plain = RunCli(dir_, "cutfill A.dsp B.dsp");
  ASSERT_EQ(plain.status, 0) << plain.err;
  struct Want {
    std::string zone;
    double cut, fill, net, cutArea, fillArea, area;
  };
  const std::vector<Want> want = {{"1", 2000.0 / 3, 7500 + 2000.0 / 3, 7500, 1000, 4000, 5000},
                                  {"2", 0, 25000.0 / 3, 25000.0 / 3, 0, 1250, 1250},
                                  {"outside zones", 0, 72500.0 / 3, 72500.0 / 3, 0, 3750, 3750},
                                  {"total", 2000.0 / 3, 122000.0 / 3, 40000, 1000, 9000, 10000}};
  for (const std::string report : {"R.csv", "R.json"}) {
    SCOPED_TRACE(report);
    const CliOutcome run = RunCli(dir_, "cutfill A.dsp B.dsp --zones Z.bnd --report " + report);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, plain.out);  // the printed figures stay as they were
    const std::vector<GdalRow> rows = ReadWithGdal(dir_ / report);
    ASSERT_EQ(rows.size(), want.size());
    for (size_t r = 0; r < rows.size(); ++r) {
      EXPECT_EQ(rows[r].fields.at("zone"), want[r].zone);
      EXPECT_NEAR(rows[r].Number("cut"), want[r].cut, 1e-6);
      EXPECT_NEAR(rows[r].Number("fill"), want[r].fill, 1e-6);
      EXPECT_NEAR(rows[r].Number("net"), want[r].net, 1e-6);
      EXPECT_NEAR(rows[r].Number("cut_area"), want[r].cutArea, 1e-6);
      EXPECT_NEAR(rows[r].Number("fill_area"), want[r].fillArea, 1e-6);
      EXPECT_NEAR(rows[r].Number("overlap_area"), want[r].area, 1e-6);
    }
    if (report == "R.json") {
      EXPECT_EQ(rows[1].geometry,
                "POLYGON ((500050 4500000,500100 4500000,500100 4500050,500050 4500000))");
      EXPECT_EQ(rows[3].geometry, "");
    }
  }
  // Without zones the report holds the total alone.
  ASSERT_EQ(RunCli(dir_, "cutfill A.dsp B.dsp --report T.csv").status, 0);
  const std::vector<GdalRow> total = ReadWithGdal(dir_ / "T.csv");
  ASSERT_EQ(total.size(), 1u);
  EXPECT_EQ(total[0].fields.at("zone"), "total");
  // The map: B - A at the centres of 30 m cells on multiples of 30 m, from
  // (499980, 4500120); the first column and row lie west and north of the
  // surfaces: no data. The map and the report are in the coordinate
  // system of the project that holds A.
  ASSERT_TRUE(WriteCoordinateSystem(dir_, "EPSG:25830").Ok());
  ASSERT_EQ(RunCli(dir_, "cutfill A.dsp B.dsp --map M.tif --cell 30").status, 0);
  const RasterBack map = ReadRaster(dir_ / "M.tif");
  EXPECT_NE(map.Wkt.find("25830"), std::string::npos) << map.Wkt;
  ASSERT_EQ(RunCli(dir_, "cutfill A.dsp B.dsp --zones Z.bnd --report S.json").status, 0);
  EXPECT_NE(ReadVector(dir_ / "S.json").Wkt.find("25830"), std::string::npos);
  ASSERT_EQ(map.Columns, 4);
  ASSERT_EQ(map.Rows, 4);
  EXPECT_EQ(map.Transform[0], 499980);
  EXPECT_EQ(map.Transform[3], 4500120);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      const double x = -5 + 30 * c, y = 105 - 30 * r;
      const float cell = map.Cells[static_cast<size_t>(r * 4 + c)];
      if (x < 0 || y > 100)
        EXPECT_EQ(cell, static_cast<float>(map.NoData)) << c << " " << r;
      else
        EXPECT_FLOAT_EQ(cell, static_cast<float>((12 - 0.02 * y) - (10 + 0.1 * x)))
            << c << " " << r;
    }
  // Zones without a report, and a map without a cell size, are refused
  // before anything runs.
  EXPECT_EQ(RunCli(dir_, "cutfill A.dsp B.dsp --zones Z.bnd").status, 2);
  EXPECT_EQ(RunCli(dir_, "cutfill A.dsp B.dsp --map N.tif").status, 2);
}

}  // namespace

}  // namespace orvane::testing
