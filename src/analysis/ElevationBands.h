#pragma once
// A surface's triangles sorted into elevation bands, as the successive cuts
// of the whole surface would sort them. The remaining surface starts as the
// whole surface; at each bound in order it is cut as HorizontalSplitSimple
// cuts it: the part at or below goes to the bound's band, the part at or
// above remains, and what remains after the last bound is the last band.
//
// Each triangle is followed through the bounds on its own: only triangles
// that cross a bound are cut (SplitTriangle, quadrilaterals as
// PartTriangulator makes them), and the pieces are never merged into whole
// meshes. A surface of more than one block of triangles is worked on two
// threads where two may run; the result does not depend on it.

#include <cstdint>
#include <span>
#include <vector>

#include "analysis/SplitParts.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/Records.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

// A piece of a cut triangle and the band it falls in.
struct BandPiece {
  int32_t Band = 0;
  int32_t Source = 0;  // the surface's triangle it comes from
  PieceTriangle T;
};

// Pieces in chunks of fixed size: they never move as the list grows, and
// the list takes its memory in a few large parts.
class BandPieceList {
 public:
  void push_back(const BandPiece& p) {
    if ((size_ & kMask) == 0) {
      chunks_.emplace_back();
      chunks_.back().reserve(kMask + 1);
    }
    chunks_.back().push_back(p);
    ++size_;
  }
  size_t size() const { return size_; }
  const BandPiece& operator[](size_t i) const { return chunks_[i >> kShift][i & kMask]; }

 private:
  static constexpr int kShift = 15;
  static constexpr size_t kMask = (size_t{1} << kShift) - 1;
  std::vector<std::vector<BandPiece>> chunks_;
  size_t size_ = 0;
};

// One triangle of a band: a whole triangle of the surface (its address), or
// a piece (its address with the low bit set). A word each, as a band's
// triangles are listed in the millions.
using BandItem = uintptr_t;
inline constexpr BandItem kBandPieceBit = 1;
static_assert(alignof(TriangleRec) > 1 && alignof(BandPiece) > 1);

inline bool IsPiece(BandItem item) {
  return (item & kBandPieceBit) != 0;
}
inline const BandPiece& PieceOf(BandItem item) {
  return *reinterpret_cast<const BandPiece*>(item & ~kBandPieceBit);
}
inline const TriangleRec& TriangleOf(BandItem item) {
  return *reinterpret_cast<const TriangleRec*>(item);
}
// Where the triangle or piece lies in memory, to ask for it early.
inline const void* AddressOf(BandItem item) {
  return reinterpret_cast<const void*>(item & ~kBandPieceBit);
}

// The surface cut into bands, block by block of kBandBlock triangles: a
// block's items sorted by band, each band's in the order of the surface
// (a cut triangle's pieces in the order of the cuts). The whole band b is
// band b of every block in turn. The items point into the surface and into
// Pieces: both must outlive their use.
struct ElevationBands {
  struct Block {
    std::vector<BandItem> Items;
    std::vector<int32_t> Start;  // band b's items are Start[b] to Start[b + 1]
  };
  std::vector<Block> Blocks;
  std::vector<int64_t> Counts;  // triangles and pieces of each band
  BandPieceList Pieces[2];      // by the thread that cut them
};

inline constexpr int32_t kBandBlock = 4096;

// The bands of surface at bounds (in the order given; one band more than
// bounds). Progress goes to feedback as the triangles followed out of
// progressTotal (the triangle count when 0), at StepProgress's steps, from
// the calling thread only; asked between blocks, a cancel gives
// Outcome::Cancel and nothing else.
Result<ElevationBands> CutElevationBands(const TriangleMesh& surface,
                                         std::span<const double> bounds, Feedback& feedback,
                                         int64_t progressTotal = 0);

}  // namespace orvane
