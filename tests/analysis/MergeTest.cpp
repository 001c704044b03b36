// The hashed merge against the literal all-pairs merge, and the merge's
// contract: duplicates, self-merge, copies of colour and group, cancel.

#include <gtest/gtest.h>

#include <random>

#include "analysis/Merge.h"
#include "analysis/MergeSplitMeshes.h"
#include "core/model/MeshInvariants.h"
#include "core/support/Status.h"
#include "reference/MergeSplitReference.h"

namespace orvane {
namespace {

// Merged surfaces overlap by construction; the corners must name their
// points once reindexed.
void ExpectIndexed(const TriangleMesh& m, const std::string& what) {
  const MeshReport report =
      CheckMesh(m, {.RequireClockwise = false, .RequirePlanArea = false, .AllowOverlaps = true});
  EXPECT_TRUE(report.Valid()) << what << ": " << report.Summary();
}

using test_surfaces::ExpectSameMesh;
using test_surfaces::RandomSurface;
using test_surfaces::SurfaceShape;

// A copy of `m` whose points sit at the critical distances from the
// originals (0, just under, exactly at and just over 0.001 on one axis or
// all three), with some points repeated inside it.
TriangleMesh NearCopy(const TriangleMesh& m, std::mt19937_64& rng) {
  const double offsets[] = {0, 0.0005, -0.0009999, 0.001, -0.001, 0.0010001, 0.0015, 0.3};
  std::uniform_int_distribution<int> pick(0, 7), axis(0, 3);
  TriangleMesh out;
  for (int32_t i = 1; i <= m.PointCount(); ++i) {
    PointRec p = m.Point(i);
    const double d = offsets[pick(rng)];
    switch (axis(rng)) {
      case 0:
        p.X += d;
        break;
      case 1:
        p.Y += d;
        break;
      case 2:
        p.Z += d;
        break;
      default:
        p.X += d, p.Y -= d, p.Z += d;
    }
    out.AddPoint(p.X, p.Y, p.Z, i % 3 == 0 ? 0 : 7.5);
    if (i % 5 == 0) out.AddPoint(p.X, p.Y, p.Z + offsets[pick(rng)]);
  }
  for (int32_t t = 1; t <= m.TriangleCount(); ++t) {
    const TriangleRec& r = m.Triangle(t);
    out.AddTriangle(r.A.X, r.A.Y, r.A.Z, 1, r.B.X, r.B.Y, r.B.Z, 2, r.C.X, r.C.Y, r.C.Z, 3);
    out.SetColor(t, r.Color + 1);
    out.SetGroup(t, r.Group + 2);
  }
  return out;
}

TEST(MergeTriangleMesh, MatchesLiteralMerge) {
  const SurfaceShape shapes[] = {
      {},
      {500000, 4500000, 20, 15, 0.01, 100, 110, 105, 0.1, 0.3},
      {500000.0005, 4500000.0005, 9, 9, 0.002, 0, 0.003, 0.001, 0.3, 0.9},
  };
  unsigned seed = 1;
  for (const SurfaceShape& shape : shapes) {
    for (int round = 0; round < 3; ++round, ++seed) {
      std::mt19937_64 rng(seed);
      const TriangleMesh a = RandomSurface(shape, rng);
      const TriangleMesh b = NearCopy(a, rng);
      for (bool reindex : {false, true}) {
        const std::string what = "seed " + std::to_string(seed) + (reindex ? " reindexed" : "");
        TriangleMesh fast = a, literal = a;
        fast.LastErrorCode = literal.LastErrorCode = 9;
        MergeTriangleMesh(fast, &b, reindex);
        reference::LiteralMergeTriangleMesh(literal, &b, reindex);
        ExpectSameMesh(fast, literal, what);
        if (reindex) ExpectIndexed(fast, what);
        // Into an empty mesh the incoming points are only compared among
        // themselves.
        TriangleMesh emptyFast, emptyLiteral;
        MergeTriangleMesh(emptyFast, &b, reindex);
        reference::LiteralMergeTriangleMesh(emptyLiteral, &b, reindex);
        ExpectSameMesh(emptyFast, emptyLiteral, what + " into empty");
      }
    }
  }
}

TEST(MergeTriangleMesh, SelfEmptyAndNone) {
  std::mt19937_64 rng(42);
  const TriangleMesh a =
      RandomSurface({500000, 4500000, 12, 10, 1.5, 100, 120, 110, 0.1, 0.3}, rng);

  TriangleMesh self = a;
  MergeTriangleMesh(self, &self, false);
  EXPECT_EQ(self.PointCount(), a.PointCount());
  ASSERT_EQ(self.TriangleCount(), 2 * a.TriangleCount());
  for (int32_t t = 1; t <= a.TriangleCount(); ++t) {
    const TriangleRec& copy = self.Triangle(a.TriangleCount() + t);
    const TriangleRec& orig = a.Triangle(t);
    EXPECT_EQ(copy.A.X, orig.A.X);
    EXPECT_EQ(copy.C.Z, orig.C.Z);
    EXPECT_EQ(copy.A.T + copy.B.T + copy.C.T, 0);
    EXPECT_EQ(copy.Color, orig.Color);
    EXPECT_EQ(copy.Group, orig.Group);
  }
  MergeTriangleMesh(self, &self, true);
  EXPECT_EQ(self.TriangleCount(), 4 * a.TriangleCount());
  ExpectIndexed(self, "self");

  TriangleMesh empty;
  MergeTriangleMesh(empty, &a, false);
  ASSERT_EQ(empty.PointCount(), a.PointCount());
  for (int32_t i = 1; i <= a.PointCount(); ++i) EXPECT_EQ(empty.Point(i), a.Point(i));
  for (int32_t t = 1; t <= a.TriangleCount(); ++t) {
    EXPECT_EQ(empty.Color(t), a.Color(t));
    EXPECT_EQ(empty.Group(t), a.Group(t));
  }
  EXPECT_EQ(empty.GetExtents(), a.GetExtents());

  TriangleMesh untouched = a;
  untouched.LastErrorCode = 4;
  MergeTriangleMesh(untouched, nullptr, true);
  EXPECT_EQ(untouched.LastErrorCode, 0);
  ExpectSameMesh(untouched, a, "no second mesh");
}

TEST(MergeTriangleMesh, CancelLeavesTargetAsItWas) {
  std::mt19937_64 rng(7);
  const TriangleMesh a = RandomSurface({0, 0, 20, 20, 1, 0, 10, 5, 0.2, 0.3}, rng);
  const TriangleMesh b = RandomSurface({0.5, 0.5, 20, 20, 1, 0, 10, 5, 0.2, 0.3}, rng);
  auto status = Status::Create();
  status->Delay = 0;  // every report is raised
  int reports = 0;
  status->Progress = [&](int32_t& pct) {
    ++reports;
    if (pct >= 50) CancelRequested = true;
  };
  status->Listen();
  TriangleMesh into = a;
  {
    StatusFeedback feedback;
    EXPECT_TRUE(MergeTriangleMesh(into, &b, true, feedback).IsCancelled());
  }
  Status::Create()->Listen();
  EXPECT_EQ(into.LastErrorCode, 1);
  EXPECT_FALSE(CancelRequested);
  EXPECT_GE(reports, b.PointCount() / 2 - 3);
  EXPECT_LT(reports, b.PointCount());
  into.LastErrorCode = 0;
  ExpectSameMesh(into, a, "cancelled");
}

}  // namespace
}  // namespace orvane
