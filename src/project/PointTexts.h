#pragma once
// "x y z" texts of mesh points for the triangle-per-line files (".tin",
// ".col"): every point formatted once, since a point is a corner of about
// six triangles and formatting numbers is most of the cost of such a file.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "core/NumberText.h"
#include "core/Threads.h"
#include "core/TriangleMesh.h"

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
  explicit PointTexts(const TriangleMesh& mesh) : mesh_(mesh) {
    // Large meshes in two halves, one per thread where two may run, joined
    // in order.
    const int32_t n = mesh.PointCount();
    std::vector<char> second;
    std::vector<size_t> secondEnds;
    if (n < kHalvesFrom) {
      Format(1, n, text_, start_);
    } else {
      RunBoth([&] { Format(n / 2 + 1, n, second, secondEnds); },
              [&] { Format(1, n / 2, text_, start_); });
    }
    start_.insert(start_.begin(), {0, 0});  // point 0 (slot 0) is never used from the cache
    const size_t used = start_.back();
    start_.reserve(start_.size() + secondEnds.size());
    for (size_t e : secondEnds) start_.push_back(used + e);
    text_.resize(used);
    text_.insert(text_.end(), second.begin(), second.end());
    text_.resize(text_.size() + kShortText);  // every text can be read as a short one
  }
  // Writes "x y z" of vertex v at out (room for kMaxXyzText): from the cache
  // when v copies its point exactly, else formatted afresh (a vertex may keep
  // its own Z). Returns the end.
  char* Write(char* out, const PointRec& v) const {
    const double t = v.T;
    if (t >= 1 && t <= mesh_.PointCount() && t == static_cast<double>(static_cast<int32_t>(t))) {
      const auto i = static_cast<size_t>(t);
      const PointRec& p = mesh_.Point(static_cast<int32_t>(i));
      // Equal doubles print equally (0 and -0 both print "0").
      if (p.X == v.X && p.Y == v.Y && p.Z == v.Z) {
        const size_t n = start_[i + 1] - start_[i];
        // A fixed-size copy is a few moves; the bytes past n are overwritten.
        if (n <= kShortText)
          std::memcpy(out, text_.data() + start_[i], kShortText);
        else
          std::memcpy(out, text_.data() + start_[i], n);
        return out + n;
      }
    }
    return WriteXyz(out, v);
  }

 private:
  // "x y z" of points first..last, back to back, into text (sized to
  // fit), and where each ends.
  void Format(int32_t first, int32_t last, std::vector<char>& text,
              std::vector<size_t>& ends) const {
    const auto count = static_cast<size_t>(std::max(0, last - first + 1));
    ends.reserve(count);
    text.resize(count * 32 + kMaxXyzText);
    size_t used = 0;
    for (int32_t i = first; i <= last; ++i) {
      if (text.size() - used < kMaxXyzText) text.resize(text.size() * 3 / 2 + kMaxXyzText);
      used = static_cast<size_t>(WriteXyz(text.data() + used, mesh_.Point(i)) - text.data());
      ends.push_back(used);
    }
    text.resize(used);
  }

  static constexpr int32_t kHalvesFrom = 1 << 16;  // points
  static constexpr size_t kShortText = 48;
  static_assert(kShortText <= kMaxXyzText);
  const TriangleMesh& mesh_;
  std::vector<char> text_;
  std::vector<size_t> start_;
};

}  // namespace orvane
