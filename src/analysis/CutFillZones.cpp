#include "analysis/CutFillZones.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "analysis/CompensatedSum.h"
#include "analysis/ElevationQueries.h"
#include "analysis/OverlapClipper.h"
#include "analysis/PlanBoxGrid.h"
#include "core/geometry/Predicates.h"

namespace orvane {

namespace {

struct RowSums {
  CompensatedSum cut, fill, cutArea, fillArea, area;
  CutFillFigures Value() const {
    return {cut.Value(), fill.Value(), cutArea.Value(), fillArea.Value(), area.Value()};
  }
};

// A corner of a part relative to the part's origin, with the height
// difference there (linear over the part).
struct Corner {
  double x, y, d;
};
using Part = std::vector<Corner>;

double Cross(const Corner& o, const Corner& a, const Corner& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Plan areas of the positive and the negative part of the linear function
// with values d at the corners of a triangle of area S (the areas that
// SplitAtZero's volumes stand on).
std::pair<double, double> AreasAtZero(double S, const std::array<double, 3>& d) {
  int positive = 0, negative = 0;
  for (double v : d) {
    positive += v > 0;
    negative += v < 0;
  }
  if (negative == 0) return {positive > 0 ? S : 0, 0};
  if (positive == 0) return {0, S};
  const bool lonePositive = positive == 1;
  size_t l = 0;
  while (lonePositive ? !(d[l] > 0) : !(d[l] < 0)) ++l;
  const double dl = d[l], da = d[(l + 1) % 3], db = d[(l + 2) % 3];
  const double corner = S * (dl / (dl - da)) * (dl / (dl - db));
  if (lonePositive) return {corner, S - corner};
  return {S - corner, corner};
}

// One edge of a zone, in original coordinates.
struct ZoneEdge {
  size_t zone;
  PointRec p, q;
};

class Zones {
 public:
  explicit Zones(std::span<const PointList> zones) : rings_(zones.size()), boxes_(zones.size()) {
    std::vector<PlanBox> boxes(1);
    for (size_t z = 0; z < zones.size(); ++z) {
      std::vector<PointRec>& ring = rings_[z];
      for (const PointRec& p : zones[z].Points().subspan(1))
        if (ring.empty() || p.X != ring.back().X || p.Y != ring.back().Y) ring.push_back(p);
      if (ring.size() > 1 && ring.front().X == ring.back().X && ring.front().Y == ring.back().Y)
        ring.pop_back();
      if (ring.size() < 3) {
        ring.clear();
        continue;
      }
      PlanBox& box = boxes_[z];
      box = {ring[0].X, ring[0].Y, ring[0].X, ring[0].Y};
      for (size_t i = 0; i < ring.size(); ++i) {
        const PointRec& p = ring[i];
        const PointRec& q = ring[(i + 1) % ring.size()];
        edges_.push_back({z, p, q});
        boxes.push_back(
            {std::min(p.X, q.X), std::min(p.Y, q.Y), std::max(p.X, q.X), std::max(p.Y, q.Y)});
        box = {std::min(box.xlo, p.X), std::min(box.ylo, p.Y), std::max(box.xhi, p.X),
               std::max(box.yhi, p.Y)};
      }
    }
    grid_.emplace(std::move(boxes));
  }

  // The zone edges whose boxes meet q (numbers into Edge, 1-based).
  void Meeting(const PlanBox& q, std::vector<int32_t>& out) const { grid_->Meeting(q, out); }
  const ZoneEdge& Edge(int32_t k) const { return edges_[static_cast<size_t>(k - 1)]; }

  // The first zone holding (X, Y), or size() when none does. Asked only of
  // points that no zone edge passes through.
  size_t ZoneOf(double X, double Y) const {
    for (size_t z = 0; z < rings_.size(); ++z) {
      const PlanBox& b = boxes_[z];
      if (rings_[z].empty() || X < b.xlo || X > b.xhi || Y < b.ylo || Y > b.yhi) continue;
      if (Inside(rings_[z], X, Y)) return z;
    }
    return rings_.size();
  }
  size_t size() const { return rings_.size(); }

 private:
  // Crossings of the ray to the east, each edge's side decided exactly.
  static bool Inside(const std::vector<PointRec>& ring, double X, double Y) {
    bool in = false;
    for (size_t i = 0; i < ring.size(); ++i) {
      const PointRec& a = ring[i];
      const PointRec& b = ring[(i + 1) % ring.size()];
      if ((a.Y > Y) == (b.Y > Y)) continue;
      const double side = Orient2D(a.X, a.Y, b.X, b.Y, X, Y);
      if (side != 0 && (side > 0) == (b.Y > a.Y)) in = !in;
    }
    return in;
  }

  std::vector<std::vector<PointRec>> rings_;
  std::vector<PlanBox> boxes_;
  std::vector<ZoneEdge> edges_;
  std::optional<PlanBoxGrid> grid_;
};

// The part of poly on the side of line (p, q) where side * Cross >= 0, the
// crossing corners' differences taken along the edge (the difference is
// linear).
Part KeepSide(const Part& poly, const Corner& p, const Corner& q, double side) {
  Part out;
  for (size_t i = 0; i < poly.size(); ++i) {
    const Corner& u = poly[i];
    const Corner& v = poly[(i + 1) % poly.size()];
    const double su = side * Cross(p, q, u), sv = side * Cross(p, q, v);
    if (su >= 0) out.push_back(u);
    if ((su > 0 && sv < 0) || (su < 0 && sv > 0)) {
      const double t = su / (su - sv);
      out.push_back({u.x + t * (v.x - u.x), u.y + t * (v.y - u.y), u.d + t * (v.d - u.d)});
    }
  }
  return out.size() >= 3 ? out : Part{};
}

class Breakdown {
 public:
  explicit Breakdown(std::span<const PointList> zones) : zones_(zones), rows_(zones.size() + 1) {}

  // Adds a convex part whose corners are given relative to o.
  void Add(const PointRec& o, Part part) {
    PlanBox box{1e300, 1e300, -1e300, -1e300};
    for (const Corner& c : part)
      box = {std::min(box.xlo, c.x + o.X), std::min(box.ylo, c.y + o.Y),
             std::max(box.xhi, c.x + o.X), std::max(box.yhi, c.y + o.Y)};
    zones_.Meeting(box, edges_);
    parts_.clear();
    parts_.push_back(std::move(part));
    for (int32_t k : edges_) {
      const ZoneEdge& e = zones_.Edge(k);
      const Corner p{e.p.X - o.X, e.p.Y - o.Y, 0}, q{e.q.X - o.X, e.q.Y - o.Y, 0};
      const size_t n = parts_.size();
      for (size_t i = 0; i < n; ++i) {
        bool left = false, right = false;
        for (const Corner& c : parts_[i]) {
          const double s = Cross(p, q, c);
          left = left || s > 0;
          right = right || s < 0;
        }
        if (!left || !right) continue;
        Part other = KeepSide(parts_[i], p, q, -1);
        parts_[i] = KeepSide(parts_[i], p, q, 1);
        if (!other.empty()) parts_.push_back(std::move(other));
      }
    }
    for (const Part& piece : parts_) Measure(o, piece);
  }

  CutFillBreakdown Figures() const {
    CutFillBreakdown out;
    RowSums total;
    for (size_t r = 0; r < rows_.size(); ++r) {
      const CutFillFigures f = rows_[r].Value();
      (r < zones_.size() ? out.Zones.emplace_back() : out.Outside) = f;
      total.cut.Add(f.Cut);
      total.fill.Add(f.Fill);
      total.cutArea.Add(f.CutArea);
      total.fillArea.Add(f.FillArea);
      total.area.Add(f.Area);
    }
    out.Total = total.Value();
    return out;
  }

 private:
  void Measure(const PointRec& o, const Part& piece) {
    if (piece.size() < 3) return;
    double cx = 0, cy = 0;
    for (const Corner& c : piece) {
      cx += c.x;
      cy += c.y;
    }
    const double n = static_cast<double>(piece.size());
    RowSums& row = rows_[zones_.ZoneOf(o.X + cx / n, o.Y + cy / n)];
    for (size_t i = 1; i + 1 < piece.size(); ++i) {
      const double S = std::abs(Cross(piece[0], piece[i], piece[i + 1])) / 2;
      if (!(S > 0)) continue;
      const std::array<double, 3> d{piece[0].d, piece[i].d, piece[i + 1].d};
      const auto [fill, cut] = SplitAtZero(S, d);
      const auto [fillArea, cutArea] = AreasAtZero(S, d);
      row.fill.Add(fill);
      row.cut.Add(cut);
      row.fillArea.Add(fillArea);
      row.cutArea.Add(cutArea);
      row.area.Add(S);
    }
  }

  Zones zones_;
  std::vector<RowSums> rows_;  // the zones', then the outside row
  std::vector<int32_t> edges_;
  std::vector<Part> parts_;
};

}  // namespace

Result<CutFillBreakdown> BreakDownCutAndFill(const TriangleMesh& A, const TriangleMesh& B,
                                             const TriangleMesh& rebuiltA,
                                             std::span<const PointList> zones, Feedback& feedback) {
  Breakdown breakdown(zones);
  OverlapClipper clipper(A, B);
  const int32_t n = rebuiltA.TriangleCount();
  for (int32_t i = 1; i <= n; ++i) {
    if (i % 4096 == 0) {
      if (feedback.Cancelled()) return Outcome::Cancel();
      feedback.Progress(static_cast<int32_t>(int64_t{100} * i / n), true);
    }
    const TriangleRec& t = rebuiltA.Triangle(i);
    // As the run measures it: whole where one triangle of each surface
    // holds it, else the clipper's pieces.
    if (!(PlanArea(t) > 0)) continue;
    const TriangleRec* planeA = clipper.HolderInA(t);
    const TriangleRec* planeB = planeA ? clipper.HolderInB(t) : nullptr;
    if (planeA && planeB) {
      auto d = [&](const PointRec& p) {
        return PlaneHeight(*planeA, p.X, p.Y) - PlaneHeight(*planeB, p.X, p.Y);
      };
      breakdown.Add(t.A, {{0, 0, d(t.A)},
                          {t.B.X - t.A.X, t.B.Y - t.A.Y, d(t.B)},
                          {t.C.X - t.A.X, t.C.Y - t.A.Y, d(t.C)}});
      continue;
    }
    clipper.Pieces(t, [&](const PointRec& o, std::span<const OverlapClipper::Corner> corners,
                          const TriangleRec& ta, const TriangleRec& tb) {
      Part part;
      part.reserve(corners.size());
      for (const OverlapClipper::Corner& c : corners)
        part.push_back(
            {c.x, c.y,
             PlaneHeight(ta, c.x + o.X, c.y + o.Y) - PlaneHeight(tb, c.x + o.X, c.y + o.Y)});
      breakdown.Add(o, std::move(part));
    });
  }
  if (feedback.Cancelled()) return Outcome::Cancel();
  feedback.Progress(100, false);
  return breakdown.Figures();
}

}  // namespace orvane
