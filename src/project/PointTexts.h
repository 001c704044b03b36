#pragma once
// "x y z" texts of mesh points for the triangle-per-line files (".tin",
// ".col"): every point formatted once, since a point is a corner of about
// six triangles and formatting numbers is most of the cost of such a file.

#include <cstddef>
#include <cstring>
#include <vector>

#include "core/NumberText.h"
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
    const int32_t n = mesh.PointCount();
    start_.reserve(static_cast<size_t>(n) + 2);
    start_.push_back(0);
    start_.push_back(0);  // point 0 (slot 0) is never used from the cache
    text_.resize(static_cast<size_t>(n) * 32 + kMaxXyzText);
    size_t used = 0;
    for (int32_t i = 1; i <= n; ++i) {
      if (text_.size() - used < kMaxXyzText) text_.resize(text_.size() * 3 / 2 + kMaxXyzText);
      used = static_cast<size_t>(WriteXyz(text_.data() + used, mesh.Point(i)) - text_.data());
      start_.push_back(used);
    }
    text_.resize(used + kShortText);  // every text can be read as a short one
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
  static constexpr size_t kShortText = 48;
  static_assert(kShortText <= kMaxXyzText);
  const TriangleMesh& mesh_;
  std::vector<char> text_;
  std::vector<size_t> start_;
};

}  // namespace orvane
