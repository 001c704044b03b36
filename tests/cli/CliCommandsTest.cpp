// orvane-tin run as a user would: one row per call whose outcome its exit
// status, its output and the files it leaves tell (CliScenariosTest.cpp holds
// the calls that need a sequence or a comparison with the library).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliFixture.h"
#include "core/support/NumberText.h"
#include "formats/TextFiles.h"
#include "project/files/SurfaceFiles.h"
#include "support/FolderSnapshot.h"
#include "support/MeshChecks.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;

// Patterns: '*' stands for any text, '%' for any text within a line, every
// other character for itself.
struct CliCase {
  std::string name;
  std::string args;  // quoted where needed, run in a folder holding WriteInputs' files
  int status = 0;
  std::string out = "*";  // stdout
  std::string err = "*";  // stderr
  // Blank-separated: "+file" made (a surface loads; ":n" its triangle count,
  // or the least bytes of another file; a .brk holds two-point segments),
  // "-file" not made, "=file" bytes left alone.
  std::string files = "";
  std::string pre = "";  // ';'-separated calls that must succeed first
};

std::vector<std::string> Split(const std::string& text, char at) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, at);)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

bool Matches(const char* pattern, const char* text) {
  if (*pattern == '\0') return *text == '\0';
  if (*pattern == '*' || *pattern == '%') {
    for (const char* t = text;; ++t) {
      if (Matches(pattern + 1, t)) return true;
      if (*t == '\0' || (*pattern == '%' && *t == '\n')) return false;
    }
  }
  return *pattern == *text && Matches(pattern + 1, text + 1);
}

void PrintTo(const CliCase& c, std::ostream* os) {
  *os << c.args;
}

// A 6 x 6 grid, 10 m apart, at survey coordinates with millimetre offsets,
// dz above 100 + i + j m.
std::string GridPoints(int dz = 0) {
  std::string text;
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 6; ++j)
      text += std::to_string(500000 + 10 * i) + ".001 " + std::to_string(4500000 + 10 * j) +
              ".002 " + std::to_string(100 + dz + i + j) + "\r\n";
  return text;
}

// An n x n grid of points d m apart from (x0, y0), z = 100 + i + j (+ a
// little, so that the triangulation is unique).
std::string PlainGrid(int n, double d, double x0 = 0, double y0 = 0) {
  std::string text;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      text += FormatNumber(x0 + d * i) + " " + FormatNumber(y0 + d * j) + " " +
              FormatNumber(100 + i + j + (i * j) % 4 * 0.01) + "\r\n";
  return text;
}

// The long names of the file-name limit's rows.
const std::string kLong245(245, 'L'), kLong240(240, 'M'), kHalf1(126, 'P'), kHalf2(126, 'Q');

// The projects of the build and operation rows, a folder each.
void WriteProjects(const fs::path& dir) {
  auto write = [&](const std::string& name, const std::string& text) {
    fs::create_directories((dir / name).parent_path());
    std::ofstream(dir / name, std::ios::binary) << text;
  };
  write("ops/A.xyz", GridPoints());
  write("ops/B.xyz", GridPoints(5));
  for (const std::string* name : {&kLong245, &kLong240, &kHalf1, &kHalf2})
    write("long/" + *name + ".xyz", GridPoints());
  // 11 x 11 points 10 m apart: alone, in one zone (the boundary), in two.
  for (const char* folder : {"z0", "z1", "z2", "zn", "fp", "ft", "fd"})
    write(std::string(folder) + "/A.xyz", PlainGrid(11, 10));
  write("z1/A.bnd", "0 0 0\r\n50 0 0\r\n50 50 0\r\n0 50 0\r\n");
  write("z2/A.bnd",
        "0 0 0\r\n20 0 0\r\n20 20 0\r\n0 20 0\r\nZONA_INC\r\n80 80 0\r\n100 80 0\r\n"
        "100 100 0\r\n80 100 0\r\n");
  // A boundary around none of the points, beside a surface of its own.
  write("zn/A.bnd", "500 500 0\r\n600 500 0\r\n600 600 0\r\n500 600 0\r\n");
  SaveGrid(Grid(0, 0, 10, 2, [](double, double) { return 1; }), dir / "zn" / "A.dsp");
  // A breakline that leaves the boundary.
  write("fp/A.bnd", "10 10 0\r\n90 10 0\r\n90 90 0\r\n10 90 0\r\n");
  write("fp/A.brk", "50 50 3\r\n150 50 3\r\n");
  // Files that cannot be read or replaced: a ".tin" and a ".bnd" that are
  // folders; collinear points beside a surface.
  fs::create_directories(dir / "ft" / "A.tin");
  fs::create_directories(dir / "fd" / "A.bnd");
  write("fb/A.xyz", "0 0 0\r\n1 1 0\r\n2 2 0\r\n3 3 1\r\n");
  SaveGrid(Grid(0, 0, 10, 2, [](double, double) { return 1; }), dir / "fb" / "A.dsp");
  // A DEM at 2 km spacing: every triangle has sides of 2 km and more.
  write("km/G.xyz", PlainGrid(6, 2000, 500000, 4500000));
  write("kmbad/G.xyz", PlainGrid(6, 2000, 500000, 4500000));
  write("kmbad/orvane-project.ini", "; ours\nmax-side = 2,5\n");
}

// The inputs every row may name.
void WriteInputs(const fs::path& dir) {
  auto write = [&](const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
  };
  fs::create_directories(dir / "proj");
  fs::create_directories(dir / "other");
  // 10 x 10 m, z = 5 + (x - 500000) / 10.
  SaveGrid(Grid(0, 0, 10, 1, [](double x, double) { return 5 + x / 10; }), dir / "S.dsp");
  write("q.xyz", "500007.5 4500009 0\nnot a point\n500011 4500000 0\n");
  // A 40 x 40 m square 2 m above a 30 x 30 m one that overlaps it on
  // 25 x 25 m: fill 1250 m3.
  SaveGrid(Grid(0, 0, 10, 4, [](double, double) { return 102.5; }), dir / "A.dsp");
  SaveGrid(Grid(15, 15, 7.5, 4, [](double, double) { return 100.5; }), dir / "B.dsp");
  // D has a point 0.5 mm from a corner: cut and fill refuses it.
  TriangleMesh d = Grid(0, 0, 10, 2, [](double, double) { return 1; });
  d.AddPoint(5e5 + 20.0004, 4.5e6 + 20.0002, 7);
  const int n = d.PointCount();
  const PointRec p = d.Point(n), q = d.Point(n - 1), r = d.Point(n - 2);
  d.AddTriangle(p.X, p.Y, p.Z, n, q.X, q.Y + 5, q.Z, n - 1, r.X, r.Y + 5, r.Z, n - 2);
  SaveGrid(d, dir / "D.dsp");
  SaveGrid(Grid(5, 5, 10, 2, [](double, double) { return 0; }), dir / "E.dsp");
  // A tag with a line end and a tab.
  TriangleMesh odd = Grid(0, 0, 10, 1, [](double, double) { return 1; });
  odd.Tag = "a\nb\tc";
  SaveGrid(odd, dir / "odd.dsp");
  write("bad.dsp", "not a surface");
  write("mine.rgb", "0 105 1 2 3\n105 200 4 5 6\n");
  fs::create_directories(dir / "hill");  // HILL alone: a scan of the folder warns of nothing
  SaveGrid(Hill(), dir / "hill" / "HILL.dsp");
  write("grid.xyz", GridPoints());
  write("gridbad.xyz", GridPoints() + "not a point\r\n");
  write("two.xyz", "0 0 0\n1 1 1\n");
  write("collinear.xyz", "0 0 1\n1 1 1\n2 2 1\n3 3 1\n");
  write("onespot.xyz", "5 5 1\n5 5 1\n5 5 1\n5.0002 5 1\n");
  // The zone [500005, 500045] x [4500005, 4500045] keeps the 4 x 4 inner
  // points and adds its corners; the hole removes the middle cell; the
  // breakline runs along a cell diagonal.
  write("zone.bnd", "500005 4500005 0\n500045 4500005 0\n500045 4500045 0\n500005 4500045 0\n");
  write("hole.bnd",
        "500020.001 4500020.002 0\n500030.001 4500020.002 0\n500030.001 4500030.002 0\n"
        "500020.001 4500030.002 0\nZONA_INC\n");
  write("line.brk", "BREAKLINE\n500010.001 4500020.002 0\n500020.001 4500010.002 0\nBREAKLINE\n");
  write("far.bnd", "0 0 0\n10 0 0\n10 10 0\n0 10 0\n");  // far from every point
  WriteProjects(dir);
  write("zones.bnd",
        "500000 4500000 0\n500010.5 4500000 0\n500010.5 4500010.5 0\n500000 4500010.5 0\n"
        "ZONA_INC\n500040 4500040 0\n500050.5 4500040 0\n500050.5 4500050.5 0\n"
        "500040 4500050.5 0\n");
}

std::vector<CliCase> Cases() {
  const std::string good = "triangulate grid.xyz --out good.dsp";
  std::vector<CliCase> cases = {
      {"Volume", "volume S.dsp", 0, "volume: 550\nabove: 550\nbelow: 0\n"},
      // The base through the middle of the slope: nothing net, 12.5 m3 each side.
      {"VolumeBaseThroughTheSlope", "volume S.dsp --base 5.5", 0,
       "volume: 0\nabove: 12.5\nbelow: 12.5\n"},
      {"VolumeMissingFile", "volume missing.dsp", 2, "*", "*missing.dsp*"},
      {"Elevation", "elevation S.dsp 500002.5 4500001 500000 4500000 -3 4500000", 0,
       "500002.5 4500001 5.25\n500000 4500000 5\n-3 4500000 -\n"},
      {"ElevationOfAPointFile", "elevation S.dsp --points q.xyz", 0,
       "500007.5 4500009 5.75\n500011 4500000 -\n", "*line 2*"},
      {"ElevationOddCoordinates", "elevation S.dsp 1 2 3", 2},
      {"ElevationNoPoint", "elevation S.dsp", 2},
      {"ElevationPointsAndFile", "elevation S.dsp 1 2 --points q.xyz", 2},
      {"ElevationMissingPointFile", "elevation S.dsp --points missing.xyz", 2},
      {"ElevationMissingSurface", "elevation missing.dsp 1 2", 2},
      {"CutFillFill", "cutfill A.dsp B.dsp --out-a A2.dsp --out-b B2.dsp --segments S.brk", 0,
       "cut: 0\nfill: 1250\narea: 625\n", "*", "+A2.dsp +B2.dsp +S.brk"},
      {"CutFillCutOnOneThread", "cutfill B.dsp A.dsp --threads 1", 0,
       "cut: 1250\nfill: 0\narea: 625\n"},
      {"CutFillRefusesDuplicatePoints", "cutfill E.dsp D.dsp --out-a X.dsp", 2, "",
       "*Punti doppi sulla 2*", "-X.dsp"},
      {"CutFillMissingFile", "cutfill B.dsp missing.dsp", 2, "*", "*missing.dsp*"},
      {"IntersectMissingFile", "intersect A.dsp Missing.dsp --out T.brk", 2, "*", "*Missing.dsp*",
       "-T.brk"},
      {"IntersectWithoutOut", "intersect A.dsp B.dsp", 2},
      // 60 x 40 cells of 10 m: 61 x 41 points, two triangles per cell.
      {"DemoSurfaceReportsItsFiveLines", "info 'demo project/Demo.dsp'", 0,
       "tag: Demo\nmodel: 30\npoints: 2501\ntriangles: 4800\nextents: 500000 4500000 %\n", "*", "",
       "demo 'demo project'"},
      // The demo's main job: the site is built from its survey (the boundary
      // leaves some shots out) and exported, as scripts/run-demo.sh does.
      {"DemoSiteBuilds", "build site Site", 0, "*zones: 1*breaklines: 1*", "*", "", "demo site"},
      {"DemoSiteExports", "landxml site Site site/Site.xml", 0,
       "site/Site.xml: % points, % triangles, 1 zones, 1 breaklines\n", "*",
       "+site/Site.xml:100000", "demo site;build site Site"},
      {"LandXmlMissingSurface", "landxml . Missing missing.xml", 2, "", "%Missing.dsp%\n",
       "-missing.xml"},
      {"ControlCharactersInATagStayOnItsLine", "info odd.dsp", 0, "tag: a?b?c\n%\n%\n%\n%\n"},
      {"InfoUnloadableFile", "info bad.dsp", 2, "", "%bad.dsp%\n"},
      {"InfoMissingFile", "info missing.dsp", 2, "", "%missing.dsp%\n"},
      {"InfoWithoutFile", "info", 2},
      {"ListMissingFolder", "list missing", 2},
      {"Palettes", "palettes", 0, "GREYS\nPENDIENTE\nSLOPE\tslope\nSPECTRUM\nTERRAIN\n"},
      {"ColourBySlope", "colour hill HILL SLOPE", 0, "classes: 9\ntriangles: 2\n", "*",
       "+hill/HILL.col"},
      // Bands of 5 m from a palette within 100.5 to 119.5 m, and classes from a file.
      {"ColourByPaletteBands", "colour hill HILL terrain --interval 5", 0, "classes: 4\n*", "*",
       "+hill/HILL.col +hill/HILL.rgb"},
      {"ColourByClassFile", "colour hill HILL --classes mine.rgb", 0, "classes: 2\n*", "*",
       "+hill/HILL.col +hill/HILL.rgb"},
      // One message, one line, whatever the name holds.
      {"ColourUnknownPalette", "colour hill HILL nosuch", 2, "*", "%\n"},
      {"ColourUnknownSurface", "colour hill NOSUCH terrain", 2, "*", "%\n"},
      {"ColourMissingClassFile", "colour hill HILL --classes missing.rgb", 2, "*", "%\n"},
      {"ColourLineEndInTheName", "colour hill HILL 'ter\nrain'", 2, "*", "%\n"},
      {"BuildUnknownSurface", "build proj NONE", 2},
      {"RenameUnknownSurface", "rename proj NONE X", 2},
      {"SaveAsUnknownSurface", "saveas proj NONE proj/X.dsp", 2},
      {"DeleteUnknownSurface", "delete proj NONE", 2},
      {"ImportMissingFile", "import proj other/none.dsp", 2},
      {"BuildNameOutsideTheFolder", "build proj ../x", 2},
      {"TriangulatePrintsCountsAndSavesASurface", "triangulate gridbad.xyz --out grid.dsp", 0,
       "points: 36\ntriangles: 50\nerror: 0\n*time START_TRIANGULATION: *",
       "*gridbad.xyz: line 37: no number in the first three fields*", "+grid.dsp:50"},
      // 20 points with a 4-point hull make 2 * 20 - 4 - 2 = 34 triangles; the
      // hole takes 2.
      {"TriangulateConstraintFilesShapeTheSurface",
       "triangulate grid.xyz --zones zone.bnd --holes hole.bnd --breaklines line.brk --out c.dsp",
       0, "points: 20\ntriangles: 32\nerror: 0\n*time MAKING_AREAS: *", "*", "+c.dsp:32"},
      // Two zones shape the surface as a build does: their edges forced (their
      // corners becoming points), the triangles outside both removed, instead
      // of the last zone bounding the points.
      {"TriangulateTwoZones", "triangulate grid.xyz --zones zones.bnd --out two.dsp", 0,
       "points: 16\ntriangles: 20\nerror: 0\nremoved outside zones: 58\n*", "*", "+two.dsp:20"},
      {"TriangulateMissingPoints", "triangulate none.xyz --out x.dsp", 2, "", "%\n", "-x.dsp"},
      // Too few points: the counts are printed, nothing is written.
      {"TriangulateTooFewPoints", "triangulate two.xyz --out x.dsp", 2,
       "points: 2\ntriangles: 0\nerror: 3\n*", "*", "-x.dsp"},
      {"TriangulateWithoutOut", "triangulate grid.xyz", 2},
      // A surface is never replaced with nothing.
      {"TriangulateCollinearKeepsTheSurface", "triangulate collinear.xyz --out good.dsp", 2, "*",
       "*no surface built*", "=good.dsp", good},
      {"TriangulateOneSpotKeepsTheSurface", "triangulate onespot.xyz --out good.dsp", 2, "*",
       "*no surface built*", "=good.dsp", good},
      {"TriangulateZoneEnclosingNoneKeepsTheSurface",
       "triangulate grid.xyz --zones far.bnd --out good.dsp", 2, "*", "*no surface built*",
       "=good.dsp", good},
      // The builds: zones, refusals that keep the old files, and the
      // project's longest triangle side.
      {"BuildWithoutZones", "build z0 A", 0,
       "points: 121\ntriangles: 200\nzones: 0\nbreaklines: 0\nremoved outside zones: 0\n*", "*",
       "+z0/A.dsp:200 +z0/A.tin:6000"},
      {"BuildNamesTheSurfaceAfterItsFiles", "info z0/A.dsp", 0, "tag: A\n*", "*", "", "build z0 A"},
      {"BuildInsideTheBoundary", "build z1 A", 0, "points: 36\ntriangles: 50\nzones: 1\n*", "*",
       "+z1/A.dsp:50"},
      {"BuildTrimmedToTwoZones", "build z2 A", 0,
       "points: 18\ntriangles: 16\nzones: 2\nbreaklines: 0\nremoved outside zones: 184\n*", "*",
       "+z2/A.dsp:16"},
      // A boundary around none of the points would make a surface of its own
      // corners.
      {"BuildBoundaryAroundNoPointKeepsTheSurface", "build zn A", 2, "",
       "%the boundary encloses none of the points%\n", "=zn/A.dsp"},
      {"BuildCollinearKeepsTheSurface", "build fb A", 2, "", "%no surface built%\n", "=fb/A.dsp"},
      {"BuildTinAFolderWritesNothing", "build ft A", 2, "", "%\n", "-ft/A.dsp"},
      {"BuildBoundaryAFolder", "build fd A", 2, "", "%not a regular file%\n", "-fd/A.dsp"},
      {"BuildBreaklineLeavingTheBoundaryIsReported", "build fp A", 0, "*",
       "*could not be made edges*", "+fp/A.dsp"},
      {"BuildNameNearTheFileNameLimit", "build long " + kLong240, 0, "*", "*",
       "+long/" + kLong240 + ".tin"},
      // A DEM at 2 km: the fixed 1,000 m limit left no triangle and blamed
      // collinear points. The limit is the project's setting, named when it
      // drops triangles; --max-side keeps it for the next build.
      {"TwoKilometreGridLostEveryTriangleToAFixedLongestSide", "build km G", 2, "",
       "km/G.xyz: no surface built (50 triangles were left out for a side of 1000 m or more, the "
       "project's longest triangle side; change it with --max-side or in km/orvane-project.ini)\n",
       "-km/G.dsp"},
      {"TwoKilometreGridBuildsWithALongerSide", "build km G --max-side 5000.5", 0,
       "*triangles: 50\n*(max side 5000.5 m)\n*", "*", "+km/G.dsp:50 +km/orvane-project.ini"},
      {"TwoKilometreGridKeepsTheLongerSide", "build km G", 0,
       "*triangles: 50\n*left out for their side: 0 (max side 5000.5 m)\n*", "*", "",
       "build km G --max-side 5000.5"},
      {"TwoKilometreGridTypoInTheSetting", "build kmbad G", 2, "", "%line 2%\n", "-kmbad/G.dsp"},
      // The operations: what they print, and refusals that leave every file.
      {"SplitPrintsBothSides", "split ops A 105", 0,
       "A__inferior\nA__superior\nOperation finished.\n", "",
       "+ops/A__inferior.dsp +ops/A__superior.dsp +ops/A__inferior.xyz +ops/A__superior.tin "
       "=ops/A.dsp =ops/A.xyz",
       "build ops A"},
      {"MergePrintsTheNewSurface", "merge ops A B", 0, "A_B\nOperation finished.\n", "",
       "+ops/A_B.dsp +ops/A_B.xyz +ops/A_B.tin =ops/A.dsp =ops/B.tin", "build ops A;build ops B"},
      {"MergeTakenName", "merge ops A B", 2, "", "%A_B: %\n", "",
       "build ops A;build ops B;merge ops A B"},
      {"GridSpacingBelowTwo", "grid ops A 1.4", 2, "", "The grid spacing must be at least 2.\n",
       "-ops/A.grd", "build ops A"},
      {"MergeWithItself", "merge ops A A", 2, "",
       "A: a surface is not merged with itself; nothing was merged\n", "", "build ops A"},
      // A side without triangles is not written; the other one is.
      {"SplitAboveTheSurfaceWritesTheLowerSide", "split ops A 1000", 0,
       "A__inferior\nOperation finished.\n",
       "A__superior: no part of A lies above 1000; not written\n",
       "+ops/A__inferior.dsp -ops/A__superior.dsp", "build ops A"},
      {"ShiftUnknownSurface", "shift ops C 1", 2, "", "%C: no surface of that name%\n"},
      // A spacing wider than the surface has one node and no cell: the good
      // grid written before stays.
      {"GridWiderThanTheSurfaceKeepsTheGoodGrid", "grid ops A 51", 2, "",
       "%no cell of 2 x 2 nodes%\n", "", "build ops A;grid ops A 2"},
      {"GridFarWiderThanTheSurfaceKeepsTheGoodGrid", "grid ops A 1e12", 2, "",
       "%no cell of 2 x 2 nodes%\n", "", "build ops A;grid ops A 2"},
      // A split of a 245-byte name would make 259-byte file names, a merge of
      // two 126-byte names 257: refused before any work.
      {"SplitNamePastTheFileNameLimit", "split long " + kLong245 + " 103", 2, "",
       "%The name is too long%\n", "", "build long " + kLong245},
      {"MergeNamePastTheFileNameLimit", "merge long " + kHalf1 + " " + kHalf2, 2, "",
       "%The name is too long%\n", "", "build long " + kHalf1 + ";build long " + kHalf2},
  };
  for (const char* side : {"0", "nan", "-5", "inf"})
    cases.push_back({std::string("TriangulateMaxSide_") + (side[0] == '-' ? "minus5" : side),
                     std::string("triangulate grid.xyz --max-side ") + side + " --out x.dsp", 2,
                     "*", "*", "-x.dsp"});
  for (const char* cmd :
       {"list", "build", "import", "saveas", "rename", "delete", "volume", "info"})
    cases.push_back({std::string(cmd) + "Help", std::string(cmd) + " --help"});
  cases.push_back({"cutfillHelp", "cutfill --help", 0, "*--segments*"});
  return cases;
}

class CliCommand : public CliFolder, public ::testing::WithParamInterface<CliCase> {};

TEST_P(CliCommand, Outcome) {
  const CliCase& c = GetParam();
  WriteInputs(dir_);
  for (const std::string& args : Split(c.pre, ';')) ASSERT_EQ(RunCli(dir_, args).status, 0) << args;
  const std::vector<std::string> files = Split(c.files, ' ');
  std::map<std::string, std::string> kept;
  for (const std::string& f : files)
    if (f[0] == '=') kept[f] = Slurp(dir_ / f.substr(1));

  fs::remove(dir_ / "out.txt");
  fs::remove(dir_ / "err.txt");
  const auto snapshot = [&] {
    FolderSnapshot files;
    for (const auto& e : fs::recursive_directory_iterator(dir_))
      if (e.is_regular_file()) files[fs::relative(e.path(), dir_).string()] = Slurp(e.path());
    return files;
  };
  const FolderSnapshot before = snapshot();
  const CliOutcome run = RunCli(dir_, c.args);
  EXPECT_EQ(run.status, c.status) << run.out << run.err;
  // A refusal says why and leaves every file as it was.
  EXPECT_TRUE(c.status == 0 || !run.err.empty());
  fs::remove(dir_ / "out.txt");
  fs::remove(dir_ / "err.txt");
  const FolderSnapshot after = snapshot();
  EXPECT_TRUE(c.status == 0 || after == before) << [&] {
    std::string names;
    for (const auto& [name, bytes] : after) names += name + " ";
    return names;
  }();
  EXPECT_TRUE(Matches(c.out.c_str(), run.out.c_str())) << c.out << "\n---\n" << run.out;
  EXPECT_TRUE(Matches(c.err.c_str(), run.err.c_str())) << c.err << "\n---\n" << run.err;
  // Numbers are written with "." whatever the locale.
  EXPECT_FALSE(std::regex_search(run.out, std::regex("[0-9],[0-9]"))) << run.out;
  for (const std::string& f : files) {
    const size_t colon = f.find(':');
    const fs::path file = dir_ / f.substr(1, colon - 1);
    const int least = colon == std::string::npos ? 1 : std::stoi(f.substr(colon + 1));
    EXPECT_TRUE(f[0] != '-' || !fs::exists(file)) << f;
    EXPECT_TRUE(f[0] != '=' || Slurp(file) == kept[f]) << f;
    if (f[0] != '+') continue;
    ASSERT_TRUE(fs::exists(file)) << f;
    if (file.extension() == ".dsp") {
      TriangleMesh m;
      ASSERT_TRUE(m.LoadFromBinary(file)) << f;
      EXPECT_GT(m.TriangleCount(), 0) << f;
      ExpectValidSurface(m, f);
      EXPECT_TRUE(colon == std::string::npos || m.TriangleCount() == least) << f;
    } else {
      EXPECT_GE(fs::file_size(file), static_cast<uintmax_t>(least)) << f;
    }
    if (file.extension() == ".brk") {
      const PolylineFile segments = ReadBreaklineFile(file);
      ASSERT_FALSE(segments.Lists.empty());
      for (const PointList& s : segments.Lists) EXPECT_EQ(s.count(), 2);
    }
  }
}

// The help of each file command names every file it handles.
TEST_F(CliFolder, HelpNamesEveryCompanionACommandCopies) {
  const struct {
    const char* command;
    std::span<const std::string_view> exts;
  } commands[] = {{"import", kImportCopies},
                  {"saveas", kSaveAsCopies},
                  {"rename", kRenameCopies},
                  {"delete", kDeleteList}};
  for (const auto& c : commands) {
    const CliOutcome o = RunCli(dir_, std::string(c.command) + " --help");
    for (std::string_view ext : c.exts)
      EXPECT_NE(o.out.find(ext), std::string::npos) << c.command << " " << ext << "\n" << o.out;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, CliCommand, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<CliCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace orvane::testing
