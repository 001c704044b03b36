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
#include "support/RunCli.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using actions::ActionOutcome;
using actions::ActionResult;
using testing::FolderSnapshot;
using testing::RunCli;
using testing::Slurp;
using testing::TakeSnapshot;

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

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

class SurfaceOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvane-operations-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    Project() = ProjectState();
  }
  void TearDown() override {
    Project() = ProjectState();
    fs::remove_all(dir_);
  }

  // Surfaces A (with a boundary, breaklines and the suite's companions) and
  // B (five metres higher), built; the project opened afresh.
  void MakeProject() {
    WriteText(P("A.xyz"), GridPoints());
    WriteText(P("A.bnd"), "0 0 100\r\n40 0 104\r\n40 40 106\r\n0 40.000 102\r\n");
    WriteText(P("A.brk"), "BREAKLINE\r\n10  10 101.5 x\r\n30 10 103.5\r\nBREAKLINE\n\n");
    WriteText(P("A.con"), "suite");
    WriteText(P("A.rgb"), "colours");
    WriteText(P("B.xyz"), GridPoints(5));
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

  fs::path dir_;
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
constexpr const char* kNotNumbers[] = {"",    " ",    "abc", "2,5",   "12.5 m", "-inf", "--5",
                                       "nan", "0x10", "1 2", "1e999", "+-1",    "inf",  "."};

TEST(TypedNumbers, ATypoIsNoNumber) {
  for (const char* typo : kNotNumbers) {
    std::string error;
    EXPECT_FALSE(ParseTypedNumber(typo, &error)) << typo;
    EXPECT_EQ(error,
              "\"" + std::string(typo) +
                  "\" is not a number: type digits with \".\" as the decimal point (as in -2.5)");
  }
  for (auto [typed, value] :
       {std::pair{" -1.5\t", -1.5}, {"+3e2", 300.0}, {".25", 0.25}, {"5.", 5.0}})
    EXPECT_EQ(ParseTypedNumber(typed), value) << typed;
  using actions::TypedGridSide;
  EXPECT_EQ(TypedGridSide("1.5"), 2);
  EXPECT_EQ(TypedGridSide("2.5"), 2);
  EXPECT_EQ(TypedGridSide("3.5"), 4);
  EXPECT_EQ(TypedGridSide("1.4"), 1);
  EXPECT_EQ(TypedGridSide("-1e20"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(TypedGridSide("2,5"), std::nullopt);
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
  WriteText(P("A.xyz"), GridPoints() + "60 60 101\r\n20 20.0004 103\r\n5 5 -999\r\n7 7 -1000\r\n");
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
  WriteText(P("A.bnd"), "0 0 1\r\n");
  Open();
  EXPECT_EQ(actions::Shift(Surface("A"), "2e9").Result, ActionOutcome::Refused);
  EXPECT_EQ(actions::Scale(Surface("B"), "1e8").Result, ActionOutcome::Refused);
  WriteText(P("A.bnd"), scaled.at("A.bnd"));
  EXPECT_EQ(TakeSnapshot(dir_), scaled);
}

TEST_F(SurfaceOperations, GridMergeAndSplitWriteTheirFilesAndRefuseWhatWouldOverwrite) {
  MakeProject();
  auto a = Surface("A"), b = Surface("B");
  FolderSnapshot before = TakeSnapshot(dir_);

  // Refusals change nothing.
  const ActionResult small = actions::ExportGrid(a, "1.4");
  EXPECT_EQ(small.Result, ActionOutcome::Refused);
  EXPECT_EQ(small.TextNumber, text::kGridSpacingTooSmall);
  EXPECT_EQ(actions::Merge(a, nullptr).Result, ActionOutcome::Refused);
  EXPECT_EQ(actions::Merge(a, a).Result, ActionOutcome::Refused);
  EXPECT_EQ(actions::Run(actions::Operation::None, a, b, "1").Result, ActionOutcome::Refused);
  EXPECT_EQ(actions::Run(actions::Operation::Shift, nullptr, b, "1").Result,
            ActionOutcome::Refused);
  EXPECT_EQ(TakeSnapshot(dir_), before);
  EXPECT_EQ(SurfaceName(*a), "A");

  // The grid: side 1.5 rounds to 2 (a 21 x 21 node grid over 40 m, 400
  // cells); the surface is not changed.
  const std::vector<TriangleRec> triangles(a->Triangles().begin(), a->Triangles().end());
  ActionResult r = actions::ExportGrid(a, "1.5");
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(r.FigureValue("quads"), 400);
  EXPECT_EQ(Lines(Slurp(P("A.grd"))).size(), 800u);
  EXPECT_TRUE(std::equal(triangles.begin(), triangles.end(), a->Triangles().begin()));

  // Merge: A_B from the points of both; A and B stay on disk, A's element
  // now holds A_B.
  before = TakeSnapshot(dir_);
  r = actions::Merge(a, b);
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(r.SurfaceNames, std::vector<std::string>{"A_B"});
  EXPECT_EQ(SurfaceName(*a), "A");
  actions::Apply(r);
  EXPECT_EQ(SurfaceName(*a), "A_B");
  FolderSnapshot after = TakeSnapshot(dir_);
  for (const auto& [file, bytes] : before) EXPECT_EQ(after.at(file), bytes) << file;
  for (const char* made : {"A_B.dsp", "A_B.xyz", "A_B.tin"}) EXPECT_TRUE(after.contains(made));
  EXPECT_EQ(after.size(), before.size() + 3);
  Open();
  EXPECT_EQ(actions::Merge(Surface("A"), Surface("B")).Result,
            ActionOutcome::Refused);  // A_B taken
  EXPECT_EQ(TakeSnapshot(dir_), after);

  // Split at 103: both sides written, A untouched; again: the names are taken.
  a = Surface("A");
  r = actions::Split(a, "103");
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(r.SurfaceNames, (std::vector<std::string>{"A__inferior", "A__superior"}));
  for (const char* made : {"A__inferior.dsp", "A__inferior.xyz", "A__inferior.tin",
                           "A__superior.dsp", "A__superior.xyz", "A__superior.tin"})
    EXPECT_TRUE(fs::exists(P(made))) << made;
  for (const auto& [file, bytes] : after) EXPECT_EQ(Slurp(P(file)), bytes) << file;
  Open();
  EXPECT_LE(Surface("A__inferior")->GetExtents().Max.Z, 103);
  EXPECT_GE(Surface("A__superior")->GetExtents().Min.Z, 103);
  after = TakeSnapshot(dir_);
  EXPECT_EQ(actions::Split(Surface("A"), "104").Result, ActionOutcome::Refused);
  EXPECT_EQ(TakeSnapshot(dir_), after);
  // A side without triangles is not written; the other one is.
  r = actions::Split(Surface("B"), "1000");
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(r.SurfaceNames, std::vector<std::string>{"B__inferior"});
  EXPECT_EQ(r.Warnings.size(), 1u);
  EXPECT_FALSE(fs::exists(P("B__superior.dsp")));
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
  WriteText(P("H.xyz"), text);
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
      if (!before.contains(e.path().filename().string())) fs::remove(e.path());
    for (const auto& [file, bytes] : before) WriteText(P(file), bytes);
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
    for (const auto& [file, bytes] : original) WriteText(P(file), bytes);
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

// A spacing wider than the surface has one node and no cell: refused, and
// the good grid written before stays.
TEST_F(SurfaceOperations, AGridWiderThanTheSurfaceKeepsTheGoodGrid) {
  MakeProject();
  ASSERT_TRUE(actions::ExportGrid(Surface("A"), "2").ok());
  const FolderSnapshot before = TakeSnapshot(dir_);
  for (const char* side : {"41", "1e12"}) {
    const ActionResult r = actions::ExportGrid(Surface("A"), side);
    EXPECT_EQ(r.Result, ActionOutcome::Refused) << side;
    EXPECT_NE(r.Message.find("no cell of 2 x 2 nodes"), std::string::npos) << r.Message;
  }
  EXPECT_EQ(TakeSnapshot(dir_), before);
}

// A split of a 245-byte name would make 259-byte file names, a merge of two
// 126-byte names 257: refused before any work, nothing left behind.
TEST_F(SurfaceOperations, NamesPastTheFileNameLimitAreRefusedBeforeAnyWork) {
  const std::string longName(245, 'L'), half1(126, 'P'), half2(126, 'Q');
  for (const std::string* name : {&longName, &half1, &half2}) {
    WriteText(P(*name + ".xyz"), GridPoints());
    Open();
    ASSERT_TRUE(actions::Build(*name).ok()) << name->size();
  }
  Open();
  const FolderSnapshot before = TakeSnapshot(dir_);
  for (const ActionResult& r :
       {actions::Split(Surface(longName), "103"), actions::Merge(Surface(half1), Surface(half2))}) {
    EXPECT_EQ(r.Result, ActionOutcome::Refused);
    EXPECT_NE(r.Message.find("The name is too long"), std::string::npos) << r.Message;
  }
  EXPECT_EQ(TakeSnapshot(dir_), before);
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
  WriteText(P("S.xyz"), text);
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

// Every place a number is typed, for the operations and the command line:
// a typo is refused with its own words quoted, and nothing is written.
TEST_F(SurfaceOperations, ATypoInATypedNumberIsRefusedBeforeAnythingIsWritten) {
  MakeProject();
  const FolderSnapshot before = TakeSnapshot(dir_);
  using Op = std::function<ActionResult(const char*)>;
  const Op ops[] = {[&](const char* v) { return actions::Shift(Surface("A"), v); },
                    [&](const char* v) { return actions::Scale(Surface("A"), v); },
                    [&](const char* v) { return actions::ExportGrid(Surface("A"), v); },
                    [&](const char* v) { return actions::Split(Surface("A"), v); }};
  const char* commands[] = {"shift . A ",
                            "scale . A ",
                            "grid . A ",
                            "split . A ",
                            "colour . A Terrain --start=",
                            "colour . A Terrain --end=",
                            "colour . A Terrain --interval=",
                            "volume A.dsp --base=",
                            "elevation A.dsp -- 1 "};
  for (const char* typo : kNotNumbers) {
    const std::string quoted = "\"" + std::string(typo) + "\" is not a number";
    for (const Op& op : ops) {
      const ActionResult r = op(typo);
      EXPECT_EQ(r.Result, ActionOutcome::Refused) << typo;
      EXPECT_NE(r.Message.find(quoted), std::string::npos) << r.Message;
    }
    for (const char* command : commands) {
      // (An empty value goes apart: "--start=" is no value at all.)
      std::string args = command;
      if (!*typo && args.ends_with('=')) args.back() = ' ';
      const testing::CliOutcome o = RunCli(dir_, args + "'" + typo + "'");
      EXPECT_EQ(o.status, 2) << command << typo;
      EXPECT_EQ(o.out, "") << command << typo;
      EXPECT_NE(o.err.find(quoted), std::string::npos) << command << typo << ": " << o.err;
      EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    }
    fs::remove(P("out.txt"));
    fs::remove(P("err.txt"));
    EXPECT_EQ(TakeSnapshot(dir_), before) << typo;
  }
}

TEST_F(SurfaceOperations, CommandsPrintTheSurfacesWrittenAndFailWithAMessage) {
  MakeProject();
  testing::CliOutcome o = RunCli(dir_, "split . A 103");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "A__inferior\nA__superior\nOperation finished.\n");
  o = RunCli(dir_, "merge . A B");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "A_B\nOperation finished.\n");
  o = RunCli(dir_, "grid . A 1.4");
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "The grid spacing must be at least 2.\n");
  o = RunCli(dir_, "shift . C 1");
  EXPECT_EQ(o.status, 2);
  EXPECT_NE(o.err.find("C: no surface of that name"), std::string::npos) << o.err;
  o = RunCli(dir_, "scale --help");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("FACTOR"), std::string::npos);
}

}  // namespace
}  // namespace orvane
