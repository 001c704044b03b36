// The five surface operations end to end on a 1,000,000-point surface
// (smooth terrain at eastings 5e5, northings 4.5e6, millimetres, seeded),
// each against building that surface from its ".xyz": shift and scale
// rebuild the surface itself, the grid samples it at 10 m (about a million
// nodes) and writes its ".grd", the split cuts it at its middle elevation and
// builds both sides, and the merge joins two 500,000-point halves and builds
// the 1,000,000-point result. After the runs the program prints each
// operation's time over its build's.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "core/support/Status.h"
#include "project/actions/Actions.h"
#include "project/actions/OperationActions.h"
#include "project/actions/ProjectState.h"
#include "project/build/SurfaceBuild.h"

namespace {

namespace fs = std::filesystem;
namespace actions = orvane::actions;

constexpr double kSide = 10000;  // metres
constexpr int64_t kPoints = 1000000;

fs::path BenchFolder() {
  return fs::temp_directory_path() / ("orvane-bench-operations-" + std::to_string(::getpid()));
}

// name.xyz of n points of smooth terrain, with a few decimetres of noise.
void WritePoints(const fs::path& dir, const std::string& name, int64_t n, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> east(0, kSide), north(0, kSide), noise(-0.3, 0.3);
  std::string text;
  text.reserve(static_cast<size_t>(n) * 36);
  char buf[64];
  for (int64_t i = 0; i < n; ++i) {
    const double x = east(rng), y = north(rng);
    const double z = 200 + 60 * std::sin(x / 1500) * std::cos(y / 1700) + 0.002 * x + noise(rng);
    for (double v : {500000 + x, 4500000 + y, z}) {
      text.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3).ptr);
      text += ' ';
    }
    text.back() = '\r';
    text += '\n';
  }
  std::ofstream(dir / (name + ".xyz"), std::ios::binary) << text;
}

// The folder "one" with S, and "two" with the halves H1 and H2; built once.
fs::path Folder(const char* which) {
  const fs::path dir = BenchFolder() / which;
  if (fs::exists(dir)) return dir;
  fs::create_directories(dir);
  orvane::StatusSilencer quiet;
  if (std::string(which) == "one") {
    WritePoints(dir, "S", kPoints, 12345);
    orvane::BuildSurface(dir, "S");
  } else {
    WritePoints(dir, "H1", kPoints / 2, 777);
    WritePoints(dir, "H2", kPoints / 2, 778);
    orvane::BuildSurface(dir, "H1");
    orvane::BuildSurface(dir, "H2");
  }
  return dir;
}

void Open(benchmark::State& state, const fs::path& dir) {
  if (!actions::OpenProject(dir).ok()) state.SkipWithError("cannot open the project");
}

void Check(benchmark::State& state, const actions::ActionResult& r) {
  if (!r.ok()) state.SkipWithError(r.Message.c_str());
}

void RemoveSurfaceFiles(const fs::path& dir, const std::string& name) {
  for (const char* ext : {".dsp", ".xyz", ".tin"}) fs::remove(dir / (name + ext));
}

void BM_BuildSurface(benchmark::State& state) {
  const fs::path dir = Folder("one");
  orvane::StatusSilencer quiet;
  for (auto _ : state) {
    const orvane::BuildResult r = orvane::BuildSurface(dir, "S");
    if (!r.Status) state.SkipWithError(r.Status.Text().c_str());
    state.counters["triangles"] = r.TriangleCount;
  }
}

void BM_Shift(benchmark::State& state) {
  const fs::path dir = Folder("one");
  orvane::StatusSilencer quiet;
  Open(state, dir);
  auto surface = actions::FindSurface("S").Surface;
  int k = 0;
  for (auto _ : state) Check(state, actions::Shift(surface, ++k % 2 ? "1.5" : "-1.5"));
}

void BM_Scale(benchmark::State& state) {
  const fs::path dir = Folder("one");
  orvane::StatusSilencer quiet;
  Open(state, dir);
  auto surface = actions::FindSurface("S").Surface;
  int k = 0;
  for (auto _ : state) Check(state, actions::Scale(surface, ++k % 2 ? "2" : "0.5"));
}

void BM_Grid(benchmark::State& state) {
  const fs::path dir = Folder("one");
  orvane::StatusSilencer quiet;
  Open(state, dir);
  auto surface = actions::FindSurface("S").Surface;
  for (auto _ : state) {
    const actions::ActionResult r = actions::ExportGrid(surface, "10");
    Check(state, r);
    state.counters["quads"] = static_cast<double>(r.FigureValue("quads"));
  }
  fs::remove(dir / "S.grd");
}

void BM_Split(benchmark::State& state) {
  const fs::path dir = Folder("one");
  orvane::StatusSilencer quiet;
  Open(state, dir);
  auto surface = actions::FindSurface("S").Surface;
  const orvane::ExtentsRec e = surface->GetExtents();
  const std::string middle = std::to_string((e.Min.Z + e.Max.Z) / 2);
  double builds = 0;
  for (auto _ : state) {
    const actions::ActionResult r = actions::Split(surface, middle);
    Check(state, r);
    state.PauseTiming();
    for (const orvane::BuildResult& b : r.Builds)
      for (const orvane::BuildResult::Phase& p : b.Phases) builds += p.Seconds;
    for (const char* side : {"S__inferior", "S__superior"}) RemoveSurfaceFiles(dir, side);
    orvane::Project().Surfaces.resize(1);
    state.ResumeTiming();
  }
  state.counters["side builds ms"] =
      benchmark::Counter(builds * 1000, benchmark::Counter::kAvgIterations);
}

void BM_Merge(benchmark::State& state) {
  const fs::path dir = Folder("two");
  orvane::StatusSilencer quiet;
  for (auto _ : state) {
    state.PauseTiming();
    RemoveSurfaceFiles(dir, "H1_H2");
    Open(state, dir);
    auto first = actions::FindSurface("H1").Surface, second = actions::FindSurface("H2").Surface;
    state.ResumeTiming();
    Check(state, actions::Merge(first, second));
  }
}

// The build of the merge's result, from the ".xyz" the merge wrote.
void BM_BuildMerged(benchmark::State& state) {
  const fs::path dir = Folder("two");
  orvane::StatusSilencer quiet;
  if (!fs::exists(dir / "H1_H2.xyz")) state.SkipWithError("run BM_Merge first");
  for (auto _ : state) {
    const orvane::BuildResult r = orvane::BuildSurface(dir, "H1_H2");
    if (!r.Status) state.SkipWithError(r.Status.Text().c_str());
  }
}

BENCHMARK(BM_BuildSurface)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Shift)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Scale)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Grid)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Split)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_Merge)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_BuildMerged)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  orvane::bench::Collector collector;
  const bool ok = orvane::bench::RunAll(argc, argv, collector);
  const auto time = [&](const char* run) {
    return collector.Get(std::string(run) + "/iterations:2/real_time");
  };
  const orvane::bench::Times build = time("BM_BuildSurface"), merged = time("BM_BuildMerged");
  std::printf("\n1,000,000 points, each operation over its build (limit 1.30):\n");
  for (auto [run, base, label] : {std::tuple{"BM_Shift", build, "shift"},
                                  {"BM_Scale", build, "scale"},
                                  {"BM_Grid", build, "grid"},
                                  {"BM_Split", build, "split"},
                                  {"BM_Merge", merged, "merge"}}) {
    const orvane::bench::Times t = time(run);
    if (t.real > 0 && base.real > 0)
      std::printf("  %-6s %9.1f ms over %9.1f ms: %.2f (cpu %.2f)\n", label, t.real, base.real,
                  t.real / base.real, t.cpu / base.cpu);
  }
  fs::remove_all(BenchFolder());
  return ok ? 0 : 2;
}
