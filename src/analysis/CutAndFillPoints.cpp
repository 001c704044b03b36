#include "analysis/CutAndFillPoints.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "analysis/ElevationQueries.h"
#include "core/support/Threads.h"
#include "triangulation/RecentPositions.h"

namespace orvane {

namespace {

// Marks a point outside A while its overlay points are added.
constexpr double kOutside = 1e30;

// The cancel is asked every this many points: a few milliseconds apart.
constexpr size_t kPollEvery = 1024;

// FindPoint of one list for the length of a pass, through a dense grid
// over the list's extents: the passes ask for positions in the order of the
// overlay, neighbours after neighbours, and neighbouring cells lie near each
// other in memory, where a hash scatters them. The answer is exactly
// FindPoint's (the first point whose X and Y lie in [v - 0.001, v + 0.001],
// bounds rounded once): each cell chains its points in ascending order, a
// cell number is monotone in the coordinate, and the box's cells are all
// read. Points appended to the list must be appended here too. A list whose
// spread or query is not finite is left to FindPoint itself. Points may also
// be appended ahead of the list (Ahead): they follow its points, numbered
// on from its count.
class PointFinder {
 public:
  // expected: about how many points the list will hold by the pass's end.
  PointFinder(const PointList& list, size_t expected) : list_(list) {
    const ExtentsRec box = list.GetExtents();
    const double sx = box.Max.X - box.Min.X, sy = box.Max.Y - box.Min.Y;
    if (list.count() == 0 || !std::isfinite(sx) || !std::isfinite(sy)) return;
    x0_ = box.Min.X;
    y0_ = box.Min.Y;
    const double cells = static_cast<double>(std::max<size_t>(expected, 1024));
    w_ = std::max(16 * CoincidenceTolerance, std::sqrt(sx * sy / cells));
    while ((std::floor(sx / w_) + 1) * (std::floor(sy / w_) + 1) > 2 * cells + 64) w_ *= 1.5;
    nx_ = static_cast<int64_t>(sx / w_) + 1;
    ny_ = static_cast<int64_t>(sy / w_) + 1;
    head_.assign(static_cast<size_t>(nx_ * ny_), 0);
    tail_.assign(head_.size(), 0);
    next_.reserve(expected + 1);
    next_.assign(1, 0);
    for (int32_t i = 1; i <= list.count(); ++i) Append(i);
    usable_ = true;
  }

  // Registers the list's point i, just appended (i = the new count).
  void Append(int32_t i) {
    next_.push_back(0);
    const XYRec p = At(i);
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return;  // matches no finite box
    const size_t c = Cell(Column(p.X), Row(p.Y));
    if (head_[c] == 0)
      head_[c] = i;
    else
      next_[static_cast<size_t>(tail_[c])] = i;
    tail_[c] = i;
  }

  int32_t Find(double X, double Y) const {
    if (const std::optional<int32_t> found = GridFind(X, Y)) return *found;
    return list_.FindPoint(X, Y, CoincidenceTolerance);
  }

  // Find's answer from the grid alone, which may be asked from several
  // threads at once while nothing is appended; nullopt where only the
  // list's own search (which keeps a cache of its own) can give it.
  std::optional<int32_t> GridFind(double X, double Y) const {
    const double xlo = X - CoincidenceTolerance, xhi = X + CoincidenceTolerance;
    const double ylo = Y - CoincidenceTolerance, yhi = Y + CoincidenceTolerance;
    if (!usable_ || !std::isfinite(xlo) || !std::isfinite(xhi) || !std::isfinite(ylo) ||
        !std::isfinite(yhi))
      return std::nullopt;
    int32_t best = std::numeric_limits<int32_t>::max();
    const int64_t i0 = Column(xlo), i1 = Column(xhi), j0 = Row(ylo), j1 = Row(yhi);
    for (int64_t i = i0; i <= i1; ++i)
      for (int64_t j = j0; j <= j1; ++j)
        for (int32_t k = head_[Cell(i, j)]; k != 0 && k < best; k = next_[static_cast<size_t>(k)]) {
          const XYRec p = At(k);
          if (p.X >= xlo && p.X <= xhi && p.Y >= ylo && p.Y <= yhi) best = k;
        }
    return best == std::numeric_limits<int32_t>::max() ? 0 : best;
  }

  // Positions to be appended to the list later, numbered after its points;
  // each is registered with Append as it comes.
  void Ahead(const std::vector<XYRec>* ahead) { ahead_ = ahead; }

 private:
  XYRec At(int32_t k) const {
    const int32_t listed = list_.count();
    if (k <= listed) {
      const PointRec& p = list_.Point(k);
      return {p.X, p.Y};
    }
    return (*ahead_)[static_cast<size_t>(k - listed - 1)];
  }
  static int64_t Clamped(double q, int64_t n) {
    if (!(q > 0)) return 0;
    return q >= static_cast<double>(n - 1) ? n - 1 : static_cast<int64_t>(q);
  }
  int64_t Column(double x) const { return Clamped((x - x0_) / w_, nx_); }
  int64_t Row(double y) const { return Clamped((y - y0_) / w_, ny_); }
  size_t Cell(int64_t i, int64_t j) const { return static_cast<size_t>(i * ny_ + j); }

  const PointList& list_;
  const std::vector<XYRec>* ahead_ = nullptr;
  bool usable_ = false;
  double x0_ = 0, y0_ = 0, w_ = 1;
  int64_t nx_ = 1, ny_ = 1;
  std::vector<int32_t> head_, tail_;  // per cell: first and last point, 0 none
  std::vector<int32_t> next_;         // per point: the next of its cell, 0 ends
};

// Trim takes its points in blocks. The look-ups of a block that depend on
// nothing the pass changes (the match among the points the list held when
// the block began, the surface's reach and height) are made first, half of
// the block on each of two threads; the points are then settled in order.
// A match found among the earlier points is the first match whatever is
// appended later, which comes after it. (The overlay ends are not taken
// this way: most of them meet again an end appended a moment before, whose
// height would be looked up for nothing.)
constexpr size_t kBlock = 1 << 15;
// A look-up left to the settling, in order: the list's own search keeps a
// cache that two threads must not fill at once.
constexpr int32_t kInOrder = -1;

template <class Prepare>
void PrepareBlock(size_t first, size_t last, Prepare&& prepare) {
  const size_t mid = first + (last - first) / 2;
  RunBoth([&] { prepare(mid, last); }, [&] { prepare(first, mid); });
}

}  // namespace

CutAndFillPoints::CutAndFillPoints(IndexedSurface A, IndexedSurface B, PointList PA, PointList PB,
                                   size_t overlayEnds, OverlayEnd end)
    : PA(std::move(PA)),
      PB(std::move(PB)),
      A_(std::move(A)),
      B_(std::move(B)),
      endCount_(overlayEnds),
      end_(std::move(end)),
      ownB_(this->PB.count()) {}

bool CutAndFillPoints::CancelSeen(size_t i) const {
  return i % kPollEvery == 0 && feedback_ != nullptr && feedback_->Cancelled();
}

PointList CutAndFillPoints::WithoutFlagged(const PointList& list, const std::vector<bool>& drop,
                                           std::vector<int32_t>* renumber) {
  PointList out;
  out.Model = list.Model;
  out.Elevation = list.Elevation;
  out.Color = list.Color;
  out.Tag = list.Tag;
  const int32_t n = list.count();
  out.Reserve(static_cast<size_t>(n));
  if (renumber) renumber->assign(static_cast<size_t>(n) + 1, 0);
  int32_t dropped = 0;
  for (int32_t i = 1; i <= n; ++i) {
    const PointRec& p = list.Point(i);
    if (drop[static_cast<size_t>(i)]) {
      ++dropped;
    } else {
      out.AddVertex(p.X, p.Y, p.Z, p.T);  // T is never 0 in a list: kept as it is
      if (renumber) (*renumber)[static_cast<size_t>(i)] = out.count();
    }
  }
  // The dropped points pass through the end of the list so that the extents
  // keep them, as removing them one by one would.
  for (int32_t i = 1; i <= n; ++i) {
    const PointRec& p = list.Point(i);
    if (drop[static_cast<size_t>(i)]) out.AddVertex(p.X, p.Y, p.Z, p.T);
  }
  for (; dropped > 0; --dropped) out.RemovePoint(out.count());
  return out;
}

// An overlay end at exactly the position of one handled a moment ago takes
// that one's answer: it found a point, added one there, or lay outside the
// surface, and either way this one would change nothing and find the same
// point (a point added since, within 0.001 of an end outside, is left to
// TakeSegments). An end whose number ends_ already holds is not looked up.
bool CutAndFillPoints::MatchEnds(PointList& list, const IndexedSurface& surface, bool insideOnly) {
  if (insideOnly && ends_.empty()) {
    if (const std::optional<bool> done = MatchEndsInside(list, surface)) return *done;
    ends_.clear();
  }
  ends_.resize(endCount_ / 2, {0, 0});
  PointFinder finder(list, static_cast<size_t>(list.count()) + endCount_ / 2);
  RecentPositions<int32_t> recent;
  for (size_t k = 0; k < endCount_; ++k) {
    if (CancelSeen(k)) return false;
    int32_t& number = k % 2 == 0 ? ends_[k / 2].first : ends_[k / 2].second;
    if (number != 0) continue;
    const PointRec& p = end_(k);
    if (const int32_t* known = recent.Find(p.X, p.Y)) {
      number = *known;
      continue;
    }
    number = finder.Find(p.X, p.Y);
    if (number == 0) {
      const double z = surface.HeightNear(p.X, p.Y, insideOnly ? kOutside : 0);
      if (!insideOnly || z != kOutside) {
        list.AddVertex(p.X, p.Y, z, 0);
        number = list.count();
        finder.Append(number);
      }
    }
    recent.Put(p.X, p.Y, number);
  }
  return true;
}

// The ends' heights are looked up only for the ends added, and depend on
// their positions alone, while the matching runs end after end. Where every
// end lies over the surface, as the ends over both surfaces do, the matching
// does not need them: the ends are matched and numbered first, the positions
// to add kept aside, and their heights then looked up on two threads before
// they are added in order. The list and the numbers are MatchEnds's. An added
// end outside the surface after all (MatchEnds would have skipped it), or a
// look-up the grid cannot answer, leaves the list as it was: nullopt, and
// MatchEnds takes the ends one by one.
std::optional<bool> CutAndFillPoints::MatchEndsInside(PointList& list,
                                                      const IndexedSurface& surface) {
  ends_.assign(endCount_ / 2, {0, 0});
  std::vector<XYRec> ahead;
  ahead.reserve(endCount_ / 2);  // untouched room costs nothing
  PointFinder finder(list, static_cast<size_t>(list.count()) + endCount_ / 2);
  finder.Ahead(&ahead);
  const int32_t listed = list.count();
  RecentPositions<int32_t> recent;
  for (size_t k = 0; k < endCount_; ++k) {
    if (CancelSeen(k)) return false;
    int32_t& number = k % 2 == 0 ? ends_[k / 2].first : ends_[k / 2].second;
    const PointRec& p = end_(k);
    if (const int32_t* known = recent.Find(p.X, p.Y)) {
      number = *known;
      continue;
    }
    const std::optional<int32_t> found = finder.GridFind(p.X, p.Y);
    if (!found) return std::nullopt;
    number = *found;
    if (number == 0) {
      ahead.push_back({p.X, p.Y});
      number = listed + static_cast<int32_t>(ahead.size());
      finder.Append(number);
    }
    recent.Put(p.X, p.Y, number);
  }
  std::vector<double> heights(ahead.size());
  std::atomic<bool> outside{false}, stopped{false};
  auto look = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      if (i % kPollEvery == 0 && (outside.load(std::memory_order_relaxed) || CancelSeen(0))) {
        stopped = true;
        return;
      }
      heights[i] = surface.HeightNear(ahead[i].X, ahead[i].Y, kOutside);
      if (heights[i] == kOutside) outside = true;
    }
  };
  RunBoth([&] { look(ahead.size() / 2, ahead.size()); }, [&] { look(0, ahead.size() / 2); });
  if (outside) return std::nullopt;
  if (stopped) return false;
  list.Reserve(static_cast<size_t>(listed) + ahead.size());
  for (size_t i = 0; i < ahead.size(); ++i) list.AddVertex(ahead[i].X, ahead[i].Y, heights[i], 0);
  return true;
}

bool CutAndFillPoints::AddOverlayToA() {
  ends_.clear();
  return MatchEnds(PA, *A_, true);
}

bool CutAndFillPoints::Trim(PointList& from, int32_t n, PointList& onto,
                            const IndexedSurface& ontoSurface, std::vector<int32_t>& renumber,
                            std::vector<int32_t>* matched) {
  std::vector<bool> drop(static_cast<size_t>(from.count()) + 1, false);
  if (matched) matched->assign(drop.size(), 0);
  bool any = false;
  PointFinder finder(onto, static_cast<size_t>(onto.count()) + static_cast<size_t>(n));
  struct Looked {
    int32_t found;  // among the points onto held when the block began; 0 none
    bool reached;   // where none was found: whether the surface reaches it
    double z;       // and its height there
  };
  const auto count = static_cast<size_t>(std::max(n, 0));
  std::vector<Looked> looked(std::min(kBlock, count));
  for (size_t first = 0; first < count; first += kBlock) {
    const size_t last = std::min(count, first + kBlock);
    PrepareBlock(first, last, [&](size_t begin, size_t end) {
      CoverTest cover(ontoSurface);
      for (size_t k = begin; k < end; ++k) {
        const PointRec& p = from.Point(static_cast<int32_t>(k) + 1);
        Looked& l = looked[k - first];
        l.found = finder.GridFind(p.X, p.Y).value_or(kInOrder);
        l.reached = l.found == 0 && cover.Reached(p.X, p.Y);
        l.z = l.reached ? ontoSurface.HeightNear(p.X, p.Y, 0) : 0;
      }
    });
    for (size_t k = first; k < last; ++k) {
      const auto i = static_cast<int32_t>(k) + 1;
      if (CancelSeen(static_cast<size_t>(i))) return false;
      const PointRec& p = from.Point(i);
      Looked l = looked[k - first];
      if (l.found == kInOrder) {
        const bool reached = CoverTest(ontoSurface).Reached(p.X, p.Y);
        l = {0, reached, reached ? ontoSurface.HeightNear(p.X, p.Y, 0) : 0};
      }
      int32_t found = l.found != 0 ? l.found : finder.Find(p.X, p.Y);
      if (found == 0) {
        if (!l.reached) {
          drop[static_cast<size_t>(i)] = true;
          any = true;
        } else {
          onto.AddVertex(p.X, p.Y, l.z, 0);
          found = onto.count();
          finder.Append(found);
        }
      }
      if (matched) (*matched)[static_cast<size_t>(i)] = found;
    }
  }
  renumber.clear();
  if (any) from = WithoutFlagged(from, drop, &renumber);
  return true;
}

bool CutAndFillPoints::TrimAToB() {
  std::vector<int32_t> renumber;
  if (!Trim(PA, PA.count(), PB, *B_, renumber, &pbOfPa_)) return false;
  if (renumber.empty()) return true;
  for (auto& [from, to] : ends_) {
    from = renumber[static_cast<size_t>(from)];
    to = renumber[static_cast<size_t>(to)];
  }
  std::vector<int32_t> kept(static_cast<size_t>(PA.count()) + 1, 0);
  for (size_t i = 1; i < renumber.size(); ++i)
    if (renumber[i] != 0) kept[static_cast<size_t>(renumber[i])] = pbOfPa_[i];
  pbOfPa_ = std::move(kept);
  return true;
}

bool CutAndFillPoints::TrimBToA() {
  std::vector<int32_t> renumber;
  if (!Trim(PB, ownB_, PA, *A_, renumber, nullptr)) return false;
  if (!renumber.empty())
    for (int32_t& b : pbOfPa_) b = renumber[static_cast<size_t>(b)];
  return true;
}

// An end matched to a point of PA at exactly its own position asks of PB
// what that point asked when it was carried onto B, and gets the same
// answer unless that point of B has gone since: the points of B that come
// before it were all there then.
CutAndFillPoints::Segments CutAndFillPoints::TakeSegmentsOfA() {
  knownInPb_.assign(ends_.size(), {0, 0});
  auto known = [&](size_t k, int32_t a) {
    if (a < 1 || static_cast<size_t>(a) >= pbOfPa_.size()) return 0;
    const PointRec& p = end_(k);
    const PointRec& q = PA.Point(a);
    return p.X == q.X && p.Y == q.Y ? pbOfPa_[static_cast<size_t>(a)] : 0;
  };
  for (size_t s = 0; s < ends_.size(); ++s)
    knownInPb_[s] = {known(2 * s, ends_[s].first), known(2 * s + 1, ends_[s].second)};
  std::vector<int32_t>().swap(pbOfPa_);
  Segments segments = TakeSegments(PA, *A_);
  A_.reset();  // A's last use
  return segments;
}

bool CutAndFillPoints::AddOverlayToB() {
  ends_ = std::move(knownInPb_);
  knownInPb_.clear();
  return MatchEnds(PB, *B_, false);
}

CutAndFillPoints::Segments CutAndFillPoints::TakeSegmentsOfB() {
  Segments segments = TakeSegments(PB, *B_);
  B_.reset();  // B's last use
  return segments;
}

void CutAndFillPoints::DropB() {
  PB = PointList{};
  B_.reset();
  Segments().swap(knownInPb_);
  Segments().swap(ends_);
}

CutAndFillPoints::Segments CutAndFillPoints::TakeSegments(PointList& list,
                                                          const IndexedSurface& surface) {
  std::optional<PointFinder> finder;  // only for the few ends not matched yet
  for (size_t s = 0; s < ends_.size(); ++s)
    for (int32_t* number : {&ends_[s].first, &ends_[s].second}) {
      if (*number != 0) continue;
      if (!finder) finder.emplace(list, static_cast<size_t>(list.count()) + 1024);
      const PointRec& p = end_(2 * s + (number == &ends_[s].first ? 0 : 1));
      *number = finder->Find(p.X, p.Y);
      if (*number == 0) {
        // The end carries the height of the surface it was draped on, which
        // may be the other one: the list's own surface gives it.
        list.AddVertex(p.X, p.Y, surface.HeightNear(p.X, p.Y, p.Z), 0);
        *number = list.count();
        finder->Append(*number);
      }
    }
  return std::move(ends_);
}

}  // namespace orvane
