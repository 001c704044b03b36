// Building a surface of a project from its ".xyz" (read, decimate,
// triangulate, write ".dsp" and ".tin"), with no zone and with two inclusion
// zones (the trimming phase), at 500,000 and 1,000,000 survey points
// (eastings 5e5, northings 4.5e6, millimetres, seeded); and scanning a folder
// of 100 and 200 small surfaces against loading their ".dsp" files directly.
// After the runs the program prints the phases and the cost of doubling.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Status.h"
#include "project/actions/ProjectState.h"
#include "project/build/SurfaceBuild.h"
#include "project/files/SurfaceFiles.h"
#include "triangulation/Triangulator.h"

namespace {

namespace fs = std::filesystem;
using orvane::BuildResult;

constexpr double kSide = 10000;  // metres

fs::path BenchFolder() {
  return fs::temp_directory_path() / ("orvane-bench-build-" + std::to_string(::getpid()));
}

void AppendNumber(std::string& text, double v) {
  char buf[64];
  text.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3).ptr);
}

// folder/S.xyz with n points, and with zones also folder/S.bnd holding a
// 256-sided circle and a rectangle, which keep about 40% of the area.
fs::path ProjectOf(int64_t n, bool zones) {
  const fs::path dir = BenchFolder() / (std::to_string(n) + (zones ? "-zones" : ""));
  if (fs::exists(dir / "S.xyz")) return dir;
  fs::create_directories(dir);
  std::mt19937_64 rng(7654321 + static_cast<uint64_t>(n));
  std::uniform_real_distribution<double> east(500000, 500000 + kSide),
      north(4500000, 4500000 + kSide), up(80, 400);
  std::string text;
  text.reserve(static_cast<size_t>(n) * 34);
  for (int64_t i = 0; i < n; ++i) {
    for (double v : {east(rng), north(rng), up(rng)}) {
      AppendNumber(text, v);
      text += ' ';
    }
    text.back() = '\r';
    text += '\n';
  }
  std::ofstream(dir / "S.xyz", std::ios::binary) << text;
  if (zones) {
    std::string bnd;
    auto point = [&](double x, double y) {
      AppendNumber(bnd, x);
      bnd += ' ';
      AppendNumber(bnd, y);
      bnd += " 0\r\n";
    };
    for (int k = 0; k < 256; ++k) {
      const double a = 2 * std::numbers::pi * k / 256;
      point(500000 + 0.3 * kSide + 0.28 * kSide * std::cos(a),
            4500000 + 0.3 * kSide + 0.28 * kSide * std::sin(a));
    }
    bnd += "ZONA_INC\r\n";
    point(500000 + 0.65 * kSide, 4500000 + 0.55 * kSide);
    point(500000 + 0.95 * kSide, 4500000 + 0.55 * kSide);
    point(500000 + 0.95 * kSide, 4500000 + 0.95 * kSide);
    point(500000 + 0.65 * kSide, 4500000 + 0.95 * kSide);
    std::ofstream(dir / "S.bnd", std::ios::binary) << bnd;
  }
  return dir;
}

std::map<std::string, std::map<std::string, double>> phaseTimes;  // run -> phase -> seconds

void RunBuild(benchmark::State& state, bool zones, const char* run) {
  const fs::path dir = ProjectOf(state.range(0), zones);
  orvane::StatusSilencer quiet;
  std::map<std::string, double> phases;
  int64_t runs = 0;
  for (auto _ : state) {
    const BuildResult r = orvane::BuildSurface(dir, "S");
    if (!r.Status) state.SkipWithError(r.Status.Text().c_str());
    for (const BuildResult::Phase& p : r.Phases) phases[p.Name] += p.Seconds;
    ++runs;
    state.counters["triangles"] = r.TriangleCount;
  }
  for (auto& [name, s] : phases) {
    s /= static_cast<double>(runs);
    state.counters[name + " ms"] = s * 1000;
  }
  phaseTimes[std::string(run) + "/" + std::to_string(state.range(0)) + "/iterations:2"] = phases;
}

void BM_BuildSurface(benchmark::State& state) {
  RunBuild(state, false, "BM_BuildSurface");
}
void BM_BuildSurfaceTwoZones(benchmark::State& state) {
  RunBuild(state, true, "BM_BuildSurfaceTwoZones");
}

// count surfaces of about 500 points each in one folder.
fs::path SurfaceFolderOf(int64_t count) {
  const fs::path dir = BenchFolder() / ("surfaces-" + std::to_string(count));
  if (fs::exists(dir)) return dir;
  fs::create_directories(dir);
  std::mt19937_64 rng(99);
  std::uniform_real_distribution<double> u(0, 100);
  orvane::StatusSilencer quiet;
  for (int64_t s = 0; s < count; ++s) {
    orvane::PointList points;
    for (int i = 0; i < 500; ++i) points.AddVertex(500000 + u(rng), 4500000 + u(rng), u(rng));
    orvane::Triangulator tri;
    tri.Initialise(points);
    std::optional<orvane::TriangleMesh> mesh = tri.GetTriangleMesh(1000);
    char name[16];
    std::snprintf(name, sizeof name, "S%03d", static_cast<int>(s));
    mesh->Tag = std::string(name);
    (void)mesh->SaveToBinary(dir / (std::string(name) + ".dsp"));
  }
  return dir;
}

void BM_ScanProjectFolder(benchmark::State& state) {
  const fs::path dir = SurfaceFolderOf(state.range(0));
  for (auto _ : state) {
    orvane::Project().Surfaces.clear();
    orvane::ScanProjectFolder(dir, orvane::Project().Surfaces, orvane::Project().LoadedFiles,
                              "dsp");
    if (static_cast<int64_t>(orvane::Project().Surfaces.size()) != state.range(0))
      state.SkipWithError("wrong surface count");
  }
  orvane::Project().Surfaces.clear();
}

// The floor: the same files, named in advance, loaded one after the other.
void BM_LoadDspFiles(benchmark::State& state) {
  const fs::path dir = SurfaceFolderOf(state.range(0));
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
  for (auto _ : state) {
    for (const fs::path& f : files) {
      orvane::TriangleMesh m;
      if (!m.LoadFromBinary(f)) state.SkipWithError("cannot load");
      benchmark::DoNotOptimize(m.TriangleCount());
    }
  }
}

BENCHMARK(BM_BuildSurface)->Arg(500000)->Arg(1000000)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildSurfaceTwoZones)
    ->Arg(500000)
    ->Arg(1000000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanProjectFolder)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDspFiles)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  orvane::bench::Collector collector;
  if (!orvane::bench::RunAll(argc, argv, collector)) return 1;
  auto get = [&](const std::string& name) { return collector.Get(name).real; };
  for (const char* run : {"BM_BuildSurface", "BM_BuildSurfaceTwoZones"}) {
    for (const char* n : {"500000", "1000000"}) {
      const std::string key = std::string(run) + "/" + n + "/iterations:2";
      auto it = phaseTimes.find(key);
      if (it == phaseTimes.end()) continue;
      std::printf("%s %s points:", run, n);
      for (const char* phase :
           {"read", "decimate", "triangulate", "trim", "write dsp", "write tin"})
        if (it->second.count(phase)) std::printf(" %s %.0f ms,", phase, it->second[phase] * 1000);
      std::printf(" total %.0f ms\n", get(key));
    }
    const double half = get(std::string(run) + "/500000/iterations:2");
    const double full = get(std::string(run) + "/1000000/iterations:2");
    if (half > 0 && full > 0) std::printf("%s doubling: %.2fx\n", run, full / half);
    auto h = phaseTimes.find(std::string(run) + "/500000/iterations:2");
    auto f = phaseTimes.find(std::string(run) + "/1000000/iterations:2");
    if (h != phaseTimes.end() && f != phaseTimes.end() && h->second.count("trim") &&
        h->second["trim"] > 0)
      std::printf("%s trim doubling: %.2fx\n", run, f->second["trim"] / h->second["trim"]);
  }
  for (const char* n : {"100", "200"}) {
    const double scan = get(std::string("BM_ScanProjectFolder/") + n);
    const double load = get(std::string("BM_LoadDspFiles/") + n);
    if (scan > 0 && load > 0)
      std::printf("%s surfaces: scan %.2f ms, loading the .dsp files alone %.2f ms, ratio %.2f\n",
                  n, scan, load, scan / load);
  }
  std::error_code ec;
  fs::remove_all(BenchFolder(), ec);
  return 0;
}
