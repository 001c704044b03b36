#pragma once
// Area figures of a whole surface.

#include "core/model/TriangleMesh.h"

namespace orvane {

// Sum of the triangles' 3-D areas (Heron's formula on the vertex copies), m2.
// A degenerate triangle whose Heron product rounds below zero adds 0.
double SurfaceArea3D(const TriangleMesh& mesh);
// Sum of the triangles' signed plan areas, m2: a clockwise triangle adds its
// area, a counter-clockwise one subtracts it (no absolute value is taken).
double SurfaceArea2D(const TriangleMesh& mesh);

}  // namespace orvane
