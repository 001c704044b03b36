#include "analysis/ElevationQueries.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/HeightSweep.h"
#include "core/geometry/Kernels.h"
#include "core/geometry/RadixSort.h"
#include "core/geometry/TriangleIndex.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Threads.h"

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

// A query with its position in the caller's list.
struct CurveQuery {
  double X, Y;
  uint32_t slot;
};

// The queries in the order of a Z-curve over their plan box. Scattered
// queries over a large surface spend their time waiting for memory: each
// touches a different part of the index and the triangles. In curve order
// neighbours in turn share what the previous ones brought into the cache.
// The positions travel with the keys through the sort, so the answering
// pass reads them in order, not from all over the caller's list. The curve
// is only as fine as the query count asks (a few cells per query), which
// keeps the keys short and the sort to two passes.
std::vector<CurveQuery> InCurveOrder(std::span<const XYRec> queries) {
  const auto [xlo, ylo, xhi, yhi, finite] = FiniteBox(queries);
  const int bits =
      std::clamp((static_cast<int>(std::bit_width(queries.size())) + 1) / 2 + 1, 1, 16);
  const double top = std::ldexp(1.0, bits) - 1;
  const double sx = xhi > xlo ? top / (xhi - xlo) : 0;
  const double sy = yhi > ylo ? top / (yhi - ylo) : 0;
  std::vector<uint64_t> keys(queries.size());
  std::vector<CurveQuery> ordered(queries.size());
  for (size_t i = 0; i < queries.size(); ++i) {
    const XYRec& q = queries[i];
    ordered[i] = {q.X, q.Y, static_cast<uint32_t>(i)};
    const double fx = sx * (q.X - xlo), fy = sy * (q.Y - ylo);
    if (!(std::isfinite(fx) && std::isfinite(fy))) {
      keys[i] = 0;
      continue;
    }
    const auto cx = static_cast<uint32_t>(std::clamp(fx, 0.0, top));
    const auto cy = static_cast<uint32_t>(std::clamp(fy, 0.0, top));
    keys[i] = SpreadBits(cx) | SpreadBits(cy) << 1;
  }
  RadixSort(keys, ordered);
  return ordered;
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
  LocateAndInterpolate(mesh, queries, DefaultValue, {}, heights);
}

void LocateAndInterpolate(const TriangleMesh& mesh, std::span<const XYRec> queries,
                          double DefaultValue, std::span<int32_t> triangles,
                          std::span<double> heights) {
  if (heights.size() != queries.size() ||
      (!triangles.empty() && triangles.size() != queries.size()))
    throw std::invalid_argument("InterpolateZ: one height per query expected");
  constexpr size_t kFewQueries = 4096;
  // As many queries as a quarter of the triangles: one pass over the
  // triangles costs less than a lookup per query (and needs no index).
  if (queries.size() >= kFewQueries &&
      queries.size() >= static_cast<size_t>(mesh.TriangleCount()) / 4 &&
      SweepHeights(mesh.Triangles(), queries, DefaultValue, triangles, heights))
    return;
  const auto answer = [&](size_t i, double X, double Y) {
    const int32_t t = TriangleUnder(mesh, X, Y);
    if (!triangles.empty()) triangles[i] = t;
    heights[i] = t == 0 ? DefaultValue : HeightIn(mesh.Triangle(t), X, Y);
  };
  if (mesh.TriangleCount() == 0 || queries.size() < kFewQueries) {
    for (size_t i = 0; i < queries.size(); ++i) answer(i, queries[i].X, queries[i].Y);
    return;
  }
  mesh.Index();  // built here, before a second thread reads it
  const std::vector<CurveQuery> ordered = InCurveOrder(queries);
  const auto part = [&](size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) answer(ordered[k].slot, ordered[k].X, ordered[k].Y);
  };
  // Each half writes only its own queries' answers: one thread or two give
  // the same.
  const size_t half = ordered.size() / 2;
  RunBoth([&] { part(half, ordered.size()); }, [&] { part(0, half); });
}

}  // namespace orvane
