#include <gtest/gtest.h>

#include "analysis/Segments.h"

namespace orvane {

TEST(Segments, ConstraintSegmentHoldsItsTwoEnds) {
  const PointList s = MakeConstraintSegment(1, 2, 3, 4, 5, 6);
  EXPECT_EQ(s.Model, PointListModel::Breakline);
  ASSERT_EQ(s.count(), 2);
  EXPECT_EQ(s.Point(2).X, 4);
}

}  // namespace orvane
