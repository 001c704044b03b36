#include "analysis/SplitParts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include "core/geometry/Kernels.h"
#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "triangulation/HilbertCurve.h"
#include "triangulation/Triangulator.h"

namespace orvane {

namespace {

// A piece of an existing triangle is never dropped for its side length: the
// surface's own triangles passed whatever limit made them, and a piece left
// out would be a hole in the split (or an uncoloured patch).
constexpr double kLadoMax = std::numeric_limits<double>::infinity();

// The triangulator's insertion order of four points: by their position along
// its Hilbert curve, ties in the given order.
std::array<int32_t, 4> HilbertOrder(const std::array<uint32_t, 4>& cellX,
                                    const std::array<uint32_t, 4>& cellY) {
  std::array<uint64_t, 4> position;
  for (size_t i = 0; i < 4; ++i) position[i] = HilbertIndex(cellX[i], cellY[i]);
  std::array<int32_t, 4> order = {0, 1, 2, 3};
  for (size_t i = 1; i < order.size(); ++i)
    for (size_t j = i; j > 0 && position[static_cast<size_t>(order[j])] <
                                    position[static_cast<size_t>(order[j - 1])];
         --j)
      std::swap(order[j], order[j - 1]);
  return order;
}

// Passes the cancel of stop (when given) on, and reports nothing.
class CancelOnly : public Feedback {
 public:
  explicit CancelOnly(Feedback* stop) : stop_(stop) {}
  bool Cancelled() override { return stop_ != nullptr && stop_->Cancelled(); }

 private:
  Feedback* stop_;
};

// The triangulator's way with a part, for the parts the fast steps do not
// take.
bool ThroughTriangulator(std::span<const PointRec> part, std::vector<PieceTriangle>& out,
                         Feedback* stop) {
  PointList points;
  for (const PointRec& v : part) points.AddVertex(v.X, v.Y, v.Z);
  Triangulator triangulator;
  CancelOnly feedback(stop);
  triangulator.Initialise(points);
  const std::optional<TriangleMesh> piece = triangulator.GetTriangleMesh(kLadoMax, feedback);
  if (triangulator.LastErrorCode == Triangulator::Cancelled) return false;
  if (!piece) return true;
  for (int32_t i = 1; i <= piece->TriangleCount(); ++i) {
    const TriangleRec& t = piece->Triangle(i);
    out.push_back({{t.A.X, t.A.Y, t.A.Z, 0}, {t.B.X, t.B.Y, t.B.Z, 0}, {t.C.X, t.C.Y, t.C.Z, 0}});
  }
  return true;
}

}  // namespace

bool PartTriangulator::Add(std::span<const PointRec> part, std::vector<PieceTriangle>& out) {
  if (part.size() == 3) {
    out.push_back({part[0], part[1], part[2]});
    return true;
  }
  if (part.size() == 4 && AddQuadrilateral(part.first<4>(), out)) return true;
  return part.size() < 3 || ThroughTriangulator(part, out, stop_);
}

// The steps of Triangulator::GetTriangleMesh for four points of distinct X
// and no constraints; false (nothing appended) for a part they do not fit.
bool PartTriangulator::AddQuadrilateral(std::span<const PointRec, 4> part,
                                        std::vector<PieceTriangle>& out) {
  constexpr int32_t n = 4;
  // The X order, T the point's number in the triangulator's point list.
  std::array<PointRec, n> sorted;
  for (int32_t i = 0; i < n; ++i) {
    const PointRec& v = part[static_cast<size_t>(i)];
    if (!std::isfinite(v.X) || !std::isfinite(v.Y) || !std::isfinite(v.Z)) return false;
    sorted[static_cast<size_t>(i)] = {v.X, v.Y, v.Z, static_cast<double>(i + 1)};
  }
  std::sort(sorted.begin(), sorted.end(),
            [](const PointRec& a, const PointRec& b) { return a.X < b.X; });
  for (size_t i = 1; i < sorted.size(); ++i)
    if (sorted[i].X == sorted[i - 1].X) return false;  // equal X: the X sort's own tie rule

  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  ExtentsRec extents;
  for (const PointRec& p : sorted) {
    GrowExtents(extents, p);
    x0 = std::min(x0, p.X);
    x1 = std::max(x1, p.X);
    y0 = std::min(y0, p.Y);
    y1 = std::max(y1, p.Y);
  }

  // The insertion order: along the Hilbert curve, ties in X order.
  const double span = std::max({x1 - x0, y1 - y0, 1e-300});
  const double scale = 65535.0 / span;
  auto cell = [&](double v, double lo) {
    const double c = std::floor((v - lo) * scale);
    return static_cast<uint32_t>(std::clamp(c, 0.0, 65535.0));
  };
  std::array<uint32_t, n> cellX, cellY;
  for (size_t i = 0; i < sorted.size(); ++i) {
    cellX[i] = cell(sorted[i].X, x0);
    cellY[i] = cell(sorted[i].Y, y0);
  }
  const std::array<int32_t, n> inserted = HilbertOrder(cellX, cellY);
  const std::array<int32_t, n>& order = inserted;
  int32_t orderKey = 0;
  for (int32_t v : inserted) orderKey = orderKey * 4 + v;

  work_.pts.resize(n + 3);
  for (int32_t v = 0; v < n; ++v)
    work_.pts[static_cast<size_t>(v)] = sorted[static_cast<size_t>(order[static_cast<size_t>(v)])];
  const double dx = extents.Max.X - extents.Min.X, dy = extents.Max.Y - extents.Min.Y;
  const double dmax = dx > dy ? dx : dy;
  const double xmid = (extents.Max.X + extents.Min.X) / 2,
               ymid = (extents.Max.Y + extents.Min.Y) / 2;
  work_.pts[n] = {xmid - 20 * dmax, ymid - 20 * dmax, 0, 0};
  work_.pts[n + 1] = {xmid, ymid + 20 * dmax, 0, 0};
  work_.pts[n + 2] = {xmid + 20 * dmax, ymid - 20 * dmax, 0, 0};
  // The hull cover gives up beyond 1e60 without a decision to show for it.
  bool plain = true;
  for (const PointRec& p : sorted) plain = plain && std::fabs(p.X) < 1e60 && std::fabs(p.Y) < 1e60;
  const std::vector<std::array<int32_t, 3>>* corners = Triangles(orderKey, order, plain);
  if (!corners) return false;

  for (const auto& [ia, ib, ic] : *corners) {
    const PointRec& a = work_.pts[static_cast<size_t>(ia)];
    const PointRec& b = work_.pts[static_cast<size_t>(ib)];
    const PointRec& c = work_.pts[static_cast<size_t>(ic)];
    if (PointsCoincide(a, b, true) || PointsCoincide(b, c, true) || PointsCoincide(c, a, true))
      continue;
    if (a.Z == -999 || b.Z == -999 || c.Z == -999) continue;
    out.push_back({{a.X, a.Y, a.Z, 0}, {b.X, b.Y, b.Z, 0}, {c.X, c.Y, c.Z, 0}});
  }
  return true;
}

const std::vector<std::array<int32_t, 3>>* PartTriangulator::Triangles(
    int32_t orderKey, std::span<const int32_t, 4> order, bool plain) {
  constexpr int32_t n = 4;
  const bool known = UseKnownPaths && plain;
  // A known path: its decisions asked of these points (with these ranks).
  if (known && roots_[static_cast<size_t>(orderKey)] >= 0) {
    work_.AssignWorkRanks(n, order);
    int32_t at = roots_[static_cast<size_t>(orderKey)];
    while (at >= 0 && nodes_[static_cast<size_t>(at)].Asks) {
      const Node& node = nodes_[static_cast<size_t>(at)];
      at = node.Next[work_.Decide(node.Question) + 1];
    }
    if (at >= 0) {
      const Leaf& leaf = leaves_[static_cast<size_t>(nodes_[static_cast<size_t>(at)].Leaf)];
      return leaf.Fits ? &leaf.Corners : nullptr;
    }
  }

  // The steps, their decisions recorded. A working triangulation as fresh as
  // the triangulator's own (its lists' room kept from the last part), the
  // points kept.
  std::vector<PointRec> points = std::move(work_.pts);
  work_ = pristine_;
  work_.pts = std::move(points);
  decisions_.clear();
  work_.decisions = known ? &decisions_ : nullptr;
  work_.Start(n, n + 1, n + 2);
  work_.AssignWorkRanks(n, order);
  bool fits = true;
  for (int32_t k = 0; k < n && fits; ++k) fits = work_.Insert(k) == k;
  if (fits) work_.RemoveTrianglesWithVertexFrom(n, true);
  work_.decisions = nullptr;
  corners_.clear();
  for (const WorkTriangulation::Tri& t : work_.tris) {
    if (!fits) break;
    if (!t.alive) continue;
    // Stored counter-clockwise, listed clockwise.
    if (t.v[0] >= n || t.v[1] >= n || t.v[2] >= n) fits = false;
    corners_.push_back({t.v[0], t.v[2], t.v[1]});
  }
  if (!fits) corners_.clear();
  if (known) Learn(orderKey, fits);
  return fits ? &corners_ : nullptr;
}

// Adds the path just taken, unless the tree is full; a path that does not
// agree with the tree (which the steps' reading the points only through
// their decisions rules out) is not added.
void PartTriangulator::Learn(int32_t orderKey, bool fits) {
  constexpr size_t kMaxNodes = size_t{1} << 16;
  if (nodes_.size() + decisions_.size() + 1 > kMaxNodes) return;
  auto make = [this] {
    nodes_.emplace_back();
    return static_cast<int32_t>(nodes_.size() - 1);
  };
  int32_t& root = roots_[static_cast<size_t>(orderKey)];
  if (root < 0) root = make();
  int32_t at = root;
  for (const WorkTriangulation::Decision& d : decisions_) {
    Node& node = nodes_[static_cast<size_t>(at)];
    if (node.Leaf >= 0) return;
    if (!node.Asks) {
      node.Asks = true;
      node.Question = d;
    } else if (node.Question.a != d.a || node.Question.b != d.b || node.Question.c != d.c ||
               node.Question.d != d.d) {
      return;
    }
    int32_t next = node.Next[d.sign + 1];
    if (next < 0) {
      next = make();
      nodes_[static_cast<size_t>(at)].Next[d.sign + 1] = next;
    }
    at = next;
  }
  Node& end = nodes_[static_cast<size_t>(at)];
  if (end.Asks || end.Leaf >= 0) return;
  end.Leaf = static_cast<int32_t>(leaves_.size());
  leaves_.push_back({fits, corners_});
}

}  // namespace orvane
