// The LAS import against its floor: a point cloud of 20,000,000 points
// (ORVANE_LAS_POINTS sets another count; point format 1, scale 0.001 m,
// survey offsets 500000 / 4500000, a ground point in every two), written once
// to the temporary folder and read warm from the page cache.
//   BM_ReadLas       reading and decoding the records alone (the floor);
//   BM_LasToXyz      the whole import of every point: read, select, exact
//                    decimal text, written to a temporary file in the folder
//                    (not synced: the disk's speed is no part of it);
//   BM_LasToXyzThin  the same with one point kept per 1 m cell.
// Items per second are points per second of wall-clock time. The file is
// removed at the end.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "formats/LasPointText.h"
#include "formats/LasReader.h"

namespace {

namespace fs = std::filesystem;

fs::path Folder() {
  return fs::temp_directory_path() / ("orvane-bench-las-" + std::to_string(::getpid()));
}

int64_t PointCount() {
  const char* n = std::getenv("ORVANE_LAS_POINTS");
  return n ? std::atoll(n) : 20'000'000;
}

// A LAS 1.2 file of point format 1, written field by field.
const fs::path& CloudFile() {
  static const fs::path file = [] {
    fs::create_directories(Folder());
    const fs::path f = Folder() / "cloud.las";
    const auto n = static_cast<uint32_t>(PointCount());
    std::vector<uint8_t> head(227);
    auto put = [&head](size_t at, const auto& v) { std::memcpy(head.data() + at, &v, sizeof v); };
    std::memcpy(head.data(), "LASF", 4);
    head[24] = 1;
    head[25] = 2;
    put(94, uint16_t{227});
    put(96, uint32_t{227});
    head[104] = 1;
    put(105, uint16_t{28});
    put(107, n);
    for (int k = 0; k < 3; ++k) put(131 + 8 * k, 0.001);
    put(155, 500000.0);
    put(163, 4500000.0);
    std::ofstream out(f, std::ios::binary);
    out.write(reinterpret_cast<const char*>(head.data()), 227);
    std::mt19937 rng(20261208);
    std::vector<uint8_t> batch;
    batch.reserve(28 << 16);
    uint8_t rec[28] = {};
    for (uint32_t i = 0; i < n; ++i) {
      const int32_t x = static_cast<int32_t>(rng() % 2'000'000),
                    y = static_cast<int32_t>(rng() % 2'000'000),
                    z = 80'000 + static_cast<int32_t>(rng() % 320'000);
      std::memcpy(rec, &x, 4);
      std::memcpy(rec + 4, &y, 4);
      std::memcpy(rec + 8, &z, 4);
      rec[14] = 1 | 1 << 3;
      rec[15] = i % 2 ? 2 : 1;
      batch.insert(batch.end(), rec, rec + 28);
      if (batch.size() >= (28u << 16)) {
        out.write(reinterpret_cast<const char*>(batch.data()),
                  static_cast<std::streamsize>(batch.size()));
        batch.clear();
      }
    }
    out.write(reinterpret_cast<const char*>(batch.data()),
              static_cast<std::streamsize>(batch.size()));
    out.close();
    // Read once, so that every run finds it in the page cache.
    std::ifstream in(f, std::ios::binary);
    batch.resize(batch.capacity());
    while (in.read(reinterpret_cast<char*>(batch.data()),
                   static_cast<std::streamsize>(batch.size()))) {
    }
    return f;
  }();
  return file;
}

void BM_ReadLas(benchmark::State& state) {
  CloudFile();  // written and read once before the timing
  for (auto _ : state) {
    orvane::Result<orvane::LasReader> r = orvane::LasReader::Open(CloudFile());
    if (!r) state.SkipWithError(r.Error().Text().c_str());
    std::vector<orvane::LasPoint> points;
    int64_t sum = 0;
    while (r->Next(points) && !points.empty())
      for (const orvane::LasPoint& p : points) sum += p.Z;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * PointCount());
}

void Import(benchmark::State& state, double thin) {
  orvane::LasSelection all = *orvane::ParseLasClasses("all");
  all.ThinCell = thin;
  CloudFile();
  for (auto _ : state) {
    orvane::Result<orvane::LasReader> r = orvane::LasReader::Open(CloudFile());
    if (!r) state.SkipWithError(r.Error().Text().c_str());
    orvane::Feedback feedback;
    orvane::Result<orvane::LasPointText> text =
        orvane::WriteLasPointText(*r, all, Folder() / "cloud.xyz", feedback);
    if (!text) state.SkipWithError(text.Error().Text().c_str());
    benchmark::DoNotOptimize(text->Count.Written);
    state.PauseTiming();
    text->Text->Discard();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * PointCount());
}

void BM_LasToXyz(benchmark::State& state) {
  Import(state, 0);
}
void BM_LasToXyzThin(benchmark::State& state) {
  Import(state, 1.0);
}

BENCHMARK(BM_ReadLas)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_LasToXyz)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_LasToXyzThin)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(Folder(), ec);
  return 0;
}
