#pragma once
// The triangulator's working triangulation: triangles with neighbour links,
// built by Bowyer-Watson insertion and made to honour constraint segments by
// re-triangulating the pseudo-polygons on either side of each segment.
//
// Every decision goes through the exact predicates Orient2D and InCircle.
//
// Triangle layout (vertices counter-clockwise, X east, Y north):
//
//              v[2]
//              /  \ .
//      e[1]   /    \ .  e[0]      edge i joins v[i+1] and v[i+2] (mod 3),
//            /      \ .           lies opposite v[i], and n[i] is the
//        v[0] ------ v[1]          triangle across it (-1: none); bit i of
//             e[2]                 con marks it as a forced constraint.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "core/storage/Records.h"

namespace orvane {

class WorkTriangulation {
 public:
  struct Tri {
    int32_t v[3];
    int32_t n[3];
    uint8_t con = 0;
    bool alive = true;
  };
  // The corners after and before corner i: edge i runs from v[Next(i)] to
  // v[Prev(i)].
  static constexpr int Next(int i) { return i == 2 ? 0 : i + 1; }
  static constexpr int Prev(int i) { return i == 0 ? 2 : i - 1; }

  // A decision on the points: the sign of Orient2D of points a, b, c
  // (d = -1), or of the in-circle test of triangle a, b, c and point d with
  // its ties broken by rank as insertion breaks them.
  struct Decision {
    int32_t a, b, c, d;
    int8_t sign;
  };

  // Points are 0-based here; Z is carried for points created at crossings.
  std::vector<PointRec> pts;
  std::vector<Tri> tris;
  std::vector<int32_t> vertexTri;  // one live triangle at each vertex, -1 none

  // Starts with the single triangle (a, b, c) given in any orientation,
  // with room for the triangles of pts.capacity() points (the points, and
  // any reserved beyond them for points made at constraint crossings).
  void Start(int32_t a, int32_t b, int32_t c);

  // Bowyer-Watson insertion of point p (already in pts): deletes every
  // triangle whose circumcircle strictly contains p, reachable without
  // crossing a constraint, and fans the cavity from p. Returns p, or, when p
  // coincides exactly with a vertex (p then stays unconnected), that vertex;
  // -1 when p could not be located.
  int32_t Insert(int32_t p);

  // Inserts the points of two lists at once, one list per thread: the
  // triangles are those Insert gives taking the points one after another,
  // in other slots and maybe from other first corners. sides[v] (1 or 2;
  // vertices beyond it on neither) splits the vertices in two sides, the
  // first list's points on side 1, the second's on side 2; each thread
  // changes only triangles with every corner on its side, and a point whose
  // cavity would take another is left for Insert afterwards, appended to
  // deferred (the first list's before the second's, each in its order).
  // For points that coincide with no vertex, after some points went in
  // with Insert, without constraints or decisions recorded. stop is asked
  // on this thread between points; once it says yes, both threads stop and
  // false is returned. done(k) tells this thread's progress (k points of the
  // first list handled).
  bool InsertBoth(std::span<const int32_t> first, std::span<const int32_t> second,
                  std::vector<uint8_t> sides, std::vector<int32_t>& deferred,
                  const std::function<bool()>& stop, const std::function<void(int64_t)>& done);

  // Deletes every triangle with a vertex at or above firstRemoved (the
  // enclosing triangle's corners) and refreshes vertexTri. With coverHull,
  // the Delaunay triangles of the inserted points that went with them (those
  // whose circumcircle reaches a corner of the finite enclosing triangle) are
  // put back, so that the triangles cover the convex hull of the inserted
  // points; the triangles that stayed are not touched.
  void RemoveTrianglesWithVertexFrom(int32_t firstRemoved, bool coverHull = false);

  // Makes a-b a chain of edges marked as constraints. A segment through an
  // existing vertex is split there; a segment that crosses an earlier
  // constraint gets a new point at the crossing (appended to pts, Z
  // interpolated along the earlier constraint). Returns false when the
  // segment cannot be forced (an end is not triangulated, or it leaves the
  // triangulated area); what it could force stays forced. A crossing within
  // the coincidence tolerance of an end of either segment is taken at that
  // end, not made a new point. The work of one call, the earlier
  // constraints it splits included, is bounded: a segment that would need
  // more (crossings that keep creating crossings) is given up as unforced.
  bool ForceSegment(int32_t a, int32_t b);

  // Whether the last outermost ForceSegment that succeeded made its
  // segment one edge (it was one already, or became one in one piece).
  bool ForcedAsOneEdge() const { return oneEdge_; }
  // For a segment ForceSegment made one edge: whether that edge can still
  // be taken as a constraint edge of the triangulation, which holds unless a
  // later segment freed it (split it at a crossing or rerouted it). Only
  // constraint edges are ever freed, and nothing else removes them. Call
  // once every segment has been forced.
  bool StillAnEdge(int32_t a, int32_t b);

  // Whether a-b is covered by a chain of edges, each leading to a vertex
  // nearer b that lies on the segment or within the coincidence tolerance of
  // it (points made at constraint crossings are rounded onto it).
  bool CoversSegment(int32_t a, int32_t b) const;

  void Kill(int32_t t);

  // Frees the working indexes once no more points or constraints will be
  // added; the triangles and points stay readable.
  void ReleaseScratch();
  int32_t LiveCount() const { return live_; }

  // Points 0..workCount-1 are ranked by rank[v] (their X order; by their
  // index when rank is empty), the three that follow (the enclosing
  // triangle) before them and any later ones (constraint crossings) after
  // them; ranks break in-circle ties.
  void SetWorkCount(int32_t workCount, std::vector<int32_t> rank = {}) {
    workCount_ = workCount;
    rank_ = std::move(rank);
  }
  // The same, the ranks copied into the room of the last ones.
  void AssignWorkRanks(int32_t workCount, std::span<const int32_t> rank) {
    workCount_ = workCount;
    rank_.assign(rank.begin(), rank.end());
  }
  const std::vector<int32_t>& WorkRanks() const { return rank_; }

  // When set, every decision of Start, Insert (a point that is not inserted
  // also compares coordinates) and RemoveTrianglesWithVertexFrom is appended
  // here as it is taken. Those steps read the points through nothing else,
  // so other points (with the same ranks) that take the same decisions get
  // the same triangles in the same slots.
  std::vector<Decision>* decisions = nullptr;
  // The sign these points give a decision (its recorded sign ignored).
  int8_t Decide(const Decision& d) const;
  // Frees the ranks once no predicate will be evaluated any more.
  void ReleaseRanks() { std::vector<int32_t>().swap(rank_); }

 private:
  int32_t NewTri(int32_t a, int32_t b, int32_t c);
  int32_t Locate(double x, double y, int32_t start);
  // One step of the visibility walk towards (x, y): the first edge, from a
  // random one on, with the point strictly beyond it, or -1 when tri holds
  // the point. Records its tests while Insert locates a point.
  int ExitEdge(const Tri& tri, double x, double y, uint32_t& rng) const;
  int32_t StartTriangle() const;
  int64_t Rank(int32_t v) const;
  bool InsertFrom(int32_t p, int32_t t0);
  struct Lane;
  // InsertBoth's steps: the two lanes (and the slots they take) set up from
  // the one-thread state, and that state restored from them afterwards.
  size_t OpenLanes(std::span<Lane> lanes, std::vector<uint8_t> sides,
                   std::vector<int32_t>& freeBefore);
  void CloseLanes(std::span<Lane> lanes, size_t room, std::vector<int32_t>& freeBefore);
  bool InsertOnLane(Lane& lane, int32_t p);
  int32_t LocateOnLane(Lane& lane, double x, double y);
  int32_t TakeSlot(Lane& lane);
  uint8_t SideOf(int32_t v) const;
  bool OnSide(const Tri& t, uint8_t side) const;
  struct HullRim;
  void CoverHull(const HullRim& rim);
  // CoverHull's steps. The rim vertices (ascending), each one's pocket (the
  // root of its set) and the pockets' members, pocket by pocket (CSR).
  struct RimPockets {
    std::vector<int32_t> vertices;
    std::vector<size_t> rootOf, start;
    std::vector<int32_t> members;
    size_t Slot(int32_t v) const;
  };
  std::vector<int32_t> HullOf(const std::vector<int32_t>& V) const;
  RimPockets PocketsOf(const HullRim& rim, std::vector<int32_t> V,
                       const std::vector<int32_t>& hull) const;
  void WrapPockets(const HullRim& rim, const std::vector<int32_t>& hull, const RimPockets& pockets);
  bool ForceOne(int32_t a, int32_t b, std::vector<std::pair<int32_t, int32_t>>& pending,
                bool reversed = false);
  // Where a segment leaves its first vertex: the triangle it leaves
  // through with the wedge's right and left vertices, or the vertex of the
  // fan it runs through; t and through are -1 when it enters no triangle.
  struct SegmentExit {
    int32_t t = -1, right = -1, left = -1, through = -1;
  };
  bool Between(int32_t s, int32_t e, int32_t v) const;
  SegmentExit ExitFrom(int32_t s, int32_t e) const;
  bool CrossFrom(const SegmentExit& exit, int32_t s, int32_t e,
                 std::vector<std::pair<int32_t, int32_t>>& pending);
  int32_t SplitConstraintAt(int32_t t, int edge, int32_t a, int32_t b);
  bool RerouteConstraint(int32_t t, int edge, int32_t x);
  void FreeConstraint(int32_t t, int edge);
  // Marks edge e of triangle t, on both sides, as a constraint.
  void MarkConstrained(int32_t t, int e);
  bool FindEdge(int32_t a, int32_t b, int32_t& t, int& edge) const;
  void Retriangulate(const std::vector<int32_t>& region, int32_t a, int32_t b,
                     const std::vector<int32_t>& left, const std::vector<int32_t>& right);
  // Retriangulate's steps. A directed rim edge of the region (as seen from
  // inside) with what lies beyond it; the rim comes sorted by key.
  struct RegionEdge {
    uint64_t key;
    int32_t outside;
    int outsideEdge;
    bool con;
  };
  std::vector<RegionEdge> RemoveRegion(const std::vector<int32_t>& region);
  void TriangulateChain(const std::vector<int32_t>& chain, bool chainOnLeft, int32_t a, int32_t b,
                        std::vector<int32_t>& made);
  void LinkRegion(const std::vector<int32_t>& made, const std::vector<RegionEdge>& rim, int32_t a,
                  int32_t b);
  double Orient(int32_t a, int32_t b, int32_t c) const;
  double InCircleOf(const Tri& t, int32_t p) const;
  double OrientOf(int32_t a, int32_t b, int32_t c) const;                       // not recorded
  double InCircleOfTriangle(int32_t a, int32_t b, int32_t c, int32_t p) const;  // not recorded
  void Record(int32_t a, int32_t b, int32_t c, int32_t d, double value) const {
    if (decisions)
      decisions->push_back({a, b, c, d, static_cast<int8_t>((value > 0) - (value < 0))});
  }

  std::vector<int32_t> cavityScratch_, fanScratch_;
  struct Rim {
    int32_t a, b, outside;
    int outsideEdge;
    bool con;
  };
  std::vector<Rim> rimScratch_;
  // The edges of the cavity (its triangles stamped round) without a
  // cavity triangle across, each with what lies beyond it, into rim.
  void RimOf(std::span<const int32_t> cavity, uint32_t round, std::vector<Rim>& rim) const;
  // A triangle's links, read and set atomically (a plain move): while
  // InsertBoth runs, one thread may read a link of a shared triangle that
  // the other sets.
  static int32_t LinkOf(const Tri& t, int i) {
    return std::atomic_ref<const int32_t>(t.n[i]).load(std::memory_order_relaxed);
  }
  static void SetLink(Tri& t, int i, int32_t to) {
    std::atomic_ref<int32_t>(t.n[i]).store(to, std::memory_order_relaxed);
  }
  std::vector<int32_t> free_;
  int32_t live_ = 0;
  std::vector<uint32_t> stamp_;  // per triangle, for cavity marking
  uint32_t round_ = 0;
  std::vector<int32_t> startOf_, endOf_;  // per vertex, scratch of the fan linking
  uint32_t rng_ = 2463534242u;
  int32_t last_ = -1;
  int32_t locating_ = -1;  // the point Insert is locating, for the record

  // Pieces one outermost ForceSegment may still take up; a nested call
  // (forcing the halves of a split constraint) draws on the same budget.
  int64_t forceBudget_ = 0;
  int forceDepth_ = 0;
  bool oneEdge_ = false, madeEdge_ = false;
  std::vector<uint64_t> freed_;  // constraint edges freed, (lower, higher) keys
  bool freedSorted_ = false;

  int32_t workCount_ = 0;
  std::vector<int32_t> rank_;

  // While InsertBoth runs: the side of each vertex and the next unused
  // triangle slot.
  std::vector<uint8_t> side_;
  size_t nextSlot_ = 0;  // taken through std::atomic_ref
};

}  // namespace orvane
