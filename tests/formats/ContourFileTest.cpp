#include <gtest/gtest.h>

#include "formats/ContourFile.h"
#include "support/GdalReadBack.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

using ContourFileTest = testing::TempFolderTest;

std::vector<ContourLine> TwoLines() {
  return {{120, true, false, {{500000.5, 4500000.25}, {500010.125, 4500003}}},
          {121.5,
           false,
           true,
           {{500001, 4500001}, {500002, 4500001}, {500001, 4500002}, {500001, 4500001}}}};
}

TEST_F(ContourFileTest, EveryFormatReadsBackWithElevationIndexAndCoordinateSystem) {
  const std::vector<ContourLine> lines = TwoLines();
  for (const char* name : {"c.gpkg", "c.shp", "c.dxf", "c.geojson", "C.JSON"}) {
    SCOPED_TRACE(name);
    const auto file = dir_ / name;
    ASSERT_TRUE(WriteContourFile(file, lines, "EPSG:25830").Ok());
    const testing::VectorBack v = testing::ReadVector(file);
    ASSERT_TRUE(v.Opened);
    ASSERT_EQ(v.Features.size(), 2u);
    const bool dxf = std::string(name) == "c.dxf";
    // DXF has no coordinate system of its own.
    EXPECT_EQ(v.Wkt.find("UTM zone 30N") != std::string::npos, !dxf);
    for (size_t k = 0; k < 2; ++k) {
      const ContourLine& want = lines[k];
      const testing::FeatureBack& got = v.Features[k];
      if (dxf) {
        EXPECT_EQ(got.Layer, want.Index ? "INDEX CONTOUR" : "CONTOUR");
      } else {
        EXPECT_EQ(got.Elevation, want.Elevation);
        EXPECT_EQ(got.Index, want.Index ? 1 : 0);
      }
      ASSERT_EQ(got.Points.size(), want.Points.size());
      for (size_t i = 0; i < got.Points.size(); ++i)
        EXPECT_EQ(got.Points[i],
                  (std::array<double, 3>{want.Points[i].X, want.Points[i].Y, want.Elevation}));
    }
  }
  // The Shapefile's companions are in place, nothing else is left beside them.
  for (const char* companion : {"c.shx", "c.dbf", "c.prj"})
    EXPECT_TRUE(std::filesystem::exists(dir_ / companion)) << companion;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_),
                          std::filesystem::directory_iterator()),
            8);
}

TEST_F(ContourFileTest, UnknownExtensionOrCoordinateSystemIsRefusedAndWritesNothing) {
  EXPECT_EQ(WriteContourFile(dir_ / "c.txt", TwoLines(), "").Code(), ErrorCode::Refused);
  EXPECT_EQ(WriteContourFile(dir_ / "c.gpkg", TwoLines(), "EPSG:0").Code(), ErrorCode::Refused);
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

}  // namespace
}  // namespace orvane
