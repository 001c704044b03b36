#pragma once
// Volume between a surface and a horizontal base level.

namespace orvane {

class TriangleMesh;

// Sum over the triangles of plan area times mean vertex height above
// BaseElevation (TriangleInfo's prism volume), in m3: whole prisms, signed,
// so a base above the surface gives a negative figure; 0 for no triangle.
// The terms are added with compensation: the result keeps the digits of
// millions of small prisms at survey coordinates.
double Volume(const TriangleMesh& mesh, double BaseElevation);

}  // namespace orvane
