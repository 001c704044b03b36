// Cutting a surface into elevation bands against the literal successive
// splits of the whole surface (the slow twin): the same triangles in the
// same order, band by band, to the digits a file keeps of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/ElevationBands.h"
#include "analysis/MergeSplitMeshes.h"
#include "core/support/NumberText.h"
#include "reference/MergeSplitReference.h"

namespace orvane {
namespace {

std::string TriangleText(const PointRec& a, const PointRec& b, const PointRec& c) {
  std::string line;
  for (const PointRec* p : {&a, &b, &c})
    line += FormatNumber(p->X) + " " + FormatNumber(p->Y) + " " + FormatNumber(p->Z) + ";";
  return line + "\n";
}

// The remaining surface cut at each bound in turn: the part at or below is
// the bound's band, what remains after the last bound the last band.
std::vector<std::string> LiteralBands(TriangleMesh surface, const std::vector<double>& bounds) {
  surface.Reindex();
  std::vector<std::string> bands;
  for (size_t g = 0; g <= bounds.size(); ++g) {
    TriangleMesh lower, upper;
    if (g < bounds.size())
      reference::LiteralHorizontalSplitSimple(surface, bounds[g], lower, upper);
    const TriangleMesh& band = g < bounds.size() ? lower : surface;
    bands.emplace_back();
    for (int32_t i = 1; i <= band.TriangleCount(); ++i) {
      const auto t = *band.GetTriangle(i);
      bands.back() += TriangleText(t[0], t[1], t[2]);
    }
    if (g < bounds.size()) surface = std::move(upper);
  }
  return bands;
}

std::vector<std::string> FastBands(const TriangleMesh& surface, const std::vector<double>& bounds) {
  Feedback feedback;
  const Result<ElevationBands> bands = CutElevationBands(surface, bounds, feedback);
  EXPECT_TRUE(bands.Ok());
  if (!bands) return {};
  std::vector<std::string> out(bounds.size() + 1);
  for (size_t g = 0; g < out.size(); ++g) {
    for (const ElevationBands::Block& block : bands->Blocks)
      for (int32_t k = block.Start[g]; k < block.Start[g + 1]; ++k) {
        const BandItem item = block.Items[static_cast<size_t>(k)];
        const PieceTriangle t =
            IsPiece(item)
                ? PieceOf(item).T
                : PieceTriangle{TriangleOf(item).A, TriangleOf(item).B, TriangleOf(item).C};
        out[g] += TriangleText(t.A, t.B, t.C);
      }
    EXPECT_EQ(bands->Counts[g], std::count(out[g].begin(), out[g].end(), '\n')) << "band " << g;
  }
  return out;
}

// Random surfaces (vertices snapped onto bounds, survey coordinates, bounds
// out of order, much above the last bound), and a triangle of 3 km sides cut
// at a bound: the two triangles of its four-point piece were left out for
// their sides of 1,000 m and more.
TEST(ElevationBands, SameTrianglesAsTheLiteralSuccessiveSplits) {
  std::mt19937_64 rng(20260301);
  std::uniform_real_distribution<double> u(0, 1);
  for (int round = 0; round < 15; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    test_surfaces::SurfaceShape s;
    s.columns = 6 + static_cast<int>(u(rng) * 10);
    s.rows = 6 + static_cast<int>(u(rng) * 10);
    s.spacing = round % 3 == 0 ? 0.5 : 2;
    if (round % 2 == 1) s.east = 500000.123, s.north = 4500000.456;
    s.zLow = 100;
    s.zHigh = 120;
    s.snapTo = 100 + std::floor(u(rng) * 20);
    s.zStep = round % 4 == 0 ? 0.5 : 0;
    TriangleMesh m = test_surfaces::RandomSurface(s, rng);
    std::vector<double> bounds;
    for (int b = 101; b <= 120; ++b) bounds.push_back(b);
    if (round % 5 == 4) std::shuffle(bounds.begin(), bounds.end(), rng);
    if (round % 7 == 6) bounds.resize(3);
    if (round == 14) {  // the long triangle
      m = TriangleMesh();
      m.AddPoint(0, 0, 100);
      m.AddPoint(3000, 0, 102);
      m.AddPoint(0, 3000, 104);
      m.AddTriangle(0, 0, 100, 0, 3000, 0, 102, 0, 0, 3000, 104, 0);
      m.Reindex();
      bounds = {101, 110};
    }
    EXPECT_EQ(FastBands(m, bounds), LiteralBands(m, bounds));
  }
}

}  // namespace
}  // namespace orvane
