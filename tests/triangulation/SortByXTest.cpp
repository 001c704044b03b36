// The X sort against the literal recursive algorithm: the order of equal X
// values must come out identical, since the triangulator numbers its points
// by it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "reference/SortByXReference.h"
#include "triangulation/SortByX.h"

namespace orvane {
namespace {

// T carries the input position so that equal X values stay distinguishable.
std::vector<PointRec> RandomPoints(std::mt19937_64& rng, size_t n, int distinctX, double east) {
  std::uniform_int_distribution<int> x(0, distinctX - 1);
  std::uniform_real_distribution<double> y(0, 100);
  std::vector<PointRec> pts(n);
  for (size_t k = 0; k < n; ++k)
    pts[k] = {east + x(rng) * 0.0005, y(rng), y(rng), static_cast<double>(k)};
  return pts;
}

bool SameRecords(const std::vector<PointRec>& a, const std::vector<PointRec>& b) {
  // Bitwise, so that NaN X values compare too.
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](const PointRec& p, const PointRec& q) {
           return std::memcmp(&p, &q, sizeof p) == 0;
         });
}

TEST(SortByX, MatchesLiteralAlgorithmOnCrowdedInputs) {
  std::mt19937_64 rng(20240611);
  for (int round = 0; round < 3000; ++round) {
    const size_t n = std::uniform_int_distribution<size_t>(1, 300)(rng);
    const int distinct = std::uniform_int_distribution<int>(1, 12)(rng);
    const double east = round % 2 ? 5e5 : 0;
    std::vector<PointRec> fast = RandomPoints(rng, n, distinct, east);
    if (round % 7 == 0) fast[n / 2].X = std::numeric_limits<double>::quiet_NaN();
    std::vector<PointRec> slow = fast;
    // Whole lists, 1-based use with slot 0 left alone, and inner ranges.
    const int32_t lo = round % 3 == 0 ? 1 : 0;
    const int32_t hi = static_cast<int32_t>(n) - 1 - (round % 5 == 0 ? 2 : 0);
    SortByX(fast, lo, hi);
    reference::LiteralSortByX(slow, lo, hi);
    ASSERT_TRUE(SameRecords(fast, slow)) << "round " << round;
  }
}

// The key sort of large ranges: distinct X values (any method gives the one
// order), and lists where a single tie, NaN or -0 beside 0 hands the order
// to the partition.
TEST(SortByX, KeySortMatchesLiteralAlgorithmOnLargeRanges) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-1000, 1000);
  for (int round = 0; round < 8; ++round) {
    // The last round is large enough to be partitioned on two threads.
    const size_t n = round == 7 ? 150000 : 5000 + 1000 * static_cast<size_t>(round);
    std::vector<PointRec> slow(n);
    for (size_t k = 0; k < n; ++k) slow[k] = {(round % 2 ? 5e5 : 0) + u(rng), 0, 0, double(k)};
    if (round == 2) slow[n / 3].X = slow[n / 2].X;  // one tie
    if (round == 6 || round == 7)
      for (PointRec& p : slow) p.X = std::round(p.X / 4);  // ties everywhere
    if (round == 3) slow[n / 3].X = std::numeric_limits<double>::quiet_NaN();
    if (round == 4) {
      slow[n / 3].X = 0.0;
      slow[n / 2].X = -0.0;
    }
    if (round == 5) std::sort(slow.begin(), slow.end(), [](auto& a, auto& b) { return a.X > b.X; });
    std::vector<XKey> fast(n);
    for (size_t k = 0; k < n; ++k) fast[k] = {slow[k].X, static_cast<int32_t>(slow[k].T)};
    const int32_t lo = round % 3, hi = static_cast<int32_t>(n) - 1 - round % 4;
    SortByX(fast, lo, hi);
    reference::LiteralSortByX(slow, lo, hi);
    for (size_t k = 0; k < n; ++k)
      ASSERT_EQ(fast[k].index, static_cast<int32_t>(slow[k].T)) << "round " << round << " at " << k;
  }
}

TEST(SortByX, LargeSortedAndConstantInputsDoNotExhaustTheStack) {
  const size_t n = 1'000'000;
  std::vector<PointRec> sorted(n + 1);
  for (size_t k = 0; k <= n; ++k) sorted[k] = {5e5 + k * 0.001, 4.5e6, 0, static_cast<double>(k)};
  std::vector<PointRec> copy = sorted;
  SortByX(copy, 1, static_cast<int32_t>(n));
  EXPECT_EQ(copy, sorted);

  std::vector<PointRec> flat(n + 1, PointRec{5e5, 4.5e6, 0, 0});
  for (size_t k = 0; k <= n; ++k) flat[k].T = static_cast<double>(k);
  SortByX(flat, 1, static_cast<int32_t>(n));
  EXPECT_EQ(flat[0].T, 0);  // slot 0 untouched
  EXPECT_TRUE(std::all_of(flat.begin(), flat.end(), [](const PointRec& p) { return p.X == 5e5; }));
}

TEST(SortByX, EmptyRangesAndBadBounds) {
  std::vector<PointRec> pts{{3, 0, 0, 1}, {1, 0, 0, 2}};
  SortByX(pts, 1, 1);
  SortByX(pts, 5, -3);  // Hi <= Lo: nothing to do, bounds not checked
  SortByX(std::span<PointRec>{}, 0, 0);
  EXPECT_EQ(pts[0].X, 3);
  EXPECT_THROW(SortByX(pts, 0, 2), std::out_of_range);
  EXPECT_THROW(SortByX(pts, -1, 1), std::out_of_range);
}

}  // namespace
}  // namespace orvane
