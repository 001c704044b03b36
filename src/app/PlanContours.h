#pragma once
// Contour lines over the plan view: computed from the surface when the user
// asks for them, drawn over each picture on the plan view's thread, index
// contours thicker and labelled with their elevation along the line.

#include <QImage>
#include <QRectF>
#include <memory>
#include <vector>

#include "analysis/Contours.h"
#include "core/model/TriangleMesh.h"
#include "project/plan/PlanRaster.h"

namespace orvane::app {

struct PlanContourLines {
  double Interval = 1;  // metres
  std::vector<ContourLine> Lines;
  std::vector<QRectF> Boxes;  // plan box of each line
};

// A round interval (1, 2 or 5 times a power of ten) giving the surface
// about 25 levels, every fifth an index contour; nullptr for a flat surface
// or one without triangles.
std::shared_ptr<const PlanContourLines> MakePlanContours(const TriangleMesh& surface);

// Draws the lines over image, which shows window.
void PaintPlanContours(QImage& image, const PlanContourLines& contours, const PlanWindow& window);

}  // namespace orvane::app
