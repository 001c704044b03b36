// The landxml command: the document of a surface of the project folder, and
// status 2 for a surface that is not there; and import-landxml.

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

TEST_F(LandXmlExportTest, ImportCommandReportsUnitsAndSurfacesAndRefusesWithStatus2) {
  const std::string tin =
      "<Definition surfType=\"TIN\"><Pnts><P id=\"1\">0 0 1</P><P id=\"2\">0 3 1</P>"
      "<P id=\"3\">3 0 2</P></Pnts><Faces><F>1 2 3</F><F i=\"1\">3 2 1</F></Faces></Definition>";
  Write("site.xml",
        "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-2.0\"><Units><Imperial "
        "linearUnit=\"foot\"/></Units><Surfaces><Surface name=\"EG\">" +
            tin + "</Surface><Surface name=\"FG\">" + tin + "</Surface></Surfaces></LandXML>");
  fs::create_directories(dir_ / "p");
  const std::string cli =
      "import-landxml '" + (dir_ / "p").string() + "' '" + (dir_ / "site.xml").string() + "' ";
  const testing::CliOutcome metres = testing::RunCli(dir_, cli + "--surface FG --units metre");
  ASSERT_EQ(metres.status, 0) << metres.err;
  EXPECT_EQ(metres.out,
            "units: foot, converted to meter\nFG: 3 points, 1 triangles\nhidden faces left out: "
            "1\n");
  TriangleMesh fg;
  ASSERT_TRUE(fg.LoadFromBinary(dir_ / "p" / "FG.dsp"));
  EXPECT_EQ(fg.Point(3).Y, 3 * 0.3048);
  EXPECT_FALSE(fs::exists(dir_ / "p" / "EG.dsp"));

  // Both again: FG is taken now and gets a suffix, said on stderr.
  const testing::CliOutcome kept = testing::RunCli(dir_, cli);
  ASSERT_EQ(kept.status, 0) << kept.err;
  EXPECT_EQ(kept.out,
            "units: foot\nEG: 3 points, 1 triangles\nFG_2: 3 points, 1 triangles\n"
            "hidden faces left out: 2\n");
  EXPECT_EQ(kept.err, "surface \"FG\" imported as \"FG_2\": the name is taken\n");

  Write("bad.xml", "<LandXML>\n<Surfaces>\n</LandXML>\n");
  const testing::CliOutcome bad = testing::RunCli(
      dir_, "import-landxml '" + (dir_ / "p").string() + "' '" + (dir_ / "bad.xml").string() + "'");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(
      bad.err.find("bad.xml: line 3, column 3: not a well-formed XML document: mismatched tag"),
      std::string::npos)
      << bad.err;
}

}  // namespace
}  // namespace orvane
