// SaveToBinary and LoadFromBinary of a grid mesh of about 1M points and 2M
// triangles (and of half that), each timed side by side with writing or
// reading the same number of bytes raw: one buffer through fwrite (followed
// by fsync, as the save syncs too) or fread into fresh memory.
//
//   bench_mesh_file                 the timings; "ratio" = mesh file / raw
//   bench_mesh_file --memory        resident memory after loading the full
//                                   and the half mesh, each in a fresh process
//   bench_mesh_file --load-only F   (internal) loads F and prints VmRSS/VmHWM

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "core/model/TriangleMesh.h"
#include "core/storage/Platform.h"

extern char** environ;

namespace {

using namespace orvane;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Grid sides: 1001 x 1001 = 1,002,001 points and 2,000,000 triangles; 708 x
// 708 = 501,264 points and 999,698 triangles.
constexpr int kFullSide = 1001;
constexpr int kHalfSide = 708;

// A survey-sized grid at 1 m spacing with seeded elevations.
TriangleMesh GridMesh(int side) {
  TriangleMesh m;
  const size_t n = static_cast<size_t>(side);
  m.Reserve(n * n, 2 * (n - 1) * (n - 1));
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> z(100.0, 130.0);
  for (int j = 0; j < side; ++j)
    for (int i = 0; i < side; ++i) m.AddPoint(500000.0 + i, 4500000.0 + j, z(rng));
  for (int j = 0; j + 1 < side; ++j) {
    for (int i = 0; i + 1 < side; ++i) {
      int32_t a = j * side + i + 1, b = a + 1, c = a + side, d = c + 1;
      auto p = [&](int32_t k) { return m.Point(k); };
      m.AddTriangle(p(a).X, p(a).Y, p(a).Z, a, p(b).X, p(b).Y, p(b).Z, b, p(d).X, p(d).Y, p(d).Z,
                    d);
      m.AddTriangle(p(a).X, p(a).Y, p(a).Z, a, p(d).X, p(d).Y, p(d).Z, d, p(c).X, p(c).Y, p(c).Z,
                    c);
    }
  }
  return m;
}

fs::path Folder() {
  static const fs::path folder = [] {
    fs::path f = fs::path(TempFolder()) / ("orvane-bench-mesh-" + std::to_string(::getpid()));
    fs::create_directories(f);
    return f;
  }();
  return folder;
}

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void RawWrite(const fs::path& file, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fflush(f);
  ::fsync(::fileno(f));
  std::fclose(f);
}

// Into fresh memory, like a loaded mesh; freed by the caller outside the
// timing, as the loaded mesh is.
std::unique_ptr<uint8_t[]> RawRead(const fs::path& file, size_t n) {
  std::unique_ptr<uint8_t[]> buf(new uint8_t[n]);
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return nullptr;
  if (std::fread(buf.get(), 1, n, f) != n) buf.reset();
  std::fclose(f);
  benchmark::DoNotOptimize(buf.get());
  return buf;
}

void Report(benchmark::State& state, double mine, double raw, uint64_t bytes) {
  const double n = static_cast<double>(state.iterations());
  state.counters["mesh_ms"] = 1000 * mine / n;
  state.counters["raw_ms"] = 1000 * raw / n;
  state.counters["ratio"] = mine / raw;
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_SaveToBinary(benchmark::State& state) {
  TriangleMesh mesh = GridMesh(static_cast<int>(state.range(0)));
  const fs::path file = Folder() / "save.dsp";
  const fs::path raw = Folder() / "raw.bin";
  const uint64_t size = [&] {
    (void)mesh.SaveToBinary(file);
    return fs::file_size(file);
  }();
  std::vector<uint8_t> buffer(size, 0x5A);
  double mine = 0, peer = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    (void)mesh.SaveToBinary(file);
    auto t1 = Clock::now();
    auto t2 = Clock::now();  // fopen "wb" truncates the old file, as the save replaces it
    RawWrite(raw, buffer);
    auto t3 = Clock::now();
    mine += Seconds(t0, t1);
    peer += Seconds(t2, t3);
    state.SetIterationTime(Seconds(t0, t1));
  }
  if (mesh.LastErrorCode != 0) state.SkipWithError("save failed");
  Report(state, mine, peer, size);
}

void BM_LoadFromBinary(benchmark::State& state) {
  const fs::path file = Folder() / "load.dsp";
  (void)GridMesh(static_cast<int>(state.range(0))).SaveToBinary(file);
  const uint64_t size = fs::file_size(file);
  double mine = 0, peer = 0;
  bool ok = true;
  for (auto _ : state) {
    auto mesh = std::make_unique<TriangleMesh>();
    auto t0 = Clock::now();
    ok = mesh->LoadFromBinary(file).Ok() && ok;
    auto t1 = Clock::now();
    auto raw = RawRead(file, size);
    auto t2 = Clock::now();
    ok = ok && raw;
    mesh.reset();
    raw.reset();
    mine += Seconds(t0, t1);
    peer += Seconds(t1, t2);
    state.SetIterationTime(Seconds(t0, t1));
  }
  if (!ok) state.SkipWithError("load failed");
  Report(state, mine, peer, size);
}

BENCHMARK(BM_SaveToBinary)
    ->Arg(kHalfSide)
    ->Arg(kFullSide)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFromBinary)
    ->Arg(kHalfSide)
    ->Arg(kFullSide)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// --- resident memory ------------------------------------------------------------

std::string StatusLine(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return line;
  return std::string(key) + " ?";
}

int LoadOnly(const char* file) {
  TriangleMesh mesh;
  if (!mesh.LoadFromBinary(file)) {
    std::printf("load failed: %s\n", file);
    return 1;
  }
  std::printf("  %d points, %d triangles: %s | %s\n", mesh.PointCount(), mesh.TriangleCount(),
              StatusLine("VmRSS:").c_str(), StatusLine("VmHWM:").c_str());
  return 0;
}

int MeasureMemory(const char* self) {
  for (int side : {kHalfSide, kFullSide}) {
    const fs::path file = Folder() / ("memory-" + std::to_string(side) + ".dsp");
    (void)GridMesh(side).SaveToBinary(file);
    std::printf("grid %d x %d, file %.1f MB, loaded in a fresh process:\n", side, side,
                static_cast<double>(fs::file_size(file)) / 1e6);
    std::fflush(stdout);
    std::string arg1 = "--load-only", arg2 = file.string();
    char* argv[] = {const_cast<char*>(self), arg1.data(), arg2.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, environ) != 0) return 1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    fs::remove(file);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--load-only") == 0) return LoadOnly(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "--memory") == 0) {
    int rc = MeasureMemory(argv[0]);
    fs::remove_all(Folder());
    return rc;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(Folder());
  return 0;
}
