#pragma once
// Constraint segments: the results of mesh intersection and the breaklines
// of the cut-and-fill rebuild. A segment is a point list of Model 1300 with
// exactly two vertices, start then end, each added with t = 0.

#include <vector>

#include "core/model/PointList.h"
#include "core/storage/Records.h"

namespace orvane {

using SegmentCollection = std::vector<PointList>;

inline PointList MakeConstraintSegment(double x1, double y1, double z1, double x2, double y2,
                                       double z2) {
  PointList s;
  s.Model = PointListModel::Breakline;
  s.AddVertex(x1, y1, z1, 0);
  s.AddVertex(x2, y2, z2, 0);
  return s;
}

}  // namespace orvane
