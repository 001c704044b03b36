// The triangulator side by side with CGAL's 2-D triangulations, on the same
// seeded inputs, in one run:
//
//   uniform      N uniform points over 10 km x 10 km at survey coordinates
//                (eastings from 500,000, northings from 4,500,000, millimetre
//                resolution)
//   corridor     N points in a 60 m (east) x 20 km (north) strip
//   constrained  N points in a disc of 5 km radius, 1 breakline of 20
//                segments per 1,000 points (non-crossing, one per 250 m cell)
//                and a 1,000-vertex boundary enclosing the disc
//   grid         a regular n x n grid, 10 m spacing, n = round(sqrt(N))
//   uniform-brk  the uniform points with 400 breaklines of 20 segments (one
//                per 250 m cell) and a 68-vertex square boundary 1 m outside
//                the points: 8,068 segments
//   grid-brk     the grid with the same kind of breaklines and boundary
//   corridor-brk the corridor with three breaklines along it (its edges and
//                centre line, 10 m segments): 6,000 segments
//
// each at N = 1,000,000 and 500,000 (the half size keeps the area, so the
// density halves; the grid keeps its spacing). What is timed:
//   ours   Triangulator::Initialise + GetTriangleMesh (breakline and boundary
//          vertices matched or appended to the point list, X sort, insertion,
//          constraints, clipping, and the TriangleMesh with its point list).
//   CGAL   Delaunay_triangulation_2 (Epick, vertex info = point index), range
//          insertion of (point, index) pairs; for "constrained",
//          Constrained_Delaunay_triangulation_2 (Epick, Exact_predicates_tag,
//          same vertex info): range insertion of every point (breakline and
//          boundary vertices included), a table from index to vertex handle,
//          then one insert_constraint per segment.
// Not timed on either side: generating the input (our PointList, CGAL's
// vector of pairs) and destroying the result. Our progress events are
// silenced (nobody listens). ladoMax is 1e9 m so that no triangle is
// filtered; without constraints both sides cover the convex hull, so the
// triangle counts agree.
//
// Every measurement runs in a fresh process (this program re-executed with
// --child), so that each peak resident set (getrusage ru_maxrss of the child:
// input included, plus the few MB this driver held when it forked) belongs to
// one side, one case and one build only. Each figure is the best wall time,
// the best processor time and the largest peak of --repeat such processes
// (default 3; the two sides alternate, so that a burst of load from other
// processes on the machine does not fall on one side only).
//
// Our side uses every core (two threads where it can); --threads 1 keeps it
// on one thread (the results are the same, byte for byte).
//
//   triangulator_vs_cgal [--repeat R] [--seed S] [--threads T]
//                        [--cases uniform,corridor,constrained,grid,uniform-brk,
//                                 grid-brk,corridor-brk,build]

#include <CGAL/Constrained_Delaunay_triangulation_2.h>
#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/support/NumberText.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"
#include "project/actions/ProjectState.h"
#include "project/build/SurfaceBuild.h"
#include "triangulation/Triangulator.h"

namespace {

// --- text helpers (locale-free) ------------------------------------------------

std::string Fixed(double v, int decimals) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, r.ptr);
}

std::string Int(int64_t v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::optional<double> ParseDouble(std::string_view s) {
  double v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<int64_t> ParseInt(std::string_view s) {
  int64_t v = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return v;
}

std::string Pad(std::string s, size_t width, bool right = true) {
  if (s.size() >= width) return s;
  const std::string fill(width - s.size(), ' ');
  return right ? fill + s : s + fill;
}

// --- inputs --------------------------------------------------------------------

enum class Case {
  Uniform,
  Corridor,
  Constrained,
  Grid,
  UniformBreaklines,
  GridBreaklines,
  CorridorBreaklines,
  Build
};
constexpr Case kAllCases[] = {
    Case::Uniform,           Case::Corridor,       Case::Constrained,        Case::Grid,
    Case::UniformBreaklines, Case::GridBreaklines, Case::CorridorBreaklines, Case::Build};

// The case whose loose points a case shares.
Case PointsOf(Case c) {
  switch (c) {
    case Case::UniformBreaklines:
    case Case::Build:
      return Case::Uniform;
    case Case::GridBreaklines:
      return Case::Grid;
    case Case::CorridorBreaklines:
      return Case::Corridor;
    default:
      return c;
  }
}

bool HasConstraints(Case c) {
  return c == Case::Constrained || c == Case::UniformBreaklines || c == Case::GridBreaklines ||
         c == Case::CorridorBreaklines;
}

const char* CaseName(Case c) {
  switch (c) {
    case Case::Uniform:
      return "uniform";
    case Case::Corridor:
      return "corridor";
    case Case::Constrained:
      return "constrained";
    case Case::Grid:
      return "grid";
    case Case::UniformBreaklines:
      return "uniform-brk";
    case Case::GridBreaklines:
      return "grid-brk";
    case Case::CorridorBreaklines:
      return "corridor-brk";
    case Case::Build:
      return "build";
  }
  return "?";
}

std::optional<Case> CaseFromName(std::string_view s) {
  for (Case c : kAllCases)
    if (s == CaseName(c)) return c;
  return std::nullopt;
}

constexpr double kEast = 500000, kNorth = 4500000;  // metres
constexpr double kDiscRadius = 5000;                // metres, constrained case
constexpr int kBoundaryVertices = 1000;
constexpr int kSegmentsPerBreakline = 20;
constexpr double kCell = 250;  // metres, one breakline per cell

// Survey coordinates carry millimetres.
double Mm(double v) {
  return std::round(v * 1000) / 1000;
}

struct XYZ {
  double x, y, z;
};

// The loose points of a case, in generation order, handed to emit(x, y, z).
template <class Emit>
void ForEachPoint(Case c, int64_t n, uint64_t seed, Emit&& emit) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  auto z = [&] { return Mm(100 + 50 * unit(rng)); };
  switch (PointsOf(c)) {
    case Case::Uniform:
      for (int64_t i = 0; i < n; ++i) {
        const double x = Mm(kEast + 10000 * unit(rng)), y = Mm(kNorth + 10000 * unit(rng));
        emit(x, y, z());
      }
      break;
    case Case::Corridor:
      for (int64_t i = 0; i < n; ++i) {
        const double x = Mm(kEast + 60 * unit(rng)), y = Mm(kNorth + 20000 * unit(rng));
        emit(x, y, z());
      }
      break;
    case Case::Constrained:
      for (int64_t i = 0; i < n;) {
        const double u = 2 * unit(rng) - 1, v = 2 * unit(rng) - 1;
        if (u * u + v * v >= 1) continue;
        emit(Mm(kEast + kDiscRadius * (1 + u)), Mm(kNorth + kDiscRadius * (1 + v)), z());
        ++i;
      }
      break;
    case Case::Grid: {
      const auto side = static_cast<int64_t>(std::llround(std::sqrt(static_cast<double>(n))));
      for (int64_t r = 0; r < side; ++r)
        for (int64_t col = 0; col < side; ++col)
          emit(kEast + 10.0 * static_cast<double>(col), kNorth + 10.0 * static_cast<double>(r),
               z());
      break;
    }
    default:
      break;
  }
}

struct Constraints {
  std::vector<std::vector<XYZ>> breaklines;  // open polylines
  std::vector<XYZ> boundary;                 // closed: last vertex repeats the first
};

// Breaklines are x-monotone random walks of 20 segments, each inside its own
// 250 m cell, so none crosses another or itself.
void AddCellBreaklines(std::vector<std::pair<double, double>> cells, size_t lines,
                       std::mt19937_64& rng, Constraints& out) {
  std::uniform_real_distribution<double> unit(0, 1);
  std::shuffle(cells.begin(), cells.end(), rng);
  lines = std::min(cells.size(), lines);
  const double step = (kCell - 50) / kSegmentsPerBreakline;
  for (size_t k = 0; k < lines; ++k) {
    const auto [x0, y0] = cells[k];
    std::vector<XYZ> line;
    double y = y0 + kCell / 2;
    for (int i = 0; i <= kSegmentsPerBreakline; ++i) {
      const double x = x0 + 25 + i * step + (unit(rng) - 0.5) * step / 2;
      y = std::clamp(y + (unit(rng) - 0.5) * 12, y0 + 20, y0 + kCell - 20);
      line.push_back({Mm(x), Mm(y), Mm(100 + 50 * unit(rng))});
    }
    out.breaklines.push_back(std::move(line));
  }
}

// The disc: breaklines in the cells wholly inside it, one per 1,000 points,
// and a regular polygon whose inscribed circle encloses the disc.
Constraints DiscConstraints(int64_t n, std::mt19937_64& rng) {
  Constraints out;
  const double cx = kEast + kDiscRadius, cy = kNorth + kDiscRadius;
  std::vector<std::pair<double, double>> cells;  // south-west corners
  const int perSide = static_cast<int>(2 * kDiscRadius / kCell);
  for (int r = 0; r < perSide; ++r) {
    for (int c = 0; c < perSide; ++c) {
      const double x0 = kEast + c * kCell, y0 = kNorth + r * kCell;
      bool inside = true;
      for (double dx : {0.0, kCell})
        for (double dy : {0.0, kCell})
          inside = inside && std::hypot(x0 + dx - cx, y0 + dy - cy) < kDiscRadius;
      if (inside) cells.push_back({x0, y0});
    }
  }
  AddCellBreaklines(std::move(cells), static_cast<size_t>(n / 1000), rng, out);
  const double radius = kDiscRadius * 1.001;
  const double pi = std::acos(-1.0);
  for (int i = 0; i < kBoundaryVertices; ++i) {
    const double a = 2 * pi * i / kBoundaryVertices;
    out.boundary.push_back({Mm(cx + radius * std::cos(a)), Mm(cy + radius * std::sin(a)), 120});
  }
  out.boundary.push_back(out.boundary.front());
  return out;
}

// A square of side `side` from (kEast, kNorth): breaklines in 400 of its cells
// at 1,000,000 points (in proportion below), and a square boundary of 68
// vertices 1 m outside it.
Constraints SquareConstraints(int64_t n, double side, std::mt19937_64& rng) {
  Constraints out;
  std::vector<std::pair<double, double>> cells;
  const int perSide = static_cast<int>(side / kCell);
  for (int r = 0; r < perSide; ++r)
    for (int c = 0; c < perSide; ++c) cells.push_back({kEast + c * kCell, kNorth + r * kCell});
  AddCellBreaklines(std::move(cells), static_cast<size_t>(n / 2500), rng, out);
  const double w = kEast - 1, s = kNorth - 1, e = kEast + side + 1, nn = kNorth + side + 1;
  const XYZ corners[] = {{w, s, 120}, {e, s, 120}, {e, nn, 120}, {w, nn, 120}, {w, s, 120}};
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 17; ++i) {
      const double t = i / 17.0;
      out.boundary.push_back({Mm(corners[k].x + t * (corners[k + 1].x - corners[k].x)),
                              Mm(corners[k].y + t * (corners[k + 1].y - corners[k].y)), 120});
    }
  out.boundary.push_back(out.boundary.front());
  return out;
}

// The corridor: its two edges and centre line as breaklines, northwards in
// 10 m steps at 1,000,000 points (20 m at 500,000), wavering by a few cm.
Constraints CorridorConstraints(int64_t n, std::mt19937_64& rng) {
  Constraints out;
  std::uniform_real_distribution<double> unit(0, 1);
  const int64_t segments = n / 500;
  for (double x : {0.5, 30.0, 59.5}) {
    std::vector<XYZ> line;
    for (int64_t i = 0; i <= segments; ++i)
      line.push_back({Mm(kEast + x + (unit(rng) - 0.5) * 0.1),
                      Mm(kNorth + 20000.0 * static_cast<double>(i) / static_cast<double>(segments)),
                      Mm(100 + 50 * unit(rng))});
    out.breaklines.push_back(std::move(line));
  }
  return out;
}

Constraints MakeConstraints(Case c, int64_t n, uint64_t seed) {
  std::mt19937_64 rng(seed ^ 0x9e3779b97f4a7c15ull);
  switch (c) {
    case Case::UniformBreaklines:
      return SquareConstraints(n, 10000, rng);
    case Case::GridBreaklines: {
      const auto side = static_cast<double>(std::llround(std::sqrt(static_cast<double>(n))));
      return SquareConstraints(n, 10.0 * (side - 1), rng);
    }
    case Case::CorridorBreaklines:
      return CorridorConstraints(n, rng);
    default:
      return DiscConstraints(n, rng);
  }
}

size_t SegmentCount(const Constraints& k) {
  size_t s = k.boundary.empty() ? 0 : k.boundary.size() - 1;
  for (const auto& line : k.breaklines) s += line.size() - 1;
  return s;
}

// --- measurements (child side) ---------------------------------------------------

using Clock = std::chrono::steady_clock;

// Wall and processor time of the build: on a machine shared with other
// work the processor time is the steadier figure (it leaves out the time the
// build waited for a core; it still pays for cache misses and page faults).
class Stopwatch {
 public:
  Stopwatch() : wall_(Clock::now()), cpu_(CpuNow()) {}
  double Wall() const { return std::chrono::duration<double>(Clock::now() - wall_).count(); }
  double Cpu() const { return CpuNow() - cpu_; }

 private:
  static double CpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
  }
  Clock::time_point wall_;
  double cpu_;
};

// Resident set now, kilobytes (0 when /proc is unreadable).
int64_t CurrentRssKb() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  char buf[128] = {};
  const size_t got = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  std::string_view s(buf, got);
  const size_t sp = s.find(' ');
  if (sp == std::string_view::npos) return 0;
  const size_t end = s.find(' ', sp + 1);
  const auto pages = ParseInt(s.substr(sp + 1, end - sp - 1));
  return pages ? *pages * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

struct Run {
  double seconds = 0, cpu = 0;
  int64_t points = 0;  // input points (loose + constraint vertices)
  int64_t triangles = 0;
  int64_t segments = 0;
  int64_t inputKb = 0;  // resident set with the input built, before the build
  std::string phases;   // ours: code:seconds of each phase
};

// The build case's input: the uniform points as a project surface's .xyz
// (written once per size and seed, outside the timing, and shared by both
// sides).
std::filesystem::path BuildFolder(int64_t n, uint64_t seed) {
  return std::filesystem::temp_directory_path() /
         ("orvane-vs-cgal-" + std::to_string(n) + "-" + std::to_string(seed));
}

std::filesystem::path WriteBuildInput(int64_t n, uint64_t seed) {
  const std::filesystem::path dir = BuildFolder(n, seed);
  std::filesystem::create_directories(dir);
  if (std::filesystem::exists(dir / "S.xyz")) return dir;
  std::string text;
  text.reserve(static_cast<size_t>(n) * 40);
  ForEachPoint(Case::Build, n, seed, [&](double x, double y, double z) {
    orvane::AppendNumber(text, x);
    text += ' ';
    orvane::AppendNumber(text, y);
    text += ' ';
    orvane::AppendNumber(text, z);
    text += "\r\n";
  });
  const std::filesystem::path tmp = dir / "S.xyz.part";
  std::ofstream(tmp, std::ios::binary) << text;
  std::filesystem::rename(tmp, dir / "S.xyz");
  return dir;
}

Run RunOursBuild(int64_t n, uint64_t seed) {
  orvane::StatusSilencer quiet;
  Run run;
  const std::filesystem::path dir = WriteBuildInput(n, seed);
  run.inputKb = CurrentRssKb();
  const Stopwatch watch;
  orvane::Feedback feedback;
  std::optional<orvane::TriangleMesh> built;
  const orvane::BuildResult result = orvane::BuildSurface(dir, "S", feedback, {}, &built);
  run.seconds = watch.Wall();
  run.cpu = watch.Cpu();
  if (!result.Status) std::fprintf(stderr, "ours, build: %s\n", result.Status.Text().c_str());
  run.points = built ? built->PointCount() : 0;
  run.triangles = built ? built->TriangleCount() : 0;
  for (const auto& [phase, seconds] : result.Phases)
    run.phases += phase + ":" + Fixed(seconds, 3) + ",";
  return run;
}

Run RunOurs(Case c, int64_t n, uint64_t seed) {
  if (c == Case::Build) return RunOursBuild(n, seed);
  orvane::StatusSilencer quiet;
  Run run;
  orvane::PointList points;
  points.Reserve(static_cast<size_t>(n));
  ForEachPoint(c, n, seed, [&](double x, double y, double z) { points.AddVertex(x, y, z); });
  std::vector<orvane::PointList> items;
  if (HasConstraints(c)) {
    const Constraints k = MakeConstraints(c, n, seed);
    run.segments = static_cast<int64_t>(SegmentCount(k));
    for (const auto& line : k.breaklines) {
      orvane::PointList item;
      item.Model = orvane::PointListModel::Breakline;
      for (const XYZ& p : line) item.AddVertex(p.x, p.y, p.z);
      items.push_back(std::move(item));
    }
    if (!k.boundary.empty()) {
      orvane::PointList ring;
      ring.Model = orvane::PointListModel::Boundary;
      for (const XYZ& p : k.boundary) ring.AddVertex(p.x, p.y, p.z);
      items.push_back(std::move(ring));
    }
  }
  run.inputKb = CurrentRssKb();

  const Stopwatch watch;
  orvane::Triangulator tri;
  tri.Initialise(points, items);
  std::optional<orvane::TriangleMesh> mesh = tri.GetTriangleMesh(1e9);
  run.seconds = watch.Wall();
  run.cpu = watch.Cpu();

  if (!mesh || tri.LastErrorCode != 0)
    std::fprintf(stderr, "ours, %s: error code %d\n", CaseName(c), tri.LastErrorCode);
  run.points = points.count();
  run.triangles = mesh ? mesh->TriangleCount() : 0;
  for (const auto& ph : tri.PhaseTimes())
    run.phases += std::string(ph.code) + ":" + Fixed(ph.seconds, 3) + ",";
  return run;
}

using K = CGAL::Exact_predicates_inexact_constructions_kernel;
using Vb = CGAL::Triangulation_vertex_base_with_info_2<uint32_t, K>;
using DtTds = CGAL::Triangulation_data_structure_2<Vb>;
using Delaunay = CGAL::Delaunay_triangulation_2<K, DtTds>;
using CdtFb = CGAL::Constrained_triangulation_face_base_2<K>;
using CdtTds = CGAL::Triangulation_data_structure_2<Vb, CdtFb>;
using Cdt = CGAL::Constrained_Delaunay_triangulation_2<K, CdtTds, CGAL::Exact_predicates_tag>;
using IndexedPoint = std::pair<K::Point_2, uint32_t>;

// CGAL's side of the build case: read the same text and triangulate it.
Run RunCgalBuild(int64_t n, uint64_t seed) {
  Run run;
  const std::filesystem::path file = WriteBuildInput(n, seed) / "S.xyz";
  run.inputKb = CurrentRssKb();
  const Stopwatch watch;
  std::string text;
  {
    std::ifstream in(file, std::ios::binary);
    in.seekg(0, std::ios::end);
    text.resize(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
  }
  std::vector<IndexedPoint> pts;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    double v[3] = {0, 0, 0};
    for (double& f : v) {
      while (p < end && (*p == ' ' || *p == '\r' || *p == '\n')) ++p;
      p = std::from_chars(p, end, f).ptr;
    }
    while (p < end && *p != '\n') ++p;
    if (p < end) ++p;
    pts.push_back({K::Point_2(v[0], v[1]), static_cast<uint32_t>(pts.size())});
  }
  auto dt = std::make_unique<Delaunay>();
  dt->insert(pts.begin(), pts.end());
  run.seconds = watch.Wall();
  run.cpu = watch.Cpu();
  run.points = static_cast<int64_t>(pts.size());
  run.triangles = static_cast<int64_t>(dt->number_of_faces());
  return run;
}

Run RunCgal(Case c, int64_t n, uint64_t seed) {
  if (c == Case::Build) return RunCgalBuild(n, seed);
  Run run;
  std::vector<IndexedPoint> pts;
  pts.reserve(static_cast<size_t>(n));
  auto add = [&](double x, double y) {
    pts.push_back({K::Point_2(x, y), static_cast<uint32_t>(pts.size())});
  };
  ForEachPoint(c, n, seed, [&](double x, double y, double) { add(x, y); });
  std::vector<std::pair<uint32_t, uint32_t>> segments;
  if (HasConstraints(c)) {
    const Constraints k = MakeConstraints(c, n, seed);
    auto polyline = [&](const std::vector<XYZ>& line, bool closed) {
      const auto first = static_cast<uint32_t>(pts.size());
      const size_t m = closed ? line.size() - 1 : line.size();
      for (size_t i = 0; i < m; ++i) add(line[i].x, line[i].y);
      for (size_t i = 1; i < line.size(); ++i) {
        const auto b = i < m ? first + static_cast<uint32_t>(i) : first;
        segments.push_back({first + static_cast<uint32_t>(i - 1), b});
      }
    };
    for (const auto& line : k.breaklines) polyline(line, false);
    if (!k.boundary.empty()) polyline(k.boundary, true);
  }
  run.inputKb = CurrentRssKb();

  if (!HasConstraints(c)) {
    const Stopwatch watch;
    auto dt = std::make_unique<Delaunay>();
    dt->insert(pts.begin(), pts.end());
    run.seconds = watch.Wall();
    run.cpu = watch.Cpu();
    run.triangles = static_cast<int64_t>(dt->number_of_faces());
  } else {
    const Stopwatch watch;
    auto cdt = std::make_unique<Cdt>();
    cdt->insert(pts.begin(), pts.end());
    std::vector<Cdt::Vertex_handle> handle(pts.size());
    for (auto v : cdt->finite_vertex_handles()) handle[v->info()] = v;
    // An exact duplicate keeps only one vertex; find it for the others.
    for (size_t i = 0; i < pts.size(); ++i)
      if (handle[i] == Cdt::Vertex_handle()) handle[i] = cdt->insert(pts[i].first);
    for (const auto& [a, b] : segments) cdt->insert_constraint(handle[a], handle[b]);
    run.seconds = watch.Wall();
    run.cpu = watch.Cpu();
    run.triangles = static_cast<int64_t>(cdt->number_of_faces());
  }
  run.points = static_cast<int64_t>(pts.size());
  run.segments = static_cast<int64_t>(segments.size());
  return run;
}

// The parent's --threads reaches the children through the environment.
constexpr const char* kThreadsVariable = "ORVANE_BENCH_THREADS";

// Runs one measurement and prints it as one line of key=value fields.
int ChildMain(Case c, bool ours, int64_t n, uint64_t seed) {
  if (const char* t = std::getenv(kThreadsVariable))
    orvane::SetThreadLimit(static_cast<unsigned>(ParseInt(t).value_or(0)));
  const Run run = ours ? RunOurs(c, n, seed) : RunCgal(c, n, seed);
  std::string line = "seconds=" + Fixed(run.seconds, 6) + " cpu=" + Fixed(run.cpu, 6) +
                     " points=" + Int(run.points) + " triangles=" + Int(run.triangles) +
                     " segments=" + Int(run.segments) + " input_kb=" + Int(run.inputKb) +
                     " phases=" + (run.phases.empty() ? "-" : run.phases) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  return 0;
}

// --- driver (parent side) ------------------------------------------------------------

struct Measured {
  bool ok = false;
  double seconds = 0, cpu = 0;
  int64_t points = 0, triangles = 0, segments = 0, inputKb = 0, peakKb = 0;
  std::string phases;
};

// Re-executes this program for one measurement; the child's stdout comes
// back through a pipe and its peak resident set through wait4.
Measured Measure(Case c, bool ours, int64_t n, uint64_t seed) {
  Measured m;
  int fd[2];
  if (pipe(fd) != 0) return m;
  const std::string nText = Int(n), seedText = Int(static_cast<int64_t>(seed));
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid < 0) return m;
  if (pid == 0) {
    dup2(fd[1], STDOUT_FILENO);
    close(fd[0]);
    close(fd[1]);
    std::vector<std::string> args = {"triangulator_vs_cgal", "--child", CaseName(c),
                                     ours ? "ours" : "cgal", nText,     seedText};
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
    std::fprintf(stderr, "%s/%s/%lld: child failed\n", CaseName(c), ours ? "ours" : "cgal",
                 static_cast<long long>(n));
    return m;
  }
  m.peakKb = ru.ru_maxrss;
  std::map<std::string, std::string, std::less<>> fields;
  std::string_view rest(out);
  while (!rest.empty()) {
    const size_t end = std::min(rest.find_first_of(" \n"), rest.size());
    const std::string_view field = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    const size_t eq = field.find('=');
    if (eq != std::string_view::npos)
      fields[std::string(field.substr(0, eq))] = std::string(field.substr(eq + 1));
  }
  const auto seconds = ParseDouble(fields["seconds"]);
  if (!seconds) return m;
  m.seconds = *seconds;
  m.cpu = ParseDouble(fields["cpu"]).value_or(0);
  m.points = ParseInt(fields["points"]).value_or(0);
  m.triangles = ParseInt(fields["triangles"]).value_or(0);
  m.segments = ParseInt(fields["segments"]).value_or(0);
  m.inputKb = ParseInt(fields["input_kb"]).value_or(0);
  m.phases = fields["phases"];
  m.ok = true;
  return m;
}

// Folds one more process into a figure: best time, largest peak.
void Keep(Measured& best, const Measured& m) {
  if (!m.ok) return;
  const int64_t peak = std::max(best.peakKb, m.peakKb);
  const double cpu = best.ok ? std::min(best.cpu, m.cpu) : m.cpu;
  if (!best.ok || m.seconds < best.seconds) best = m;
  best.peakKb = peak;
  best.cpu = cpu;
}

double Mb(int64_t kb) {
  return static_cast<double>(kb) / 1024;
}

std::string Ratio(double a, double b) {
  return b > 0 ? Fixed(a / b, 2) : "-";
}

int Usage() {
  std::fputs(
      "usage: triangulator_vs_cgal [--repeat R] [--seed S] [--threads T] "
      "[--cases uniform,corridor,constrained,grid,uniform-brk,grid-brk,corridor-brk,build]\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() == 5 && args[0] == "--child") {
    const auto c = CaseFromName(args[1]);
    const auto n = ParseInt(args[3]);
    const auto seed = ParseInt(args[4]);
    if (!c || !n || !seed || *n < 3) return Usage();
    return ChildMain(*c, args[2] == "ours", *n, static_cast<uint64_t>(*seed));
  }

  int repeat = 3;
  uint64_t seed = 20240611;
  std::vector<Case> cases(std::begin(kAllCases), std::end(kAllCases));
  for (size_t i = 0; i < args.size(); ++i) {
    if (i + 1 >= args.size()) return Usage();
    if (args[i] == "--repeat") {
      const auto v = ParseInt(args[++i]);
      if (!v || *v < 1) return Usage();
      repeat = static_cast<int>(*v);
    } else if (args[i] == "--threads") {
      const auto v = ParseInt(args[++i]);
      if (!v || *v < 1) return Usage();
      setenv(kThreadsVariable, std::string(args[i]).c_str(), 1);
    } else if (args[i] == "--seed") {
      const auto v = ParseInt(args[++i]);
      if (!v || *v < 0) return Usage();
      seed = static_cast<uint64_t>(*v);
    } else if (args[i] == "--cases") {
      cases.clear();
      std::string_view list = args[++i];
      while (!list.empty()) {
        const size_t comma = std::min(list.find(','), list.size());
        const auto c = CaseFromName(list.substr(0, comma));
        if (!c) return Usage();
        cases.push_back(*c);
        list.remove_prefix(std::min(comma + 1, list.size()));
      }
    } else {
      return Usage();
    }
  }

  std::printf("triangulator vs CGAL %d.%d.%d, seed %llu, %d processes per side and case\n",
              CGAL_VERSION_MAJOR, CGAL_VERSION_MINOR, CGAL_VERSION_PATCH,
              static_cast<unsigned long long>(seed), repeat);
  std::printf("ours: Initialise + GetTriangleMesh; CGAL: range insertion (+ constraints)\n");
  const char* threads = std::getenv(kThreadsVariable);
  std::printf("our threads: %s\n", threads ? threads : "every core");
  std::printf("s: wall seconds, cpu: processor seconds of the build (best of each); MB: peak\n\n");
  const std::string header = Pad("case", 12, false) + Pad("points", 9) + Pad("segments", 9) +
                             Pad("ours s", 8) + Pad("CGAL s", 8) + Pad("ratio", 6) +
                             Pad("ours cpu", 9) + Pad("CGAL cpu", 9) + Pad("ratio", 6) +
                             Pad("ours MB", 8) + Pad("CGAL MB", 8) + Pad("ratio", 6) +
                             Pad("triangles ours/CGAL", 22);
  std::printf("%s\n", header.c_str());

  struct Row {
    Case c;
    int64_t n;
    Measured ours, cgal;
  };
  std::vector<Row> rows;
  for (Case c : cases) {
    for (int64_t n : {int64_t{1000000}, int64_t{500000}}) {
      Row row{c, n, {}, {}};
      for (int r = 0; r < repeat; ++r) {
        Keep(row.ours, Measure(c, true, n, seed));
        Keep(row.cgal, Measure(c, false, n, seed));
      }
      if (c == Case::Build) {
        std::error_code ec;  // the build's input and output files
        std::filesystem::remove_all(BuildFolder(n, seed), ec);
      }
      const Measured &o = row.ours, &g = row.cgal;
      auto secs = [](const Measured& m, double v) { return m.ok ? Fixed(v, 3) : "fail"; };
      const bool both = o.ok && g.ok;
      std::string line =
          Pad(CaseName(c), 12, false) + Pad(Int(o.ok ? o.points : g.points), 9) +
          Pad(Int(g.segments), 9) + Pad(secs(o, o.seconds), 8) + Pad(secs(g, g.seconds), 8) +
          Pad(both ? Ratio(o.seconds, g.seconds) : "-", 6) + Pad(secs(o, o.cpu), 9) +
          Pad(secs(g, g.cpu), 9) + Pad(both ? Ratio(o.cpu, g.cpu) : "-", 6) +
          Pad(Fixed(Mb(o.peakKb), 0), 8) + Pad(Fixed(Mb(g.peakKb), 0), 8) +
          Pad(Ratio(static_cast<double>(o.peakKb), static_cast<double>(g.peakKb)), 6) +
          Pad(Int(o.triangles) + "/" + Int(g.triangles), 22);
      std::printf("%s\n", line.c_str());
      std::fflush(stdout);
      rows.push_back(std::move(row));
    }
  }

  std::printf(
      "\ndoubling (time at 1,000,000 / time at 500,000); vs uniform: our time for the case / our "
      "uniform time\n");
  std::printf("%s\n",
              (Pad("case", 12, false) + Pad("ours s", 8) + Pad("CGAL s", 8) + Pad("ours cpu", 9) +
               Pad("CGAL cpu", 9) + Pad("vs uniform s", 13) + Pad("vs uniform cpu", 15))
                  .c_str());
  const Row* uniformFull = nullptr;
  for (const Row& r : rows)
    if (r.c == Case::Uniform && r.n == 1000000 && r.ours.ok) uniformFull = &r;
  for (size_t i = 0; i + 1 < rows.size(); i += 2) {
    const Row &full = rows[i], &half = rows[i + 1];
    const Measured* u = uniformFull ? &uniformFull->ours : nullptr;
    std::printf(
        "%s\n",
        (Pad(CaseName(full.c), 12, false) + Pad(Ratio(full.ours.seconds, half.ours.seconds), 8) +
         Pad(Ratio(full.cgal.seconds, half.cgal.seconds), 8) +
         Pad(Ratio(full.ours.cpu, half.ours.cpu), 9) + Pad(Ratio(full.cgal.cpu, half.cgal.cpu), 9) +
         Pad(u ? Ratio(full.ours.seconds, u->seconds) : "-", 13) +
         Pad(u ? Ratio(full.ours.cpu, u->cpu) : "-", 15))
            .c_str());
  }

  std::printf("\nresident set with the input built, before the build (MB), and our phases (s)\n");
  for (const Row& r : rows) {
    std::printf("%s\n", (Pad(CaseName(r.c), 12, false) + Pad(Int(r.n), 8) + "  ours " +
                         Pad(Fixed(Mb(r.ours.inputKb), 0), 5) + "  CGAL " +
                         Pad(Fixed(Mb(r.cgal.inputKb), 0), 5) + "  " + r.ours.phases)
                            .c_str());
  }
  return 0;
}
