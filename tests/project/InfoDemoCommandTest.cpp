// orvane-tin info and demo, run as a user would.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/TriangleMesh.h"
#include "support/RunCli.h"

namespace {

namespace fs = std::filesystem;

using orvane::testing::CliOutcome;

CliOutcome Tin(const fs::path& dir, const std::string& args) {
  return orvane::testing::RunCli(dir, args);
}

class InfoDemoCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvane-info-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(InfoDemoCommand, DemoSurfaceReportsItsFiveLines) {
  const fs::path project = dir_ / "demo project";
  ASSERT_EQ(Tin(dir_, "demo '" + project.string() + "'").status, 0);
  const CliOutcome run = Tin(dir_, "info '" + (project / "Demo.dsp").string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  // 60 x 40 cells of 10 m: 61 x 41 points, two triangles per cell.
  std::istringstream lines(run.out);
  std::string tag, model, points, triangles, extents;
  std::getline(lines, tag);
  std::getline(lines, model);
  std::getline(lines, points);
  std::getline(lines, triangles);
  std::getline(lines, extents);
  EXPECT_EQ(tag, "tag: Demo");
  EXPECT_EQ(model, "model: 30");
  EXPECT_EQ(points, "points: 2501");
  EXPECT_EQ(triangles, "triangles: 4800");
  EXPECT_EQ(extents.rfind("extents: 500000 4500000 ", 0), 0u) << extents;
  EXPECT_EQ(extents.find(','), std::string::npos);
  std::string rest;
  EXPECT_FALSE(std::getline(lines, rest));
}

// The demo's main job: the site is built from its survey (the boundary
// leaves some shots out) and exported, as scripts/run-demo.sh does.
TEST_F(InfoDemoCommand, DemoSiteBuildsAndExports) {
  const fs::path project = dir_ / "site";
  const std::string folder = "'" + project.string() + "'";
  ASSERT_EQ(Tin(dir_, "demo " + folder).status, 0);
  const CliOutcome build = Tin(dir_, "build " + folder + " Site");
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_NE(build.out.find("zones: 1"), std::string::npos) << build.out;
  EXPECT_NE(build.out.find("breaklines: 1"), std::string::npos) << build.out;
  const CliOutcome xml =
      Tin(dir_, "landxml " + folder + " Site '" + (project / "Site.xml").string() + "'");
  ASSERT_EQ(xml.status, 0) << xml.err;
  EXPECT_GT(fs::file_size(project / "Site.xml"), 100000u);
}

// A Tag with a line end or a tab keeps the report at five lines.
TEST_F(InfoDemoCommand, ControlCharactersInATagStayOnItsLine) {
  orvane::TriangleMesh mesh;
  mesh.AddPoint(0, 0, 1);
  mesh.AddPoint(10, 0, 2);
  mesh.AddPoint(0, 10, 3);
  mesh.AddTriangle(0, 0, 1, 1, 0, 10, 3, 3, 10, 0, 2, 2);
  mesh.Tag = std::string("a\nb\tc");
  mesh.SaveToBinary(dir_ / "odd.dsp");
  ASSERT_EQ(mesh.LastErrorCode, 0);
  const CliOutcome run = Tin(dir_, "info odd.dsp");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 5) << run.out;
  EXPECT_EQ(run.out.rfind("tag: a?b?c\n", 0), 0u) << run.out;
}

TEST_F(InfoDemoCommand, UnloadableFileGivesOneLineAndStatus2) {
  std::ofstream(dir_ / "bad.dsp", std::ios::binary) << "not a surface";
  for (const std::string& file : {std::string("bad.dsp"), std::string("missing.dsp")}) {
    const CliOutcome run = Tin(dir_, "info '" + (dir_ / file).string() + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find(file), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_EQ(Tin(dir_, "info --help").status, 0);
  EXPECT_EQ(Tin(dir_, "info").status, 2);
}

// A load takes at most about four times the file: 6 million empty class
// properties (24 MB, once 17 times that in memory) load under a limit of
// four times the file and the program. A surface of 1.5 million triangles
// (30 MB; a triangle holds its three corners, 112 bytes for its 20 in the
// file) does not fit: a message and status 2, never an abort, and a project
// scan skips it with a warning.
TEST_F(InfoDemoCommand, LoadsTakeAboutFourTimesTheFileAndOutOfMemoryIsAnError) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a memory limit and the address sanitizer's shadow memory do not mix";
#else
  orvane::TriangleMesh m;
  m.AddPoint(0, 0, 0);
  m.AddPoint(1, 0, 0);
  m.AddPoint(0, 1, 0);
  m.AddTriangle(0, 0, 0, 1, 0, 1, 0, 3, 1, 0, 0, 2);
  const fs::path folder = dir_ / "P";
  fs::create_directories(folder);
  m.SaveToBinary(folder / "Triangles.dsp");
  m.SetClassProperty("", orvane::Variant());
  m.SaveToBinary(folder / "Classes.dsp");
  ASSERT_EQ(m.LastErrorCode, 0);
  // The triangle count follows the model, the empty tag (2 bytes) and three
  // fields, the class-property count two more; the triangles end the file
  // without properties, the class properties end it with them.
  std::string classes = orvane::testing::Slurp(folder / "Classes.dsp");
  const int32_t entries = 6'000'001, triangles = 1'500'000;
  std::memcpy(classes.data() + 30, &entries, 4);
  classes.append(static_cast<size_t>(entries - 1) * 4, '\0');
  std::ofstream(folder / "Classes.dsp", std::ios::binary | std::ios::trunc) << classes;
  std::string tris = orvane::testing::Slurp(folder / "Triangles.dsp");
  const std::string record = tris.substr(tris.size() - 20);
  std::memcpy(tris.data() + 18, &triangles, 4);
  for (int32_t t = 1; t < triangles; ++t) tris += record;
  std::ofstream(folder / "Triangles.dsp", std::ios::binary | std::ios::trunc) << tris;

  const std::string limit = std::to_string(4 * classes.size() / 1000 + 16'000);
  auto run = [&](const std::string& args) {
    const std::string command = "ulimit -v " + limit + "; '" + std::string(ORVANE_CLI) + "' " +
                                args + " >'" + (dir_ / "out.txt").string() + "' 2>'" +
                                (dir_ / "err.txt").string() + "'";
    const int raw = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(raw)) << args;
    return CliOutcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
                      orvane::testing::Slurp(dir_ / "out.txt"),
                      orvane::testing::Slurp(dir_ / "err.txt")};
  };
  const CliOutcome fits = run("info '" + (folder / "Classes.dsp").string() + "'");
  EXPECT_EQ(fits.status, 0) << fits.err;
  EXPECT_NE(fits.out.find("triangles: 1\n"), std::string::npos) << fits.out;
  const CliOutcome big = run("info '" + (folder / "Triangles.dsp").string() + "'");
  EXPECT_EQ(big.status, 2);
  EXPECT_NE(big.err.find("memory"), std::string::npos) << big.err;
  const CliOutcome scan = run("list '" + folder.string() + "'");
  EXPECT_EQ(scan.status, 0) << scan.err;
  EXPECT_NE(scan.err.find("Triangles.dsp: not enough memory"), std::string::npos) << scan.err;
  EXPECT_EQ(scan.err.find("Classes.dsp"), std::string::npos) << scan.err;
#endif
}

}  // namespace
