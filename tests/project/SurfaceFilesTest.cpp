#include <gtest/gtest.h>
#include <sys/stat.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/storage/FolderTransaction.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "formats/TextFiles.h"
#include "project/actions/ProjectState.h"
#include "project/actions/SurfaceFileActions.h"
#include "project/build/SurfaceBuild.h"
#include "project/files/SurfaceFiles.h"
#include "support/CommaLocale.h"
#include "support/FolderSnapshot.h"
#include "support/KillAtEveryStep.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::Slurp;
using testing::TakeSnapshot;
using testing::WriteText;

TEST(SurfaceFilesTest, SurfaceNamesOfPathsAndNamesThatCannotBeFileNames) {
  // "path|base name": either separator counts.
  for (std::string_view c : {"C:\\a\\b.c.dsp|b", "plan.rev.dsp|plan", "/p/q/lote.dsp|lote",
                             "dir\\|", "dir/|", "noext|noext", "a/b\\c.d|c", "|", ".hidden|"})
    EXPECT_EQ(BaseName(c.substr(0, c.find('|'))), c.substr(c.find('|') + 1)) << c;
  for (const char* bad : {"", ".", "..", "A/B", "A\\B", "A:B", "A*", "A?", "A\"", "A|B", "A<",
                          "TAB\tX", "TRAIL ", "TRAIL."})
    EXPECT_NE(CheckSurfaceName(bad), FileSetRefusal::None) << '"' << bad << '"';
  for (const char* good : {"A", "LOTE ÑANDÚ", "PLAN-2.1X", "Ñ"})
    EXPECT_EQ(CheckSurfaceName(good), FileSetRefusal::None) << good;
  // The language table words a refusal when it holds the entry, and the
  // refusal is read back from its words (the action names the entry).
  std::vector<std::string> texts(text::kTextCount);
  texts.at(RefusalTextNumber(FileSetRefusal::NameInUse) - 1) = "Nombre en uso.";
  EXPECT_EQ(RefusalMessage(FileSetRefusal::NameInUse, texts), "Nombre en uso.");
  for (int code = 1; code <= static_cast<int>(FileSetRefusal::NameTooLong); ++code)
    for (const char* detail : {"", "X"}) {
      const auto refusal = static_cast<FileSetRefusal>(code);
      EXPECT_EQ(RefusalOf(Refuse(refusal, detail, texts), texts), refusal) << code << detail;
    }
}

// The ".tin" and ".grd" writers format through AppendNumber.
TEST(SurfaceFilesTest, AppendNumberWritesWhatFormatNumberWrites) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> east(5e5, 5.1e5), unit(-1, 1);
  constexpr double inf = std::numeric_limits<double>::infinity();
  // 0.1 + 0.2 is 0.30000000000000004; 9.999999999999999e-05 is 1e-4 x (1 - 1e-16).
  std::vector<double> values = {0.0,         -0.0, 1.0,  -1.5, -0.5,  100.0, 1200.0,
                                4500000.125, 1e14, 1e15, 1e16, 1e300, inf,   -inf};
  values.insert(values.end(), {999999999999999.0, 99999999999999.9, 999999999999999.9,
                               123456789012345.6, 0.30000000000000004});
  values.insert(values.end(), {1e-4, 1e-5, 5e-324, 0.00012, 0.000999, -2.5e-7,
                               9.999999999999999e-05, std::numeric_limits<double>::quiet_NaN()});
  for (int i = 0; i < 200000; ++i) {
    values.push_back(std::round(east(rng) * 1000) / 1000);  // millimetres
    const double scale = std::pow(10.0, static_cast<int>(rng() % 12));
    values.push_back(std::round(unit(rng) * 1e6 * scale) / scale);  // k decimals
    values.push_back(std::round(unit(rng) * 1e6) / (scale * 1e4));
    values.push_back(east(rng) + 0.0005 * (i % 4));  // all 17 digits
    values.push_back(unit(rng) * std::pow(10.0, static_cast<int>(rng() % 40) - 20));
    values.push_back(std::bit_cast<double>(rng()));
  }
  for (double v : values) {
    std::string out = "x";
    AppendNumber(out, v);
    ASSERT_EQ(out, "x" + FormatNumber(v)) << v;
  }
}

class FileSetTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    for (const fs::path& folder : {P(""), E("")}) fs::create_directories(folder);
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
                          std::initializer_list<const char*> companions = {}) {
    TriangleMesh m;
    m.AddPoint(0, 0, 1);
    m.AddPoint(10, 0, 1);
    m.AddPoint(0, 10, 2);
    m.AddTriangle(0, 0, 1, 1, 0, 10, 2, 3, 10, 0, 1, 2);
    if (!tag.empty()) m.Tag = tag;
    EXPECT_TRUE(m.SaveToBinary(folder / (file + ".dsp")));
    ASSERT_EQ(m.LastErrorCode, 0);
    for (const char* ext : companions) WriteText(folder / (file + ext), file + ext);
  }
  fs::path P(const std::string& name) const { return dir_ / "project" / name; }
  fs::path E(const std::string& name) const { return dir_ / "elsewhere" / name; }
  static std::vector<std::string> Scan() {
    return ScanProjectFolder(Project().ProjectFolder, Project().Surfaces, Project().LoadedFiles);
  }
  static std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& s : Project().Surfaces) names.push_back(SurfaceName(*s));
    return names;
  }
  // Runs a file action and applies its result (the surfaces, names
  // included, stay as they were until then): "+written -deleted " by name.
  static std::string Applied(const std::function<actions::ActionResult()>& action) {
    const std::vector<std::string> before = Names();
    actions::ActionResult r = action();
    EXPECT_TRUE(r.ok()) << r.Message;
    EXPECT_EQ(Names(), before);
    actions::Apply(r);
    std::string out;
    for (const auto* files : {&r.Written, &r.Deleted})
      for (const fs::path& f : *files) {
        EXPECT_EQ(FileExists(f), files == &r.Written) << f;
        out += (files == &r.Written ? "+" : "-") + f.filename().string() + " ";
      }
    return out;
  }
  static FileSetRefusal Why(const Result<FileSetChange>& r) {
    return r ? FileSetRefusal::None : RefusalOf(r.Error(), Project().TextTable);
  }
};

// The ".tin" lines run clockwise and use a "." whatever the locale.
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
  const bool comma = !orvane::testing::UseCommaLocale().empty();
  const bool written = WriteTriangleFile(m, P("t.tin")).Ok();
  const PointFile read = ParsePointText("1.5 2.25 3.125\r\n");
  std::setlocale(LC_ALL, "C");
  ASSERT_TRUE(written) << comma;
  EXPECT_EQ(Slurp(P("t.tin")),
            "((0 10 -2)(10 0 0.001)(0.5 0 100.25))\r\n"
            "((500000 4500000 1)(500000 4500001.5 2)(500001 4500000 3))\r\n");
  EXPECT_EQ(m.Triangle(1).A.X, 0);  // inverted in the mesh too
  ASSERT_EQ(read.Points.count(), 1);
  EXPECT_EQ(read.Points.Point(1), (PointRec{1.5, 2.25, 3.125, 1}));
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
  const Outcome failed = WriteTriangleFile(m, dir_ / "missing" / "t.tin");
  EXPECT_EQ(failed.Code(), ErrorCode::CannotWrite);
  EXPECT_NE(failed.Text().find("missing"), std::string::npos);
}

TEST_F(FileSetTest, ScanLoadsInNameOrderAndWritesNothing) {
  MakeSurface(P(""), "B", "B");
  MakeSurface(P(""), "A", "");  // no name inside: named after the file
  // Renamed by hand: the surface of its file's name, whose companions it
  // has, and a warning.
  MakeSurface(P(""), "C", "OTHER", {".bnd"});
  WriteText(P("D.dsp"), "not a surface");
  const auto before = TakeSnapshot(P(""));
  EXPECT_EQ(Scan().size(), 2u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_EQ(Project().Surfaces[3]->TriangleCount(), 0);
  EXPECT_EQ(TakeSnapshot(P("")), before);
}

// No change takes over or replaces the files of another name, and a refused
// or failed one (a companion that cannot be read) leaves every file as it was.
TEST_F(FileSetTest, RefusedChangesLeaveEveryFileAsItWas) {
  MakeSurface(P(""), "A", "A", {".xyz", ".bnd"});
  MakeSurface(P(""), "B", "B");
  MakeSurface(P(""), "FILEONLY", "B2");  // its file name is taken though no surface has it
  WriteText(P("D.brk"), "left behind");
  for (const char* name : {"B", "C", "D"}) MakeSurface(E(""), name, name, {".bnd"});
  WriteText(E("K.bnd"), "part of a set");
  WriteText(E("bad.dsp"), "garbage");
  MakeSurface(E(""), "evil", "../ESCAPE");
  Scan();
  const auto a = Project().Surfaces.front();
  const FileSetScope scope = ProjectFileSet();  // no change is applied here
  using F = FileSetRefusal;
  const std::pair<std::function<Result<FileSetChange>()>, FileSetRefusal> cases[] = {
      // B is the name of a surface, D that of a file left behind.
      {[&] { return ImportSurfaceFile(E("B.dsp"), scope); }, F::NameInUse},
      {[&] { return ImportSurfaceFile(E("D.dsp"), scope); }, F::NameInUse},
      {[&] { return ImportSurfaceFile(E("bad.dsp"), scope); }, F::LoadFailed},
      {[&] { return ImportSurfaceFile(E("evil.dsp"), scope); }, F::InvalidName},
      {[&] { return SaveSurfaceAs(a, P("A.dsp"), scope); }, F::OwnFiles},
      {[&] { return SaveSurfaceAs(a, dir_ / "project" / "." / "A.dsp", scope); }, F::OwnFiles},
      {[&] { return SaveSurfaceAs(a, P(".dsp"), scope); }, F::EmptyName},
      {[&] { return SaveSurfaceAs(a, E("C.dsp"), scope); }, F::NameInUse},
      {[&] { return SaveSurfaceAs(a, E("K.dsp"), scope); }, F::NameInUse},
      // A target not named NAME.dsp would make a surface that no scan finds.
      {[&] { return SaveSurfaceAs(a, E("E"), scope); }, F::WriteFailed},
      {[&] { return RenameSurface(a, "a", scope); }, F::SameName},
      {[&] { return RenameSurface(a, "", scope); }, F::EmptyName},
      {[&] { return RenameSurface(a, "x/y", scope); }, F::InvalidName},
      {[&] { return RenameSurface(a, "..", scope); }, F::InvalidName},
      {[&] { return RenameSurface(a, "c:d", scope); }, F::InvalidName},
      {[&] { return RenameSurface(a, "b", scope); }, F::NameInUse},
      {[&] { return RenameSurface(a, "fileonly", scope); }, F::NameInUse},
      {[&] { return RenameSurface(a, "d", scope); }, F::NameInUse},
      {[&] { return DeleteSurfaceFiles("../project/B", scope); }, F::InvalidName}};
  const auto project = TakeSnapshot(P("")), elsewhere = TakeSnapshot(E(""));
  for (size_t k = 0; k < std::size(cases); ++k) {
    EXPECT_EQ(Why(cases[k].first()), cases[k].second) << "case " << k;
    EXPECT_EQ(TakeSnapshot(P("")), project) << "case " << k;
    EXPECT_EQ(TakeSnapshot(E("")), elsewhere) << "case " << k;
  }
  ASSERT_EQ(::mkfifo(P("A.tin").c_str(), 0600), 0);  // not a file that can be copied
  EXPECT_EQ(Why(RenameSurface(a, "new", scope)), F::WriteFailed);
  EXPECT_EQ(Why(SaveSurfaceAs(a, E("N.dsp"), scope)), F::WriteFailed);
  fs::remove(P("A.tin"));
  EXPECT_EQ(TakeSnapshot(P("")), project);
  EXPECT_EQ(TakeSnapshot(E("")), elsewhere);
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B", "FILEONLY"}));
}

// Each change writes and deletes the files of its list, in order.
TEST_F(FileSetTest, ChangesWriteAndDeleteTheirLists) {
  MakeSurface(P(""), "A", "A",
              {".xyz", ".bnd", ".brk", ".con", ".tin", ".exc", ".rgb", ".col", ".tmp"});
  MakeSurface(P(""), "AB", "AB", {".xyz"});
  MakeSurface(E(""), "plan.rev", "LOTE", {".bnd", ".con", ".tin", ".xyz", ".brk", ".exc"});
  Scan();
  const auto a = Project().CurrentSurface = Project().Surfaces.front();
  EXPECT_EQ(Applied([&] { return actions::Import(E("plan.rev.dsp")); }),
            "+LOTE.dsp +LOTE.xyz +LOTE.bnd +LOTE.brk +LOTE.con +LOTE.tin +LOTE.exc ");
  EXPECT_EQ(Slurp(P("LOTE.con")), "plan.rev.con");
  // A file of the project without a name inside: named after the file, and
  // never copied onto itself.
  MakeSurface(P(""), "X", "", {".tin"});
  EXPECT_EQ(Applied([&] { return actions::Import(P("X.dsp")); }), "");
  EXPECT_EQ(Slurp(P("X.tin")), "X.tin");
  a->AddPoint(-7, -7, -7);  // in no triangle: a copy keeps it all the same
  EXPECT_EQ(
      Applied([&] { return actions::SaveAs(a, E("copy.dsp")); }),
      "+copy.dsp +copy.xyz +copy.bnd +copy.brk +copy.con +copy.tin +copy.exc +copy.rgb +copy.col ");
  EXPECT_EQ(Slurp(E("copy.bnd")), "A.bnd");
  TriangleMesh saved;
  ASSERT_TRUE(saved.LoadFromBinary(E("copy.dsp")));
  EXPECT_EQ(SurfaceName(saved), "copy");
  ASSERT_EQ(saved.PointCount(), a->PointCount());
  for (int32_t i = 1; i <= saved.PointCount(); ++i) EXPECT_EQ(saved.Point(i), a->Point(i));
  EXPECT_EQ(Applied([&] { return actions::SaveAs(a, P("B.dsp")); }),
            "+B.dsp +B.xyz +B.bnd +B.brk +B.con +B.tin +B.exc +B.rgb +B.col ");
  const auto b = Project().Surfaces.back();
  EXPECT_EQ(
      Applied([&] { return actions::Rename(b, "ñandú"); }),
      "+ÑANDÚ.dsp +ÑANDÚ.xyz +ÑANDÚ.bnd +ÑANDÚ.brk +ÑANDÚ.con +ÑANDÚ.tin +ÑANDÚ.exc +ÑANDÚ.rgb "
      "+ÑANDÚ.col -B.dsp -B.xyz -B.bnd -B.con -B.brk -B.tin -B.exc -B.rgb -B.col ");
  EXPECT_EQ(Slurp(P("ÑANDÚ.brk")), "A.brk");
  ASSERT_TRUE(saved.LoadFromBinary(P("ÑANDÚ.dsp")));
  EXPECT_EQ(SurfaceName(saved), "ÑANDÚ");
  EXPECT_EQ(Applied([&] { return actions::Delete("A"); }),
            "-A.dsp -A.xyz -A.con -A.tin -A.bnd -A.brk -A.exc -A.rgb -A.col ");
  EXPECT_TRUE(FileExists(P("A.tmp")) && FileExists(P("AB.dsp")) && FileExists(P("AB.xyz")));
  EXPECT_EQ(Names(), (std::vector<std::string>{"AB", "LOTE", "X", "ÑANDÚ"}));
  EXPECT_FALSE(Project().CurrentSurface);
}

// Runs op on a freshly set-up project in a child process stopped at each
// step of its change in turn; after each stop the next command's view of
// the folders (a scan, which completes what was left half done) must be the
// one before the operation or the one after it.
void ExpectAllOrNothing(const std::string& what, const fs::path& root,
                        const std::function<void()>& setup, const std::function<bool()>& op) {
  const fs::path project = root / "project", other = root / "elsewhere";
  const auto open = [&] {
    Project() = ProjectState();
    Project().ProjectFolder = project.string();
    ScanProjectFolder(project, Project().Surfaces, Project().LoadedFiles);
  };
  const auto view = [&] {
    open();
    RecoverFolder(other);
    return std::pair{TakeSnapshot(project), TakeSnapshot(other)};
  };
  const auto fresh = [&] {
    fs::remove_all(root);
    for (const fs::path& folder : {project, other}) fs::create_directories(folder);
    setup();
    open();
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
    MakeSurface(P(""), "A", "A", {".brk", ".con", ".rgb"});
    std::string grid;  // 5 x 5 points 10 m apart
    for (int k = 0; k < 25; ++k)
      grid += std::to_string(k / 5 * 10) + " " + std::to_string(k % 5 * 10) + " " +
              std::to_string(k / 5 + k % 5) + "\r\n";
    WriteText(P("A.xyz"), grid);
    WriteText(P("A.tin"), "old triangles");
    WriteText(P("A.bnd"), "0 0 0\r\n40 0 0\r\n40 40 0\r\n0 40 0\r\n");
    MakeSurface(E(""), "B", "B", {".xyz", ".tin"});
  };
  const auto surface = [] { return Project().Surfaces.front(); };
  StatusSilencer quiet;
  const std::pair<const char*, std::function<bool()>> changes[] = {
      {"build", [&] { return BuildSurface(P(""), "A").Status.Ok(); }},
      {"rename", [&] { return RenameSurface(surface(), "C", ProjectFileSet()).Ok(); }},
      {"delete", [&] { return DeleteSurfaceFiles("A", ProjectFileSet()).Ok(); }},
      {"import", [&] { return ImportSurfaceFile(E("B.dsp"), ProjectFileSet()).Ok(); }},
      {"save as", [&] { return SaveSurfaceAs(surface(), E("D.dsp"), ProjectFileSet()).Ok(); }}};
  for (const auto& [what, change] : changes) ExpectAllOrNothing(what, dir_, setup, change);
}

}  // namespace
}  // namespace orvane
