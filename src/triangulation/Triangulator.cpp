#include "triangulation/Triangulator.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "core/Kernels.h"
#include "core/Status.h"
#include "triangulation/RingLocator.h"
#include "triangulation/SortByX.h"
#include "triangulation/WorkTriangulation.h"

namespace orvane {

namespace {

constexpr int32_t kBoundaryModel = 1100;
constexpr int32_t kAreaModel = 1200;
constexpr int32_t kBreaklineModel = 1300;

// Reports percentages through CurrentStatus, but only when the figure
// changes: a million points cost a hundred events, not a million.
class Progress {
 public:
  explicit Progress(int64_t total) : total_(total) {}
  void At(int64_t i) {
    const int32_t pct = PercentOf(i, total_);
    if (pct == last_) return;
    last_ = pct;
    CurrentStatus().SendEvents(pct, false);
  }

 private:
  int64_t total_;
  int32_t last_ = -1;
};

// The ring of consecutive segment pairs as the constraint list holds it,
// closed by overwriting its last entry with its first: v1, v2, v2, ...,
// v(m-1), v(m-1), v1.
std::vector<XYRec> PairedRing(const std::vector<PointRec>& all, const std::vector<int32_t>& idx) {
  std::vector<XYRec> ring;
  const size_t m = idx.size();
  if (m < 2) return ring;
  auto xy = [&](int32_t i) { return XYRec{all[static_cast<size_t>(i)].X, all[static_cast<size_t>(i)].Y}; };
  ring.push_back(xy(idx[0]));
  for (size_t k = 1; k + 1 < m; ++k) {
    ring.push_back(xy(idx[k]));
    ring.push_back(xy(idx[k]));
  }
  ring.push_back(xy(idx[0]));
  return ring;
}

class PhaseClock {
 public:
  explicit PhaseClock(std::vector<Triangulator::PhaseTime>& out) : out_(out) {}
  void Enter(const char* code) {
    Close();
    CurrentStatus().SendPhase(code);
    code_ = code;
    start_ = std::chrono::steady_clock::now();
  }
  void Close() {
    if (!code_) return;
    out_.push_back({code_, std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count()});
    code_ = nullptr;
  }

 private:
  std::vector<Triangulator::PhaseTime>& out_;
  const char* code_ = nullptr;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace

double Triangulator::distp1p2(double x1, double y1, double x2, double y2) {
  return std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2));
}

int32_t Triangulator::MatchOrAdd(PointList& Points, const PointRec& p) {
  const int32_t found = Points.FindPoint(p.X, p.Y, CoincidenceTolerance, 0);
  if (found != 0) return found;
  Points.AddVertex(p.X, p.Y, p.Z, 0);
  return Points.count();
}

void Triangulator::SetBoundary(PointList& Points, const PointList& Boundary) {
  boundaryIndex_.clear();
  boundaryPolygon_.clear();
  const int32_t n = Boundary.count();
  for (int32_t i = 1; i <= n; ++i) {
    const PointRec& p = Boundary.Point(i);
    boundaryPolygon_.push_back({p.X, p.Y});
    boundaryIndex_.push_back(MatchOrAdd(Points, p));
  }
  // A boundary whose last vertex does not repeat its first is closed: left
  // open, its closing edge would be neither forced nor tested.
  if (n >= 3) {
    const PointRec &first = Boundary.Point(1), &last = Boundary.Point(n);
    if (first.X != last.X || first.Y != last.Y) {
      boundaryPolygon_.push_back({first.X, first.Y});
      boundaryIndex_.push_back(boundaryIndex_.front());
    }
  }
}

void Triangulator::Initialise(PointList& Points, std::span<const PointList> cCon) {
  if (Points.Model != PointListModel::OpenPolyline) return;
  boundaryIndex_.clear();
  boundaryPolygon_.clear();
  breaklines_.clear();
  areas_.clear();
  boundaryMode_ = 1;

  for (const PointList& item : cCon) {
    if (item.Model == kBoundaryModel) {
      SetBoundary(Points, item);
      boundaryMode_ = 2;
    } else if (item.Model == kBreaklineModel) {
      // Consecutive vertices give the segments; a single vertex gives none.
      int32_t prev = 0;
      for (int32_t p = 1; p <= item.count(); ++p) {
        const int32_t idx = MatchOrAdd(Points, item.Point(p));
        if (p > 1 && idx != prev) breaklines_.push_back({prev, idx});
        prev = idx;
      }
    } else if (item.Model == kAreaModel) {
      std::vector<int32_t> idx;
      for (int32_t p = 1; p <= item.count(); ++p) idx.push_back(MatchOrAdd(Points, item.Point(p)));
      std::vector<int32_t> distinct(idx);
      std::sort(distinct.begin(), distinct.end());
      distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
      if (distinct.size() < 3) continue;  // no area to punch
      const PointRec &first = item.Point(1), &last = item.Point(item.count());
      if (first.X != last.X || first.Y != last.Y) idx.push_back(idx.front());
      areas_.push_back(std::move(idx));
    }
  }
  // Without a boundary every point is triangulated and nothing is clipped;
  // the convex hull that would stand in for the boundary changes nothing, so
  // it is not computed.
  if (boundaryIndex_.empty()) boundaryMode_ = 1;

  const int32_t allCount = Points.count();
  if (allCount < 3) {
    initialised_ = false;
    return;
  }
  allPoints_.assign(Points.Points().begin(), Points.Points().end());

  constraints_.clear();
  areaSegments_.clear();
  if (boundaryMode_ == 2) {
    for (size_t k = 1; k < boundaryIndex_.size(); ++k)
      constraints_.push_back({boundaryIndex_[k - 1], boundaryIndex_[k]});
  }
  ringSegments_ = constraints_.size();
  constraints_.insert(constraints_.end(), breaklines_.begin(), breaklines_.end());
  for (const auto& area : areas_) {
    const size_t first = constraints_.size();
    for (size_t k = 1; k < area.size(); ++k) constraints_.push_back({area[k - 1], area[k]});
    areaSegments_.push_back({first, constraints_.size()});
  }

  workIndex_.clear();
  workIndex_.reserve(static_cast<size_t>(allCount));
  if (boundaryMode_ == 1) {
    extents_ = Points.GetExtents();
    for (int32_t i = 1; i <= allCount; ++i) workIndex_.push_back(i);
  } else {
    std::vector<XYRec> ring;
    for (int32_t i : boundaryIndex_)
      ring.push_back({allPoints_[static_cast<size_t>(i)].X, allPoints_[static_cast<size_t>(i)].Y});
    const RingLocator inside(ring);
    extents_ = ExtentsRec{};
    for (int32_t i = 1; i <= allCount; ++i) {
      const PointRec& p = allPoints_[static_cast<size_t>(i)];
      const auto where = inside.Locate(p.X, p.Y);
      if (where == PolygonLocation::OnVertex || where == PolygonLocation::OnEdge ||
          where == PolygonLocation::Inside) {
        workIndex_.push_back(i);
        GrowExtents(extents_, p);
      }
    }
  }
  initialised_ = true;
}

std::optional<TriangleMesh> Triangulator::GetTriangleMesh(double ladoMax) {
  LastErrorCode = Done;
  phaseTimes_.clear();
  if (!initialised_ || workIndex_.empty()) {
    LastErrorCode = NotInitialised;
    return std::nullopt;
  }
  // A build consumes its preparation: the next build needs a new Initialise.
  initialised_ = false;
  CancelRequested = false;

  PhaseClock phase(phaseTimes_);
  phase.Enter("INITTRI");
  CurrentStatus().SendEvents(0, false);
  TriangleMesh mesh;

  // Work points sorted by X, in place in the working point table (sorting
  // positions 0..n-1 picks the same pivots as positions 1..n). T carries the
  // point's AllPoints index through the sort and is restored afterwards.
  const auto n = static_cast<int32_t>(workIndex_.size());
  WorkTriangulation tri;
  tri.pts.resize(static_cast<size_t>(n) + 3);
  for (int32_t k = 0; k < n; ++k) {
    const int32_t all = workIndex_[static_cast<size_t>(k)];
    tri.pts[static_cast<size_t>(k)] = allPoints_[static_cast<size_t>(all)];
    tri.pts[static_cast<size_t>(k)].T = all;
  }
  SortByX(tri.pts, 0, n - 1);
  std::vector<int32_t> workOfAll(allPoints_.size(), -1);  // AllPoints index -> 0-based work vertex
  for (int32_t k = 0; k < n; ++k) {
    PointRec& p = tri.pts[static_cast<size_t>(k)];
    const auto all = static_cast<int32_t>(p.T);
    workOfAll[static_cast<size_t>(all)] = k;
    p.T = allPoints_[static_cast<size_t>(all)].T;
  }
  // The rings to clip by, before the copy of the caller's points goes.
  const std::vector<XYRec> hullRing =
      ringSegments_ > 0 ? PairedRing(allPoints_, boundaryIndex_) : std::vector<XYRec>{};
  std::vector<std::vector<XYRec>> areaRings;
  for (const auto& area : areas_) areaRings.push_back(PairedRing(allPoints_, area));
  std::vector<PointRec>().swap(allPoints_);

  // The enclosing triangle, 20 times the larger extent around the middle.
  const double dx = extents_.Max.X - extents_.Min.X, dy = extents_.Max.Y - extents_.Min.Y;
  const double dmax = dx > dy ? dx : dy;
  const double xmid = (extents_.Max.X + extents_.Min.X) / 2, ymid = (extents_.Max.Y + extents_.Min.Y) / 2;
  tri.pts[static_cast<size_t>(n)] = {xmid - 20 * dmax, ymid - 20 * dmax, 0, 0};
  tri.pts[static_cast<size_t>(n) + 1] = {xmid, ymid + 20 * dmax, 0, 0};
  tri.pts[static_cast<size_t>(n) + 2] = {xmid + 20 * dmax, ymid - 20 * dmax, 0, 0};
  tri.Start(n, n + 1, n + 2);
  tri.SetLocationGrid(extents_, static_cast<size_t>(n));

  phase.Enter("START_TRIANGULATION");
  std::vector<int32_t> vertexOf(static_cast<size_t>(n), -1);  // the triangulated twin of each
  {
    Progress progress(n);
    for (int32_t i = 0; i < n; ++i) {
      progress.At(i + 1);
      if (CancelRequested) {
        CancelRequested = false;
        LastErrorCode = Cancelled;
        return std::nullopt;
      }
      vertexOf[static_cast<size_t>(i)] = tri.Insert(i);
    }
  }
  tri.RemoveTrianglesWithVertexFrom(n);
  const bool anyTriangle = tri.LiveCount() > 0;

  if (anyTriangle && !constraints_.empty()) {
    phase.Enter("SET_CONSTRAINTS");
    Progress progress(static_cast<int64_t>(constraints_.size()));
    auto vertex = [&](int32_t all) {
      const int32_t w = workOfAll[static_cast<size_t>(all)];
      return w < 0 ? -1 : vertexOf[static_cast<size_t>(w)];
    };
    for (size_t s = 0; s < constraints_.size(); ++s) {
      progress.At(static_cast<int64_t>(s) + 1);
      const int32_t a = vertex(constraints_[s].first), b = vertex(constraints_[s].second);
      if (a < 0 || b < 0 || !tri.ForceSegment(a, b)) LastErrorCode = Incomplete;
    }
  }

  auto removeByCentroid = [&](const std::vector<XYRec>& ring, bool keepInside, bool report) {
    const RingLocator locator(ring);
    Progress progress(static_cast<int64_t>(tri.tris.size()));
    for (size_t t = 0; t < tri.tris.size(); ++t) {
      if (report) progress.At(static_cast<int64_t>(t) + 1);
      const auto& tr = tri.tris[t];
      if (!tr.alive) continue;
      const PointRec &A = tri.pts[static_cast<size_t>(tr.v[0])], &B = tri.pts[static_cast<size_t>(tr.v[1])],
                     &C = tri.pts[static_cast<size_t>(tr.v[2])];
      const auto where = locator.Locate((A.X + B.X + C.X) / 3, (A.Y + B.Y + C.Y) / 3);
      const bool inside = where == PolygonLocation::Inside;
      if (inside != keepInside) tri.Kill(static_cast<int32_t>(t));
    }
  };
  if (anyTriangle && ringSegments_ > 0) {
    phase.Enter("REMOVING_EXTERNAL_HULL");
    removeByCentroid(hullRing, true, true);
  }
  if (anyTriangle && !areas_.empty()) {
    phase.Enter("MAKING_AREAS");
    Progress progress(static_cast<int64_t>(areas_.size()));
    for (size_t z = 0; z < areas_.size(); ++z) {
      progress.At(static_cast<int64_t>(z) + 1);
      removeByCentroid(areaRings[z], false, false);
    }
  }

  tri.ReleaseScratch();
  std::vector<int32_t>().swap(workOfAll);
  std::vector<int32_t>().swap(vertexOf);
  if (!anyTriangle) {
    LastErrorCode = Incomplete;
  } else {
    phase.Enter("SAVING_TRIANGLES");
    const size_t extra = tri.pts.size() - static_cast<size_t>(n) - 3;
    mesh.Reserve(static_cast<size_t>(n) + extra, static_cast<size_t>(tri.LiveCount()));
    {
      Progress progress(n);
      for (int32_t i = 1; i <= n; ++i) {
        progress.At(i);
        const PointRec& p = tri.pts[static_cast<size_t>(i) - 1];
        mesh.AddPoint(p.X, p.Y, p.Z, p.T);
      }
    }
    // Points created where two constraints cross follow the work points.
    for (size_t k = 0; k < extra; ++k) {
      const PointRec& p = tri.pts[static_cast<size_t>(n) + 3 + k];
      mesh.AddPoint(p.X, p.Y, p.Z, 0);
    }
    auto meshIndex = [n](int32_t v) { return v < n ? v + 1 : v - 2; };
    if (tri.LiveCount() == 0) LastErrorCode = Incomplete;
    for (const auto& tr : tri.tris) {
      if (!tr.alive) continue;
      // Stored counter-clockwise; saved clockwise.
      const int32_t ia = tr.v[0], ib = tr.v[2], ic = tr.v[1];
      const PointRec &a = tri.pts[static_cast<size_t>(ia)], &b = tri.pts[static_cast<size_t>(ib)],
                     &c = tri.pts[static_cast<size_t>(ic)];
      if (PointsCoincide(a, b, true) || PointsCoincide(b, c, true) || PointsCoincide(c, a, true)) continue;
      if (distp1p2(a.X, a.Y, b.X, b.Y) >= ladoMax || distp1p2(b.X, b.Y, c.X, c.Y) >= ladoMax ||
          distp1p2(c.X, c.Y, a.X, a.Y) >= ladoMax)
        continue;
      if (a.Z == -999 || b.Z == -999 || c.Z == -999) continue;
      mesh.AddTriangle(a.X, a.Y, a.Z, meshIndex(ia), b.X, b.Y, b.Z, meshIndex(ib), c.X, c.Y, c.Z,
                       meshIndex(ic));
    }
  }
  phase.Close();
  CurrentStatus().SendEvents(100, false);
  CurrentStatus().SendPhase("IDLE");
  return mesh;
}

}  // namespace orvane
