// The plan view's scene and drawing: the colours of a coloured surface at
// known pixels (from the ".col" files the colourings write), the ramp when
// a ".col" is missing or belongs to no colouring of the surface, with the
// zones and breaklines over the triangles, and the drawing of a jittered survey
// grid against the literal rule (each pixel centre takes the last triangle
// that holds it).

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/storage/AtomicFile.h"
#include "project/colouring/Colouring.h"
#include "project/plan/PlanRaster.h"
#include "project/plan/PlanScene.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

constexpr double kX0 = 500000.25, kY0 = 4500000.5;  // survey coordinates

// A 10 m square from (kX0, kY0): triangle 1 the flat lower-right half at
// 100 m, triangle 2 the upper-left half rising to 120 m at its north-west
// corner (about 70 degrees).
TriangleMesh Square() {
  TriangleMesh m;
  m.Tag = std::string("Plan");
  m.AddPoint(kX0, kY0, 100);
  m.AddPoint(kX0 + 10, kY0, 100);
  m.AddPoint(kX0 + 10, kY0 + 10, 100);
  m.AddPoint(kX0, kY0 + 10, 120);
  auto add = [&](int a, int b, int c) {
    const PointRec p = m.Point(a), q = m.Point(b), r = m.Point(c);
    m.AddTriangle(p.X, p.Y, p.Z, a, q.X, q.Y, q.Z, b, r.X, r.Y, r.Z, c);
  };
  add(1, 2, 3);
  add(1, 3, 4);
  return m;
}

using PlanRasterTest = testing::TempFolderTest;

// 10 x 10 pixels of the square: pixel (i, j) is the metre square east i,
// north 9 - j of its south-west corner.
std::vector<uint32_t> Draw(const PlanScene& scene, int threads = 1) {
  std::vector<uint32_t> pixels(100);
  RasterisePlan(scene, {kX0, kY0, kX0 + 10, kY0 + 10}, 10, 10, pixels, threads);
  return pixels;
}
uint32_t At(const std::vector<uint32_t>& pixels, int i, int j) {
  return pixels[static_cast<size_t>(j * 10 + i)];
}

void WriteColouring(const TriangleMesh& surface, const fs::path& file, ColouringMode mode,
                    const std::vector<ColourClass>& classes) {
  AtomicFileWriter out(file);
  Feedback feedback;
  const Result<int64_t> done = mode == ColouringMode::Slope
                                   ? WriteSlopeColouring(surface, classes, out, feedback)
                                   : WriteElevationColouring(surface, classes, out, feedback);
  ASSERT_TRUE(done.Ok()) << done.Error().Text();
  ASSERT_TRUE(out.Commit());
}

TEST_F(PlanRasterTest, ColouredSurfaceShowsItsColColoursAtKnownPixels) {
  const TriangleMesh surface = Square();
  const uint32_t red = 0xFFFF0000, blue = 0xFF0000FF, green = 0xFF00FF00, yellow = 0xFFFFFF00;
  struct Case {
    ColouringMode Mode;
    std::vector<ColourClass> Classes;
    PlanColours Source;
    std::array<uint32_t, 3> Pixels;  // (8, 8) south-east, (0, 0) north-west, (2, 6) middle
  };
  // Slope: flat triangle 1 red, steep triangle 2 blue. Elevation: triangle 2
  // cut at 110 m, its south-east part green, its north-west corner yellow;
  // (2.5, 3.5) lies at 102 m.
  const std::vector<Case> cases = {{ColouringMode::Slope,
                                    {{0, 10, 255, 0, 0}, {10, 90, 0, 0, 255}},
                                    PlanColours::SlopeClasses,
                                    {red, blue, blue}},
                                   {ColouringMode::Elevation,
                                    {{100, 110, 0, 255, 0}, {110, 120, 255, 255, 0}},
                                    PlanColours::ElevationClasses,
                                    {green, yellow, green}}};
  for (const Case& c : cases) {
    WriteColouring(surface, dir_ / "Plan.col", c.Mode, c.Classes);
    PlanScene scene = ScenePlanOfSurface(surface);
    AddSurfaceFiles(scene, dir_, "Plan", 2);
    EXPECT_EQ(scene.Source, c.Source) << scene.ColourNote;
    const auto pixels = Draw(scene);
    EXPECT_EQ((std::array{At(pixels, 8, 8), At(pixels, 0, 0), At(pixels, 2, 6)}), c.Pixels);
    EXPECT_EQ(Draw(scene, 2), pixels);
  }
}

// A ".col" that is no colouring of the surface leaves the ramp, and says
// why; the zones and breaklines are drawn over the triangles either way.
TEST_F(PlanRasterTest, ColFileOfNoColouringOfTheSurfaceFallsBackToTheRamp) {
  const TriangleMesh surface = Square();
  const std::string t1 =
      "((500000.25 4500000.5 100)(500010.25 4500000.5 100)"
      "(500010.25 4500010.5 100)))\r\n";
  const std::string t2 =
      "((500000.25 4500000.5 100)(500010.25 4500010.5 100)"
      "(500000.25 4500010.5 120)))\r\n";
  const std::string stale = ": made before the surface last changed";
  struct Case {
    std::string Text;  // of Plan.col; "-" for no file
    std::string Note;  // the reason given
  };
  const std::vector<Case> cases = {
      {"-", ""},
      {"(1 255 1.00 " + t1, "1 coloured triangles for a surface of 2" + stale},
      {"(1 255 1.00 " + t1 + "(1 255 0.3 " + t2 + "(1 9 0.3 " + t2,
       "3 coloured triangles for a surface of 2" + stale},
      {"(1 255 1.00 " + t1 + "(0 255 0.3 " + t2, "line 2 mixes the colouring modes"},
      {"(1 255 1.00 " + t1 +
           "(1 255 0.30 ((500000.25 4500000.5 90)(500010.25 4500010.5 100)"
           "(500000.25 4500010.5 120)))\r\n",
       "line 2 lies outside the surface" + stale},
      {"(1 255 1.00 " + t1 + "(1 255 0.30 ((1 2 3)(4 5 6)))\r\n", "line 2 is no coloured triangle"},
      {"(1 255 1.00 " + t1 + "(1 16777216 0.30 " + t2, "line 2 is no coloured triangle"},
  };
  PlanScene ramp = ScenePlanOfSurface(surface);
  // Triangle 1 at 100 m is the ramp's bottom; triangle 2's mean 106.7 m.
  EXPECT_EQ(ramp.Colours[0], ElevationRampColour(0));
  EXPECT_EQ(ramp.Colours[1], ElevationRampColour((320.0 / 3 - 100) / 20));
  // A zone 2 m inside the square, a breakline across it 5.5 m north.
  Write("Plan.bnd",
        "500002.25 4500002.5 0\r\n500008.25 4500002.5 0\r\n500008.25 4500008.5 0\r\n"
        "500002.25 4500008.5 0\r\nZONA_INC\r\n");
  Write("Plan.brk", "500000.25 4500006 0\r\n500010.25 4500006 0\r\nBREAKLINE\r\n");
  AddSurfaceFiles(ramp, dir_, "Plan", 2);
  EXPECT_EQ(ramp.SegmentCount(), 5u);
  const auto rampPixels = Draw(ramp);
  // The zone's west side runs down column 2, its south side along row 8
  // (north 2 m is the top of row 8); the breakline at north 5.5 m is row 4.
  for (const auto& [i, j] : {std::pair{2, 5}, {5, 8}})
    EXPECT_EQ(At(rampPixels, i, j), kPlanZoneColour);
  for (const auto& [i, j] : {std::pair{7, 4}, {0, 4}})
    EXPECT_EQ(At(rampPixels, i, j), kPlanBreaklineColour);
  EXPECT_EQ(At(rampPixels, 5, 6), ElevationRampColour(0));  // inside the zone, no line
  EXPECT_EQ(At(rampPixels, 0, 7), ramp.Colours[1]);
  for (const Case& c : cases) {
    fs::remove(dir_ / "Plan.col");
    if (c.Text != "-") Write("Plan.col", c.Text);
    PlanScene scene = ScenePlanOfSurface(surface);
    AddSurfaceFiles(scene, dir_, "Plan", 2);
    EXPECT_EQ(scene.Source, PlanColours::ElevationRamp) << c.Text;
    EXPECT_EQ(scene.ColourNote, c.Note);
    EXPECT_EQ(Draw(scene), rampPixels) << c.Text;
  }
  // The same two lines in order are taken (blank lines and LF endings too).
  Write("Plan.col", "(1 255 1.00 " + t1 + "\n  \n(1 16711680 0.30 " + t2);
  PlanScene scene = ScenePlanOfSurface(surface);
  AddSurfaceFiles(scene, dir_, "../Plan", 2);  // no plain name: no files
  EXPECT_EQ(scene.Source, PlanColours::ElevationRamp);
  AddSurfaceFiles(scene, dir_, "Plan", 2);
  EXPECT_EQ(scene.Source, PlanColours::SlopeClasses) << scene.ColourNote;
  EXPECT_EQ(At(Draw(scene), 0, 0), 0xFF0000FFu);
}

// The literal rule on a jittered grid at survey coordinates, through several
// windows (whole, close, partly off the surface), on one and two threads.
// Pixel centres within a hair of an edge, where rounding may pick either
// neighbour, are left out; every other one inside the grid must be covered.
TEST_F(PlanRasterTest, DrawingMatchesTheLastTriangleHoldingEachPixelCentre) {
  constexpr int n = 13;
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> jitter(-0.3, 0.3);
  TriangleMesh m;
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i)
      m.AddPoint(kX0 + i + (i % (n - 1) ? jitter(rng) : 0),
                 kY0 + j + (j % (n - 1) ? jitter(rng) : 0), 100 + jitter(rng));
  for (int j = 0; j + 1 < n; ++j)
    for (int i = 0; i + 1 < n; ++i) {
      const int a = j * n + i + 1, b = a + 1, c = a + n, d = c + 1;
      for (auto [p, q, r] : {std::array{a, b, d}, std::array{a, d, c}}) {
        const PointRec u = m.Point(p), v = m.Point(q), w = m.Point(r);
        m.AddTriangle(u.X, u.Y, u.Z, p, v.X, v.Y, v.Z, q, w.X, w.Y, w.Z, r);
      }
    }
  PlanScene scene = ScenePlanOfSurface(m);
  for (size_t t = 0; t < scene.Colours.size(); ++t) scene.Colours[t] = 0xFF000000u | uint32_t(t);

  const std::vector<PlanWindow> windows = {
      FitPlanWindow(scene.Extents, 97, 83, 3),
      {kX0 + 3.3, kY0 + 4.1, kX0 + 5.2, kY0 + 5.7},
      {kX0 - 4, kY0 + 6, kX0 + 7, kY0 + 15},
  };
  for (const PlanWindow& w : windows) {
    const int width = 97, height = 83;
    std::vector<uint32_t> one(width * height), two(one.size());
    RasterisePlan(scene, w, width, height, one, 1);
    RasterisePlan(scene, w, width, height, two, 2);
    EXPECT_EQ(one, two);
    int compared = 0;
    for (int j = 0; j < height; ++j)
      for (int i = 0; i < width; ++i) {
        const double x = w.MinX + (i + 0.5) * w.Width() / width - scene.OriginX;
        const double y = w.MaxY - (j + 0.5) * w.Height() / height - scene.OriginY;
        uint32_t expected = kPlanBackground;
        bool nearEdge = false;
        for (size_t t = 0; t < scene.TriangleCount(); ++t) {
          const float* c = &scene.Corners[6 * t];
          double side[3];
          for (int e = 0; e < 3; ++e) {
            const int f = (e + 1) % 3;
            const double ex = c[2 * f] - c[2 * e], ey = c[2 * f + 1] - c[2 * e + 1];
            side[e] = (ex * (y - c[2 * e + 1]) - ey * (x - c[2 * e])) / std::hypot(ex, ey);
          }
          const double low = std::min({side[0], side[1], side[2]});
          const double high = std::max({side[0], side[1], side[2]});
          if (std::abs(low) < 1e-6 || std::abs(high) < 1e-6) nearEdge = true;
          if (low > 0 || high < 0) expected = scene.Colours[t];
        }
        if (nearEdge) continue;
        ++compared;
        ASSERT_EQ(one[static_cast<size_t>(j * width + i)], expected) << i << ", " << j;
      }
    EXPECT_GT(compared, width * height / 3);
  }
}

}  // namespace
}  // namespace orvane
