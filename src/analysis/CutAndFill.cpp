#include "analysis/CutAndFill.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <functional>
#include <latch>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "analysis/CompensatedSum.h"
#include "analysis/CutAndFillPoints.h"
#include "analysis/ElevationQueries.h"
#include "analysis/OverlapClipper.h"
#include "core/model/PointList.h"
#include "core/storage/Platform.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"
#include "core/support/Threads.h"
#include "triangulation/RecentPositions.h"
#include "triangulation/Triangulator.h"

namespace orvane {

namespace {

constexpr double kDuplicateRadius = 0.001;
// The rebuilt triangles are pieces of the two surfaces' own (over the overlay
// of their edges): none may be left out for its length, or its volume would
// be lost from the figures (DEMs at kilometres of spacing lost them all).
constexpr double kLongestSide = std::numeric_limits<double>::infinity();
// A whole run, inputs, overlay and both rebuilt surfaces included, peaks
// near 360 bytes a rebuilt point when the rebuilds run one after the other
// and near 390 when they run at once: their working lists are small beside
// the results. They run at once where this much a point fits in half the
// machine's memory, so that the rest of the system keeps room.
constexpr double kTogetherBytesPerPoint = 400;

using Totals = PrismTotals;

// What the steps of one run that say nothing of their own (the rebuilds,
// the volumes, on this thread and the helper) ask: stopped by the caller's
// cancel, or by the run itself when it leaves early and its helper thread
// must end.
class Steps : public Feedback {
 public:
  explicit Steps(Feedback& caller) : caller_(caller) {}
  bool Cancelled() override { return Feedback::Cancelled() || caller_.Cancelled(); }

 private:
  Feedback& caller_;
};

// Whether a pass ended the run: it saw the cancel, or the cancel came since.
bool Halted(Feedback& feedback, bool passCompleted) {
  const bool cancelled = feedback.Cancelled();
  return cancelled || !passCompleted;
}

// Builds one rebuilt surface with the overlay segments, as point numbers
// of the list, as breaklines; nullopt when cancelled. A list too small to
// triangulate gives an empty mesh. The build says nothing, so it may run off
// the calling thread.
std::optional<TriangleMesh> Rebuild(PointList points, CutAndFillPoints::Segments segments,
                                    Feedback& feedback) {
  Triangulator triangulator;
  triangulator.Initialise(points, std::move(segments));
  // The triangulator keeps its own copy: the list and its search index go
  // before the build needs its memory.
  points = PointList{};
  std::optional<TriangleMesh> mesh = triangulator.GetTriangleMesh(kLongestSide, feedback);
  if (triangulator.LastErrorCode == Triangulator::Cancelled || feedback.Cancelled())
    return std::nullopt;
  if (!mesh) return TriangleMesh{};
  return mesh;
}

// The few triangles of one original surface that held the last triangles
// of the rebuilt surface. The rebuilt triangles come in the order the
// triangulator made them, neighbours mostly near each other, and each
// original triangle holds several of them: most are found here without a
// search of the surface.
class RecentHolders {
 public:
  // search(t): the surface's triangle that holds t, or nullptr.
  using Search = std::function<const TriangleRec*(const TriangleRec&)>;
  explicit RecentHolders(Search search) : search_(std::move(search)) {}

  // A triangle of the surface that Holds t, or nullptr.
  const TriangleRec* Find(const TriangleRec& t) {
    for (size_t k = 0; k < size_; ++k)
      if (Holds(*slots_[k], t)) return slots_[k];
    const TriangleRec* found = search_(t);
    if (!found) return nullptr;
    slots_[next_] = found;
    next_ = (next_ + 1) % kSlots;
    if (size_ < kSlots) ++size_;
    return found;
  }

 private:
  static constexpr size_t kSlots = 4;
  Search search_;
  std::array<const TriangleRec*, kSlots> slots_{};
  size_t next_ = 0, size_ = 0;
};

// The 16 low bits of v at the even bit positions of the result.
uint64_t SpreadBits(uint32_t v) {
  uint64_t x = v & 0xFFFF;
  x = (x | x << 8) & 0x00FF00FF;
  x = (x | x << 4) & 0x0F0F0F0F;
  x = (x | x << 2) & 0x33333333;
  x = (x | x << 1) & 0x55555555;
  return x;
}

// Sorts (key, number) pairs whose keys are below 2^32 and whose numbers
// ascend, as std::sort would order them: three stable passes of 11 bits of
// the key, so that equal keys keep their ascending numbers.
void SortByKey(std::vector<std::pair<uint64_t, int32_t>>& items,
               std::vector<std::pair<uint64_t, int32_t>>& scratch) {
  scratch.resize(items.size());
  for (const int shift : {0, 11, 22}) {
    std::array<uint32_t, 2048> count{};
    for (const auto& item : items) ++count[(item.first >> shift) & 0x7FF];
    uint32_t sum = 0;
    for (uint32_t& c : count) sum += std::exchange(c, sum);
    for (const auto& item : items) scratch[count[(item.first >> shift) & 0x7FF]++] = item;
    items.swap(scratch);
  }
}

// The volumes over the rebuilt surface TA. A triangle of TA that lies
// within one triangle of each original surface (the rule wherever the
// overlay forced its edges) is integrated directly: both originals are
// planes over it. Any other triangle (an overlay piece the plan overlay did
// not report, a corner moved onto a point within 0.001) is clipped against
// the original triangles it meets, so that exactly its part over both
// surfaces counts. nullopt when cancelled.
// The volumes over triangles first..last (1-based) of TA; nullopt when
// cancelled. The figures depend on the range alone, not on what ran before.
std::optional<Totals> Volumes(const TriangleMesh& A, const TriangleMesh& B, const TriangleMesh& TA,
                              int32_t from, int32_t to, Feedback& feedback) {
  CompensatedSum cut, fill, area;
  OverlapClipper clipper(A, B);
  // The original surfaces are searched through the clipper's grids, not
  // through their own spatial indexes, which would stay in memory with them.
  RecentHolders holderA([&](const TriangleRec& t) { return clipper.HolderInA(t); });
  RecentHolders holderB([&](const TriangleRec& t) { return clipper.HolderInB(t); });
  auto measure = [&](const TriangleRec& t) {
    const double S = PlanArea(t);
    if (!(S > 0)) return;
    const TriangleRec* planeA = holderA.Find(t);
    const TriangleRec* planeB = planeA ? holderB.Find(t) : nullptr;
    if (planeA && planeB) {
      std::array<double, 3> d{};
      const PointRec* corner[3] = {&t.A, &t.B, &t.C};
      for (size_t k = 0; k < 3; ++k)
        d[k] = PlaneHeight(*planeA, corner[k]->X, corner[k]->Y) -
               PlaneHeight(*planeB, corner[k]->X, corner[k]->Y);
      const auto [above, below] = SplitAtZero(S, d);
      fill.Add(above);
      cut.Add(below);
      area.Add(S);
    } else {
      const Totals part = clipper.Clip(t);
      fill.Add(part.fill);
      cut.Add(part.cut);
      area.Add(part.area);
    }
  };
  // The triangles are taken a block at a time along a Z-curve of their
  // first corners, so that the recent holders are mostly the right ones.
  // Only the order of the (compensated) sums changes.
  const ExtentsRec box = TA.GetExtents();
  const double sx = box.Max.X > box.Min.X ? 65535.0 / (box.Max.X - box.Min.X) : 0;
  const double sy = box.Max.Y > box.Min.Y ? 65535.0 / (box.Max.Y - box.Min.Y) : 0;
  auto cell = [](double v) {
    return static_cast<uint32_t>(std::isfinite(v) ? std::clamp(v, 0.0, 65535.0) : 0.0);
  };
  constexpr int32_t kBlock = 16384;
  std::vector<std::pair<uint64_t, int32_t>> order, scratch;
  order.reserve(kBlock);
  for (int32_t first = from; first <= to; first += kBlock) {
    if (feedback.Cancelled()) return std::nullopt;
    const int32_t last = std::min(to, first + kBlock - 1);
    order.clear();
    for (int32_t i = first; i <= last; ++i) {
      const PointRec& a = TA.Triangle(i).A;
      order.push_back(
          {SpreadBits(cell(sx * (a.X - box.Min.X))) | SpreadBits(cell(sy * (a.Y - box.Min.Y))) << 1,
           i});
    }
    SortByKey(order, scratch);
    for (const auto& [key, i] : order) measure(TA.Triangle(i));
  }
  if (feedback.Cancelled()) return std::nullopt;
  return Totals{cut.Value(), fill.Value(), area.Value()};
}

SegmentCollection AsConstraints(const std::vector<PlanSegment>& overlay) {
  SegmentCollection out;
  out.reserve(overlay.size());
  for (const PlanSegment& s : overlay)
    out.push_back(MakeConstraintSegment(s.From.X, s.From.Y, s.From.Z, s.To.X, s.To.Y, s.To.Z));
  return out;
}

struct CutFillParts {
  TriangleMesh TA, TB;
  std::vector<PlanSegment> overlay;
  Totals totals;
};

// The overlay pieces whose ends lie over both surfaces, in their order.
// Where an edge only grazes a nearly parallel side of the other triangle,
// the clipping takes the crossing of the two lines as the point where it
// leaves, which may lie anywhere, far outside both surfaces. Such a piece
// belongs to no common subdivision, and forced as a breakline it would cut
// across the whole rebuild; the pieces of the overlay lie over both.
// Nearly always the two triangles whose pair gave a piece hold its ends.
// The inside tests and heights of the passes go through indexes of their
// own, freed when the passes are done (the meshes' own would stay with
// the caller's meshes, a surface's worth of memory each).
void KeepOverBoth(const TriangleMesh& A, const TriangleMesh& B, IndexedSurface& indexedA,
                  IndexedSurface& indexedB, std::span<const SegmentSource> sources,
                  std::vector<PlanSegment>& overlay) {
  // Whether an end lies over both depends on its position alone, so the
  // two halves of the list are judged apart, each with its own recent
  // answers, and give what one pass in order gives.
  std::vector<uint8_t> keep(overlay.size(), 0);
  auto judge = [&](size_t from, size_t to) {
    RecentPositions<bool> recent;  // neighbouring segments share ends
    CoverTest coverA(indexedA), coverB(indexedB);
    auto overBoth = [&](const PointRec& p, const SegmentSource& source) {
      if (const bool* known = recent.Find(p.X, p.Y)) return *known;
      const bool over =
          (TriangleReaches(A.Triangle(source.i), p.X, p.Y) || coverA.Reached(p.X, p.Y)) &&
          (TriangleReaches(B.Triangle(source.j), p.X, p.Y) || coverB.Reached(p.X, p.Y));
      recent.Put(p.X, p.Y, over);
      return over;
    };
    for (size_t k = from; k < to; ++k)
      keep[k] = overBoth(overlay[k].From, sources[k]) && overBoth(overlay[k].To, sources[k]);
  };
  const size_t half = overlay.size() / 2;
  RunBoth([&] { judge(half, overlay.size()); }, [&] { judge(0, half); });
  size_t kept = 0;
  for (size_t k = 0; k < overlay.size(); ++k)
    if (keep[k]) overlay[kept++] = overlay[k];
  overlay.resize(kept);
}

// The first and the second half of a rebuilt surface's triangles.
std::pair<int32_t, int32_t> HalfOf(const TriangleMesh& TA, bool second) {
  const int32_t n = TA.TriangleCount(), mid = n / 2;
  return second ? std::pair{mid + 1, n} : std::pair{1, mid};
}

// A's side of RebuildBoth, on whichever thread builds it. A's volumes come
// in two halves: the first is taken with A's build, the second once B is
// built (or both at once right after A's build, when the rebuilds run one
// after the other). Either way the same halves are added in the same order.
struct SideA {
  std::optional<TriangleMesh> mesh;
  std::optional<Totals> first, second;
  std::exception_ptr error;
  std::latch built{1};  // the mesh is there (or will not come)
};

void BuildSideA(SideA& a, const TriangleMesh& A, const TriangleMesh& B, PointList PA,
                CutAndFillPoints::Segments segmentsA, Steps& steps, bool together) {
  try {
    struct Built {
      std::latch& latch;
      ~Built() { latch.count_down(); }
    } built{a.built};
    a.mesh = Rebuild(std::move(PA), std::move(segmentsA), steps);
  } catch (...) {
    a.error = std::current_exception();
    return;
  }
  try {
    if (!a.mesh) return;
    const auto [from, to] = HalfOf(*a.mesh, false);
    if (together) {
      a.first = Volumes(A, B, *a.mesh, from, to, steps);
      return;
    }
    // Nothing else runs now: the halves take a thread each.
    const auto [from2, to2] = HalfOf(*a.mesh, true);
    // Copies of the bindings: Debian 12's clang cannot capture structured
    // bindings in a lambda.
    RunBoth([&, f = from2, t = to2] { a.second = Volumes(A, B, *a.mesh, f, t, steps); },
            [&, f = from, t = to] { a.first = Volumes(A, B, *a.mesh, f, t, steps); });
  } catch (...) {
    a.error = std::current_exception();
  }
}

// Leaving RebuildBoth early (a cancel, an exception) stops A's thread
// first; nothing is delivered.
struct StopSideA {
  std::jthread& worker;
  Steps& steps;
  bool armed = true;
  ~StopSideA() {
    if (!armed || !worker.joinable()) return;
    steps.Cancel();
    worker.join();
  }
};

// The rebuilt surfaces and their volumes into out, or Cancelled.
// A is rebuilt and measured on a thread of its own while B's overlay
// points are added and B is rebuilt here: the two builds do not share
// anything they change. Where the machine's memory is short for two builds
// at once (see kTogetherBytesPerPoint), they run one after the other, on this thread
// (A's volumes are still taken before B's build, so that their search
// grids are gone by then), as they are where only one thread may run.
// Without rebuildB, B's list goes before A's build, which then has the
// machine to itself, and out.TB stays empty: the volumes come from A's
// rebuild alone, so they are the same.
Outcome RebuildBoth(const TriangleMesh& A, const TriangleMesh& B, CutAndFillPoints& points,
                    bool rebuildB, Steps& steps, Feedback& feedback, CutFillParts& out) {
  feedback.Phase("CAF_TRIANGULATING_STEP1");
  if (feedback.Cancelled()) return Outcome::Cancel();
  const double rebuilt = static_cast<double>(points.PA.count()) + points.PB.count();
  const bool together =
      rebuildB && TwoThreads() &&
      rebuilt * kTogetherBytesPerPoint <= static_cast<double>(PhysicalMemoryBytes()) / 2;
  SideA a;
  CutAndFillPoints::Segments segmentsA = points.TakeSegmentsOfA();
  if (!rebuildB) points.DropB();
  PointList PA = std::move(points.PA);
  points.PA = PointList{};
  auto sideA = [&a, &A, &B, &steps, together, PA = std::move(PA),
                segmentsA = std::move(segmentsA)]() mutable {
    BuildSideA(a, A, B, std::move(PA), std::move(segmentsA), steps, together);
  };
  std::jthread worker;
  if (together) worker = StartThread(std::move(sideA));
  StopSideA stop{worker, steps};
  if (!together) {
    sideA();
    ReleaseFreedMemory();  // what A's build and volumes freed, before B's build
  }

  feedback.Phase("CAF_STEP4");
  if (rebuildB && !points.AddOverlayToB()) return Outcome::Cancel();
  if (feedback.Cancelled()) return Outcome::Cancel();
  feedback.Phase("CAF_TRIANGULATING_STEP2");
  if (feedback.Cancelled()) return Outcome::Cancel();
  std::optional<TriangleMesh> TB;
  if (rebuildB) {
    CutAndFillPoints::Segments segmentsB = points.TakeSegmentsOfB();
    TB = Rebuild(std::move(points.PB), std::move(segmentsB), steps);
    points.PB = PointList{};
  } else {
    TB.emplace();
  }
  if (together) {
    a.built.wait();
    if (a.mesh && !feedback.Cancelled()) {
      const auto [from, to] = HalfOf(*a.mesh, true);
      a.second = Volumes(A, B, *a.mesh, from, to, steps);
    }
  }
  if (worker.joinable()) worker.join();
  stop.armed = false;
  if (a.error) std::rethrow_exception(a.error);
  if (feedback.Cancelled() || !TB || !a.mesh || !a.first || !a.second) return Outcome::Cancel();
  out.TA = std::move(*a.mesh);
  out.TB = std::move(*TB);
  out.totals = {a.first->cut + a.second->cut, a.first->fill + a.second->fill,
                a.first->area + a.second->area};
  return {};
}

// The point list of a reindexed copy of mesh into points; whether two of
// them lie within the duplicate radius in plan.
bool PointsOfCopy(const TriangleMesh& mesh, PointList& points) {
  points = mesh.ClonedPointList();
  // Whether any pair is close decides alone: no need to list them all.
  return points.CheckForDuplicates(kDuplicateRadius, false, false).Count >= 1;
}

// The parts of a run, or why there are none: the refusal of a surface with
// duplicate points, or Cancelled. Without rebuildB, TB stays empty.
Result<CutFillParts> CutAndFill(const TriangleMesh& A, const TriangleMesh& B, bool rebuildB,
                                Feedback& feedback) {
  // The point lists of the reindexed copies. The copies' triangles are the
  // originals' (reindexing renumbers points, it moves no vertex), so the
  // originals answer every geometric question.
  PointList PA, PB;
  bool twinsA = false, twinsB = false;
  RunBoth([&] { twinsB = PointsOfCopy(B, PB); }, [&] { twinsA = PointsOfCopy(A, PA); });
  if (twinsA) {
    return Outcome::Failure(ErrorCode::Refused,
                            "Punti doppi sulla 1\xC2\xB0 mesh, impossibile continuare");
  }
  if (twinsB) {
    return Outcome::Failure(ErrorCode::Refused,
                            "Punti doppi sulla 2\xC2\xB0 mesh, impossibile continuare");
  }

  Steps steps(feedback);
  feedback.Phase("OPTIMIZING_MESHES");
  // Nothing to optimise (see OptimizeMeshes): the lists above stand.

  feedback.Phase("MESH_INTERSECTIONS");
  CutFillParts out;
  std::vector<SegmentSource> sources;
  out.overlay = OverlaySegments(A, B, &sources, feedback);
  if (feedback.Cancelled()) return Outcome::Cancel();
  IndexedSurface indexedA(A), indexedB(B);
  KeepOverBoth(A, B, indexedA, indexedB, sources, out.overlay);
  std::vector<SegmentSource>().swap(sources);
  if (feedback.Cancelled()) return Outcome::Cancel();
  const std::vector<PlanSegment>& overlay = out.overlay;
  CutAndFillPoints points(std::move(indexedA), std::move(indexedB), std::move(PA), std::move(PB),
                          2 * overlay.size(), [&overlay](size_t k) -> const PointRec& {
                            const PlanSegment& s = overlay[k / 2];
                            return k % 2 == 0 ? s.From : s.To;
                          });
  points.StopOn(feedback);

  feedback.Phase("CAF_STEP1");
  if (Halted(feedback, points.AddOverlayToA())) return Outcome::Cancel();
  feedback.Phase("CAF_STEP2");
  if (Halted(feedback, points.TrimAToB())) return Outcome::Cancel();
  feedback.Phase("CAF_STEP3");
  if (Halted(feedback, points.TrimBToA())) return Outcome::Cancel();

  if (Outcome rebuilt = RebuildBoth(A, B, points, rebuildB, steps, feedback, out); !rebuilt)
    return rebuilt;

  feedback.Phase("CAF_CALC_VOLUME");
  if (feedback.Cancelled()) return Outcome::Cancel();
  feedback.Phase("IDLE");
  return out;
}

}  // namespace

Outcome CutAndFillVolumes(const TriangleMesh& mesh, const TriangleMesh& InputMesh,
                          double /*BaseElevation*/, TriangleMesh& retM1, TriangleMesh* retM2,
                          std::vector<PlanSegment>& Overlay, double& vCut, double& vFill,
                          double* OverlapArea, Feedback& feedback) {
  Result<CutFillParts> out = CutAndFill(mesh, InputMesh, retM2 != nullptr, feedback);
  if (!out) return out.Error();
  retM1 = std::move(out->TA);
  if (retM2) *retM2 = std::move(out->TB);
  Overlay = std::move(out->overlay);
  vCut += out->totals.cut;
  vFill += out->totals.fill;
  if (OverlapArea) *OverlapArea = out->totals.area;
  return {};
}

Outcome CutAndFillVolumes(const TriangleMesh& mesh, const TriangleMesh& InputMesh,
                          double BaseElevation, TriangleMesh& retM1, TriangleMesh& retM2,
                          std::vector<PlanSegment>& Overlay, double& vCut, double& vFill,
                          double* OverlapArea, Feedback& feedback) {
  return CutAndFillVolumes(mesh, InputMesh, BaseElevation, retM1, &retM2, Overlay, vCut, vFill,
                           OverlapArea, feedback);
}

Outcome CutAndFillVolumes(const TriangleMesh& mesh, const TriangleMesh& InputMesh,
                          double BaseElevation, TriangleMesh& retM1, TriangleMesh& retM2,
                          std::vector<PlanSegment>& Overlay, double& vCut, double& vFill,
                          double* OverlapArea) {
  Feedback quiet;
  return CutAndFillVolumes(mesh, InputMesh, BaseElevation, retM1, retM2, Overlay, vCut, vFill,
                           OverlapArea, quiet);
}

Outcome CutAndFillVolumes(const TriangleMesh& mesh, const TriangleMesh& InputMesh,
                          double BaseElevation, TriangleMesh& retM1, TriangleMesh& retM2,
                          SegmentCollection& Constraints, double& vCut, double& vFill,
                          double* OverlapArea, Feedback& feedback) {
  Result<CutFillParts> out = CutAndFill(mesh, InputMesh, true, feedback);
  (void)BaseElevation;
  if (!out) return out.Error();
  retM1 = std::move(out->TA);
  retM2 = std::move(out->TB);
  Constraints = AsConstraints(out->overlay);
  vCut += out->totals.cut;
  vFill += out->totals.fill;
  if (OverlapArea) *OverlapArea = out->totals.area;
  return {};
}

Outcome CutAndFillVolumes(const TriangleMesh& mesh, const TriangleMesh& InputMesh,
                          double BaseElevation, TriangleMesh& retM1, TriangleMesh& retM2,
                          SegmentCollection& Constraints, double& vCut, double& vFill,
                          double* OverlapArea) {
  Feedback quiet;
  return CutAndFillVolumes(mesh, InputMesh, BaseElevation, retM1, retM2, Constraints, vCut, vFill,
                           OverlapArea, quiet);
}

void OptimizeMeshes(TriangleMesh& /*m1*/, TriangleMesh& /*m2*/) {}

}  // namespace orvane
