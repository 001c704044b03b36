#include "analysis/OverlapClipper.h"

#include <algorithm>
#include <cmath>

#include "analysis/ElevationQueries.h"

namespace orvane {

namespace {

using Local = OverlapClipper::Corner;
using Polygon = std::vector<Local>;

double Cross(const Local& o, const Local& a, const Local& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Counter-clockwise plan corners of t relative to o; empty without area.
Polygon LocalCorners(const TriangleRec& t, const PointRec& o) {
  Polygon p{{t.A.X - o.X, t.A.Y - o.Y}, {t.B.X - o.X, t.B.Y - o.Y}, {t.C.X - o.X, t.C.Y - o.Y}};
  const double c = Cross(p[0], p[1], p[2]);
  if (c == 0 || !std::isfinite(c)) return {};
  if (c < 0) std::swap(p[1], p[2]);
  return p;
}

// The part of a convex polygon left of (or on) each edge of a
// counter-clockwise triangle.
Polygon ClipBy(Polygon poly, const Polygon& tri) {
  Polygon next;
  for (size_t e = 0; e < 3 && poly.size() >= 3; ++e) {
    const Local& p = tri[e];
    const Local& q = tri[(e + 1) % 3];
    next.clear();
    for (size_t i = 0; i < poly.size(); ++i) {
      const Local& u = poly[i];
      const Local& v = poly[(i + 1) % poly.size()];
      const double su = Cross(p, q, u), sv = Cross(p, q, v);
      if (su >= 0) next.push_back(u);
      if ((su >= 0) != (sv >= 0)) {
        const double t = su / (su - sv);
        next.push_back({u.x + t * (v.x - u.x), u.y + t * (v.y - u.y)});
      }
    }
    poly.swap(next);
  }
  return poly.size() >= 3 ? poly : Polygon{};
}

}  // namespace

double PlanArea(const TriangleRec& t) {
  const double bx = t.B.X - t.A.X, by = t.B.Y - t.A.Y;
  const double cx = t.C.X - t.A.X, cy = t.C.Y - t.A.Y;
  return std::abs(bx * cy - by * cx) / 2;
}

// Where the signs differ the triangle is cut at the zero line: the corner
// alone on its side keeps a similar triangle, scaled along its two edges by
// d / (d - d_other).
std::pair<double, double> SplitAtZero(double S, const std::array<double, 3>& d) {
  const double total = S * (d[0] + d[1] + d[2]) / 3;
  int positive = 0, negative = 0;
  for (double v : d) {
    positive += v > 0;
    negative += v < 0;
  }
  if (negative == 0) return {total, 0};
  if (positive == 0) return {0, -total};
  const bool lonePositive = positive == 1;
  size_t l = 0;
  while (lonePositive ? !(d[l] > 0) : !(d[l] < 0)) ++l;
  const double dl = d[l], da = d[(l + 1) % 3], db = d[(l + 2) % 3];
  const double corner = S * (dl / (dl - da)) * (dl / (dl - db)) * dl / 3;
  if (lonePositive) return {corner, corner - total};
  return {total - corner, -corner};
}

bool Holds(const TriangleRec& outer, const TriangleRec& inner) {
  constexpr double kSlack = 1e-6;  // metres
  // Counter-clockwise corners relative to the first, as LocalCorners makes
  // them, without a list on the heap: this runs once or more per rebuilt
  // triangle.
  std::array<Local, 3> o{Local{0, 0}, Local{outer.B.X - outer.A.X, outer.B.Y - outer.A.Y},
                         Local{outer.C.X - outer.A.X, outer.C.Y - outer.A.Y}};
  const double c = Cross(o[0], o[1], o[2]);
  if (c == 0 || !std::isfinite(c)) return false;
  if (c < 0) std::swap(o[1], o[2]);
  // The slack of an edge (its length times kSlack) is needed only for a
  // corner just outside it.
  double reach[3] = {1, 1, 1};
  for (const PointRec* v : {&inner.A, &inner.B, &inner.C}) {
    const Local q{v->X - outer.A.X, v->Y - outer.A.Y};
    for (size_t e = 0; e < 3; ++e) {
      const Local& p = o[e];
      const Local& r = o[(e + 1) % 3];
      const double side = Cross(p, r, q);
      if (side >= 0) continue;
      // The length is at most |dx| + |dy|: a corner farther out than that
      // bound's slack is outside whatever the length.
      const double dx = r.x - p.x, dy = r.y - p.y;
      if (side < -kSlack * (std::abs(dx) + std::abs(dy))) return false;
      // ... and one nearer than the slack of its longer side is inside
      // whatever the length, which is at least that: corners on the edge
      // (the usual case) need no square root.
      if (side >= -kSlack * std::max(std::abs(dx), std::abs(dy))) continue;
      if (reach[e] > 0) reach[e] = -kSlack * std::hypot(dx, dy);
      if (!(side >= reach[e])) return false;
    }
  }
  return true;
}

OverlapClipper::BoxGrid OverlapClipper::Build(const TriangleMesh& m) {
  BoxGrid g;
  const int32_t n = m.TriangleCount();
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  for (int32_t t = 1; t <= n; ++t) {
    const TriangleRec& r = m.Triangle(t);
    for (const PointRec* v : {&r.A, &r.B, &r.C}) {
      if (!std::isfinite(v->X) || !std::isfinite(v->Y)) continue;
      x0 = std::min(x0, v->X);
      y0 = std::min(y0, v->Y);
      x1 = std::max(x1, v->X);
      y1 = std::max(y1, v->Y);
    }
  }
  if (n == 0 || x0 > x1) return g;
  const double w = std::max(x1 - x0, 1e-9), h = std::max(y1 - y0, 1e-9);
  g.cell = std::max(std::sqrt(w * h / n) * 2, std::max(w, h) / 4096);
  g.x0 = x0;
  g.y0 = y0;
  g.nx = static_cast<int64_t>(w / g.cell) + 1;
  g.ny = static_cast<int64_t>(h / g.cell) + 1;
  auto range = [&](const TriangleRec& r, int64_t& i0, int64_t& j0, int64_t& i1, int64_t& j1) {
    const double lx = std::min({r.A.X, r.B.X, r.C.X}), hx = std::max({r.A.X, r.B.X, r.C.X});
    const double ly = std::min({r.A.Y, r.B.Y, r.C.Y}), hy = std::max({r.A.Y, r.B.Y, r.C.Y});
    if (!std::isfinite(lx + hx + ly + hy)) return false;
    i0 = std::clamp<int64_t>(static_cast<int64_t>((lx - g.x0) / g.cell), 0, g.nx - 1);
    i1 = std::clamp<int64_t>(static_cast<int64_t>((hx - g.x0) / g.cell), 0, g.nx - 1);
    j0 = std::clamp<int64_t>(static_cast<int64_t>((ly - g.y0) / g.cell), 0, g.ny - 1);
    j1 = std::clamp<int64_t>(static_cast<int64_t>((hy - g.y0) / g.cell), 0, g.ny - 1);
    return true;
  };
  g.start.assign(static_cast<size_t>(g.nx * g.ny) + 1, 0);
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      for (size_t c = 1; c < g.start.size(); ++c) g.start[c] += g.start[c - 1];
      g.items.resize(g.start.back());
    }
    for (int32_t t = n; t >= 1; --t) {  // filled from the back: ascending per cell
      int64_t i0, j0, i1, j1;
      if (!range(m.Triangle(t), i0, j0, i1, j1)) continue;
      for (int64_t i = i0; i <= i1; ++i)
        for (int64_t j = j0; j <= j1; ++j) {
          const size_t c = static_cast<size_t>(i * g.ny + j);
          if (pass == 0)
            ++g.start[c + 1];
          else
            g.items[--g.start[c + 1]] = t;
        }
    }
  }
  // The second pass left cell c's first entry in start[c + 1].
  g.start.erase(g.start.begin());
  g.start.push_back(static_cast<uint32_t>(g.items.size()));
  return g;
}

void OverlapClipper::Candidates(const BoxGrid& g, double x0, double y0, double x1, double y1,
                                std::vector<int32_t>& out) const {
  out.clear();
  if (g.nx == 0) return;
  const int64_t i0 =
      std::clamp<int64_t>(static_cast<int64_t>(std::floor((x0 - g.x0) / g.cell)), 0, g.nx - 1);
  const int64_t i1 =
      std::clamp<int64_t>(static_cast<int64_t>(std::floor((x1 - g.x0) / g.cell)), 0, g.nx - 1);
  const int64_t j0 =
      std::clamp<int64_t>(static_cast<int64_t>(std::floor((y0 - g.y0) / g.cell)), 0, g.ny - 1);
  const int64_t j1 =
      std::clamp<int64_t>(static_cast<int64_t>(std::floor((y1 - g.y0) / g.cell)), 0, g.ny - 1);
  for (int64_t i = i0; i <= i1; ++i)
    for (int64_t j = j0; j <= j1; ++j) {
      const size_t c = static_cast<size_t>(i * g.ny + j);
      out.insert(out.end(), g.items.begin() + g.start[c], g.items.begin() + g.start[c + 1]);
    }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

void OverlapClipper::BuildGrids() {
  if (built_) return;
  gridA_ = Build(A_);
  gridB_ = Build(B_);
  built_ = true;
}

const TriangleRec* OverlapClipper::Holder(const TriangleMesh& m, const BoxGrid& g,
                                          const TriangleRec& t) {
  BuildGrids();
  // A triangle that holds t holds its centroid, so its box meets the
  // centroid's cell: the cell's list (ascending) is all there is to try.
  const double xc = t.A.X + ((t.B.X - t.A.X) + (t.C.X - t.A.X)) / 3;
  const double yc = t.A.Y + ((t.B.Y - t.A.Y) + (t.C.Y - t.A.Y)) / 3;
  if (g.nx == 0 || !std::isfinite(xc) || !std::isfinite(yc)) return nullptr;
  const int64_t i =
      std::clamp<int64_t>(static_cast<int64_t>(std::floor((xc - g.x0) / g.cell)), 0, g.nx - 1);
  const int64_t j =
      std::clamp<int64_t>(static_cast<int64_t>(std::floor((yc - g.y0) / g.cell)), 0, g.ny - 1);
  const size_t c = static_cast<size_t>(i * g.ny + j);
  for (uint32_t k = g.start[c]; k < g.start[c + 1]; ++k)
    if (Holds(m.Triangle(g.items[k]), t)) return &m.Triangle(g.items[k]);
  return nullptr;
}

PrismTotals OverlapClipper::Clip(const TriangleRec& t) {
  PrismTotals out;
  Pieces(t, [&](const PointRec& o, std::span<const Local> common, const TriangleRec& ta,
                const TriangleRec& tb) {
    auto d = [&](const Local& v) {
      return PlaneHeight(ta, v.x + o.X, v.y + o.Y) - PlaneHeight(tb, v.x + o.X, v.y + o.Y);
    };
    const double d0 = d(common[0]);
    for (size_t i = 1; i + 1 < common.size(); ++i) {
      const double S = std::abs(Cross(common[0], common[i], common[i + 1])) / 2;
      const auto [above, below] = SplitAtZero(S, {d0, d(common[i]), d(common[i + 1])});
      out.fill += above;
      out.cut += below;
      out.area += S;
    }
  });
  return out;
}

void OverlapClipper::Pieces(const TriangleRec& t, const PieceSink& sink) {
  BuildGrids();
  const PointRec& o = t.A;
  const Polygon piece = LocalCorners(t, o);
  if (piece.empty()) return;
  auto box = [&](const Polygon& p, double& x0, double& y0, double& x1, double& y1) {
    x0 = y0 = 1e300;
    x1 = y1 = -1e300;
    for (const Local& v : p) {
      x0 = std::min(x0, v.x + o.X);
      y0 = std::min(y0, v.y + o.Y);
      x1 = std::max(x1, v.x + o.X);
      y1 = std::max(y1, v.y + o.Y);
    }
  };
  double x0, y0, x1, y1;
  box(piece, x0, y0, x1, y1);
  Candidates(gridA_, x0, y0, x1, y1, candA_);
  for (int32_t a : candA_) {
    const TriangleRec& ta = A_.Triangle(a);
    const Polygon overA = ClipBy(piece, LocalCorners(ta, o));
    if (overA.empty()) continue;
    box(overA, x0, y0, x1, y1);
    Candidates(gridB_, x0, y0, x1, y1, candB_);
    for (int32_t b : candB_) {
      const TriangleRec& tb = B_.Triangle(b);
      const Polygon common = ClipBy(overA, LocalCorners(tb, o));
      if (common.empty()) continue;
      sink(o, common, ta, tb);
    }
  }
}

}  // namespace orvane
