// The landxml command: the document of a surface of the project folder, and
// status 2 for a surface that is not there.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/model/TriangleMesh.h"
#include "support/RunCli.h"
#include "support/SurveySurfaces.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

using testing::Slurp;
using testing::SmallSurface;
using LandXmlExportTest = testing::TempFolderTest;

TEST_F(LandXmlExportTest, CommandWritesTheDocumentAndFailsWithStatus2) {
  TriangleMesh mesh = SmallSurface();
  ASSERT_TRUE(mesh.SaveToBinary(dir_ / "Demo.dsp"));
  ASSERT_EQ(mesh.LastErrorCode, 0);
  Write("Demo.brk", "5.25 7.5 -1.25\n8.25 19.5 2.75\n");
  const std::string cli = "landxml '" + dir_.string() + "' ";
  const testing::CliOutcome run =
      testing::RunCli(dir_, cli + "Demo '" + (dir_ / "demo.xml").string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("4 points, 2 triangles, 0 zones, 1 breaklines"), std::string::npos);
  const std::string doc = Slurp(dir_ / "demo.xml");
  EXPECT_NE(doc.find("<Breaklines>"), std::string::npos);
  EXPECT_NE(doc.find("<Faces><F>1 3 2</F><F>2 3 4</F></Faces>"), std::string::npos);

  const testing::CliOutcome missing =
      testing::RunCli(dir_, cli + "Missing '" + (dir_ / "missing.xml").string() + "'");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("Missing.dsp"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "missing.xml"));
}

}  // namespace
}  // namespace orvane
