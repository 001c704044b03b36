#pragma once
// Height of the surface at a plan position.
//
// The triangle under a position is the lowest-numbered one whose plan box
// (borders included) holds it and whose closed outline A, B, C, A the
// point-in-polygon classifier places the position on (a vertex within 0.001,
// an edge, or inside). That is exactly what a scan in index order would take;
// the mesh's spatial index only skips triangles that cannot be it.

#include <cstdint>
#include <span>

#include "core/Records.h"

namespace orvane {

class TriangleMesh;

// Height at (X, Y) of the plane of triangle TriIndex, which need not hold the
// point: 0 for TriIndex 0 or above the count, the first vertex's height for a
// triangle without plan area. Throws std::out_of_range for a negative index.
double GetZ(const TriangleMesh& mesh, int32_t TriIndex, double X, double Y);

// The triangle under (X, Y) as described above; 0 when there is none or the
// position is not finite.
int32_t TriangleUnder(const TriangleMesh& mesh, double X, double Y);

// Height of the surface at (X, Y): the plane height of the triangle under it
// (0 for a triangle without plan area), or DefaultValue when no triangle lies
// under it or the position is not finite.
double InterpolateZ(const TriangleMesh& mesh, double X, double Y, double DefaultValue);

// InterpolateZ for each query, written to heights (same size as queries).
void InterpolateZ(const TriangleMesh& mesh, std::span<const XYRec> queries, double DefaultValue,
                  std::span<double> heights);

// Height at (X, Y) of the plane through the triangle's vertices, taken as
// z1 - ((X - x1) A + (Y - y1) B) / C with the usual plane coefficients A, B,
// C; 0 when C is exactly 0 (no plan area).
double PlaneHeight(const TriangleRec& t, double X, double Y);

}  // namespace orvane
