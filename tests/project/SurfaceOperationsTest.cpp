// The surface operations on temporary project folders: the files each
// writes, keeps and removes, its refusals, and that a cancel or a kill at
// any point leaves the project exactly as it was.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "analysis/ElevationQueries.h"
#include "analysis/HorizontalSplit.h"
#include "analysis/Merge.h"
#include "analysis/MergeSplitMeshes.h"
#include "analysis/SurfaceArea.h"
#include "core/storage/FolderTransaction.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "formats/TextFiles.h"
#include "project/actions/Actions.h"
#include "project/actions/OperationActions.h"
#include "project/actions/ProjectState.h"
#include "project/files/SurfaceFiles.h"
#include "project/operations/ElevationChange.h"
#include "project/operations/PointText.h"
#include "project/operations/ReindexedPoints.h"
#include "project/settings/TextIds.h"
#include "support/CommaLocale.h"
#include "support/FolderSnapshot.h"
#include "support/KillAtEveryStep.h"
#include "support/MeshChecks.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using actions::ActionOutcome;
using actions::ActionResult;
using testing::FolderSnapshot;
using testing::Slurp;
using testing::TakeSnapshot;

// Grid points 0..40 m by 10 m, elevation 100 + x / 10 + y / 20 (100 to 106)
// with a millimetre of noise inside, so that the triangulation is unique.
std::string GridPoints(double dz = 0) {
  std::string text;
  for (int i = 0; i <= 4; ++i)
    for (int j = 0; j <= 4; ++j)
      text += std::to_string(i * 10 + (i % 4 != 0 && j % 4 != 0 ? (i * j) % 3 * 0.001 : 0)) + " " +
              std::to_string(j * 10) + " " + std::to_string(100 + dz + i + j * 0.5) + "\r\n";
  return text;
}

class SurfaceOperations : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    Project() = ProjectState();
  }
  void TearDown() override {
    Project() = ProjectState();
    TempFolderTest::TearDown();
  }

  // Surfaces A (with a boundary, breaklines and the suite's companions) and
  // B (five metres higher), built; the project opened afresh.
  void MakeProject() {
    testing::WriteText(P("A.xyz"), GridPoints());
    testing::WriteText(P("A.bnd"), "0 0 100\r\n40 0 104\r\n40 40 106\r\n0 40.000 102\r\n");
    testing::WriteText(P("A.brk"), "BREAKLINE\r\n10  10 101.5 x\r\n30 10 103.5\r\nBREAKLINE\n\n");
    testing::WriteText(P("A.con"), "suite");
    testing::WriteText(P("A.rgb"), "colours");
    testing::WriteText(P("B.xyz"), GridPoints(5));
    Open();
    ASSERT_TRUE(actions::Build("A").ok());
    ASSERT_TRUE(actions::Build("B").ok());
    Open();
  }
  void Open() { ASSERT_TRUE(actions::OpenProject(dir_).ok()); }
  std::shared_ptr<TriangleMesh> Surface(const std::string& name) {
    return actions::FindSurface(name).Surface;
  }
  fs::path P(const std::string& file) const { return dir_ / file; }

  StatusSilencer quiet_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  for (size_t p = 0; p < text.size();) {
    const size_t q = text.find("\r\n", p);
    out.push_back(text.substr(p, q - p));
    p = q == std::string::npos ? text.size() : q + 2;
  }
  return out;
}

// Typos of a typed number: each must be refused, never read as some number.
TEST(TypedNumbers, ATypoIsNoNumber) {
  for (const char* typo : {"", " ", "abc", "2,5", "12.5 m", "-inf", "--5", "nan", "0x10", "1 2",
                           "1e999", "+-1", "inf", "."}) {
    const Result<double> read = ParseTypedNumber(typo);
    EXPECT_FALSE(read) << typo;
    EXPECT_EQ(read.Error().Text(),
              "\"" + std::string(typo) +
                  "\" is not a number: type digits with \".\" as the decimal point (as in -2.5)");
  }
  for (auto [typed, value] :
       {std::pair{" -1.5\t", -1.5}, {"+3e2", 300.0}, {".25", 0.25}, {"5.", 5.0}}) {
    const Result<double> read = ParseTypedNumber(typed);
    ASSERT_TRUE(read) << typed;
    EXPECT_EQ(*read, value) << typed;
  }
  using actions::TypedGridSide;
  EXPECT_EQ(*TypedGridSide("1.5"), 2);
  EXPECT_EQ(*TypedGridSide("2.5"), 2);
  EXPECT_EQ(*TypedGridSide("3.5"), 4);
  EXPECT_EQ(*TypedGridSide("1.4"), 1);
  EXPECT_EQ(*TypedGridSide("-1e20"), std::numeric_limits<int32_t>::min());
  EXPECT_FALSE(TypedGridSide("2,5"));
}

TEST(OperationText, PointsInTheFixedPatternAndElevationsChangedInPlace) {
  char buf[kMaxFixedText];
  for (auto [v, text] : {std::pair{0.0, "0.0000000"},
                         {-0.0, "0.0000000"},
                         {-0.00000004, "0.0000000"},
                         {-0.00000006, "-0.0000001"},
                         {500123.45678915, "500123.4567892"},
                         {1e300, ""}}) {
    const std::string got(buf, WriteFixed7(buf, v));
    if (*text) {
      EXPECT_EQ(got, text) << v;
    }
    EXPECT_LT(got.size(), kMaxFixedText);
  }
  // x and y stay as typed; separators, skipped lines and line ends stay.
  const std::string in =
      "\xEF\xBB\xBF"
      "1.50 2 3\r\nZONA_INC\r\n\tx  y z\n4 5 6.5m extra\r7 8\r\nZONA_INC 9 9 9\r\n10 11 -12";
  const Result<std::string> out =
      ChangeElevationsInText(in, "ZONA_INC", [](double z) { return z * 2; });
  ASSERT_TRUE(out) << out.Error().Text();
  EXPECT_EQ(*out,
            "\xEF\xBB\xBF"
            "1.50 2 6\r\nZONA_INC\r\n\tx  y z\n4 5 13 extra\r7 8\r\nZONA_INC 9 9 9\r\n10 11 -24");
  const Result<std::string> bad =
      ChangeElevationsInText(in, "ZONA_INC", [](double z) { return z * 1e9; });
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.Error().Line(), 1);
}

// The fast fixed pattern against to_chars, the exact rounding.
TEST(OperationText, FixedPatternAgreesWithExactRounding) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> east(5e5, 5.1e5), unit(-1, 1);
  for (int i = 0; i < 300000; ++i) {
    double v = 0;
    switch (i % 5) {
      case 0:
        v = east(rng);
        break;
      case 1:
        v = std::round(east(rng) * 1e7) / 1e7 + (i % 3 - 1) * 5e-8;
        break;  // near ties
      case 2:
        v = unit(rng) * std::pow(10.0, static_cast<int>(rng() % 24) - 12);
        break;
      case 3:
        v = std::round(unit(rng) * 1e4) / 1e3;
        break;
      default:
        v = (static_cast<double>(rng() % 2000000) - 1e6) / 2e7;
        break;  // exact halves
    }
    char fast[kMaxFixedText], exact[kMaxFixedText];
    char* end = std::to_chars(exact, exact + sizeof exact, v, std::chars_format::fixed, 7).ptr;
    std::string want(exact, end);
    if (want.find_first_not_of("-0.") == std::string::npos) want = "0.0000000";
    ASSERT_EQ(std::string(fast, WriteFixed7(fast, v)), want) << v;
  }
}

// The points of Reindex (and of a merge with DoReindex) without running it:
// compared with the real thing on meshes with exact copies, loose copies
// (vertices within 0.001 of their point, unindexed ones), repeated and near
// points, at survey coordinates.
TEST(ReindexedPointsTest, EqualReindexAndTheReindexedMerge) {
  std::mt19937_64 rng(17);
  auto mesh = [&](int points, int triangles, bool near, bool loose) {
    TriangleMesh m;
    std::uniform_real_distribution<double> x(5e5, 5e5 + 50), y(4.5e6, 4.5e6 + 50), z(90, 110);
    for (int i = 0; i < points; ++i) {
      if (near && i > 0 && rng() % 4 == 0) {
        const PointRec& p = m.Point(1 + static_cast<int32_t>(rng() % static_cast<uint64_t>(i)));
        const double d = (rng() % 3) * 0.0005;  // 0, 0.0005 or 0.001 away
        m.AddPoint(p.X + d, p.Y - d, p.Z + d);
      } else {
        m.AddPoint(x(rng), y(rng), z(rng));
      }
    }
    for (int t = 0; t < triangles; ++t) {
      std::array<PointRec, 3> v;
      for (PointRec& c : v) {
        c = m.Point(1 + static_cast<int32_t>(rng() % static_cast<uint64_t>(points)));
        if (rng() % 8 == 0) c.T = 0;
        if (loose && rng() % 16 == 0) c.X += 0.0007;
      }
      m.AddTriangle(v[0].X, v[0].Y, v[0].Z, static_cast<int32_t>(v[0].T), v[1].X, v[1].Y, v[1].Z,
                    static_cast<int32_t>(v[1].T), v[2].X, v[2].Y, v[2].Z,
                    static_cast<int32_t>(v[2].T));
    }
    return m;
  };
  const auto points = [](const TriangleMesh& m) {
    return std::vector<PointRec>(m.Points().begin() + 1, m.Points().end());
  };
  Feedback quiet;
  for (int round = 0; round < 60; ++round) {
    const TriangleMesh a = mesh(50 + round * 20, 80 + round * 40, round % 2 == 1, round % 3 == 0);
    const TriangleMesh b = mesh(30 + round * 10, 60 + round * 20, round % 4 == 0, false);
    TriangleMesh reindexed = a;
    reindexed.Reindex();
    const TriangleMesh* const one[] = {&a};
    ASSERT_EQ(*ReindexedPoints(one, quiet), points(reindexed)) << round;
    TriangleMesh merged = a;
    MergeTriangleMesh(merged, &b, true);
    const TriangleMesh* const two[] = {&a, &b};
    ASSERT_EQ(*ReindexedPoints(two, quiet), points(merged)) << round;
  }
}

// The split's points, gathered from the sides' triangles as they are cut,
// against the reindex of the sides HorizontalSplitSimple makes.
TEST(ReindexedPointsTest, TheSplitsSidesAsTheirReindexNumbersThem) {
  StatusSilencer quiet;
  const test_surfaces::SurfaceShape shapes[] = {
      {500000, 4500000, 30, 25, 0.5, 100, 104, 102, 0.3, 0.4},
      // Corners a hair from the elevation: crossing points within 0.001 of
      // a corner, which the unique-vertex table merges.
      {500000, 4500000, 20, 20, 0.5, 101.9995, 102.0005, 102, 0.2, 0.4},
      {0, 0, 12, 12, 1, 0, 2, 1, 0.1, 0, 1},
  };
  unsigned seed = 5;
  for (const auto& shape : shapes)
    for (double e : {shape.snapTo, shape.snapTo + 0.37, shape.zLow - 1}) {
      std::mt19937_64 rng(++seed);
      const TriangleMesh source = test_surfaces::RandomSurface(shape, rng);
      TriangleMesh copy = source, lower, upper;
      HorizontalSplitSimple(copy, e, lower, upper);
      PointsInReindexOrder sides[2] = {PointsInReindexOrder(0), PointsInReindexOrder(0)};
      for (auto& side : sides) side.StartMesh(source.Points());
      Feedback quiet;
      ASSERT_TRUE(HorizontalSplitTriangles(
          source, e,
          [&](bool up, const PointRec& a, const PointRec& b, const PointRec& c) {
            sides[up].Add(a, b, c);
          },
          quiet));
      for (int up = 0; up < 2; ++up) {
        const TriangleMesh* const side[] = {up ? &upper : &lower};
        EXPECT_EQ(sides[up].Finish(), *ReindexedPoints(side, quiet)) << seed << " " << up;
      }
    }
}

// Every line of after is that of before with its elevation changed: x and y
// as typed, z the changed number.
void ExpectElevationsChanged(const std::string& before, const std::string& after,
                             const std::function<double(double)>& change) {
  const std::vector<std::string> was = Lines(before), is = Lines(after);
  ASSERT_EQ(is.size(), was.size());
  for (size_t i = 0; i < was.size(); ++i) {
    const PointFile old = ParsePointText(was[i]), now = ParsePointText(is[i]);
    if (old.Points.count() == 0) {
      EXPECT_EQ(is[i], was[i]);
      continue;
    }
    ASSERT_EQ(now.Points.count(), 1) << is[i];
    EXPECT_EQ(is[i].substr(0, is[i].rfind(' ')), was[i].substr(0, was[i].rfind(' ')));
    EXPECT_EQ(now.Points.Point(1).Z, change(old.Points.Point(1).Z)) << was[i] << " -> " << is[i];
  }
}

// A survey keeps every point through a shift and a scale: those outside the
// boundary, soundings without elevation (-999, which stays -999), points
// closer than the build keeps apart. A real elevation that would land on
// -999 is refused, naming its point.
TEST_F(SurfaceOperations, ShiftAndScaleKeepEverySurveyPointAndTheNoDataMarker) {
  MakeProject();
  testing::WriteText(P("A.xyz"),
                     GridPoints() + "60 60 101\r\n20 20.0004 103\r\n5 5 -999\r\n7 7 -1000\r\n");
  Open();
  ASSERT_TRUE(actions::Build("A").ok());
  Open();
  const FolderSnapshot before = TakeSnapshot(dir_);
  const ActionResult refused = actions::Shift(Surface("A"), "+1");
  EXPECT_EQ(refused.Result, ActionOutcome::Refused);
  EXPECT_EQ(refused.Message, P("A.xyz").string() +
                                 ": line 29 (7 7 -1000): the new elevation would be -999, which "
                                 "marks a point without elevation; nothing changed");
  EXPECT_EQ(TakeSnapshot(dir_), before);

  std::string survey = before.at("A.xyz");
  for (auto [shift, typed, change] :
       {std::tuple{true, "0.5", std::function<double(double)>([](double z) { return z + 0.5; })},
        {false, "-2", [](double z) { return z * -2; }}}) {
    const ActionResult r =
        shift ? actions::Shift(Surface("A"), typed) : actions::Scale(Surface("A"), typed);
    ASSERT_TRUE(r.ok()) << r.Message;
    const std::string now = Slurp(P("A.xyz"));
    ExpectElevationsChanged(survey, now, [&](double z) { return z == -999 ? z : change(z); });
    survey = now;
    Open();
  }
}

TEST_F(SurfaceOperations, ShiftAndScaleRebuildWithTheirZonesAndBreaklines) {
  MakeProject();
  const FolderSnapshot before = TakeSnapshot(dir_);
  const std::string locale = testing::UseCommaLocale();
  auto a = Surface("A");
  const ExtentsRec held = a->GetExtents();
  ActionResult r = actions::Shift(a, " 2 ");
  std::setlocale(LC_ALL, "C");
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(r.TextNumber, text::kOperationFinished);
  EXPECT_EQ(r.SurfaceNames, std::vector<std::string>{"A"});
  EXPECT_EQ(r.Deleted, std::vector<fs::path>{P("A.con")});
  EXPECT_TRUE(r.Warnings.empty());
  const FolderSnapshot after = TakeSnapshot(dir_);
  EXPECT_FALSE(after.contains("A.con"));
  for (const char* kept : {"A.rgb", "B.dsp", "B.xyz", "B.tin"})
    EXPECT_EQ(after.at(kept), before.at(kept)) << kept;
  EXPECT_EQ(after.at("A.bnd"), "0 0 102\r\n40 0 106\r\n40 40 108\r\n0 40.000 104\r\n");
  EXPECT_EQ(after.at("A.brk"), "BREAKLINE\r\n10  10 103.5 x\r\n30 10 105.5\r\nBREAKLINE\n\n");
  EXPECT_NE(after.at("A.tin"), before.at("A.tin"));
  // The survey's own lines, each with its elevation shifted, "." whatever
  // the locale (checked under a comma locale when one is to be had).
  ExpectElevationsChanged(before.at("A.xyz"), after.at("A.xyz"), [](double z) { return z + 2; });
  EXPECT_NE(after.at("A.xyz").find('.'), std::string::npos) << locale;
  // The surface in memory is the rebuilt one once the result is applied (on
  // the thread that owns the surfaces), as the next scan loads it.
  EXPECT_EQ(a->GetExtents(), held);
  actions::Apply(r);
  EXPECT_EQ(a->GetExtents().Min.Z, 102);
  EXPECT_EQ(a->GetExtents().Max.Z, 108);
  ExpectValidSurface(*a, "shifted");
  Open();
  EXPECT_EQ(Surface("A")->Triangles().size(), a->Triangles().size());
  EXPECT_EQ(Surface("A")->GetExtents(), a->GetExtents());

  // Scaling by 0: every elevation becomes 0, zones and breaklines too.
  a = Surface("A");
  ActionResult zero = actions::Scale(a, "0");
  ASSERT_TRUE(zero.ok());
  actions::Apply(zero);
  EXPECT_EQ(a->GetExtents().Max.Z, 0);
  EXPECT_EQ(Slurp(P("A.bnd")), "0 0 0\r\n40 0 0\r\n40 40 0\r\n0 40.000 0\r\n");
  // Elevations beyond what the readers keep are refused, nothing changed.
  const FolderSnapshot scaled = TakeSnapshot(dir_);
  testing::WriteText(P("A.bnd"), "0 0 1\r\n");
  Open();
  EXPECT_EQ(actions::Shift(Surface("A"), "2e9").Result, ActionOutcome::Refused);
  EXPECT_EQ(actions::Scale(Surface("B"), "1e8").Result, ActionOutcome::Refused);
  testing::WriteText(P("A.bnd"), scaled.at("A.bnd"));
  EXPECT_EQ(TakeSnapshot(dir_), scaled);
}

// The window's refusals change nothing; a grid only reads the surface, and a
// merge's result replaces the first surface's element once applied. (What
// the command line can ask is a row of tests/cli.)
TEST_F(SurfaceOperations, GridMergeAndSplitWriteTheirFilesAndRefuseWhatWouldOverwrite) {
  MakeProject();
  auto a = Surface("A"), b = Surface("B");
  const FolderSnapshot before = TakeSnapshot(dir_);
  EXPECT_EQ(actions::ExportGrid(a, "1.4").TextNumber, text::kGridSpacingTooSmall);
  EXPECT_EQ(actions::Merge(a, nullptr).Result, ActionOutcome::Refused);
  EXPECT_EQ(actions::Run(actions::Operation::None, a, b, "1").Result, ActionOutcome::Refused);
  EXPECT_EQ(actions::Run(actions::Operation::Shift, nullptr, b, "1").Result,
            ActionOutcome::Refused);
  EXPECT_EQ(TakeSnapshot(dir_), before);

  // Side 1.5 rounds to 2: a 21 x 21 node grid over 40 m, 400 cells.
  const TriangleMesh copy = *a;
  ActionResult r = actions::ExportGrid(a, "1.5");
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(r.FigureValue("quads"), 400);
  EXPECT_EQ(Lines(Slurp(P("A.grd"))).size(), 800u);
  EXPECT_TRUE(std::ranges::equal(a->Triangles(), copy.Triangles()));
  r = actions::Merge(a, b);
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(SurfaceName(*a), "A");
  actions::Apply(r);
  EXPECT_EQ(SurfaceName(*a), "A_B");
  ExpectValidSurface(*a, "merged");
}

// A hill of 161 m split at 150 m: each side rebuilt from its own points over
// their convex hull gave the lower side a flat cap over the hilltop and the
// upper side a span over the valleys, plan areas adding to 1.45 times the
// original's. Each side covers its part of the plan: the areas add up, and
// no triangle of a side lies where the ground is on the other side.
TEST_F(SurfaceOperations, SplitSidesOverlapEachOther) {
  const double e = 500000.25, n = 4500000.5, level = 150;
  std::string text;
  for (int i = 0; i <= 24; ++i)
    for (int j = 0; j <= 24; ++j) {
      const double x = i * 10, y = j * 10;
      const double z = 100 +
                       61 * std::exp(-((x - 120) * (x - 120) + (y - 110) * (y - 110)) / 3000) +
                       0.001 * ((i * 7 + j * 3) % 5);
      text += FormatNumber(e + x) + " " + FormatNumber(n + y) + " " + FormatNumber(z) + "\r\n";
    }
  testing::WriteText(P("H.xyz"), text);
  Open();
  ASSERT_TRUE(actions::Build("H").ok());
  Open();
  const ActionResult r = actions::Split(Surface("H"), "150");
  ASSERT_TRUE(r.ok()) << r.Message;
  Open();  // the sides as saved
  const auto hill = Surface("H"), lower = Surface("H__inferior"), upper = Surface("H__superior");
  ASSERT_TRUE(hill && lower && upper);
  const double whole = SurfaceArea2D(*hill);
  EXPECT_NEAR(SurfaceArea2D(*lower) + SurfaceArea2D(*upper), whole, 1e-9 * whole);
  for (const auto& [side, sign] : {std::pair{lower, -1.0}, std::pair{upper, 1.0}}) {
    ExpectValidSurface(*side, SurfaceName(*side));
    for (const TriangleRec& t : side->Triangles().subspan(1)) {
      const double cx = (t.A.X + t.B.X + t.C.X) / 3, cy = (t.A.Y + t.B.Y + t.C.Y) / 3;
      const double ground = InterpolateZ(*hill, cx, cy, std::nan(""));
      ASSERT_FALSE(std::isnan(ground))
          << SurfaceName(*side) << " off the hill at " << cx << " " << cy;
      EXPECT_GE(sign * (ground - level), -1e-9) << SurfaceName(*side) << " at " << cx << " " << cy;
    }
  }
}

// Every operation stopped at each of its cancel polls in turn: the files
// are byte for byte as before and so is the surface in memory.
TEST_F(SurfaceOperations, ACancelAtAnyPointLeavesTheProjectAsItWas) {
  MakeProject();
  using Op = std::function<ActionResult(const actions::StopRequest&)>;
  const std::vector<std::pair<const char*, Op>> ops = {
      {"shift", [&](auto& stop) { return actions::Shift(Surface("A"), "1", stop); }},
      {"scale", [&](auto& stop) { return actions::Scale(Surface("A"), "2", stop); }},
      {"grid", [&](auto& stop) { return actions::ExportGrid(Surface("A"), "2", stop); }},
      {"merge", [&](auto& stop) { return actions::Merge(Surface("A"), Surface("B"), stop); }},
      {"split", [&](auto& stop) { return actions::Split(Surface("A"), "103", stop); }},
  };
  const FolderSnapshot before = TakeSnapshot(dir_);
  for (const auto& [what, op] : ops) {
    int polls = 0;
    for (int stopAt = 1;; ++stopAt) {
      ASSERT_LT(stopAt, 500) << what;
      Open();
      const auto a = Surface("A");
      const TriangleMesh copy = *a;
      int asked = 0;
      const ActionResult r = op([&] { return ++asked >= stopAt; });
      if (r.Result != ActionOutcome::Cancelled) {
        ASSERT_TRUE(r.ok()) << what << ": " << r.Message;
        polls = stopAt - 1;
        break;
      }
      EXPECT_EQ(r.TextNumber, text::kCancelledFilesKept);
      EXPECT_EQ(TakeSnapshot(dir_), before) << what << " cancelled at poll " << stopAt;
      EXPECT_TRUE(std::ranges::equal(a->Triangles(), copy.Triangles())) << what;
      EXPECT_TRUE(std::ranges::equal(a->Points(), copy.Points())) << what;
      EXPECT_EQ(a->Tag, copy.Tag) << what;
    }
    EXPECT_GE(polls, 2) << what;
    // Undo the completed run for the next operation.
    for (const auto& e : fs::directory_iterator(dir_))
      if (!before.contains(e.path().filename().string())) fs::remove_all(e.path());
    for (const auto& [file, bytes] : before) testing::WriteText(P(file), bytes);
  }
  EXPECT_FALSE(CancelRequested.load());
}

// A process killed at any step of an operation's change leaves, for the
// next command, the project before the operation or after it.
TEST_F(SurfaceOperations, AKillAtAnyStepLeavesTheOldOrTheNewFiles) {
  MakeProject();
  const FolderSnapshot original = TakeSnapshot(dir_);
  const auto view = [&] {
    Open();  // the scan finishes a change left half done
    return TakeSnapshot(dir_);
  };
  const auto restore = [&] {
    for (const auto& e : fs::directory_iterator(dir_)) fs::remove_all(e.path());
    for (const auto& [file, bytes] : original) testing::WriteText(P(file), bytes);
    Open();
  };
  for (const char* what : {"shift", "split"}) {
    const auto op = [&] {
      return std::string(what) == "shift" ? actions::Shift(Surface("A"), "1").ok()
                                          : actions::Split(Surface("A"), "103").ok();
    };
    restore();
    ASSERT_TRUE(op());
    const FolderSnapshot done = view();
    testing::KillAtEveryStep(what, restore, op, [&](int stopAt) {
      const FolderSnapshot seen = view();
      EXPECT_TRUE(seen == original || seen == done) << what << ": a mix after step " << stopAt;
    });
  }
}

// A disk that fills while the split writes its upper side (a file size
// limit in a child process stands for it): the split fails and leaves
// nothing, not the lower side alone.
TEST_F(SurfaceOperations, SplitOnAFullDiskFailsAndLeavesNothing) {
  std::string text;
  for (int i = 0; i < 40; ++i)
    for (int j = 0; j < 40; ++j)
      text += std::to_string(i * 10) + " " + std::to_string(j * 10) + " " +
              std::to_string(100 + i + j + (i * 7 + j * 3) % 5 * 0.01) + "\n";
  testing::WriteText(P("S.xyz"), text);
  Open();
  ASSERT_TRUE(actions::Build("S").ok());
  const FolderSnapshot before = TakeSnapshot(dir_);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The lower side (a corner) fits, the upper one does not.
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{32768, 32768};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    Open();
    const ActionResult r = actions::Split(Surface("S"), "100.5");
    const bool named =
        r.Message.starts_with("S__superior: ") && r.Message.ends_with("; nothing was written");
    ::_exit(static_cast<int>(r.Result) * 10 + (named ? 1 : 0));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ActionOutcome::Failed) * 10 + 1);
  Open();  // as the next command finds the folder
  EXPECT_EQ(TakeSnapshot(dir_), before);
}

}  // namespace
}  // namespace orvane
