#include <gtest/gtest.h>

#include "core/model/MeshInvariants.h"

namespace orvane {

namespace {

// Two clockwise triangles over the unit square at survey coordinates.
TriangleMesh Square() {
  TriangleMesh m;
  const double x0 = 500000, y0 = 4500000;
  m.AddPoint(x0, y0, 1);
  m.AddPoint(x0, y0 + 1, 2);
  m.AddPoint(x0 + 1, y0 + 1, 3);
  m.AddPoint(x0 + 1, y0, 4);
  m.AddTriangle(x0, y0, 1, 1, x0, y0 + 1, 2, 2, x0 + 1, y0 + 1, 3, 3);
  m.AddTriangle(x0, y0, 1, 1, x0 + 1, y0 + 1, 3, 3, x0 + 1, y0, 4, 4);
  return m;
}

}  // namespace

TEST(MeshInvariants, FindsEachKindOfFault) {
  EXPECT_TRUE(CheckMesh(Square()).Valid()) << CheckMesh(Square()).Summary();

  TriangleMesh bad = Square();
  bad.AddTriangle(500000, 4500000, 1, 9, 500000, 4500001, 2.5, 2, 500001, 4500001, 3, 3);
  const MeshReport r = CheckMesh(bad);
  EXPECT_EQ(r.BadIndexes, 1);
  EXPECT_EQ(r.CornerMismatches, 1);  // z 2.5 against point 2's 2
  EXPECT_EQ(r.Overlaps, 1);          // the copy of triangle 1
  EXPECT_FALSE(r.Valid());
  MeshCheckOptions merged;
  merged.AllowOverlaps = true;
  EXPECT_EQ(CheckMesh(bad, merged).Overlaps, 0);

  TriangleMesh turned = Square();
  turned.InvertTriangleOrientation(2);
  EXPECT_EQ(CheckMesh(turned).CounterClockwise, 1);
  MeshCheckOptions either;
  either.RequireClockwise = false;
  EXPECT_TRUE(CheckMesh(turned, either).Valid());

  // Triangles that share only an edge or a vertex do not overlap; a
  // millimetre sliver across the shared diagonal does, however thin.
  TriangleMesh sliver = Square();
  sliver.AddPoint(500000.5, 4500000.5005, 5);
  sliver.AddTriangle(500000, 4500000, 1, 1, 500000.5, 4500000.5005, 5, 5, 500001, 4500001, 3, 3);
  EXPECT_GE(CheckMesh(sliver).Overlaps, 1);

  TriangleMesh flat = Square();
  flat.AddPoint(500002, 4500002, 5);
  flat.AddTriangle(500000, 4500000, 1, 1, 500001, 4500001, 3, 3, 500002, 4500002, 5, 5);
  EXPECT_EQ(CheckMesh(flat).Degenerate, 1);
}

}  // namespace orvane
