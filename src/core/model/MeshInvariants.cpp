#include "core/model/MeshInvariants.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <utility>

#include "core/geometry/Predicates.h"

namespace orvane {

namespace {

constexpr size_t kMaxProblems = 8;

void Note(MeshReport& r, const std::string& text) {
  if (r.Problems.size() < kMaxProblems) r.Problems.push_back(text);
}

// A triangle's corners with a positive (counter-clockwise) turn, for the
// separating-axis test.
struct PlanTriangle {
  double x[3], y[3];
};

PlanTriangle CounterClockwise(const TriangleRec& t) {
  PlanTriangle p{{t.A.X, t.B.X, t.C.X}, {t.A.Y, t.B.Y, t.C.Y}};
  if (Orient2D(p.x[0], p.y[0], p.x[1], p.y[1], p.x[2], p.y[2]) < 0) {
    std::swap(p.x[1], p.x[2]);
    std::swap(p.y[1], p.y[2]);
  }
  return p;
}

// Do the open interiors of two non-degenerate triangles meet? They do not
// exactly when an edge line of one has the whole other triangle on or
// beyond it.
bool InteriorsMeet(const PlanTriangle& p, const PlanTriangle& q) {
  auto separates = [](const PlanTriangle& a, const PlanTriangle& b) {
    for (int i = 0; i < 3; ++i) {
      const int j = (i + 1) % 3;
      bool allOutside = true;
      for (int k = 0; k < 3 && allOutside; ++k)
        allOutside = Orient2D(a.x[i], a.y[i], a.x[j], a.y[j], b.x[k], b.y[k]) <= 0;
      if (allOutside) return true;
    }
    return false;
  };
  return !separates(p, q) && !separates(q, p);
}

struct Box {
  double xlo, ylo, xhi, yhi;
};

Box BoxOf(const TriangleRec& t) {
  return {std::min({t.A.X, t.B.X, t.C.X}), std::min({t.A.Y, t.B.Y, t.C.Y}),
          std::max({t.A.X, t.B.X, t.C.X}), std::max({t.A.Y, t.B.Y, t.C.Y})};
}

// Counts overlapping pairs among the given triangles through a uniform grid
// of their boxes. The cell grows until the filings stay linear in the
// triangle count, so long slivers cannot make the check quadratic in cells.
int64_t CountOverlaps(const TriangleMesh& mesh, const std::vector<int32_t>& tris,
                      std::vector<std::pair<int32_t, int32_t>>& first) {
  if (tris.size() < 2) return 0;
  std::vector<Box> boxes;
  boxes.reserve(tris.size());
  double xlo = INFINITY, ylo = INFINITY, xhi = -INFINITY, yhi = -INFINITY;
  std::vector<double> sides;
  sides.reserve(tris.size());
  for (int32_t t : tris) {
    const Box b = BoxOf(mesh.Triangle(t));
    boxes.push_back(b);
    xlo = std::min(xlo, b.xlo), ylo = std::min(ylo, b.ylo);
    xhi = std::max(xhi, b.xhi), yhi = std::max(yhi, b.yhi);
    sides.push_back(std::max(b.xhi - b.xlo, b.yhi - b.ylo));
  }
  std::nth_element(sides.begin(), sides.begin() + sides.size() / 2, sides.end());
  double cell = std::max(sides[sides.size() / 2], std::max(xhi - xlo, yhi - ylo) * 1e-7);
  if (!(cell > 0) || !std::isfinite(cell)) return 0;

  struct Filing {
    int64_t i, j;
    uint32_t k;  // position in tris
  };
  std::vector<Filing> filings;
  const size_t budget = 16 * tris.size() + 1024;
  for (;;) {
    filings.clear();
    bool over = false;
    for (uint32_t k = 0; k < boxes.size() && !over; ++k) {
      const Box& b = boxes[k];
      const auto i0 = static_cast<int64_t>(std::floor((b.xlo - xlo) / cell));
      const auto i1 = static_cast<int64_t>(std::floor((b.xhi - xlo) / cell));
      const auto j0 = static_cast<int64_t>(std::floor((b.ylo - ylo) / cell));
      const auto j1 = static_cast<int64_t>(std::floor((b.yhi - ylo) / cell));
      for (int64_t i = i0; i <= i1 && !over; ++i)
        for (int64_t j = j0; j <= j1; ++j) {
          filings.push_back({i, j, k});
          if (filings.size() > budget) {
            over = true;
            break;
          }
        }
    }
    if (!over) break;
    cell *= 2;
  }
  std::sort(filings.begin(), filings.end(), [](const Filing& a, const Filing& b) {
    return a.i != b.i ? a.i < b.i : a.j != b.j ? a.j < b.j : a.k < b.k;
  });

  int64_t overlaps = 0;
  for (size_t s = 0; s < filings.size();) {
    size_t e = s;
    while (e < filings.size() && filings[e].i == filings[s].i && filings[e].j == filings[s].j) ++e;
    for (size_t a = s; a < e; ++a)
      for (size_t b = a + 1; b < e; ++b) {
        const Box &p = boxes[filings[a].k], &q = boxes[filings[b].k];
        if (p.xhi <= q.xlo || q.xhi <= p.xlo || p.yhi <= q.ylo || q.yhi <= p.ylo) continue;
        // Test each pair once: in the cell holding the lower-left corner of
        // the two boxes' common part.
        const double cx = std::max(p.xlo, q.xlo), cy = std::max(p.ylo, q.ylo);
        if (static_cast<int64_t>(std::floor((cx - xlo) / cell)) != filings[s].i ||
            static_cast<int64_t>(std::floor((cy - ylo) / cell)) != filings[s].j)
          continue;
        const int32_t ta = tris[filings[a].k], tb = tris[filings[b].k];
        if (InteriorsMeet(CounterClockwise(mesh.Triangle(ta)),
                          CounterClockwise(mesh.Triangle(tb)))) {
          if (overlaps == 0) first.push_back({std::min(ta, tb), std::max(ta, tb)});
          ++overlaps;
        }
      }
    s = e;
  }
  return overlaps;
}

}  // namespace

std::string MeshReport::Summary() const {
  if (Problems.empty()) return "valid";
  std::ostringstream out;
  out << BadIndexes << " bad indexes, " << CornerMismatches << " corner mismatches, "
      << CounterClockwise << " counter-clockwise, " << Degenerate << " degenerate, " << Overlaps
      << " overlapping pairs";
  for (const std::string& p : Problems) out << "\n  " << p;
  return out.str();
}

MeshReport CheckMesh(const TriangleMesh& mesh, const MeshCheckOptions& options) {
  MeshReport r;
  const int32_t np = mesh.PointCount();
  std::vector<int32_t> proper;  // triangles with a plan area
  proper.reserve(static_cast<size_t>(mesh.TriangleCount()));
  for (int32_t t = 1; t <= mesh.TriangleCount(); ++t) {
    const TriangleRec& tri = mesh.Triangle(t);
    const PointRec* corner[3] = {&tri.A, &tri.B, &tri.C};
    for (int c = 0; c < 3; ++c) {
      const double idx = corner[c]->T;
      if (!(idx >= 1 && idx <= np && idx == std::floor(idx))) {
        ++r.BadIndexes;
        Note(r, "triangle " + std::to_string(t) + " corner " + std::to_string(c + 1) +
                    " names no point");
        continue;
      }
      const PointRec& p = mesh.Point(static_cast<int32_t>(idx));
      const double tol = options.CornerTolerance;
      if (!(std::abs(p.X - corner[c]->X) <= tol && std::abs(p.Y - corner[c]->Y) <= tol &&
            std::abs(p.Z - corner[c]->Z) <= tol)) {
        ++r.CornerMismatches;
        Note(r, "triangle " + std::to_string(t) + " corner " + std::to_string(c + 1) +
                    " differs from point " + std::to_string(static_cast<int64_t>(idx)));
      }
    }
    const double turn = Orient2D(tri.A.X, tri.A.Y, tri.B.X, tri.B.Y, tri.C.X, tri.C.Y);
    if (turn == 0 || !std::isfinite(turn)) {
      ++r.Degenerate;
      if (options.RequirePlanArea) Note(r, "triangle " + std::to_string(t) + " has no plan area");
      continue;
    }
    if (turn > 0) {
      ++r.CounterClockwise;
      if (options.RequireClockwise)
        Note(r, "triangle " + std::to_string(t) + " is counter-clockwise");
    }
    proper.push_back(t);
  }
  if (!options.AllowOverlaps) {
    std::vector<std::pair<int32_t, int32_t>> first;
    r.Overlaps = CountOverlaps(mesh, proper, first);
    if (!first.empty())
      Note(r, "triangles " + std::to_string(first[0].first) + " and " +
                  std::to_string(first[0].second) + " overlap");
  }
  return r;
}

}  // namespace orvane
