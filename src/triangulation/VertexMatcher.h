#pragma once
// Matches the vertices of constraint items with the points of the list they
// are triangulated with: each vertex takes the first point whose X and Y lie
// within the coincidence tolerance of it (inclusive), exactly as FindPoint
// on the list answers, and a vertex that matches none is appended to the
// list, so that later vertices can match it.
//
// The positions to be matched are known before the first is: a grid of
// their tolerance boxes (a few thousand, small enough to stay in cache) and
// one pass over the list find each position's first point. A point list's
// own index would hash every point of the list (tens of megabytes for a
// million points, kept with the list) to answer those few look-ups.
//
// Why no point is missed: a value's cell on an axis is
//   clamp(floor(fl(v - origin) / width), 0, 2^31 - 1),
// which never decreases as v grows; a point inside a box therefore lies in a
// cell between those of the box's corners, and every box is registered in
// each of those cells. The grid only narrows the candidates: the exact
// comparison of FindPoint decides.

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "core/model/PointList.h"
#include "core/storage/Records.h"

namespace orvane {

class VertexMatcher {
 public:
  // points: the list's points (entry 0 unused); positions: every vertex
  // position that MatchOrAdd may be asked for, in any order, repeats
  // allowed.
  VertexMatcher(std::span<const PointRec> points, std::span<const XYRec> positions);

  // The index in Points of the first point within the tolerance of p, or of
  // p appended to Points when there is none: FindPoint(p.X, p.Y, 0.001, 0),
  // then AddVertex(p.X, p.Y, p.Z, 0). Points must be the list given to the
  // constructor, changed since by this alone.
  int32_t MatchOrAdd(PointList& Points, const PointRec& p);

 private:
  struct Box {
    double x0, y0, x1, y1;
  };
  static Box BoxOf(double x, double y);
  static bool InBox(const PointRec& p, const Box& b) {
    return p.X >= b.x0 && p.X <= b.x1 && p.Y >= b.y0 && p.Y <= b.y1;
  }
  uint64_t CellKey(double x, double y) const;
  // Calls visit(key) for each cell the box covers.
  template <class Visit>
  void ForEachCell(const Box& b, Visit&& visit) const;
  void FindFirstPoints(std::span<const PointRec> points);
  // The first of the points appended so far within box b, 0 when none.
  int32_t FirstAppended(const PointList& Points, const Box& b) const;

  double originX_ = 0, originY_ = 0, width_ = 1;
  Box reach_{};                   // the union of the positions' boxes
  std::vector<XYRec> positions_;  // sorted by X then Y, distinct
  std::vector<int32_t> first_;    // per position: its first point in the list, 0 none
  std::unordered_map<uint64_t, std::vector<int32_t>> appended_;  // appended points by cell
};

}  // namespace orvane
