#pragma once
// 3-D kernels of the mesh-against-mesh intersection and the cut-and-fill
// volumes: planes through triangles, where a triangle meets a plane, and the
// common part of two collinear segments. Coordinates are metres (X east,
// Y north, Z elevation). Comparisons are exact unless stated.

#include <array>
#include <cstdint>
#include <optional>

#include "core/storage/Records.h"

namespace orvane {

struct Point3D {
  double X = 0;
  double Y = 0;
  double Z = 0;
  friend bool operator==(const Point3D&, const Point3D&) = default;
};

struct Segment3D {
  Point3D From;
  Point3D To;
  friend bool operator==(const Segment3D&, const Segment3D&) = default;
};

// Plane A*x + B*y + C*z + D = 0.
struct Plane {
  double A = 0;
  double B = 0;
  double C = 0;
  double D = 0;
};

// Height at (xp, yp) of the plane through three points; 0 when the points
// have no plan area (exactly).
double PlaneZ(double xp, double yp, double x1, double y1, double z1, double x2, double y2,
              double z2, double x3, double y3, double z3);

// Crossing point of the unbounded lines P1P2 and P3P4 (no test that it lies
// on either segment); nullopt when the lines are parallel (equal slopes
// exactly, or both vertical).
std::optional<XYRec> LineCrossPoint(double x1, double y1, double x2, double y2, double x3,
                                    double y3, double x4, double y4);

// Plane through three points, normal (P2 - P1) x (P3 - P1), D from P2. All
// zero when the points are collinear.
Plane PlaneOf(const Point3D& P1, const Point3D& P2, const Point3D& P3);

// Up to three points where a triangle meets a plane, in the order found.
struct PlaneCut {
  int32_t Count = 0;
  std::array<Point3D, 3> Points{};
  void Append(const Point3D& p);
};

// Where triangle P1P2P3 meets the plane:
//  - the vertices lying exactly on it, in vertex order;
//  - none on it: when one vertex is strictly on the other side from both
//    others (tested for vertex 1, 2, 3 in turn), the crossings of its two
//    edges, towards the other two vertices in vertex order;
//  - one on it: the crossing of the opposite edge, if any.
// A count of 3 means the whole triangle lies in the plane, 2 an edge or a
// crossing segment, 1 a touching vertex.
PlaneCut TrianglePlaneCut(const Point3D& P1, const Point3D& P2, const Point3D& P3,
                          const Plane& plane);

// Appends to cut the point of edge PaPb on the plane, given the plane values
// da, db of its ends: Pa when da = 0, else Pb when db = 0, else the
// interpolated crossing when the signs differ; nothing otherwise. Does
// nothing when the cut already holds three points.
void EdgePlanePoint(const Point3D& Pa, const Point3D& Pb, double da, double db, PlaneCut& cut);

// Position of P along AB: t = 0 at A, 1 at B; e = distance of P from the
// line AB divided by |AB|. A degenerate AB gives t = 0.5 and e = 0 when P is
// exactly A, else e = 1e38.
struct SegmentPosition {
  double t = 0;
  double e = 0;
};
SegmentPosition ProjectOnSegment(const Point3D& A, const Point3D& B, const Point3D& P);

// How segment V1V2 lies along segment U1U2 (t of each V: before < 0 <=
// within <= 1 < after). NotCollinear also covers cuts that are no segment.
enum class OverlapCase : int32_t {
  NotCollinear = -999,
  BeforeBefore = 1,  // no common part
  BeforeWithin = 2,  // U1 - V2
  BeforeAfter = 3,   // U1 - U2
  WithinBefore = 4,  // U1 - V1
  WithinWithin = 5,  // V1 - V2
  WithinAfter = 6,   // V1 - U2
  AfterBefore = 7,   // U1 - U2
  AfterWithin = 8,   // V2 - U2
  AfterAfter = 9,    // no common part
};

struct SegmentOverlapResult {
  OverlapCase Case = OverlapCase::NotCollinear;
  std::optional<Segment3D> Common;  // set exactly when there is a common part
};

// Common part of the segments U (cut1) and V (cut2). Both cuts must hold
// exactly two points and V's ends must lie on the line U1U2 within a relative
// offset of 1e-10.
SegmentOverlapResult SegmentOverlap(const PlaneCut& cut1, const PlaneCut& cut2);

enum class TriangleContact : int16_t {
  None = 0,      // includes touching at a single point
  Crossing = 1,  // the triangles cross along the returned segment
  Coplanar = 2,  // one triangle lies exactly in the other's plane
};

struct TriangleIntersection {
  TriangleContact Contact = TriangleContact::None;
  std::optional<Segment3D> Segment;  // set exactly when Contact is Crossing
};

// Intersection of two triangles. Every decision (which side of the other's
// plane each corner lies on, whether the two cuts along the planes' common
// line overlap, which ends bound the common part) is the sign of an exact
// orientation of four corners as stored, so the answer does not depend on
// where the survey lies; only the two ends reported are computed (a corner
// lying in the other plane is reported as itself). Touching at a single
// point, or cuts that meet only at an end, is no contact.
TriangleIntersection TriangleTriangleIntersect(const std::array<Point3D, 3>& T1,
                                               const std::array<Point3D, 3>& T2);

}  // namespace orvane
