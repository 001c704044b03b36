// LandXML import: reading a document of 1,000,000 points and about
// 2,000,000 faces (a 1000 x 1000 grid of survey points, eastings 5e5,
// northings 4.5e6, millimetre offsets, seeded random relief, as this
// program exports it: CgPoints and the surface, about 160 MB), and the
// whole import into an empty project folder (reading, the mesh, and its
// ".dsp", ".tin", ".xyz" written and committed). Half the size is run too,
// for the cost of doubling.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "formats/LandXml.h"
#include "formats/LandXmlRead.h"
#include "project/operations/LandXmlImport.h"

namespace {

namespace fs = std::filesystem;

fs::path BenchFolder() {
  return fs::temp_directory_path() / ("orvane-bench-landxml-import-" + std::to_string(::getpid()));
}

// The document of a grid of the given number of points, written once.
fs::path DocumentOf(int64_t points) {
  const fs::path file = BenchFolder() / ("Bench" + std::to_string(points) + ".xml");
  if (fs::exists(file)) return file;
  const int nx = 1000, ny = static_cast<int>(points / nx);
  std::mt19937_64 rng(42 + static_cast<uint64_t>(points));
  std::uniform_real_distribution<double> relief(-0.5, 0.5);
  orvane::TriangleMesh mesh;
  mesh.Tag = std::string("Bench");
  mesh.Reserve(static_cast<size_t>(nx) * ny, size_t{2} * (nx - 1) * (ny - 1));
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i)
      mesh.AddPoint(500000 + 2.5 * i + 0.001 * (j % 7), 4500000 + 2.5 * j + 0.001 * (i % 5),
                    100 + 0.01 * i + relief(rng));
  for (int j = 0; j + 1 < ny; ++j)
    for (int i = 0; i + 1 < nx; ++i) {
      const int a = j * nx + i + 1, b = a + 1, c = a + nx, d = c + 1;
      for (auto [p, q, r] : {std::array{a, d, b}, std::array{a, c, d}}) {
        const orvane::PointRec &P = mesh.Point(p), &Q = mesh.Point(q), &R = mesh.Point(r);
        mesh.AddTriangle(P.X, P.Y, P.Z, p, Q.X, Q.Y, Q.Z, q, R.X, R.Y, R.Z, r);
      }
    }
  fs::create_directories(BenchFolder());
  const orvane::LandXmlClock clock{"2026-03-01", "14:05:09", "2026-03-01T14:05:09.250"};
  const orvane::LandXmlExport e = orvane::ExportLandXml(mesh, BenchFolder(), file, {}, clock);
  if (!e.ok()) std::fprintf(stderr, "%s\n", e.Written.Text().c_str());
  return file;
}

void BM_ReadLandXml(benchmark::State& state) {
  const fs::path file = DocumentOf(state.range(0));
  orvane::Feedback quiet;
  for (auto _ : state) {
    auto doc = orvane::ReadLandXml(file, {}, quiet);
    if (!doc) state.SkipWithError(doc.Error().Text().c_str());
    benchmark::DoNotOptimize(doc);
  }
  state.counters["MB"] = static_cast<double>(fs::file_size(file)) / 1e6;
}

void BM_ImportLandXml(benchmark::State& state) {
  const fs::path file = DocumentOf(state.range(0));
  const fs::path project = BenchFolder() / "project";
  orvane::Feedback quiet;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(project);
    fs::create_directories(project);
    state.ResumeTiming();
    auto change = orvane::ImportLandXmlFile(file, {}, {project, {}, {}}, quiet);
    if (!change) state.SkipWithError(change.Error().Text().c_str());
  }
  state.counters["MB"] = static_cast<double>(fs::file_size(file)) / 1e6;
}

BENCHMARK(BM_ReadLandXml)->Arg(500000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportLandXml)->Arg(500000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLandXml)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportLandXml)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  orvane::bench::Collector collector;
  const bool ok = orvane::bench::RunAll(argc, argv, collector);
  for (const char* n : {"500000", "1000000"}) {
    const auto read = collector.Get(std::string("BM_ReadLandXml/") + n);
    const auto whole = collector.Get(std::string("BM_ImportLandXml/") + n);
    if (whole.real > 0)
      std::printf("%s points: read %.1f ms (cpu %.1f), whole import %.1f ms (cpu %.1f)\n", n,
                  read.real, read.cpu, whole.real, whole.cpu);
  }
  std::error_code ec;
  fs::remove_all(BenchFolder(), ec);
  return ok ? 0 : 1;
}
