// Reading LandXML: small hand-written documents for each rule (namespaces,
// ids, hidden faces, several surfaces, survey points, units) and each
// refusal, and our own export read back.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats/LandXml.h"
#include "formats/LandXmlRead.h"
#include "support/SurveySurfaces.h"

namespace orvane {
namespace {

// A document of the given namespace ("" none), units and body, one element
// per line as other programs write them.
std::string Doc(const std::string& body, const std::string& ns = "1.2",
                const std::string& units = "<Metric linearUnit=\"meter\"/>") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LandXML" +
         (ns.empty() ? std::string()
                     : " xmlns=\"http://www.landxml.org/schema/LandXML-" + ns + "\"") +
         " version=\"" + ns + "\">\n<Units>" + units + "</Units>\n" + body + "\n</LandXML>\n";
}

// A TIN surface named name with the given P and F elements.
std::string Tin(const std::string& name, const std::string& pnts, const std::string& faces,
                const std::string& source = "") {
  return "<Surfaces>\n<Surface name=\"" + name + "\">\n" + source +
         "<Definition surfType=\"TIN\">\n<Pnts>\n" + pnts + "</Pnts>\n<Faces>\n" + faces +
         "</Faces>\n</Definition>\n</Surface>\n</Surfaces>";
}

const std::string kPnts =
    "<P id=\"30\">4500010.5 500020.25 101.5</P>\n"
    "<P id=\"-7\">4500000 500000 100</P>\n"
    "<P id=\"900000000000\">4500020 500000 102</P>\n"
    "<P id=\"12\">4500000 500030 103</P>\n";

Result<LandXmlDocument> Parse(const std::string& text, LandXmlReadOptions o = {}) {
  return ParseLandXml(text, o, "t.xml");
}

TEST(LandXmlRead, EveryNamespaceAndAnyIdsGiveTheSamePointsAndFaces) {
  const std::string faces = "<F>-7 12 30</F>\n<F n=\"0 1 0\">-7 30 900000000000</F>\n";
  for (const char* ns : {"1.0", "1.1", "1.2", "2.0", ""}) {
    SCOPED_TRACE(ns);
    auto doc = Parse(Doc(Tin("Ground", kPnts, faces), ns));
    ASSERT_TRUE(doc) << doc.Error().Text();
    ASSERT_EQ(doc->Surfaces.size(), 1u);
    const LandXmlSurface& s = doc->Surfaces[0];
    EXPECT_EQ(s.Name, "Ground");
    ASSERT_EQ(s.Points.size(), 4u);
    // Document order; northing, easting, elevation become y, x, z.
    EXPECT_EQ(s.Points[0], (PointRec{500020.25, 4500010.5, 101.5, 1}));
    EXPECT_EQ(s.Points[1], (PointRec{500000, 4500000, 100, 2}));
    EXPECT_EQ(s.Faces, (std::vector<std::array<int32_t, 3>>{{2, 4, 1}, {2, 1, 3}}));
  }
}

TEST(LandXmlRead, HiddenFacesSkippedAndNonTinSurfacesListed) {
  const std::string text =
      Doc("<Surfaces>\n<Surface name=\"G\"><Definition surfType=\"grid\"/></Surface>\n"
          "<Surface name=\"A\"><Definition surfType=\"TIN\"><Pnts>" +
          kPnts + "</Pnts><Faces><F i=\"1\">-7 12 30</F><F i=\"0\">-7 30 12</F></Faces>" +
          "</Definition></Surface></Surfaces>");
  auto doc = Parse(text);
  ASSERT_TRUE(doc) << doc.Error().Text();
  ASSERT_EQ(doc->Surfaces.size(), 1u);
  EXPECT_EQ(doc->Surfaces[0].Faces.size(), 1u);
  EXPECT_EQ(doc->Surfaces[0].HiddenFaces, 1);
  EXPECT_EQ(doc->AllSurfaces,
            (std::vector<std::pair<std::string, std::string>>{{"G", "grid"}, {"A", "TIN"}}));
}

TEST(LandXmlRead, SeveralSurfacesOneChosenAndSurveyPointsOnlyWithoutChoice) {
  const std::string two = Tin("A", kPnts, "<F>-7 12 30</F>\n");
  const std::string b =
      Tin("B", "<P id=\"1\">1 2 3</P><P id=\"2\">1 3 3</P><P id=\"3\">2 2 4</P>", "<F>1 2 3</F>");
  const std::string text =
      Doc("<CgPoints>\n<CgPoint name=\"a\">4500001 500002 99.5</CgPoint>\n<CgPoint>1 2</CgPoint>\n"
          "<CgPoint pntRef=\"a\"/>\n</CgPoints>\n" +
          two.substr(0, two.size() - 11) + b.substr(11));
  auto all = Parse(text);
  ASSERT_TRUE(all) << all.Error().Text();
  EXPECT_EQ(all->Surfaces.size(), 2u);
  EXPECT_EQ(all->CgPoints, (std::vector<PointRec>{{500002, 4500001, 99.5, 1}}));
  EXPECT_EQ(all->CgPointsWithoutElevation, 1);
  auto one = Parse(text, {false, {"B"}});
  ASSERT_TRUE(one);
  ASSERT_EQ(one->Surfaces.size(), 1u);
  EXPECT_EQ(one->Surfaces[0].Name, "B");
  EXPECT_TRUE(one->CgPoints.empty());
  auto none = Parse(text, {false, {"C"}});
  ASSERT_FALSE(none);
  EXPECT_NE(none.Error().Text().find("no surface named \"C\" (it holds A, B)"), std::string::npos);
}

TEST(LandXmlRead, UnitsKeptOrConvertedExactly) {
  struct Case {
    std::string units;
    bool toMetres;
    LandXmlUnit unit;
    double factor;
  } cases[] = {
      {"<Metric linearUnit=\"meter\"/>", true, LandXmlUnit::Metre, 1},
      {"<Imperial linearUnit=\"foot\"/>", false, LandXmlUnit::InternationalFoot, 1},
      {"<Imperial linearUnit=\"foot\"/>", true, LandXmlUnit::InternationalFoot, 0.3048},
      {"<Imperial linearUnit=\"USSurveyFoot\"/>", false, LandXmlUnit::UsSurveyFoot, 1},
      {"<Imperial linearUnit=\"USSurveyFoot\"/>", true, LandXmlUnit::UsSurveyFoot, 1200.0 / 3937.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.units + (c.toMetres ? " to metres" : ""));
    auto doc = Parse(Doc(Tin("A", kPnts, "<F>-7 12 30</F>"), "1.2", c.units), {c.toMetres, {}});
    ASSERT_TRUE(doc) << doc.Error().Text();
    EXPECT_EQ(doc->Unit, c.unit);
    const PointRec& p = doc->Surfaces[0].Points[0];
    const double e = 500020.25, n = 4500010.5;
    if (c.unit == LandXmlUnit::UsSurveyFoot && c.toMetres) {
      EXPECT_EQ(p.X, e * 1200.0 / 3937.0);
      EXPECT_EQ(p.Y, n * 1200.0 / 3937.0);
    } else {
      EXPECT_EQ(p.X, e * c.factor);
      EXPECT_EQ(p.Y, n * c.factor);
    }
  }
  auto bare = Parse(Doc(Tin("A", kPnts, "<F>-7 12 30</F>"), "1.2", ""));
  ASSERT_TRUE(bare);
  EXPECT_FALSE(bare->UnitsDeclared);
}

TEST(LandXmlRead, OuterBoundariesAndBreaklinesKeptOthersCounted) {
  const std::string source =
      "<SourceData><Boundaries>"
      "<Boundary bndType=\"outer\"><PntList3D>1 2 3 4 5 6 7 8 9 1 2 3</PntList3D></Boundary>"
      "<Boundary bndType=\"void\"><PntList3D>1 2 3 4 5 6 7 8 9</PntList3D></Boundary>"
      "</Boundaries><Breaklines><Breakline><PntList3D>\n  10 20 30\n  40 50 60\n</PntList3D>"
      "</Breakline><Breakline><PntList2D>1 2 3 "
      "4</PntList2D></Breakline></Breaklines></SourceData>\n";
  auto doc = Parse(Doc(Tin("A", kPnts, "<F>-7 12 30</F>", source)));
  ASSERT_TRUE(doc) << doc.Error().Text();
  const LandXmlSurface& s = doc->Surfaces[0];
  ASSERT_EQ(s.Boundaries.size(), 1u);
  EXPECT_EQ(s.Boundaries[0].count(), 4);
  EXPECT_EQ(s.Boundaries[0].Model, 1100);
  EXPECT_EQ(s.Boundaries[0].Point(2).X, 5);
  EXPECT_EQ(s.SkippedBoundaries, 1);
  ASSERT_EQ(s.Breaklines.size(), 1u);
  EXPECT_EQ(s.Breaklines[0].Point(2).Y, 40);
  EXPECT_EQ(s.SkippedBreaklines, 1);
}

TEST(LandXmlRead, HostileAndFaultyDocumentsRefusedWithTheirLine) {
  const std::string bomb =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE l [\n<!ENTITY a \"aaaaaaaaaa\">\n"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n]>\n<LandXML>&b;</LandXML>";
  const std::string external =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE LandXML SYSTEM \"http://example.com/x.dtd\">\n"
      "<LandXML/>";
  std::string nineFaces;
  for (int k = 0; k < 9; ++k) nineFaces += "<F>-7 12 30</F>\n";
  std::string deep = "<LandXML>\n";
  for (int k = 0; k < 1000; ++k) deep += "<a>";
  struct Case {
    std::string text;
    int64_t line;
    std::string says;
  } cases[] = {
      {Doc(Tin("A", kPnts, "<F>-7 12 30</F>")).replace(60, 1, "<"), 2, "not well-formed"},
      {Doc(Tin("A", kPnts, "<F>-7 12 30</F>\n<F>-7 12 31</F>\n")), 15,
       "face names point id 31, which surface \"A\" does not have"},
      {Doc(Tin("A", kPnts + "<P id=\"12\">1 2 3</P>\n", "<F>-7 12 30</F>")), 12,
       "point id 12 is used twice"},
      {Doc(Tin("A", kPnts + "<P id=\"13\">1 NaN 3</P>\n", "<F>-7 12 30</F>")), 12,
       "coordinate \"NaN\" is not a finite number"},
      {Doc(Tin("A", kPnts + "<P id=\"13\">1 1e999 3</P>\n", "<F>-7 12 30</F>")), 12,
       "not a finite number"},
      {Doc(Tin("A", kPnts + "<P id=\"13\">1 2</P>\n", "<F>-7 12 30</F>")), 12,
       "not northing, easting, elevation triples"},
      {Doc(Tin("A", kPnts, "<F>-7 12</F>")), 14, "a TIN face names three points"},
      {Doc(Tin("A", kPnts, nineFaces)), 22, "more faces than a TIN of 4 points can have"},
      {Doc(Tin("A", kPnts, "<F>-7 12 30</F>"), "1.2", "<Imperial linearUnit=\"inch\"/>"), 3,
       "linear unit \"inch\""},
      {"<?xml version=\"1.0\"?>\n<Other/>", 2, "not a LandXML document"},
      {bomb, 2, "document type declaration (DTD) is not accepted"},
      {external, 2, "document type declaration (DTD) is not accepted"},
      {deep, 2, "elements nested deeper than 256"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    auto doc = Parse(c.text);
    ASSERT_FALSE(doc);
    EXPECT_EQ(doc.Error().Line(), c.line) << doc.Error().Text();
    EXPECT_NE(doc.Error().Text().find(c.says), std::string::npos) << doc.Error().Text();
    EXPECT_EQ(doc.Error().Text().rfind("t.xml: line " + std::to_string(c.line) + ", column ", 0),
              0u)
        << doc.Error().Text();
  }
}

TEST(LandXmlRead, OurExportReadsBackBitIdentical) {
  // Survey coordinates with every digit the export writes, and a zone and a
  // breakline with the decimals it keeps of them.
  TriangleMesh mesh = testing::SmallSurface();
  mesh.ChangePoint(1, 500000.123456789, 4500000.98765432, 123.456789012345);
  PointList zone, line;
  zone.Model = 1100;
  for (auto [x, y] :
       {std::pair{500000.125, 4500000.5}, {500010.5, 4500000.25}, {500000.125, 4500000.5}})
    zone.AddVertex(x, y, 99.875);
  line.Model = 1300;
  line.AddVertex(500001.5, 4500001.25, 100.125);
  line.AddVertex(500002.5, 4500003.75, 100.375);
  const std::vector<PointList> zones{zone}, lines{line};
  const auto xml = BuildLandXml(mesh, zones, lines, {"2026-03-01", "14:05:09", "t"});
  ASSERT_TRUE(xml);
  auto doc = Parse(*xml);
  ASSERT_TRUE(doc) << doc.Error().Text();
  ASSERT_EQ(doc->Surfaces.size(), 1u);
  const LandXmlSurface& s = doc->Surfaces[0];
  ASSERT_EQ(static_cast<int32_t>(s.Points.size()), mesh.PointCount());
  for (int32_t i = 1; i <= mesh.PointCount(); ++i) {
    const PointRec& p = mesh.Point(i);
    EXPECT_EQ(s.Points[static_cast<size_t>(i - 1)], (PointRec{p.X, p.Y, p.Z, double(i)}));
  }
  ASSERT_EQ(static_cast<int32_t>(s.Faces.size()), mesh.TriangleCount());
  for (int32_t i = 1; i <= mesh.TriangleCount(); ++i)
    EXPECT_EQ(s.Faces[static_cast<size_t>(i - 1)], *mesh.GetTriangleIndexes(i));
  ASSERT_EQ(s.Boundaries.size(), 1u);
  ASSERT_EQ(s.Breaklines.size(), 1u);
  for (int32_t i = 1; i <= 3; ++i) EXPECT_EQ(s.Boundaries[0].Point(i), zone.Point(i));
  for (int32_t i = 1; i <= 2; ++i) EXPECT_EQ(s.Breaklines[0].Point(i), line.Point(i));
}

}  // namespace
}  // namespace orvane
