// The LandXML import into a project: our export reads back to the same
// files, a document in another program's style to the figures an
// independent reading of its text gives, names that are taken or unusable,
// survey points, and refusals that leave the folder as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "analysis/Volume.h"
#include "core/support/NumberText.h"
#include "formats/LandXml.h"
#include "formats/TextFiles.h"
#include "project/operations/LandXmlImport.h"
#include "support/FolderSnapshot.h"
#include "support/SurveySurfaces.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::Slurp;
using testing::TakeSnapshot;

const LandXmlClock kClock{"2026-03-01", "14:05:09", "2026-03-01T14:05:09.250"};

class LandXmlImportTest : public testing::TempFolderTest {
 protected:
  Result<LandXmlImportChange> Import(const fs::path& file, LandXmlImportOptions o = {},
                                     std::span<const std::shared_ptr<TriangleMesh>> surfaces = {}) {
    fs::create_directories(dir_ / "p");
    Feedback quiet;
    return ImportLandXmlFile(file, o, {dir_ / "p", surfaces, {}}, quiet);
  }
};

TEST_F(LandXmlImportTest, OurExportImportsToTheIdenticalSurfaceZonesAndBreaklines) {
  TriangleMesh mesh = testing::GridSurface(
      0, 0, 1.25, 6, 5, [](double x, double y) { return 100.125 + 0.5 * x - 0.25 * y; },
      testing::RisingDiagonal);
  mesh.Tag = std::string("Ground");
  Write("Ground.bnd",
        "500000 4500000 100\r\n500007.5 4500000 101\r\n500007.5 4500006.25 102\r\n"
        "ZONA_INC\r\n500001 4500001 100\r\n500002 4500001 100\r\n500002 4500002 100\r\n");
  Write("Ground.brk",
        "500001.5 4500001.25 100.125\r\n500006.5 4500005.75 100.375\r\nBREAKLINE\r\n");
  ASSERT_TRUE(ExportLandXml(mesh, dir_, dir_ / "g.xml", {}, kClock).ok());

  auto change = Import(dir_ / "g.xml");
  ASSERT_TRUE(change) << change.Error().Text();
  TriangleMesh back;
  ASSERT_TRUE(back.LoadFromBinary(dir_ / "p" / "Ground.dsp"));
  ASSERT_EQ(back.PointCount(), mesh.PointCount());
  ASSERT_EQ(back.TriangleCount(), mesh.TriangleCount());
  for (int32_t i = 1; i <= mesh.PointCount(); ++i) {
    EXPECT_EQ(back.Point(i).X, mesh.Point(i).X);
    EXPECT_EQ(back.Point(i).Y, mesh.Point(i).Y);
    EXPECT_EQ(back.Point(i).Z, mesh.Point(i).Z);
  }
  for (int32_t i = 1; i <= mesh.TriangleCount(); ++i)
    EXPECT_EQ(back.GetTriangleIndexes(i), mesh.GetTriangleIndexes(i));
  for (const char* ext : {".bnd", ".brk"}) {
    const auto layout =
        ext == std::string(".bnd") ? PolylineLayout::Zones : PolylineLayout::Breaklines;
    const PolylineFile a = ReadPolylineFile(dir_ / ("Ground" + std::string(ext)), layout);
    const PolylineFile b = ReadPolylineFile(dir_ / "p" / ("Ground" + std::string(ext)), layout);
    ASSERT_EQ(a.Lists.size(), b.Lists.size()) << ext;
    for (size_t k = 0; k < a.Lists.size(); ++k)
      EXPECT_TRUE(std::ranges::equal(a.Lists[k].Points(), b.Lists[k].Points())) << ext;
  }
  // Exported again, the document is the same to the byte; and no point file
  // repeats the surface's points.
  ASSERT_TRUE(ExportLandXml(back, dir_ / "p", dir_ / "g2.xml", {}, kClock).ok());
  EXPECT_EQ(Slurp(dir_ / "g.xml"), Slurp(dir_ / "g2.xml"));
  EXPECT_FALSE(fs::exists(dir_ / "p" / "g.xyz"));
  EXPECT_TRUE(fs::exists(dir_ / "p" / "Ground.tin"));
}

// The figures of a document read with nothing but a regular expression:
// points, visible faces, plan area and volume above 0, in metres.
struct Figures {
  size_t points = 0, faces = 0;
  double area = 0, volume = 0;
};
Figures ReadIndependently(const std::string& xml, double metres) {
  Figures f;
  std::map<std::string, std::array<double, 3>> p;  // id -> easting, northing, z
  const std::regex pt(R"re(<(?:\w+:)?P id="([^"]+)">\s*([^\s<]+)\s+([^\s<]+)\s+([^\s<]+)\s*<)re");
  for (std::sregex_iterator it(xml.begin(), xml.end(), pt), end; it != end; ++it)
    p[(*it)[1]] = {std::stod((*it)[3]) * metres, std::stod((*it)[2]) * metres,
                   std::stod((*it)[4]) * metres};
  f.points = p.size();
  const std::regex face(R"(<(?:\w+:)?F( [^>]*)?>\s*([^\s<]+)\s+([^\s<]+)\s+([^\s<]+)\s*<)");
  for (std::sregex_iterator it(xml.begin(), xml.end(), face), end; it != end; ++it) {
    if ((*it)[1].str().find("i=\"1\"") != std::string::npos) continue;
    const auto &a = p.at((*it)[2]), &b = p.at((*it)[3]), &c = p.at((*it)[4]);
    const double area = std::abs((b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1])) / 2;
    ++f.faces;
    f.area += area;
    f.volume += area * (a[2] + b[2] + c[2]) / 3;
  }
  return f;
}

TEST_F(LandXmlImportTest, ForeignDocumentGivesTheFiguresOfAnIndependentReading) {
  // Another program's style: a prefixed 1.1 namespace, one element per
  // line, US survey feet, ids shuffled and sparse, neighbour attributes, a
  // hidden face, an extension element of its own.
  std::mt19937_64 rng(7);
  const int n = 12;
  std::vector<int64_t> ids(n * n);
  for (size_t k = 0; k < ids.size(); ++k) ids[k] = 1000003 * static_cast<int64_t>(k) - 5000;
  std::shuffle(ids.begin(), ids.end(), rng);
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<lx:LandXML xmlns:lx=\"http://www.landxml.org/schema/LandXML-1.1\" version=\"1.1\">\n"
      "  <lx:Units>\n    <lx:Imperial linearUnit=\"USSurveyFoot\" areaUnit=\"squareFoot\"/>\n"
      "  </lx:Units>\n  <lx:Surfaces>\n    <lx:Surface name=\"EG\">\n"
      "      <lx:Definition surfType=\"TIN\" area2DSurf=\"0\">\n        <lx:Pnts>\n";
  std::uniform_real_distribution<double> dz(-3, 3);
  std::vector<size_t> order(ids.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::shuffle(order.begin(), order.end(), rng);
  for (size_t k : order) {
    const double e = 1640000 + 3.3 * double(k % n), nn = 14763000 + 3.1 * double(k / n);
    xml += "          <lx:P id=\"" + std::to_string(ids[k]) + "\">" + FormatNumber(nn) + " " +
           FormatNumber(e) + " " + FormatNumber(330 + dz(rng)) + "</lx:P>\n";
  }
  xml += "        </lx:Pnts>\n        <lx:Faces>\n";
  for (int j = 0; j + 1 < n; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      const auto id = [&](int a, int b) { return std::to_string(ids[size_t(b * n + a)]); };
      xml += "          <lx:F n=\"0 3 1\"" + std::string(i == 3 && j == 4 ? " i=\"1\"" : "") + ">" +
             id(i, j) + " " + id(i + 1, j) + " " + id(i + 1, j + 1) + "</lx:F>\n" +
             "          <lx:F>" + id(i, j) + " " + id(i + 1, j + 1) + " " + id(i, j + 1) +
             "</lx:F>\n";
    }
  xml +=
      "        </lx:Faces>\n      </lx:Definition>\n      <x:Extra xmlns:x=\"urn:x\"><x:Note>"
      "0 0 0</x:Note></x:Extra>\n    </lx:Surface>\n  </lx:Surfaces>\n</lx:LandXML>\n";
  const fs::path file = Write("eg.xml", xml);

  for (bool metres : {false, true}) {
    SCOPED_TRACE(metres ? "metres" : "feet kept");
    fs::remove_all(dir_ / "p");
    auto change = Import(file, {metres, {}});
    ASSERT_TRUE(change) << change.Error().Text();
    EXPECT_EQ(change->Unit, LandXmlUnit::UsSurveyFoot);
    const Figures f = ReadIndependently(xml, metres ? 1200.0 / 3937.0 : 1.0);
    TriangleMesh mesh;
    ASSERT_TRUE(mesh.LoadFromBinary(dir_ / "p" / "EG.dsp"));
    EXPECT_EQ(size_t(mesh.PointCount()), f.points);
    EXPECT_EQ(size_t(mesh.TriangleCount()), f.faces);
    EXPECT_EQ(change->Imported[0].HiddenFaces, 1);
    TriangleMesh::TriangleFigures t;
    for (int32_t i = 1; i <= mesh.TriangleCount(); ++i) mesh.TriangleInfo(i, t);
    EXPECT_NEAR(t.Surface, f.area, f.area * 1e-9);
    EXPECT_NEAR(Volume(mesh, 0), f.volume, f.volume * 1e-9);
  }
}

TEST_F(LandXmlImportTest, TakenNamesSuffixedUnusableOnesRefusedSurveyPointsWritten) {
  const std::string surface =
      "<Definition surfType=\"TIN\"><Pnts><P id=\"1\">1 1 1</P><P id=\"2\">1 2 1</P>"
      "<P id=\"3\">2 1 1</P></Pnts><Faces><F>1 2 3</F></Faces></Definition></Surface>";
  const auto doc = [&](const std::vector<std::string>& names) {
    std::string s =
        "<LandXML><CgPoints><CgPoint>4500001 500002 99.5</CgPoint></CgPoints><Surfaces>";
    for (const std::string& n : names) s += "<Surface name=\"" + n + "\">" + surface;
    return s + "</Surfaces></LandXML>";
  };
  fs::create_directories(dir_ / "p");
  testing::WriteText(dir_ / "p" / "A.xyz", "1 2 3\r\n");
  const auto b = std::make_shared<TriangleMesh>();
  b->Tag = std::string("B");
  const std::vector<std::shared_ptr<TriangleMesh>> project{b};

  auto change = Import(Write("survey.xml", doc({"A", "B", "A", ""})), {}, project);
  ASSERT_TRUE(change) << change.Error().Text();
  std::vector<std::string> names;
  for (const auto& s : change->Imported) names.push_back(s.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"A_2", "B_2", "A_3", "survey"}));
  EXPECT_EQ(change->Notes.at(0), "surface \"A\" imported as \"A_2\": the name is taken");
  // The survey points take the file's name, the surface having taken it.
  EXPECT_EQ(change->PointFileName, "survey_2");
  EXPECT_EQ(Slurp(dir_ / "p" / "survey_2.xyz"), "500002.0000000 4500001.0000000 99.5000000\r\n");

  const testing::FolderSnapshot before = TakeSnapshot(dir_ / "p");
  for (const std::string& bad : {doc({"C", "a/b"}), doc({"C"}) + "<"}) {
    auto refused = Import(Write("bad.xml", bad), {}, project);
    ASSERT_FALSE(refused);
    EXPECT_EQ(TakeSnapshot(dir_ / "p"), before) << refused.Error().Text();
  }
}

}  // namespace
}  // namespace orvane
