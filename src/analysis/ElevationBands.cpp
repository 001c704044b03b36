#include "analysis/ElevationBands.h"

#include <algorithm>
#include <atomic>

#include "analysis/HorizontalSplit.h"
#include "analysis/StepProgress.h"
#include "core/support/Threads.h"

namespace orvane {

namespace {

ExtentsRec Box(const PointRec& a, const PointRec& b, const PointRec& c) {
  ExtentsRec box;
  GrowExtents(box, a);
  GrowExtents(box, b);
  GrowExtents(box, c);
  return box;
}

// Follows triangle `source`, which crosses the bound of band `first`,
// through the bounds from there: at each bound its pieces at or above go on,
// those at or below go to the band, as the successive cuts of the whole
// surface would sort them. Counts() has the items of each band so far.
class CrossingFollower {
 public:
  explicit CrossingFollower(std::span<const double> bounds)
      : bounds_(bounds), counts_(bounds.size() + 1, 0) {}

  // False when cancelled.
  bool Follow(int32_t source, const TriangleRec& t, size_t first, BandPieceList& pieces) {
    current_.assign(1, {t.A, t.B, t.C});
    for (size_t c = first; c < bounds_.size() && !current_.empty(); ++c) {
      if (!Cut(bounds_[c])) return false;
      Emit(static_cast<int32_t>(c), source, lower_, pieces);
      current_.swap(next_);
    }
    Emit(static_cast<int32_t>(bounds_.size()), source, current_, pieces);
    return true;
  }
  // A triangle that goes whole to band b.
  void Whole(size_t b) { ++counts_[b]; }
  const std::vector<int64_t>& Counts() const { return counts_; }

 private:
  // current_ cut at bound into next_ (at or above) and lower_ (at or below).
  bool Cut(double bound) {
    next_.clear();
    lower_.clear();
    for (const PieceTriangle& p : current_) {
      const ExtentsRec box = Box(p.A, p.B, p.C);
      // Up before down: a piece lying in the plane goes up.
      if (box.Min.Z >= bound) {
        next_.push_back(p);
      } else if (box.Max.Z <= bound) {
        lower_.push_back(p);
      } else {
        const TriangleSplit split = SplitTriangle(p.A, p.B, p.C, bound);
        if (!parts_.Add(split.Upper.View(), next_) || !parts_.Add(split.Lower.View(), lower_))
          return false;
      }
    }
    return true;
  }
  void Emit(int32_t band, int32_t source, const std::vector<PieceTriangle>& triangles,
            BandPieceList& pieces) {
    for (const PieceTriangle& t : triangles) pieces.push_back({band, source, t});
    counts_[static_cast<size_t>(band)] += static_cast<int64_t>(triangles.size());
  }

  std::span<const double> bounds_;
  std::vector<int64_t> counts_;
  std::vector<PieceTriangle> current_, next_, lower_;
  PartTriangulator parts_;
};

constexpr int32_t kCrossing = -1;  // a triangle's band when it is cut
static_assert(kBandBlock % StepProgress::kStep == 0);

// Most triangles lie wholly between two bounds and go whole to one band;
// the rest are followed through the cuts. Blocks are taken in turn by the
// calling thread and, where two may run, a helper, each with its own
// follower; the reports come from the calling thread only.
class BandCutter {
 public:
  BandCutter(const TriangleMesh& surface, std::span<const double> bounds, ElevationBands& bands)
      : n_(surface.TriangleCount()),
        blocks_((n_ + kBandBlock - 1) / kBandBlock),
        triangles_(surface.Triangles()),
        bounds_(bounds),
        bands_(bands) {
    bands_.Blocks.resize(static_cast<size_t>(blocks_));
  }

  int32_t Blocks() const { return blocks_; }

  // Cuts blocks until none is left or the work stops; report only on the
  // calling thread.
  void Work(CrossingFollower& follower, int thread, StepProgress* report, int64_t total) {
    BandPieceList& pieces = bands_.Pieces[thread];
    std::vector<int32_t> bandOf(kBandBlock);
    for (;;) {
      if (stop_.load(std::memory_order_relaxed)) return;
      const int32_t b = nextBlock_.fetch_add(1);
      if (b >= blocks_) return;
      const int32_t from = b * kBandBlock + 1, to = std::min(n_, from + kBandBlock - 1);
      const size_t begin = pieces.size();
      if (!SortIntoBands(from, to, follower, pieces, bandOf)) {
        stop_ = true;
        return;
      }
      ListBlock(bands_.Blocks[static_cast<size_t>(b)], from, to, bandOf, pieces, begin);
      followed_.fetch_add(to - from + 1);
      if (report && !report->Upto(followed_.load(), total)) {
        stop_ = true;
        return;
      }
    }
  }
  void Stop() { stop_ = true; }
  bool Stopped() const { return stop_.load(); }

 private:
  // The band of each triangle from..to that goes whole to one, kCrossing
  // for one followed through the cuts (its pieces appended to pieces).
  bool SortIntoBands(int32_t from, int32_t to, CrossingFollower& follower, BandPieceList& pieces,
                     std::vector<int32_t>& bandOf) {
    const size_t bands = bounds_.size();
    for (int32_t i = from; i <= to; ++i) {
      const TriangleRec& t = triangles_[static_cast<size_t>(i)];
      const ExtentsRec box = Box(t.A, t.B, t.C);
      size_t c = 0;
      while (c < bands && box.Min.Z >= bounds_[c]) ++c;
      if (c == bands || box.Max.Z <= bounds_[c]) {
        bandOf[static_cast<size_t>(i - from)] = static_cast<int32_t>(c);
        follower.Whole(c);
      } else {
        bandOf[static_cast<size_t>(i - from)] = kCrossing;
        if (!follower.Follow(i, t, c, pieces)) return false;
      }
    }
    return true;
  }

  // The block's items sorted by band, stably: the pieces from begin on are
  // those of its crossing triangles, in order.
  void ListBlock(ElevationBands::Block& block, int32_t from, int32_t to,
                 const std::vector<int32_t>& bandOf, const BandPieceList& pieces, size_t begin) {
    const size_t bands = bounds_.size();
    block.Start.assign(bands + 2, 0);
    for (int32_t i = from; i <= to; ++i)
      if (const int32_t g = bandOf[static_cast<size_t>(i - from)]; g != kCrossing)
        ++block.Start[static_cast<size_t>(g) + 1];
    for (size_t j = begin; j < pieces.size(); ++j)
      ++block.Start[static_cast<size_t>(pieces[j].Band) + 1];
    for (size_t g = 0; g <= bands; ++g) block.Start[g + 1] += block.Start[g];
    block.Items.resize(static_cast<size_t>(block.Start[bands + 1]));
    std::vector<int32_t> at(block.Start.begin(), block.Start.end() - 1);
    size_t next = begin;
    for (int32_t i = from; i <= to; ++i) {
      const int32_t g = bandOf[static_cast<size_t>(i - from)];
      if (g != kCrossing) {
        block.Items[static_cast<size_t>(at[static_cast<size_t>(g)]++)] =
            reinterpret_cast<BandItem>(&triangles_[static_cast<size_t>(i)]);
        continue;
      }
      for (; next < pieces.size() && pieces[next].Source == i; ++next)
        block.Items[static_cast<size_t>(at[static_cast<size_t>(pieces[next].Band)]++)] =
            reinterpret_cast<BandItem>(&pieces[next]) | kBandPieceBit;
    }
  }

  const int32_t n_;
  const int32_t blocks_;
  const std::span<const TriangleRec> triangles_;
  const std::span<const double> bounds_;
  ElevationBands& bands_;
  std::atomic<int32_t> nextBlock_{0};
  std::atomic<int64_t> followed_{0};
  std::atomic<bool> stop_{false};
};

}  // namespace

Result<ElevationBands> CutElevationBands(const TriangleMesh& surface,
                                         std::span<const double> bounds, Feedback& feedback,
                                         int64_t progressTotal) {
  const int32_t n = surface.TriangleCount();
  const int64_t total = progressTotal > 0 ? progressTotal : n;
  ElevationBands bands;
  StepProgress report(feedback);
  BandCutter cutter(surface, bounds, bands);
  CrossingFollower mine(bounds), theirs(bounds);
  if (cutter.Blocks() >= 2 && TwoThreads())
    RunBoth([&] { cutter.Work(theirs, 1, nullptr, total); },
            [&] {
              try {
                cutter.Work(mine, 0, &report, total);
              } catch (...) {
                cutter.Stop();  // the helper stops too before the exception goes on
                throw;
              }
            });
  else
    cutter.Work(mine, 0, &report, total);
  if (cutter.Stopped() || !report.Upto(n, total)) return Outcome::Cancel();
  bands.Counts = mine.Counts();
  for (size_t g = 0; g < bands.Counts.size(); ++g) bands.Counts[g] += theirs.Counts()[g];
  return bands;
}

}  // namespace orvane
