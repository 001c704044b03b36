#include "triangulation/RingLocator.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/geometry/Predicates.h"

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

// The kernel's test of a point on a vertex.
bool NearVertex(const XYRec& v, double x, double y) {
  return std::abs(x - v.X) < CoincidenceTolerance && std::abs(y - v.Y) < CoincidenceTolerance;
}

// Cosine of the angle pi - 0.001 under which the kernel's on-edge test starts.
const double kOnEdgeCosine = -std::cos(CoincidenceTolerance);

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
  // nearer than their neighbours: the ring is kept without them, which
  // changes none of the kernel's answers told apart here.
  std::vector<XYRec> distinct{ring_.front()};
  for (size_t k = 1; k < n; ++k)
    if (ring_[k].X != distinct.back().X || ring_[k].Y != distinct.back().Y)
      distinct.push_back(ring_[k]);
  if (distinct.size() < 4) return;
  ring_ = std::move(distinct);
  const size_t m = ring_.size();
  std::vector<int32_t> edges(m - 1);
  margin_.resize(m - 1);
  double maxMargin = 0;
  minX_ = maxX_ = ring_[0].X;
  minY_ = maxY_ = ring_[0].Y;
  for (size_t e = 0; e + 1 < m; ++e) {
    const XYRec &a = ring_[e], &b = ring_[e + 1];
    minX_ = std::min(minX_, b.X);
    maxX_ = std::max(maxX_, b.X);
    minY_ = std::min(minY_, b.Y);
    maxY_ = std::max(maxY_, b.Y);
    edges[e] = static_cast<int32_t>(e);
    // Kept in single precision, rounded up.
    const double margin = EdgeMargin(std::hypot(b.X - a.X, b.Y - a.Y));
    margin_[e] = std::nextafter(static_cast<float>(margin), INFINITY);
    maxMargin = std::max(maxMargin, static_cast<double>(margin_[e]));
  }
  if (edges.empty()) return;
  fast_ = true;
  minX_ -= maxMargin;
  minY_ -= maxMargin;
  maxX_ += maxMargin;
  maxY_ += maxMargin;
  // Cells are widened by this for the rounding of where an edge meets them.
  const double scale =
      std::max({std::fabs(minX_), std::fabs(maxX_), std::fabs(minY_), std::fabs(maxY_), 1.0});
  slack_ = 1e-6 + 1e-11 * scale;

  // About 4 square cells per edge.
  Grid top;
  const double w = maxX_ - minX_, h = maxY_ - minY_;
  const double cells = std::min(4.0 * static_cast<double>(edges.size()), 4.0e6);
  top.minX = minX_;
  top.minY = minY_;
  top.cell = std::max(std::sqrt(w * h / cells), 1e-9);
  top.cols = std::clamp<int64_t>(static_cast<int64_t>(w / top.cell) + 1, 1, 4096);
  top.rows = std::clamp<int64_t>(static_cast<int64_t>(h / top.cell) + 1, 1, 4096);
  top.cell =
      std::max(w / static_cast<double>(top.cols), h / static_cast<double>(top.rows)) * (1 + 1e-12);
  if (!(top.cell > 0)) top.cell = 1;
  grids_.push_back(top);
  start_.assign(1, 0);
  seen_.assign(m, 0);
  // The rows start left of the grid, outside the ring (winding 0).
  Fill(0, edges, {minX_ - grids_[0].cell, 0}, 0, {}, true, 0);
  std::vector<uint32_t>().swap(seen_);
}

void RingLocator::Fill(size_t g, std::span<const int32_t> edges, XYRec from0, int w0,
                       std::span<const int32_t> fromEdges, bool leftOfGrid, int depth) {
  const Grid grid = grids_[g];
  PoolEdges(grid, CellPieces(grid, edges));
  const auto cells = static_cast<size_t>(grid.cols * grid.rows);
  winding_.resize(grid.base + cells, 0);
  reference_.resize(grid.base + cells, -1);
  finer_.resize(grid.base + cells, -1);
  ReferenceWindings(grid, from0, w0, fromEdges, leftOfGrid);
  Refine(grid, depth);
}

// Each edge goes into the cells of each row that its margin band reaches
// (the piece of the edge within the row's band, widened by the margin and
// the slack): every cell it is within its margin of.
std::vector<RingLocator::Piece> RingLocator::CellPieces(const Grid& grid,
                                                        std::span<const int32_t> edges) const {
  auto colOf = [&](double v) {
    return std::clamp<int64_t>(static_cast<int64_t>(std::floor((v - grid.minX) / grid.cell)), 0,
                               grid.cols - 1);
  };
  auto rowOf = [&](double v) {
    return std::clamp<int64_t>(static_cast<int64_t>(std::floor((v - grid.minY) / grid.cell)), 0,
                               grid.rows - 1);
  };
  std::vector<Piece> pieces;
  pieces.reserve(2 * edges.size());
  for (int32_t e : edges) {
    const XYRec &a = ring_[static_cast<size_t>(e)], &b = ring_[static_cast<size_t>(e) + 1];
    const double m = margin_[static_cast<size_t>(e)] + slack_;
    const int64_t r0 = rowOf(std::min(a.Y, b.Y) - m), r1 = rowOf(std::max(a.Y, b.Y) + m);
    for (int64_t r = r0; r <= r1; ++r) {
      double t0 = 0, t1 = 1;
      if (r0 != r1 && a.Y != b.Y) {
        const double lo = grid.minY + static_cast<double>(r) * grid.cell - m,
                     hi = grid.minY + static_cast<double>(r + 1) * grid.cell + m;
        double ta = (lo - a.Y) / (b.Y - a.Y), tb = (hi - a.Y) / (b.Y - a.Y);
        if (ta > tb) std::swap(ta, tb);
        t0 = std::max(0.0, ta);
        t1 = std::min(1.0, tb);
        if (t0 > t1) continue;
      }
      const double xa = a.X + t0 * (b.X - a.X), xb = a.X + t1 * (b.X - a.X);
      pieces.push_back({r * grid.cols + colOf(std::min(xa, xb) - m),
                        r * grid.cols + colOf(std::max(xa, xb) + m), e});
    }
  }
  return pieces;
}

// The pooled lists end where this grid's begin.
void RingLocator::PoolEdges(const Grid& grid, std::span<const Piece> pieces) {
  const auto cells = static_cast<size_t>(grid.cols * grid.rows);
  const size_t base = grid.base;
  std::vector<int32_t> count(cells, 0);
  for (const Piece& p : pieces)
    for (int64_t c = p.first; c <= p.last; ++c) ++count[static_cast<size_t>(c)];
  start_.resize(base + cells + 1);
  for (size_t c = 0; c < cells; ++c) start_[base + c + 1] = start_[base + c] + count[c];
  edges_.resize(static_cast<size_t>(start_[base + cells]));
  for (size_t c = 0; c < cells; ++c) count[c] = start_[base + c];
  for (const Piece& p : pieces)
    for (int64_t c = p.first; c <= p.last; ++c)
      edges_[static_cast<size_t>(count[static_cast<size_t>(c)]++)] = p.edge;
}

// Reference winding numbers, row by row: the segment from one reference
// point to the next lies in the cells between them, so their edges are
// all it can cross; the first of a row is reached from the row's start.
void RingLocator::ReferenceWindings(const Grid& grid, XYRec from0, int w0,
                                    std::span<const int32_t> fromEdges, bool leftOfGrid) {
  const size_t base = grid.base;
  for (int64_t r = 0; r < grid.rows; ++r) {
    XYRec from = from0;
    if (leftOfGrid) from.Y = grid.minY + (static_cast<double>(r) + 0.5) * grid.cell;
    int w = w0;
    int64_t fromCol = -1;
    for (int64_t c = 0; c < grid.cols; ++c) {
      const auto local = static_cast<size_t>(r * grid.cols + c);
      int candidate = 0;
      while (candidate < static_cast<int>(kCandidates.size()) &&
             OnAnEdge(EdgesOf(base + local), Reference(grid, local, candidate)))
        ++candidate;
      if (candidate == static_cast<int>(kCandidates.size())) continue;
      const XYRec to = Reference(grid, local, candidate);
      ++round_;
      auto cross = [&](std::span<const int32_t> list) {
        for (int32_t i : list) {
          const auto e = static_cast<size_t>(i);
          if (seen_[e] == round_) continue;
          seen_[e] = round_;
          w += Crossing(ring_[e], ring_[e + 1], from, to);
        }
      };
      if (fromCol < 0 && !leftOfGrid) {
        cross(fromEdges);
      } else {
        for (int64_t k = std::max<int64_t>(fromCol, 0); k <= c; ++k)
          cross(EdgesOf(base + static_cast<size_t>(r * grid.cols + k)));
      }
      winding_[base + local] = w;
      reference_[base + local] = static_cast<int8_t>(candidate);
      from = to;
      fromCol = c;
    }
  }
}

// Cells crowded by a dense run of edges get a finer grid of their own,
// while that thins them out (cells much wider than the edges' margins).
void RingLocator::Refine(const Grid& grid, int depth) {
  constexpr size_t kCrowded = 48;
  if (depth >= 5 || grid.cell < 0.01) return;
  const size_t base = grid.base;
  const auto cells = static_cast<size_t>(grid.cols * grid.rows);
  std::vector<int32_t> own;
  for (size_t local = 0; local < cells; ++local) {
    const auto list = EdgesOf(base + local);
    if (list.size() <= kCrowded || reference_[base + local] < 0) continue;
    const int64_t side = 4;
    Grid finer;
    finer.cols = finer.rows = side;
    finer.cell = grid.cell / static_cast<double>(side);
    finer.minX =
        grid.minX + static_cast<double>(static_cast<int64_t>(local) % grid.cols) * grid.cell;
    finer.minY =
        grid.minY + static_cast<double>(static_cast<int64_t>(local) / grid.cols) * grid.cell;
    finer.base = start_.size() - 1;
    const XYRec from = Reference(grid, local, reference_[base + local]);
    own.assign(list.begin(), list.end());
    finer_[base + local] = static_cast<int32_t>(grids_.size());
    grids_.push_back(finer);
    Fill(grids_.size() - 1, own, from, winding_[base + local], own, false, depth + 1);
  }
}

std::span<const int32_t> RingLocator::EdgesOf(size_t cell) const {
  return std::span<const int32_t>(edges_).subspan(
      static_cast<size_t>(start_[cell]), static_cast<size_t>(start_[cell + 1] - start_[cell]));
}

size_t RingLocator::CellOf(const Grid& grid, double X, double Y) const {
  const int64_t col = std::clamp<int64_t>(
      static_cast<int64_t>(std::floor((X - grid.minX) / grid.cell)), 0, grid.cols - 1);
  const int64_t row = std::clamp<int64_t>(
      static_cast<int64_t>(std::floor((Y - grid.minY) / grid.cell)), 0, grid.rows - 1);
  return static_cast<size_t>(row * grid.cols + col);
}

XYRec RingLocator::Reference(const Grid& grid, size_t local, int candidate) const {
  const auto col = static_cast<int64_t>(local) % grid.cols,
             row = static_cast<int64_t>(local) / grid.cols;
  const auto& f = kCandidates[static_cast<size_t>(candidate)];
  return {grid.minX + (static_cast<double>(col) + f[0]) * grid.cell,
          grid.minY + (static_cast<double>(row) + f[1]) * grid.cell};
}

bool RingLocator::OnAnEdge(std::span<const int32_t> edges, XYRec p) const {
  for (int32_t i : edges) {
    const XYRec &a = ring_[static_cast<size_t>(i)], &b = ring_[static_cast<size_t>(i) + 1];
    if (Orient2D(a.X, a.Y, b.X, b.Y, p.X, p.Y) == 0 && std::min(a.X, b.X) <= p.X &&
        p.X <= std::max(a.X, b.X) && std::min(a.Y, b.Y) <= p.Y && p.Y <= std::max(a.Y, b.Y))
      return true;
  }
  return false;
}

int RingLocator::Crossings(std::span<const int32_t> edges, XYRec from, XYRec to) const {
  int w = 0;
  for (int32_t i : edges)
    w += Crossing(ring_[static_cast<size_t>(i)], ring_[static_cast<size_t>(i) + 1], from, to);
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
  const Grid* grid = &grids_[0];
  size_t local = CellOf(*grid, X, Y);
  while (finer_[grid->base + local] >= 0) {
    grid = &grids_[static_cast<size_t>(finer_[grid->base + local])];
    local = CellOf(*grid, X, Y);
  }
  const size_t cell = grid->base + local;
  const auto edges = EdgesOf(cell);
  for (int32_t i : edges) {
    const auto e = static_cast<size_t>(i);
    const XYRec &a = ring_[e], &b = ring_[e + 1];
    // The distance is only a filter: the margin is wide enough to absorb its
    // rounding. Near the edge, the kernel on the edge alone (closed by a
    // repeat of its end, which adds an edge of no length) tests this edge's
    // ends and this edge exactly as it does within the whole ring.
    if (SegmentDistance(a, b, X, Y) > margin_[e]) continue;
    if (NearVertex(a, X, Y) || NearVertex(b, X, Y)) return Place::OnRing;
    // The kernel calls the point on the edge when the edge subtends an
    // angle within 0.001 of pi; its angles in single precision move that
    // by less than 3e-7 rad, a cosine within 1e-9 of the threshold's. Only
    // points that close to the threshold are put to the kernel.
    const double ux = a.X - X, uy = a.Y - Y, vx = b.X - X, vy = b.Y - Y;
    const double cosine = (ux * vx + uy * vy) / (std::hypot(ux, uy) * std::hypot(vx, vy));
    if (cosine > kOnEdgeCosine + 1e-8) continue;
    if (cosine < kOnEdgeCosine - 1e-8) return Place::OnRing;
    const std::array<XYRec, 3> piece = {a, b, b};
    const auto where = PointInPolygon(std::span<const XYRec>(piece), X, Y);
    if (where && (*where == PolygonLocation::OnVertex || *where == PolygonLocation::OnEdge))
      return Place::OnRing;
  }
  const int candidate = reference_[cell];
  if (candidate < 0) return KernelPlace(X, Y);
  const int w = winding_[cell] + Crossings(edges, Reference(*grid, local, candidate), {X, Y});
  return w != 0 ? Place::Inside : Place::Outside;
}

}  // namespace orvane
