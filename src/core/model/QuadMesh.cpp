#include "core/model/QuadMesh.h"

#include <stdexcept>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"

namespace orvane {

void QuadMesh::AddQuad(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
                       double y3, double z3, double x4, double y4, double z4) {
  const Quad q{PointRec{x1, y1, z1, 0}, PointRec{x2, y2, z2, 0}, PointRec{x3, y3, z3, 0},
               PointRec{x4, y4, z4, 0}};
  quads_.push_back(q);
  for (const PointRec& p : q) GrowExtents(extents_, p);
}

std::optional<QuadMesh::Quad> QuadMesh::GetQuad(int32_t idx) const {
  if (idx < 0) throw std::out_of_range("QuadMesh::GetQuad: negative index");
  if (idx == 0 || idx > QuadCount()) return std::nullopt;
  return quads_[static_cast<size_t>(idx) - 1];
}

TriangleMesh QuadMesh::GetTriangleMesh() const {
  TriangleMesh mesh;
  PointList corners;  // the corner table: one entry per distinct plan position
  mesh.Reserve(0, 2 * quads_.size());

  const auto indexOf = [&corners](const PointRec& p) {
    int32_t idx = corners.FindPoint(p.X, p.Y, CoincidenceTolerance, 0);
    if (idx == 0) {
      corners.AddVertex(p.X, p.Y, p.Z);
      idx = corners.count();
    }
    return idx;
  };
  const auto emit = [&](const PointRec& a, const PointRec& b, const PointRec& c) {
    const int32_t ia = indexOf(a);
    const int32_t ib = indexOf(b);
    const int32_t ic = indexOf(c);
    mesh.AddTriangle(a.X, a.Y, a.Z, ia, b.X, b.Y, b.Z, ib, c.X, c.Y, c.Z, ic);
  };
  for (const Quad& q : quads_) {
    emit(q[0], q[1], q[2]);
    emit(q[2], q[3], q[0]);
  }

  mesh.Reserve(static_cast<size_t>(corners.count()), 2 * quads_.size());
  for (int32_t i = 1; i <= corners.count(); ++i) {
    const PointRec& p = corners.Point(i);
    mesh.AddPoint(p.X, p.Y, p.Z, i);
  }
  return mesh;
}

}  // namespace orvane
