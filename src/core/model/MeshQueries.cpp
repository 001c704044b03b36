// Queries that find triangles and edges: by vertices, by position, the edge
// list and the border polyline. Each answer is exactly the one the plain
// scan in index order would give; the spatial index and the hashing only
// skip the triangles and edges that cannot be the answer.

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/geometry/CellHash.h"
#include "core/geometry/Kernels.h"
#include "core/geometry/TriangleIndex.h"
#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"

namespace orvane {

namespace {

// Does query point q coincide with at least one vertex of t?
bool TouchesVertex(const TriangleRec& t, const PointRec& q, bool checkZ) {
  return PointsCoincide(q, t.A, checkZ) || PointsCoincide(q, t.B, checkZ) ||
         PointsCoincide(q, t.C, checkZ);
}

}  // namespace

int32_t TriangleMesh::FindTriangle(double x1, double y1, double z1, double x2, double y2, double z2,
                                   double x3, double y3, double z3, bool CheckZ) const {
  const PointRec q[3] = {{x1, y1, z1, 0}, {x2, y2, z2, 0}, {x3, y3, z3, 0}};
  auto all = [&](int32_t t) {
    const TriangleRec& tri = triangles_[static_cast<size_t>(t)];
    return TouchesVertex(tri, q[0], CheckZ) && TouchesVertex(tri, q[1], CheckZ) &&
           TouchesVertex(tri, q[2], CheckZ);
  };
  // A non-finite point coincides with nothing.
  for (const PointRec& p : q)
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return 0;
  if (TriangleCount() == 0) return 0;
  // Each query point lies within 0.001 of a vertex of the answer, hence
  // inside that triangle's widened box.
  const XYRec plan[3] = {{x1, y1}, {x2, y2}, {x3, y3}};
  return Index().FirstAccepted(plan, all);
}

bool TriangleMesh::PointInsideTriangle(int32_t idx, double X, double Y) const {
  if (idx < 1) throw std::out_of_range("PointInsideTriangle: index " + std::to_string(idx));
  if (idx > TriangleCount()) return false;
  const TriangleRec& t = triangles_[static_cast<size_t>(idx)];
  if (const std::optional<bool> quick = QuickTriangleTest(t, X, Y, false)) return *quick;
  // A, B, C without A repeated: the classifier walks only A-B and B-C.
  const std::array<PointRec, 3> ring{t.A, t.B, t.C};
  const std::optional<PolygonLocation> where = PointInPolygon(ring, X, Y);
  return where == PolygonLocation::OnVertex || where == PolygonLocation::OnEdge ||
         where == PolygonLocation::Inside;
}

int32_t TriangleMesh::TriangleAt(double X, double Y) const {
  const int32_t n = TriangleCount();
  if (n == 0) return 0;
  // NaN fails every comparison of the classifier: inside no triangle.
  if (std::isnan(X) || std::isnan(Y)) return 0;
  if (std::isinf(X) || std::isinf(Y)) {
    // Beyond every box; left to the classifier itself.
    for (int32_t t = 1; t <= n; ++t)
      if (PointInsideTriangle(t, X, Y)) return t;
    return 0;
  }
  return Index().FirstAccepted(X, Y, [&](int32_t t) { return PointInsideTriangle(t, X, Y); });
}

// Every triangle contributes (A,B), (B,C), (C,A) in that order; each edge is
// then paired with the first still-unpaired edge of another triangle that
// joins the same two points. Only edges joining the same two points can ever
// pair, so the edges are grouped by their unordered point pair (keeping the
// global order inside each group) and the pairing runs group by group.
//
// The grouping is a counting sort on the lower point number (edges of
// neighbouring triangles share points, so this pass has good locality),
// followed by a small sort of each point's edges on the higher number.
// Point numbers far outside 0..3n (never produced by Reindex) fall back to
// one comparison sort.
void TriangleMesh::GenerateEdgeList() {
  const size_t nt = static_cast<size_t>(TriangleCount());
  const size_t ne = 3 * nt;
  edges_.assign(ne + 1, EdgeRec{});
  int64_t lowest = 0, highest = 0;
  for (size_t t = 1; t <= nt; ++t) {
    const TriangleRec& tri = triangles_[t];
    const int32_t a = RoundToInt32(tri.A.T), b = RoundToInt32(tri.B.T), c = RoundToInt32(tri.C.T);
    const int32_t tri32 = static_cast<int32_t>(t);
    EdgeRec* e = &edges_[3 * t - 2];
    e[0] = {a, b, tri32, false, 0};
    e[1] = {b, c, tri32, false, 0};
    e[2] = {c, a, tri32, false, 0};
    lowest = std::min<int64_t>({lowest, a, b, c});
    highest = std::max<int64_t>({highest, a, b, c});
  }
  if (ne == 0) return;

  struct Item {
    int32_t lo, hi;  // point numbers, lo <= hi
    uint32_t edge;   // 1-based edge number
    bool operator<(const Item& o) const {
      return lo != o.lo ? lo < o.lo : (hi != o.hi ? hi < o.hi : edge < o.edge);
    }
  };
  auto item = [&](size_t i) {
    const EdgeRec& e = edges_[i];
    return Item{std::min(e.Vertex1, e.Vertex2), std::max(e.Vertex1, e.Vertex2),
                static_cast<uint32_t>(i)};
  };
  std::vector<Item> items(ne);
  const uint64_t range = static_cast<uint64_t>(highest - lowest) + 1;
  if (range <= 4 * ne + 1024) {
    std::vector<uint32_t> start(range + 1, 0);
    for (size_t i = 1; i <= ne; ++i) ++start[static_cast<size_t>(item(i).lo - lowest) + 1];
    for (size_t v = 0; v < range; ++v) start[v + 1] += start[v];
    std::vector<uint32_t> cursor(start.begin(), start.end() - 1);
    for (size_t i = 1; i <= ne; ++i) {
      const Item it = item(i);
      items[cursor[static_cast<size_t>(it.lo - lowest)]++] = it;
    }
    for (size_t v = 0; v < range; ++v) {
      Item* first = items.data() + start[v];
      Item* last = items.data() + start[v + 1];
      if (last - first <= 16) {
        for (Item* p = first + 1; p < last; ++p)  // insertion sort: a point has few edges
          for (Item* q = p; q > first && *q < *(q - 1); --q) std::swap(*q, *(q - 1));
      } else {
        std::sort(first, last);
      }
    }
  } else {
    for (size_t i = 1; i <= ne; ++i) items[i - 1] = item(i);
    std::sort(items.begin(), items.end());
  }

  // Inside a group a triangle's edges are adjacent, so an edge finds its
  // partner after skipping at most two edges of its own triangle and two
  // already paired by them; an edge that finds none now never will (every
  // later edge joins the scan after it).
  auto triangleOf = [](uint32_t edge) { return static_cast<int32_t>((edge + 2) / 3); };
  std::vector<uint8_t> paired(ne, 0);
  for (size_t first = 0; first < ne;) {
    size_t last = first + 1;
    while (last < ne && items[last].lo == items[first].lo && items[last].hi == items[first].hi)
      ++last;
    for (size_t p = first; p + 1 < last; ++p) {
      if (paired[p]) continue;
      const int32_t ti = triangleOf(items[p].edge);
      for (size_t q = p + 1; q < last; ++q) {
        const int32_t tj = triangleOf(items[q].edge);
        if (paired[q] || tj == ti) continue;
        paired[p] = paired[q] = 1;
        EdgeRec& ei = edges_[items[p].edge];
        EdgeRec& ej = edges_[items[q].edge];
        ei.TriB = tj;
        ej.TriB = ti;
        ei.Paired = ej.Paired = true;
        break;
      }
    }
    first = last;
  }
}

std::optional<EdgeRec> TriangleMesh::GetEdge(int32_t Index) const {
  if (Index < 1 || Index > EdgeCount()) return std::nullopt;
  return edges_[static_cast<size_t>(Index)];
}

std::optional<PointList> TriangleMesh::GetConcaveHull(bool ForceRebuildEdgeList) {
  if (ForceRebuildEdgeList || EdgeCount() == 0) GenerateEdgeList();
  // Vertex numbers are point indices; 0 reads the zero slot as it always has.
  auto point = [&](int32_t v) -> const PointRec& {
    if (v < 0 || v > PointCount())
      throw std::out_of_range("GetConcaveHull: edge vertex " + std::to_string(v) +
                              " is not a point of the mesh");
    return points_[static_cast<size_t>(v)];
  };
  struct Border {
    PointRec P1, P2;
  };
  std::vector<Border> border;
  for (int32_t i = 1; i <= EdgeCount(); ++i) {
    const EdgeRec& e = edges_[static_cast<size_t>(i)];
    if (e.TriB == 0) border.push_back({point(e.Vertex1), point(e.Vertex2)});
  }
  if (border.size() < 2) return std::nullopt;

  // Border edges filed by the plan cell of their start point. Cells are
  // 0.002 wide, so a start point that coincides with P2 (strictly within
  // 0.001) sits in P2's cell or a neighbour.
  constexpr double kCell = 2 * CoincidenceTolerance;
  CellHash cells;
  std::vector<uint32_t> cellOf(border.size());
  for (size_t b = 0; b < border.size(); ++b)
    cellOf[b] = cells.Insert(0, CellCoordinate(border[b].P1.X, kCell),
                             CellCoordinate(border[b].P1.Y, kCell));
  std::vector<uint32_t> start(cells.size() + 1, 0);
  for (uint32_t c : cellOf) ++start[c + 1];
  for (size_t c = 0; c < cells.size(); ++c) start[c + 1] += start[c];
  std::vector<uint32_t> members(border.size());  // ascending border order per cell
  {
    std::vector<uint32_t> cursor(start.begin(), start.end() - 1);
    for (size_t b = 0; b < border.size(); ++b)
      members[cursor[cellOf[b]]++] = static_cast<uint32_t>(b);
  }
  // skip[k]: the first member position >= k of the same cell that may still
  // be unused (path-compressed), so runs of used edges cost nothing twice.
  std::vector<uint32_t> skip(members.size() + 1);
  for (size_t k = 0; k < skip.size(); ++k) skip[k] = static_cast<uint32_t>(k);
  std::vector<bool> used(border.size(), false);
  auto nextFree = [&](uint32_t k) {
    uint32_t root = k;
    while (skip[root] != root) root = skip[root];
    while (skip[k] != root) {
      const uint32_t up = skip[k];
      skip[k] = root;
      k = up;
    }
    return root;
  };
  std::vector<uint32_t> positionOf(border.size());
  for (size_t k = 0; k < members.size(); ++k) positionOf[members[k]] = static_cast<uint32_t>(k);

  PointList hull;
  hull.Model = PointListModel::MeshBorder;
  uint32_t cur = 0;
  for (;;) {
    used[cur] = true;
    skip[positionOf[cur]] = positionOf[cur] + 1;
    const Border& e = border[cur];
    hull.AddVertex(e.P1.X, e.P1.Y, e.P1.Z, 0);
    const PointRec& q = e.P2;
    uint32_t found = CellHash::kMissing;
    const int64_t ci = CellCoordinate(q.X, kCell), cj = CellCoordinate(q.Y, kCell);
    for (int64_t i = ci - 1; i <= ci + 1; ++i)
      for (int64_t j = cj - 1; j <= cj + 1; ++j) {
        const uint32_t c = cells.Find(0, i, j);
        if (c == CellHash::kMissing) continue;
        for (uint32_t k = nextFree(start[c]); k < start[c + 1]; k = nextFree(k + 1)) {
          const uint32_t b = members[k];
          if (b >= found) break;
          if (PointsCoincide(border[b].P1, q, true)) {
            found = b;
            break;
          }
        }
      }
    if (found == CellHash::kMissing) break;
    cur = found;
  }
  const PointRec& last = border[cur].P2;
  hull.AddVertex(last.X, last.Y, last.Z, 0);
  return hull;
}

// Two neighbouring triangles exchange their common edge for the other
// diagonal of their quadrilateral. Any other pair (the same triangle, no
// triangle, triangles not sharing exactly one edge) is left alone.
void TriangleMesh::SwapEdge(double x1, double y1, double x2, double y2) {
  const int32_t t1 = TriangleAt(x1, y1);
  const int32_t t2 = TriangleAt(x2, y2);
  if (t1 == 0 || t2 == 0 || t1 == t2) return;
  const TriangleRec first = triangles_[static_cast<size_t>(t1)];
  const TriangleRec second = triangles_[static_cast<size_t>(t2)];
  const std::array<PointRec, 3> u{first.A, first.B, first.C};
  const std::array<PointRec, 3> v{second.A, second.B, second.C};
  auto same = [](const PointRec& p, const PointRec& q) { return p.X == q.X && p.Y == q.Y; };
  // Which vertex of the second triangle each vertex of the first matches.
  int match[3] = {-1, -1, -1};
  int shared = 0;
  bool taken[3] = {false, false, false};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (!taken[j] && same(u[i], v[j])) {
        match[i] = j;
        taken[j] = true;
        ++shared;
        break;
      }
  if (shared != 2) return;
  int o1 = 0;
  while (match[o1] >= 0) ++o1;
  int o2 = 0;
  while (taken[o2]) ++o2;
  // Quadrilateral o1, sa, o2, sb, with sa, sb the shared edge in the first
  // triangle's turning order; both new triangles keep that turning order.
  const PointRec& po1 = u[static_cast<size_t>(o1)];
  const PointRec& sa = u[static_cast<size_t>((o1 + 1) % 3)];
  const PointRec& sb = u[static_cast<size_t>((o1 + 2) % 3)];
  const PointRec& po2 = v[static_cast<size_t>(o2)];
  if (same(po1, po2)) return;  // the "quadrilateral" folds onto itself
  TriangleRec& n1 = MutableTriangle(t1);
  n1.A = po1;
  n1.B = sa;
  n1.C = po2;
  TriangleRec& n2 = MutableTriangle(t2);
  n2.A = po2;
  n2.B = sb;
  n2.C = po1;
}

}  // namespace orvane
