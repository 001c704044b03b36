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

// The signed figure and its two sides: Above is the volume between the
// surface and the base where the surface lies above it (cut against the
// datum), Below where it lies under it (fill), both positive, so that
// Net = Above - Below up to rounding. A triangle that crosses the base
// counts exactly: its part above the base level and its part below are
// measured as the pieces it would be cut into there. Net is Volume()'s
// figure, bit for bit.
struct VolumeFigures {
  double Net = 0;
  double Above = 0;
  double Below = 0;
};
VolumeFigures VolumeAboveAndBelow(const TriangleMesh& mesh, double BaseElevation);

}  // namespace orvane
