#pragma once
// "x y z" texts of a mesh's points for a writer of triangle lines that goes
// through the triangles batch after batch on one or two lanes (threads),
// each lane's batches in order.
//
// A built surface's triangles come ordered by their lowest corner, so the
// points its batches need form a window that only moves forward. Each point
// is formatted once, in blocks of points as a batch first needs them, and a
// block that every lane has left behind is released: the writer holds a
// few blocks instead of the texts of all points, which would add a tenth to
// the memory of the mesh at the build's peak. Triangles in any other order
// only keep more blocks; the texts are the same either way.
//
// Thread contract: lane k calls Enter(k, ...) and Write(k, ...) from one
// thread; Release from one thread at a time, any lane's.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/model/TriangleMesh.h"

namespace orvane {

class PointTextWindow {
 public:
  static constexpr int kMaxLanes = 2;
  // For lanes (1 or 2) lanes; mesh must not change while the window lives.
  PointTextWindow(const TriangleMesh& mesh, int lanes);
  ~PointTextWindow();
  PointTextWindow(const PointTextWindow&) = delete;
  PointTextWindow& operator=(const PointTextWindow&) = delete;

  // Lane lane begins a batch whose corners name no point below lowest
  // (1-based; corners that name no point do not count): it will not ask
  // for the texts of earlier points again.
  void Enter(int lane, int32_t lowest);
  // The lowest corner of triangles first..last (1-based), as Enter takes it.
  int32_t LowestCorner(int32_t first, int32_t last) const;
  // Releases the blocks below the points every lane may still ask for.
  void Release();

  // Writes "x y z" of vertex v at out (room for kMaxXyzText): from the
  // texts when v copies its point exactly, else formatted afresh (a vertex
  // may keep its own Z). Returns the end.
  char* Write(int lane, char* out, const PointRec& v);

  // The most blocks of 4096 points held at once so far.
  int32_t PeakBlocks() const { return peak_.load(std::memory_order_relaxed); }

 private:
  struct Block;
  // Block k, formatted if no lane did so yet, for a lane at floor; nullptr
  // when the lane is to format the text itself.
  const Block* Ready(size_t k, int32_t floor);
  void Format(Block& block, size_t k) const;

  const TriangleMesh& mesh_;
  int32_t count_;  // points
  size_t blockCount_;
  std::unique_ptr<Block[]> blocks_;
  // Below this point number, lane k asks for no text (it only grows).
  std::atomic<int32_t> floor_[kMaxLanes];
  size_t released_ = 0;  // blocks 0 .. released_ - 1 are gone
  std::atomic<int32_t> held_{0}, peak_{0};
};

}  // namespace orvane
