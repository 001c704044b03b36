#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/storage/FolderTransaction.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "formats/TextFiles.h"
#include "project/actions/Actions.h"
#include "project/actions/ProjectState.h"
#include "project/build/SurfaceBuild.h"
#include "project/files/SurfaceFiles.h"
#include "support/CommaLocale.h"
#include "support/FolderSnapshot.h"
#include "support/KillAtEveryStep.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

TEST(SurfaceFilesTest, BaseNameTakesEitherSeparator) {
  const std::pair<const char*, const char*> cases[] = {{"C:\\a\\b.c.dsp", "b"},
                                                       {"plan.rev.dsp", "plan"},
                                                       {"/p/q/lote.dsp", "lote"},
                                                       {"dir\\", ""},
                                                       {"dir/", ""},
                                                       {"noext", "noext"},
                                                       {"a/b\\c.d", "c"},
                                                       {"", ""},
                                                       {".hidden", ""}};
  for (auto [path, base] : cases) EXPECT_EQ(BaseName(path), base) << path;
}

TEST(SurfaceFilesTest, SurfaceNamesThatCannotBeFileNames) {
  for (const char* bad : {"", ".", "..", "A/B", "A\\B", "A:B", "A*", "A?", "A\"", "A|B", "A<",
                          "TAB\tX", "TRAIL ", "TRAIL."})
    EXPECT_NE(CheckSurfaceName(bad), FileSetRefusal::None) << '"' << bad << '"';
  for (const char* good : {"A", "LOTE ÑANDÚ", "PLAN-2.1X", "Ñ"})
    EXPECT_EQ(CheckSurfaceName(good), FileSetRefusal::None) << good;
  EXPECT_FALSE(RefusalMessage(FileSetRefusal::NameInUse).empty());
  // The language table words a refusal when it holds the entry.
  const int32_t n = RefusalTextNumber(FileSetRefusal::NameInUse);
  ASSERT_GT(n, 0);
  Project().TextTable[static_cast<size_t>(n) - 1] = "Nombre en uso.";
  EXPECT_EQ(RefusalMessage(FileSetRefusal::NameInUse), "Nombre en uso.");
  Project() = ProjectState();
}

// The ".tin" and ".grd" writers format through AppendNumber.
TEST(SurfaceFilesTest, AppendNumberWritesWhatFormatNumberWrites) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> east(5e5, 5.1e5), unit(-1, 1);
  std::vector<double> values = {0.0,
                                -0.0,
                                1.0,
                                -1.5,
                                0.1 + 0.2,
                                1e15,
                                1e14,
                                999999999999999.0,
                                1e16,
                                123456789012345.6,
                                1e-4,
                                1e-5,
                                -2.5e-7,
                                1e300,
                                5e-324,
                                std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                100.0,
                                4500000.125,
                                1e-4 * (1 - 1e-16),
                                0.00012,
                                0.000999,
                                99999999999999.9,
                                999999999999999.9,
                                -0.5,
                                1200.0,
                                0.30000000000000004};
  for (int i = 0; i < 200000; ++i) {
    values.push_back(std::round(east(rng) * 1000) / 1000);  // millimetres
    const double scale = std::pow(10.0, static_cast<int>(rng() % 12));
    values.push_back(std::round(unit(rng) * 1e6 * scale) / scale);  // k decimals
    values.push_back(std::round(unit(rng) * 1e6) / (scale * 1e4));
    values.push_back(east(rng) + 0.0005 * (i % 4));  // all 17 digits
    values.push_back(unit(rng) * std::pow(10.0, static_cast<int>(rng() % 40) - 20));
    uint64_t bits = rng();
    double any;
    std::memcpy(&any, &bits, sizeof any);
    values.push_back(any);
  }
  for (double v : values) {
    std::string out = "x";
    AppendNumber(out, v);
    ASSERT_EQ(out, "x" + FormatNumber(v)) << v;
  }
}

using testing::Slurp;
using testing::WriteText;

class FileSetTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_directories(dir_ / "project");
    fs::create_directories(dir_ / "elsewhere");
    Project() = ProjectState();
    Project().ProjectFolder = (dir_ / "project").string();
  }
  void TearDown() override {
    Project() = ProjectState();
    TempFolderTest::TearDown();
  }
  // A one-triangle surface saved as folder/file.dsp with the given Tag, and
  // a companion text file for each extension (holding "<file><ext>").
  static void MakeSurface(const fs::path& folder, const std::string& file, const std::string& tag,
                          std::initializer_list<const char*> companions = {}, double z = 1) {
    TriangleMesh m;
    m.AddPoint(0, 0, z);
    m.AddPoint(10, 0, z);
    m.AddPoint(0, 10, z + 1);
    m.AddTriangle(0, 0, z, 1, 0, 10, z + 1, 3, 10, 0, z, 2);
    if (!tag.empty()) m.Tag = tag;
    EXPECT_TRUE(m.SaveToBinary(folder / (file + ".dsp")));
    ASSERT_EQ(m.LastErrorCode, 0);
    for (const char* ext : companions) WriteText(folder / (file + ext), file + ext);
  }
  std::set<std::string> Files(const std::string& sub = "project") const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_ / sub)) names.insert(e.path().filename());
    return names;
  }
  fs::path P(const std::string& name) const { return dir_ / "project" / name; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& s : Project().Surfaces) names.push_back(SurfaceName(*s));
    return names;
  }
};

TEST_F(FileSetTest, ListFilesAndTriangleFile) {
  for (const char* f : {"b.dsp", "A.DSP", "c.dsp.bak", "a.dsp", "x.xyz"}) WriteText(P(f), "");
  fs::create_directories(P("dir.dsp"));
  EXPECT_EQ(ListFiles(P(""), "dsp"), (std::vector<std::string>{"A.DSP", "a.dsp", "b.dsp"}));
  EXPECT_TRUE(ListFiles(dir_ / "missing", "dsp").empty());
  EXPECT_TRUE(FileExists(P("a.dsp")));
  EXPECT_FALSE(FileExists(P("dir.dsp")));

  TriangleMesh m;
  m.AddTriangle(0.5, 0, 100.25, 1, 10, 0, 1e-3, 2, 0, 10, -2, 3);              // counter-clockwise
  m.AddTriangle(5e5, 4.5e6, 1, 1, 5e5, 4500001.5, 2, 2, 500001, 4.5e6, 3, 3);  // clockwise
  ASSERT_TRUE(WriteTriangleFile(m, P("t.tin")));
  EXPECT_EQ(Slurp(P("t.tin")),
            "((0 10 -2)(10 0 0.001)(0.5 0 100.25))\r\n"
            "((500000 4500000 1)(500000 4500001.5 2)(500001 4500000 3))\r\n");
  EXPECT_EQ(m.Triangle(1).A.X, 0);  // inverted in the mesh too
  // Corners that copy their point print the point; a corner with its own Z
  // (as a quad grid's may) prints its own.
  TriangleMesh shared;
  shared.AddPoint(0, 0, 1);
  shared.AddPoint(0, 1, 2);
  shared.AddPoint(1, 0, 3);
  shared.AddTriangle(0, 0, 1, 1, 0, 1, 2, 2, 1, 0, 3, 3);
  shared.AddTriangle(0, 0, 7.5, 1, 0, 1, 2, 2, 1, 0, 3, 3);
  ASSERT_TRUE(WriteTriangleFile(shared, P("s.tin")));
  EXPECT_EQ(Slurp(P("s.tin")), "((0 0 1)(0 1 2)(1 0 3))\r\n((0 0 7.5)(0 1 2)(1 0 3))\r\n");
  std::string error;
  EXPECT_FALSE(WriteTriangleFile(m, dir_ / "missing" / "t.tin", &error));
  EXPECT_NE(error.find("missing"), std::string::npos);
}

// Under a decimal-comma locale the text files still write and read ".".
TEST_F(FileSetTest, TextFilesUseADotUnderACommaLocale) {
  if (orvane::testing::UseCommaLocale().empty())
    GTEST_SKIP() << "no locale with a decimal comma can be had (Debian package: locales)";
  TriangleMesh m;
  m.AddTriangle(0, 10, -2.5, 1, 10.25, 0, 0.001, 2, 0.5, 0, 100.125, 3);
  const bool written = WriteTriangleFile(m, P("t.tin"));
  const PointFile read = ParsePointText("1.5 2.25 3.125\r\n");
  std::setlocale(LC_ALL, "C");
  ASSERT_TRUE(written);
  EXPECT_EQ(Slurp(P("t.tin")), "((0 10 -2.5)(10.25 0 0.001)(0.5 0 100.125))\r\n");
  ASSERT_EQ(read.Points.count(), 1);
  EXPECT_EQ(read.Points.Point(1), (PointRec{1.5, 2.25, 3.125, 1}));
}

TEST_F(FileSetTest, ScanLoadsInNameOrderAndWritesNothing) {
  MakeSurface(P(""), "B", "B");
  MakeSurface(P(""), "A", "");  // no name inside: named after the file
  // Renamed by hand: the surface of its file's name, whose companions it
  // has, and a warning.
  MakeSurface(P(""), "C", "OTHER", {".bnd"});
  WriteText(P("D.dsp"), "not a surface");
  const auto before = Files();
  const FileSetResult r = ScanProjectFolder(P(""), "dsp");
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_EQ(Project().Surfaces[3]->TriangleCount(), 0);
  EXPECT_EQ(r.Warnings.size(), 2u);
  EXPECT_EQ(Files(), before);
}

TEST_F(FileSetTest, ImportCopiesItsListFromTheFilesFolder) {
  const fs::path other = dir_ / "elsewhere";
  MakeSurface(other, "plan.rev", "LOTE", {".bnd", ".con", ".tin", ".xyz", ".brk", ".exc"});
  actions::ActionResult r = actions::Import(other / "plan.rev.dsp");
  EXPECT_TRUE(Project().Surfaces.empty());  // the action only says what to add
  actions::Apply(r);
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(Files(), (std::set<std::string>{"LOTE.dsp", "LOTE.xyz", "LOTE.bnd", "LOTE.brk",
                                            "LOTE.con", "LOTE.tin", "LOTE.exc"}));
  ASSERT_EQ(r.Written.size(), 7u);
  EXPECT_EQ(r.Written[2], P("LOTE.bnd"));
  EXPECT_EQ(Slurp(P("LOTE.con")), "plan.rev.con");
  EXPECT_EQ(Names(), (std::vector<std::string>{"LOTE"}));

  // The same name again would overwrite LOTE's files.
  const FileSetResult again = ImportSurfaceFile(other / "plan.rev.dsp");
  EXPECT_EQ(again.Refusal, FileSetRefusal::NameInUse);
  EXPECT_EQ(Project().Surfaces.size(), 1u);

  // A file of the project itself, without a name inside: named after the
  // file, and never copied onto itself.
  MakeSurface(P(""), "X", "", {".tin"});
  const auto before = Files();
  actions::ActionResult self = actions::Import(P("X.dsp"));
  actions::Apply(self);
  ASSERT_TRUE(self.ok()) << self.Message;
  EXPECT_TRUE(self.Written.empty());
  EXPECT_EQ(Files(), before);
  EXPECT_EQ(Slurp(P("X.tin")), "X.tin");

  WriteText(other / "bad.dsp", "garbage");
  EXPECT_EQ(ImportSurfaceFile(other / "bad.dsp").Refusal, FileSetRefusal::LoadFailed);
  MakeSurface(other, "evil", "../ESCAPE");
  EXPECT_EQ(ImportSurfaceFile(other / "evil.dsp").Refusal, FileSetRefusal::InvalidName);
  EXPECT_EQ(Project().Surfaces.size(), 2u);
}

TEST_F(FileSetTest, SaveAsCopiesItsListAndRefusesItsOwnFiles) {
  MakeSurface(P(""), "A", "A", {".xyz", ".bnd", ".con", ".tin", ".brk", ".exc", ".rgb"});
  ScanProjectFolder(P(""));
  auto a = Project().Surfaces.front();
  a->AddPoint(-7, -7, -7);  // in no triangle: a copy keeps it all the same
  const fs::path target = dir_ / "elsewhere" / "copy.dsp";
  const FileSetResult r = SaveSurfaceAs(a, target);
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(Files("elsewhere"),
            (std::set<std::string>{"copy.dsp", "copy.xyz", "copy.bnd", "copy.brk", "copy.con",
                                   "copy.tin", "copy.exc", "copy.rgb"}));
  EXPECT_EQ(Slurp(dir_ / "elsewhere" / "copy.bnd"), "A.bnd");
  TriangleMesh saved;
  ASSERT_TRUE(saved.LoadFromBinary(target));
  ASSERT_EQ(saved.PointCount(), a->PointCount());
  for (int32_t i = 1; i <= saved.PointCount(); ++i) EXPECT_EQ(saved.Point(i), a->Point(i));
  EXPECT_EQ(SurfaceName(saved), "copy");
  EXPECT_EQ(Names(), std::vector<std::string>{"A"});  // no surface of this project
  actions::ActionResult inProject = actions::SaveAs(a, P("B.dsp"));
  actions::Apply(inProject);
  ASSERT_TRUE(inProject.ok());
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(SurfaceName(*a), "A");

  const auto before = Files();
  for (const fs::path& own : {P("A.dsp"), dir_ / "project" / "." / "A.dsp"})
    EXPECT_EQ(SaveSurfaceAs(a, own).Refusal, FileSetRefusal::OwnFiles) << own;
  EXPECT_EQ(SaveSurfaceAs(a, P(".dsp")).Refusal, FileSetRefusal::EmptyName);
  EXPECT_EQ(Files(), before);
  EXPECT_EQ(Slurp(P("A.xyz")), "A.xyz");
}

TEST_F(FileSetTest, RenameMovesItsListAndRefusesWithoutChange) {
  MakeSurface(P(""), "A", "A", {".xyz", ".bnd", ".brk", ".con", ".tin", ".exc", ".rgb", ".col"});
  MakeSurface(P(""), "B", "B");
  MakeSurface(P(""), "FILEONLY", "B2");  // its file name is taken though no surface has it
  ScanProjectFolder(P(""));
  auto a = Project().Surfaces.front();
  const auto before = Files();
  const std::pair<const char*, FileSetRefusal> refusals[] = {
      {"a", FileSetRefusal::SameName},        {"", FileSetRefusal::EmptyName},
      {"x/y", FileSetRefusal::InvalidName},   {"..", FileSetRefusal::InvalidName},
      {"c:d", FileSetRefusal::InvalidName},   {"b", FileSetRefusal::NameInUse},
      {"fileonly", FileSetRefusal::NameInUse}};
  for (auto [name, why] : refusals) {
    const FileSetResult r = RenameSurface(a, name);
    EXPECT_EQ(r.Refusal, why) << name;
    EXPECT_FALSE(r.Message.empty());
  }
  EXPECT_EQ(Files(), before);
  EXPECT_EQ(SurfaceName(*a), "A");

  actions::ActionResult r = actions::Rename(a, "lote ñandú");
  ASSERT_TRUE(r.ok()) << r.Message;
  EXPECT_EQ(SurfaceName(*a), "A");  // until the result is applied
  actions::Apply(r);
  EXPECT_EQ(SurfaceName(*a), "LOTE ÑANDÚ");
  std::vector<std::string> deleted;
  for (const fs::path& f : r.Deleted) deleted.push_back(f.filename());
  EXPECT_EQ(deleted, (std::vector<std::string>{"A.dsp", "A.xyz", "A.bnd", "A.con", "A.brk", "A.tin",
                                               "A.exc", "A.rgb", "A.col"}));
  for (const char* ext : {".dsp", ".xyz", ".bnd", ".brk", ".con", ".tin", ".exc", ".rgb", ".col"}) {
    EXPECT_TRUE(FileExists(P(std::string("LOTE ÑANDÚ") + ext))) << ext;
    EXPECT_FALSE(FileExists(P(std::string("A") + ext))) << ext;
  }
  EXPECT_EQ(Slurp(P("LOTE ÑANDÚ.brk")), "A.brk");
  TriangleMesh saved;
  ASSERT_TRUE(saved.LoadFromBinary(P("LOTE ÑANDÚ.dsp")));
  EXPECT_EQ(SurfaceName(saved), "LOTE ÑANDÚ");
}

// A step that fails (a companion that cannot be read) leaves every file as
// it was, and no operation takes over or replaces the files of another name.
TEST_F(FileSetTest, FileSetOperationsAreAllOrNothing) {
  MakeSurface(P(""), "A", "A", {".xyz", ".bnd"});
  ASSERT_EQ(::mkfifo(P("A.tin").c_str(), 0600), 0);  // not a file that can be copied
  MakeSurface(dir_ / "elsewhere", "C", "C", {".bnd"});
  ScanProjectFolder(P(""));
  auto a = Project().Surfaces.front();
  const auto before = Files();
  const FileSetResult renamed = RenameSurface(a, "new");
  EXPECT_EQ(renamed.Refusal, FileSetRefusal::WriteFailed);
  EXPECT_EQ(SurfaceName(*a), "A");
  const FileSetResult saved = SaveSurfaceAs(a, dir_ / "elsewhere" / "D.dsp");
  EXPECT_EQ(saved.Refusal, FileSetRefusal::WriteFailed);
  EXPECT_EQ(Files(), before);
  EXPECT_EQ(Files("elsewhere"), (std::set<std::string>{"C.dsp", "C.bnd"}));
  fs::remove(P("A.tin"));

  // Another surface's set, even a part of it, is never replaced or adopted.
  EXPECT_EQ(SaveSurfaceAs(a, dir_ / "elsewhere" / "C.dsp").Refusal, FileSetRefusal::NameInUse);
  fs::remove(dir_ / "elsewhere" / "C.dsp");
  EXPECT_EQ(SaveSurfaceAs(a, dir_ / "elsewhere" / "C.dsp").Refusal, FileSetRefusal::NameInUse);
  EXPECT_EQ(Slurp(dir_ / "elsewhere" / "C.bnd"), "C.bnd");
  WriteText(P("B.brk"), "left behind");
  EXPECT_EQ(RenameSurface(a, "b").Refusal, FileSetRefusal::NameInUse);
  MakeSurface(dir_ / "elsewhere", "B", "B");
  EXPECT_EQ(ImportSurfaceFile(dir_ / "elsewhere" / "B.dsp").Refusal, FileSetRefusal::NameInUse);
  // A target that is not NAME.dsp would make a surface no scan finds.
  EXPECT_EQ(SaveSurfaceAs(a, dir_ / "elsewhere" / "E").Refusal, FileSetRefusal::WriteFailed);
  EXPECT_EQ(Files("elsewhere"), (std::set<std::string>{"C.bnd", "B.dsp"}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"A"}));
}

TEST_F(FileSetTest, DeleteRemovesWhatExistsOfItsList) {
  MakeSurface(P(""), "A", "A", {".xyz", ".tin", ".brk", ".exc", ".rgb", ".col", ".tmp"});
  MakeSurface(P(""), "AB", "AB", {".xyz"});
  ScanProjectFolder(P(""));
  Project().CurrentSurface = Project().Surfaces.front();
  actions::ActionResult r = actions::Delete("A");
  actions::Apply(r);
  ASSERT_TRUE(r.ok());
  std::vector<std::string> deleted;
  for (const fs::path& f : r.Deleted) deleted.push_back(f.filename());
  EXPECT_EQ(deleted, (std::vector<std::string>{"A.dsp", "A.xyz", "A.tin", "A.brk", "A.exc", "A.rgb",
                                               "A.col"}));
  EXPECT_EQ(Files(), (std::set<std::string>{"A.tmp", "AB.dsp", "AB.xyz"}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"AB"}));
  EXPECT_FALSE(Project().CurrentSurface);
  EXPECT_EQ(DeleteSurfaceFiles("../project/AB").Refusal, FileSetRefusal::InvalidName);
  EXPECT_TRUE(FileExists(P("AB.dsp")));
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

using Snapshot = testing::FolderSnapshot;
using testing::TakeSnapshot;

// Runs op on a freshly set-up project in a child process stopped at each
// step of its change in turn; after each stop the next command's view of
// the folders (a scan, which completes what was left half done) must be the
// one before the operation or the one after it.
void ExpectAllOrNothing(const std::string& what, const fs::path& root,
                        const std::function<void()>& setup, const std::function<bool()>& op) {
  const fs::path project = root / "project", other = root / "elsewhere";
  auto view = [&] {
    Project() = ProjectState();
    Project().ProjectFolder = project.string();
    ScanProjectFolder(project);
    RecoverFolder(other);
    return std::pair{TakeSnapshot(project), TakeSnapshot(other)};
  };
  auto fresh = [&] {
    fs::remove_all(root);
    fs::create_directories(project);
    fs::create_directories(other);
    setup();
    Project() = ProjectState();
    Project().ProjectFolder = project.string();
    ScanProjectFolder(project);
  };
  fresh();
  const auto before = view();
  ASSERT_TRUE(op()) << what;
  const auto after = view();
  ASSERT_NE(before, after) << what;
  testing::KillAtEveryStep(what, fresh, op, [&](int stopAt) {
    const auto seen = view();
    EXPECT_TRUE(seen == before || seen == after)
        << what << ": a mix after a stop at step " << stopAt;
  });
}

TEST_F(FileSetTest, AKillAtAnyStepOfAChangeLeavesTheOldOrTheNewProject) {
  const auto setup = [&] {
    MakeSurface(P(""), "A", "A", {".bnd", ".brk", ".con", ".rgb"});
    std::string grid;
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j)
        grid += std::to_string(i * 10) + " " + std::to_string(j * 10) + " " +
                std::to_string(i + j) + "\r\n";
    WriteText(P("A.xyz"), grid);
    WriteText(P("A.tin"), "old triangles");
    WriteText(P("A.bnd"), "0 0 0\r\n40 0 0\r\n40 40 0\r\n0 40 0\r\n");
    MakeSurface(dir_ / "elsewhere", "B", "B", {".xyz", ".tin"});
  };
  const auto surface = [] { return Project().Surfaces.front(); };
  StatusSilencer quiet;
  ExpectAllOrNothing("build", dir_, setup, [&] { return BuildSurface(P(""), "A").Built; });
  ExpectAllOrNothing("rename", dir_, setup, [&] { return RenameSurface(surface(), "C").ok(); });
  ExpectAllOrNothing("delete", dir_, setup, [&] { return DeleteSurfaceFiles("A").ok(); });
  ExpectAllOrNothing("import", dir_, setup,
                     [&] { return ImportSurfaceFile(dir_ / "elsewhere" / "B.dsp").ok(); });
  ExpectAllOrNothing("save as", dir_, setup,
                     [&] { return SaveSurfaceAs(surface(), dir_ / "elsewhere" / "D.dsp").ok(); });
}

}  // namespace
}  // namespace orvane
