// orvane-tin volume and elevation, run as a user would.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/TriangleMesh.h"
#include "support/RunCli.h"

namespace {

namespace fs = std::filesystem;

using orvane::testing::CliOutcome;
using orvane::testing::RunCli;

class AnalysisCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvane-analysis-cli-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    // 10 x 10 at survey coordinates, z = 5 + (x - 500000) / 10.
    orvane::TriangleMesh mesh;
    const double e = 500000, n = 4500000;
    mesh.AddPoint(e, n, 5);
    mesh.AddPoint(e + 10, n, 6);
    mesh.AddPoint(e + 10, n + 10, 6);
    mesh.AddPoint(e, n + 10, 5);
    mesh.AddTriangle(e, n, 5, 1, e + 10, n, 6, 2, e + 10, n + 10, 6, 3);
    mesh.AddTriangle(e, n, 5, 1, e + 10, n + 10, 6, 3, e, n + 10, 5, 4);
    mesh.SaveToBinary(dir_ / "S.dsp");
    ASSERT_EQ(mesh.LastErrorCode, 0);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(AnalysisCommands, Volume) {
  CliOutcome run = RunCli(dir_, "volume S.dsp");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "volume: 550\nabove: 550\nbelow: 0\n");
  run = RunCli(dir_, "volume S.dsp --base 10.5");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "volume: -500\nabove: 0\nbelow: 500\n");
  // The base through the middle of the slope: nothing net, 12.5 m3 each side.
  run = RunCli(dir_, "volume S.dsp --base 5.5");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "volume: 0\nabove: 12.5\nbelow: 12.5\n");
  EXPECT_EQ(RunCli(dir_, "volume S.dsp --base 1,5").status, 2);
  run = RunCli(dir_, "volume missing.dsp");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("missing.dsp"), std::string::npos) << run.err;
  EXPECT_EQ(RunCli(dir_, "volume --help").status, 0);
}

TEST_F(AnalysisCommands, Elevation) {
  CliOutcome run = RunCli(dir_, "elevation S.dsp 500002.5 4500001 500000 4500000 -3 4500000");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "500002.5 4500001 5.25\n500000 4500000 5\n-3 4500000 -\n");

  std::ofstream(dir_ / "q.xyz") << "500007.5 4500009 0\nnot a point\n500011 4500000 0\n";
  run = RunCli(dir_, "elevation S.dsp --points q.xyz");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "500007.5 4500009 5.75\n500011 4500000 -\n");
  EXPECT_NE(run.err.find("line 2"), std::string::npos) << run.err;

  for (const char* bad : {"S.dsp 1 2 3", "S.dsp 1,5 2", "S.dsp", "S.dsp 1 2 --points q.xyz",
                          "S.dsp --points missing.xyz", "missing.dsp 1 2"}) {
    run = RunCli(dir_, std::string("elevation ") + bad);
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_FALSE(run.err.empty()) << bad;
  }
}

}  // namespace
