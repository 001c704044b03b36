#pragma once
// The unique-vertex table behind TriangleMesh::Reindex.
//
// Over the bounding box of the vertices it lays 101 x 101 cells numbered
// 0..100 in X and Y (cell size = extent / 100; a vertex's cell is its offset
// from the box's minimum divided by the cell size, rounded half to even).
// A vertex takes the number of the first point already registered in ITS OWN
// cell that matches it within 0.001 in X, Y and Z (inclusive); otherwise it
// registers a new point, numbered from 1 in order of first appearance. Two
// vertices closer than 0.001 that fall into neighbouring cells stay two
// points: that is the table's documented behaviour and the stored files
// depend on it.
//
// The answer is computed with a hash of fine buckets (a few millimetres wide)
// rather than by scanning the cell's list, so a million-point mesh reindexes
// in linear time; tests compare it with the literal cell scan.

#include <cstdint>
#include <span>
#include <vector>

#include "core/storage/Records.h"

namespace orvane {

class VertexTable {
 public:
  // Registers the vertices A, B, C of every triangle in order and sets each
  // vertex's T to its point number (0 for a vertex outside the table).
  void Build(std::span<TriangleRec> triangles);

  // The number of P (see above); 0, with the out-of-limits message, when P's
  // cell lies outside 0..100. REQUIRES: Reset() or Build() set the box.
  int32_t AddQuadVertex(const PointRec& origin, const PointRec& P);

  // Sets the box and empties the table (as Build does before registering).
  void Reset(const ExtentsRec& box, size_t expectedPoints = 0);

  // Registered points, in number order (entry 0 is point 1).
  const std::vector<PointRec>& UniquePoints() const { return unique_; }
  double CellWidth() const { return width_; }
  double CellHeight() const { return height_; }

 private:
  struct Cell {
    int32_t i, j;
  };
  bool CellOf(const PointRec& origin, const PointRec& P, Cell& cell) const;
  uint64_t BucketKey(int64_t bx, int64_t by) const;
  int32_t* Slot(uint64_t key, bool insert);
  void Grow();

  ExtentsRec box_;
  double width_ = 0;
  double height_ = 0;
  std::vector<PointRec> unique_;
  std::vector<Cell> cellOf_;   // per unique point
  std::vector<int32_t> next_;  // per unique point: next in its bucket chain, -1 ends
  // Open-addressing map from bucket key to the chain head (index into unique_).
  std::vector<uint64_t> keys_;
  std::vector<int32_t> heads_;
  size_t used_ = 0;
};

}  // namespace orvane
