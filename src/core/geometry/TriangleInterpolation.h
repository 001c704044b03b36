#pragma once
// Where a plan position lies against a triangle, and the triangle's height
// there, decided by the exact orientation predicates on the stored
// coordinates: no tolerance, the same answers at survey coordinates as near
// the origin and on slivers as on well-shaped triangles.

#include <optional>

#include "core/geometry/Predicates.h"
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

// TriangleContains and HeightIn of one triangle at many positions (a
// raster's cells), with what depends on the triangle alone worked out once:
// the same answers, bit for bit. The triangle must outlive this object.
class PreparedTriangle {
 public:
  explicit PreparedTriangle(const TriangleRec& t);
  bool Contains(double X, double Y) const;
  // HeightAt where Contains, else nothing, from one evaluation of the
  // weights, for a position already known to lie in the plan box (Contains's
  // first test).
  std::optional<double> HeightIfContains(double X, double Y) const {
    if (!(orientation_ > 0 || orientation_ < 0)) return std::nullopt;  // no plan area
    const TriangleRec& t = *t_;
    double a = Orient2D(X, Y, t.B.X, t.B.Y, t.C.X, t.C.Y);
    double b = Orient2D(t.A.X, t.A.Y, X, Y, t.C.X, t.C.Y);
    double c = Orient2D(t.A.X, t.A.Y, t.B.X, t.B.Y, X, Y);
    if (orientation_ < 0) a = -a, b = -b, c = -c;
    if (!(a >= 0 && b >= 0 && c >= 0)) return std::nullopt;
    if (plain_ && a > 0 && b > 0 && c > 0)
      return t.A.Z + (b * (t.B.Z - t.A.Z) + c * (t.C.Z - t.A.Z)) / (a + b + c);
    return HeightOnBorder(X, Y);
  }
  double HeightAt(double X, double Y) const {
    // Strictly inside a well-shaped triangle (nearly every call) the plain
    // weights are HeightIn's own; the borders take the careful way.
    if (plain_) {
      const TriangleRec& t = *t_;
      double a = Orient2D(X, Y, t.B.X, t.B.Y, t.C.X, t.C.Y);
      double b = Orient2D(t.A.X, t.A.Y, X, Y, t.C.X, t.C.Y);
      double c = Orient2D(t.A.X, t.A.Y, t.B.X, t.B.Y, X, Y);
      if (orientation_ < 0) a = -a, b = -b, c = -c;
      if (a > 0 && b > 0 && c > 0)
        return t.A.Z + (b * (t.B.Z - t.A.Z) + c * (t.C.Z - t.A.Z)) / (a + b + c);
    }
    return HeightOnBorder(X, Y);
  }

 private:
  double HeightOnBorder(double X, double Y) const;
  const TriangleRec* t_;
  double orientation_;  // Orient2D of A, B, C
  bool plain_;          // with plan area and well shaped
};

}  // namespace orvane
