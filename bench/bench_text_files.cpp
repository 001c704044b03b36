// Reading a ".xyz" point file against its floor: reading the same bytes and
// converting every number with std::from_chars, nothing else. The files hold
// 1,000,000 and 500,000 survey points (eastings 5e5, northings 4.5e6, three
// decimals, CR LF), written once per run to the temporary folder. After the
// runs the program prints each ratio to the floor and the cost of doubling.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "core/storage/AtomicFile.h"
#include "formats/TextFiles.h"

namespace {

namespace fs = std::filesystem;

fs::path BenchFolder() {
  return fs::temp_directory_path() / ("orvane-bench-text-" + std::to_string(::getpid()));
}

fs::path PointFileOf(int64_t n) {
  static std::map<int64_t, fs::path> made;
  auto it = made.find(n);
  if (it != made.end()) return it->second;
  const fs::path dir = BenchFolder();
  fs::create_directories(dir);
  const fs::path file = dir / (std::to_string(n) + ".xyz");
  std::mt19937_64 rng(1234567 + static_cast<uint64_t>(n));
  std::uniform_real_distribution<double> east(500000, 510000), north(4500000, 4510000), up(80, 400);
  std::string text;
  text.reserve(static_cast<size_t>(n) * 34);
  char buf[64];
  for (int64_t i = 0; i < n; ++i) {
    for (double v : {east(rng), north(rng), up(rng)}) {
      text.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3).ptr);
      text += ' ';
    }
    text.back() = '\r';
    text += '\n';
  }
  std::ofstream(file, std::ios::binary) << text;
  made[n] = file;
  return file;
}

void BM_ReadPointFile(benchmark::State& state) {
  const fs::path file = PointFileOf(state.range(0));
  for (auto _ : state) {
    orvane::PointFile read = orvane::ReadPointFile(file);
    if (read.Points.count() != state.range(0)) state.SkipWithError("wrong point count");
    benchmark::DoNotOptimize(read.Points.Points().data());
  }
  state.counters["MB"] = static_cast<double>(fs::file_size(file)) / 1e6;
}

// The floor: the bytes into memory, then from_chars over every number.
void BM_BytesAndFromChars(benchmark::State& state) {
  const fs::path file = PointFileOf(state.range(0));
  for (auto _ : state) {
    auto bytes = orvane::ReadWholeFile(file, uint64_t{1} << 32);
    if (!bytes) state.SkipWithError("cannot read");
    const char* p = reinterpret_cast<const char*>(bytes->data());
    const char* end = p + bytes->size();
    double sum = 0, v = 0;
    int64_t numbers = 0;
    while (p < end) {
      const auto r = std::from_chars(p, end, v);
      if (r.ptr == p) {
        ++p;
        continue;
      }
      sum += v;
      ++numbers;
      p = r.ptr;
    }
    if (numbers != 3 * state.range(0)) state.SkipWithError("wrong number count");
    benchmark::DoNotOptimize(sum);
  }
}

BENCHMARK(BM_ReadPointFile)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BytesAndFromChars)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  orvane::bench::Collector collector;
  if (!orvane::bench::RunAll(argc, argv, collector)) return 1;
  orvane::bench::PrintRatios(collector, "BM_ReadPointFile", "ReadPointFile", "BM_BytesAndFromChars",
                             "bytes + from_chars", {"500000", "1000000"});
  std::error_code ec;
  fs::remove_all(BenchFolder(), ec);
  return 0;
}
