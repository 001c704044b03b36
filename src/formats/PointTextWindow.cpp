#include "formats/PointTextWindow.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "formats/PointTexts.h"

namespace orvane {

namespace {

constexpr int kBlockBits = 12;  // 4096 points a block
constexpr size_t kBlockPoints = size_t{1} << kBlockBits;
// A lane's batch needs the blocks from its floor's up to this many more. A
// block further ahead is formatted only once this many of its texts were
// asked for: a sliver along the hull reaches kilometres ahead, and its far
// corners alone would keep blocks held for most of the writing.
constexpr size_t kNearBlocks = 2;
constexpr int32_t kFarAsks = 64;
// A text this short is copied as a fixed-size block (a few moves); the bytes
// past its end are overwritten by what follows.
constexpr size_t kShortText = 48;
static_assert(kShortText <= kMaxXyzText);

enum BlockState : uint8_t { kEmpty, kFormatting, kReady, kReleased };

}  // namespace

struct PointTextWindow::Block {
  std::atomic<uint8_t> state{kEmpty};
  std::atomic<int32_t> farAsks{0};  // texts asked for from beyond the near blocks
  std::vector<char> text;           // the points' texts back to back, padded
  std::vector<uint32_t> end;        // end[j]: where the text of the block's point j ends
};

PointTextWindow::PointTextWindow(const TriangleMesh& mesh, int lanes)
    : mesh_(mesh),
      count_(mesh.PointCount()),
      blockCount_((static_cast<size_t>(count_) + kBlockPoints - 1) / kBlockPoints),
      blocks_(std::make_unique<Block[]>(blockCount_)) {
  // A lane that never runs holds nothing back.
  for (int k = 0; k < kMaxLanes; ++k)
    floor_[k].store(k < lanes ? 1 : std::numeric_limits<int32_t>::max(), std::memory_order_relaxed);
}

PointTextWindow::~PointTextWindow() = default;

int32_t PointTextWindow::LowestCorner(int32_t first, int32_t last) const {
  double lowest = std::numeric_limits<double>::infinity();
  for (int32_t i = first; i <= last; ++i) {
    const TriangleRec& t = mesh_.Triangle(i);
    for (const double c : {t.A.T, t.B.T, t.C.T})
      if (c >= 1 && c <= count_ && c < lowest) lowest = c;
  }
  // (A corner between two point numbers is formatted afresh: the floor at
  // the point below it holds back that point's text, no other.)
  return lowest <= count_ ? static_cast<int32_t>(lowest) : count_ + 1;
}

void PointTextWindow::Enter(int lane, int32_t lowest) {
  std::atomic<int32_t>& floor = floor_[lane];
  // Publishes that this lane is done with the texts below lowest: its reads
  // of them come before the store, a Release that sees it frees them after.
  if (lowest > floor.load(std::memory_order_relaxed))
    floor.store(lowest, std::memory_order_release);
}

void PointTextWindow::Release() {
  int32_t floor = std::numeric_limits<int32_t>::max();
  for (const std::atomic<int32_t>& f : floor_)
    floor = std::min(floor, f.load(std::memory_order_acquire));
  // Block k holds points k * kBlockPoints + 1 .. (k + 1) * kBlockPoints.
  while (released_ < blockCount_ &&
         static_cast<int64_t>(released_ + 1) * static_cast<int64_t>(kBlockPoints) < floor) {
    Block& b = blocks_[released_++];
    // No lane asks below its floor, so none is formatting or reading it.
    if (b.state.exchange(kReleased, std::memory_order_acq_rel) == kReady)
      held_.fetch_sub(1, std::memory_order_relaxed);
    std::vector<char>().swap(b.text);
    std::vector<uint32_t>().swap(b.end);
  }
}

void PointTextWindow::Format(Block& block, size_t k) const {
  const int32_t first = static_cast<int32_t>(k * kBlockPoints) + 1;
  const int32_t last = std::min(count_, first + static_cast<int32_t>(kBlockPoints) - 1);
  block.end.resize(static_cast<size_t>(last - first + 1));
  block.text.resize(block.end.size() * 32 + kMaxXyzText);
  size_t used = 0;
  for (int32_t i = first; i <= last; ++i) {
    if (block.text.size() - used < kMaxXyzText)
      block.text.resize(block.text.size() * 3 / 2 + kMaxXyzText);
    used =
        static_cast<size_t>(WriteXyz(block.text.data() + used, mesh_.Point(i)) - block.text.data());
    block.end[static_cast<size_t>(i - first)] = static_cast<uint32_t>(used);
  }
  block.text.resize(used + kShortText);
}

const PointTextWindow::Block* PointTextWindow::Ready(size_t k, int32_t floor) {
  Block& b = blocks_[k];
  uint8_t state = b.state.load(std::memory_order_acquire);
  if (state == kReady) return &b;
  // (Triangles in no order keep the floor low: their blocks soon have
  // enough asks to be formatted.)
  if (k > static_cast<size_t>(floor - 1) / kBlockPoints + kNearBlocks &&
      b.farAsks.fetch_add(1, std::memory_order_relaxed) < kFarAsks)
    return nullptr;
  // The first lane to need the block formats it. The other does not wait
  // for it: it formats the few texts it needs meanwhile itself.
  if (state != kEmpty ||
      !b.state.compare_exchange_strong(state, kFormatting, std::memory_order_acquire))
    return nullptr;
  Format(b, k);
  const int32_t held = held_.fetch_add(1, std::memory_order_relaxed) + 1;
  if (held > peak_.load(std::memory_order_relaxed)) peak_.store(held, std::memory_order_relaxed);
  b.state.store(kReady, std::memory_order_release);
  return &b;
}

char* PointTextWindow::Write(int lane, char* out, const PointRec& v) {
  const double t = v.T;
  const int32_t floor = floor_[lane].load(std::memory_order_relaxed);
  if (t >= floor && t <= count_ && t == static_cast<double>(static_cast<int32_t>(t))) {
    const auto i = static_cast<int32_t>(t);
    const PointRec& p = mesh_.Point(i);
    // Equal doubles print equally (0 and -0 both print "0").
    if (p.X == v.X && p.Y == v.Y && p.Z == v.Z) {
      const auto j = static_cast<size_t>(i - 1);
      if (const Block* b = Ready(j >> kBlockBits, floor)) {
        const size_t at = j & (kBlockPoints - 1);
        const size_t from = at == 0 ? 0 : b->end[at - 1];
        const size_t n = b->end[at] - from;
        std::memcpy(out, b->text.data() + from, n <= kShortText ? kShortText : n);
        return out + n;
      }
    }
  }
  return WriteXyz(out, v);
}

}  // namespace orvane
