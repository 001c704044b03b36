#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/SurfaceArea.h"
#include "analysis/ZoneTrim.h"
#include "core/model/QuadMesh.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"
#include "project/actions/ProjectState.h"
#include "project/build/SurfaceBuild.h"
#include "project/settings/ProjectSettings.h"
#include "reference/ZoneTrimReference.h"
#include "support/MeshChecks.h"
#include "support/RunCli.h"
#include "triangulation/Triangulator.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

PointList Polygon(std::initializer_list<std::pair<double, double>> corners, int32_t model = 1100) {
  PointList p;
  p.Model = model;
  for (auto [x, y] : corners) p.AddVertex(x, y, 0);
  p.AddVertex(corners.begin()->first, corners.begin()->second, 0);
  return p;
}

// Bit-for-bit equality of what the binary file would hold.
void ExpectSameMesh(const TriangleMesh& a, const TriangleMesh& b, const std::string& what) {
  ASSERT_EQ(a.TriangleCount(), b.TriangleCount()) << what;
  ASSERT_EQ(a.PointCount(), b.PointCount()) << what;
  for (int32_t t = 1; t <= a.TriangleCount(); ++t) {
    const TriangleRec &p = a.Triangle(t), &q = b.Triangle(t);
    for (auto [u, v] : {std::pair{&p.A, &q.A}, {&p.B, &q.B}, {&p.C, &q.C}}) {
      ASSERT_EQ(u->X, v->X) << what << " triangle " << t;
      ASSERT_EQ(u->Y, v->Y) << what << " triangle " << t;
      ASSERT_EQ(u->T, v->T) << what << " triangle " << t;
    }
  }
  for (int32_t i = 1; i <= a.PointCount(); ++i) {
    ASSERT_EQ(a.Point(i).X, b.Point(i).X) << what << " point " << i;
    ASSERT_EQ(a.Point(i).Y, b.Point(i).Y) << what << " point " << i;
    ASSERT_EQ(a.Point(i).Z, b.Point(i).Z) << what << " point " << i;
    ASSERT_EQ(a.Point(i).T, b.Point(i).T) << what << " point " << i;
  }
  const ExtentsRec ea = a.GetExtents(), eb = b.GetExtents();
  EXPECT_EQ(ea.Min.X, eb.Min.X) << what;
  EXPECT_EQ(ea.Max.Y, eb.Max.Y) << what;
  EXPECT_EQ(ea.Min.Z, eb.Min.Z) << what;
}

void ExpectSameTrim(const TriangleMesh& mesh, const std::vector<PointList>& zones,
                    const std::string& what, bool validInput = false) {
  StatusSilencer quiet;
  TriangleMesh fast = mesh, slow = mesh;
  const int32_t removedFast = TrimToZones(fast, zones);
  const int32_t removedSlow = reference::LiteralTrimToZones(slow, zones);
  EXPECT_EQ(removedFast, removedSlow) << what;
  ExpectSameMesh(fast, slow, what);
  if (validInput) ExpectValidSurface(fast, what);
}

// Arbitrary meshes: overlapping and degenerate triangles, centroids on
// other triangles' edges and vertices, points 0.0005 / 0.001 / 0.0015 apart
// (so the reindex merges some and not others), duplicated coordinates under
// two numbers, unused points, survey-sized coordinates.
TriangleMesh HostileMesh(std::mt19937_64& rng, double ox, double oy) {
  TriangleMesh m;
  std::uniform_real_distribution<double> u(0, 20);
  std::uniform_int_distribution<int> pick(0, 5);
  std::vector<PointRec> pts;
  const int n = 40;
  for (int i = 0; i < n; ++i) {
    double x = ox + std::round(u(rng)), y = oy + std::round(u(rng)), z = std::round(u(rng) / 4);
    switch (pick(rng)) {
      case 0:  // near an earlier point
        if (!pts.empty()) {
          const PointRec& p = pts[static_cast<size_t>(rng() % pts.size())];
          const double d[] = {0.0005, 0.001, 0.0015};
          x = p.X + d[rng() % 3], y = p.Y + (rng() % 2 ? d[rng() % 3] : 0), z = p.Z;
        }
        break;
      case 1:  // the same coordinates as an earlier point
        if (!pts.empty()) {
          const PointRec& p = pts[static_cast<size_t>(rng() % pts.size())];
          x = p.X, y = p.Y, z = p.Z;
        }
        break;
      default:
        break;
    }
    pts.push_back({x, y, z, 0});
    m.AddPoint(x, y, z);
  }
  std::uniform_int_distribution<int32_t> idx(1, n);
  const int triangles = 20 + static_cast<int>(rng() % 120);
  for (int t = 0; t < triangles; ++t) {
    int32_t i = idx(rng), j = idx(rng), k = idx(rng);
    if (t % 7 == 0) k = i;  // degenerate: two corners on one point
    const PointRec &a = pts[static_cast<size_t>(i - 1)], &b = pts[static_cast<size_t>(j - 1)],
                   &c = pts[static_cast<size_t>(k - 1)];
    // Now and then a vertex carries no point number (T = 0).
    m.AddTriangle(a.X, a.Y, a.Z, t % 11 == 3 ? 0 : i, b.X, b.Y, b.Z, j, c.X, c.Y, c.Z, k);
  }
  return m;
}

std::vector<PointList> RandomZones(std::mt19937_64& rng, double ox, double oy, int count) {
  std::uniform_real_distribution<double> u(0, 20);
  std::vector<PointList> zones;
  for (int z = 0; z < count; ++z) {
    // Small zones remove most triangles, large ones only a few.
    const double scale = rng() % 2 ? 0.5 : 2.5;
    const double x0 = ox + u(rng) - 10 * (scale - 0.5), y0 = oy + u(rng) - 10 * (scale - 0.5);
    const double w = 1 + u(rng) * scale, h = 1 + u(rng) * scale;
    zones.push_back(Polygon({{x0, y0}, {x0 + w, y0}, {x0 + w / 2, y0 + h}, {x0, y0 + h / 3}},
                            z == 1 ? 1200 : 1100));  // a hole-coded zone is not asked
  }
  return zones;
}

TEST(ZoneTrimTest, MatchesTheLiteralProcedureOnHostileMeshes) {
  for (uint64_t seed = 1; seed <= 400; ++seed) {
    std::mt19937_64 rng(seed);
    const double ox = seed % 2 ? 0 : 5e5, oy = seed % 2 ? 0 : 4.5e6;
    const TriangleMesh mesh = HostileMesh(rng, ox, oy);
    ExpectSameTrim(mesh, RandomZones(rng, ox, oy, 2 + static_cast<int>(seed % 3)),
                   "seed " + std::to_string(seed));
  }
}

// Two copies of one triangle, the first with a vertex that carries no
// point number: both go, and neither removal leaves a numbered point unused,
// so the points (with the unused point 5) are never renumbered.
TEST(ZoneTrimTest, RemovalsThatLeaveNoPointUnusedKeepTheNumbering) {
  TriangleMesh m;
  for (auto [x, y] : {std::pair{0.0, 0.0}, {10.0, 0.0}, {10.0, 10.0}, {0.0, 10.0}, {50.0, 50.0}})
    m.AddPoint(x, y, 1);
  auto add = [&](int32_t i, int32_t j, int32_t k, bool numbered = true) {
    const PointRec a = m.Point(i), b = m.Point(j), c = m.Point(k);
    m.AddTriangle(a.X, a.Y, a.Z, numbered ? i : 0, b.X, b.Y, b.Z, j, c.X, c.Y, c.Z, k);
  };
  add(1, 2, 3, false);
  add(1, 2, 3);
  add(1, 3, 4);
  add(1, 2, 4);
  const std::vector<PointList> zones = {Polygon({{2, 2}, {4.5, 2}, {4.5, 8}, {2, 8}}),
                                        Polygon({{40, 40}, {41, 40}, {41, 41}})};
  ExpectSameTrim(m, zones, "copies");
  TriangleMesh trimmed = m;
  StatusSilencer quiet;
  EXPECT_EQ(TrimToZones(trimmed, zones), 2);
  EXPECT_EQ(trimmed.PointCount(), 5);
}

TEST(ZoneTrimTest, MatchesTheLiteralProcedureOnBuiltSurfaces) {
  for (uint64_t seed = 1; seed <= 12; ++seed) {
    std::mt19937_64 rng(seed);
    const double ox = seed % 2 ? 0 : 5e5, oy = seed % 2 ? 0 : 4.5e6;
    std::uniform_real_distribution<double> u(0, 100);
    PointList points;
    for (int i = 0; i < 600; ++i) {
      double x = ox + u(rng), y = oy + u(rng);
      if (i % 50 == 0) x = ox + 40 + 0.0015 * (i % 3), y = oy + 40;  // millimetre neighbours
      if (i % 97 == 0) x = ox + 25 * (i % 4), y = oy + 30;           // on zone borders
      points.AddVertex(x, y, u(rng) / 10);
    }
    points.Decimate(0.001, false, false);
    Triangulator tri;
    tri.Initialise(points);
    StatusSilencer quiet;
    std::optional<TriangleMesh> mesh = tri.GetTriangleMesh(1000);
    ASSERT_TRUE(mesh);
    std::vector<PointList> zones = {
        Polygon({{ox + 10, oy + 10}, {ox + 50, oy + 10}, {ox + 50, oy + 50}, {ox + 10, oy + 50}}),
        Polygon({{ox + 25, oy + 30}, {ox + 90, oy + 35}, {ox + 75, oy + 95}})};
    ExpectSameTrim(*mesh, zones, "seed " + std::to_string(seed), true);
  }
}

TEST(ZoneTrimTest, ClassifierAgreesWithThePlainZoneTest) {
  std::mt19937_64 rng(7);
  // A self-crossing ring, a concave one and one with a very long edge.
  const std::vector<PointList> zones = {Polygon({{0, 0}, {10, 10}, {10, 0}, {0, 10}}),
                                        Polygon({{20, 0}, {30, 0}, {30, 10}, {25, 2}, {20, 10}}),
                                        Polygon({{-1000, -5}, {1000, -4}, {0, -3}})};
  const ZoneClassifier classifier(zones);
  std::uniform_real_distribution<double> u(-5, 35);
  for (int i = 0; i < 20000; ++i) {
    double x = u(rng), y = u(rng) / 2;
    if (i % 4 == 0) x = std::round(x), y = std::round(y);  // on vertices and edges
    if (i % 8 == 1) y = -5 + (x + 1000) / 2000 - 0.0003;   // beside the long edge
    bool expected = false;
    for (const PointList& z : zones) expected = expected || z.IsPointInside(x, y);
    ASSERT_EQ(classifier.Contains(x, y), expected) << x << " " << y;
  }
}

class SurfaceBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvane-build-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    Project() = ProjectState();
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  static std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // A 11 x 11 grid of points, 10 m apart.
  void WriteGrid(const std::string& name) {
    std::string text;
    for (int i = 0; i <= 10; ++i)
      for (int j = 0; j <= 10; ++j)
        text += std::to_string(i * 10) + " " + std::to_string(j * 10) + " " +
                std::to_string(i + j) + "\r\n";
    Write(name + ".xyz", text);
  }
  fs::path dir_;
};

TEST_F(SurfaceBuildTest, BuildsWithZeroOneAndTwoZones) {
  WriteGrid("A");
  StatusSilencer quiet;
  BuildResult plain = BuildSurface(dir_, "A");
  ASSERT_TRUE(plain.Built) << plain.Message;
  EXPECT_EQ(plain.PointCount, 121);
  EXPECT_EQ(plain.TriangleCount, 200);
  TriangleMesh saved;
  ASSERT_TRUE(saved.LoadFromBinary(dir_ / "A.dsp"));
  ExpectValidSurface(saved, "no zone");
  EXPECT_EQ(VariantToText(saved.Tag), "A");
  const std::string tin = Read(dir_ / "A.tin");
  EXPECT_EQ(std::count(tin.begin(), tin.end(), '\n'), 200);
  EXPECT_EQ(tin.rfind("((", 0), 0u);
  EXPECT_NE(tin.find("))\r\n"), std::string::npos);

  // One zone: the boundary, so nothing outside it is triangulated.
  Write("A.bnd", "0 0 0\r\n50 0 0\r\n50 50 0\r\n0 50 0\r\n");
  BuildResult one = BuildSurface(dir_, "A");
  ASSERT_TRUE(one.Built) << one.Message;
  EXPECT_EQ(one.ZoneCount, 1);
  EXPECT_EQ(one.TrimmedTriangles, 0);
  EXPECT_EQ(one.TriangleCount, 50);

  // Two zones: triangles whose centroid is in neither go.
  Write("A.bnd",
        "0 0 0\r\n20 0 0\r\n20 20 0\r\n0 20 0\r\nZONA_INC\r\n80 80 0\r\n100 80 0\r\n"
        "100 100 0\r\n80 100 0\r\n");
  BuildResult two = BuildSurface(dir_, "A");
  ASSERT_TRUE(two.Built) << two.Message;
  EXPECT_EQ(two.ZoneCount, 2);
  EXPECT_EQ(two.TriangleCount, 16);
  EXPECT_EQ(two.TrimmedTriangles, 200 - 16);
  ASSERT_TRUE(saved.LoadFromBinary(dir_ / "A.dsp"));
  EXPECT_EQ(saved.TriangleCount(), 16);
  EXPECT_EQ(saved.PointCount(), 18);
  ExpectValidSurface(saved, "two zones");

  // A boundary around none of the points would make a surface of its own
  // corners: refused, and the surface stays as it was.
  const std::string before = Read(dir_ / "A.dsp");
  Write("A.bnd", "500 500 0\r\n600 500 0\r\n600 600 0\r\n500 600 0\r\n");
  BuildResult none = BuildSurface(dir_, "A");
  EXPECT_FALSE(none.Built);
  EXPECT_NE(none.Message.find("the boundary encloses none of the points"), std::string::npos)
      << none.Message;
  EXPECT_EQ(Read(dir_ / "A.dsp"), before);
}

// The survey grid, zones and breakline that left the sliver (380 610)
// (390 640)(410.2 700.1) of centroid (393.4, 650.0), outside both zones, in
// the surface, and triangles across the zones' edges covering 95.7 m2 more
// than the zones: the breakline crosses both zones' edges.
TEST_F(SurfaceBuildTest, ZoneTrimKeptTrianglesOutsideEveryZone) {
  auto height = [](double x, double y) { return 100 + 0.01 * x + 0.02 * y; };
  std::string xyz;
  for (int i = 0; i <= 60; ++i)
    for (int j = 0; j <= 86; ++j)
      xyz += std::to_string(i * 10) + " " + std::to_string(j * 10) + " " +
             FormatNumber(height(i * 10, j * 10)) + "\r\n";
  Write("Z.xyz", xyz);
  Write("Z.bnd",
        "5 5 0\r\n295 5 0\r\n295 855 0\r\n5 855 0\r\nZONA_INC\r\n"
        "305 5 0\r\n595 5 0\r\n595 600 0\r\n305 600 0\r\n");
  std::string brk;
  for (auto [x, y] : {std::pair{123.4, 200.7}, {321.9, 433.3}, {410.2, 700.1}})
    brk += FormatNumber(x) + " " + FormatNumber(y) + " " + FormatNumber(height(x, y)) + "\r\n";
  Write("Z.brk", brk);
  StatusSilencer quiet;
  const BuildResult r = BuildSurface(dir_, "Z");
  ASSERT_TRUE(r.Built) << r.Message;
  EXPECT_TRUE(r.Warnings.empty()) << r.Warnings.front();
  TriangleMesh saved;
  ASSERT_TRUE(saved.LoadFromBinary(dir_ / "Z.dsp"));
  ExpectValidSurface(saved, "zones");
  auto inZone = [](double x, double y) {
    return (x > 5 && x < 295 && y > 5 && y < 855) || (x > 305 && x < 595 && y > 5 && y < 600);
  };
  for (int32_t t = 1; t <= saved.TriangleCount(); ++t) {
    const TriangleRec& tri = saved.Triangle(t);
    const double cx = (tri.A.X + tri.B.X + tri.C.X) / 3, cy = (tri.A.Y + tri.B.Y + tri.C.Y) / 3;
    EXPECT_TRUE(inZone(cx, cy)) << "triangle " << t << " centroid " << cx << " " << cy;
  }
  const double zones = 290.0 * 850 + 290.0 * 595;
  EXPECT_NEAR(SurfaceArea2D(saved), zones, 1e-9 * zones);
  // The breakline stays a chain of edges through its crossings with the
  // zones' edges: its vertex in the second zone and the one outside both
  // are joined through the point where it leaves the zone.
  const double x600 = 321.9 + (600 - 433.3) / (700.1 - 433.3) * (410.2 - 321.9);
  bool crossing = false;
  for (int32_t i = 1; i <= saved.PointCount(); ++i)
    crossing = crossing || (std::abs(saved.Point(i).Y - 600) < 1e-6 &&
                            std::abs(saved.Point(i).X - x600) < 1e-6);
  EXPECT_TRUE(crossing);
}

// A DEM at 2 km spacing: every triangle has sides of 2 km and more, and the
// fixed 1,000 m limit left none, blaming collinear points. The limit is the
// project's setting (--max-side keeps it), a build names it when it drops
// triangles, and a split of the surface keeps every piece.
TEST_F(SurfaceBuildTest, TwoKilometreGridLostEveryTriangleToAFixedLongestSide) {
  std::string xyz;
  for (int i = 0; i <= 5; ++i)
    for (int j = 0; j <= 5; ++j)
      xyz += std::to_string(500000 + 2000 * i) + " " + std::to_string(4500000 + 2000 * j) + " " +
             std::to_string(100 + 10 * i + 3 * j + (i * j) % 4) + "\n";
  Write("G.xyz", xyz);
  StatusSilencer quiet;
  const BuildResult fixed = BuildSurface(dir_, "G");
  EXPECT_FALSE(fixed.Built);
  EXPECT_EQ(fixed.LongSidesLeftOut, 50);
  EXPECT_NE(fixed.Message.find("50 triangles were left out for a side of 1000 m or more"),
            std::string::npos)
      << fixed.Message;
  EXPECT_NE(fixed.Message.find("--max-side"), std::string::npos) << fixed.Message;
  EXPECT_NE(fixed.Message.find((dir_ / kProjectSettingsFile).string()), std::string::npos);
  EXPECT_EQ(fixed.Message.find("collinear"), std::string::npos) << fixed.Message;

  // --max-side builds and is kept; the next build reads it back.
  testing::CliOutcome run = testing::RunCli(dir_, "build . G --max-side 5000.5");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("triangles: 50\n"), std::string::npos) << run.out;
  EXPECT_EQ(ReadProjectSettings(dir_)->MaxTriangleSide, 5000.5);
  EXPECT_NE(Read(dir_ / kProjectSettingsFile).find("max-side = 5000.5\n"), std::string::npos);
  const BuildResult kept = BuildSurface(dir_, "G");
  ASSERT_TRUE(kept.Built) << kept.Message;
  EXPECT_EQ(kept.TriangleCount, 50);
  EXPECT_EQ(kept.LongSidesLeftOut, 0);

  // A typing error in the setting is no silent default.
  const std::string settings = Read(dir_ / kProjectSettingsFile);
  Write(kProjectSettingsFile, "; ours\nmax-side = 2,5\n");
  const BuildResult bad = BuildSurface(dir_, "G");
  EXPECT_FALSE(bad.Built);
  EXPECT_NE(bad.Message.find("line 2"), std::string::npos) << bad.Message;
  Write(kProjectSettingsFile, settings);

  // The split keeps every piece, whatever its length.
  run = testing::RunCli(dir_, "split . G 125");
  ASSERT_EQ(run.status, 0) << run.err;
  TriangleMesh whole, lower, upper;
  ASSERT_TRUE(whole.LoadFromBinary(dir_ / "G.dsp"));
  ASSERT_TRUE(lower.LoadFromBinary(dir_ / "G__inferior.dsp"));
  ASSERT_TRUE(upper.LoadFromBinary(dir_ / "G__superior.dsp"));
  const double area = SurfaceArea2D(whole);
  EXPECT_NEAR(SurfaceArea2D(lower) + SurfaceArea2D(upper), area, 1e-9 * area);
}

// Points given out of X order, some outside the boundary: the saved points
// keep their source numbers as tags, yet every triangle names its corners by
// position, after loading and after saving the loaded surface again.
// Large enough for every step that splits its work in two (the X sort, the
// Hilbert keys, the point gathering, the saved triangles' filters, the point
// texts and the .tin batches): one thread and every core give the same
// bytes. Millimetre survey coordinates repeat X values, as real ones do.
TEST_F(SurfaceBuildTest, OneThreadAndEveryCoreWriteTheSameFiles) {
  std::mt19937_64 rng(12);
  std::uniform_int_distribution<int64_t> mm(0, 2'000'000);
  std::string text;
  char line[96];
  for (int i = 0; i < 140000; ++i) {
    const auto n = std::snprintf(line, sizeof line, "%.3f %.3f %.3f\r\n", 5e5 + mm(rng) * 1e-3,
                                 4.5e6 + mm(rng) * 1e-3, 100 + (mm(rng) % 50000) * 1e-3);
    text.append(line, static_cast<size_t>(n));
  }
  Write("A.xyz", text);
  StatusSilencer quiet;
  std::string dsp[2], tin[2];
  std::optional<TriangleMesh> built[2];
  for (unsigned threads : {0u, 1u}) {
    SetThreadLimit(threads);
    Feedback feedback;
    const BuildResult r = BuildSurface(dir_, "A", feedback, {}, &built[threads]);
    SetThreadLimit(0);
    ASSERT_TRUE(r.Built) << r.Message;
    dsp[threads] = Read(dir_ / "A.dsp");
    tin[threads] = Read(dir_ / "A.tin");
  }
  EXPECT_GT(std::count(tin[0].begin(), tin[0].end(), '\n'), 270000);
  EXPECT_TRUE(dsp[0] == dsp[1]);
  EXPECT_TRUE(tin[0] == tin[1]);
  ASSERT_TRUE(built[0] && built[1]);
  ExpectSameMesh(*built[0], *built[1], "built surface");
}

TEST_F(SurfaceBuildTest, SavedTrianglesNameTheirOwnCorners) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(0, 100);
  std::string text;
  for (int i = 0; i < 400; ++i)
    text += std::to_string(500000 + u(rng)) + " " + std::to_string(4500000 + u(rng)) + " " +
            std::to_string(u(rng)) + "\r\n";
  Write("S.xyz", text);
  Write("S.bnd",
        "500010 4500010 0\r\n500090 4500010 0\r\n500090 4500090 0\r\n500010 4500090 0\r\n");
  StatusSilencer quiet;
  const BuildResult r = BuildSurface(dir_, "S");
  ASSERT_TRUE(r.Built) << r.Message;
  ASSERT_LT(r.PointCount, 400);  // the boundary left some out
  const auto cornersMatch = [](const TriangleMesh& m) {
    for (int32_t t = 1; t <= m.TriangleCount(); ++t) {
      const std::array<int32_t, 3> idx = *m.GetTriangleIndexes(t);
      const auto corners = *m.GetTriangle(t);
      for (int k = 0; k < 3; ++k) {
        if (idx[static_cast<size_t>(k)] < 1 || idx[static_cast<size_t>(k)] > m.PointCount())
          return false;
        const PointRec& p = m.Point(idx[static_cast<size_t>(k)]);
        const PointRec& c = corners[static_cast<size_t>(k)];
        if (p.X != c.X || p.Y != c.Y || p.Z != c.Z) return false;
      }
    }
    return true;
  };
  TriangleMesh loaded;
  ASSERT_TRUE(loaded.LoadFromBinary(dir_ / "S.dsp"));
  EXPECT_TRUE(cornersMatch(loaded));
  ASSERT_TRUE(loaded.SaveToBinary(dir_ / "again.dsp"));
  ASSERT_EQ(loaded.LastErrorCode, 0);
  TriangleMesh again;
  ASSERT_TRUE(again.LoadFromBinary(dir_ / "again.dsp"));
  EXPECT_TRUE(cornersMatch(again));
  ASSERT_EQ(again.TriangleCount(), loaded.TriangleCount());
  for (int32_t t = 1; t <= again.TriangleCount(); ++t)
    ASSERT_EQ(*again.GetTriangle(t), *loaded.GetTriangle(t)) << t;
}

TEST_F(SurfaceBuildTest, MissingPointsOrCancelWriteNothing) {
  StatusSilencer quiet;
  BuildResult none = BuildSurface(dir_, "NONE");
  EXPECT_FALSE(none.Built);
  EXPECT_FALSE(fs::exists(dir_ / "NONE.dsp"));

  WriteGrid("B");
  Write("B.dsp", "old");
  Write("B.tin", "old");
  auto status = Status::Create();
  status->Progress = [](int32_t&) { CancelRequested = true; };
  status->Listen();
  BuildResult cancelled;
  {
    StatusFeedback feedback;
    cancelled = BuildSurface(dir_, "B", feedback);
  }
  Status::Create()->Listen();
  EXPECT_TRUE(cancelled.Cancelled);
  EXPECT_FALSE(cancelled.Built);
  EXPECT_EQ(Read(dir_ / "B.dsp"), "old");
  EXPECT_EQ(Read(dir_ / "B.tin"), "old");
  EXPECT_FALSE(CancelRequested);
}

// A build that cannot finish both files, or would make an empty surface,
// leaves the old files as they were; companions that are no files are
// errors, and constraints that could not be kept are reported.
TEST_F(SurfaceBuildTest, FailedOrEmptyBuildsKeepTheOldFiles) {
  StatusSilencer quiet;
  WriteGrid("B");
  ASSERT_TRUE(BuildSurface(dir_, "B").Built);
  const std::string dsp = Read(dir_ / "B.dsp");
  const std::string tin = Read(dir_ / "B.tin");
  const auto unchanged = [&] {
    return Read(dir_ / "B.dsp") == dsp &&
           (!fs::is_regular_file(dir_ / "B.tin") || Read(dir_ / "B.tin") == tin);
  };
  Write("B.xyz", "0 0 0\r\n1 1 0\r\n2 2 0\r\n3 3 1\r\n");  // collinear
  BuildResult flat = BuildSurface(dir_, "B");
  EXPECT_FALSE(flat.Built);
  EXPECT_NE(flat.Message.find("no surface built"), std::string::npos) << flat.Message;
  EXPECT_TRUE(unchanged());

  WriteGrid("B");
  Write("B.xyz", Read(dir_ / "B.xyz") + "55 55 7\r\n");
  fs::remove(dir_ / "B.tin");
  fs::create_directory(dir_ / "B.tin");  // the .tin cannot be replaced
  EXPECT_FALSE(BuildSurface(dir_, "B").Built);
  EXPECT_TRUE(unchanged());
  fs::remove(dir_ / "B.tin");

  fs::create_directory(dir_ / "B.bnd");
  BuildResult folder = BuildSurface(dir_, "B");
  EXPECT_FALSE(folder.Built);
  EXPECT_NE(folder.Message.find("not a regular file"), std::string::npos) << folder.Message;
  fs::remove(dir_ / "B.bnd");

  // Names up to the longest file name the folder allows (the staged and
  // temporary files beside them shorten theirs).
  const std::string longName(240, 'L');
  WriteGrid(longName);
  EXPECT_TRUE(BuildSurface(dir_, longName).Built);
  EXPECT_TRUE(fs::exists(dir_ / (longName + ".tin")));

  Write("B.bnd", "10 10 0\r\n90 10 0\r\n90 90 0\r\n10 90 0\r\n");
  Write("B.brk", "50 50 3\r\n150 50 3\r\n");  // leaves the boundary
  BuildResult partial = BuildSurface(dir_, "B");
  ASSERT_TRUE(partial.Built) << partial.Message;
  ASSERT_FALSE(partial.Warnings.empty());
  EXPECT_NE(partial.Warnings.back().find("could not be made edges"), std::string::npos);
}

TEST_F(SurfaceBuildTest, GridFileLinesProgressAndCancel) {
  QuadMesh quads;
  for (int q = 0; q < 3; ++q) quads.AddQuad(q, 0, 1.5, q + 1, 0, 2, q + 1, 1, 2.25, q, 1, -0.125);
  std::vector<int32_t> seen;
  int cancelAt = 0;
  auto status = Status::Create();
  status->Progress = [&](int32_t& p) {
    seen.push_back(p);
    if (static_cast<int>(seen.size()) == cancelAt) CancelRequested = true;
  };
  status->Listen();
  StatusFeedback first;
  GridResult all = WriteGridFile(quads, dir_, "G", first);
  EXPECT_TRUE(all.Written);
  EXPECT_EQ(seen, (std::vector<int32_t>{33, 67, 100}));
  const std::string text = Read(dir_ / "G.grd");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), "((0 0 1.5)(1 0 2)(1 1 2.25))\r\n");
  EXPECT_NE(text.find("((0 0 1.5)(1 1 2.25)(0 1 -0.125))\r\n"), std::string::npos);

  seen.clear();
  cancelAt = 2;
  StatusFeedback second;
  GridResult cut = WriteGridFile(quads, dir_, "G", second);
  Status::Create()->Listen();
  EXPECT_TRUE(cut.Written && cut.Cancelled);
  EXPECT_EQ(cut.QuadsWritten, 1);
  EXPECT_EQ(Read(dir_ / "G.grd"), text.substr(0, text.find('\n', text.find('\n') + 1) + 1));
  EXPECT_FALSE(CancelRequested);
}

}  // namespace
}  // namespace orvane
