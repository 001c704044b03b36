// Memory running out on a worker thread: the failure reaches the caller as
// std::bad_alloc (which the front ends report as "not enough memory"), as it
// does on the calling thread, instead of ending the process. With the
// thread limit at 1 no worker runs at all (nothing is allocated off the
// calling thread), and the results are those of every core.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/CutAndFill.h"
#include "analysis/MeshIntersection.h"
#include "core/support/Threads.h"
#include "support/SurveySurfaces.h"
#include "triangulation/Triangulator.h"

namespace {

// While armed, every allocation fails except on the thread that armed it.
std::atomic<bool> failOffTheCaller{false};
std::thread::id caller;

}  // namespace

// (Not inlined: the compiler would then see malloc's memory given to delete.)
[[gnu::noinline]] void* operator new(std::size_t size) {
  if (failOffTheCaller.load(std::memory_order_relaxed) && std::this_thread::get_id() != caller)
    throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
  std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
// The other forms come from the same place, so no memory is given by one
// allocator and taken back by another (a sanitizer's would report that).
[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
[[gnu::noinline]] void* operator new[](std::size_t size) {
  return operator new(size);
}
[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
[[gnu::noinline]] void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept {
  std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

namespace orvane {
namespace {

using testing::kE;
using testing::kN;

// Everything a case gives, to compare one thread's run with every core's.
struct Figures {
  std::vector<PlanSegment> segments;
  std::vector<TriangleRec> triangles;
  double cut = 0, fill = 0, area = 0;
  friend bool operator==(const Figures&, const Figures&) = default;
};

Figures OfSegments(std::vector<PlanSegment> segments) {
  Figures out;
  out.segments = std::move(segments);
  return out;
}

void AddTriangles(const TriangleMesh& m, Figures& out) {
  for (int32_t t = 1; t <= m.TriangleCount(); ++t) out.triangles.push_back(m.Triangle(t));
}

// Runs the case with every allocation off the calling thread failing.
template <typename Run>
std::optional<Figures> WithWorkersStarved(const Run& run) {
  caller = std::this_thread::get_id();
  failOffTheCaller = true;
  std::optional<Figures> out;
  try {
    out = run();
  } catch (const std::bad_alloc&) {
  }
  failOffTheCaller = false;
  return out;
}

TEST(WorkerOutOfMemory, FailuresOnAWorkerReachTheCallerAndOneThreadRunsNone) {
  std::mt19937_64 rng(22);
  const TriangleMesh a = testing::RandomSurface(rng, kE, kN, 0, 0, 100, 3000,
                                                [](double x, double) { return 10 + x / 10; });
  const TriangleMesh b = testing::RandomSurface(rng, kE, kN, 5, 5, 100, 3000,
                                                [](double, double y) { return 14 - y / 10; });
  PointList many;
  std::uniform_real_distribution<double> u(0, 1000);
  for (int k = 0; k < 70000; ++k) many.AddVertex(kE + u(rng), kN + u(rng), u(rng) / 10, 0);
  const struct {
    const char* what;
    std::function<Figures()> run;
  } cases[] = {
      {"plan overlay", [&] { return OfSegments(OverlaySegments(a, b)); }},
      {"crossing lines", [&] { return OfSegments(CrossingSegments(a, b)); }},
      {"cut and fill",
       [&] {
         TriangleMesh m1, m2;
         Figures out;
         EXPECT_TRUE(
             CutAndFillVolumes(a, b, 0, m1, m2, out.segments, out.cut, out.fill, &out.area));
         AddTriangles(m1, out);
         AddTriangles(m2, out);
         return out;
       }},
      {"build",
       [&] {
         Triangulator t;
         t.Initialise(many);
         Figures out;
         if (auto m = t.GetTriangleMesh(1e6)) AddTriangles(*m, out);
         return out;
       }},
  };
  for (const auto& c : cases) {
    const Figures everyCore = c.run();
    ASSERT_FALSE(everyCore.segments.empty() && everyCore.triangles.empty()) << c.what;
    const bool workers = std::thread::hardware_concurrency() >= 2;
    EXPECT_FALSE(workers && WithWorkersStarved(c.run)) << c.what << ": no bad_alloc from a worker";
    SetThreadLimit(1);
    const std::optional<Figures> oneThread = WithWorkersStarved(c.run);
    SetThreadLimit(0);
    ASSERT_TRUE(oneThread) << c.what << ": ran off the calling thread";
    EXPECT_TRUE(*oneThread == everyCore) << c.what;
  }
}

}  // namespace
}  // namespace orvane
