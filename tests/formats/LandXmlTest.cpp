// The LandXML document: exact text for a small surface, schema validity and
// what the schema cannot see for a larger one, escaping, refusals, and the
// landxml command.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/support/NumberText.h"
#include "formats/LandXml.h"
#include "support/CommaLocale.h"
#include "support/SurveySurfaces.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

const LandXmlClock kClock{"2026-03-01", "14:05:09", "2026-03-01T14:05:09.250"};

using testing::Slurp;
using testing::SmallSurface;

int Shell(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

PointList Polyline(int32_t model, std::initializer_list<PointRec> points) {
  PointList list;
  list.Model = model;
  for (const PointRec& q : points) list.AddVertex(q.X, q.Y, q.Z);
  return list;
}

TEST(LandXmlDocument, SmallSurfaceIsExactlyAsLaidOut) {
  const TriangleMesh mesh = SmallSurface();
  const std::vector<PointList> zones{Polyline(
      PointListModel::Boundary,
      {{5.25, 7.5, -1.25, 0}, {8.25, 7.5, 2.75, 0}, {8.25, 19.5, 2.75, 0}, {5.25, 7.5, -1.25, 0}})};
  const std::vector<PointList> breaklines{
      Polyline(PointListModel::Breakline, {{5.25, 7.5, -1.25, 0}, {8.25, 19.5, 2.75, 0}})};
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
      "<LandXML language=\"English\" readOnly=\"false\" version=\"1.2\" time=\"14:05:09\" "
      "date=\"2026-03-01\" xsi:schemaLocation=\"http://www.landxml.org/schema/LandXML-1.2 "
      "http://www.landxml.org/schema/LandXML-1.2/LandXML-1.2.xsd\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xmlns=\"http://www.landxml.org/schema/LandXML-1.2\">"
      "<Units><Metric directionUnit=\"decimal degrees\" angularUnit=\"decimal degrees\" "
      "diameterUnit=\"millimeter\" pressureUnit=\"milliBars\" temperatureUnit=\"celsius\" "
      "volumeUnit=\"cubicMeter\" linearUnit=\"meter\" areaUnit=\"squareMeter\"/></Units>"
      "<Project name=\"\"/>"
      "<Application version=\"2019\" name=\"ORVANE\" timeStamp=\"2026-03-01T14:05:09.250\" "
      "manufacturerURL=\"www.kaldero.com\" manufacturer=\"Kaldero\" desc=\"ORVANE\"/>"
      "<CgPoints><CgPoint name=\"1\">7.5 5.25 -1.25</CgPoint><CgPoint name=\"2\">7.5 8.25 "
      "2.75</CgPoint><CgPoint name=\"3\">19.5 5.25 -1.25</CgPoint><CgPoint name=\"4\">19.5 "
      "8.25 2.75</CgPoint></CgPoints>"
      "<Surfaces><Surface name=\"Demo\" desc=\"\"><SourceData><Boundaries>"
      "<Boundary edgeTrim=\"true\" bndType=\"outer\"><PntList3D>7.500 5.25 -1.25 7.500 8.25 "
      "2.75 19.500 8.25 2.75 7.500 5.25 -1.25</PntList3D></Boundary></Boundaries>"
      "<Breaklines><Breakline desc=\"break\" brkType=\"standard\"><PntList3D>7.5 5.250 -1.250 "
      "19.500 8.250 2.750</PntList3D></Breakline></Breaklines></SourceData>"
      "<Definition elevMin=\"-1.25\" elevMax =\"2.75\" area3DSurf =\"60\" area2DSurf=\"36\" "
      "surfType=\"TIN\"><Pnts><P id=\"1\">7.5 5.25 -1.25</P><P id=\"2\">7.5 8.25 2.75</P>"
      "<P id=\"3\">19.5 5.25 -1.25</P><P id=\"4\">19.5 8.25 2.75</P></Pnts>"
      "<Faces><F>1 3 2</F><F>2 3 4</F></Faces></Definition></Surface></Surfaces>"
      "</LandXML>\r\n";
  EXPECT_EQ(BuildLandXml(mesh, zones, breaklines, kClock), expected);

  // Without zones and breaklines the source data is an empty element.
  const std::string bare = *BuildLandXml(mesh, {}, {}, kClock);
  EXPECT_NE(bare.find("desc=\"\"><SourceData/><Definition "), std::string::npos);
  EXPECT_EQ(bare.find("Boundar"), std::string::npos);
  EXPECT_EQ(bare.find("Breakline"), std::string::npos);
}

TEST(LandXmlDocument, AreasKeepOrientationSignAndIgnoreNegativeHeronProducts) {
  TriangleMesh mesh = SmallSurface();
  EXPECT_EQ(SurfaceArea2D(mesh), 36);
  mesh.InvertTriangleOrientation(2);
  EXPECT_EQ(SurfaceArea2D(mesh), 0);
  EXPECT_EQ(SurfaceArea3D(mesh), 60);

  // Millimetre triangles at survey northings keep their plan area.
  TriangleMesh patch;
  patch.AddTriangle(500000, 4500000, 1, 1, 500000, 4500000.007, 1, 2, 500000.013, 4500000, 1, 3);
  const double exact =
      (500000.013 - 500000.0) * (4500000.007 - 4500000.0) / 2;  // exact differences
  EXPECT_NEAR(SurfaceArea2D(patch), exact, exact * 1e-12);

  // Collinear vertices whose Heron product rounds below zero add nothing
  // (a square root of it would poison the sum with NaN).
  TriangleMesh flat;
  const double x[] = {0.1, 0.3, 0.7};
  for (int i = 0; i < 3; ++i) flat.AddPoint(x[i], 3 * x[i], 0);
  flat.AddTriangle(x[0], 3 * x[0], 0, 1, x[1], 3 * x[1], 0, 2, x[2], 3 * x[2], 0, 3);
  const double area = SurfaceArea3D(flat);
  EXPECT_FALSE(std::isnan(area));
  EXPECT_LT(area, 1e-9);
}

TEST(LandXmlDocument, EscapesNamesWhateverTheyHold) {
  TriangleMesh mesh = SmallSurface();
  // Latin-1 bytes as the binary file stores them: e-acute is 0xE9.
  mesh.Tag = std::string("a&b<c>\"d'\x01\t\xE9</Surface>");
  const std::string doc = *BuildLandXml(mesh, {}, {}, kClock);
  EXPECT_NE(doc.find("<Surface name=\"a&amp;b&lt;c&gt;&quot;d'&#65533;&#9;\xE9&lt;/Surface&gt;\" "
                     "desc=\"\">"),
            std::string::npos);
  // A name typed on this system is UTF-8: e-acute as 0xC3 0xA9, Omega beyond ISO-8859-1.
  mesh.Tag = std::string("Zon\xC3\xA9 \xCE\xA9");
  EXPECT_NE(BuildLandXml(mesh, {}, {}, kClock)->find("<Surface name=\"Zon\xE9 &#937;\""),
            std::string::npos);

  std::string out;
  AppendXmlEscaped(out, "\xCE\xA9\xE2\x82\xAC\xC3\xA9\xFF\xC0\x80<", TextBytes::Utf8);
  // Omega and the euro sign are outside ISO-8859-1; e-acute is inside; a
  // stray byte and an overlong NUL are not text.
  EXPECT_EQ(out, "&#937;&#8364;\xE9&#65533;&#65533;&#65533;&lt;");
}

TEST(LandXmlDocument, NumbersUseADotUnderACommaLocale) {
  if (orvane::testing::UseCommaLocale().empty())
    GTEST_SKIP() << "no locale with a decimal comma can be had (Debian package: locales)";
  const std::string doc = *BuildLandXml(SmallSurface(), {}, {}, kClock);
  std::setlocale(LC_ALL, "C");
  EXPECT_NE(doc.find("<P id=\"1\">7.5 5.25 -1.25</P>"), std::string::npos);
  EXPECT_EQ(doc.find(','), std::string::npos);
}

using LandXmlExportTest = testing::TempFolderTest;

// A survey-sized grid of nx x ny points 10 m apart, two triangles per cell,
// on a rolling relief.
TriangleMesh GridSurface(int nx, int ny, const std::string& tag) {
  TriangleMesh mesh = testing::GridSurface(
      0, 0, 10, nx - 1, ny - 1, [](double x, double y) { return 120 + 2 * std::sin(0.37 * x + y); },
      testing::RisingDiagonal);
  mesh.Tag = tag;
  return mesh;
}

// What the schema does not check: unique point ids, faces naming existing
// points, three numbers per point, single blanks between numbers.
void ExpectConsistent(const std::string& doc, int32_t points, int32_t triangles) {
  const std::string number = R"re(-?[0-9]+(\.[0-9]+)?(e[-+][0-9]+)?)re";
  const std::regex xyz("^" + number + " " + number + " " + number + "$");
  const std::regex list("^" + number + "( " + number + ")*$");
  std::set<int64_t> ids;
  const std::regex p(R"re(<P id="([0-9]+)">([^<]*)</P>)re");
  for (auto it = std::sregex_iterator(doc.begin(), doc.end(), p); it != std::sregex_iterator();
       ++it) {
    EXPECT_TRUE(ids.insert(std::stoll((*it)[1])).second) << "duplicate id " << (*it)[1];
    EXPECT_TRUE(std::regex_match((*it)[2].str(), xyz)) << (*it)[2];
  }
  EXPECT_EQ(ids.size(), static_cast<size_t>(points));
  int32_t faces = 0;
  const std::regex f(R"re(<F>([0-9]+) ([0-9]+) ([0-9]+)</F>)re");
  for (auto it = std::sregex_iterator(doc.begin(), doc.end(), f); it != std::sregex_iterator();
       ++it, ++faces)
    for (int k = 1; k <= 3; ++k) EXPECT_TRUE(ids.count(std::stoll((*it)[k]))) << (*it)[0];
  EXPECT_EQ(faces, triangles);
  const std::regex cg(R"re(<CgPoint name="[0-9]+">([^<]*)</CgPoint>)re");
  for (auto it = std::sregex_iterator(doc.begin(), doc.end(), cg); it != std::sregex_iterator();
       ++it)
    EXPECT_TRUE(std::regex_match((*it)[1].str(), xyz)) << (*it)[1];
  const std::regex pl(R"re(<PntList3D>([^<]*)</PntList3D>)re");
  for (auto it = std::sregex_iterator(doc.begin(), doc.end(), pl); it != std::sregex_iterator();
       ++it) {
    const std::string text = (*it)[1];
    EXPECT_TRUE(std::regex_match(text, list)) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), ' ') % 3, 2) << text;
  }
}

TEST_F(LandXmlExportTest, GeneratedSurfaceIsValidLandXml) {
  const TriangleMesh mesh = GridSurface(30, 20, "Terrain 1");
  Write("Terrain 1.bnd",
        "500010 4500010 120\n500200 4500010 121\n500200 4500150 122\nZONA_INC\n"
        "500050 4500050 120\n500100 4500050 120\n500100 4500100 120\n");
  Write("Terrain 1.brk",
        "500020 4500020 119.5\n500150 4500120 121.25\nBREAKLINE\n"
        "500030 4500030.0004 118\n500031 4500031 118\n500040 4500090 118\n");
  const fs::path out = dir_ / "terrain.xml";
  const LandXmlExport result = ExportLandXml(mesh, dir_, out);
  ASSERT_TRUE(result.ok()) << result.Written.Text();
  EXPECT_EQ(result.ZoneCount, 2);
  EXPECT_EQ(result.BreaklineCount, 2);
  const std::string doc = Slurp(out);
  ExpectConsistent(doc, mesh.PointCount(), mesh.TriangleCount());
  EXPECT_EQ(std::count(doc.begin(), doc.end(), '\n'), 1);
  EXPECT_NE(doc.find("<Breakline desc=\"break\" brkType=\"standard\"><PntList3D>4500030.0004 "
                     "500030.000 118.000 4500031.000 500031.000 118.000 "),
            std::string::npos);

  const fs::path schema = fs::path(ORVANE_SHARED_DIR) / "landxml" / "LandXML-1.2.xsd";
  if (!fs::exists(schema)) GTEST_SKIP() << "schema not found: " << schema;
  if (Shell("command -v xmllint >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xmllint not installed (Debian: libxml2-utils); schema check skipped";
  const fs::path log = dir_ / "xmllint.txt";
  EXPECT_EQ(Shell("xmllint --noout --schema '" + schema.string() + "' '" + out.string() + "' 2>'" +
                  log.string() + "'"),
            0)
      << Slurp(log);
}

TEST_F(LandXmlExportTest, ReadsOnlyTheExportedSurfacesCompanionFiles) {
  Write("A.brk", "1 2 3\n4 5 6\n");
  Write("A.bnd", "0 0 0\n10 0 0\n10 10 0\n");
  ASSERT_TRUE(ExportLandXml(GridSurface(3, 3, "A"), dir_, dir_ / "a.xml").ok());
  const std::string a = Slurp(dir_ / "a.xml");
  EXPECT_NE(a.find("<Boundaries>"), std::string::npos);
  EXPECT_NE(a.find("<Breaklines>"), std::string::npos);
  // The last zone of a file is closed by repeating its first point.
  EXPECT_NE(a.find("<PntList3D>0.000 0 0 0.000 10 0 10.000 10 0 0.000 0 0</PntList3D>"),
            std::string::npos);

  const LandXmlExport b = ExportLandXml(GridSurface(3, 3, "B"), dir_, dir_ / "b.xml");
  ASSERT_TRUE(b.ok());
  EXPECT_NE(Slurp(dir_ / "b.xml").find("<SourceData/>"), std::string::npos);
  EXPECT_TRUE(b.Zones && b.Zones->empty());
  EXPECT_TRUE(b.Breaklines && b.Breaklines->empty());

  // A Tag is no path: "../A" in a sub-folder does not reach A's files.
  fs::create_directories(dir_ / "sub");
  ASSERT_TRUE(ExportLandXml(GridSurface(3, 3, "../A"), dir_ / "sub", dir_ / "c.xml").ok());
  EXPECT_NE(Slurp(dir_ / "c.xml").find("<SourceData/>"), std::string::npos);
}

TEST_F(LandXmlExportTest, RefusesWhatWouldNotBeAValidSurface) {
  const fs::path out = dir_ / "out.xml";
  Write("out.xml", "previous");

  TriangleMesh noTriangles;
  noTriangles.Tag = std::string("Empty");
  noTriangles.AddPoint(1, 2, 3);
  LandXmlExport r = ExportLandXml(noTriangles, dir_, out);
  EXPECT_NE(r.Written.Text().find("surface 'Empty' has no triangles"), std::string::npos)
      << r.Written.Text();

  TriangleMesh dangling = SmallSurface();
  dangling.AddTriangle(0, 0, 0, 1, 1, 0, 0, 2, 0, 1, 0, 9);
  r = ExportLandXml(dangling, dir_, out);
  EXPECT_NE(r.Written.Text().find("triangle 3 names point 9"), std::string::npos)
      << r.Written.Text();

  // A cancel from the progress callback.
  int calls = 0;
  r = ExportLandXml(GridSurface(100, 100, "Big"), dir_, out,
                    [&](LandXmlPhase phase, int64_t, int64_t) {
                      ++calls;
                      return phase != LandXmlPhase::Pnts;
                    });
  EXPECT_TRUE(r.Written.IsCancelled());
  EXPECT_GE(calls, 4);

  EXPECT_EQ(Slurp(out), "previous");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace orvane
