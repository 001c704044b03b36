#include "triangulation/RingLocator.h"

#include <algorithm>
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

// Fills CSR buckets: for each item, the bucket range [lo, hi] it covers.
template <class Range>
void FillBuckets(size_t buckets, size_t items, Range range, std::vector<int32_t>& start,
                 std::vector<int32_t>& members) {
  start.assign(buckets + 1, 0);
  for (size_t e = 0; e < items; ++e) {
    auto [lo, hi] = range(e);
    for (int64_t b = lo; b <= hi; ++b) ++start[static_cast<size_t>(b) + 1];
  }
  for (size_t b = 0; b < buckets; ++b) start[b + 1] += start[b];
  members.assign(static_cast<size_t>(start[buckets]), 0);
  std::vector<int32_t> fill(start.begin(), start.end() - 1);
  for (size_t e = 0; e < items; ++e) {
    auto [lo, hi] = range(e);
    for (int64_t b = lo; b <= hi; ++b)
      members[static_cast<size_t>(fill[static_cast<size_t>(b)]++)] = static_cast<int32_t>(e);
  }
}

}  // namespace

RingLocator::RingLocator(std::span<const XYRec> ring) : ring_(ring.begin(), ring.end()) {
  const size_t n = ring_.size();
  if (n < 4 || n - 1 > kMaxFastEdges) return;
  if (!(ring_.front().X == ring_.back().X && ring_.front().Y == ring_.back().Y)) return;
  for (const XYRec& p : ring_)
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return;
  fast_ = true;

  const size_t edges = n - 1;
  margin_.resize(edges);
  double maxMargin = 0;
  minX_ = maxX_ = ring_[0].X;
  minY_ = maxY_ = ring_[0].Y;
  for (size_t e = 0; e < edges; ++e) {
    const XYRec &a = ring_[e], &b = ring_[e + 1];
    margin_[e] = EdgeMargin(std::hypot(b.X - a.X, b.Y - a.Y));
    maxMargin = std::max(maxMargin, margin_[e]);
    minX_ = std::min(minX_, b.X);
    maxX_ = std::max(maxX_, b.X);
    minY_ = std::min(minY_, b.Y);
    maxY_ = std::max(maxY_, b.Y);
  }
  minX_ -= maxMargin;
  minY_ -= maxMargin;
  maxX_ += maxMargin;
  maxY_ += maxMargin;

  // About 4 cells per edge, square cells.
  const double w = maxX_ - minX_, h = maxY_ - minY_;
  cell_ = std::max(std::sqrt(w * h / (4.0 * static_cast<double>(edges))), 1e-9);
  cols_ = std::clamp<int64_t>(static_cast<int64_t>(w / cell_) + 1, 1, 4096);
  rows_ = std::clamp<int64_t>(static_cast<int64_t>(h / cell_) + 1, 1, 4096);
  cell_ = std::max(w / static_cast<double>(cols_), h / static_cast<double>(rows_)) * (1 + 1e-12);
  if (!(cell_ > 0)) cell_ = 1;
  auto clampCol = [&](double v) {
    return std::clamp<int64_t>(static_cast<int64_t>(std::floor((v - minX_) / cell_)), 0, cols_ - 1);
  };
  auto clampRow = [&](double v) {
    return std::clamp<int64_t>(static_cast<int64_t>(std::floor((v - minY_) / cell_)), 0, rows_ - 1);
  };
  // Cells are bucketed row-major; an edge covers its box in every row.
  std::vector<std::pair<int64_t, int64_t>> cellRanges;
  std::vector<int32_t> owners;
  for (size_t e = 0; e < edges; ++e) {
    const XYRec &a = ring_[e], &b = ring_[e + 1];
    const double m = margin_[e];
    const int64_t c0 = clampCol(std::min(a.X, b.X) - m), c1 = clampCol(std::max(a.X, b.X) + m);
    const int64_t r0 = clampRow(std::min(a.Y, b.Y) - m), r1 = clampRow(std::max(a.Y, b.Y) + m);
    for (int64_t r = r0; r <= r1; ++r) {
      cellRanges.push_back({r * cols_ + c0, r * cols_ + c1});
      owners.push_back(static_cast<int32_t>(e));
    }
  }
  std::vector<int32_t> pieces;
  FillBuckets(
      static_cast<size_t>(cols_ * rows_), cellRanges.size(),
      [&](size_t k) { return cellRanges[k]; }, cellStart_, pieces);
  cellEdges_.resize(pieces.size());
  for (size_t k = 0; k < pieces.size(); ++k) cellEdges_[k] = owners[static_cast<size_t>(pieces[k])];

  slabs_ = std::clamp<int64_t>(static_cast<int64_t>(edges), 1, 65536);
  slabH_ = std::max((maxY_ - minY_) / static_cast<double>(slabs_), 1e-12) * (1 + 1e-12);
  auto slabOf = [&](double y) {
    return std::clamp<int64_t>(static_cast<int64_t>(std::floor((y - minY_) / slabH_)), 0,
                               slabs_ - 1);
  };
  FillBuckets(
      static_cast<size_t>(slabs_), edges,
      [&](size_t e) {
        const XYRec &a = ring_[e], &b = ring_[e + 1];
        return std::pair<int64_t, int64_t>(slabOf(std::min(a.Y, b.Y)), slabOf(std::max(a.Y, b.Y)));
      },
      slabStart_, slabEdges_);
}

bool RingLocator::NearRing(double X, double Y) const {
  if (X < minX_ || X > maxX_ || Y < minY_ || Y > maxY_) return false;
  const int64_t c =
      std::clamp<int64_t>(static_cast<int64_t>(std::floor((X - minX_) / cell_)), 0, cols_ - 1);
  const int64_t r =
      std::clamp<int64_t>(static_cast<int64_t>(std::floor((Y - minY_) / cell_)), 0, rows_ - 1);
  const size_t cell = static_cast<size_t>(r * cols_ + c);
  for (int32_t k = cellStart_[cell]; k < cellStart_[cell + 1]; ++k) {
    const auto e = static_cast<size_t>(cellEdges_[static_cast<size_t>(k)]);
    // The distance is only a filter: the margin is wide enough to absorb its
    // rounding, and points inside it go to the kernel itself.
    if (SegmentDistance(ring_[e], ring_[e + 1], X, Y) <= margin_[e]) return true;
  }
  return false;
}

int RingLocator::WindingNumber(double X, double Y) const {
  if (Y < minY_ || Y > maxY_) return 0;
  const int64_t s =
      std::clamp<int64_t>(static_cast<int64_t>(std::floor((Y - minY_) / slabH_)), 0, slabs_ - 1);
  int w = 0;
  for (int32_t k = slabStart_[static_cast<size_t>(s)]; k < slabStart_[static_cast<size_t>(s) + 1];
       ++k) {
    const auto e = static_cast<size_t>(slabEdges_[static_cast<size_t>(k)]);
    const XYRec &a = ring_[e], &b = ring_[e + 1];
    if (a.Y <= Y && Y < b.Y) {
      if (Orient2D(a.X, a.Y, b.X, b.Y, X, Y) > 0) ++w;
    } else if (b.Y <= Y && Y < a.Y) {
      if (Orient2D(a.X, a.Y, b.X, b.Y, X, Y) < 0) --w;
    }
  }
  return w;
}

std::optional<PolygonLocation> RingLocator::Locate(double X, double Y) const {
  if (!fast_ || !std::isfinite(X) || !std::isfinite(Y) || NearRing(X, Y))
    return PointInPolygon(std::span<const XYRec>(ring_), X, Y);
  return WindingNumber(X, Y) != 0 ? PolygonLocation::Inside : PolygonLocation::Outside;
}

}  // namespace orvane
