#pragma once
// Contour lines: the exact level lines of a surface, linear on each
// triangle.
//
// Levels are From + k x Interval for whole k. On each triangle a level runs
// straight between its crossings of two edges; the pieces of neighbouring
// triangles meet at the same point of their shared edge (worked out from
// the edge's ends in a fixed order) and are joined into one polyline, which
// closes into a ring where it comes back to its start. A vertex exactly at
// a level counts as above it: a line through a vertex passes it once, a
// flat triangle at a level holds no piece of its line (the line runs along
// the flat area's rim instead), and a level that only touches the surface
// from one side (a peak, a ridge or a valley floor exactly at the level)
// gives no line. Triangles with a corner at the null elevation -999, or without
// plan area, hold no line, so lines end where they meet them. Lines run
// with the higher ground on their left: a ring around a hill runs
// counter-clockwise.

#include <cstdint>
#include <vector>

#include "core/storage/Records.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

class TriangleMesh;

struct ContourOptions {
  double Interval = 1;     // metres, above 0
  double From = 0;         // a level; the others are whole intervals away
  int32_t IndexEvery = 5;  // every N-th level (k a multiple of N) is an index contour; 0 none
};

struct ContourLine {
  double Elevation = 0;
  bool Index = false;
  bool Closed = false;        // a ring: the last point repeats the first
  std::vector<XYRec> Points;  // at least two distinct points
};

// Refused when the interval is not a positive finite length, From is not
// finite, IndexEvery is negative, or the lines would have more than
// kMaxContourPieces pieces (a tiny interval on a steep surface). Lines come
// by level, lowest first; within a level the open lines first. Progress goes to feedback per
// triangle (throttled); a cancel gives Cancelled.
inline constexpr int64_t kMaxContourPieces = int64_t{1} << 30;
Result<std::vector<ContourLine>> Contours(const TriangleMesh& mesh, const ContourOptions& options,
                                          Feedback& feedback);

}  // namespace orvane
