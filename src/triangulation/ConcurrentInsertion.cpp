// Bowyer-Watson insertion on two threads at once (WorkTriangulation::InsertBoth).
//
// A Delaunay triangulation with its ties broken by rank is one and the same
// whatever order its points go in, so two threads may insert at once as long
// as neither sees a triangle the other is changing. The plane is split in
// two sides, each vertex on one of them (the enclosing triangle's corners on
// neither), and each thread (a lane) changes only triangles with all three
// corners on its side. A triangle with corners on both sides (or a corner of
// the enclosing triangle) is shared: neither lane deletes it, and a point
// whose cavity would take one is left for later.
//
// Why the lanes never meet:
// - a lane's triangles border only its own and shared ones (an edge of its
//   own has both ends on its side), so its cavity search and rim never
//   reach the other lane's;
// - its walk steps across an edge only when one end of the edge is on its
//   side, so it never enters a triangle of the other lane;
// - a shared triangle keeps its corners throughout; only its links change,
//   each link by the lane whose triangle lies across it, and links are read
//   and written atomically;
// - the new triangles of a cavity have its rim's corners and the new point,
//   all on the lane's side, and only the lane's own vertices get vertexTri
//   entries from it.
// Everything else a lane touches is its own: scratch lists, the free slots
// of its cavities, the per-vertex fan links, its stamp values and its random
// walk. Fresh slots come from one shared counter, in blocks.

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "core/geometry/Predicates.h"
#include "core/support/Threads.h"
#include "triangulation/WorkTriangulation.h"

namespace orvane {

namespace {
constexpr size_t kSlotBlock = 4096;
}  // namespace

struct WorkTriangulation::Lane {
  uint8_t side = 0;    // 1 or 2
  uint32_t round = 0;  // stamp values
  uint32_t rng = 0;    // the walk's random first edge
  int32_t start = -1;  // a triangle with a corner on the lane's side
  int32_t liveChange = 0;
  std::vector<int32_t> cavity, fan, slots, free;
  std::vector<Rim> rim;
  std::vector<int32_t> startOf, endOf;  // per vertex: the fan linking
  size_t fresh = 0, freshEnd = 0;       // the lane's block of fresh slots
};

uint8_t WorkTriangulation::SideOf(int32_t v) const {
  return static_cast<size_t>(v) < side_.size() ? side_[static_cast<size_t>(v)] : 0;
}

bool WorkTriangulation::OnSide(const Tri& t, uint8_t side) const {
  return SideOf(t.v[0]) == side && SideOf(t.v[1]) == side && SideOf(t.v[2]) == side;
}

// A slot for a new triangle: one the lane freed or a fresh one; -1 when the
// room is full.
int32_t WorkTriangulation::TakeSlot(Lane& lane) {
  if (!lane.free.empty()) {
    const int32_t t = lane.free.back();
    lane.free.pop_back();
    return t;
  }
  // In blocks, so that the two lanes' new triangles and stamps seldom share
  // a cache line.
  if (lane.fresh == lane.freshEnd) {
    const size_t from =
        std::atomic_ref<size_t>(nextSlot_).fetch_add(kSlotBlock, std::memory_order_relaxed);
    lane.fresh = std::min(from, tris.size());
    lane.freshEnd = std::min(from + kSlotBlock, tris.size());
    if (lane.fresh == lane.freshEnd) return -1;
  }
  tris[lane.fresh].alive = false;
  return static_cast<int32_t>(lane.fresh++);
}

// The visibility walk of Locate, kept off the other lane's triangles: the
// triangle that contains (x, y), or -1 where the walk would leave the
// lane's side or the enclosing triangle.
int32_t WorkTriangulation::LocateOnLane(Lane& lane, double x, double y) {
  int32_t t = lane.start;
  for (size_t steps = 0; t >= 0 && steps < 4 * tris.size() + 16; ++steps) {
    const Tri& tri = tris[static_cast<size_t>(t)];
    const int next = ExitEdge(tri, x, y, lane.rng);
    if (next < 0) return t;
    if (SideOf(tri.v[Next(next)]) != lane.side && SideOf(tri.v[Prev(next)]) != lane.side) return -1;
    t = LinkOf(tri, next);
  }
  return -1;
}

// Insert and InsertFrom for a lane; false (nothing changed) when the point
// is left for later.
bool WorkTriangulation::InsertOnLane(Lane& lane, int32_t p) {
  const PointRec& P = pts[static_cast<size_t>(p)];
  const int32_t t0 = LocateOnLane(lane, P.X, P.Y);
  if (t0 < 0) return false;
  const Tri& first = tris[static_cast<size_t>(t0)];
  // A point on a corner (not expected here) is left to Insert too.
  if (!OnSide(first, lane.side) || !(InCircleOfTriangle(first.v[0], first.v[1], first.v[2], p) > 0))
    return false;
  lane.round += 2;
  const uint32_t round = lane.round;
  std::vector<int32_t>& cavity = lane.cavity;
  cavity.clear();
  cavity.push_back(t0);
  stamp_[static_cast<size_t>(t0)] = round;
  for (size_t k = 0; k < cavity.size(); ++k) {
    const Tri& t = tris[static_cast<size_t>(cavity[k])];
    for (int i = 0; i < 3; ++i) {
      const int32_t nb = LinkOf(t, i);
      if (nb < 0 || stamp_[static_cast<size_t>(nb)] == round) continue;
      const Tri& o = tris[static_cast<size_t>(nb)];
      if (InCircleOfTriangle(o.v[0], o.v[1], o.v[2], p) > 0) {
        // A shared triangle goes only on one thread: this point waits.
        if (!OnSide(o, lane.side)) return false;
        stamp_[static_cast<size_t>(nb)] = round;
        cavity.push_back(nb);
      }
    }
  }
  std::vector<Rim>& rim = lane.rim;
  RimOf(cavity, round, rim);
  // The fan takes the cavity's slots and (nearly always) two more; without
  // room for them the point waits, nothing changed.
  std::vector<int32_t>& slots = lane.slots;
  slots.assign(cavity.begin(), cavity.end());
  while (slots.size() < rim.size()) {
    const int32_t t = TakeSlot(lane);
    if (t < 0) {
      for (size_t k = cavity.size(); k < slots.size(); ++k) lane.free.push_back(slots[k]);
      return false;
    }
    slots.push_back(t);
  }
  for (int32_t c : cavity) tris[static_cast<size_t>(c)].alive = false;
  for (size_t k = rim.size(); k < slots.size(); ++k) lane.free.push_back(slots[k]);
  lane.liveChange += static_cast<int32_t>(rim.size()) - static_cast<int32_t>(cavity.size());
  std::vector<int32_t>& fan = lane.fan;
  fan.clear();
  for (size_t k = 0; k < rim.size(); ++k) {
    const Rim& e = rim[k];
    const int32_t t = slots[k];
    Tri& tri = tris[static_cast<size_t>(t)];
    tri.v[0] = e.a;
    tri.v[1] = e.b;
    tri.v[2] = p;
    SetLink(tri, 0, -1);
    SetLink(tri, 1, -1);
    SetLink(tri, 2, e.outside);
    tri.con = 0;
    tri.alive = true;
    if (e.outside >= 0 && e.outsideEdge >= 0)
      SetLink(tris[static_cast<size_t>(e.outside)], e.outsideEdge, t);
    lane.startOf[static_cast<size_t>(e.a)] = t;
    lane.endOf[static_cast<size_t>(e.b)] = t;
    fan.push_back(t);
  }
  for (int32_t t : fan) {
    Tri& tri = tris[static_cast<size_t>(t)];
    SetLink(tri, 0, lane.startOf[static_cast<size_t>(tri.v[1])]);
    SetLink(tri, 1, lane.endOf[static_cast<size_t>(tri.v[0])]);
    vertexTri[static_cast<size_t>(tri.v[0])] = t;
    vertexTri[static_cast<size_t>(tri.v[1])] = t;
  }
  vertexTri[static_cast<size_t>(p)] = fan.front();
  lane.start = fan.front();
  return true;
}

size_t WorkTriangulation::OpenLanes(std::span<Lane> lanes, std::vector<uint8_t> sides,
                                    std::vector<int32_t>& freeBefore) {
  side_ = std::move(sides);
  // The slots in use now, then room for every triangle there can be.
  const size_t used = tris.size();
  const size_t room = std::max(tris.capacity(), used + 2 * kSlotBlock);
  tris.resize(room);
  stamp_.resize(room, 0);
  nextSlot_ = used;
  for (int k = 0; k < 2; ++k) {
    Lane& lane = lanes[static_cast<size_t>(k)];
    lane.side = static_cast<uint8_t>(k + 1);
    lane.round = round_ + static_cast<uint32_t>(k);
    lane.rng = rng_ ^ (k == 0 ? 0u : 0x9E3779B9u);
    // A start for each: the triangle at the vertex of its side inserted
    // last, which has a corner on its side.
    for (int32_t v = last_; v >= 0 && lane.start < 0; --v)
      if (SideOf(v) == lane.side) lane.start = vertexTri[static_cast<size_t>(v)];
  }
  // Free slots from before stay free.
  freeBefore.swap(free_);
  lanes[0].startOf.swap(startOf_);
  lanes[0].endOf.swap(endOf_);
  lanes[1].startOf.assign(pts.size(), -1);
  lanes[1].endOf.assign(pts.size(), -1);
  return room;
}

void WorkTriangulation::CloseLanes(std::span<Lane> lanes, size_t room,
                                   std::vector<int32_t>& freeBefore) {
  // Back to one thread: the slots beyond the last one taken go; the lanes'
  // free slots and what is left of their blocks are free slots.
  const size_t end = std::min(nextSlot_, room);
  tris.resize(end);
  stamp_.resize(end);
  std::vector<uint8_t>().swap(side_);
  free_.swap(freeBefore);
  for (Lane& lane : lanes) {
    live_ += lane.liveChange;
    free_.insert(free_.end(), lane.free.begin(), lane.free.end());
    for (size_t slot = lane.fresh; slot < lane.freshEnd; ++slot) {
      tris[slot].alive = false;
      free_.push_back(static_cast<int32_t>(slot));
    }
  }
  startOf_.swap(lanes[0].startOf);
  endOf_.swap(lanes[0].endOf);
  round_ = std::max(lanes[0].round, lanes[1].round) + 1;
  rng_ = lanes[0].rng;
  if (lanes[0].start >= 0 && tris[static_cast<size_t>(lanes[0].start)].alive)
    last_ = tris[static_cast<size_t>(lanes[0].start)].v[2];
}

bool WorkTriangulation::InsertBoth(std::span<const int32_t> first, std::span<const int32_t> second,
                                   std::vector<uint8_t> sides, std::vector<int32_t>& deferred,
                                   const std::function<bool()>& stop,
                                   const std::function<void(int64_t)>& done) {
  Lane lanes[2];
  std::vector<int32_t> freeBefore;
  const size_t room = OpenLanes(lanes, std::move(sides), freeBefore);

  std::atomic<bool> halt{false};
  std::vector<int32_t> later[2];
  auto run = [&](Lane& lane, std::span<const int32_t> points, std::vector<int32_t>& left,
                 bool reports) {
    for (size_t k = 0; k < points.size(); ++k) {
      if (k % 1024 == 0) {
        if (reports) {
          done(static_cast<int64_t>(k));
          if (stop()) halt = true;
        }
        if (halt.load(std::memory_order_relaxed)) return;
      }
      if (!InsertOnLane(lane, points[k])) left.push_back(points[k]);
    }
  };
  std::exception_ptr failure;
  {
    std::jthread other = StartThread([&] {
      try {
        run(lanes[1], second, later[1], false);
      } catch (...) {
        failure = std::current_exception();
        halt = true;
      }
    });
    try {
      run(lanes[0], first, later[0], true);
    } catch (...) {
      halt = true;
      other.join();
      throw;
    }
  }
  if (failure) std::rethrow_exception(failure);

  CloseLanes(lanes, room, freeBefore);
  if (halt.load()) return false;
  deferred.insert(deferred.end(), later[0].begin(), later[0].end());
  deferred.insert(deferred.end(), later[1].begin(), later[1].end());
  return true;
}

}  // namespace orvane
