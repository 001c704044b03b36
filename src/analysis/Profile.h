#pragma once
// Sections of surfaces along a plan polyline.
//
// A surface is a plane over each triangle, so its section along a straight
// piece of the line is straight between the places where the line crosses a
// triangle edge: the section has a vertex at every such crossing (its height
// taken along the crossed edge) and at every vertex of the line (its height
// as InterpolateZ gives it), and no slope break is lost between them. Where
// the line runs off the surface the section has a gap: a vertex without
// height in the middle of every stretch over no triangle, so that nothing
// joins the two sides.

#include <limits>
#include <span>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"

namespace orvane {

// A vertex of a section: Station, the distance along the line in plan from
// its first point; X, Y its position; Z the surface's height there, NaN
// where the surface is absent.
struct SectionPoint {
  double Station = 0, X = 0, Y = 0;
  double Z = std::numeric_limits<double>::quiet_NaN();
};

// Vertices closer than this along the line (metres) are one.
inline constexpr double kStationTolerance = 1e-6;

// The section of mesh along the line through the points of polyline
// (1..count, in order; repeated points ignored), by ascending station.
// Empty for a line of fewer than two distinct points.
std::vector<SectionPoint> SurfaceSection(const TriangleMesh& mesh, const PointList& polyline);

// The sections of several surfaces along the same line on common rows: a
// row at every vertex of every section (by ascending station), and per
// section the surface's height at every row (NaN where it is absent). A
// height at another section's vertex lies on the straight section between
// the surface's own vertices, where the surface is that straight line.
struct ProfileTable {
  std::vector<SectionPoint> Rows;      // Z unused
  std::vector<std::vector<double>> Z;  // per section, per row
};
ProfileTable CombineSections(std::span<const std::vector<SectionPoint>> sections);

}  // namespace orvane
