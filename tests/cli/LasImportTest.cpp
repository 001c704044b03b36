// import-las from the command line: the surface of a LAS cloud against the
// surface of the same points given as ".xyz", and the refusals.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "cli/CliFixture.h"
#include "project/operations/PointText.h"
#include "support/LasFiles.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;

using LasImport = CliFolder;

std::vector<fs::path> Listing(const fs::path& dir) {
  std::vector<fs::path> names;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename() != "out.txt" && e.path().filename() != "err.txt")
      names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(LasImport, GroundPointsOfACloudBuildTheSurfaceOfTheSameXyz) {
  // Millimetre survey points at survey coordinates, among vegetation and
  // withheld points that must not reach the surface.
  std::mt19937 rng(7);
  LasTestFile las{3, 1, {0.001, 0.001, 0.001}, {500000, 4500000, 0}, 0, {}, {}};
  std::vector<PointRec> ground;
  for (int i = 0; i < 400; ++i) {
    const LasTestPoint p{int32_t(rng() % 200000),
                         int32_t(rng() % 200000),
                         int32_t(2200000 + rng() % 30000),
                         uint8_t(i % 3 ? 2 : 5),
                         1,
                         1,
                         i % 7 == 0};
    las.Points.push_back(p);
    if (p.Class == 2 && !p.Withheld)
      ground.push_back({std::stod(std::to_string(500000 + p.X / 1000) + "." +
                                  std::to_string(1000 + p.X % 1000).substr(1)),
                        std::stod(std::to_string(4500000 + p.Y / 1000) + "." +
                                  std::to_string(1000 + p.Y % 1000).substr(1)),
                        std::stod(std::to_string(p.Z / 1000) + "." +
                                  std::to_string(1000 + p.Z % 1000).substr(1)),
                        0});
  }
  Write("cloud.las", LasText(las));
  {
    AtomicFileWriter xyz(dir_ / "SURVEY.xyz");
    ASSERT_TRUE(WritePointText(ground, xyz) && xyz.Commit());
  }
  const CliOutcome imported = RunCli(dir_, "import-las . cloud.las CLOUD");
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_NE(imported.out.find("classes: ground (class 2)\nrecords: 400\nwithheld: 58\n"),
            std::string::npos)
      << imported.out;
  EXPECT_NE(imported.out.find("points: " + std::to_string(ground.size()) + "\n"),
            std::string::npos);
  for (const char* name : {"CLOUD", "SURVEY"})
    ASSERT_EQ(RunCli(dir_, std::string("build . ") + name).status, 0);
  TriangleMesh cloud, survey;
  ASSERT_TRUE(cloud.LoadFromBinary(dir_ / "CLOUD.dsp"));
  ASSERT_TRUE(survey.LoadFromBinary(dir_ / "SURVEY.dsp"));
  ASSERT_GT(cloud.TriangleCount(), 300);
  EXPECT_TRUE(std::ranges::equal(cloud.Points(), survey.Points()));
  EXPECT_TRUE(std::ranges::equal(cloud.Triangles(), survey.Triangles()));
}

TEST_F(LasImport, RefusalsWriteNothing) {
  LasTestFile las{4, 6, {0.01, 0.01, 0.01}, {0, 0, 0}, 0, {}, {{1, 2, 3, 9, 1, 1, false}}};
  Write("ok.las", LasText(las));
  std::string laz = LasText(las);
  laz[104] = char(0x86);
  Write("c.laz", laz);
  Write("short.las", LasText(las).substr(0, 380));
  Write("TAKEN.xyz", "1 2 3\r\n");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {". c.laz A", "compressed LAZ"},
      {". short.las A", "holds room for 0"},
      {". missing.las A", "missing.las"},
      {". ok.las TAKEN", "exists already"},
      {". ok.las A --classes 2", "no point of 1 is left"},
      {". ok.las A --classes 2,x", "is no list of classes"},
      {". ok.las A --thin 0", "more than 0"},
      {". ok.las A --thin 1,5", "1,5"},
      {". ok.las 'A/B'", "A/B"},
  };
  const std::vector<fs::path> before = Listing(dir_);
  for (const auto& [args, message] : cases) {
    const CliOutcome r = RunCli(dir_, "import-las " + args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find(message), std::string::npos) << args << ": " << r.err;
    EXPECT_EQ(Listing(dir_), before) << args;
  }
  EXPECT_EQ(Slurp(dir_ / "TAKEN.xyz"), "1 2 3\r\n");
}

}  // namespace
}  // namespace orvane::testing
