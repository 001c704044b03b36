// LandXML export against writing the same surface's ".tin": both turn every
// number of the surface into text and write it through a temporary file.
// The surfaces are grids of 1,000,000 and 500,000 survey points (eastings
// 5e5, northings 4.5e6, millimetre offsets, seeded random relief), two
// triangles per cell, with one zone and one breakline beside them. After the
// runs the program prints each ratio to the ".tin" write and the cost of
// doubling.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "formats/LandXml.h"
#include "project/files/SurfaceFiles.h"

namespace {

namespace fs = std::filesystem;

fs::path BenchFolder() {
  return fs::temp_directory_path() / ("orvane-bench-landxml-" + std::to_string(::getpid()));
}

// One surface at a time: a 1,000,000-point mesh takes about 300 MB.
const orvane::TriangleMesh& SurfaceOf(int64_t points) {
  static int64_t made = 0;
  static std::unique_ptr<orvane::TriangleMesh> mesh;
  if (made == points) return *mesh;
  mesh.reset();
  const int nx = 1000, ny = static_cast<int>(points / nx);
  std::mt19937_64 rng(42 + static_cast<uint64_t>(points));
  std::uniform_real_distribution<double> relief(-0.5, 0.5);
  mesh = std::make_unique<orvane::TriangleMesh>();
  mesh->Tag = std::string("Bench");
  mesh->Reserve(static_cast<size_t>(nx) * ny, size_t{2} * (nx - 1) * (ny - 1));
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i)
      mesh->AddPoint(500000 + 2.5 * i + 0.001 * (j % 7), 4500000 + 2.5 * j + 0.001 * (i % 5),
                     100 + 0.01 * i + relief(rng));
  for (int j = 0; j + 1 < ny; ++j)
    for (int i = 0; i + 1 < nx; ++i) {
      const int a = j * nx + i + 1, b = a + 1, c = a + nx, d = c + 1;
      for (auto [p, q, r] : {std::array{a, d, b}, std::array{a, c, d}}) {
        const orvane::PointRec &P = mesh->Point(p), &Q = mesh->Point(q), &R = mesh->Point(r);
        mesh->AddTriangle(P.X, P.Y, P.Z, p, Q.X, Q.Y, Q.Z, q, R.X, R.Y, R.Z, r);
      }
    }
  const fs::path dir = BenchFolder();
  fs::create_directories(dir);
  std::ofstream(dir / "Bench.bnd", std::ios::binary)
      << "500010 4500010 100\n502000 4500010 101\n502000 4501000 102\n";
  std::ofstream(dir / "Bench.brk", std::ios::binary)
      << "500100 4500100 100.5\n500900 4500700 101.25\n";
  made = points;
  return *mesh;
}

void BM_ExportLandXml(benchmark::State& state) {
  const orvane::TriangleMesh& mesh = SurfaceOf(state.range(0));
  const fs::path out = BenchFolder() / "Bench.xml";
  const orvane::LandXmlClock clock{"2026-03-01", "14:05:09", "2026-03-01T14:05:09.250"};
  for (auto _ : state) {
    const orvane::LandXmlExport result = orvane::ExportLandXml(mesh, BenchFolder(), out, {}, clock);
    if (!result.ok()) state.SkipWithError(result.Written.Text().c_str());
  }
  state.counters["MB"] = static_cast<double>(fs::file_size(out)) / 1e6;
}

void BM_WriteTriangleFile(benchmark::State& state) {
  // The writer turns counter-clockwise triangles around; a copy keeps the
  // export's input as generated (the grid is clockwise already, so every run
  // does the same work).
  orvane::TriangleMesh mesh = SurfaceOf(state.range(0)).Clone();
  const fs::path out = BenchFolder() / "Bench.tin";
  for (auto _ : state) {
    if (const orvane::Outcome written = orvane::WriteTriangleFile(mesh, out); !written)
      state.SkipWithError(written.Text().c_str());
  }
  state.counters["MB"] = static_cast<double>(fs::file_size(out)) / 1e6;
}

// Grouped by size so that each surface is generated once.
BENCHMARK(BM_ExportLandXml)->Arg(500000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTriangleFile)->Arg(500000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportLandXml)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTriangleFile)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  orvane::bench::Collector collector;
  if (!orvane::bench::RunAll(argc, argv, collector)) return 1;
  orvane::bench::PrintRatios(collector, "BM_ExportLandXml", "ExportLandXml", "BM_WriteTriangleFile",
                             "WriteTriangleFile", {"500000", "1000000"});
  std::error_code ec;
  fs::remove_all(BenchFolder(), ec);
  return 0;
}
