#include "project/plan/CutFillScene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "analysis/ElevationQueries.h"

namespace orvane {

namespace {

struct Corner {
  double x, y, d;  // plan position from the scene's origin; A - B there
};

void AddTriangles(PlanScene& scene, const std::vector<Corner>& polygon, uint32_t colour) {
  for (size_t i = 1; i + 1 < polygon.size(); ++i) {
    for (const Corner* c : {&polygon[0], &polygon[i], &polygon[i + 1]}) {
      scene.Corners.push_back(static_cast<float>(c->x));
      scene.Corners.push_back(static_cast<float>(c->y));
    }
    scene.Colours.push_back(colour);
  }
}

}  // namespace

PlanScene ScenePlanOfCutFill(const TriangleMesh& A, const TriangleMesh& B,
                             const TriangleMesh& rebuiltA) {
  PlanScene scene;
  scene.Source = PlanColours::CutAndFill;
  const IndexedSurface onA(A), onB(B);
  std::vector<const TriangleRec*> kept;
  ExtentsRec& box = scene.Extents;
  for (const TriangleRec& t : rebuiltA.Triangles().subspan(1)) {
    const double cx = (t.A.X + t.B.X + t.C.X) / 3, cy = (t.A.Y + t.B.Y + t.C.Y) / 3;
    if (onA.TriangleUnder(cx, cy) == 0 || onB.TriangleUnder(cx, cy) == 0) continue;
    kept.push_back(&t);
    for (const PointRec* p : {&t.A, &t.B, &t.C}) {
      box.Min.X = std::min(box.Min.X, p->X), box.Max.X = std::max(box.Max.X, p->X);
      box.Min.Y = std::min(box.Min.Y, p->Y), box.Max.Y = std::max(box.Max.Y, p->Y);
      box.Min.Z = std::min(box.Min.Z, p->Z), box.Max.Z = std::max(box.Max.Z, p->Z);
    }
  }
  if (kept.empty()) return scene;
  scene.OriginX = box.Min.X;
  scene.OriginY = box.Min.Y;
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  std::vector<Corner> cut, fill;
  for (const TriangleRec* t : kept) {
    std::array<Corner, 3> c;
    const PointRec* p[3] = {&t->A, &t->B, &t->C};
    bool known = true;
    for (size_t k = 0; k < 3; ++k) {
      c[k] = {p[k]->X - scene.OriginX, p[k]->Y - scene.OriginY,
              p[k]->Z - onB.HeightNear(p[k]->X, p[k]->Y, kNone)};
      known = known && std::isfinite(c[k].d);
    }
    if (!known) continue;
    // Each side of the zero line, and the line itself where it crosses.
    cut.clear();
    fill.clear();
    std::vector<Corner> zero;
    for (size_t k = 0; k < 3; ++k) {
      const Corner& u = c[k];
      const Corner& v = c[(k + 1) % 3];
      if (u.d >= 0) fill.push_back(u);
      if (u.d <= 0) cut.push_back(u);
      if (u.d == 0) zero.push_back(u);
      if ((u.d > 0 && v.d < 0) || (u.d < 0 && v.d > 0)) {
        const double s = u.d / (u.d - v.d);
        const Corner m{u.x + s * (v.x - u.x), u.y + s * (v.y - u.y), 0};
        fill.push_back(m);
        cut.push_back(m);
        zero.push_back(m);
      }
    }
    const bool anyFill = std::any_of(c.begin(), c.end(), [](const Corner& k) { return k.d > 0; });
    const bool anyCut = std::any_of(c.begin(), c.end(), [](const Corner& k) { return k.d < 0; });
    if (!anyFill && !anyCut) AddTriangles(scene, fill, kPlanLevelColour);
    if (anyFill) AddTriangles(scene, fill, kPlanFillColour);
    if (anyCut) AddTriangles(scene, cut, kPlanCutColour);
    // A zero edge of the mesh is drawn from both its triangles; no matter.
    if ((anyFill || anyCut) && zero.size() == 2) {
      scene.Segments.insert(scene.Segments.end(),
                            {static_cast<float>(zero[0].x), static_cast<float>(zero[0].y),
                             static_cast<float>(zero[1].x), static_cast<float>(zero[1].y)});
      scene.SegmentColours.push_back(kPlanZeroLineColour);
    }
  }
  return scene;
}

}  // namespace orvane
