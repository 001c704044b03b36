#include "project/files/TriangleFile.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>

#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"
#include "core/support/Threads.h"
#include "formats/PointTextWindow.h"
#include "formats/PointTexts.h"

namespace orvane {

namespace {

// Where the batches take the texts of the corners from: a caller's texts of
// every point, or a window of them (formats/PointTextWindow.h) that each
// lane, 0 or 1, tells where its batch begins.
class CornerTexts {
 public:
  explicit CornerTexts(const PointTexts& all) : all_(&all) {}
  explicit CornerTexts(PointTextWindow& window) : window_(&window) {}
  void Enter(int lane, int32_t first, int32_t last) {
    if (window_ != nullptr) window_->Enter(lane, window_->LowestCorner(first, last));
  }
  char* Write(int lane, char* out, const PointRec& v) {
    return window_ != nullptr ? window_->Write(lane, out, v) : all_->Write(out, v);
  }
  // The texts no lane will ask for again go (the writing lane calls it).
  void Release() {
    if (window_ != nullptr) window_->Release();
  }

 private:
  const PointTexts* all_ = nullptr;
  PointTextWindow* window_ = nullptr;
};

// The lines of the triangles in batches of about 0.8 MB of text each.
class TriangleBatches {
 public:
  static constexpr int32_t kBatch = 8192;
  static constexpr size_t kMaxLine = 3 * kMaxXyzText + 16;
  static constexpr size_t kBufferBytes = static_cast<size_t>(kBatch) * kMaxLine;

  TriangleBatches(const TriangleMesh& mesh, CornerTexts& points)
      : mesh_(mesh), points_(points), n_(mesh.TriangleCount()) {}

  int32_t Count() const { return (n_ + kBatch - 1) / kBatch; }

  // Batch b (0-based) into text (room for kBufferBytes), on lane; returns
  // its length.
  size_t Format(int32_t b, int lane, char* text) const {
    char* p = text;
    const int32_t first = b * kBatch + 1;
    const int32_t last = std::min(n_, (b + 1) * kBatch);
    points_.Enter(lane, first, last);
    int32_t inverted = 0;
    for (int32_t i = first; i <= last; ++i) {
      const TriangleRec& t = mesh_.Triangle(i);
      // A counter-clockwise (or degenerate) triangle is written inverted.
      const bool invert = mesh_.GetTriangleOrientation(i) == 1;
      inverted += invert ? 1 : 0;
      p = points_.Write(lane, Put(p, "(("), invert ? t.C : t.A);
      p = points_.Write(lane, Put(p, ")("), t.B);
      p = points_.Write(lane, Put(p, ")("), invert ? t.A : t.C);
      p = Put(p, "))\r\n");
    }
    formatted_.fetch_add(last - first + 1, std::memory_order_relaxed);
    inverted_.fetch_add(inverted, std::memory_order_relaxed);
    return static_cast<size_t>(p - text);
  }
  // Whether every line has been formatted, none of them inverted.
  bool AllClockwise() const { return formatted_.load() == n_ && inverted_.load() == 0; }
  void Release() const { points_.Release(); }

 private:
  static char* Put(char* p, std::string_view s) {
    std::memcpy(p, s.data(), s.size());
    return p + s.size();
  }

  const TriangleMesh& mesh_;
  CornerTexts& points_;
  int32_t n_;
  mutable std::atomic<int32_t> formatted_{0}, inverted_{0};  // lines
};

// Text buffers of the batches: their pages are touched only as far as the
// lines fill them.
std::unique_ptr<char[]> BatchBuffer() {
  return std::make_unique_for_overwrite<char[]>(TriangleBatches::kBufferBytes);
}

// The state two lanes share while they write the lines of the batches.
struct SharedBatches {
  static constexpr int32_t kSlots = 3;
  struct Slot {
    std::unique_ptr<char[]> text = BatchBuffer();
    size_t used = 0;
    bool full = false;
  };
  std::mutex m;
  std::condition_variable changed;
  std::array<Slot, kSlots> slots;
  int32_t count = 0;
  int32_t taken = 0;    // batches a lane has taken to format
  int32_t written = 0;  // batches written, in order
  bool stop = false;    // the writing lane is done (or failed)
  bool helperGone = false;

  // The next batch, when its slot is free (m held); -1 when there is none.
  int32_t Take() { return taken < count && taken < written + kSlots ? taken++ : -1; }
  void Fill(const TriangleBatches& batches, int32_t b, int lane) {
    Slot& slot = slots[static_cast<size_t>(b % kSlots)];
    const size_t used = batches.Format(b, lane, slot.text.get());
    const std::lock_guard lock(m);
    slot.used = used;
    slot.full = true;
    changed.notify_all();
  }
};

// Raises one of the shared flags and wakes the other lane when the scope
// ends, by return or by exception.
struct RaiseOnExit {
  SharedBatches& s;
  bool SharedBatches::*flag;
  ~RaiseOnExit() {
    const std::lock_guard lock(s.m);
    s.*flag = true;
    s.changed.notify_all();
  }
};

// With two threads both lanes format batches, each taking the next one not
// yet taken into a free slot of a small ring, and this lane (0) writes the
// slots out in batch order as they fill, so the file is the same either
// way. The helper (lane 1) goes on formatting while this lane writes: the
// system calls that copy the text to the file are a good part of the work.
void WriteInTwoThreads(const TriangleBatches& batches, AtomicFileWriter& out) {
  SharedBatches shared;
  shared.count = batches.Count();
  RunBoth(
      [&] {
        // However the helper ends, the writing lane hears of it.
        const RaiseOnExit gone{shared, &SharedBatches::helperGone};
        for (;;) {
          std::unique_lock lock(shared.m);
          int32_t b = -1;
          shared.changed.wait(lock, [&] {
            return shared.stop || shared.taken >= shared.count || (b = shared.Take()) >= 0;
          });
          if (b < 0) return;
          lock.unlock();
          shared.Fill(batches, b, 1);
        }
      },
      [&] {
        // However this lane ends, the helper is let go.
        const RaiseOnExit stop{shared, &SharedBatches::stop};
        std::unique_lock lock(shared.m);
        while (shared.written < shared.count && out.ok()) {
          SharedBatches::Slot& next =
              shared.slots[static_cast<size_t>(shared.written % SharedBatches::kSlots)];
          if (next.full) {
            lock.unlock();
            out.Write(std::string_view(next.text.get(), next.used));
            batches.Release();
            lock.lock();
            next.full = false;
            ++shared.written;
            shared.changed.notify_all();
          } else if (const int32_t b = shared.Take(); b >= 0) {
            lock.unlock();
            shared.Fill(batches, b, 0);
            lock.lock();
          } else if (shared.helperGone) {
            return;  // the helper failed on a batch it took: RunBoth throws its error
          } else {
            shared.changed.wait(lock);
          }
        }
      });
}

}  // namespace

void AppendTriangleLine(std::string& out, const PointRec& a, const PointRec& b, const PointRec& c) {
  out += "((";
  for (const PointRec* v : {&a, &b, &c}) {
    if (v != &a) out += ")(";
    AppendNumber(out, v->X);
    out += ' ';
    AppendNumber(out, v->Y);
    out += ' ';
    AppendNumber(out, v->Z);
  }
  out += "))\r\n";
}

bool WriteTriangleLines(const TriangleMesh& mesh, AtomicFileWriter& out, const PointTexts* texts,
                        bool* inverted) {
  const int32_t batchCount =
      (mesh.TriangleCount() + TriangleBatches::kBatch - 1) / TriangleBatches::kBatch;
  const bool twoLanes = batchCount >= 2 && TwoThreads();
  // Without the caller's texts, each point is formatted as the batches
  // first need it.
  std::optional<PointTextWindow> window;
  CornerTexts corners =
      texts != nullptr ? CornerTexts(*texts) : CornerTexts(window.emplace(mesh, twoLanes ? 2 : 1));
  const TriangleBatches batches(mesh, corners);
  if (!twoLanes) {
    const std::unique_ptr<char[]> text = BatchBuffer();
    for (int32_t b = 0; b < batches.Count() && out.ok(); ++b) {
      const size_t length = batches.Format(b, 0, text.get());
      out.Write(std::string_view(text.get(), length));
      batches.Release();
    }
  } else {
    WriteInTwoThreads(batches, out);
  }
  if (inverted != nullptr) *inverted = !batches.AllClockwise();
  return out.ok();
}

void InvertToClockwise(TriangleMesh& mesh) {
  const int32_t n = mesh.TriangleCount();
  for (int32_t i = 1; i <= n; ++i)
    if (mesh.GetTriangleOrientation(i) == 1) mesh.InvertTriangleOrientation(i);
}

bool WriteTriangleText(TriangleMesh& mesh, AtomicFileWriter& out) {
  bool inverted = true;
  const bool ok = WriteTriangleLines(mesh, out, nullptr, &inverted);
  if (inverted) InvertToClockwise(mesh);
  return ok;
}

Outcome WriteTriangleFile(TriangleMesh& mesh, const std::filesystem::path& path) {
  AtomicFileWriter out(path);
  if (!WriteTriangleText(mesh, out) || !out.Commit())
    return Outcome::Failure(ErrorCode::CannotWrite, out.Error(), path);
  return {};
}

}  // namespace orvane
