#include "project/operations/ReindexedPoints.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/geometry/HashMix.h"
#include "core/geometry/Kernels.h"
#include "core/geometry/RadixSort.h"
#include "core/model/VertexTable.h"
#include "core/support/Status.h"

namespace orvane {

namespace {

// Vertices by their exact coordinates (bit for bit): the first of equal
// vertices is the only one the unique-vertex table needs to see.
class ExactVertexSet {
 public:
  explicit ExactVertexSet(size_t expected) {
    size_t cap = 1024;
    while (cap < expected * 2) cap <<= 1;
    slots_.assign(cap, -1);
  }
  // True the first time these coordinates are seen.
  bool Insert(const PointRec& v) {
    const uint64_t hash = Hash(v);
    // Neighbouring triangles come close together: a vertex met again is
    // usually still in the small table of recent ones.
    int32_t& recent = recent_[hash & (kRecent - 1)];
    if (recent >= 0 && Same(vertices_[static_cast<size_t>(recent)], v)) return false;
    if ((vertices_.size() + 1) * 2 > slots_.size()) Grow();
    const size_t mask = slots_.size() - 1;
    for (size_t h = hash & mask;; h = (h + 1) & mask) {
      if (slots_[h] < 0) {
        recent = slots_[h] = static_cast<int32_t>(vertices_.size());
        vertices_.push_back(v);
        return true;
      }
      if (Same(vertices_[static_cast<size_t>(slots_[h])], v)) {
        recent = slots_[h];
        return false;
      }
    }
  }

 private:
  static uint64_t Bits(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
  }
  static bool Same(const PointRec& a, const PointRec& b) {
    return Bits(a.X) == Bits(b.X) && Bits(a.Y) == Bits(b.Y) && Bits(a.Z) == Bits(b.Z);
  }
  static uint64_t Hash(const PointRec& v) {
    return HashMix(Bits(v.X) ^ HashMix(Bits(v.Y) ^ HashMix(Bits(v.Z))));
  }
  void Grow() {
    std::vector<int32_t> old(slots_.size() * 2, -1);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (int32_t k : old) {
      if (k < 0) continue;
      size_t h = Hash(vertices_[static_cast<size_t>(k)]) & mask;
      while (slots_[h] >= 0) h = (h + 1) & mask;
      slots_[h] = k;
    }
  }
  static constexpr size_t kRecent = 4096;
  std::vector<int32_t> recent_ = std::vector<int32_t>(kRecent, -1);
  std::vector<int32_t> slots_;
  std::vector<PointRec> vertices_;
};

uint64_t OrderedBits(double d) {
  uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return (u >> 63) != 0 ? ~u : u | (uint64_t{1} << 63);
}

// True when all the points are finite and no two match within 0.001 in X,
// Y and Z: the unique-vertex table then registers every one of them, in
// order, and matches nothing. Pairs close in X are next to each other once
// the points are sorted by X, so the test is a sort and a sweep.
bool Isolated(const std::vector<PointRec>& points) {
  std::vector<uint64_t> keys;
  std::vector<uint32_t> order;
  keys.reserve(points.size());
  order.reserve(points.size());
  for (size_t k = 0; k < points.size(); ++k) {
    const PointRec& p = points[k];
    if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.Z)) return false;
    keys.push_back(OrderedBits(p.X));
    order.push_back(static_cast<uint32_t>(k));
  }
  RadixSort(keys, order);
  for (size_t a = 0; a < order.size(); ++a) {
    const PointRec& p = points[order[a]];
    for (size_t b = a + 1; b < order.size(); ++b) {
      const PointRec& q = points[order[b]];
      if (q.X - p.X > CoincidenceTolerance) break;
      if (PointsMatch3D(p, q)) return false;
    }
  }
  return true;
}

}  // namespace

// A vertex equal to one seen before gets the number that one got (the table
// only grows, so the first match stays the same) and registers nothing: only
// the first of equal vertices is looked up. A vertex that copies its list's
// point exactly is known by that point's number, which is cheaper than its
// coordinates.
struct PointsInReindexOrder::State {
  explicit State(size_t triangles) : Triangles(triangles) { Firsts.reserve(triangles / 2 + 16); }
  size_t Triangles;
  ExactVertexSet Others{0};
  std::vector<PointRec> Firsts;  // the first of each set of equal vertices, in order
  std::span<const PointRec> Points;
  double Count = 0;  // of Points
  std::vector<uint8_t> Seen;
};

PointsInReindexOrder::PointsInReindexOrder(size_t triangles)
    : state_(std::make_unique<State>(triangles)) {}
PointsInReindexOrder::~PointsInReindexOrder() = default;

void PointsInReindexOrder::StartMesh(std::span<const PointRec> points) {
  State& s = *state_;
  s.Points = points;
  s.Count = static_cast<double>(points.empty() ? 0 : points.size() - 1);
  s.Seen.assign(points.size() + 1, 0);
}

void PointsInReindexOrder::Add(const PointRec& a, const PointRec& b, const PointRec& c) {
  State& s = *state_;
  for (const PointRec* v : {&a, &b, &c}) {
    const double index = v->T;
    if (index >= 1 && index <= s.Count && index == std::floor(index)) {
      const auto i = static_cast<size_t>(index);
      const PointRec& p = s.Points[i];
      if (p.X == v->X && p.Y == v->Y && p.Z == v->Z) {
        if (s.Seen[i]) continue;
        s.Seen[i] = 1;
      }
    } else if (!s.Others.Insert(*v)) {
      continue;
    }
    s.Firsts.push_back(*v);
  }
}

std::vector<PointRec> PointsInReindexOrder::Finish() {
  State& s = *state_;
  std::vector<PointRec> firsts = std::move(s.Firsts);
  s.Firsts = {};
  // Surfaces hold no two points that close (the build drops them, a reindex
  // merges them): then the vertices met first are the points, in order.
  // Otherwise the table decides.
  std::vector<PointRec> points;
  if (Isolated(firsts)) {
    points = std::move(firsts);
  } else {
    // Every vertex equals one of firsts, so their box is that of all.
    ExtentsRec box;
    for (const PointRec& v : firsts) GrowExtents(box, v);
    VertexTable table;
    table.Reset(box, s.Triangles / 2 + 16);
    for (const PointRec& v : firsts) table.AddQuadVertex(box.Min, v);
    points = table.UniquePoints();
  }
  for (size_t k = 0; k < points.size(); ++k) points[k].T = static_cast<double>(k + 1);
  return points;
}

Result<std::vector<PointRec>> ReindexedPoints(std::span<const TriangleMesh* const> meshes,
                                              Feedback& feedback) {
  size_t total = 0;
  for (const TriangleMesh* mesh : meshes) total += static_cast<size_t>(mesh->TriangleCount());
  PointsInReindexOrder points(total);
  size_t done = 0;
  for (const TriangleMesh* mesh : meshes) {
    points.StartMesh(mesh->Points());
    for (const TriangleRec& t : mesh->Triangles().subspan(1)) {
      if (++done % 65536 == 0) {
        feedback.Progress(PercentOf(static_cast<int64_t>(done), static_cast<int64_t>(total)), true);
        if (feedback.Cancelled()) return Outcome::Cancel();
      }
      points.Add(t.A, t.B, t.C);
    }
  }
  return points.Finish();
}

}  // namespace orvane
