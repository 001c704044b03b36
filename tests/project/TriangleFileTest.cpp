#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/support/Threads.h"
#include "formats/PointTextWindow.h"
#include "formats/PointTexts.h"
#include "project/files/TriangleFile.h"
#include "support/SurveySurfaces.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

// About 40,000 points at survey coordinates (millimetres), as a build
// triangulates them: ten blocks of point texts, ten batches of lines.
TriangleMesh BuiltSurface() {
  std::mt19937_64 rng(31);
  std::uniform_int_distribution<int64_t> mm(0, 3'000'000);
  PointList points;
  for (int i = 0; i < 40000; ++i)
    points.AddVertex(5e5 + mm(rng) * 1e-3, 4.5e6 + mm(rng) * 1e-3, 100 + (mm(rng) % 9000) * 1e-3);
  return testing::Triangulate(std::move(points));
}

// The literal procedure: each line formatted from its own corners, a
// counter-clockwise triangle inverted.
std::string ReferenceLines(const TriangleMesh& mesh) {
  std::string out;
  for (int32_t i = 1; i <= mesh.TriangleCount(); ++i) {
    const TriangleRec& t = mesh.Triangle(i);
    const bool invert = mesh.GetTriangleOrientation(i) == 1;
    AppendTriangleLine(out, invert ? t.C : t.A, t.B, invert ? t.A : t.C);
  }
  return out;
}

// The same mesh with its triangles in another order (some reversed), and
// corners that do not copy their point: their own Z, no point number, that
// of another point or of none, numbers of every printed form.
TriangleMesh Reordered(const TriangleMesh& built, bool hostileCorners) {
  std::mt19937_64 rng(32);
  TriangleMesh m;
  for (const PointRec& p : built.Points().subspan(1)) m.AddPoint(p.X, p.Y, p.Z, p.T);
  std::vector<TriangleRec> tris(built.Triangles().begin() + 1, built.Triangles().end());
  std::shuffle(tris.begin(), tris.end(), rng);
  const double odd[] = {-0.0, 1e-7, 123456789012345.6, 1e20, -2.5e-5, 0.1 + 0.2};
  for (size_t k = 0; k < tris.size(); ++k) {
    TriangleRec t = tris[k];
    if (k % 3 == 0) std::swap(t.A, t.C);
    if (hostileCorners && k % 7 == 0) {
      PointRec* v[] = {&t.A, &t.B, &t.C};
      PointRec& c = *v[k % 3];
      switch (k % 5) {
        case 0:
          c.Z += 0.25;
          break;
        case 1:
          c.T = 0;
          break;
        case 2:
          c.T = c.T > 1 ? 1 : 2;
          break;
        case 3:
          c.T = built.PointCount() + 9;
          break;
        default:
          c.Z = odd[k % std::size(odd)];
          break;
      }
    }
    const auto n = [](const PointRec& v) { return static_cast<int32_t>(v.T); };
    m.AddTriangle(t.A.X, t.A.Y, t.A.Z, n(t.A), t.B.X, t.B.Y, t.B.Z, n(t.B), t.C.X, t.C.Y, t.C.Z,
                  n(t.C));
  }
  return m;
}

class TriangleFileTest : public testing::TempFolderTest {};

// The ".tin" writer formats each point once as the batches first need it:
// in a built surface's order, every line is what formatting its own corners
// gives, and in any other order too, on one thread and on two.
TEST_F(TriangleFileTest, LinesMatchEachTriangleFormattedAloneInAnyOrder) {
  const TriangleMesh built = BuiltSurface();
  ASSERT_GT(built.TriangleCount(), 3 * 8192);
  const TriangleMesh cases[] = {built, Reordered(built, false), Reordered(built, true)};
  for (size_t c = 0; c < std::size(cases); ++c) {
    const std::string expected = ReferenceLines(cases[c]);
    for (unsigned threads : {0u, 1u}) {
      TriangleMesh mesh = cases[c];
      SetThreadLimit(threads);
      const Outcome written = WriteTriangleFile(mesh, dir_ / "t.tin");
      SetThreadLimit(0);
      ASSERT_TRUE(written.Ok()) << written.Text();
      EXPECT_TRUE(testing::Slurp(dir_ / "t.tin") == expected) << "case " << c << ", " << threads;
      // The mesh itself turns clockwise, as its lines run.
      for (int32_t i = 1; i <= mesh.TriangleCount(); ++i)
        ASSERT_EQ(mesh.GetTriangleOrientation(i), -1) << "case " << c << ", triangle " << i;
    }
  }
}

// The writer held the texts of every point, a tenth of the mesh's memory at
// the peak of a build: through a built surface's batches, lane by lane, it
// now holds a few blocks at a time.
TEST_F(TriangleFileTest, TextsOfEveryPointWereHeldWhileWriting) {
  const TriangleMesh built = BuiltSurface();
  for (int lanes : {1, 2}) {
    PointTextWindow window(built, lanes);
    std::vector<char> line(kMaxXyzText);
    const int32_t n = built.TriangleCount();
    constexpr int32_t kBatch = 4096;
    for (int32_t first = 1, b = 0; first <= n; first += kBatch, ++b) {
      const int lane = b % lanes;
      const int32_t last = std::min(n, first + kBatch - 1);
      window.Enter(lane, window.LowestCorner(first, last));
      for (int32_t i = first; i <= last; ++i)
        for (const PointRec* v : {&built.Triangle(i).A, &built.Triangle(i).B, &built.Triangle(i).C})
          window.Write(lane, line.data(), *v);
      window.Release();
    }
    EXPECT_GE(built.PointCount(), 9 * 4096);
    EXPECT_LE(window.PeakBlocks(), 4) << lanes;
  }
}

}  // namespace
}  // namespace orvane
