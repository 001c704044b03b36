#include "reference/MergeSplitReference.h"

#include <cmath>
#include <limits>
#include <vector>

#include "core/model/PointList.h"
#include "triangulation/Triangulator.h"

namespace orvane::reference {

namespace {

bool Within(const PointRec& a, const PointRec& b) {
  return std::abs(a.X - b.X) < 0.001 && std::abs(a.Y - b.Y) < 0.001 && std::abs(a.Z - b.Z) < 0.001;
}

// FindPoint(X, Y, 0.001, 0) by a scan: the first point within 0.001 in X and
// Y, bounds included.
bool ListHolds(const PointList& list, const PointRec& v) {
  for (int32_t i = 1; i <= list.count(); ++i) {
    const PointRec& p = list.Point(i);
    if (p.X >= v.X - 0.001 && p.X <= v.X + 0.001 && p.Y >= v.Y - 0.001 && p.Y <= v.Y + 0.001)
      return true;
  }
  return false;
}

// The cut of a crossing triangle: its outline A, B, C, A walked edge by edge;
// a vertex goes up when above the plane, down when below, both ways when on
// it; an edge from above to below (or back) adds its crossing point, taken
// from the lower end towards the upper one, to both parts.
struct LiteralParts {
  std::vector<PointRec> upper, lower;
};

LiteralParts LiteralSplit(const TriangleRec& t, double e) {
  LiteralParts out;
  const PointRec outline[4] = {t.A, t.B, t.C, t.A};
  for (int k = 0; k < 3; ++k) {
    const PointRec p{outline[k].X, outline[k].Y, outline[k].Z, 0};
    const PointRec& q = outline[k + 1];
    if (p.Z >= e) out.upper.push_back(p);
    if (!(p.Z > e)) out.lower.push_back(p);
    const bool pAbove = p.Z > e, qAbove = q.Z > e, pBelow = p.Z < e, qBelow = q.Z < e;
    if ((pAbove && qBelow) || (pBelow && qAbove)) {
      const PointRec& lo = pBelow ? p : q;
      const PointRec& hi = pBelow ? q : p;
      const double f = (e - lo.Z) / (hi.Z - lo.Z);
      const PointRec x{lo.X + f * (hi.X - lo.X), lo.Y + f * (hi.Y - lo.Y), e, 0};
      out.upper.push_back(x);
      out.lower.push_back(x);
    }
  }
  return out;
}

struct LiteralSide {
  TriangleMesh mesh;
  PointList list;

  void AddVertices(std::initializer_list<PointRec> vertices, bool toMesh) {
    for (const PointRec& v : vertices) {
      if (ListHolds(list, v)) continue;
      list.AddVertex(v.X, v.Y, v.Z, 0);
      if (toMesh) mesh.AddPoint(v.X, v.Y, v.Z, 0);
    }
  }
  void AddTriangle(const PointRec& a, const PointRec& b, const PointRec& c) {
    mesh.AddTriangle(a.X, a.Y, a.Z, 0, b.X, b.Y, b.Z, 0, c.X, c.Y, c.Z, 0);
    AddVertices({a, b, c}, true);
  }
  void AddPart(const std::vector<PointRec>& part) {
    if (part.size() == 3) {
      AddTriangle(part[0], part[1], part[2]);
    } else if (part.size() >= 4) {
      PointList points;
      for (const PointRec& v : part) points.AddVertex(v.X, v.Y, v.Z);
      Triangulator triangulator;
      triangulator.Initialise(points);
      std::optional<TriangleMesh> piece =
          triangulator.GetTriangleMesh(std::numeric_limits<double>::infinity());
      LiteralMergeTriangleMesh(mesh, piece ? &*piece : nullptr, false);
      for (const PointRec& v : part) AddVertices({v}, false);
    }
  }
};

}  // namespace

void LiteralMergeTriangleMesh(TriangleMesh& into, const TriangleMesh* TriMesh, bool DoReindex) {
  into.LastErrorCode = 0;
  if (TriMesh == nullptr) return;
  // Copies, since TriMesh may be `into`.
  const std::vector<PointRec> points(TriMesh->Points().begin(), TriMesh->Points().end());
  const std::vector<TriangleRec> triangles(TriMesh->Triangles().begin(),
                                           TriMesh->Triangles().end());
  for (size_t i = 1; i < points.size(); ++i) {
    const PointRec& p = points[i];
    bool duplicate = false;
    for (int32_t j = 1; j <= into.PointCount() && !duplicate; ++j)
      duplicate = Within(into.Point(j), p);
    if (!duplicate) into.AddPoint(p.X, p.Y, p.Z, p.T);
  }
  for (size_t i = 1; i < triangles.size(); ++i) {
    const TriangleRec& t = triangles[i];
    into.AddTriangle(t.A.X, t.A.Y, t.A.Z, 0, t.B.X, t.B.Y, t.B.Z, 0, t.C.X, t.C.Y, t.C.Z, 0);
    into.SetColor(into.TriangleCount(), t.Color);
    into.SetGroup(into.TriangleCount(), t.Group);
  }
  if (DoReindex) into.Reindex();
}

void LiteralHorizontalSplitSimple(const TriangleMesh& mesh, double Elevation,
                                  TriangleMesh& LowerTriangleMesh,
                                  TriangleMesh& UpperTriangleMesh) {
  LiteralSide lower, upper;
  for (int32_t i = 1; i <= mesh.TriangleCount(); ++i) {
    const TriangleRec& t = mesh.Triangle(i);
    ExtentsRec box;
    GrowExtents(box, t.A);
    GrowExtents(box, t.B);
    GrowExtents(box, t.C);
    int flag = 0;
    if (box.Max.Z <= Elevation) flag = -1;
    if (box.Min.Z >= Elevation) flag = 1;
    if (flag == -1) {
      lower.AddTriangle(t.A, t.B, t.C);
    } else if (flag == 1) {
      upper.AddTriangle(t.A, t.B, t.C);
    } else {
      const LiteralParts parts = LiteralSplit(t, Elevation);
      upper.AddPart(parts.upper);
      lower.AddPart(parts.lower);
    }
  }
  LowerTriangleMesh = std::move(lower.mesh);
  UpperTriangleMesh = std::move(upper.mesh);
}

}  // namespace orvane::reference
