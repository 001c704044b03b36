// Per-triangle geometry: normal, slope, angles, circles, orientation, plan
// figures and volume. Plan (X, Y) unless Z is named; lengths in metres.

#include <cmath>
#include <iostream>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/support/NumberText.h"

namespace orvane {

namespace {

[[noreturn]] void BadIndex(const char* what, int32_t index) {
  throw std::out_of_range(std::string("TriangleMesh::") + what + ": index " +
                          std::to_string(index) + " out of range");
}

// Unsigned plan angle at p between the directions to q and r, degrees in
// [0, 180]; 0 when either direction is undefined.
double PlanAngle(const PointRec& p, const PointRec& q, const PointRec& r) {
  const double ux = q.X - p.X, uy = q.Y - p.Y;
  const double vx = r.X - p.X, vy = r.Y - p.Y;
  return std::atan2(std::abs(ux * vy - uy * vx), ux * vx + uy * vy) * 180 / std::numbers::pi;
}

// Foot of the perpendicular from (x, y) onto the line through p and q; p
// itself when p and q share a plan position.
XYRec Foot(double x, double y, const PointRec& p, const PointRec& q) {
  const double dx = q.X - p.X, dy = q.Y - p.Y;
  const double len2 = dx * dx + dy * dy;
  if (len2 == 0) return {p.X, p.Y};
  const double s = ((x - p.X) * dx + (y - p.Y) * dy) / len2;
  return {p.X + s * dx, p.Y + s * dy};
}

}  // namespace

std::optional<std::array<double, 3>> TriangleMesh::GetTriangleNormal(int32_t Index) const {
  if (Index < 1 || Index > TriangleCount()) return std::nullopt;
  const TriangleRec& t = triangles_[static_cast<size_t>(Index)];
  const double ux = t.B.X - t.A.X, uy = t.B.Y - t.A.Y, uz = t.B.Z - t.A.Z;
  const double vx = t.C.X - t.A.X, vy = t.C.Y - t.A.Y, vz = t.C.Z - t.A.Z;
  const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
  const double inv = len == 0 ? 0 : 1 / len;
  return std::array<double, 3>{nx * inv, ny * inv, nz * inv};
}

double TriangleMesh::GetTriangleSlope(int32_t Index) const {
  if (Index < 1 || Index > TriangleCount()) BadIndex("GetTriangleSlope", Index);
  const TriangleRec& t = triangles_[static_cast<size_t>(Index)];
  const PointRec* high = t.A.Z <= t.B.Z ? &t.B : &t.A;
  if (t.C.Z > high->Z) high = &t.C;
  const PointRec* low = t.A.Z < t.B.Z ? &t.A : &t.B;
  if (t.C.Z < low->Z) low = &t.C;
  const double dz = high->Z - low->Z;
  if (dz < CoincidenceTolerance) return 0;
  const double d = std::hypot(high->X - low->X, high->Y - low->Y);
  // A vertical edge between the extreme vertices: infinitely steep.
  if (d == 0) return std::numeric_limits<double>::infinity();
  return dz / d * 100;
}

// Each angle is 360 minus the outer angle at the vertex, the one swept from
// the next vertex round to the previous one the long way. That is the
// unsigned angle between the two edges, so both windings give interior
// angles (a fixed turning sense would give the exterior angle for one).
std::array<float, 3> TriangleMesh::GetTriDegrees(int32_t i) const {
  if (i < 1 || i > TriangleCount()) BadIndex("GetTriDegrees", i);
  const TriangleRec& t = triangles_[static_cast<size_t>(i)];
  return {static_cast<float>(PlanAngle(t.A, t.B, t.C)),
          static_cast<float>(PlanAngle(t.B, t.C, t.A)),
          static_cast<float>(PlanAngle(t.C, t.A, t.B))};
}

std::optional<TriangleMesh::Circle> TriangleMesh::GetCircumCenter(int32_t IndexOfTriangle) const {
  if (IndexOfTriangle < 1 || IndexOfTriangle > TriangleCount()) return std::nullopt;
  const TriangleRec& t = triangles_[static_cast<size_t>(IndexOfTriangle)];
  // The classic formula taken with A as origin: the squares of survey-sized
  // coordinates would otherwise eat the millimetres.
  const double ax = 0, ay = 0;
  const double bx = t.B.X - t.A.X, by = t.B.Y - t.A.Y;
  const double cx = t.C.X - t.A.X, cy = t.C.Y - t.A.Y;
  const double a = ax - bx, b = ay - by;
  const double c = bx - cx, d = by - cy;
  const double e = (ax * ax - bx * bx) + (ay * ay - by * by);
  const double f = (bx * bx - cx * cx) + (by * by - cy * cy);
  const double den = 2 * (a * d - b * c);
  if (den == 0) return std::nullopt;  // collinear vertices
  const double x = (e * d - f * b) / den;
  const double y = (f * a - e * c) / den;
  Circle out;
  out.xCenter = t.A.X + x;
  out.yCenter = t.A.Y + y;
  out.Radius = std::hypot(x, y);
  return out;
}

// The incentre as the side-length-weighted mean of the vertices (where the
// bisectors at A and B meet), computed relative to A so that survey-sized
// coordinates keep their millimetres.
std::optional<TriangleMesh::Incircle> TriangleMesh::GetBestFitInscribedCircle(
    int32_t IndexOfTriangle) const {
  if (IndexOfTriangle < 1 || IndexOfTriangle > TriangleCount()) return std::nullopt;
  const TriangleRec& t = triangles_[static_cast<size_t>(IndexOfTriangle)];
  const double bx = t.B.X - t.A.X, by = t.B.Y - t.A.Y;
  const double cx = t.C.X - t.A.X, cy = t.C.Y - t.A.Y;
  const double la = std::hypot(cx - bx, cy - by);  // opposite A
  const double lb = std::hypot(cx, cy);            // opposite B
  const double lc = std::hypot(bx, by);            // opposite C
  const double sum = la + lb + lc;
  Incircle out;
  out.circle.xCenter = t.A.X;
  out.circle.yCenter = t.A.Y;
  if (sum > 0) {
    out.circle.xCenter = t.A.X + (lb * bx + lc * cx) / sum;
    out.circle.yCenter = t.A.Y + (lb * by + lc * cy) / sum;
  }
  const double x = out.circle.xCenter, y = out.circle.yCenter;
  out.TangentAB = Foot(x, y, t.A, t.B);
  out.TangentBC = Foot(x, y, t.B, t.C);
  out.TangentCA = Foot(x, y, t.C, t.A);
  out.circle.Radius = std::hypot(out.TangentAB.X - x, out.TangentAB.Y - y);
  return out;
}

int32_t TriangleMesh::GetTriangleOrientation(int32_t Index) const {
  if (Index < 1 || Index > TriangleCount()) return 0;
  const TriangleRec& t = triangles_[static_cast<size_t>(Index)];
  const double cross = (t.B.X - t.A.X) * (t.C.Y - t.A.Y) - (t.B.Y - t.A.Y) * (t.C.X - t.A.X);
  return cross < 0 ? -1 : 1;
}

void TriangleMesh::InvertTriangleOrientation(int32_t Index) {
  TriangleRec& t = MutableTriangle(Index);  // throws out of range
  std::swap(t.A, t.C);
}

void TriangleMesh::TriangleInfo(int32_t idx, TriangleFigures& acc, double BaseVolumeLevel) const {
  if (idx == 0 || idx > TriangleCount()) return;
  if (idx < 0) BadIndex("TriangleInfo", idx);
  const TriangleRec& t = triangles_[static_cast<size_t>(idx)];
  PointRec p[3] = {t.A, t.B, t.C};
  // Negative elevations are lifted by 100000 m together with the base, as
  // the volume has always been computed; only the difference matters.
  if (p[0].Z < 0 || p[1].Z < 0 || p[2].Z < 0) {
    for (PointRec& v : p) v.Z += 100000;
    BaseVolumeLevel += 100000;
  }
  // Shoelace terms taken relative to A: the same sum, without losing the
  // millimetres of survey-sized coordinates.
  double area2 = 0, perimeter = 0;
  for (int i = 0; i < 3; ++i) {
    const PointRec& a = p[i];
    const PointRec& b = p[(i + 1) % 3];
    area2 += (a.X - b.X) * ((a.Y - p[0].Y) + (b.Y - p[0].Y));
    perimeter += std::hypot(a.X - b.X, a.Y - b.Y);
  }
  const double surface = std::abs(area2 / 2);
  const double mean = (p[0].Z + p[1].Z + p[2].Z) / 3;
  // The whole prism between the triangle and the base level, in m3.
  const double volume = surface * (mean - BaseVolumeLevel);
  acc.Perimeter += perimeter;
  if (volume != 0) acc.Volume += volume;
  acc.Surface += surface;
}

PointList TriangleMesh::GetPointList() const {
  PointList list;
  list.Reserve(static_cast<size_t>(PointCount()));
  for (size_t i = 1; i < points_.size(); ++i) {
    const PointRec& p = points_[i];
    list.AddVertex(p.X, p.Y, p.Z, p.T);
  }
  return list;
}

void TriangleMesh::DebugTriangle(int32_t i) const {
  if (i < 1 || i > TriangleCount()) BadIndex("DebugTriangle", i);
  const TriangleRec& t = triangles_[static_cast<size_t>(i)];
  std::string text = "Triangle " + std::to_string(i) + '\n';
  for (const PointRec* v : {&t.A, &t.B, &t.C})
    text += "  " + FormatFixed(v->X, 4) + "  " + FormatFixed(v->Y, 4) + "  " +
            FormatFixed(v->Z, 4) + '\n';
  std::clog << text;
}

}  // namespace orvane
