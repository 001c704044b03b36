#include "triangulation/WorkTriangulation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>
#include <utility>

#include "core/geometry/Predicates.h"
#include "core/storage/Records.h"

namespace orvane {

namespace {
inline int IndexOf(const WorkTriangulation::Tri& t, int32_t v) {
  return t.v[0] == v ? 0 : (t.v[1] == v ? 1 : (t.v[2] == v ? 2 : -1));
}
inline uint64_t EdgeKey(int32_t a, int32_t b) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32) | static_cast<uint32_t>(b);
}
// The lists are sized for the points and the crossings expected; beyond
// that they grow by a quarter, not double: a doubled list of millions of
// triangles would be copied whole and stay mostly unused.
template <class T>
void RoomForOneMore(std::vector<T>& list) {
  if (list.size() == list.capacity()) list.reserve(list.capacity() + list.capacity() / 4 + 16);
}
}  // namespace

double WorkTriangulation::OrientOf(int32_t a, int32_t b, int32_t c) const {
  const PointRec &A = pts[static_cast<size_t>(a)], &B = pts[static_cast<size_t>(b)],
                 &C = pts[static_cast<size_t>(c)];
  return Orient2D(A.X, A.Y, B.X, B.Y, C.X, C.Y);
}

double WorkTriangulation::Orient(int32_t a, int32_t b, int32_t c) const {
  const double r = OrientOf(a, b, c);
  Record(a, b, c, -1, r);
  return r;
}

double WorkTriangulation::InCircleOf(const Tri& t, int32_t p) const {
  const double r = InCircleOfTriangle(t.v[0], t.v[1], t.v[2], p);
  Record(t.v[0], t.v[1], t.v[2], p, r);
  return r;
}

int8_t WorkTriangulation::Decide(const Decision& d) const {
  const double r = d.d < 0 ? OrientOf(d.a, d.b, d.c) : InCircleOfTriangle(d.a, d.b, d.c, d.d);
  return static_cast<int8_t>((r > 0) - (r < 0));
}

int64_t WorkTriangulation::Rank(int32_t v) const {
  if (v < workCount_) return rank_.empty() ? v : rank_[static_cast<size_t>(v)];
  if (v < workCount_ + 3) return int64_t{v} - workCount_ - 3;  // enclosing corners: first
  return v;                                                    // crossing points: last
}

double WorkTriangulation::InCircleOfTriangle(int32_t a, int32_t b, int32_t c, int32_t p) const {
  const PointRec &A = pts[static_cast<size_t>(a)], &B = pts[static_cast<size_t>(b)],
                 &C = pts[static_cast<size_t>(c)], &P = pts[static_cast<size_t>(p)];
  const double r = InCircle(A.X, A.Y, B.X, B.Y, C.X, C.Y, P.X, P.Y);
  if (r != 0) return r;
  // Four co-circular points. Insertion in rank order keeps a triangle when
  // the new point lies exactly on its circle: the highest-ranked of the four
  // counts as outside. That is the exact result of lifting every point by
  // an infinitesimal that grows with its rank, so the answer below is the
  // sign of the highest-ranked point's coefficient in the lifted
  // determinant; with it, any insertion order gives the triangulation that
  // rank-order insertion gives.
  struct Candidate {
    int64_t rank;
    int which;
  };
  const auto coefficient = [&](int which) {
    switch (which) {
      case 0:
        return OrientOf(p, b, c);
      case 1:
        return OrientOf(a, p, c);
      case 2:
        return OrientOf(a, b, p);
      default:
        return -OrientOf(a, b, c);
    }
  };
  Candidate k[4] = {{Rank(a), 0}, {Rank(b), 1}, {Rank(c), 2}, {Rank(p), 3}};
  // The highest-ranked point's coefficient nearly always decides (it is 0
  // only when the other three are collinear); the rest are sorted only then.
  int top = 0;
  for (int i = 1; i < 4; ++i)
    if (k[i].rank > k[top].rank) top = i;
  if (const double d = coefficient(k[top].which); d != 0) return d;
  std::sort(k, k + 4, [](const Candidate& x, const Candidate& y) { return x.rank > y.rank; });
  for (int i = 1; i < 4; ++i)
    if (const double d = coefficient(k[i].which); d != 0) return d;
  return 0;
}

int32_t WorkTriangulation::NewTri(int32_t a, int32_t b, int32_t c) {
  Tri t;
  t.v[0] = a;
  t.v[1] = b;
  t.v[2] = c;
  t.n[0] = t.n[1] = t.n[2] = -1;
  int32_t id;
  if (!free_.empty()) {
    id = free_.back();
    free_.pop_back();
    tris[static_cast<size_t>(id)] = t;
  } else {
    id = static_cast<int32_t>(tris.size());
    RoomForOneMore(tris);
    RoomForOneMore(stamp_);
    tris.push_back(t);
    stamp_.push_back(0);
  }
  ++live_;
  return id;
}

void WorkTriangulation::Kill(int32_t t) {
  Tri& tri = tris[static_cast<size_t>(t)];
  if (!tri.alive) return;
  tri.alive = false;
  for (int i = 0; i < 3; ++i) {
    const int32_t nb = tri.n[i];
    if (nb < 0) continue;
    Tri& o = tris[static_cast<size_t>(nb)];
    for (int k = 0; k < 3; ++k)
      if (o.n[k] == t) o.n[k] = -1;
  }
  free_.push_back(t);
  --live_;
}

bool WorkTriangulation::StillAnEdge(int32_t a, int32_t b) {
  if (!freedSorted_) {
    std::sort(freed_.begin(), freed_.end());
    freedSorted_ = true;
  }
  return !std::binary_search(freed_.begin(), freed_.end(), EdgeKey(std::min(a, b), std::max(a, b)));
}

void WorkTriangulation::ReleaseScratch() {
  std::vector<int32_t>().swap(vertexTri);
  std::vector<int32_t>().swap(free_);
  std::vector<uint32_t>().swap(stamp_);
  std::vector<int32_t>().swap(startOf_);
  std::vector<int32_t>().swap(endOf_);
  std::vector<int32_t>().swap(cavityScratch_);
  std::vector<int32_t>().swap(fanScratch_);
  std::vector<Rim>().swap(rimScratch_);
  std::vector<uint64_t>().swap(freed_);
}

void WorkTriangulation::Start(int32_t a, int32_t b, int32_t c) {
  tris.clear();
  free_.clear();
  stamp_.clear();
  // A triangulation of n points has at most 2n triangles: reserving them
  // for the points and the room beyond them (for crossings) avoids copying
  // the list as it grows.
  const size_t room = pts.capacity();
  tris.reserve(2 * room + 16);
  stamp_.reserve(2 * room + 16);
  live_ = 0;
  for (auto* perVertex : {&vertexTri, &startOf_, &endOf_}) {
    perVertex->reserve(room);
    perVertex->assign(pts.size(), -1);
  }
  if (Orient(a, b, c) < 0) std::swap(b, c);
  const int32_t t = NewTri(a, b, c);
  vertexTri[static_cast<size_t>(a)] = vertexTri[static_cast<size_t>(b)] =
      vertexTri[static_cast<size_t>(c)] = t;
}

int32_t WorkTriangulation::StartTriangle() const {
  if (last_ >= 0 && vertexTri[static_cast<size_t>(last_)] >= 0)
    return vertexTri[static_cast<size_t>(last_)];
  for (size_t t = 0; t < tris.size(); ++t)
    if (tris[t].alive) return static_cast<int32_t>(t);
  return -1;
}

int WorkTriangulation::ExitEdge(const Tri& tri, double x, double y, uint32_t& rng) const {
  rng ^= rng << 13;
  rng ^= rng >> 17;
  rng ^= rng << 5;
  const int r = static_cast<int>(rng % 3);
  for (int k = 0; k < 3; ++k) {
    const int i = (r + k) % 3;
    const PointRec &A = pts[static_cast<size_t>(tri.v[Next(i)])],
                   &B = pts[static_cast<size_t>(tri.v[Prev(i)])];
    const double o = Orient2D(A.X, A.Y, B.X, B.Y, x, y);
    if (locating_ >= 0) Record(tri.v[Next(i)], tri.v[Prev(i)], locating_, -1, o);
    if (o < 0) return i;
  }
  return -1;
}

int32_t WorkTriangulation::Locate(double x, double y, int32_t start) {
  // Visibility walk with a randomised first edge, which cannot cycle.
  int32_t t = start;
  for (size_t steps = 0; t >= 0 && steps < 4 * tris.size() + 16; ++steps) {
    const Tri& tri = tris[static_cast<size_t>(t)];
    const int i = ExitEdge(tri, x, y, rng_);
    if (i < 0) return t;
    t = tri.n[i];
  }
  return -1;
}

void WorkTriangulation::RimOf(std::span<const int32_t> cavity, uint32_t round,
                              std::vector<Rim>& rim) const {
  rim.clear();
  for (int32_t c : cavity) {
    const Tri& t = tris[static_cast<size_t>(c)];
    for (int i = 0; i < 3; ++i) {
      const int32_t nb = LinkOf(t, i);
      // A constraint edge bounds the cavity even with a cavity triangle across.
      const bool con = t.con >> i & 1;
      if (nb >= 0 && !con && stamp_[static_cast<size_t>(nb)] == round) continue;
      int oe = -1;
      if (nb >= 0) {
        const Tri& o = tris[static_cast<size_t>(nb)];
        for (int k = 0; k < 3; ++k)
          if (LinkOf(o, k) == c) oe = k;
      }
      rim.push_back({t.v[Next(i)], t.v[Prev(i)], nb, oe, con});
    }
  }
}

int32_t WorkTriangulation::Insert(int32_t p) {
  const PointRec& P = pts[static_cast<size_t>(p)];
  const int32_t start = StartTriangle();
  if (start < 0) return -1;
  locating_ = p;
  const int32_t t0 = Locate(P.X, P.Y, start);
  locating_ = -1;
  if (t0 < 0) return -1;
  if (InsertFrom(p, t0)) return p;
  for (int32_t v : tris[static_cast<size_t>(t0)].v) {
    const PointRec& V = pts[static_cast<size_t>(v)];
    if (V.X == P.X && V.Y == P.Y) return v;
  }
  return -1;
}

bool WorkTriangulation::InsertFrom(int32_t p, int32_t t0) {
  // A point inside a closed triangle lies strictly inside its circumcircle
  // unless it is one of the corners.
  if (!(InCircleOf(tris[static_cast<size_t>(t0)], p) > 0)) return false;

  ++round_;
  std::vector<int32_t>& cavity = cavityScratch_;
  cavity.clear();
  cavity.push_back(t0);
  stamp_[static_cast<size_t>(t0)] = round_;
  for (size_t k = 0; k < cavity.size(); ++k) {
    const Tri& t = tris[static_cast<size_t>(cavity[k])];
    for (int i = 0; i < 3; ++i) {
      const int32_t nb = t.n[i];
      if (nb < 0 || (t.con >> i & 1) || stamp_[static_cast<size_t>(nb)] == round_) continue;
      if (InCircleOf(tris[static_cast<size_t>(nb)], p) > 0) {
        stamp_[static_cast<size_t>(nb)] = round_;
        cavity.push_back(nb);
      }
    }
  }

  std::vector<Rim>& rim = rimScratch_;
  RimOf(cavity, round_, rim);

  // Reuse the cavity's slots for the fan.
  for (int32_t c : cavity) {
    tris[static_cast<size_t>(c)].alive = false;
    free_.push_back(c);
    --live_;
  }
  std::vector<int32_t>& fan = fanScratch_;
  fan.clear();
  for (const Rim& e : rim) {
    const int32_t t = NewTri(e.a, e.b, p);
    Tri& tri = tris[static_cast<size_t>(t)];
    tri.n[2] = e.outside;
    if (e.con) tri.con |= 4;
    if (e.outside >= 0 && e.outsideEdge >= 0)
      tris[static_cast<size_t>(e.outside)].n[e.outsideEdge] = t;
    startOf_[static_cast<size_t>(e.a)] = t;
    endOf_[static_cast<size_t>(e.b)] = t;
    fan.push_back(t);
  }
  for (int32_t t : fan) {
    Tri& tri = tris[static_cast<size_t>(t)];
    tri.n[0] = startOf_[static_cast<size_t>(tri.v[1])];  // across (b, p)
    tri.n[1] = endOf_[static_cast<size_t>(tri.v[0])];    // across (p, a)
    vertexTri[static_cast<size_t>(tri.v[0])] = t;
    vertexTri[static_cast<size_t>(tri.v[1])] = t;
  }
  vertexTri[static_cast<size_t>(p)] = fan.front();
  last_ = p;
  return true;
}

// What the removal of the enclosing triangle leaves to the hull cover: the
// inserted points that were corners of removed triangles, and each edge of a
// kept triangle that faced a removed one, keyed as the kept triangle runs it
// (counter-clockwise), and the removed triangles with two such points
// (those two and the corner).
struct WorkTriangulation::HullRim {
  std::vector<int32_t> vertices;
  std::vector<std::pair<uint64_t, std::pair<int32_t, int>>> keptEdges;
  std::vector<std::array<int32_t, 3>> pairs;
};

void WorkTriangulation::RemoveTrianglesWithVertexFrom(int32_t firstRemoved, bool coverHull) {
  auto removed = [&](const Tri& tri) {
    return tri.v[0] >= firstRemoved || tri.v[1] >= firstRemoved || tri.v[2] >= firstRemoved;
  };
  HullRim rim;
  for (size_t t = 0; t < tris.size(); ++t) {
    const Tri& tri = tris[t];
    if (!tri.alive || !removed(tri)) continue;
    if (coverHull) {
      for (int i = 0; i < 3; ++i) {
        if (tri.v[i] < firstRemoved) rim.vertices.push_back(tri.v[i]);
        if (tri.v[i] >= firstRemoved && tri.v[Next(i)] < firstRemoved &&
            tri.v[Prev(i)] < firstRemoved)
          rim.pairs.push_back({tri.v[Next(i)], tri.v[Prev(i)], tri.v[i]});
        const int32_t nb = tri.n[i];
        if (nb < 0 || !tris[static_cast<size_t>(nb)].alive ||
            removed(tris[static_cast<size_t>(nb)]))
          continue;
        const Tri& o = tris[static_cast<size_t>(nb)];
        for (int k = 0; k < 3; ++k)
          if (o.n[k] == static_cast<int32_t>(t))
            rim.keptEdges.push_back({EdgeKey(o.v[Next(k)], o.v[Prev(k)]), {nb, k}});
      }
    }
    Kill(static_cast<int32_t>(t));
  }
  std::fill(vertexTri.begin(), vertexTri.end(), -1);
  for (size_t t = 0; t < tris.size(); ++t) {
    if (!tris[t].alive) continue;
    for (int32_t v : tris[t].v) vertexTri[static_cast<size_t>(v)] = static_cast<int32_t>(t);
  }
  if (coverHull) CoverHull(rim);
}

// The finite enclosing triangle loses exactly the Delaunay triangles of the
// points whose circumcircle holds one of its corners; the triangles that stay
// are Delaunay triangles of the points (their circles hold no point). The
// lost ones fill the pockets between the kept triangles and the convex hull,
// and every corner of them was a corner of a removed triangle. So they are
// rebuilt by Delaunay gift-wrapping from the hull edges, over those rim
// vertices only: the apex over an open edge is the rim vertex on its inner
// side whose circle with the edge holds no other, which is the Delaunay
// triangle's apex because that circle holds no point at all. The in-circle
// ties are broken as insertion breaks them, so the result is the
// triangulation that insertion with the corners at infinity would give.
//
// The apex is looked for among the rim vertices of the edge's own pocket
// only, so that the cost is the pockets' sizes, not the rim's squared: the
// removed triangles that reach into the hull join their points, and the
// removed triangles over one pocket are connected through shared edges, each
// holding a point of the pocket. A removed triangle beyond a hull edge joins
// nothing (it would chain the pockets together along the hull).
void WorkTriangulation::CoverHull(const HullRim& rim) {
  std::vector<int32_t> V = rim.vertices;
  std::sort(V.begin(), V.end());
  V.erase(std::unique(V.begin(), V.end()), V.end());
  // Beyond 1e60 the in-circle determinant (fourth powers) overflows.
  for (int32_t v : V) {
    const PointRec& p = pts[static_cast<size_t>(v)];
    if (!(std::fabs(p.X) < 1e60 && std::fabs(p.Y) < 1e60)) return;
  }
  if (V.size() < 3) return;
  const std::vector<int32_t> hull = HullOf(V);
  if (hull.empty()) return;  // collinear: no triangle
  WrapPockets(rim, hull, PocketsOf(rim, std::move(V), hull));
}

// Convex hull of the rim vertices (it holds every point on the hull of all
// of them), counter-clockwise, with the points on its edges: the Delaunay
// edges along the hull join consecutive collinear points. Empty when the
// vertices are collinear.
std::vector<int32_t> WorkTriangulation::HullOf(const std::vector<int32_t>& V) const {
  std::vector<int32_t> byXY = V;
  std::sort(byXY.begin(), byXY.end(), [&](int32_t a, int32_t b) {
    const PointRec &A = pts[static_cast<size_t>(a)], &B = pts[static_cast<size_t>(b)];
    return A.X < B.X || (A.X == B.X && A.Y < B.Y);
  });
  const int32_t first = byXY.front(), last = byXY.back();
  if (std::all_of(byXY.begin(), byXY.end(), [&](int32_t v) { return Orient(first, last, v) == 0; }))
    return {};
  std::vector<int32_t> hull;
  auto chain = [&](auto begin, auto end) {
    const size_t base = hull.size();
    for (auto it = begin; it != end; ++it) {
      while (hull.size() >= base + 2 && Orient(hull[hull.size() - 2], hull.back(), *it) < 0)
        hull.pop_back();
      hull.push_back(*it);
    }
    hull.pop_back();  // the next chain starts there
  };
  chain(byXY.begin(), byXY.end());
  chain(byXY.rbegin(), byXY.rend());
  return hull;
}

// Pockets: rim vertices joined through the removed triangles, listed pocket
// by pocket.
WorkTriangulation::RimPockets WorkTriangulation::PocketsOf(const HullRim& rim,
                                                           std::vector<int32_t> V,
                                                           const std::vector<int32_t>& hull) const {
  RimPockets p;
  p.vertices = std::move(V);
  const size_t n = p.vertices.size();
  std::vector<int32_t> hullAt(n, -1);
  for (size_t k = 0; k < hull.size(); ++k) hullAt[p.Slot(hull[k])] = static_cast<int32_t>(k);
  std::vector<size_t> parent(n);
  for (size_t k = 0; k < n; ++k) parent[k] = k;
  auto root = [&](size_t k) {
    while (parent[k] != k) k = parent[k] = parent[parent[k]];
    return k;
  };
  const auto m = static_cast<int32_t>(hull.size());
  for (const auto& [u, w, corner] : rim.pairs) {
    const size_t su = p.Slot(u), sw = p.Slot(w);
    const int32_t hu = hullAt[su], hw = hullAt[sw];
    if (hu >= 0 && hw >= 0) {
      // Beyond the hull edge u-w (counter-clockwise a-b: outside on the right)?
      const bool forward = (hu + 1) % m == hw, backward = (hw + 1) % m == hu;
      if ((forward && Orient(u, w, corner) < 0) || (backward && Orient(w, u, corner) < 0)) continue;
    }
    parent[root(su)] = root(sw);
  }
  p.rootOf.resize(n);
  for (size_t k = 0; k < n; ++k) p.rootOf[k] = root(k);
  p.start.assign(n + 1, 0);
  for (size_t k = 0; k < n; ++k) ++p.start[p.rootOf[k] + 1];
  for (size_t k = 0; k < n; ++k) p.start[k + 1] += p.start[k];
  p.members.resize(n);
  std::vector<size_t> fill(p.start.begin(), p.start.end() - 1);
  for (size_t k = 0; k < n; ++k) p.members[fill[p.rootOf[k]]++] = p.vertices[k];
  return p;
}

size_t WorkTriangulation::RimPockets::Slot(int32_t v) const {
  return static_cast<size_t>(std::lower_bound(vertices.begin(), vertices.end(), v) -
                             vertices.begin());
}

// Gift-wraps the pockets from the hull edges inwards.
void WorkTriangulation::WrapPockets(const HullRim& rim, const std::vector<int32_t>& hull,
                                    const RimPockets& pockets) {
  // Directed edges with a triangle on their left (-1: the outside of the
  // hull), and the edges still open.
  std::unordered_map<uint64_t, std::pair<int32_t, int>> closed;
  closed.reserve(4 * pockets.vertices.size() + rim.keptEdges.size());
  for (const auto& [key, side] : rim.keptEdges) closed.emplace(key, side);
  std::vector<std::pair<int32_t, int32_t>> open;
  for (size_t k = 0; k < hull.size(); ++k) {
    const int32_t a = hull[k], b = hull[(k + 1) % hull.size()];
    closed.emplace(EdgeKey(b, a), std::pair<int32_t, int>{-1, -1});
    open.push_back({a, b});
  }

  // A triangulation of m points has fewer than 2m triangles.
  size_t budget = 2 * pockets.vertices.size() + 4;
  while (!open.empty()) {
    const auto [a, b] = open.back();
    open.pop_back();
    if (closed.count(EdgeKey(a, b))) continue;
    int32_t c = -1;
    Tri probe{};
    probe.v[0] = a;
    probe.v[1] = b;
    const size_t r = pockets.rootOf[pockets.Slot(a)];
    for (size_t k = pockets.start[r]; k < pockets.start[r + 1]; ++k) {
      const int32_t v = pockets.members[k];
      if (v == a || v == b || !(Orient(a, b, v) > 0)) continue;
      probe.v[2] = c;
      if (c < 0 || InCircleOf(probe, v) > 0) c = v;
    }
    if (c < 0 || closed.count(EdgeKey(b, c)) || closed.count(EdgeKey(c, a)) || budget-- == 0)
      return;  // not reached with exact predicates
    const int32_t t = NewTri(a, b, c);
    for (int i = 0; i < 3; ++i) {
      Tri& tri = tris[static_cast<size_t>(t)];
      const int32_t u = tri.v[Next(i)], w = tri.v[Prev(i)];
      closed.emplace(EdgeKey(u, w), std::pair<int32_t, int>{t, i});
      auto twin = closed.find(EdgeKey(w, u));
      if (twin == closed.end()) {
        open.push_back({w, u});
      } else if (twin->second.first >= 0) {
        tri.n[i] = twin->second.first;
        tris[static_cast<size_t>(twin->second.first)].n[twin->second.second] = t;
      }
      vertexTri[static_cast<size_t>(tri.v[i])] = t;
    }
  }
}

bool WorkTriangulation::CoversSegment(int32_t a, int32_t b) const {
  if (a == b) return true;
  const PointRec &A = pts[static_cast<size_t>(a)], &B = pts[static_cast<size_t>(b)];
  const double len = std::hypot(B.X - A.X, B.Y - A.Y);
  if (!(len > 0)) return false;
  auto progress = [&](int32_t v) {
    const PointRec& P = pts[static_cast<size_t>(v)];
    return (P.X - A.X) * (B.X - A.X) + (P.Y - A.Y) * (B.Y - A.Y);
  };
  auto nearSegment = [&](int32_t v) {
    const PointRec& P = pts[static_cast<size_t>(v)];
    const double o = Orient2D(A.X, A.Y, B.X, B.Y, P.X, P.Y);
    return o == 0 || std::fabs(o) / len <= CoincidenceTolerance;
  };
  const double whole = progress(b);
  // Progress grows along every path, so the walk cannot cycle; the few
  // vertices seen keep it from repeating a branch.
  std::vector<int32_t> stack{a}, seen;
  while (!stack.empty()) {
    const int32_t v = stack.back();
    stack.pop_back();
    if (std::find(seen.begin(), seen.end(), v) != seen.end()) continue;
    seen.push_back(v);
    const int32_t start = vertexTri[static_cast<size_t>(v)];
    if (start < 0) continue;
    {
      // Nearly always the whole segment is one edge: found without reading
      // the neighbours' coordinates.
      int32_t t;
      int e;
      if (FindEdge(v, b, t, e)) return true;
    }
    const double here = progress(v);
    for (int dir = 0; dir < 2; ++dir) {
      int32_t cur = start;
      bool around = false;
      for (size_t guard = 0; cur >= 0 && guard < tris.size() + 1; ++guard) {
        const Tri& tri = tris[static_cast<size_t>(cur)];
        const int i = IndexOf(tri, v);
        if (!tri.alive || i < 0) break;
        for (int32_t w : {tri.v[Next(i)], tri.v[Prev(i)]}) {
          const double p = progress(w);
          if (p > here && p < whole && nearSegment(w)) stack.push_back(w);
        }
        cur = dir == 0 ? tri.n[Next(i)] : tri.n[Prev(i)];
        if (cur == start) {
          around = true;
          break;
        }
      }
      if (around) break;
    }
  }
  return false;
}

bool WorkTriangulation::FindEdge(int32_t a, int32_t b, int32_t& t, int& edge) const {
  // Rotate around a in both directions from its triangle.
  const int32_t start = vertexTri[static_cast<size_t>(a)];
  if (start < 0) return false;
  for (int dir = 0; dir < 2; ++dir) {
    int32_t cur = start;
    for (size_t guard = 0; cur >= 0 && guard < tris.size() + 1; ++guard) {
      const Tri& tri = tris[static_cast<size_t>(cur)];
      const int i = IndexOf(tri, a);
      if (tri.v[Next(i)] == b) {
        t = cur;
        edge = Prev(i);
        return true;
      }
      if (tri.v[Prev(i)] == b) {
        t = cur;
        edge = Next(i);
        return true;
      }
      cur = dir == 0 ? tri.n[Next(i)] : tri.n[Prev(i)];
      if (cur == start) break;
    }
  }
  return false;
}

void WorkTriangulation::MarkConstrained(int32_t t, int e) {
  Tri& tri = tris[static_cast<size_t>(t)];
  tri.con |= static_cast<uint8_t>(1u << e);
  const int32_t nb = tri.n[e];
  if (nb < 0) return;
  Tri& o = tris[static_cast<size_t>(nb)];
  for (int k = 0; k < 3; ++k)
    if (o.n[k] == t) o.con |= static_cast<uint8_t>(1u << k);
}

bool WorkTriangulation::ForceSegment(int32_t a, int32_t b) {
  // Rounded crossing points can lie a hair off both segments, so that the
  // pieces cross again near the first crossing, and again: without a bound
  // such a cluster grows without end. A real segment needs a few pieces per
  // constraint it crosses; this is far beyond any of them.
  constexpr int64_t kBudget = int64_t{1} << 18;
  const bool outermost = forceDepth_ == 0;
  if (outermost) {
    forceBudget_ = kBudget;
    oneEdge_ = false;
    // Most segments are edges already: marked without the work list.
    int32_t t;
    int k;
    if (a != b && vertexTri[static_cast<size_t>(a)] >= 0 &&
        vertexTri[static_cast<size_t>(b)] >= 0 && FindEdge(a, b, t, k)) {
      MarkConstrained(t, k);
      oneEdge_ = true;
      return true;
    }
  }
  ++forceDepth_;
  std::vector<std::pair<int32_t, int32_t>> pending{{a, b}};
  bool ok = true;
  size_t pieces = 0;
  while (!pending.empty()) {
    if (--forceBudget_ < 0) {
      ok = false;
      break;
    }
    auto [s, e] = pending.back();
    pending.pop_back();
    madeEdge_ = false;
    if (!ForceOne(s, e, pending)) ok = false;
    // The segment itself became one edge: its first piece was all of it.
    if (++pieces == 1 && outermost) oneEdge_ = ok && madeEdge_ && pending.empty();
  }
  if (outermost && pieces != 1) oneEdge_ = false;
  --forceDepth_;
  return ok;
}

// Forces s-e, or pushes the pieces it splits into onto pending.
bool WorkTriangulation::ForceOne(int32_t s, int32_t e,
                                 std::vector<std::pair<int32_t, int32_t>>& pending, bool reversed) {
  if (s == e) return true;
  if (vertexTri[static_cast<size_t>(s)] < 0 || vertexTri[static_cast<size_t>(e)] < 0) return false;
  {
    int32_t t;
    int k;
    if (FindEdge(s, e, t, k)) {
      MarkConstrained(t, k);
      madeEdge_ = true;
      return true;
    }
  }
  const SegmentExit exit = ExitFrom(s, e);
  if (exit.through >= 0) {  // the segment runs through a vertex of the fan
    pending.push_back({exit.through, e});
    pending.push_back({s, exit.through});
    return true;
  }
  if (exit.t < 0) {
    // The segment leaves s outside the triangulated area (s is on its
    // border). Try from the other end; when neither end enters, the segment
    // crosses no edge at all and there is nothing to force.
    if (reversed) return true;
    return ForceOne(e, s, pending, true);
  }
  return CrossFrom(exit, s, e, pending);
}

// Whether v lies strictly between s and e along the segment's direction.
bool WorkTriangulation::Between(int32_t s, int32_t e, int32_t v) const {
  const PointRec &S = pts[static_cast<size_t>(s)], &E = pts[static_cast<size_t>(e)];
  const PointRec& V = pts[static_cast<size_t>(v)];
  return (V.X - S.X) * (E.X - S.X) + (V.Y - S.Y) * (E.Y - S.Y) > 0 &&
         (V.X - E.X) * (S.X - E.X) + (V.Y - E.Y) * (S.Y - E.Y) > 0;
}

// The triangle at s whose wedge the segment s->e leaves through, turning
// around s one way and then the other.
WorkTriangulation::SegmentExit WorkTriangulation::ExitFrom(int32_t s, int32_t e) const {
  const int32_t start = vertexTri[static_cast<size_t>(s)];
  for (int dir = 0; dir < 2; ++dir) {
    int32_t cur = start;
    for (size_t guard = 0; cur >= 0 && guard < tris.size() + 1; ++guard) {
      const Tri& tri = tris[static_cast<size_t>(cur)];
      const int i = IndexOf(tri, s);
      const int32_t c = tri.v[Next(i)], d = tri.v[Prev(i)];
      const double oc = Orient(s, e, c), od = Orient(s, e, d);
      if (oc == 0 && Between(s, e, c)) return {.through = c};
      if (od == 0 && Between(s, e, d)) return {.through = d};
      if (oc < 0 && od > 0) return {.t = cur, .right = c, .left = d};  // c right of s->e, d left
      cur = dir == 0 ? tri.n[Next(i)] : tri.n[Prev(i)];
      if (cur == start) break;
    }
  }
  return {};
}

// Walks from the exit triangle across the edges s-e crosses, collecting the
// region and its two chains, and retriangulates it with s-e as an edge; or
// pushes the pieces onto pending where the segment meets a vertex, a
// constraint or the border on the way.
bool WorkTriangulation::CrossFrom(const SegmentExit& exit, int32_t s, int32_t e,
                                  std::vector<std::pair<int32_t, int32_t>>& pending) {
  int32_t L = exit.left, R = exit.right;
  std::vector<int32_t> region{exit.t};
  std::vector<int32_t> left{L}, right{R};
  auto splitAt = [&](int32_t w) {
    pending.push_back({w, e});
    pending.push_back({s, w});
    return true;
  };
  int32_t cur = exit.t;
  while (true) {
    Tri& tri = tris[static_cast<size_t>(cur)];
    const int k = 3 - IndexOf(tri, L) - IndexOf(tri, R);  // edge L-R lies opposite v[k]
    if (tri.con >> k & 1) {
      const int32_t x = SplitConstraintAt(cur, k, s, e);
      return x >= 0 && splitAt(x);
    }
    const int32_t nb = tri.n[k];
    if (nb < 0) {
      // The segment leaves the triangulated area through a border edge. On
      // a boundary this happens where a point counted as on the boundary
      // lies a hair outside it: the border vertex nearer the segment's line
      // is then taken as a point of the segment, as an exact hit would be.
      const int32_t w = std::fabs(Orient(s, e, L)) <= std::fabs(Orient(s, e, R)) ? L : R;
      return Between(s, e, w) && splitAt(w);
    }
    region.push_back(nb);
    const Tri& nt = tris[static_cast<size_t>(nb)];
    const int32_t w = nt.v[3 - IndexOf(nt, L) - IndexOf(nt, R)];
    if (w == e) break;
    const double ow = Orient(s, e, w);
    if (ow == 0) return splitAt(w);  // through vertex w: force s-w here, then w-e
    if (ow > 0) {
      L = w;
      left.push_back(w);
    } else {
      R = w;
      right.push_back(w);
    }
    cur = nb;
  }
  Retriangulate(region, s, e, left, right);
  madeEdge_ = true;
  return true;
}

int32_t WorkTriangulation::SplitConstraintAt(int32_t t, int edge, int32_t s, int32_t e) {
  Tri& tri = tris[static_cast<size_t>(t)];
  const int32_t c = tri.v[Next(edge)], d = tri.v[Prev(edge)];
  const PointRec &C = pts[static_cast<size_t>(c)], &D = pts[static_cast<size_t>(d)];
  const PointRec &S = pts[static_cast<size_t>(s)], &E = pts[static_cast<size_t>(e)];
  // Crossing point, parametrised along the earlier constraint c-d.
  const double den = (D.X - C.X) * (E.Y - S.Y) - (D.Y - C.Y) * (E.X - S.X);
  if (den == 0) return -1;
  double u = ((S.X - C.X) * (E.Y - S.Y) - (S.Y - C.Y) * (E.X - S.X)) / den;
  u = std::clamp(u, 0.0, 1.0);
  PointRec X{C.X + u * (D.X - C.X), C.Y + u * (D.Y - C.Y), C.Z + u * (D.Z - C.Z), 0};
  if ((X.X == C.X && X.Y == C.Y)) return c;
  if ((X.X == D.X && X.Y == D.Y)) return d;

  // A crossing at an end of either segment is that end: a new point there
  // would lie a rounding error away from it, and the pieces meeting at the
  // two would cross each other again and again.
  int32_t nearest = -1;
  double nearestDistance = CoincidenceTolerance;
  for (int32_t v : {c, d, s, e}) {
    const PointRec& V = pts[static_cast<size_t>(v)];
    const double dist = std::hypot(V.X - X.X, V.Y - X.Y);
    if (dist <= nearestDistance) {
      nearest = v;
      nearestDistance = dist;
    }
  }
  if (nearest == c || nearest == d) return nearest;  // s-e runs through it
  if (nearest >= 0) return RerouteConstraint(t, edge, nearest) ? nearest : -1;

  // Free the old constraint, insert the crossing point, force both halves.
  const int32_t nb = tri.n[edge];
  FreeConstraint(t, edge);
  const int32_t x = static_cast<int32_t>(pts.size());
  for (auto* perVertex : {&vertexTri, &startOf_, &endOf_}) RoomForOneMore(*perVertex);
  RoomForOneMore(pts);
  pts.push_back(X);
  vertexTri.push_back(-1);
  startOf_.push_back(-1);
  endOf_.push_back(-1);
  int32_t host = t;
  if (Orient(c, d, x) < 0 && nb >= 0) host = nb;  // X rounded to the other side
  const Tri& h = tris[static_cast<size_t>(host)];
  for (int i = 0; i < 3; ++i) {
    if (Orient(h.v[Next(i)], h.v[Prev(i)], x) < 0) {
      host = Locate(X.X, X.Y, host);
      break;
    }
  }
  if (host < 0 || !InsertFrom(x, host)) {
    pts.pop_back();
    vertexTri.pop_back();
    startOf_.pop_back();
    endOf_.pop_back();
    return -1;
  }
  if (!ForceSegment(c, x) || !ForceSegment(x, d)) return -1;
  return x;
}

// The constraint across edge of t (whose ends are c and d) becomes c-x-d,
// x being a vertex within the coincidence tolerance of it.
bool WorkTriangulation::RerouteConstraint(int32_t t, int edge, int32_t x) {
  const Tri& tri = tris[static_cast<size_t>(t)];
  const int32_t c = tri.v[Next(edge)], d = tri.v[Prev(edge)];
  FreeConstraint(t, edge);
  return ForceSegment(c, x) && ForceSegment(x, d);
}

void WorkTriangulation::FreeConstraint(int32_t t, int edge) {
  Tri& tri = tris[static_cast<size_t>(t)];
  {
    const int32_t c = tri.v[Next(edge)], d = tri.v[Prev(edge)];
    freed_.push_back(EdgeKey(std::min(c, d), std::max(c, d)));
  }
  tri.con &= static_cast<uint8_t>(~(1u << edge));
  const int32_t nb = tri.n[edge];
  if (nb < 0) return;
  Tri& o = tris[static_cast<size_t>(nb)];
  for (int k = 0; k < 3; ++k)
    if (o.n[k] == t) o.con &= static_cast<uint8_t>(~(1u << k));
}

void WorkTriangulation::Retriangulate(const std::vector<int32_t>& region, int32_t a, int32_t b,
                                      const std::vector<int32_t>& left,
                                      const std::vector<int32_t>& right) {
  const std::vector<RegionEdge> rim = RemoveRegion(region);
  std::vector<int32_t> made;
  TriangulateChain(left, true, a, b, made);
  TriangulateChain(right, false, a, b, made);
  LinkRegion(made, rim, a, b);
}

std::vector<WorkTriangulation::RegionEdge> WorkTriangulation::RemoveRegion(
    const std::vector<int32_t>& region) {
  std::vector<RegionEdge> rim;
  ++round_;
  for (int32_t t : region) stamp_[static_cast<size_t>(t)] = round_;
  for (int32_t t : region) {
    const Tri& tri = tris[static_cast<size_t>(t)];
    for (int i = 0; i < 3; ++i) {
      const int32_t nb = tri.n[i];
      if (nb >= 0 && stamp_[static_cast<size_t>(nb)] == round_) continue;
      int oe = -1;
      if (nb >= 0) {
        const Tri& o = tris[static_cast<size_t>(nb)];
        for (int k = 0; k < 3; ++k)
          if (o.n[k] == t) oe = k;
      }
      rim.push_back({EdgeKey(tri.v[Next(i)], tri.v[Prev(i)]), nb, oe, (tri.con >> i & 1) != 0});
    }
  }
  std::sort(rim.begin(), rim.end(), [](const auto& x, const auto& y) { return x.key < y.key; });
  for (int32_t t : region) {
    tris[static_cast<size_t>(t)].alive = false;
    free_.push_back(t);
    --live_;
  }
  return rim;
}

void WorkTriangulation::TriangulateChain(const std::vector<int32_t>& chain, bool chainOnLeft,
                                         int32_t a, int32_t b, std::vector<int32_t>& made) {
  // Constrained Delaunay triangulation of the pseudo-polygon: the apex c
  // over base (p, q) is the chain vertex whose circumcircle with p, q holds
  // no other chain vertex; the chain splits at c and both parts recurse.
  struct Job {
    int32_t p, q;
    size_t lo, hi;  // chain[lo..hi) lies between p and q
  };
  std::vector<Job> jobs{{a, b, 0, chain.size()}};
  while (!jobs.empty()) {
    const Job j = jobs.back();
    jobs.pop_back();
    if (j.lo >= j.hi) continue;
    size_t ci = j.lo;
    for (size_t k = j.lo + 1; k < j.hi; ++k) {
      // (p, q, c) counter-clockwise when the chain lies left of p->q.
      const int32_t p = j.p, q = j.q, c = chain[ci], v = chain[k];
      const PointRec &P = pts[static_cast<size_t>(p)], &Q = pts[static_cast<size_t>(q)],
                     &C = pts[static_cast<size_t>(c)], &V = pts[static_cast<size_t>(v)];
      const double inc = chainOnLeft ? InCircle(P.X, P.Y, Q.X, Q.Y, C.X, C.Y, V.X, V.Y)
                                     : InCircle(Q.X, Q.Y, P.X, P.Y, C.X, C.Y, V.X, V.Y);
      if (inc > 0) ci = k;
    }
    const int32_t c = chain[ci];
    made.push_back(chainOnLeft ? NewTri(j.p, j.q, c) : NewTri(j.q, j.p, c));
    jobs.push_back({j.p, c, j.lo, ci});
    jobs.push_back({c, j.q, ci + 1, j.hi});
  }
}

void WorkTriangulation::LinkRegion(const std::vector<int32_t>& made,
                                   const std::vector<RegionEdge>& rim, int32_t a, int32_t b) {
  // Internal edges pair up among the new triangles, rim edges reach what
  // lies beyond, and a-b becomes a constraint.
  std::vector<std::pair<uint64_t, std::pair<int32_t, int>>> inner;
  for (int32_t t : made) {
    const Tri& tri = tris[static_cast<size_t>(t)];
    for (int i = 0; i < 3; ++i) inner.push_back({EdgeKey(tri.v[Next(i)], tri.v[Prev(i)]), {t, i}});
  }
  std::sort(inner.begin(), inner.end());
  for (int32_t t : made) {
    Tri& tri = tris[static_cast<size_t>(t)];
    for (int i = 0; i < 3; ++i) {
      const int32_t u = tri.v[Next(i)], v = tri.v[Prev(i)];
      const uint64_t key = EdgeKey(u, v);
      auto r = std::lower_bound(rim.begin(), rim.end(), key,
                                [](const RegionEdge& x, uint64_t k) { return x.key < k; });
      if (r != rim.end() && r->key == key) {
        tri.n[i] = r->outside;
        if (r->con) tri.con |= static_cast<uint8_t>(1u << i);
        if (r->outside >= 0 && r->outsideEdge >= 0)
          tris[static_cast<size_t>(r->outside)].n[r->outsideEdge] = t;
        continue;
      }
      const uint64_t twin = EdgeKey(v, u);
      auto m = std::lower_bound(inner.begin(), inner.end(),
                                std::make_pair(twin, std::make_pair(-1, -1)));
      if (m != inner.end() && m->first == twin) tri.n[i] = m->second.first;
      if ((u == a && v == b) || (u == b && v == a)) tri.con |= static_cast<uint8_t>(1u << i);
    }
    for (int32_t v : tri.v) vertexTri[static_cast<size_t>(v)] = t;
  }
}

}  // namespace orvane
