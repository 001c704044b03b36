#pragma once
// Drawing a plan scene (PlanScene.h) into a buffer of pixels.
//
// The image shows a window of the plan: pixel (i, j), with i across from
// the left and j down from the top, is the square whose centre lies at
//   X = MinX + (i + 0.5) (MaxX - MinX) / width
//   Y = MaxY - (j + 0.5) (MaxY - MinY) / height
// (X east, Y north, metres). A pixel takes the colour of the last triangle,
// in scene order, that holds its centre (borders included), else the
// background; the segments are then drawn over it one pixel wide. The
// result does not depend on the number of threads.

#include <cstdint>
#include <span>

#include "core/storage/Records.h"
#include "project/plan/PlanScene.h"

namespace orvane {

struct PlanWindow {
  double MinX = 0, MinY = 0, MaxX = 1, MaxY = 1;
  double Width() const { return MaxX - MinX; }
  double Height() const { return MaxY - MinY; }
  friend bool operator==(const PlanWindow&, const PlanWindow&) = default;
};

// The window that shows box (plan only) whole and centred in an image of
// width x height pixels with square pixels, margin pixels left free on
// every side. An empty or degenerate box is shown as a square of 1 m.
PlanWindow FitPlanWindow(const ExtentsRec& box, int width, int height, int margin);

// Fills pixels (width x height, row after row, 0xAARRGGBB) with the scene
// seen through window. threads (1 or more) share the triangles in
// consecutive runs.
// REQUIRES: pixels.size() == width * height; window of positive size.
void RasterisePlan(const PlanScene& scene, const PlanWindow& window, int width, int height,
                   std::span<uint32_t> pixels, int threads = 2,
                   uint32_t background = kPlanBackground);

}  // namespace orvane
