#include "analysis/ElevationQueries.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/geometry/Kernels.h"
#include "core/geometry/RadixSort.h"
#include "core/geometry/TriangleIndex.h"
#include "core/model/TriangleMesh.h"

namespace orvane {

namespace {

struct PlaneCoefficients {
  double A, B, C;
};

PlaneCoefficients CoefficientsOf(const TriangleRec& t) {
  const double x1 = t.A.X, y1 = t.A.Y, z1 = t.A.Z;
  const double x2 = t.B.X, y2 = t.B.Y, z2 = t.B.Z;
  const double x3 = t.C.X, y3 = t.C.Y, z3 = t.C.Z;
  return {(y2 - y3) * (z1 - z3) - (z2 - z3) * (y1 - y3),
          (z2 - z3) * (x1 - x3) - (x2 - x3) * (z1 - z3),
          (x2 - x3) * (y1 - y3) - (y2 - y3) * (x1 - x3)};
}

double HeightOn(const TriangleRec& t, const PlaneCoefficients& p, double X, double Y) {
  return t.A.Z - ((X - t.A.X) * p.A + (Y - t.A.Y) * p.B) / p.C;
}

// The 16 low bits of v at the even bit positions of the result.
uint64_t SpreadBits(uint32_t v) {
  uint64_t x = v & 0xFFFF;
  x = (x | x << 8) & 0x00FF00FF;
  x = (x | x << 4) & 0x0F0F0F0F;
  x = (x | x << 2) & 0x33333333;
  x = (x | x << 1) & 0x55555555;
  return x;
}

// The angle-sum classifier's answer for t's closed outline A, B, C, A: on
// a vertex within 0.001, in its on-edge band, or inside. Wider than the
// triangle by a lens along each edge; only tests that must tolerate
// rounding (the overlay's crossing points) ask it.
bool ReachesOutline(const TriangleRec& t, double X, double Y) {
  if (!InTriangleBox(X, Y, t.A, t.B, t.C)) return false;
  if (const std::optional<bool> quick = QuickTriangleTest(t, X, Y, true)) return *quick;
  const std::array<PointRec, 4> ring{t.A, t.B, t.C, t.A};
  const std::optional<PolygonLocation> where = PointInPolygon(ring, X, Y);
  return where && static_cast<int>(*where) >= static_cast<int>(PolygonLocation::OnVertex);
}

// The triangle under (X, Y) as TriangleUnder describes it, through index.
int32_t Under(const TriangleMesh& mesh, const TriangleIndex& index, double X, double Y) {
  // Beyond every finite box, and NaN fails every box test: under nothing.
  if (!std::isfinite(X) || !std::isfinite(Y) || mesh.TriangleCount() == 0) return 0;
  const std::span<const TriangleRec> triangles = mesh.Triangles();
  // The index's widened boxes hold the plan boxes, so every triangle that
  // contains the position is among its candidates.
  return index.FirstAccepted(
      X, Y, [&](int32_t t) { return TriangleContains(triangles[static_cast<size_t>(t)], X, Y); });
}

// The lowest-numbered triangle whose outline the classifier reaches.
int32_t Reaching(const TriangleMesh& mesh, const TriangleIndex& index, double X, double Y) {
  if (!std::isfinite(X) || !std::isfinite(Y) || mesh.TriangleCount() == 0) return 0;
  const std::span<const TriangleRec> triangles = mesh.Triangles();
  return index.FirstAccepted(
      X, Y, [&](int32_t t) { return ReachesOutline(triangles[static_cast<size_t>(t)], X, Y); });
}

}  // namespace

double PlaneHeight(const TriangleRec& t, double X, double Y) {
  const PlaneCoefficients p = CoefficientsOf(t);
  if (p.C == 0) return 0;
  return HeightOn(t, p, X, Y);
}

double GetZ(const TriangleMesh& mesh, int32_t TriIndex, double X, double Y) {
  if (TriIndex < 0)
    throw std::out_of_range("GetZ: triangle index " + std::to_string(TriIndex) + " out of range");
  if (TriIndex == 0 || TriIndex > mesh.TriangleCount()) return 0;
  const TriangleRec& t = mesh.Triangle(TriIndex);
  const PlaneCoefficients p = CoefficientsOf(t);
  if (p.C == 0) return t.A.Z;
  return HeightOn(t, p, X, Y);
}

bool TriangleReaches(const TriangleRec& t, double X, double Y) {
  return ReachesOutline(t, X, Y);
}

bool CoverTest::Reached(double X, double Y) {
  const TriangleMesh& mesh = surface_.Mesh();
  for (size_t k = 0; k < reached_.size; ++k)
    if (ReachesOutline(mesh.Triangle(reached_.recent[k]), X, Y)) return true;
  const int32_t t = surface_.TriangleReaching(X, Y);
  if (t == 0) return false;
  reached_.Put(t);
  return true;
}

IndexedSurface::IndexedSurface(const TriangleMesh& mesh) : mesh_(&mesh), index_(mesh.Triangles()) {}

int32_t IndexedSurface::TriangleUnder(double X, double Y) const {
  return Under(*mesh_, index_, X, Y);
}

int32_t IndexedSurface::TriangleReaching(double X, double Y) const {
  return Reaching(*mesh_, index_, X, Y);
}

// As TriangleMesh::TriangleAt does it, with this index.
int32_t IndexedSurface::TriangleAt(double X, double Y) const {
  const int32_t n = mesh_->TriangleCount();
  if (n == 0 || std::isnan(X) || std::isnan(Y)) return 0;
  if (std::isinf(X) || std::isinf(Y)) {
    for (int32_t t = 1; t <= n; ++t)
      if (mesh_->PointInsideTriangle(t, X, Y)) return t;
    return 0;
  }
  return index_.FirstAccepted(X, Y, [&](int32_t t) { return mesh_->PointInsideTriangle(t, X, Y); });
}

double IndexedSurface::InterpolateZ(double X, double Y, double DefaultValue) const {
  const int32_t t = TriangleUnder(X, Y);
  if (t == 0) return DefaultValue;
  return HeightIn(mesh_->Triangle(t), X, Y);
}

double IndexedSurface::HeightNear(double X, double Y, double DefaultValue) const {
  int32_t t = TriangleUnder(X, Y);
  if (t == 0) t = TriangleReaching(X, Y);
  if (t == 0) t = TriangleAt(X, Y);
  if (t < 1) return DefaultValue;
  return HeightIn(mesh_->Triangle(t), X, Y);
}

int32_t TriangleUnder(const TriangleMesh& mesh, double X, double Y) {
  if (!std::isfinite(X) || !std::isfinite(Y) || mesh.TriangleCount() == 0) return 0;
  return Under(mesh, mesh.Index(), X, Y);
}

double InterpolateZ(const TriangleMesh& mesh, double X, double Y, double DefaultValue) {
  const int32_t t = TriangleUnder(mesh, X, Y);
  if (t == 0) return DefaultValue;
  return HeightIn(mesh.Triangle(t), X, Y);
}

void InterpolateZ(const TriangleMesh& mesh, std::span<const XYRec> queries, double DefaultValue,
                  std::span<double> heights) {
  if (heights.size() != queries.size())
    throw std::invalid_argument("InterpolateZ: one height per query expected");
  constexpr size_t kFewQueries = 4096;
  if (queries.size() < kFewQueries) {
    for (size_t i = 0; i < queries.size(); ++i)
      heights[i] = InterpolateZ(mesh, queries[i].X, queries[i].Y, DefaultValue);
    return;
  }
  // Scattered queries over a large surface spend their time waiting for
  // memory: each touches a different part of the index and the triangles.
  // Answered in the order of a Z-curve over their plan box, neighbours in
  // turn share what the previous ones brought into the cache. Each answer
  // depends only on its own position, so the order changes nothing else.
  double xlo = std::numeric_limits<double>::infinity(), ylo = xlo;
  double xhi = -xlo, yhi = -xlo;
  for (const XYRec& q : queries)
    if (std::isfinite(q.X) && std::isfinite(q.Y)) {
      xlo = std::min(xlo, q.X);
      xhi = std::max(xhi, q.X);
      ylo = std::min(ylo, q.Y);
      yhi = std::max(yhi, q.Y);
    }
  const double sx = xhi > xlo ? 65535.0 / (xhi - xlo) : 0;
  const double sy = yhi > ylo ? 65535.0 / (yhi - ylo) : 0;
  std::vector<uint64_t> keys(queries.size());
  std::vector<uint32_t> order(queries.size());
  for (size_t i = 0; i < queries.size(); ++i) {
    const XYRec& q = queries[i];
    order[i] = static_cast<uint32_t>(i);
    if (!(std::isfinite(q.X) && std::isfinite(q.Y)) || !std::isfinite(sx * (q.X - xlo)) ||
        !std::isfinite(sy * (q.Y - ylo))) {
      keys[i] = 0;
      continue;
    }
    const auto cx = static_cast<uint32_t>(std::clamp(sx * (q.X - xlo), 0.0, 65535.0));
    const auto cy = static_cast<uint32_t>(std::clamp(sy * (q.Y - ylo), 0.0, 65535.0));
    keys[i] = SpreadBits(cx) | SpreadBits(cy) << 1;
  }
  RadixSort(keys, order);
  for (const uint32_t i : order)
    heights[i] = InterpolateZ(mesh, queries[i].X, queries[i].Y, DefaultValue);
}

}  // namespace orvane
