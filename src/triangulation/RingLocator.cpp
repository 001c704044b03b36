#include "triangulation/RingLocator.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/Predicates.h"

namespace orvane {

namespace {

// Half-width of the band around an edge where the kernel may answer "on the
// edge" (the edge subtends within 0.001 rad of pi: at most L * tan(0.0005)
// from it) or "on a vertex" (within 0.001 in X and Y), with room to spare.
double EdgeMargin(double length) {
  return 0.0015 + 0.0003 * length;
}

double SegmentDistance(const XYRec& a, const XYRec& b, double x, double y) {
  const double dx = b.X - a.X, dy = b.Y - a.Y;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((x - a.X) * dx + (y - a.Y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  const double px = a.X + t * dx - x, py = a.Y + t * dy - y;
  return std::sqrt(px * px + py * py);
}

// Points of a cell tried in turn as its reference point, as fractions of
// the cell; the first that is not on the ring is taken.
constexpr std::array<std::array<double, 2>, 5> kCandidates = {
    {{0.5, 0.5}, {0.29, 0.71}, {0.71, 0.29}, {0.13, 0.43}, {0.61, 0.87}}};

// How the winding number changes from p to q (neither on the ring) across
// the edge a-b: the edge counts when its ends lie on either side of the line
// p-q, an end on that line counting as left of it (as if the segment were
// moved an infinitesimal to its right, which changes neither end's winding
// number), and p and q lie on either side of the edge's line. Neither can lie
// on the edge's line then: it would be the one point the two lines share,
// an end of the edge.
int Crossing(const XYRec& a, const XYRec& b, const XYRec& p, const XYRec& q) {
  const bool aLeft = Orient2D(p.X, p.Y, q.X, q.Y, a.X, a.Y) >= 0;
  const bool bLeft = Orient2D(p.X, p.Y, q.X, q.Y, b.X, b.Y) >= 0;
  if (aLeft == bLeft) return 0;
  const bool pLeft = Orient2D(a.X, a.Y, b.X, b.Y, p.X, p.Y) > 0;
  const bool qLeft = Orient2D(a.X, a.Y, b.X, b.Y, q.X, q.Y) > 0;
  if (pLeft == qLeft) return 0;
  return qLeft ? 1 : -1;
}

}  // namespace

RingLocator::RingLocator(std::span<const XYRec> ring) : ring_(ring.begin(), ring.end()) {
  const size_t n = ring_.size();
  if (n < 4 || n - 1 > kMaxEdges) return;
  if (!(ring_.front().X == ring_.back().X && ring_.front().Y == ring_.back().Y)) return;
  for (const XYRec& p : ring_)
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return;

  // Edges of no length (the constraint list repeats every vertex) add
  // nothing to the winding number and can be neither "on the edge" nor
  // nearer than their neighbours: they are left out.
  std::vector<int32_t> edges;
  margin_.assign(n - 1, 0);
  double maxMargin = 0;
  minX_ = maxX_ = ring_[0].X;
  minY_ = maxY_ = ring_[0].Y;
  for (size_t e = 0; e + 1 < n; ++e) {
    const XYRec &a = ring_[e], &b = ring_[e + 1];
    minX_ = std::min(minX_, b.X);
    maxX_ = std::max(maxX_, b.X);
    minY_ = std::min(minY_, b.Y);
    maxY_ = std::max(maxY_, b.Y);
    if (a.X == b.X && a.Y == b.Y) continue;
    edges.push_back(static_cast<int32_t>(e));
    margin_[e] = EdgeMargin(std::hypot(b.X - a.X, b.Y - a.Y));
    maxMargin = std::max(maxMargin, margin_[e]);
  }
  if (edges.empty()) return;
  fast_ = true;
  minX_ -= maxMargin;
  minY_ -= maxMargin;
  maxX_ += maxMargin;
  maxY_ += maxMargin;

  // About 4 square cells per edge.
  const double w = maxX_ - minX_, h = maxY_ - minY_;
  const double cells = std::min(4.0 * static_cast<double>(edges.size()), 4.0e6);
  cell_ = std::max(std::sqrt(w * h / cells), 1e-9);
  cols_ = std::clamp<int64_t>(static_cast<int64_t>(w / cell_) + 1, 1, 4096);
  rows_ = std::clamp<int64_t>(static_cast<int64_t>(h / cell_) + 1, 1, 4096);
  cell_ = std::max(w / static_cast<double>(cols_), h / static_cast<double>(rows_)) * (1 + 1e-12);
  if (!(cell_ > 0)) cell_ = 1;

  // Each edge goes into the cells of each row that its margin band reaches
  // (the piece of the edge within the row's band, widened by the margin and
  // by a little for rounding): every cell it is within its margin of.
  const double scale = std::max({std::fabs(minX_), std::fabs(maxX_), std::fabs(minY_),
                                 std::fabs(maxY_), 1.0});
  const double slack = 1e-6 + 1e-11 * scale;
  auto colOf = [&](double v) {
    return std::clamp<int64_t>(static_cast<int64_t>(std::floor((v - minX_) / cell_)), 0, cols_ - 1);
  };
  auto rowOf = [&](double v) {
    return std::clamp<int64_t>(static_cast<int64_t>(std::floor((v - minY_) / cell_)), 0, rows_ - 1);
  };
  struct Piece {
    int64_t first, last;  // cells, row-major
    int32_t edge;
  };
  std::vector<Piece> pieces;
  pieces.reserve(2 * edges.size());
  for (int32_t e : edges) {
    const XYRec &a = ring_[static_cast<size_t>(e)], &b = ring_[static_cast<size_t>(e) + 1];
    const double m = margin_[static_cast<size_t>(e)] + slack;
    const int64_t r0 = rowOf(std::min(a.Y, b.Y) - m), r1 = rowOf(std::max(a.Y, b.Y) + m);
    for (int64_t r = r0; r <= r1; ++r) {
      double t0 = 0, t1 = 1;
      if (r0 != r1 && a.Y != b.Y) {
        const double lo = minY_ + static_cast<double>(r) * cell_ - m,
                     hi = minY_ + static_cast<double>(r + 1) * cell_ + m;
        double ta = (lo - a.Y) / (b.Y - a.Y), tb = (hi - a.Y) / (b.Y - a.Y);
        if (ta > tb) std::swap(ta, tb);
        t0 = std::max(0.0, ta);
        t1 = std::min(1.0, tb);
        if (t0 > t1) continue;
      }
      const double xa = a.X + t0 * (b.X - a.X), xb = a.X + t1 * (b.X - a.X);
      pieces.push_back(
          {r * cols_ + colOf(std::min(xa, xb) - m), r * cols_ + colOf(std::max(xa, xb) + m), e});
    }
  }
  const auto cellCount = static_cast<size_t>(cols_ * rows_);
  cellStart_.assign(cellCount + 1, 0);
  for (const Piece& p : pieces)
    for (int64_t c = p.first; c <= p.last; ++c) ++cellStart_[static_cast<size_t>(c) + 1];
  for (size_t c = 0; c < cellCount; ++c) cellStart_[c + 1] += cellStart_[c];
  cellEdges_.assign(static_cast<size_t>(cellStart_[cellCount]), 0);
  {
    std::vector<int32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
    for (const Piece& p : pieces)
      for (int64_t c = p.first; c <= p.last; ++c)
        cellEdges_[static_cast<size_t>(fill[static_cast<size_t>(c)]++)] = p.edge;
  }
  std::vector<Piece>().swap(pieces);

  // Reference winding numbers, row by row from a point left of the grid
  // (winding 0): the segment from one reference point to the next lies in
  // the cells between them, so their edges are all it can cross.
  winding_.assign(cellCount, 0);
  reference_.assign(cellCount, -1);
  std::vector<uint32_t> seen(n, 0);
  uint32_t round = 0;
  for (int64_t r = 0; r < rows_; ++r) {
    XYRec from{minX_ - cell_, minY_ + (static_cast<double>(r) + 0.5) * cell_};
    int w = 0;
    int64_t fromCol = 0;
    for (int64_t c = 0; c < cols_; ++c) {
      const auto cell = static_cast<size_t>(r * cols_ + c);
      int candidate = 0;
      while (candidate < static_cast<int>(kCandidates.size()) &&
             OnAnEdgeOf(cell, Reference(cell, candidate)))
        ++candidate;
      if (candidate == static_cast<int>(kCandidates.size())) continue;
      const XYRec to = Reference(cell, candidate);
      ++round;
      for (int64_t k = fromCol; k <= c; ++k) {
        const auto through = static_cast<size_t>(r * cols_ + k);
        for (int32_t i = cellStart_[through]; i < cellStart_[through + 1]; ++i) {
          const auto e = static_cast<size_t>(cellEdges_[static_cast<size_t>(i)]);
          if (seen[e] == round) continue;
          seen[e] = round;
          w += Crossing(ring_[e], ring_[e + 1], from, to);
        }
      }
      winding_[cell] = w;
      reference_[cell] = static_cast<int8_t>(candidate);
      from = to;
      fromCol = c;
    }
  }
}

RingLocator::Cell RingLocator::CellOf(double X, double Y) const {
  return {std::clamp<int64_t>(static_cast<int64_t>(std::floor((X - minX_) / cell_)), 0, cols_ - 1),
          std::clamp<int64_t>(static_cast<int64_t>(std::floor((Y - minY_) / cell_)), 0, rows_ - 1)};
}

XYRec RingLocator::Reference(size_t cell, int candidate) const {
  const auto col = static_cast<int64_t>(cell) % cols_, row = static_cast<int64_t>(cell) / cols_;
  const auto& f = kCandidates[static_cast<size_t>(candidate)];
  return {minX_ + (static_cast<double>(col) + f[0]) * cell_,
          minY_ + (static_cast<double>(row) + f[1]) * cell_};
}

bool RingLocator::OnAnEdgeOf(size_t cell, XYRec p) const {
  for (int32_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i) {
    const auto e = static_cast<size_t>(cellEdges_[static_cast<size_t>(i)]);
    const XYRec &a = ring_[e], &b = ring_[e + 1];
    if (Orient2D(a.X, a.Y, b.X, b.Y, p.X, p.Y) == 0 && std::min(a.X, b.X) <= p.X &&
        p.X <= std::max(a.X, b.X) && std::min(a.Y, b.Y) <= p.Y && p.Y <= std::max(a.Y, b.Y))
      return true;
  }
  return false;
}

int RingLocator::Crossings(size_t cell, XYRec from, XYRec to) const {
  int w = 0;
  for (int32_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i) {
    const auto e = static_cast<size_t>(cellEdges_[static_cast<size_t>(i)]);
    w += Crossing(ring_[e], ring_[e + 1], from, to);
  }
  return w;
}

RingLocator::Place RingLocator::KernelPlace(double X, double Y) const {
  const auto where = PointInPolygon(std::span<const XYRec>(ring_), X, Y);
  if (!where) return Place::Outside;
  switch (*where) {
    case PolygonLocation::Inside:
      return Place::Inside;
    case PolygonLocation::OnVertex:
    case PolygonLocation::OnEdge:
      return Place::OnRing;
    default:
      return Place::Outside;
  }
}

RingLocator::Place RingLocator::Classify(double X, double Y) const {
  if (!fast_ || !std::isfinite(X) || !std::isfinite(Y)) return KernelPlace(X, Y);
  if (X < minX_ || X > maxX_ || Y < minY_ || Y > maxY_) return Place::Outside;
  const Cell at = CellOf(X, Y);
  const auto cell = static_cast<size_t>(at.row * cols_ + at.col);
  for (int32_t i = cellStart_[cell]; i < cellStart_[cell + 1]; ++i) {
    const auto e = static_cast<size_t>(cellEdges_[static_cast<size_t>(i)]);
    const XYRec &a = ring_[e], &b = ring_[e + 1];
    // The distance is only a filter: the margin is wide enough to absorb its
    // rounding. Near the edge, the kernel on the edge alone (closed by a
    // repeat of its end, which adds an edge of no length) tests this edge's
    // ends and this edge exactly as it does within the whole ring.
    if (SegmentDistance(a, b, X, Y) > margin_[e]) continue;
    const std::array<XYRec, 3> piece = {a, b, b};
    const auto where = PointInPolygon(std::span<const XYRec>(piece), X, Y);
    if (where && (*where == PolygonLocation::OnVertex || *where == PolygonLocation::OnEdge))
      return Place::OnRing;
  }
  const int candidate = reference_[cell];
  if (candidate < 0) return KernelPlace(X, Y);
  const XYRec from = Reference(cell, candidate);
  const int w = winding_[cell] + Crossings(cell, from, {X, Y});
  return w != 0 ? Place::Inside : Place::Outside;
}

}  // namespace orvane
