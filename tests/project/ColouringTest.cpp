// Colouring by slope classes and elevation bands: the class files, the band
// generation, the ".rgb" and ".col" files of a project surface, the
// refusals, and the lines against the literal procedures (the cutting into
// elevation bands is held to the literal successive splits in tests/analysis).

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "analysis/ElevationBands.h"
#include "analysis/MergeSplitMeshes.h"
#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"
#include "formats/ColourClasses.h"
#include "project/actions/ColouringActions.h"
#include "project/actions/ProjectState.h"
#include "project/colouring/Colouring.h"
#include "project/colouring/Palettes.h"
#include "project/settings/TextIds.h"
#include "support/CommaLocale.h"
#include "support/FolderSnapshot.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::Slurp;

constexpr int32_t kRed = 255, kGreen = 255 * 256, kBlue = 255 * 65536;

// --- the literal procedures ------------------------------------------------

double LiteralCosine(const PointRec& a, const PointRec& b, const PointRec& c) {
  const double ux = b.X - a.X, uy = b.Y - a.Y, uz = b.Z - a.Z;
  const double vx = c.X - a.X, vy = c.Y - a.Y, vz = c.Z - a.Z;
  const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  return std::abs(nz) / std::sqrt(nx * nx + ny * ny + nz * nz);
}

std::string LiteralLine(int mode, int32_t colour, const std::array<PointRec, 3>& t) {
  const double c = LiteralCosine(t[0], t[1], t[2]);
  std::string line = "(" + std::to_string(mode) + " " + std::to_string(colour) + " " +
                     (std::isnan(c) ? "0.00" : FormatFixed(c, 2)) + " (";
  for (const PointRec& p : t)
    line += "(" + FormatNumber(p.X) + " " + FormatNumber(p.Y) + " " + FormatNumber(p.Z) + ")";
  return line + "))\r\n";
}

std::string LiteralSlopeColouring(TriangleMesh surface, const std::vector<ColourClass>& classes) {
  surface.Reindex();
  std::string out;
  for (int32_t i = 1; i <= surface.TriangleCount(); ++i) {
    const auto t = *surface.GetTriangle(i);
    const double c = LiteralCosine(t[0], t[1], t[2]);
    const auto k = std::find_if(classes.begin(), classes.end(), [&](const ColourClass& k) {
      return std::cos(k.Upper * std::numbers::pi / 180) <= c &&
             c <= std::cos(k.Lower * std::numbers::pi / 180);
    });
    out += LiteralLine(1, k == classes.end() ? kWhite : k->ColourValue(), t);
  }
  return out;
}

// The lines of an elevation colouring: the bands as cut (the cut itself is
// held to the literal successive splits in tests/analysis), what remains
// above the last band in the colour last used.
std::string ExpectedElevationColouring(const TriangleMesh& surface,
                                       const std::vector<ColourClass>& classes) {
  std::vector<double> bounds;
  for (const ColourClass& k : classes) bounds.push_back(k.Upper);
  Feedback feedback;
  const Result<ElevationBands> bands = CutElevationBands(surface, bounds, feedback);
  std::string out;
  int32_t colour = classes.back().ColourValue();
  for (size_t g = 0; g <= classes.size(); ++g) {
    if (g < classes.size() && bands->Counts[g] > 0) colour = classes[g].ColourValue();
    for (const ElevationBands::Block& block : bands->Blocks)
      for (int32_t k = block.Start[g]; k < block.Start[g + 1]; ++k) {
        const BandItem item = block.Items[static_cast<size_t>(k)];
        const auto& [a, b, c] =
            IsPiece(item)
                ? PieceOf(item).T
                : PieceTriangle{TriangleOf(item).A, TriangleOf(item).B, TriangleOf(item).C};
        out += LiteralLine(0, colour, {a, b, c});
      }
  }
  return out;
}

// --- helpers ----------------------------------------------------------------

using Corners = std::array<PointRec, 3>;

TriangleMesh MeshOf(std::initializer_list<Corners> triangles, const std::string& name = "HILL") {
  TriangleMesh m;
  for (const Corners& t : triangles) {
    for (const PointRec& p : t) m.AddPoint(p.X, p.Y, p.Z);
    m.AddTriangle(t[0].X, t[0].Y, t[0].Z, 0, t[1].X, t[1].Y, t[1].Z, 0, t[2].X, t[2].Y, t[2].Z, 0);
  }
  m.Reindex();
  m.Tag = name;
  return m;
}

std::string Written(const TriangleMesh& m, const std::vector<ColourClass>& classes,
                    ColouringMode mode) {
  const fs::path file = fs::temp_directory_path() / ("orvane-col-" + std::to_string(::getpid()));
  AtomicFileWriter out(file);
  Feedback feedback;
  const Result<int64_t> r = mode == ColouringMode::Slope
                                ? WriteSlopeColouring(m, classes, out, feedback)
                                : WriteElevationColouring(m, classes, out, feedback);
  EXPECT_TRUE(r.Ok()) << r.Error().Text();
  EXPECT_TRUE(out.Commit());
  const std::string text = Slurp(file);
  fs::remove(file);
  return text;
}

// 20 bands of 1 m from 100 m, in 20 colours.
std::vector<ColourClass> Bands() {
  std::vector<ColourClass> palette;
  for (int16_t i = 0; i < 21; ++i) palette.push_back({0, 1, i, 0, static_cast<int16_t>(200 - i)});
  return GenerateElevationClasses(palette, 100, 120, 1).Classes;
}

// The colour values of the lines of a ".col" text.
std::vector<int32_t> Colours(const std::string& col) {
  std::vector<int32_t> colours;
  for (size_t at = 0; at < col.size(); at = col.find('\n', at) + 1)
    colours.push_back(std::stoi(col.substr(at + 3)));
  return colours;
}

class ProjectFolder : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    Project().CloseProject();
    Project().ProjectFolder = dir_.string();
  }
  void TearDown() override {
    Project().CloseProject();
    TempFolderTest::TearDown();
  }
};

// --- tests --------------------------------------------------------------------

// A flat triangle and one of exactly 10 degrees take the class 0-10 (the
// first of two that include 10); one steeper than every class is white. The
// files' lines exactly, "." as decimal point under a comma locale.
TEST_F(ProjectFolder, SlopeColouringWritesExactLines) {
  const double z10 = 10 * std::tan(10 * std::numbers::pi / 180);
  const TriangleMesh m = MeshOf({{{{0, 0, 5}, {10, 0, 5}, {0, 10, 5}}},
                                 {{{20, 0, 0}, {30, 0, 0}, {20, 10, z10}}},
                                 {{{40, 0, 0}, {50, 0, 0}, {40, 10, 10}}}});
  const std::vector<ColourClass> classes = {{0, 10, 255, 0, 0}, {10, 20.5, 0, 0, 255}};
  const std::string locale = testing::UseCommaLocale();
  // The phases as a window shows them: the colouring's under its own text.
  std::vector<int32_t> phaseTexts;
  auto status = Status::Create();
  status->StatusPhase = [&](std::string& code) {
    phaseTexts.push_back(actions::PhaseTextNumber(code));
  };
  status->Listen();
  const actions::ActionResult r = actions::Colour(m, classes, ColouringMode::Slope);
  Status::Create()->Listen();
  std::setlocale(LC_ALL, "C");
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(phaseTexts, (std::vector<int32_t>{text::kColouring, 0}));  // then IDLE
  EXPECT_EQ(r.FigureValue("triangles"), 3);
  EXPECT_EQ(Slurp(dir_ / "HILL.rgb"), "0 10 255 0 0\r\n10 20.5 0 0 255\r\n");
  EXPECT_EQ(Slurp(dir_ / "HILL.col"),
            "(1 255 1.00 ((0 0 5)(10 0 5)(0 10 5)))\r\n"
            "(1 255 0.98 ((20 0 0)(30 0 0)(20 10 " +
                FormatNumber(z10) +
                ")))\r\n"
                "(1 16777215 0.71 ((40 0 0)(50 0 0)(40 10 10)))\r\n")
      << "locale " << locale;
}

// Classes 100-110 red and 110-120 green, from a class file that lists them
// out of elevation order (they were cut in list order): below 110 red,
// between green, above 120 green (the last colour used); a triangle across
// 110 is cut, its lower quadrilateral triangulated. Lines go class by class
// in elevation order, the ".rgb" lists the classes so, and a warning says it.
TEST_F(ProjectFolder, ElevationBandsAboveTheLastTakeTheLastColourUsed) {
  const TriangleMesh m = MeshOf({{{{0, 0, 100}, {10, 0, 102}, {0, 10, 104}}},
                                 {{{20, 0, 112}, {30, 0, 114}, {20, 10, 118}}},
                                 {{{40, 0, 121}, {50, 0, 122}, {40, 10, 124}}},
                                 {{{60, 0, 105}, {70, 0, 115}, {60, 10, 105}}}});
  Write("mine.rgb", "110 120 0 255 0\n100 110 255 0 0\n");
  const actions::ActionResult r =
      actions::ColourByClassFile(m, dir_ / "mine.rgb", ColouringMode::Elevation);
  ASSERT_TRUE(r.ok()) << r.Message;
  const std::string col = Slurp(dir_ / "HILL.col");
  EXPECT_EQ(Colours(col), (std::vector<int32_t>{kRed, kRed, kRed, kGreen, kGreen, kGreen})) << col;
  EXPECT_NE(col.find("(65 0 110)"), std::string::npos) << col;
  EXPECT_EQ(col, ExpectedElevationColouring(m, {{100, 110, 255, 0, 0}, {110, 120, 0, 255, 0}}));
  EXPECT_EQ(Slurp(dir_ / "HILL.rgb"), "100 110 255 0 0\r\n110 120 0 255 0\r\n");
  ASSERT_EQ(r.Warnings.size(), 1u);
  EXPECT_NE(r.Warnings[0].find("not in elevation order"), std::string::npos) << r.Warnings[0];

  // No class receives a triangle: all of them take the last class's colour.
  EXPECT_EQ(Colours(Written(m, {{0, 50, 0, 0, 255}}, ColouringMode::Elevation)),
            (std::vector<int32_t>(4, kBlue)));
}

TEST(Colouring, BandGenerationFollowsTheEveryKthLineRule) {
  std::vector<ColourClass> palette;
  for (int16_t i = 0; i <= 10; ++i) palette.push_back({0, 1, i, 0, 0});
  // k = 10 / 20 x 5 = 2.5, rounded to 2: lines 0, 2, 4, 6; the fourth band
  // reaches 120 and ends the list.
  ClassGeneration g = GenerateElevationClasses(palette, 100, 120, 5);
  ASSERT_TRUE(g.ok()) << g.Status.Text();
  EXPECT_EQ(
      g.Classes,
      (std::vector<ColourClass>{
          {100, 105, 0, 0, 0}, {105, 110, 2, 0, 0}, {110, 115, 4, 0, 0}, {115, 120, 6, 0, 0}}));
  // k = 10 / 15 rounds to 1: the eleven lines colour 0-11, then one band to
  // the end takes line 10's colour.
  g = GenerateElevationClasses(palette, 0, 15, 1);
  ASSERT_EQ(g.Classes.size(), 12u);
  EXPECT_EQ(g.Classes.back(), (ColourClass{11, 15, 10, 0, 0}));
  EXPECT_EQ(ClassFileText(std::vector<ColourClass>(g.Classes.begin(), g.Classes.begin() + 1)),
            "0 1 0 0 0\r\n");

  // Refused instead of dividing by zero (and nothing made).
  for (const auto& [start, end, interval] :
       {std::tuple{100.0, 100.0, 1.0}, std::tuple{120.0, 100.0, 1.0}, std::tuple{100.0, 120.0, 0.0},
        std::tuple{100.0, 120.0, -1.0},
        std::tuple{0.0, 100.0, 1.0}}) {  // 100 bands for 11 lines: k rounds to 0
    g = GenerateElevationClasses(palette, start, end, interval);
    EXPECT_FALSE(g.ok()) << start << " " << end << " " << interval;
    EXPECT_TRUE(g.Classes.empty());
  }

  // Whole metres, within the surface's elevations.
  ExtentsRec e;
  e.Min.Z = 100.3;
  e.Max.Z = 119.7;
  const BandLimits b = ElevationBandLimits(99.5, 130, e);
  EXPECT_EQ(b.Start, 100);
  EXPECT_EQ(b.End, 119);
  EXPECT_TRUE(b.StartRaised && b.EndLowered);
  EXPECT_EQ(ElevationBandLimits(105.9, 110.2, e).Start, 105);
}

// Runs of blanks and tabs separate fields, any line end serves; a line that
// cannot be read refuses the whole file with its number.
TEST_F(ProjectFolder, ClassFilesAreReadWholeOrRefused) {
  Write("a.rgb", "0  10\t255 0 0 extra\r\n\r\n10 20.5 0 0 255\n");
  const ClassFile good = ReadClassFile(dir_ / "a.rgb");
  ASSERT_TRUE(good.ok()) << good.Status.Text();
  EXPECT_EQ(good.Classes, (std::vector<ColourClass>{{0, 10, 255, 0, 0}, {10, 20.5, 0, 0, 255}}));
  for (const auto& [text, line] :
       {std::pair{"0 10 255 0 0\n0 10 256 0 0\n", "line 2"}, std::pair{"0 1,5 255 0 0\n", "line 1"},
        std::pair{"0 10 255 0\n", "line 1"}, std::pair{"0 10 255 0 0.5\n", "line 1"}}) {
    Write("b.rgb", text);
    const ClassFile bad = ReadClassFile(dir_ / "b.rgb");
    EXPECT_TRUE(bad.Classes.empty()) << text;
    EXPECT_NE(bad.Status.Text().find(line), std::string::npos) << bad.Status.Text();
  }
  EXPECT_FALSE(ReadClassFile(dir_ / "missing.rgb").ok());

  // The palette list: sorted by name, the slope palette marked, a name given
  // twice kept once.
  fs::create_directories(dir_ / "palettes");
  for (const char* name : {"terrain.rgb", "Slope.rgb", "TERRAIN.x.rgb", "notes.txt"})
    std::ofstream(dir_ / "palettes" / name) << "0 1 0 0 0\n";
  std::vector<std::string> texts(text::kTextCount);
  texts[text::kSlopePaletteName - 1] = "Slope ";
  const std::vector<Palette> palettes = ListPalettes(dir_ / "palettes", texts);
  ASSERT_EQ(palettes.size(), 2u);
  EXPECT_EQ(palettes[0].Name, "SLOPE");
  EXPECT_TRUE(palettes[0].Slope);
  EXPECT_EQ(palettes[1].Name, "TERRAIN");
  EXPECT_EQ(palettes[1].File.filename(), "TERRAIN.x.rgb");
  EXPECT_FALSE(palettes[1].Slope);
  EXPECT_TRUE(FindPalette(palettes, " terrain "));
}

// A refusal, a failure to read the classes and a cancel at any point leave
// both files exactly as they were.
TEST_F(ProjectFolder, RefusedOrCancelledColouringChangesNoFile) {
  Write("HILL.rgb", "old classes\r\n");
  Write("HILL.col", "old triangles\r\n");
  const testing::FolderSnapshot before = testing::TakeSnapshot(dir_);
  const TriangleMesh m = MeshOf({{{{0, 0, 100}, {10, 0, 110}, {0, 10, 120}}}});

  Write("few.rgb", "0 1 0 0 0\n1 2 0 0 0\n");
  const Palette few{"FEW", dir_ / "few.rgb", false};
  const Result<PaletteClasses> none = ClassesFromPalette(m, few, std::nullopt, std::nullopt, 1);
  EXPECT_FALSE(none.Ok());  // 20 bands for two lines
  EXPECT_NE(none.Error().Text().find("too few"), std::string::npos) << none.Error().Text();
  fs::remove(dir_ / "few.rgb");

  using actions::ActionOutcome;
  EXPECT_EQ(actions::Colour(m, {}, ColouringMode::Slope).Result, ActionOutcome::Refused);
  const std::vector<ColourClass> steep = {{0, 90, 0, 0, 0}};
  EXPECT_EQ(actions::Colour(MeshOf({}), steep, ColouringMode::Slope).Result,
            ActionOutcome::Refused);
  EXPECT_EQ(actions::ColourByClassFile(m, dir_ / "missing.rgb", ColouringMode::Slope).Result,
            ActionOutcome::Refused);
  // Overlapping classes: refused, both lines named.
  Write("overlap.rgb", "100 110 1 2 3\n\n105 112 4 5 6\n");
  const actions::ActionResult overlap =
      actions::ColourByClassFile(m, dir_ / "overlap.rgb", ColouringMode::Elevation);
  EXPECT_EQ(overlap.Result, ActionOutcome::Refused);
  EXPECT_NE(overlap.Message.find("line 3: the class 105 to 112 overlaps the class 100 to 110 of "
                                 "line 1"),
            std::string::npos)
      << overlap.Message;
  fs::remove(dir_ / "overlap.rgb");
  // A stop asked at the first report, and at the last (the file complete).
  for (const ColouringMode mode : {ColouringMode::Elevation, ColouringMode::Slope})
    for (int stopAt : {0, 1}) {
      int asked = 0;
      const std::vector<ColourClass> classes = {{100, 105, 1, 2, 3}};
      const actions::ActionResult r =
          actions::Colour(m, classes, mode, [&] { return asked++ >= stopAt; });
      EXPECT_EQ(r.Result, ActionOutcome::Cancelled) << stopAt;
      EXPECT_EQ(asked, stopAt + 1);
    }
  EXPECT_EQ(testing::TakeSnapshot(dir_), before);
}

// The percentages told, and a stop once one reaches stopAt.
class Recorder : public Feedback {
 public:
  explicit Recorder(int32_t stopAt) : stopAt_(stopAt) {}
  void Progress(int32_t percent, bool) override { Reports.push_back(percent); }
  bool Cancelled() override { return !Reports.empty() && Reports.back() >= stopAt_; }
  std::vector<int32_t> Reports;

 private:
  int32_t stopAt_;
};

// A surface at survey coordinates of several blocks of triangles and chunks
// of lines, many of them cut, coloured on one thread and on two: the same
// bytes (the slope lines those of the literal procedure, the elevation lines
// those of the bands as cut) and the same reports; a stop asked while the
// lines are written still stops it.
TEST(Colouring, TwoThreadsWriteTheSameBytes) {
  std::mt19937_64 rng(20261207);
  test_surfaces::SurfaceShape s;
  s.east = 500000.123;
  s.north = 4500000.456;
  s.columns = 90;
  s.rows = 70;
  s.zLow = 100;
  s.zHigh = 104;
  s.snapTo = 102;
  const TriangleMesh m = test_surfaces::RandomSurface(s, rng);
  const std::vector<ColourClass> bands = Bands();
  const std::vector<ColourClass> slopes = {{0, 5, 1, 0, 0},   {5, 15, 2, 0, 0},  {15, 30, 3, 0, 0},
                                           {30, 45, 4, 0, 0}, {45, 60, 5, 0, 0}, {60, 80, 6, 0, 0}};
  const fs::path file = fs::temp_directory_path() / ("orvane-col2-" + std::to_string(::getpid()));
  struct Run {
    std::string Text;
    std::vector<int32_t> Reports;
    Result<int64_t> Lines = Outcome::Cancel();
  };
  auto run = [&](unsigned threads, ColouringMode mode, int32_t stopAt) {
    SetThreadLimit(threads);
    Run r;
    AtomicFileWriter out(file);
    Recorder feedback(stopAt);
    r.Lines = mode == ColouringMode::Slope ? WriteSlopeColouring(m, slopes, out, feedback)
                                           : WriteElevationColouring(m, bands, out, feedback);
    if (r.Lines.Ok() && out.Commit()) r.Text = Slurp(file);
    r.Reports = feedback.Reports;
    SetThreadLimit(0);
    return r;
  };
  for (const ColouringMode mode : {ColouringMode::Elevation, ColouringMode::Slope}) {
    const Run one = run(1, mode, 101), two = run(0, mode, 101);
    ASSERT_TRUE(one.Lines.Ok() && two.Lines.Ok());
    EXPECT_GT(*one.Lines, 2 * 4096);
    EXPECT_EQ(*one.Lines, *two.Lines);
    EXPECT_TRUE(one.Text == two.Text);
    EXPECT_EQ(one.Reports, two.Reports);
    EXPECT_TRUE(one.Text == (mode == ColouringMode::Slope ? LiteralSlopeColouring(m, slopes)
                                                          : ExpectedElevationColouring(m, bands)));
  }
  // The cut is the first half of the reports: 75 % lies among the lines.
  for (const unsigned threads : {1u, 0u}) {
    const Run stopped = run(threads, ColouringMode::Elevation, 75);
    EXPECT_TRUE(stopped.Lines.Error().IsCancelled());
    EXPECT_EQ(std::count_if(stopped.Reports.begin(), stopped.Reports.end(),
                            [](int32_t p) { return p >= 75; }),
              1);
    EXPECT_LT(stopped.Reports.back(), 100);
  }
  fs::remove(file);
}

}  // namespace
}  // namespace orvane
