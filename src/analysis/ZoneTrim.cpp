#include "analysis/ZoneTrim.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "core/geometry/Kernels.h"
#include "core/geometry/RadixSort.h"
#include "core/model/VertexTable.h"
#include "core/support/Status.h"
#include "triangulation/RingLocator.h"

namespace orvane {

// ---------------------------------------------------------------------------
// Zones.
//
// PointList::IsPointInside is a winding-angle classifier: on a vertex (0.001
// in X and Y), on an edge (the edge seen under an angle within 0.001 of pi),
// else inside when the angle sum exceeds pi. Seen from a point farther from
// an edge than about len * 0.001 / 4 (len its length) the edge subtends less
// than pi - 0.001, so a point that keeps that distance from every edge is
// answered by the winding number alone, which is the same for every point of
// a region that no edge comes near. The grid marks the cells that some edge
// comes near (with a wide safety factor); every other cell is answered once,
// at its centre, by the classifier itself. Rounding adds at most a few 1e-7
// radians per edge to the sum, far from pi for rings below kMaxGridRing.
struct ZoneClassifier::Zone {
  const PointList* list = nullptr;
  bool grid = false;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // the grid's box (vertices widened by the margin)
  double cell = 0;
  int64_t nx = 0, ny = 0;
  enum : uint8_t { kNear = 0, kUnknown = 1, kIn = 2, kOut = 3 };
  std::vector<uint8_t> state;

  int64_t Column(double X) const {
    return std::clamp<int64_t>(static_cast<int64_t>(std::floor((X - x0) / cell)), 0, nx - 1);
  }
  int64_t Row(double Y) const {
    return std::clamp<int64_t>(static_cast<int64_t>(std::floor((Y - y0) / cell)), 0, ny - 1);
  }

  bool Inside(double X, double Y) const {
    if (!grid || !std::isfinite(X) || !std::isfinite(Y)) return list->IsPointInside(X, Y);
    if (X < x0 || X > x1 || Y < y0 || Y > y1) return false;
    const int64_t i = Column(X), j = Row(Y);
    const uint8_t s = state[static_cast<size_t>(i * ny + j)];
    return s == kNear ? list->IsPointInside(X, Y) : s == kIn;
  }

  void Build() {
    constexpr size_t kMaxGridRing = 100000;
    const std::span<const PointRec> pts = list->Points().subspan(1);
    if (pts.size() < 2 || pts.size() > kMaxGridRing) return;
    std::vector<PointRec> ring(pts.begin(), pts.end());
    ring.push_back(pts.front());
    if (!PlaceGrid(ring)) return;
    state.assign(static_cast<size_t>(nx * ny), kUnknown);
    for (size_t k = 1; k < ring.size(); ++k) MarkNear(ring[k - 1], ring[k]);
    AnswerFarCells();
    grid = true;
  }

 private:
  static constexpr double kMarginFactor = 0.002;  // of the edge length; the bound is about 0.00025
  static constexpr double kMarginFixed = 0.002;   // metres; the vertex test reaches 0.001

  // The grid's box (the ring's, widened by the largest edge's margin), cell
  // and size; false when the ring is not worth a grid or too large for one.
  bool PlaceGrid(const std::vector<PointRec>& ring) {
    double minX = ring[0].X, maxX = minX, minY = ring[0].Y, maxY = minY, margin = kMarginFixed;
    for (size_t k = 0; k < ring.size(); ++k) {
      const PointRec& p = ring[k];
      if (!std::isfinite(p.X) || !std::isfinite(p.Y) || std::abs(p.X) > 1e12 ||
          std::abs(p.Y) > 1e12)
        return false;
      minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
      minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
      if (k > 0)
        margin =
            std::max(margin, kMarginFixed + kMarginFactor *
                                                Distance2D(ring[k - 1].X, ring[k - 1].Y, p.X, p.Y));
    }
    x0 = minX - margin, x1 = maxX + margin, y0 = minY - margin, y1 = maxY + margin;
    const double w = x1 - x0, h = y1 - y0;
    const double cells = std::clamp(1024.0 * static_cast<double>(ring.size()), 4096.0, 4.0e6);
    cell = std::sqrt(w * h / cells);
    if (!(cell > 0) || !std::isfinite(cell)) return false;
    nx = static_cast<int64_t>(std::ceil(w / cell)) + 1;
    ny = static_cast<int64_t>(std::ceil(h / cell)) + 1;
    if (nx * ny > 16'000'000) return false;
    // Pieces of at most one cell per edge keep long diagonal edges from
    // marking their whole box.
    double pieces = 0;
    for (size_t k = 1; k < ring.size(); ++k)
      pieces += std::ceil(Distance2D(ring[k - 1].X, ring[k - 1].Y, ring[k].X, ring[k].Y) / cell);
    return !(pieces > 8.0e6);
  }

  // Marks the cells that edge a-b comes near, piece by piece.
  void MarkNear(const PointRec& a, const PointRec& b) {
    const double len = Distance2D(a.X, a.Y, b.X, b.Y);
    const double m = kMarginFixed + kMarginFactor * len;
    const int64_t steps = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(len / cell)));
    for (int64_t s = 0; s < steps; ++s) {
      const double f0 = static_cast<double>(s) / static_cast<double>(steps);
      const double f1 = static_cast<double>(s + 1) / static_cast<double>(steps);
      const double ax = s == 0 ? a.X : a.X + (b.X - a.X) * f0;
      const double ay = s == 0 ? a.Y : a.Y + (b.Y - a.Y) * f0;
      const double bx = s + 1 == steps ? b.X : a.X + (b.X - a.X) * f1;
      const double by = s + 1 == steps ? b.Y : a.Y + (b.Y - a.Y) * f1;
      // Interpolated piece ends may miss the true line by rounding; a cell
      // of slack covers that.
      const double slack = cell * 1e-6;
      const int64_t i0 = Column(std::min(ax, bx) - m - slack);
      const int64_t i1 = Column(std::max(ax, bx) + m + slack);
      const int64_t j0 = Row(std::min(ay, by) - m - slack);
      const int64_t j1 = Row(std::max(ay, by) + m + slack);
      for (int64_t i = i0; i <= i1; ++i)
        for (int64_t j = j0; j <= j1; ++j) state[static_cast<size_t>(i * ny + j)] = kNear;
    }
  }

  // Two neighbouring cells that no edge comes near are joined by a segment
  // that stays in them, so a whole run of such cells along a column has the
  // winding number of its first cell's centre.
  void AnswerFarCells() {
    for (int64_t i = 0; i < nx; ++i) {
      uint8_t run = kUnknown;
      for (int64_t j = 0; j < ny; ++j) {
        uint8_t& s = state[static_cast<size_t>(i * ny + j)];
        if (s == kNear) {
          run = kUnknown;
          continue;
        }
        if (run == kUnknown)
          run = list->IsPointInside(x0 + (static_cast<double>(i) + 0.5) * cell,
                                    y0 + (static_cast<double>(j) + 0.5) * cell)
                    ? kIn
                    : kOut;
        s = run;
      }
    }
  }
};

ZoneClassifier::ZoneClassifier(std::span<const PointList> zones) {
  for (const PointList& z : zones) {
    if (z.Model != PointListModel::Boundary) continue;
    Zone zone;
    zone.list = &z;
    zone.Build();
    zones_.push_back(std::move(zone));
  }
}

ZoneClassifier::~ZoneClassifier() = default;

bool ZoneClassifier::Contains(double X, double Y) const {
  for (const Zone& z : zones_)
    if (z.Inside(X, Y)) return true;
  return false;
}

int32_t CountPointsInZones(const PointList& points, std::span<const PointList> zones,
                           int32_t limit) {
  // The triangulator's own test of a point against a boundary (on its ring
  // or inside), through the ring locator, which answers in time independent
  // of the ring's length.
  std::vector<RingLocator> rings;
  for (const PointList& z : zones) {
    if (z.Model != PointListModel::Boundary || z.count() < 3) continue;
    std::vector<XYRec> ring;
    ring.reserve(static_cast<size_t>(z.count()));
    for (int32_t i = 1; i <= z.count(); ++i) ring.push_back({z.Point(i).X, z.Point(i).Y});
    rings.emplace_back(ring);
  }
  int32_t n = 0;
  for (int32_t i = 1; i <= points.count() && n < limit; ++i) {
    const PointRec& p = points.Point(i);
    for (const RingLocator& r : rings)
      if (r.Classify(p.X, p.Y) != RingLocator::Place::Outside) {
        ++n;
        break;
      }
  }
  return n;
}

std::vector<PointList> ZoneEdgeConstraints(std::span<const PointList> zones) {
  std::vector<PointList> edges;
  for (const PointList& zone : zones) {
    if (zone.Model != PointListModel::Boundary || zone.count() < 3) continue;
    PointList ring = zone;
    ring.Model = PointListModel::Breakline;
    const PointRec first = ring.Point(1), last = ring.Point(ring.count());
    if (first.X != last.X || first.Y != last.Y) ring.AddVertex(first.X, first.Y, first.Z, 0);
    edges.push_back(std::move(ring));
  }
  return edges;
}

namespace {

std::vector<int32_t> OutsideZones(const TriangleMesh& mesh, std::span<const PointList> zones,
                                  Feedback& feedback) {
  const ZoneClassifier classifier(zones);
  std::vector<int32_t> outside;
  const int32_t n = mesh.TriangleCount();
  for (int32_t i = 1; i <= n; ++i) {
    const TriangleRec& t = mesh.Triangle(i);
    const double cx = (t.A.X + t.B.X + t.C.X) / 3;
    const double cy = (t.A.Y + t.B.Y + t.C.Y) / 3;
    if (!classifier.Contains(cx, cy)) outside.push_back(i);
    if ((i & 0xFFFF) == 0) feedback.Progress(PercentOf(i, 2 * int64_t{n}), true);
  }
  return outside;
}

}  // namespace

std::vector<int32_t> TrianglesOutsideZones(const TriangleMesh& mesh,
                                           std::span<const PointList> zones) {
  Feedback quiet;
  return OutsideZones(mesh, zones, quiet);
}

// ---------------------------------------------------------------------------
// Removal.
//
// The point numbering needs more thought. RemoveTriangle reindexes when a
// corner of the removed triangle (by its number T) is used by no remaining
// triangle; Reindex numbers the points from the remaining triangles alone.
// So the final mesh is: the triangles left after the last removal that
// reindexed, reindexed once, minus the later removals (which renumber no
// point). What remains is to find that last reindexing removal, which
// depends on the numbering in force at each removal:
//  - before the first reindex, the original T of the vertices;
//  - after one, the points of Reindex: a vertex joins the first point of
//    its own cell (cells are 1/100 of the box of the remaining vertices)
//    that matches it within 0.001 in X, Y and Z. For a vertex whose
//    coordinates match no other distinct coordinates of the mesh, its
//    point is exactly the vertices with identical coordinates, whatever the
//    box; for the rare clusters of distinct coordinates within 0.001 of each
//    other, the table is run on the cluster's vertices alone with the box in
//    force at the last reindex.
namespace {

constexpr int32_t kNever = std::numeric_limits<int32_t>::max();

// Ids of distinct coordinates (X, Y, Z compared exactly, -0 as 0), in order
// of first sight; open addressing keeps a million lookups cheap.
class CoordinateIds {
 public:
  explicit CoordinateIds(size_t expected) {
    size_t cap = 64;
    while (cap < 2 * expected) cap <<= 1;
    slots_.assign(cap, -1);
  }
  int32_t IdOf(const PointRec& p) {
    const PointRec key{p.X + 0.0, p.Y + 0.0, p.Z + 0.0, 0};
    if ((coords_.size() + 1) * 2 > slots_.size()) Grow();
    const size_t mask = slots_.size() - 1;
    for (size_t h = Hash(key) & mask;; h = (h + 1) & mask) {
      const int32_t id = slots_[h];
      if (id < 0) {
        slots_[h] = static_cast<int32_t>(coords_.size());
        coords_.push_back(key);
        return slots_[h];
      }
      const PointRec& c = coords_[static_cast<size_t>(id)];
      if (c.X == key.X && c.Y == key.Y && c.Z == key.Z) return id;
    }
  }
  std::vector<PointRec>& Coordinates() { return coords_; }

 private:
  static size_t Hash(const PointRec& k) {
    uint64_t h = 0x9e3779b97f4a7c15ULL;
    for (double d : {k.X, k.Y, k.Z}) {
      uint64_t bits;
      std::memcpy(&bits, &d, sizeof bits);
      h = (h ^ bits) * 0xff51afd7ed558ccdULL;
      h ^= h >> 32;
    }
    return static_cast<size_t>(h);
  }
  void Grow() {
    slots_.assign(slots_.size() * 2, -1);
    const size_t mask = slots_.size() - 1;
    for (size_t id = 0; id < coords_.size(); ++id) {
      size_t h = Hash(coords_[id]) & mask;
      while (slots_[h] >= 0) h = (h + 1) & mask;
      slots_[h] = static_cast<int32_t>(id);
    }
  }
  std::vector<int32_t> slots_;
  std::vector<PointRec> coords_;
};

int32_t FindRoot(std::vector<int32_t>& parent, int32_t a) {
  while (parent[static_cast<size_t>(a)] != a) {
    parent[static_cast<size_t>(a)] = parent[static_cast<size_t>(parent[static_cast<size_t>(a)])];
    a = parent[static_cast<size_t>(a)];
  }
  return a;
}

const PointRec& Corner(const TriangleRec& t, int k) {
  return k == 0 ? t.A : (k == 1 ? t.B : t.C);
}

// outside: ascending original numbers.
void LiteralTrim(TriangleMesh& mesh, const std::vector<int32_t>& outside) {
  int32_t removed = 0;
  for (int32_t t : outside) mesh.RemoveTriangle(t - removed++);
}

// Cells in (i, j) order, ties in id order (the order given): a radix sort
// of packed offsets when the spread allows, a comparison sort otherwise.
template <class Cell>
std::vector<Cell> SortedByCell(const std::vector<Cell>& cells) {
  std::vector<Cell> sorted = cells;
  if (cells.empty()) return sorted;
  int64_t i0 = cells[0].i, i1 = i0, j0 = cells[0].j, j1 = j0;
  for (const Cell& c : cells) {
    i0 = std::min(i0, c.i), i1 = std::max(i1, c.i);
    j0 = std::min(j0, c.j), j1 = std::max(j1, c.j);
  }
  const auto bitsFor = [](uint64_t span) { return span == 0 ? 0 : std::bit_width(span); };
  const uint64_t spanI = static_cast<uint64_t>(i1) - static_cast<uint64_t>(i0);
  const uint64_t spanJ = static_cast<uint64_t>(j1) - static_cast<uint64_t>(j0);
  const int bitsJ = bitsFor(spanJ);
  if (bitsFor(spanI) + bitsJ > 63) {
    std::sort(sorted.begin(), sorted.end(), [](const Cell& a, const Cell& b) {
      return a.i != b.i ? a.i < b.i : (a.j != b.j ? a.j < b.j : a.id < b.id);
    });
    return sorted;
  }
  std::vector<uint64_t> keys(cells.size());
  for (size_t k = 0; k < cells.size(); ++k)
    keys[k] =
        (static_cast<uint64_t>(cells[k].i - i0) << bitsJ) | static_cast<uint64_t>(cells[k].j - j0);
  RadixSort(keys, sorted);  // stable: equal cells keep the id order
  return sorted;
}

class RemovalPlan {
 public:
  explicit RemovalPlan(const TriangleMesh& mesh) : mesh_(mesh), n_(mesh.TriangleCount()) {}

  // The triangles removed (original numbers), in removal order.
  void SetRemovals(const std::vector<int32_t>& outside) {
    removedAt_.assign(static_cast<size_t>(n_) + 1, kNever);
    order_ = outside;
    for (size_t k = 0; k < order_.size(); ++k)
      removedAt_[static_cast<size_t>(order_[k])] = static_cast<int32_t>(k + 1);
  }

  // Step (1-based in removal order) of the last removal that reindexes; 0
  // for none.
  int32_t LastReindex() {
    if (order_.empty()) return 0;
    GroupByT();
    GroupByCoordinates();
    int32_t last = 0;
    for (int32_t step = 1; step <= static_cast<int32_t>(order_.size()); ++step) {
      const int32_t t = order_[static_cast<size_t>(step) - 1];
      const size_t o = 3 * static_cast<size_t>(t - 1);
      for (int k = 0; k < 3; ++k) {
        --tCount_[static_cast<size_t>(tId_[o + k])];
        --coordCount_[static_cast<size_t>(coordId_[o + k])];
      }
      bool orphan = false;
      for (int k = 0; k < 3 && !orphan; ++k) {
        if (last == 0) {
          const double T = Corner(mesh_.Triangle(t), k).T;
          orphan = T > 0 && tCount_[static_cast<size_t>(tId_[o + k])] == 0;
        } else {
          orphan = OrphanedSince(last, step, o + k);
        }
      }
      if (orphan) {
        last = step;
        if (!clusters_.empty()) AdvanceBox(step);
      }
    }
    return last;
  }

  const std::vector<int32_t>& Order() const { return order_; }

 private:
  // Vertices sharing a T value; T values of the usual form (whole numbers
  // within the point count) index directly, others go through a map.
  void GroupByT() {
    const size_t occurrences = 3 * static_cast<size_t>(n_);
    tId_.resize(occurrences);
    const int64_t direct = mesh_.PointCount();
    std::unordered_map<double, int32_t> other;
    int32_t next = static_cast<int32_t>(direct) + 1;
    for (int32_t t = 1; t <= n_; ++t)
      for (int k = 0; k < 3; ++k) {
        const double T = Corner(mesh_.Triangle(t), k).T;
        int32_t id;
        if (T >= 1 && T <= static_cast<double>(direct) && T == std::floor(T)) {
          id = static_cast<int32_t>(T);
        } else {
          // NaN never equals itself: each NaN is a group of its own.
          if (std::isnan(T)) {
            id = next++;
          } else {
            auto [it, added] = other.try_emplace(T == 0 ? 0.0 : T, next);
            if (added) ++next;
            id = it->second;
          }
        }
        tId_[3 * static_cast<size_t>(t - 1) + static_cast<size_t>(k)] = id;
      }
    tCount_.assign(static_cast<size_t>(next), 0);
    for (int32_t id : tId_) ++tCount_[static_cast<size_t>(id)];
  }

  void GroupByCoordinates() {
    const size_t occurrences = 3 * static_cast<size_t>(n_);
    coordId_.resize(occurrences);
    const int32_t np = mesh_.PointCount();
    // Vertices are usually exact copies of the point their T names: then
    // the points alone need hashing.
    bool copies = true;
    for (int32_t t = 1; t <= n_ && copies; ++t)
      for (int k = 0; k < 3 && copies; ++k) {
        const PointRec& v = Corner(mesh_.Triangle(t), k);
        copies = v.T >= 1 && v.T <= np && v.T == std::floor(v.T);
        if (copies) {
          const PointRec& p = mesh_.Point(static_cast<int32_t>(v.T));
          copies = p.X + 0.0 == v.X + 0.0 && p.Y + 0.0 == v.Y + 0.0 && p.Z + 0.0 == v.Z + 0.0;
        }
      }
    CoordinateIds ids(copies ? static_cast<size_t>(np) : occurrences / 6 + 16);
    if (copies) {
      std::vector<int32_t> pointId(static_cast<size_t>(np) + 1);
      for (int32_t i = 1; i <= np; ++i) pointId[static_cast<size_t>(i)] = ids.IdOf(mesh_.Point(i));
      for (int32_t t = 1; t <= n_; ++t)
        for (int k = 0; k < 3; ++k)
          coordId_[3 * static_cast<size_t>(t - 1) + static_cast<size_t>(k)] =
              pointId[static_cast<size_t>(Corner(mesh_.Triangle(t), k).T)];
    } else {
      for (int32_t t = 1; t <= n_; ++t)
        for (int k = 0; k < 3; ++k)
          coordId_[3 * static_cast<size_t>(t - 1) + static_cast<size_t>(k)] =
              ids.IdOf(Corner(mesh_.Triangle(t), k));
    }
    coords_ = std::move(ids.Coordinates());
    coordCount_.assign(coords_.size(), 0);
    for (int32_t id : coordId_) ++coordCount_[static_cast<size_t>(id)];
    FindClusters();
  }

  // Clusters of distinct coordinates joined by matches within 0.001; only
  // clusters of two or more are kept.
  void FindClusters() {
    std::vector<int32_t> parent(coords_.size());
    std::iota(parent.begin(), parent.end(), 0);
    if (!JoinMatches(parent)) return;
    clusterOf_.assign(coords_.size(), -1);
    std::vector<int32_t> members(coords_.size(), 0);
    for (size_t c = 0; c < coords_.size(); ++c)
      ++members[static_cast<size_t>(FindRoot(parent, static_cast<int32_t>(c)))];
    std::vector<int32_t> clusterOfRoot(coords_.size(), -1);
    for (size_t c = 0; c < coords_.size(); ++c) {
      const int32_t root = FindRoot(parent, static_cast<int32_t>(c));
      if (members[static_cast<size_t>(root)] < 2) continue;
      int32_t& id = clusterOfRoot[static_cast<size_t>(root)];
      if (id < 0) {
        id = static_cast<int32_t>(clusters_.size());
        clusters_.emplace_back();
      }
      clusterOf_[c] = id;
    }
    // Vertex occurrences of each cluster, in table order.
    for (size_t o = 0; o < coordId_.size(); ++o) {
      const int32_t cl = clusterOf_[static_cast<size_t>(coordId_[o])];
      if (cl >= 0) clusters_[static_cast<size_t>(cl)].push_back(static_cast<int32_t>(o));
    }
    // Vertex occurrences by X and by Y, to follow the box of the remaining
    // vertices from one reindex to the next.
    byX_.resize(coordId_.size());
    std::iota(byX_.begin(), byX_.end(), 0);
    byY_ = byX_;
    std::sort(byX_.begin(), byX_.end(),
              [&](int32_t a, int32_t b) { return Occurrence(a).X < Occurrence(b).X; });
    std::sort(byY_.begin(), byY_.end(),
              [&](int32_t a, int32_t b) { return Occurrence(a).Y < Occurrence(b).Y; });
    loX_ = loY_ = 0;
    hiX_ = hiY_ = byX_.size();
  }

  // Joins, in the union-find forest parent (over coordinate ids), the
  // coordinates that match within 0.001, found through cells of 0.002;
  // false when none match.
  bool JoinMatches(std::vector<int32_t>& parent) {
    constexpr double kCell = 0.002;
    constexpr double kLimit = 1.0e15;
    struct Cell {
      int64_t i, j;
      int32_t id;
    };
    std::vector<Cell> cells(coords_.size());
    for (size_t c = 0; c < coords_.size(); ++c) {
      const double fi = std::clamp(std::floor(coords_[c].X / kCell), -kLimit, kLimit);
      const double fj = std::clamp(std::floor(coords_[c].Y / kCell), -kLimit, kLimit);
      cells[c] = {static_cast<int64_t>(fi), static_cast<int64_t>(fj), static_cast<int32_t>(c)};
    }
    std::vector<Cell> sorted = SortedByCell(cells);
    bool any = false;
    auto pair = [&](const Cell& a, const Cell& b) {
      if (PointsMatch3D(coords_[static_cast<size_t>(a.id)], coords_[static_cast<size_t>(b.id)])) {
        parent[static_cast<size_t>(FindRoot(parent, b.id))] = FindRoot(parent, a.id);
        any = true;
      }
    };
    // Matching is symmetric, so each entry looks only ahead: at its own and
    // the next cell of its column, and at the three neighbouring cells of
    // the next column, whose entries a pointer passes once.
    const size_t n = sorted.size();
    for (size_t rowStart = 0; rowStart < n;) {
      size_t rowEnd = rowStart;
      while (rowEnd < n && sorted[rowEnd].i == sorted[rowStart].i) ++rowEnd;
      size_t nextEnd = rowEnd;
      if (rowEnd < n && sorted[rowEnd].i == sorted[rowStart].i + 1)
        while (nextEnd < n && sorted[nextEnd].i == sorted[rowEnd].i) ++nextEnd;
      size_t ahead = rowEnd;
      for (size_t k = rowStart; k < rowEnd; ++k) {
        const Cell& c = sorted[k];
        for (size_t m = k + 1; m < rowEnd && sorted[m].j <= c.j + 1; ++m) pair(c, sorted[m]);
        while (ahead < nextEnd && sorted[ahead].j < c.j - 1) ++ahead;
        for (size_t m = ahead; m < nextEnd && sorted[m].j <= c.j + 1; ++m) pair(c, sorted[m]);
      }
      rowStart = rowEnd;
    }
    return any;
  }

  const PointRec& Occurrence(int32_t o) const { return Corner(mesh_.Triangle(o / 3 + 1), o % 3); }
  bool AliveAt(int32_t o, int32_t step) const {
    return removedAt_[static_cast<size_t>(o / 3 + 1)] > step;
  }

  // The box of the vertices remaining after step (steps only grow).
  void AdvanceBox(int32_t step) {
    while (loX_ < hiX_ && !AliveAt(byX_[loX_], step)) ++loX_;
    while (hiX_ > loX_ && !AliveAt(byX_[hiX_ - 1], step)) --hiX_;
    while (loY_ < hiY_ && !AliveAt(byY_[loY_], step)) ++loY_;
    while (hiY_ > loY_ && !AliveAt(byY_[hiY_ - 1], step)) --hiY_;
    box_ = ExtentsRec{};
    if (loX_ < hiX_) {
      box_.Min.X = Occurrence(byX_[loX_]).X;
      box_.Max.X = Occurrence(byX_[hiX_ - 1]).X;
      box_.Min.Y = Occurrence(byY_[loY_]).Y;
      box_.Max.Y = Occurrence(byY_[hiY_ - 1]).Y;
    }
  }

  // Is the point of occurrence o, as numbered by the reindex after step
  // `since`, used by no vertex remaining after step `now`?
  bool OrphanedSince(int32_t since, int32_t now, size_t o) {
    const int32_t coord = coordId_[o];
    const int32_t cl = clusterOf_.empty() ? -1 : clusterOf_[static_cast<size_t>(coord)];
    if (cl < 0) return coordCount_[static_cast<size_t>(coord)] == 0;
    const std::vector<int32_t>& occ = clusters_[static_cast<size_t>(cl)];
    VertexTable table;
    table.Reset(box_, occ.size());
    std::vector<int32_t> number(occ.size(), 0);
    int32_t mine = 0;
    for (size_t k = 0; k < occ.size(); ++k) {
      if (!AliveAt(occ[k], since)) continue;
      number[k] = table.AddQuadVertex(box_.Min, Occurrence(occ[k]));
      if (static_cast<size_t>(occ[k]) == o) mine = number[k];
    }
    if (mine <= 0) return false;
    for (size_t k = 0; k < occ.size(); ++k)
      if (number[k] == mine && AliveAt(occ[k], now)) return false;
    return true;
  }

  const TriangleMesh& mesh_;
  int32_t n_;
  std::vector<int32_t> order_;
  std::vector<int32_t> removedAt_;  // per triangle: its step, kNever when kept
  std::vector<int32_t> tId_, tCount_;
  std::vector<int32_t> coordId_, coordCount_;
  std::vector<PointRec> coords_;
  std::vector<int32_t> clusterOf_;              // per coordinate, -1 when alone
  std::vector<std::vector<int32_t>> clusters_;  // vertex occurrences
  std::vector<int32_t> byX_, byY_;
  size_t loX_ = 0, hiX_ = 0, loY_ = 0, hiY_ = 0;
  ExtentsRec box_;
};

}  // namespace

int32_t TrimToZones(TriangleMesh& mesh, std::span<const PointList> zones) {
  Feedback quiet;
  return TrimToZones(mesh, zones, quiet);
}

int32_t TrimToZones(TriangleMesh& mesh, std::span<const PointList> zones, Feedback& feedback) {
  const int32_t before = mesh.TriangleCount();
  const std::vector<int32_t> outside = OutsideZones(mesh, zones, feedback);
  if (outside.empty()) return 0;

  // Property sets are marked by RemoveTriangle at shifting indices, and
  // non-finite vertices fall outside the reindex table: both are left to the
  // literal procedure (a built surface has neither).
  bool literal = mesh.TriPropertyCount() > 0;
  for (int32_t t = 1; t <= before && !literal; ++t)
    for (int k = 0; k < 3; ++k) {
      const PointRec& p = Corner(mesh.Triangle(t), k);
      if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.Z)) literal = true;
    }
  if (literal) {
    LiteralTrim(mesh, outside);
    return before - mesh.TriangleCount();
  }

  RemovalPlan plan(mesh);
  plan.SetRemovals(outside);
  const int32_t last = plan.LastReindex();
  const std::vector<int32_t>& order = plan.Order();
  std::vector<int32_t> early(order.begin(), order.begin() + last);
  std::vector<int32_t> late(order.begin() + last, order.end());
  std::sort(early.begin(), early.end());
  std::sort(late.begin(), late.end());
  mesh.EraseTriangles(early);
  if (last > 0) mesh.Reindex();
  // Later removals move down by the number of earlier ones ahead of them.
  size_t ahead = 0;
  for (int32_t& t : late) {
    while (ahead < early.size() && early[ahead] < t) ++ahead;
    t -= static_cast<int32_t>(ahead);
  }
  mesh.EraseTriangles(late);
  feedback.Progress(100, true);
  return before - mesh.TriangleCount();
}

}  // namespace orvane
