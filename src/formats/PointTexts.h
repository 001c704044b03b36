#pragma once
// "x y z" texts of mesh points for the triangle-per-line files (".tin",
// ".col"): every point formatted once, since a point is a corner of about
// six triangles and formatting numbers is most of the cost of such a file.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/support/NumberText.h"
#include "core/support/Threads.h"

namespace orvane {

// "x y z" of a vertex at out (room for kMaxXyzText); returns the end.
inline constexpr size_t kMaxXyzText = 3 * kMaxNumberText + 2;
inline char* WriteXyz(char* out, const PointRec& v) {
  out = WriteNumber(out, v.X);
  *out++ = ' ';
  out = WriteNumber(out, v.Y);
  *out++ = ' ';
  return WriteNumber(out, v.Z);
}

// "x y z" of every mesh point, formatted once.
class PointTexts {
 public:
  explicit PointTexts(const TriangleMesh& mesh) : mesh_(&mesh) {
    FormatAll(mesh.Points().subspan(1));
  }

  // Writes "x y z" of vertex v at out (room for kMaxXyzText): from the cache
  // when v copies its point exactly, else formatted afresh (a vertex may keep
  // its own Z). Returns the end.
  char* Write(char* out, const PointRec& v) const {
    const double t = v.T;
    if (t >= 1 && t <= count_ && t <= mesh_->PointCount() &&
        t == static_cast<double>(static_cast<int32_t>(t))) {
      const auto i = static_cast<size_t>(t);
      const PointRec& p = mesh_->Point(static_cast<int32_t>(i));
      // Equal doubles print equally (0 and -0 both print "0").
      if (p.X == v.X && p.Y == v.Y && p.Z == v.Z) {
        const bool late = t >= split_;
        const char* text = text_[late ? 1 : 0].data();
        const size_t from = i == static_cast<size_t>(split_) ? 0 : start_[i];
        const size_t n = start_[i + 1] - from;
        // A fixed-size copy is a few moves; the bytes past n are overwritten.
        if (n <= kShortText)
          std::memcpy(out, text + from, kShortText);
        else
          std::memcpy(out, text + from, n);
        return out + n;
      }
    }
    return WriteXyz(out, v);
  }

 private:
  // Large lists in two parts (points before split_ and from it on), one per
  // thread where two may run.
  void FormatAll(std::span<const PointRec> points) {
    const auto n = static_cast<int32_t>(points.size());
    count_ = n;
    split_ = n < kHalvesFrom ? n + 1 : n / 2 + 1;
    start_.assign(static_cast<size_t>(n) + 2, 0);  // point 0 (slot 0) is never used from the cache
    auto first = [&] { Format(points, 1, split_ - 1, text_[0]); };
    auto second = [&] { Format(points, split_, n, text_[1]); };
    if (split_ > n) {
      first();
      second();
    } else {
      RunBoth(second, first);
    }
  }
  // "x y z" of points first..last, back to back, into text; start_[i + 1]
  // is where the text of point i ends. Every text can be read as a short
  // one (the part is padded).
  void Format(std::span<const PointRec> points, int32_t first, int32_t last,
              std::vector<char>& text) {
    const auto count = static_cast<size_t>(std::max(0, last - first + 1));
    text.resize(count * 32 + kMaxXyzText);
    size_t used = 0;
    for (int32_t i = first; i <= last; ++i) {
      if (text.size() - used < kMaxXyzText) text.resize(text.size() * 3 / 2 + kMaxXyzText);
      used = static_cast<size_t>(WriteXyz(text.data() + used, points[static_cast<size_t>(i) - 1]) -
                                 text.data());
      start_[static_cast<size_t>(i) + 1] = used;
    }
    text.resize(used + kShortText);
  }

  static constexpr int32_t kHalvesFrom = 1 << 16;  // points
  static constexpr size_t kShortText = 48;
  static_assert(kShortText <= kMaxXyzText);
  const TriangleMesh* mesh_ = nullptr;
  int32_t count_ = 0;  // points formatted
  int32_t split_ = 1;  // first point of the second part
  std::vector<char> text_[2];
  // start_[i] is where the text of point i starts in its part (0 for the
  // first point of each part, whatever start_ holds there), start_[i + 1]
  // where it ends.
  std::vector<size_t> start_;
};

}  // namespace orvane
