#include "analysis/MeshIntersection.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>

#include "analysis/ElevationQueries.h"
#include "analysis/IntersectionKernels.h"
#include "analysis/PlanBoxGrid.h"
#include "analysis/SegmentDuplicates.h"
#include "core/geometry/Kernels.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/Platform.h"
#include "core/support/Status.h"
#include "core/support/Threads.h"

namespace orvane {

namespace {

using Outline = std::array<PointRec, 4>;  // three vertices and the first again

Outline OutlineOf(const PointRec& a, const PointRec& b, const PointRec& c) {
  return {a, b, c, a};
}

PlanBox BoxOf(const Outline& o) {
  return {MinOf(o[0].X, MinOf(o[1].X, o[2].X)), MinOf(o[0].Y, MinOf(o[1].Y, o[2].Y)),
          MaxOf(o[0].X, MaxOf(o[1].X, o[2].X)), MaxOf(o[0].Y, MaxOf(o[1].Y, o[2].Y))};
}

PlanBox BoxOf(const TriangleRec& t) {
  return BoxOf(OutlineOf(t.A, t.B, t.C));
}

// A triangle outline with the box beyond which the point-in-polygon
// classifier places nothing on or inside it, so that most points of a
// neighbouring triangle are answered without the angle sums. What the
// classifier accepts, with L the longest edge: points within 0.001 of a
// vertex; points seeing an edge under an angle within 0.001 rad of pi (a lens
// of half-width L/2 tan(0.0005)); the triangle itself plus a sliver as wide
// as the 32-bit angles' rounding; the rounding of coordinate differences
// (~1e-16 M at magnitude M, seen from at least 0.001 away) adds up to
// ~1e-13 M rad. 0.002 + eps + L tol with tol >= 0.0012 bounds all of it.
struct ClipOutline {
  Outline o;
  TriangleRec t;  // the same three vertices, for the orientation pre-test
  PlanBox reach;  // not used when !bounded (no finite box can be trusted)
  bool bounded = false;
};

ClipOutline WithReach(const Outline& o) {
  ClipOutline c{o, TriangleRec{o[0], o[1], o[2]}, BoxOf(o), false};
  const PlanBox& b = c.reach;
  const double magnitude =
      std::max({std::abs(b.xlo), std::abs(b.xhi), std::abs(b.ylo), std::abs(b.yhi)});
  double longest = 0;  // |dx| + |dy| >= the edge length
  for (size_t k = 0; k < 3; ++k)
    longest = std::max(longest, std::abs(o[k].X - o[k + 1].X) + std::abs(o[k].Y - o[k + 1].Y));
  const double eps = 1e-15 * magnitude;
  const double tol = 0.0012 + 1e4 * eps;
  const double margin = 0.002 + eps + longest * tol;
  c.reach = {b.xlo - margin, b.ylo - margin, b.xhi + margin, b.yhi + margin};
  c.bounded = tol <= 0.5 && std::isfinite(margin) && std::isfinite(c.reach.xlo) &&
              std::isfinite(c.reach.ylo) && std::isfinite(c.reach.xhi) &&
              std::isfinite(c.reach.yhi);
  return c;
}

// On a vertex, on an edge or inside; an inconclusive angle sum counts as
// outside. Most points are settled by the box or by orientation tests that
// give the classifier's own answer wherever they are sure of it.
bool OnOrInside(const ClipOutline& c, double x, double y) {
  if (c.bounded && (x < c.reach.xlo || x > c.reach.xhi || y < c.reach.ylo || y > c.reach.yhi))
    return false;
  if (const std::optional<bool> quick = QuickTriangleTest(c.t, x, y, true)) return *quick;
  const std::optional<PolygonLocation> where = PointInPolygon(std::span<const PointRec>(c.o), x, y);
  return where && *where >= PolygonLocation::OnVertex;
}

// Clips the edges of `edges` to the outline `clip`, in edge order, calling
// emit(x1, y1, x2, y2) for each piece. A crossing counts where the straddle
// test holds and the lines are not parallel; an edge that meets the outline
// at a single point gives nothing.
template <class Emit>
void ClipEdges(const Outline& edges, const ClipOutline& clipper, Emit&& emit) {
  const Outline& clip = clipper.o;
  // Each vertex ends two edges: classified once.
  bool in[4];
  for (size_t k = 0; k < 3; ++k) in[k] = OnOrInside(clipper, edges[k].X, edges[k].Y);
  in[3] = in[0];
  for (size_t k = 0; k < 3; ++k) {
    const PointRec& P = edges[k];
    const PointRec& Q = edges[k + 1];
    const bool pIn = in[k];
    const bool qIn = in[k + 1];
    if (pIn && qIn) {
      emit(P.X, P.Y, Q.X, Q.Y);
      continue;
    }
    const int wanted = pIn || qIn ? 1 : 2;
    std::array<XYRec, 2> found{};
    int count = 0;
    for (size_t m = 0; m < 3 && count < wanted; ++m) {
      const PointRec& E1 = clip[m];
      const PointRec& E2 = clip[m + 1];
      if (!SegmentsCross(P.X, P.Y, Q.X, Q.Y, E1.X, E1.Y, E2.X, E2.Y)) continue;
      const std::optional<XYRec> x = LineCrossPoint(P.X, P.Y, Q.X, Q.Y, E1.X, E1.Y, E2.X, E2.Y);
      if (x) found[static_cast<size_t>(count++)] = *x;
    }
    if (count < wanted) continue;
    if (pIn) {
      emit(P.X, P.Y, found[0].X, found[0].Y);
    } else if (qIn) {
      emit(found[0].X, found[0].Y, Q.X, Q.Y);
    } else {
      emit(found[0].X, found[0].Y, found[1].X, found[1].Y);
    }
  }
}

// The plan overlay of triangle i of mesh (T1) with T2, boxes known to meet:
// T2's edges clipped by T1 with mesh's heights, then T1's edges clipped by
// T2 with T2's plane heights.
template <class Emit>
void OverlayPair(const TriangleMesh& mesh, int32_t i, const ClipOutline& T1, const Outline& T2,
                 Emit&& emit) {
  ClipEdges(T2, T1, [&](double xa, double ya, double xb, double yb) {
    emit(PointRec{xa, ya, GetZ(mesh, i, xa, ya), 0}, PointRec{xb, yb, GetZ(mesh, i, xb, yb), 0});
  });
  auto planeZ = [&](double x, double y) {
    return PlaneZ(x, y, T2[0].X, T2[0].Y, T2[0].Z, T2[1].X, T2[1].Y, T2[1].Z, T2[2].X, T2[2].Y,
                  T2[2].Z);
  };
  ClipEdges(T1.o, WithReach(T2), [&](double xa, double ya, double xb, double yb) {
    emit(PointRec{xa, ya, planeZ(xa, ya), 0}, PointRec{xb, yb, planeZ(xb, yb), 0});
  });
}

bool TooShort(const PointRec& a, const PointRec& b) {
  return PointsCoincide(a, b, true);
}

Point3D ToPoint3D(const PointRec& p) {
  return {p.X, p.Y, p.Z};
}

std::array<Point3D, 3> Corners(const TriangleRec& t) {
  return {ToPoint3D(t.A), ToPoint3D(t.B), ToPoint3D(t.C)};
}

// What the triangles of a block of the first mesh gave: segments and, for
// the plan overlay, the pair (i, j) that gave each.
struct Found {
  std::vector<PlanSegment> segments;
  std::vector<SegmentSource> sources;
};

// Runs work(i, out) for every triangle i = 1..n of the first mesh, in blocks
// shared among the threads that may run (ThreadsToUse, at most four), and returns the outputs
// block by block in the order of i. The calling thread reports progress; every thread stops
// at a cancel.
template <class Work>
std::vector<Found> ForEachTriangle(int32_t n, Feedback& feedback, Work&& work) {
  if (n <= 0) return {};
  const int32_t blockSize = std::clamp<int32_t>(n / 256, 256, 8192);
  const int32_t blocks = (n + blockSize - 1) / blockSize;
  std::vector<Found> out(static_cast<size_t>(blocks));
  std::atomic<int32_t> next{0};
  std::atomic<int32_t> done{0};
  // A helper that fails (out of memory) stops the others; its exception is
  // thrown here once all have stopped.
  std::atomic<bool> failed{false};
  std::exception_ptr failure;
  std::mutex failureLock;
  auto run = [&](bool reporting) {
    for (;;) {
      if (feedback.Cancelled() || failed.load()) return;
      const int32_t b = next.fetch_add(1);
      if (b >= blocks) return;
      const int32_t first = 1 + b * blockSize;
      const int32_t last = std::min(n, first + blockSize - 1);
      Found& into = out[static_cast<size_t>(b)];
      for (int32_t i = first; i <= last; ++i) work(i, into);
      const int32_t finished = done.fetch_add(1) + 1;
      if (reporting) feedback.Progress(PercentOf(finished, blocks), true);
    }
  };
  const unsigned cores = ThreadsToUse(4);
  const int32_t helpers = std::min<int32_t>(static_cast<int32_t>(cores) - 1, blocks - 1);
  auto guarded = [&](bool reporting) {
    try {
      run(reporting);
    } catch (...) {
      const std::lock_guard hold(failureLock);
      if (!failure) failure = std::current_exception();
      failed = true;
    }
  };
  std::vector<std::jthread> threads;
  threads.reserve(static_cast<size_t>(std::max(helpers, 0)));
  for (int32_t h = 0; h < helpers; ++h) {
    try {
      threads.emplace_back([&] { guarded(false); });
    } catch (const std::system_error&) {
      break;  // fewer helpers: the blocks are shared out all the same
    }
  }
  guarded(true);
  for (std::jthread& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
  return out;
}

// The blocks' outputs in one list.
Found Joined(std::vector<Found> out) {
  size_t total = 0, sourced = 0;
  for (const Found& block : out) {
    total += block.segments.size();
    sourced += block.sources.size();
  }
  // The blocks are heap memory, which freeing alone does not hand back to
  // the system: without the trims the joined list would double the peak.
  constexpr size_t kTrimEvery = 8;
  Found all;
  all.segments.reserve(total);
  all.sources.reserve(sourced);
  for (size_t b = 0; b < out.size(); ++b) {
    Found& block = out[b];
    all.segments.insert(all.segments.end(), block.segments.begin(), block.segments.end());
    all.sources.insert(all.sources.end(), block.sources.begin(), block.sources.end());
    block = Found();
    if (b % kTrimEvery == kTrimEvery - 1) ReleaseFreedMemory();
  }
  ReleaseFreedMemory();
  return all;
}

// A margin that no rounding of the 3-D crossing can exceed: the kernel
// accepts ends up to 1e-10 of the cut's length off the other cut's line, and
// the cuts carry rounding of a few units in the last place of the
// coordinates.
PlanBox WidenedBox(const TriangleRec& t) {
  PlanBox b = BoxOf(t);
  const double zlo = std::min({t.A.Z, t.B.Z, t.C.Z});
  const double zhi = std::max({t.A.Z, t.B.Z, t.C.Z});
  const double size = std::max({b.xhi - b.xlo, b.yhi - b.ylo, zhi - zlo});
  const double magnitude = std::max({std::abs(b.xlo), std::abs(b.xhi), std::abs(b.ylo),
                                     std::abs(b.yhi), std::abs(zlo), std::abs(zhi)});
  const double margin = 1e-8 * size + 1e-12 * magnitude + 1e-300;
  if (!std::isfinite(margin)) {
    // Non-finite coordinates: a box that meets every other, so the pair is
    // left to the kernel.
    constexpr double kInf = std::numeric_limits<double>::infinity();
    return {-kInf, -kInf, kInf, kInf};
  }
  b.xlo -= margin;
  b.ylo -= margin;
  b.xhi += margin;
  b.yhi += margin;
  return b;
}

SegmentCollection ToCollection(const std::vector<PlanSegment>& segments) {
  SegmentCollection c;
  c.reserve(segments.size());
  for (const PlanSegment& s : segments)
    c.push_back(MakeConstraintSegment(s.From.X, s.From.Y, s.From.Z, s.To.X, s.To.Y, s.To.Z));
  return c;
}

}  // namespace

void TriangleIntersectTriangle2D(const TriangleMesh& mesh, int32_t TriIdx, double x1, double y1,
                                 double z1, double x2, double y2, double z2, double x3, double y3,
                                 double z3, SegmentCollection& RetPlist) {
  if (TriIdx > mesh.TriangleCount()) return;
  const TriangleRec& t = mesh.Triangle(TriIdx);
  const Outline T1 = OutlineOf(t.A, t.B, t.C);
  const Outline T2 = OutlineOf({x1, y1, z1, 0}, {x2, y2, z2, 0}, {x3, y3, z3, 0});
  if (!BoxesMeet(BoxOf(T1), BoxOf(T2))) return;
  SegmentCollection result;
  OverlayPair(mesh, TriIdx, WithReach(T1), T2, [&](const PointRec& a, const PointRec& b) {
    result.push_back(MakeConstraintSegment(a.X, a.Y, a.Z, b.X, b.Y, b.Z));
  });
  RetPlist = std::move(result);
}

std::vector<PlanSegment> OverlaySegments(const TriangleMesh& mesh, const TriangleMesh& CuttingMesh,
                                         std::vector<SegmentSource>* sources) {
  Feedback quiet;
  return OverlaySegments(mesh, CuttingMesh, sources, quiet);
}

std::vector<PlanSegment> OverlaySegments(const TriangleMesh& mesh, const TriangleMesh& CuttingMesh,
                                         std::vector<SegmentSource>* sources, Feedback& feedback) {
  const std::span<const TriangleRec> cutting = CuttingMesh.Triangles();
  std::vector<PlanBox> boxes(cutting.size());
  for (size_t j = 1; j < cutting.size(); ++j) boxes[j] = BoxOf(cutting[j]);
  const PlanBoxGrid grid(std::move(boxes));

  std::vector<Found> found =
      ForEachTriangle(mesh.TriangleCount(), feedback, [&](int32_t i, Found& out) {
        thread_local std::vector<int32_t> candidates;
        const TriangleRec& t = mesh.Triangle(i);
        const ClipOutline T1 = WithReach(OutlineOf(t.A, t.B, t.C));
        grid.Meeting(BoxOf(T1.o), candidates);
        for (int32_t j : candidates) {
          const TriangleRec& u = cutting[static_cast<size_t>(j)];
          const Outline T2 = OutlineOf(u.A, u.B, u.C);
          OverlayPair(mesh, i, T1, T2, [&](const PointRec& a, const PointRec& b) {
            if (TooShort(a, b)) return;
            out.segments.push_back({a, b});
            if (sources) out.sources.push_back({i, j});
          });
        }
      });
  if (feedback.Cancelled()) return std::move(Joined(std::move(found)).segments);
  // The duplicates go from the blocks as they stand: the kept records are
  // the only list made of them.
  std::vector<std::vector<PlanSegment>> segments(found.size());
  std::vector<std::vector<SegmentSource>> sourced(found.size());
  for (size_t b = 0; b < found.size(); ++b) {
    segments[b] = std::move(found[b].segments);
    sourced[b] = std::move(found[b].sources);
  }
  std::vector<Found>().swap(found);
  std::vector<SegmentSource> keptSources;
  std::vector<PlanSegment> kept =
      RemoveDuplicateSegments(segments, sources ? &sourced : nullptr, &keptSources);
  if (sources) *sources = std::move(keptSources);
  return kept;
}

void Mesh_Intersects_Mesh_2D(const TriangleMesh& mesh, const TriangleMesh& CuttingMesh,
                             SegmentCollection& RetLines) {
  RetLines = ToCollection(OverlaySegments(mesh, CuttingMesh));
}

bool TriangleIntersectTriangle(const TriangleMesh& mesh, int32_t srcTriangleIndex, double x1,
                               double y1, double z1, double x2, double y2, double z2, double x3,
                               double y3, double z3, double& xInt1, double& yInt1, double& zInt1,
                               double& xInt2, double& yInt2, double& zInt2) {
  if (srcTriangleIndex > mesh.TriangleCount()) return false;
  const TriangleIntersection r = TriangleTriangleIntersect(
      Corners(mesh.Triangle(srcTriangleIndex)), {Point3D{x1, y1, z1}, {x2, y2, z2}, {x3, y3, z3}});
  if (r.Contact == TriangleContact::Crossing && r.Segment) {
    xInt1 = r.Segment->From.X;
    yInt1 = r.Segment->From.Y;
    zInt1 = r.Segment->From.Z;
    xInt2 = r.Segment->To.X;
    yInt2 = r.Segment->To.Y;
    zInt2 = r.Segment->To.Z;
  }
  return r.Contact != TriangleContact::None;
}

std::vector<PlanSegment> CrossingSegments(const TriangleMesh& mesh,
                                          const TriangleMesh& CuttingMesh) {
  Feedback quiet;
  return CrossingSegments(mesh, CuttingMesh, quiet);
}

std::vector<PlanSegment> CrossingSegments(const TriangleMesh& mesh, const TriangleMesh& CuttingMesh,
                                          Feedback& feedback) {
  const std::span<const TriangleRec> cutting = CuttingMesh.Triangles();
  std::vector<PlanBox> boxes(cutting.size());
  for (size_t j = 1; j < cutting.size(); ++j) boxes[j] = WidenedBox(cutting[j]);
  const PlanBoxGrid grid(std::move(boxes));

  return Joined(ForEachTriangle(mesh.TriangleCount(), feedback,
                                [&](int32_t i, Found& found) {
                                  std::vector<PlanSegment>& out = found.segments;
                                  thread_local std::vector<int32_t> candidates;
                                  const TriangleRec& t = mesh.Triangle(i);
                                  grid.Meeting(WidenedBox(t), candidates);
                                  const std::array<Point3D, 3> T1 = Corners(t);
                                  for (int32_t j : candidates) {
                                    const TriangleIntersection r = TriangleTriangleIntersect(
                                        T1, Corners(cutting[static_cast<size_t>(j)]));
                                    if (r.Contact != TriangleContact::Crossing || !r.Segment)
                                      continue;
                                    const Segment3D& s = *r.Segment;
                                    out.push_back({{s.From.X, s.From.Y, s.From.Z, 0},
                                                   {s.To.X, s.To.Y, s.To.Z, 0}});
                                  }
                                }))
      .segments;
}

void Mesh_Intersects_Mesh(const TriangleMesh& mesh, const TriangleMesh& CuttingMesh,
                          SegmentCollection& RetConstraints) {
  std::vector<PlanSegment> segments = CrossingSegments(mesh, CuttingMesh);
  if (!segments.empty()) RetConstraints = ToCollection(segments);
}

}  // namespace orvane
