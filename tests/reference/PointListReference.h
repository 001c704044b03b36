#pragma once
// The point list's search and thinning operations as literally described:
// linear scans and pair loops in index order. Slow; the tests compare the
// grid-hashed PointList against them. Every list is 1-based: entry 0 is
// slot 0, as in PointList::Points().

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/storage/Records.h"

namespace orvane::reference {

// First index with X, Y in [X - Tolerance, X + Tolerance] (and Z in
// [z - Tolerance, z + Tolerance] when z != 0); 0 when none.
int32_t LiteralFindPoint(std::span<const PointRec> points, double X, double Y, double Tolerance,
                         double z);

struct LiteralDuplicates {
  int32_t Count = 0;
  std::string DupIndexes;
};
// Pairs (i, j), i < j, in order: 1 at the first close pair (CheckAll false),
// or the marking pass of CheckAll.
LiteralDuplicates LiteralCheckForDuplicates(std::span<const PointRec> points, double Radius,
                                            bool VerifyZ, bool CheckAll);

struct LiteralDecimation {
  std::vector<PointRec> Points;     // kept points, slot 0 first
  std::vector<bool> MarkedRemoved;  // per original index: absorbed by another point
  int32_t Removed = 0;              // original count - kept count
};
LiteralDecimation LiteralDecimate(std::vector<PointRec> points, double Radius, bool VerifyZ,
                                  bool KeepsAverage);

}  // namespace orvane::reference
