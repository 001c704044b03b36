// Memory running out on a worker thread: the failure reaches the caller as
// std::bad_alloc (which the front ends report as "not enough memory"), as it
// does on the calling thread, instead of ending the process.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "analysis/CutAndFill.h"
#include "analysis/MeshIntersection.h"
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

namespace orvane {
namespace {

using testing::kE;
using testing::kN;

TEST(WorkerOutOfMemory, AnAllocationFailingOnAWorkerReachesTheCaller) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core: no worker thread";
  std::mt19937_64 rng(21);
  const TriangleMesh a = testing::RandomSurface(rng, kE, kN, 0, 0, 100, 3000,
                                                [](double x, double) { return 10 + x / 10; });
  const TriangleMesh b = testing::RandomSurface(rng, kE, kN, 5, 5, 100, 3000,
                                                [](double, double y) { return 14 - y / 10; });
  PointList many;
  std::uniform_real_distribution<double> u(0, 1000);
  for (int k = 0; k < 70000; ++k) many.AddVertex(kE + u(rng), kN + u(rng), u(rng) / 10, 0);

  const struct {
    const char* what;
    std::function<void()> run;
  } cases[] = {
      {"plan overlay", [&] { OverlaySegments(a, b); }},
      {"crossing lines", [&] { CrossingSegments(a, b); }},
      {"cut and fill",
       [&] {
         TriangleMesh m1, m2;
         std::vector<PlanSegment> overlay;
         double cut = 0, fill = 0;
         CutAndFillVolumes(a, b, 0, m1, m2, overlay, cut, fill);
       }},
      {"build",
       [&] {
         Triangulator t;
         t.Initialise(many);
         t.GetTriangleMesh(1e6);
       }},
  };
  for (const auto& c : cases) {
    caller = std::this_thread::get_id();
    failOffTheCaller = true;
    EXPECT_THROW(c.run(), std::bad_alloc) << c.what;
    failOffTheCaller = false;
  }
}

}  // namespace
}  // namespace orvane
