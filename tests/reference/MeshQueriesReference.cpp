#include "reference/MeshQueriesReference.h"

#include <array>

#include "core/geometry/Kernels.h"

namespace orvane::reference {

bool LiteralPointInsideTriangle(const TriangleRec& t, double X, double Y) {
  const std::array<PointRec, 3> ring{t.A, t.B, t.C};
  int answer = 0;  // the caller's variable before the call
  if (const auto where = PointInPolygon(ring, X, Y)) answer = static_cast<int>(*where);
  return answer == 2 || answer == 3 || answer == 4;
}

int32_t LiteralTriangleAt(std::span<const TriangleRec> triangles, double X, double Y) {
  for (size_t t = 1; t < triangles.size(); ++t)
    if (LiteralPointInsideTriangle(triangles[t], X, Y)) return static_cast<int32_t>(t);
  return 0;
}

int32_t LiteralFindTriangle(std::span<const TriangleRec> triangles, const PointRec& q1,
                            const PointRec& q2, const PointRec& q3, bool checkZ) {
  for (size_t t = 1; t < triangles.size(); ++t) {
    const TriangleRec& tri = triangles[t];
    int count = 0;
    for (const PointRec* q : {&q1, &q2, &q3}) {
      bool hit = false;
      for (const PointRec* v : {&tri.A, &tri.B, &tri.C})
        if (PointsCoincide(*q, *v, checkZ)) hit = true;
      if (hit) ++count;
    }
    if (count == 3) return static_cast<int32_t>(t);
  }
  return 0;
}

std::vector<EdgeRec> LiteralEdgeList(std::span<const TriangleRec> triangles) {
  std::vector<EdgeRec> edges(1);
  for (size_t t = 1; t < triangles.size(); ++t) {
    const TriangleRec& tri = triangles[t];
    const int32_t a = RoundToInt32(tri.A.T), b = RoundToInt32(tri.B.T), c = RoundToInt32(tri.C.T);
    const int32_t id = static_cast<int32_t>(t);
    edges.push_back({a, b, id, false, 0});
    edges.push_back({b, c, id, false, 0});
    edges.push_back({c, a, id, false, 0});
  }
  for (size_t i = 1; i < edges.size(); ++i) {
    if (edges[i].Paired) continue;
    for (size_t j = 1; j < edges.size(); ++j) {
      EdgeRec& ei = edges[i];
      EdgeRec& ej = edges[j];
      if (ej.Paired || ej.TriA == ei.TriA) continue;
      const bool same = (ei.Vertex1 == ej.Vertex1 && ei.Vertex2 == ej.Vertex2) ||
                        (ei.Vertex1 == ej.Vertex2 && ei.Vertex2 == ej.Vertex1);
      if (!same) continue;
      ei.TriB = ej.TriA;
      ej.TriB = ei.TriA;
      ei.Paired = ej.Paired = true;
      break;
    }
  }
  return edges;
}

std::optional<std::vector<PointRec>> LiteralConcaveHull(std::span<const EdgeRec> edges,
                                                        std::span<const PointRec> points) {
  struct Border {
    PointRec P1, P2;
  };
  std::vector<Border> border;
  for (size_t i = 1; i < edges.size(); ++i)
    if (edges[i].TriB == 0)
      border.push_back({points[static_cast<size_t>(edges[i].Vertex1)],
                        points[static_cast<size_t>(edges[i].Vertex2)]});
  if (border.size() < 2) return std::nullopt;
  std::vector<PointRec> out;
  std::vector<bool> used(border.size(), false);
  size_t cur = 0;
  for (;;) {
    used[cur] = true;
    out.push_back(border[cur].P1);
    size_t next = border.size();
    for (size_t k = 0; k < border.size(); ++k)
      if (!used[k] && PointsCoincide(border[k].P1, border[cur].P2, true)) {
        next = k;
        break;
      }
    if (next == border.size()) break;
    cur = next;
  }
  out.push_back(border[cur].P2);
  for (size_t k = 0; k < out.size(); ++k) out[k].T = static_cast<double>(k + 1);
  return out;
}

}  // namespace orvane::reference
