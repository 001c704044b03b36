#include "project/files/TriangleFile.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <semaphore>
#include <string_view>
#include <vector>

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

  TriangleBatches(const TriangleMesh& mesh, CornerTexts& points)
      : mesh_(mesh), points_(points), n_(mesh.TriangleCount()) {}

  int32_t Count() const { return (n_ + kBatch - 1) / kBatch; }

  // Batch b (0-based) into text, on lane; returns its length.
  size_t Format(int32_t b, int lane, std::vector<char>& text) const {
    constexpr size_t kMaxLine = 3 * kMaxXyzText + 16;
    text.resize(static_cast<size_t>(kBatch) * kMaxLine);
    char* p = text.data();
    const int32_t first = b * kBatch + 1;
    const int32_t last = std::min(n_, (b + 1) * kBatch);
    points_.Enter(lane, first, last);
    for (int32_t i = first; i <= last; ++i) {
      const TriangleRec& t = mesh_.Triangle(i);
      // A counter-clockwise (or degenerate) triangle is written inverted.
      const bool invert = mesh_.GetTriangleOrientation(i) == 1;
      p = points_.Write(lane, Put(p, "(("), invert ? t.C : t.A);
      p = points_.Write(lane, Put(p, ")("), t.B);
      p = points_.Write(lane, Put(p, ")("), invert ? t.A : t.C);
      p = Put(p, "))\r\n");
    }
    return static_cast<size_t>(p - text.data());
  }
  void Release() const { points_.Release(); }

 private:
  static char* Put(char* p, std::string_view s) {
    std::memcpy(p, s.data(), s.size());
    return p + s.size();
  }

  const TriangleMesh& mesh_;
  CornerTexts& points_;
  int32_t n_;
};

// With two threads the helper formats every other batch (lane 1) while this
// one formats and writes the rest (lane 0), in order, so the file is the
// same either way.
void WriteInTwoThreads(const TriangleBatches& batches, AtomicFileWriter& out) {
  const int32_t count = batches.Count();
  std::vector<char> mine, theirs;
  // The helper formats the odd batches into its own buffer, one at a time:
  // ready says a batch is in it, free that it has been written.
  size_t theirsUsed = 0;
  std::counting_semaphore<> ready(0), free(1);
  std::atomic<bool> stop{false};
  RunBoth(
      [&] {
        for (int32_t b = 1; b < count; b += 2) {
          free.acquire();
          if (stop.load()) return;
          theirsUsed = batches.Format(b, 1, theirs);
          ready.release();
        }
      },
      [&] {
        // However this side ends, the helper is let go.
        struct Release {
          std::atomic<bool>& stop;
          std::counting_semaphore<>& free;
          ~Release() {
            stop.store(true);
            free.release();
          }
        } release{stop, free};
        for (int32_t b = 0; b < count && out.ok(); b += 2) {
          const size_t length = batches.Format(b, 0, mine);
          out.Write(std::string_view(mine.data(), length));
          batches.Release();
          if (b + 1 >= count) break;
          ready.acquire();
          if (out.ok()) out.Write(std::string_view(theirs.data(), theirsUsed));
          free.release();
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

bool WriteTriangleLines(const TriangleMesh& mesh, AtomicFileWriter& out, const PointTexts* texts) {
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
    std::vector<char> text;
    for (int32_t b = 0; b < batches.Count() && out.ok(); ++b) {
      const size_t length = batches.Format(b, 0, text);
      out.Write(std::string_view(text.data(), length));
      batches.Release();
    }
  } else {
    WriteInTwoThreads(batches, out);
  }
  return out.ok();
}

void InvertToClockwise(TriangleMesh& mesh) {
  const int32_t n = mesh.TriangleCount();
  for (int32_t i = 1; i <= n; ++i)
    if (mesh.GetTriangleOrientation(i) == 1) mesh.InvertTriangleOrientation(i);
}

bool WriteTriangleText(TriangleMesh& mesh, AtomicFileWriter& out) {
  const bool ok = WriteTriangleLines(mesh, out);
  InvertToClockwise(mesh);
  return ok;
}

Outcome WriteTriangleFile(TriangleMesh& mesh, const std::filesystem::path& path) {
  AtomicFileWriter out(path);
  if (!WriteTriangleText(mesh, out) || !out.Commit())
    return Outcome::Failure(ErrorCode::CannotWrite, out.Error(), path);
  return {};
}

}  // namespace orvane
