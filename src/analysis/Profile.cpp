#include "analysis/Profile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "analysis/ElevationQueries.h"
#include "analysis/PlanBoxGrid.h"
#include "core/geometry/Predicates.h"

namespace orvane {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

struct Hit {
  SectionPoint p;
  bool lineVertex;  // preferred when two hits are one
};

// The plan boxes of the triangles, and the length of the line's pieces
// asked of them at once: a few triangles' width, so that a long diagonal
// piece does not ask for every triangle of its box.
struct TriangleBoxes {
  explicit TriangleBoxes(const TriangleMesh& mesh) : grid(Boxes(mesh)) {
    const ExtentsRec e = mesh.GetExtents();
    const double w = e.Max.X - e.Min.X, h = e.Max.Y - e.Min.Y;
    const int32_t n = std::max(mesh.TriangleCount(), 1);
    step = std::isfinite(w * h) && w * h > 0 ? 4 * std::sqrt(w * h / n) : 0;
  }
  static std::vector<PlanBox> Boxes(const TriangleMesh& mesh) {
    std::vector<PlanBox> boxes(1);
    for (int32_t i = 1; i <= mesh.TriangleCount(); ++i) {
      const TriangleRec& t = mesh.Triangle(i);
      boxes.push_back({std::min({t.A.X, t.B.X, t.C.X}), std::min({t.A.Y, t.B.Y, t.C.Y}),
                       std::max({t.A.X, t.B.X, t.C.X}), std::max({t.A.Y, t.B.Y, t.C.Y})});
    }
    return boxes;
  }
  // The triangles whose boxes meet the piece P..Q, ascending.
  void Near(const PointRec& P, const PointRec& Q, std::vector<int32_t>& out) const {
    out.clear();
    const double len = std::hypot(Q.X - P.X, Q.Y - P.Y);
    const int64_t pieces =
        step > 0 && std::isfinite(len) ? std::clamp<int64_t>(std::ceil(len / step), 1, 1 << 20) : 1;
    std::vector<int32_t> part;
    for (int64_t k = 0; k < pieces; ++k) {
      const double t0 = static_cast<double>(k) / pieces, t1 = static_cast<double>(k + 1) / pieces;
      const double x0 = P.X + t0 * (Q.X - P.X), x1 = k + 1 == pieces ? Q.X : P.X + t1 * (Q.X - P.X);
      const double y0 = P.Y + t0 * (Q.Y - P.Y), y1 = k + 1 == pieces ? Q.Y : P.Y + t1 * (Q.Y - P.Y);
      grid.Meeting({std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)}, part);
      out.insert(out.end(), part.begin(), part.end());
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }
  PlanBoxGrid grid;
  double step = 0;
};

// The crossings of the piece P..Q (stations from base) with the edges of
// triangle t. An edge is taken with its ends in a fixed order, so that the
// two triangles beside it give the same crossing to the last bit.
void Crossings(const TriangleRec& t, const PointRec& P, const PointRec& Q, double base,
               std::vector<Hit>& hits) {
  const double dx = Q.X - P.X, dy = Q.Y - P.Y, len2 = dx * dx + dy * dy;
  const double len = std::sqrt(len2);
  auto at = [&](double x, double y, double z) {
    const double along = ((x - P.X) * dx + (y - P.Y) * dy) / len2;
    if (!(along >= 0 && along <= 1)) return;
    hits.push_back({{base + along * len, x, y, z}, false});
  };
  const PointRec* corner[3] = {&t.A, &t.B, &t.C};
  for (size_t e = 0; e < 3; ++e) {
    const PointRec* u = corner[e];
    const PointRec* v = corner[(e + 1) % 3];
    if (v->X < u->X || (v->X == u->X && v->Y < u->Y)) std::swap(u, v);
    const double ou = Orient2D(P.X, P.Y, Q.X, Q.Y, u->X, u->Y);
    const double ov = Orient2D(P.X, P.Y, Q.X, Q.Y, v->X, v->Y);
    // An end on the line is a vertex of the section (its own height).
    if (ou == 0) at(u->X, u->Y, u->Z);
    if (ov == 0) at(v->X, v->Y, v->Z);
    if (ou == 0 || ov == 0 || (ou > 0) == (ov > 0)) continue;
    // The edge crosses the line; the piece must cross the edge too. Ends of
    // the piece on the edge are line vertices, heights of their own.
    const double op = Orient2D(u->X, u->Y, v->X, v->Y, P.X, P.Y);
    const double oq = Orient2D(u->X, u->Y, v->X, v->Y, Q.X, Q.Y);
    if (op == 0 || oq == 0 || (op > 0) == (oq > 0)) continue;
    const double s = ou / (ou - ov);
    at(u->X + s * (v->X - u->X), u->Y + s * (v->Y - u->Y), u->Z + s * (v->Z - u->Z));
  }
}

}  // namespace

std::vector<SectionPoint> SurfaceSection(const TriangleMesh& mesh, const PointList& polyline) {
  std::vector<PointRec> line;
  for (const PointRec& p : polyline.Points().subspan(1))
    if (line.empty() || p.X != line.back().X || p.Y != line.back().Y) line.push_back(p);
  if (line.size() < 2) return {};

  const TriangleBoxes boxes(mesh);
  std::vector<Hit> hits;
  std::vector<int32_t> near;
  double base = 0;
  for (size_t k = 0; k < line.size(); ++k) {
    const PointRec& P = line[k];
    hits.push_back({{base, P.X, P.Y, InterpolateZ(mesh, P.X, P.Y, kNone)}, true});
    if (k + 1 == line.size()) break;
    const PointRec& Q = line[k + 1];
    boxes.Near(P, Q, near);
    for (int32_t t : near) Crossings(mesh.Triangle(t), P, Q, base, hits);
    base += std::hypot(Q.X - P.X, Q.Y - P.Y);
  }
  // The line's vertices come in order; a crossing goes after the vertex
  // that starts its piece.
  std::stable_sort(hits.begin(), hits.end(),
                   [](const Hit& a, const Hit& b) { return a.p.Station < b.p.Station; });

  std::vector<SectionPoint> out;
  bool lastIsLineVertex = false;
  for (const Hit& h : hits) {
    if (!out.empty() && h.p.Station - out.back().Station < kStationTolerance) {
      if (h.lineVertex && !lastIsLineVertex) {
        out.back() = h.p;
        lastIsLineVertex = true;
      }
      continue;
    }
    if (!out.empty()) {
      // A stretch over no triangle gets its gap.
      const SectionPoint& a = out.back();
      const double mx = (a.X + h.p.X) / 2, my = (a.Y + h.p.Y) / 2;
      if (TriangleUnder(mesh, mx, my) == 0) out.push_back({(a.Station + h.p.Station) / 2, mx, my});
    }
    out.push_back(h.p);
    lastIsLineVertex = h.lineVertex;
  }
  return out;
}

ProfileTable CombineSections(std::span<const std::vector<SectionPoint>> sections) {
  ProfileTable table;
  std::vector<SectionPoint> all;
  for (const auto& s : sections) all.insert(all.end(), s.begin(), s.end());
  std::stable_sort(all.begin(), all.end(), [](const SectionPoint& a, const SectionPoint& b) {
    return a.Station < b.Station;
  });
  for (const SectionPoint& p : all)
    if (table.Rows.empty() || p.Station - table.Rows.back().Station >= kStationTolerance)
      table.Rows.push_back({p.Station, p.X, p.Y});
  for (const auto& s : sections) {
    std::vector<double>& z = table.Z.emplace_back(table.Rows.size(), kNone);
    size_t j = 0;  // s[j] is the first vertex not before the row
    for (size_t r = 0; r < table.Rows.size(); ++r) {
      const double station = table.Rows[r].Station;
      while (j < s.size() && s[j].Station < station - kStationTolerance / 2) ++j;
      if (j < s.size() && std::abs(s[j].Station - station) < kStationTolerance) {
        z[r] = s[j].Z;
      } else if (j > 0 && j < s.size()) {
        const SectionPoint &a = s[j - 1], &b = s[j];
        z[r] = a.Z + (b.Z - a.Z) * ((station - a.Station) / (b.Station - a.Station));
      }
    }
  }
  return table;
}

}  // namespace orvane
