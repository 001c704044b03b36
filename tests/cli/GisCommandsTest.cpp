#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "cli/CliFixture.h"
#include "support/GdalReadBack.h"

namespace orvane::testing {
namespace {

// The elevation model of the demo surface against "orvane-tin elevation"
// at every cell centre, the bounds reaching off the surface; both files
// carry the project's coordinate system, as does the LandXML document.
TEST_F(CliFolder, DemAgreesWithElevationAtEveryCellAndFilesCarryTheCoordinateSystem) {
  ASSERT_EQ(RunCli(dir_, "demo p").status, 0);
  const CliOutcome crs = RunCli(dir_, "crs p EPSG:25830");
  ASSERT_EQ(crs.status, 0) << crs.err;
  EXPECT_EQ(crs.out, "EPSG:25830 ETRS89 / UTM zone 30N\n");
  const CliOutcome dem =
      RunCli(dir_, "dem p Demo d.tif --cell 0.7 --bounds 499990 4499990 500130 4500100");
  ASSERT_EQ(dem.status, 0) << dem.err;
  const RasterBack r = ReadRaster(dir_ / "d.tif");
  ASSERT_EQ(r.Columns, 200);
  ASSERT_EQ(r.Rows, 158);
  EXPECT_NE(r.Wkt.find("UTM zone 30N"), std::string::npos);
  std::ofstream points(dir_ / "centres.xyz");
  points.precision(17);
  for (int row = 0; row < r.Rows; ++row)
    for (int c = 0; c < r.Columns; ++c)
      points << r.Transform[0] + (c + 0.5) * r.Transform[1] << ' '
             << r.Transform[3] + (row + 0.5) * r.Transform[5] << " 0\n";
  points.close();
  const CliOutcome heights = RunCli(dir_, "elevation p/Demo.dsp --points centres.xyz");
  ASSERT_EQ(heights.status, 0) << heights.err;
  std::istringstream lines(heights.out);
  std::string x, y, z;
  size_t k = 0, off = 0, differing = 0;
  for (; lines >> x >> y >> z; ++k) {
    const float cell = r.Cells.at(k);
    off += z == "-";
    differing += z == "-" ? cell != static_cast<float>(r.NoData)
                          : cell != static_cast<float>(std::strtod(z.c_str(), nullptr));
  }
  EXPECT_EQ(k, r.Cells.size());
  EXPECT_EQ(differing, 0u);
  EXPECT_GT(off, 0u);
  EXPECT_LT(off, k);

  const CliOutcome contours = RunCli(dir_, "contours p Demo c.gpkg --interval 1 --index 5");
  ASSERT_EQ(contours.status, 0) << contours.err;
  const VectorBack v = ReadVector(dir_ / "c.gpkg");
  EXPECT_FALSE(v.Features.empty());
  EXPECT_NE(v.Wkt.find("UTM zone 30N"), std::string::npos);
  // A build that keeps its longest side keeps the coordinate system beside
  // it; the LandXML document carries it until it is cleared.
  ASSERT_EQ(RunCli(dir_, "build p Site --max-side 900").status, 0);
  EXPECT_EQ(RunCli(dir_, "crs p").out, crs.out);
  const std::string element = "<CoordinateSystem name=\"ETRS89 / UTM zone 30N\" epsgCode=\"25830\"";
  ASSERT_EQ(RunCli(dir_, "landxml p Demo d.xml").status, 0);
  EXPECT_NE(Slurp(dir_ / "d.xml").find(element), std::string::npos);
  EXPECT_EQ(RunCli(dir_, "crs p --clear").out, "none\n");
  ASSERT_EQ(RunCli(dir_, "landxml p Demo d.xml").status, 0);
  EXPECT_EQ(Slurp(dir_ / "d.xml").find("<CoordinateSystem"), std::string::npos);
}

}  // namespace
}  // namespace orvane::testing
