#include "triangulation/SortByX.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/geometry/RadixSort.h"
#include "core/support/Threads.h"

namespace orvane {

namespace {

// One partition step of SortRecords on Lo..Hi, leaving Lo..j and i..Hi.
template <class Rec>
void Partition(std::span<Rec> list, int32_t Lo, int32_t Hi, int32_t& iOut, int32_t& jOut) {
  // Scanned with local positions: the records hold integers too, so
  // through the references every step would be stored and reloaded.
  Rec* const a = list.data();
  int64_t i = Lo, j = Hi;
  const double pivot = a[(int64_t{Lo} + Hi) / 2].X;
  do {
    while (a[i].X < pivot) ++i;
    while (pivot < a[j].X) --j;
    if (i < j) std::swap(a[i], a[j]);
    if (i <= j) {
      ++i;
      --j;
    }
  } while (i <= j);
  iOut = static_cast<int32_t>(i);
  jOut = static_cast<int32_t>(j);
}

template <class Rec>
void SortRecords(std::span<Rec> list, int32_t Lo, int32_t Hi) {
  if (Hi <= Lo) return;
  if (Lo < 0 || static_cast<size_t>(Hi) >= list.size())
    throw std::out_of_range("SortByX: range outside the list");
  // Neither scan can leave Lo..Hi: on the first pass the pivot entry stops
  // both, later passes are stopped by the entries just swapped (this holds
  // for NaN X values too, which compare false both ways).
  while (Lo < Hi) {
    int32_t i, j;
    Partition(list, Lo, Hi, i, j);
    // Lo..j and i..Hi are disjoint, so sorting them in either order gives
    // the same list.
    if (j - Lo < Hi - i) {
      if (Lo < j) SortRecords(list, Lo, j);
      Lo = i;
    } else {
      if (i < Hi) SortRecords(list, i, Hi);
      Hi = j;
    }
  }
}

// SortRecords with the two sides of the first partitions sorted on two
// threads: the sides are disjoint, so the list ends exactly as one thread
// leaves it. The smaller side of a lopsided split is sorted here and the
// larger one split again, so that both threads get about half the work.
void SortOnTwoThreads(std::span<XKey> list, int32_t Lo, int32_t Hi) {
  for (int round = 0; round < 8 && Hi - Lo >= 4096; ++round) {
    int32_t i = 0, j = 0;
    Partition(list, Lo, Hi, i, j);
    const int64_t left = int64_t{j} - Lo, right = int64_t{Hi} - i;
    if (std::min(left, right) * 4 >= std::max(left, right)) {
      RunBoth([&] { SortRecords(list, Lo, j); }, [&] { SortRecords(list, i, Hi); });
      return;
    }
    if (left < right) {
      SortRecords(list, Lo, j);
      Lo = i;
    } else {
      SortRecords(list, i, Hi);
      Hi = j;
    }
  }
  SortRecords(list, Lo, Hi);
}

}  // namespace

void SortByX(std::span<PointRec> list, int32_t Lo, int32_t Hi) {
  SortRecords(list, Lo, Hi);
}
void SortByX(std::span<XKey> list, int32_t Lo, int32_t Hi) {
  if (Hi - Lo < 4096 || Lo < 0 || static_cast<size_t>(Hi) >= list.size())
    return SortRecords(list, Lo, Hi);
  // Survey coordinates in millimetres repeat X values (a million points
  // over 10 km share thousands), and then only the partition itself gives
  // the order: with two threads it is run at once, without trying the
  // radix sort first.
  if (TwoThreads() && Hi - Lo >= (1 << 16)) return SortOnTwoThreads(list, Lo, Hi);
  // With all X values distinct the sorted order is unique, whichever method
  // finds it: a radix sort of order-preserving bit patterns is linear. Equal
  // X values (or NaN, or -0 beside 0) leave their order to the Hoare
  // partition, which then sorts the list as given.
  const auto count = static_cast<size_t>(Hi - Lo + 1);
  const std::span<XKey> range = list.subspan(static_cast<size_t>(Lo), count);
  std::vector<uint64_t> keys(count);
  std::vector<uint32_t> at(count);  // position in range
  for (size_t k = 0; k < count; ++k) {
    const double x = range[k].X;
    if (std::isnan(x)) return SortRecords(list, Lo, Hi);
    const auto bits = std::bit_cast<uint64_t>(x);
    keys[k] = bits >> 63 ? ~bits : bits | (uint64_t{1} << 63);
    at[k] = static_cast<uint32_t>(k);
  }
  RadixSort(keys, at);
  for (size_t k = 1; k < count; ++k)
    if (range[at[k]].X == range[at[k - 1]].X) return SortRecords(list, Lo, Hi);
  std::vector<XKey> sorted(count);
  for (size_t k = 0; k < count; ++k) sorted[k] = range[at[k]];
  std::copy(sorted.begin(), sorted.end(), range.begin());
}

}  // namespace orvane
