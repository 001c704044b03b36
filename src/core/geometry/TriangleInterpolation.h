#pragma once
// Where a plan position lies against a triangle, and the triangle's height
// there, decided by the exact orientation predicates on the stored
// coordinates: no tolerance, the same answers at survey coordinates as near
// the origin and on slivers as on well-shaped triangles.

#include "core/storage/Records.h"

namespace orvane {

// Whether t contains (X, Y), borders included; false for a triangle without
// plan area (or with a coordinate that is not finite).
bool TriangleContains(const TriangleRec& t, double X, double Y);

// Linear interpolation of t's corner heights at a position t contains: a
// corner's own height on that corner, the edge's interpolation (its ends in
// a fixed order) on an edge, so that every triangle sharing the corner or
// the edge gives the same height there. A position just outside (a computed
// crossing point) takes the nearest side's weights, so the result always
// lies between the corner heights; the first corner's height for a triangle
// without plan area.
double HeightIn(const TriangleRec& t, double X, double Y);

}  // namespace orvane
