#include <gtest/gtest.h>

#include "formats/GeoTiff.h"
#include "support/GdalReadBack.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using GeoTiffTest = testing::TempFolderTest;

FloatGrid SmallGrid() {
  FloatGrid g;
  g.West = 500000;
  g.North = 4500010;
  g.CellSize = 2.5;
  g.Columns = 3;
  g.Rows = 2;
  g.Cells = {101.25f, 102.5f, kNoDataCell, 99.0f, -3.75f, 100.0f};
  return g;
}

TEST_F(GeoTiffTest, GridReadsBackWithItsPlaceNoDataTilesAndCoordinateSystem) {
  const auto file = dir_ / "dem.tif";
  ASSERT_TRUE(WriteGeoTiff(file, SmallGrid(), "EPSG:25830").Ok());
  const testing::RasterBack r = testing::ReadRaster(file);
  EXPECT_EQ(r.Columns, 3);
  EXPECT_EQ(r.Rows, 2);
  EXPECT_EQ(std::vector<double>(r.Transform, r.Transform + 6),
            (std::vector<double>{500000, 2.5, 0, 4500010, 0, -2.5}));
  EXPECT_TRUE(r.HasNoData);
  EXPECT_EQ(r.NoData, static_cast<double>(kNoDataCell));
  EXPECT_EQ(r.Cells, SmallGrid().Cells);
  EXPECT_EQ(r.BlockX, 256);
  EXPECT_EQ(r.Compression, "DEFLATE");
  EXPECT_NE(r.Wkt.find("UTM zone 30N"), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(GeoTiffTest, RefusedGridOrCoordinateSystemLeavesTheOldFile) {
  const auto file = Write("dem.tif", "old");
  FloatGrid bad = SmallGrid();
  bad.Cells.pop_back();
  EXPECT_EQ(WriteGeoTiff(file, bad, "").Code(), ErrorCode::Refused);
  EXPECT_EQ(WriteGeoTiff(file, SmallGrid(), "EPSG:999999").Code(), ErrorCode::Refused);
  EXPECT_EQ(WriteGeoTiff(file, SmallGrid(), "/etc/passwd").Code(), ErrorCode::Refused);
  EXPECT_EQ(testing::Slurp(file), "old");
  ASSERT_TRUE(WriteGeoTiff(file, SmallGrid(), "").Ok());
  EXPECT_TRUE(testing::ReadRaster(file).Wkt.empty());
}

}  // namespace
}  // namespace orvane
