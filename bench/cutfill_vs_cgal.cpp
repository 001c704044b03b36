// Cut and fill side by side with CGAL's exact plan overlay of the same two
// surfaces.
//
// Inputs (written once as .dsp files in --dir, then reused): two surfaces
// of N points each, uniform at one point per 100 m2 over squares of side
// 10 sqrt(N) m at survey coordinates (eastings from 500,000, northings from
// 4,500,000, millimetre resolution), each triangulated on its own; the
// second square is shifted by 30 % of the side east and 20 % north, so the
// two overlap on 56 % of each. Heights: two different smooth terrains that
// cross each other many times.
//
// What is timed, each in a fresh process (this program re-executed with
// --child) so that its peak resident set (getrusage of the child, the loaded
// surfaces included) belongs to it alone:
//   ours  CutAndFillVolumes (plan overlay, both rebuilds, volumes), the
//         overlay segments in compact form; our progress events are silent.
//         It uses the machine's cores where it can (the overlay's triangle
//         pairs, the two rebuilds of surfaces up to a few hundred thousand
//         points): the processor column adds up its threads.
//   ours, B not rebuilt
//         the same call with no rebuilt B asked for, as the window and
//         orvane-tin cutfill without --out-b make it: same overlay, A
//         rebuilt and volumes (the line shows them, to compare).
//   CGAL  two Arrangement_2 (Arr_segment_traits_2 over
//         Exact_predicates_exact_constructions_kernel), each built from its
//         surface's edges (each edge once, insert_non_intersecting_curves),
//         then CGAL::overlay of the two into a third.
// Not timed: loading the surfaces. Each figure is the best wall and
// processor time and the largest peak over --repeat processes.
//
//   cutfill_vs_cgal [--sizes 100000,500000,1000000] [--cgal-up-to N] [--repeat R] [--dir D]

#include <CGAL/Arr_overlay_2.h>
#include <CGAL/Arr_segment_traits_2.h>
#include <CGAL/Arrangement_2.h>
#include <CGAL/Exact_predicates_exact_constructions_kernel.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/CutAndFill.h"
#include "analysis/MeshIntersection.h"
#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Feedback.h"
#include "core/support/Status.h"
#include "triangulation/Triangulator.h"

namespace {

namespace fs = std::filesystem;

constexpr double kEast = 500000, kNorth = 4500000;  // metres

double Side(int64_t n) {
  return 10 * std::sqrt(static_cast<double>(n));
}

fs::path SurfaceFile(const fs::path& dir, int64_t n, char which) {
  return dir / ("cutfill_" + std::to_string(n) + "_" + which + ".dsp");
}

// N points over the square from (x0, y0), heights of one of two terrains.
orvane::TriangleMesh MakeSurface(int64_t n, double x0, double y0, bool second, uint64_t seed) {
  std::mt19937_64 rng(seed);
  const double side = Side(n);
  std::uniform_int_distribution<int64_t> mm(0, static_cast<int64_t>(side * 1000));
  orvane::PointList pts;
  pts.Reserve(static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) {
    const double x = x0 + static_cast<double>(mm(rng)) / 1000;
    const double y = y0 + static_cast<double>(mm(rng)) / 1000;
    const double z = second ? 100 + 3 * std::sin(x / 90) + 2 * std::cos(y / 70)
                            : 100 + 0.002 * x + 4 * std::sin((x + y) / 150);
    pts.AddVertex(kEast + x, kNorth + y, z, 0);
  }
  // Points closer than 0.001 m would be refused; thin them as a build would.
  pts.Decimate(0.002, false);
  orvane::StatusSilencer quiet;
  orvane::Triangulator t;
  t.Initialise(pts);
  std::optional<orvane::TriangleMesh> mesh = t.GetTriangleMesh(1e9);
  if (!mesh) {
    std::fprintf(stderr, "triangulation failed\n");
    std::exit(1);
  }
  mesh->Reindex();
  return std::move(*mesh);
}

void EnsureInputs(const fs::path& dir, int64_t n) {
  fs::create_directories(dir);
  const double side = Side(n);
  for (const char which : {'a', 'b'}) {
    const fs::path file = SurfaceFile(dir, n, which);
    if (fs::exists(file)) continue;
    std::fprintf(stderr, "writing %s\n", file.c_str());
    orvane::TriangleMesh m = which == 'a' ? MakeSurface(n, 0, 0, false, 1)
                                          : MakeSurface(n, 0.3 * side, 0.2 * side, true, 2);
    (void)m.SaveToBinary(file);
    if (m.LastErrorCode != 0) {
      std::fprintf(stderr, "cannot write %s\n", file.c_str());
      std::exit(1);
    }
  }
}

double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// With ORVANE_PHASES set, each phase's wall and processor seconds on stderr.
class PhaseClock : public orvane::Feedback {
 public:
  void Phase(std::string_view code) override {
    if (!on_) return;
    Report();
    code_ = code;
    start_ = std::chrono::steady_clock::now();
    cpu_ = CpuSeconds();
  }
  ~PhaseClock() override {
    if (on_) Report();
  }

 private:
  void Report() {
    if (code_.empty()) return;
    std::fprintf(stderr, "  %-26s %7.2f s wall %7.2f s cpu\n", code_.c_str(),
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(),
                 CpuSeconds() - cpu_);
  }
  bool on_ = std::getenv("ORVANE_PHASES") != nullptr;
  std::string code_;
  std::chrono::steady_clock::time_point start_;
  double cpu_ = 0;
};

// withB: both rebuilt surfaces returned; without, B is not rebuilt (as the
// window and orvane-tin cutfill without --out-b ask).
int RunOurs(const orvane::TriangleMesh& A, const orvane::TriangleMesh& B, bool withB) {
  orvane::StatusSilencer quiet;
  const auto start = std::chrono::steady_clock::now();
  const double cpu0 = CpuSeconds();
  orvane::TriangleMesh m1, m2;
  std::vector<orvane::PlanSegment> overlay;
  double cut = 0, fill = 0, area = 0;
  {
    PhaseClock phases;
    (void)orvane::CutAndFillVolumes(A, B, 0, m1, withB ? &m2 : nullptr, overlay, cut, fill, &area,
                                    phases);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("seconds=%.6f cpu=%.6f faces=%d segments=%zu cut=%.3f fill=%.3f area=%.3f\n", seconds,
              CpuSeconds() - cpu0, m1.TriangleCount(), overlay.size(), cut, fill, area);
  return 0;
}

using Kernel = CGAL::Exact_predicates_exact_constructions_kernel;
using Traits = CGAL::Arr_segment_traits_2<Kernel>;
using Arrangement = CGAL::Arrangement_2<Traits>;

// The mesh's edges, each once, as segments.
std::vector<Traits::X_monotone_curve_2> Edges(const orvane::TriangleMesh& m) {
  std::vector<std::pair<int32_t, int32_t>> edges;
  edges.reserve(static_cast<size_t>(m.TriangleCount()) * 3);
  for (int32_t t = 1; t <= m.TriangleCount(); ++t) {
    const orvane::TriangleRec& r = m.Triangle(t);
    const int32_t v[3] = {static_cast<int32_t>(r.A.T), static_cast<int32_t>(r.B.T),
                          static_cast<int32_t>(r.C.T)};
    for (int e = 0; e < 3; ++e)
      edges.push_back({std::min(v[e], v[(e + 1) % 3]), std::max(v[e], v[(e + 1) % 3])});
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  std::vector<Traits::X_monotone_curve_2> out;
  out.reserve(edges.size());
  for (const auto& [a, b] : edges) {
    const orvane::PointRec &p = m.Point(a), &q = m.Point(b);
    out.emplace_back(Kernel::Point_2(p.X, p.Y), Kernel::Point_2(q.X, q.Y));
  }
  return out;
}

int RunCgal(const orvane::TriangleMesh& A, const orvane::TriangleMesh& B) {
  const auto start = std::chrono::steady_clock::now();
  const double cpu0 = CpuSeconds();
  Arrangement a, b, overlay;
  {
    const auto ea = Edges(A);
    CGAL::insert_non_intersecting_curves(a, ea.begin(), ea.end());
  }
  {
    const auto eb = Edges(B);
    CGAL::insert_non_intersecting_curves(b, eb.begin(), eb.end());
  }
  const double built =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CGAL::overlay(a, b, overlay);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("seconds=%.6f cpu=%.6f faces=%zu built=%.6f\n", seconds, CpuSeconds() - cpu0,
              overlay.number_of_faces(), built);
  return 0;
}

int Child(const std::string& side, int64_t n, const fs::path& dir) {
  orvane::TriangleMesh A, B;
  if (!A.LoadFromBinary(SurfaceFile(dir, n, 'a')) || !B.LoadFromBinary(SurfaceFile(dir, n, 'b')))
    return 1;
  if (side == "cgal") return RunCgal(A, B);
  return RunOurs(A, B, side == "ours");
}

struct Figure {
  bool ok = false;
  double seconds = 1e300, cpu = 1e300;
  long peakKb = 0;
  std::string faces, extra;
};

// One measurement in a fresh process; its stdout comes back through a pipe.
bool Measure(const std::string& side, int64_t n, const fs::path& dir, Figure& f) {
  int fd[2];
  if (pipe(fd) != 0) return false;
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    dup2(fd[1], STDOUT_FILENO);
    close(fd[0]);
    close(fd[1]);
    std::vector<std::string> args = {"cutfill_vs_cgal", "--child", side, std::to_string(n),
                                     dir.string()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv("/proc/self/exe", argv.data());
    _exit(127);
  }
  close(fd[1]);
  std::string out;
  char buf[4096];
  for (;;) {
    const ssize_t got = read(fd[0], buf, sizeof buf);
    if (got <= 0) break;
    out.append(buf, static_cast<size_t>(got));
  }
  close(fd[0]);
  int status = 0;
  rusage ru{};
  if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s %lld: child failed\n", side.c_str(), static_cast<long long>(n));
    return false;
  }
  std::map<std::string, std::string> fields;
  size_t pos = 0;
  while (pos < out.size()) {
    const size_t end = std::min(out.find_first_of(" \n", pos), out.size());
    const std::string field = out.substr(pos, end - pos);
    pos = end + 1;
    const size_t eq = field.find('=');
    if (eq != std::string::npos) fields[field.substr(0, eq)] = field.substr(eq + 1);
  }
  f.ok = true;
  f.seconds = std::min(f.seconds, std::atof(fields["seconds"].c_str()));
  f.cpu = std::min(f.cpu, std::atof(fields["cpu"].c_str()));
  f.peakKb = std::max(f.peakKb, ru.ru_maxrss);
  f.faces = fields["faces"];
  f.extra = side != "cgal"
                ? "segments " + fields["segments"] + ", cut " + fields["cut"] + " m3, fill " +
                      fields["fill"] + " m3, area " + fields["area"] + " m2"
                : "arrangements built in " + fields["built"] + " s";
  return true;
}

std::vector<int64_t> ParseSizes(const std::string& text) {
  std::vector<int64_t> out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = std::min(text.find(',', pos), text.size());
    out.push_back(std::atoll(text.substr(pos, end - pos).c_str()));
    pos = end + 1;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--child")
    return Child(argv[2], std::atoll(argv[3]), argv[4]);
  std::vector<int64_t> sizes{100000};
  int64_t cgalUpTo = 100000;
  int repeat = 3;
  fs::path dir = fs::temp_directory_path() / "orvane-cutfill-bench";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--sizes")
      sizes = ParseSizes(value);
    else if (key == "--cgal-up-to")
      cgalUpTo = std::atoll(value.c_str());
    else if (key == "--repeat")
      repeat = std::max(1, std::atoi(value.c_str()));
    else if (key == "--dir")
      dir = value;
    else {
      std::fprintf(stderr,
                   "usage: cutfill_vs_cgal [--sizes N,...] [--cgal-up-to N] [--repeat R] "
                   "[--dir D]\n");
      return 2;
    }
  }
  for (const int64_t n : sizes) {
    EnsureInputs(dir, n);
    Figure ours, oursA, cgal;
    const bool withCgal = n <= cgalUpTo;
    for (int r = 0; r < repeat; ++r) {
      if (!Measure("ours", n, dir, ours)) return 1;
      if (withCgal && !Measure("cgal", n, dir, cgal)) return 1;
      if (!Measure("ours-a", n, dir, oursA)) return 1;
    }
    std::printf("N = %lld points per surface\n", static_cast<long long>(n));
    std::printf("  ours  wall %8.3f s  cpu %8.3f s  peak %7.1f MB  faces %s (%s)\n", ours.seconds,
                ours.cpu, static_cast<double>(ours.peakKb) / 1024, ours.faces.c_str(),
                ours.extra.c_str());
    std::printf("  ours, B not rebuilt  wall %8.3f s  cpu %8.3f s  peak %7.1f MB  (%s)\n",
                oursA.seconds, oursA.cpu, static_cast<double>(oursA.peakKb) / 1024,
                oursA.extra.c_str());
    if (withCgal)
      std::printf("  CGAL  wall %8.3f s  cpu %8.3f s  peak %7.1f MB  faces %s (%s)\n", cgal.seconds,
                  cgal.cpu, static_cast<double>(cgal.peakKb) / 1024, cgal.faces.c_str(),
                  cgal.extra.c_str());
    std::fflush(stdout);
  }
  return 0;
}
