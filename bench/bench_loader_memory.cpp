// Peak memory of loading a mesh file, against the file's size.
//
// Writes three ".dsp" files of about --mb megabytes (default 120) to a
// temporary folder: one made almost entirely of empty class properties (4
// bytes each in the file), one whose triangles each carry a typical set
// ("Class" = an int32, "Zone" = a short text), and a plain mesh without
// properties for reference (a triangle carries three full corner copies:
// 112 bytes in memory for its 20 in the file). Each is then loaded by a
// fresh copy of this program, which reports its peak resident size (VmHWM)
// and the load time:
//
//   bench_loader_memory [--mb 120] [--dir /tmp] [--repeat 3] [--keep]
//
// Each file is loaded --repeat times; the wall and processor times shown
// are medians (the peak is the same every time).
//
// The files are written through the public mesh interface only (or byte by
// byte), so the same program built from an older tree measures that tree.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/model/TriangleMesh.h"

namespace {

namespace fs = std::filesystem;
using orvane::TriangleMesh;

// VmHWM of this process, kB.
long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

// Processor time of this process (user and system), seconds.
double CpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  const auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

// The child's side: load one file, print "peak start seconds cpu ok".
int LoadOne(const char* file) {
  const long start = PeakResidentKb();
  TriangleMesh mesh;
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  const bool ok = mesh.LoadFromBinary(file).Ok();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("%ld %ld %.3f %.3f %d\n", PeakResidentKb(), start, seconds, CpuSeconds() - cpu0,
              ok ? 1 : 0);
  return ok ? 0 : 1;
}

void PutI32(std::string& b, int32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>(static_cast<uint32_t>(v) >> (8 * i)));
}
void PutF64(std::string& b, double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<char>(u >> (8 * i)));
}
void PutPoint(std::string& b, double x, double y, double z, double t) {
  PutF64(b, x), PutF64(b, y), PutF64(b, z), PutF64(b, t);
}

// One triangle on three points, then `entries` empty class properties (an
// empty key and an empty value: 4 zero bytes each), written field by field.
void WriteEmptyClassProperties(const fs::path& file, int32_t entries) {
  std::string b;
  PutI32(b, 30);
  b.append(2, '\0');  // empty Tag
  PutI32(b, 0), PutI32(b, 0), PutI32(b, 0);
  PutI32(b, 1), PutI32(b, 3), PutI32(b, 0), PutI32(b, entries), PutI32(b, 0);
  PutPoint(b, 0, 0, 0, 0), PutPoint(b, 1, 1, 0, 0);  // extents
  PutPoint(b, 0, 0, 0, 0);                           // slot 0
  PutPoint(b, 0, 0, 0, 1), PutPoint(b, 1, 0, 0, 2), PutPoint(b, 0, 1, 0, 3);
  for (int k = 0; k < 5; ++k) PutI32(b, 0);  // triangle slot 0
  PutI32(b, 1), PutI32(b, 2), PutI32(b, 3), PutI32(b, 0), PutI32(b, 0);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << b;
  const std::string zeros(size_t{1} << 20, '\0');
  uint64_t left = (static_cast<uint64_t>(entries) + 1) * 4;  // slot 0 and the entries
  while (left > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, zeros.size()));
    out.write(zeros.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
}

// A grid of side x side points, two triangles per cell, indexed; with
// properties, each triangle carries "Class" and "Zone".
void WriteGrid(const fs::path& file, int32_t side, bool properties) {
  TriangleMesh m;
  m.Reserve(static_cast<size_t>(side) * side, 2 * static_cast<size_t>(side - 1) * (side - 1));
  for (int32_t j = 0; j < side; ++j)
    for (int32_t i = 0; i < side; ++i)
      m.AddPoint(500000 + 2.0 * i, 4500000 + 2.0 * j, 100 + 0.01 * ((i * 7 + j * 3) % 100));
  auto at = [side, &m](int32_t i, int32_t j) { return m.Point(j * side + i + 1); };
  int32_t t = 0;
  for (int32_t j = 0; j + 1 < side; ++j) {
    for (int32_t i = 0; i + 1 < side; ++i) {
      const orvane::PointRec a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
      m.AddTriangle(a.X, a.Y, a.Z, static_cast<int32_t>(a.T), b.X, b.Y, b.Z,
                    static_cast<int32_t>(b.T), c.X, c.Y, c.Z, static_cast<int32_t>(c.T));
      m.AddTriangle(a.X, a.Y, a.Z, static_cast<int32_t>(a.T), c.X, c.Y, c.Z,
                    static_cast<int32_t>(c.T), d.X, d.Y, d.Z, static_cast<int32_t>(d.T));
      for (int k = 0; k < 2 && properties; ++k) {
        ++t;
        m.SetTriProperty(t, "Class", int32_t{t % 7});
        m.SetTriProperty(t, "Zone", std::string(t % 3 == 0 ? "North" : "South"));
      }
    }
  }
  (void)m.SaveToBinary(file);
}

struct Result {
  long peakKb = 0, startKb = 0;
  double seconds = 0, cpu = 0;
  bool ok = false;
};

Result RunChild(const fs::path& file) {
  int pipefd[2];
  if (::pipe(pipefd) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipefd[1], STDOUT_FILENO);
    ::close(pipefd[0]);
    ::close(pipefd[1]);
    const std::string path = file.string();
    ::execl("/proc/self/exe", "bench_loader_memory", "--load", path.c_str(),
            static_cast<char*>(nullptr));
    std::_Exit(127);
  }
  ::close(pipefd[1]);
  std::string text;
  char buf[256];
  ssize_t n;
  while ((n = ::read(pipefd[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  ::close(pipefd[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  Result r;
  int ok = 0;
  if (std::sscanf(text.c_str(), "%ld %ld %lf %lf %d", &r.peakKb, &r.startKb, &r.seconds, &r.cpu,
                  &ok) == 5)
    r.ok = ok == 1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--load") == 0) return LoadOne(argv[2]);
  double mb = 120;
  fs::path dir = fs::temp_directory_path();
  bool keep = false;
  int repeat = 3;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--mb") == 0 && i + 1 < argc)
      mb = std::atof(argv[++i]);
    else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
      dir = argv[++i];
    else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
      repeat = std::max(1, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--keep") == 0)
      keep = true;
    else {
      std::fprintf(stderr, "usage: %s [--mb N] [--dir FOLDER] [--repeat N] [--keep]\n", argv[0]);
      return 2;
    }
  }
  dir /= "orvane-loader-memory-" + std::to_string(::getpid());
  fs::create_directories(dir);
  const double bytes = mb * 1e6;
  // A grid triangle with its set takes about 80 bytes in the file (20 for
  // the triangle, 16 for half a point, 16 for the set, 13 and 15 for the
  // entries); without one about 36.
  const auto side = [](double triangles) {
    return static_cast<int32_t>(std::sqrt(triangles / 2)) + 1;
  };
  struct Case {
    const char* name;
    fs::path file;
  };
  const std::vector<Case> cases = {{"empty class properties", dir / "empty-class.dsp"},
                                   {"typical triangle properties", dir / "typical.dsp"},
                                   {"no properties", dir / "plain.dsp"}};
  WriteEmptyClassProperties(cases[0].file, static_cast<int32_t>(bytes / 4));
  WriteGrid(cases[1].file, side(bytes / 80), true);
  WriteGrid(cases[2].file, side(bytes / 36), false);

  std::printf("%-28s %8s %12s %7s %12s %7s %7s\n", "file", "size MB", "peak RSS MB", "x size",
              "load RSS MB", "load s", "cpu s");
  int failures = 0;
  for (const Case& c : cases) {
    const double size = static_cast<double>(fs::file_size(c.file)) / 1e6;
    std::vector<Result> runs;
    for (int k = 0; k < repeat; ++k) runs.push_back(RunChild(c.file));
    // Medians of the wall and the processor times, apart.
    std::sort(runs.begin(), runs.end(),
              [](const Result& a, const Result& b) { return a.cpu < b.cpu; });
    const double cpu = runs[runs.size() / 2].cpu;
    std::sort(runs.begin(), runs.end(),
              [](const Result& a, const Result& b) { return a.seconds < b.seconds; });
    const Result r = runs[runs.size() / 2];
    if (!r.ok) ++failures;
    // "load RSS": the peak less what the program held before the load.
    std::printf("%-28s %8.1f %12.1f %7.2f %12.1f %7.2f %7.2f%s\n", c.name, size, r.peakKb / 1e3,
                r.peakKb / 1e3 / size, (r.peakKb - r.startKb) / 1e3, r.seconds, cpu,
                r.ok ? "" : "  (load failed)");
  }
  if (keep)
    std::printf("files kept in %s\n", dir.c_str());
  else
    fs::remove_all(dir);
  return failures == 0 ? 0 : 1;
}
