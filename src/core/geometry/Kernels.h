#pragma once
// Stateless plane kernels shared by the mesh, the point list and the
// triangulator. Every comparison is either exact or uses the fixed
// CoincidenceTolerance; none is relative. Only X and Y take part unless a
// kernel says otherwise.

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>

#include "core/storage/Records.h"

namespace orvane {

// |dX| < 0.001 and |dY| < 0.001 (and |dZ| < 0.001 when Use3D), all strict.
inline bool PointsCoincide(const PointRec& P, const PointRec& Q, bool Use3D) {
  if (!(std::abs(P.X - Q.X) < CoincidenceTolerance)) return false;
  if (!(std::abs(P.Y - Q.Y) < CoincidenceTolerance)) return false;
  return !Use3D || std::abs(P.Z - Q.Z) < CoincidenceTolerance;
}

// |dX| <= 0.001 and |dY| <= 0.001 and |dZ| <= 0.001: the inclusive match of
// the unique-vertex table (unlike PointsCoincide).
bool PointsMatch3D(const PointRec& P, const PointRec& Q);

enum class PolygonLocation : int16_t {
  NoPolygon = 0,  // fewer than 3 entries
  Outside = 1,
  OnVertex = 2,  // within 0.001 in X and Y of an entry
  OnEdge = 3,    // an edge subtends an angle within 0.001 of pi (either sense)
  Inside = 4,
};

// Winding-angle location of (X, Y) against the polygon. Only the edges
// entry i -> i+1 are walked, so a closed ring must repeat its first entry.
// Returns nullopt when the angle sum is inconclusive (|sum| between 0.001
// and pi, which only open or self-crossing rings produce); callers decide
// what that means for them, usually Outside.
std::optional<PolygonLocation> PointInPolygon(std::span<const PointRec> polygon, double X,
                                              double Y);
std::optional<PolygonLocation> PointInPolygon(std::span<const XYRec> polygon, double X, double Y);

// Quadrant-aware arc tangent, rounded to a 32-bit float.
float Atan2Single(double Y, double X);

double Distance2D(double X1, double Y1, double X2, double Y2);

// A when A < B, else B (so B when equal).
inline double MinOf(double A, double B) {
  return A < B ? A : B;
}
// A when A > B, else B (so B when equal).
inline double MaxOf(double A, double B) {
  return A > B ? A : B;
}

// (X, Y) inside the triangle's bounding box, borders included.
bool InTriangleBox(double X, double Y, const PointRec& P1, const PointRec& P2, const PointRec& P3);

// Straddle test of segments P1P2 and P3P4; touching and collinear count.
bool SegmentsCross(double X1, double Y1, double X2, double Y2, double X3, double Y3, double X4,
                   double Y4);

// The point-in-polygon classifier's answer for (X, Y) against triangle t
// when orientation tests with their rounding bounds settle it, else nullopt
// (then ask PointInPolygon). closed: the outline A, B, C, A (every edge is
// walked); otherwise A, B, C, whose edge C-A the classifier does not walk.
// See Kernels.cpp for the margins.
std::optional<bool> QuickTriangleTest(const TriangleRec& t, double X, double Y, bool closed);

// Round half to even, as the stored indices and cell numbers are rounded.
double RoundHalfEven(double v);

// A vertex's T as a 32-bit point index: rounded half to even, saturated at the
// int32 limits, NaN reading as 0 (a value no valid index has).
int32_t RoundToInt32(double v);

}  // namespace orvane
