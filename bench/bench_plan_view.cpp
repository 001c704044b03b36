// The plan view's drawing on a jittered survey grid of 1001 x 1001 points
// (2M triangles, 2 m cells, eastings 5e5, northings 4.5e6): the whole
// surface into 1600 x 1000 pixels on one and on two threads, a close-up of
// a tenth of its width (a hundredth of the triangles, each many pixels
// large), and the scene built from the surface (what the view does once
// per surface). Wall-clock times: what the user waits for. A ".col" file
// of the same surface is read as well, the first drawing of a coloured
// surface.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "JitteredGrid.h"
#include "core/model/TriangleMesh.h"
#include "project/plan/PlanRaster.h"
#include "project/plan/PlanScene.h"

namespace orvane {
namespace {

constexpr int kSide = 1001;  // points per grid side: 2M triangles
constexpr double kSpacing = 2.0;
constexpr int kWidth = 1600, kHeight = 1000;

const TriangleMesh& Surface() {
  static const TriangleMesh mesh = bench::JitteredGrid(kSide, kSpacing, [](int i, int j) {
    return 100 + 0.01 * i + 0.02 * j + 3 * std::sin(i * 0.02) * std::cos(j * 0.015);
  });
  return mesh;
}

const PlanScene& Scene() {
  static const PlanScene scene = ScenePlanOfSurface(Surface());
  return scene;
}

void Draw(benchmark::State& state, const PlanWindow& window) {
  const PlanScene& scene = Scene();
  std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
  const int threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    RasterisePlan(scene, window, kWidth, kHeight, pixels, threads);
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["triangles"] = static_cast<double>(scene.TriangleCount());
}

void BM_WholeSurface(benchmark::State& state) {
  Draw(state, FitPlanWindow(Scene().Extents, kWidth, kHeight, 8));
}
BENCHMARK(BM_WholeSurface)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CloseUp(benchmark::State& state) {
  ExtentsRec box = Scene().Extents;
  const double w = box.Max.X - box.Min.X, h = box.Max.Y - box.Min.Y;
  box.Min.X += 0.45 * w, box.Max.X = box.Min.X + 0.1 * w;
  box.Min.Y += 0.45 * h, box.Max.Y = box.Min.Y + 0.1 * h;
  Draw(state, FitPlanWindow(box, kWidth, kHeight, 0));
}
BENCHMARK(BM_CloseUp)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SceneOfSurface(benchmark::State& state) {
  const TriangleMesh& surface = Surface();
  for (auto _ : state) benchmark::DoNotOptimize(ScenePlanOfSurface(surface).Colours.data());
}
BENCHMARK(BM_SceneOfSurface)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadColouredTriangles(benchmark::State& state) {
  // The lines a slope colouring writes, one per triangle.
  static const std::string text = [] {
    std::string t;
    const TriangleMesh& s = Surface();
    t.reserve(static_cast<size_t>(s.TriangleCount()) * 110);
    for (int32_t i = 1; i <= s.TriangleCount(); ++i) {
      const TriangleRec& r = s.Triangle(i);
      t += "(1 " + std::to_string(i & 0xFFFFFF) + " 0.98 ((";
      for (const PointRec* p : {&r.A, &r.B, &r.C})
        t += (p == &r.A ? "" : ")(") + std::to_string(p->X) + " " + std::to_string(p->Y) + " " +
             std::to_string(p->Z);
      t += ")))\r\n";
    }
    return t;
  }();
  const size_t n = static_cast<size_t>(Surface().TriangleCount());
  for (auto _ : state) {
    PlanScene scene = Scene();
    ApplyColouredTriangleText(scene, text, n);
    if (scene.Source != PlanColours::SlopeClasses) state.SkipWithError(scene.ColourNote.c_str());
  }
}
BENCHMARK(BM_ReadColouredTriangles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvane

BENCHMARK_MAIN();
