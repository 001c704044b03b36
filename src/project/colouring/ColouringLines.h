#pragma once
// The lines of a ".col" file (Colouring.h) formatted into a caller's
// buffer: the most of a colouring's time goes to formatting numbers, so every
// text that recurs is formatted once.

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "analysis/SplitParts.h"
#include "core/storage/Records.h"
#include "formats/PointTexts.h"

namespace orvane {

enum class ColouringMode : int16_t { Elevation = 0, Slope = 1 };

// Room for one line.
inline constexpr size_t kMaxLineText = 3 * kMaxXyzText + 64;

// The slope value of the triangle (a, b, c): the absolute vertical component
// of its normal (b - a) x (c - a) over the normal's length, the cosine of the
// angle between the triangle and the horizontal plane (1 flat, 0 vertical).
// NaN for a triangle without area, which has no slope: it is written "0.00"
// and takes no slope class.
double SlopeValue(const PointRec& a, const PointRec& b, const PointRec& c);

// The slope value in "0.00" at out; returns the end.
char* WriteSlopeText(char* out, double c);

inline char* PutText(char* p, std::string_view s) {
  std::memcpy(p, s.data(), s.size());
  return p + s.size();
}

// "x y z" of the points where triangles were cut, kept for the next lines
// that meet them: each cut point is a corner of the pieces on both sides of
// its bound and of the neighbour's across its edge.
class RecentTexts {
 public:
  RecentTexts() : slots_(kSlots) {}
  char* Write(char* out, const PointRec& v);

 private:
  static constexpr size_t kSlots = 4096;
  static constexpr size_t kShortText = 48;
  static_assert(kShortText <= kMaxXyzText);
  struct Slot {
    double X = 0, Y = 0, Z = 0;
    uint8_t Length = 0;
    char Text[kMaxXyzText];
  };
  std::vector<Slot> slots_;
};

// "(MODE COLOUR " of a line, formatted once per class.
struct LineHead {
  LineHead(ColouringMode mode, int32_t colour);
  char Text[16] = {};  // copied whole: a few moves
  uint8_t Length = 0;
};

// Lines formatted into a caller's buffer. Each thread has its own: the
// texts of the points where triangles were cut are kept per formatter.
class LineFormatter {
 public:
  explicit LineFormatter(const PointTexts& points) : points_(points) {}

  // A triangle of the source mesh (its corners' texts may be cached), at p
  // (room for kMaxLineText); returns the end.
  char* Line(char* p, const LineHead& head, const TriangleRec& t) {
    return Line(p, head, t.A, t.B, t.C,
                [&](char* q, const PointRec& v) { return points_.Write(q, v); });
  }
  // A piece of source triangle s: its corners that are corners of s have
  // their texts cached; the points where it was cut are formatted here.
  char* Line(char* p, const LineHead& head, const PieceTriangle& t, const TriangleRec& s) {
    return Line(p, head, t.A, t.B, t.C, [&](char* q, const PointRec& v) {
      for (const PointRec* corner : {&s.A, &s.B, &s.C})
        if (corner->X == v.X && corner->Y == v.Y && corner->Z == v.Z)
          return points_.Write(q, *corner);
      return cuts_.Write(q, v);
    });
  }

 private:
  template <class Text>
  char* Line(char* p, const LineHead& head, const PointRec& a, const PointRec& b, const PointRec& c,
             const Text& text) {
    std::memcpy(p, head.Text, sizeof head.Text);
    p = WriteSlopeText(p + head.Length, SlopeValue(a, b, c));
    p = PutText(p, " ((");
    p = text(p, a);
    p = PutText(p, ")(");
    p = text(p, b);
    p = PutText(p, ")(");
    p = text(p, c);
    return PutText(p, ")))\r\n");
  }

  const PointTexts& points_;
  RecentTexts cuts_;
};

}  // namespace orvane
