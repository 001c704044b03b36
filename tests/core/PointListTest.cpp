// Behaviour of the point list: basic editing, closed kinds, lengths,
// orientation, properties, hull, duplicates, decimation and crossings.

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "core/model/PointList.h"

namespace orvane {
namespace {

PointList Square(int32_t model = PointListModel::OpenPolyline, double e = 0, double n = 0) {
  PointList list;
  list.Model = model;
  list.AddVertex(e + 0, n + 0, 1);
  list.AddVertex(e + 10, n + 0, 2);
  list.AddVertex(e + 10, n + 10, 3);
  list.AddVertex(e + 0, n + 10, 4);
  return list;
}

std::vector<PointRec> Points(const PointList& list) {
  return {list.Points().begin() + 1, list.Points().end()};
}

TEST(PointList, AddVertexNumbersAndGrowsExtents) {
  PointList list;
  list.AddVertex(3, 4, 5);
  list.AddVertex(-1, 9, 2, 77);
  EXPECT_EQ(list.Point(1).T, 1);
  EXPECT_EQ(list.Point(2).T, 77);
  EXPECT_EQ(list.GetExtents().Min, (PointRec{-1, 4, 2, 0}));
  EXPECT_EQ(list.GetExtents().Max, (PointRec{3, 9, 5, 0}));
  EXPECT_EQ(list.GetPoint(0), std::nullopt);
  EXPECT_EQ(list.GetPoint(3), std::nullopt);
  EXPECT_THROW(list.GetPoint(-1), std::out_of_range);
  EXPECT_THROW(list.Point(3), std::out_of_range);
  EXPECT_THROW(list.ChangePoint(0, 0, 0, 0, 0), std::out_of_range);
  list.ChangePoint(3, 0, 0, 0, 0);  // above count: ignored
  list.RemovePoint(3);
  EXPECT_EQ(list.count(), 2);
}

TEST(PointList, ClosedKindsKeepFirstAndLastEqual) {
  for (int32_t model : {7, 1100, 1200}) {
    PointList ring = Square(model);
    ring.AddVertex(0, 0, 1);
    ring.ChangePoint(1, -1, -1, 0, 1);
    EXPECT_EQ(ring.Point(5), ring.Point(1)) << model;
    ring.ChangePoint(5, -2, -2, 0, 5);
    EXPECT_EQ(ring.Point(1), ring.Point(5)) << model;
  }
  PointList open = Square();
  open.ChangePoint(1, -1, -1, 0, 1);
  EXPECT_EQ(open.Point(4).X, 0);
}

TEST(PointList, RemovePointDropsItsPropertySet) {
  PointList list = Square();
  for (int32_t i = 1; i <= 4; ++i) list.SetPointProperty(i, "n", i);
  list.RemovePoint(2);
  EXPECT_EQ(list.Point(2), (PointRec{10, 10, 3, 3}));
  EXPECT_EQ(list.PointPropertyCount(), 3);
  EXPECT_EQ(list.PointProperty(2, "N"), Variant(3));
}

TEST(PointList, LengthsCloseOnlyConstraintPolygons) {
  for (auto [model, length] : {std::pair{PointListModel::OpenPolyline, 30},
                               {PointListModel::Boundary, 40},
                               {PointListModel::Hole, 40},
                               {PointListModel::ClosedPolygon, 30}})
    EXPECT_DOUBLE_EQ(Square(model).Length(), length) << model;
  PointList up;
  up.AddVertex(0, 0, 0);
  up.AddVertex(3, 4, 12);
  EXPECT_DOUBLE_EQ(up.Length3D(), 13);
  EXPECT_EQ(PointList().Length(), 0);
}

TEST(PointList, TranslateInvertAndMerge) {
  PointList list = Square();
  list.Translate(500000, 4500000, 1);
  EXPECT_EQ(list.GetExtents().Min, (PointRec{500000, 4500000, 2, 0}));
  list.InvertArray();
  EXPECT_EQ(list.Point(1), (PointRec{500000, 4500010, 5, 4}));

  PointList other = Square(PointListModel::Boundary);
  const std::vector<PointRec> before = Points(list);
  EXPECT_FALSE(list.MergePointList(other));
  EXPECT_EQ(Points(list), before);
  EXPECT_EQ(other.count(), 4);

  EXPECT_TRUE(list.MergePointList(list));  // merging with itself doubles it
  EXPECT_EQ(list.count(), 8);
  EXPECT_EQ(list.Point(5), list.Point(1));
}

TEST(PointList, PropertyKeysIgnoreCase) {
  PointList list = Square();
  list.SetPointProperty(3, "Depth", 2.5);
  EXPECT_EQ(list.PointPropertyCount(), 3);
  list.SetPointProperty(3, "DEPTH", 4.0);
  EXPECT_EQ(list.PointProperty(3, "Depth"), Variant(4.0));
  EXPECT_TRUE(IsEmpty(list.PointProperty(9, "Depth")));
  list.SetClassProperty("Name", std::string("zone A"));
  EXPECT_EQ(list.ClassProperty("NAME"), Variant(std::string("zone A")));
  EXPECT_EQ(list.ClassPropertyCount(), 1);
  EXPECT_THROW(list.PointProperty(-1, "x"), std::out_of_range);
}

TEST(PointList, InsideAndOrientation) {
  for (double e : {0.0, 500000.0}) {
    const double n = e == 0 ? 0 : 4500000;
    const PointList sq = Square(PointListModel::OpenPolyline, e, n);
    EXPECT_TRUE(sq.IsPointInside(e + 5, n + 5));
    EXPECT_TRUE(sq.IsPointInside(e + 5, n));        // on an edge
    EXPECT_TRUE(sq.IsPointInside(e + 10.0005, n));  // on a vertex
    EXPECT_FALSE(sq.IsPointInside(e + 15, n + 5));
    EXPECT_TRUE(sq.IsCCWPoly());
    PointList rev = sq;
    rev.InvertArray();
    EXPECT_FALSE(rev.IsCCWPoly());
  }
  EXPECT_FALSE(PointList().IsPointInside(0, 0));
  // Turns below half a square metre round to zero and count as clockwise.
  PointList tiny;
  tiny.AddVertex(0, 0, 0);
  tiny.AddVertex(0.4, 0, 0);
  tiny.AddVertex(0.4, 0.4, 0);
  EXPECT_FALSE(tiny.IsCCWPoly());
}

TEST(PointList, ConvexHullWrapsClockwiseFromLeftmost) {
  PointList list = Square();
  list.AddVertex(5, 5, 0);
  const std::optional<PointList> hull = list.GetConvexHull();
  ASSERT_TRUE(hull.has_value());
  EXPECT_EQ(hull->Model, PointListModel::Boundary);
  std::vector<std::pair<double, double>> xy;
  for (const PointRec& p : Points(*hull)) xy.emplace_back(p.X, p.Y);
  EXPECT_EQ(xy,
            (std::vector<std::pair<double, double>>{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}}));
  EXPECT_EQ(hull->Point(2).T, 4);  // points keep their T

  EXPECT_FALSE(PointList().GetConvexHull().has_value());
  // Two coincident points never close: the extents' rectangle, T = 0.
  PointList same;
  same.AddVertex(3, 4, 5);
  same.AddVertex(3, 4, 2);
  const std::optional<PointList> box = same.GetConvexHull();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(Points(*box), std::vector<PointRec>(4, PointRec{3, 4, 2, 0}));
}

TEST(PointList, DecimateKeepsTAndExtents) {
  // A removed point never absorbs: 3 is close to 2 but not to 1.
  PointList chain;
  chain.AddVertex(0, 0, 0);
  chain.AddVertex(0.0009, 0, 3);
  chain.AddVertex(0.0018, 0, 6);
  EXPECT_EQ(chain.Decimate(0.001, false, true), 1);
  ASSERT_EQ(chain.count(), 2);
  EXPECT_EQ(chain.Point(1), (PointRec{0.00045, 0, 1.5, 1}));
  EXPECT_EQ(chain.Point(2).T, 3);  // T values are kept, not renumbered
  EXPECT_EQ(chain.GetExtents().Max.X, 0.0018);
}

TEST(PointList, IntersectingPointWalk) {
  const PointList list = Square();  // open: segments 1-2, 2-3, 3-4
  PointList::Intersection hit = list.GetIntersectingPoint(5, -5, 5, 15, 2);
  EXPECT_TRUE(hit.Hit);
  EXPECT_EQ(hit.Idx1, 3);
  EXPECT_EQ(hit.Idx2, 4);
  EXPECT_DOUBLE_EQ(hit.XI, 5);
  EXPECT_DOUBLE_EQ(hit.YI, 10);

  hit = list.GetIntersectingPoint(5, -5, 5, 15, 1, true);
  EXPECT_EQ(hit.Idx1, 1);
  EXPECT_EQ(hit.XI, 0);  // CheckOnly computes no point

  // Fewer crossings than asked: the walk runs past the last segment.
  hit = list.GetIntersectingPoint(5, -5, 5, 5, 2);
  EXPECT_FALSE(hit.Hit);
  EXPECT_EQ(hit.Idx1, 4);
  EXPECT_DOUBLE_EQ(hit.XI, 5);
  EXPECT_DOUBLE_EQ(hit.YI, 0);
}

}  // namespace
}  // namespace orvane
