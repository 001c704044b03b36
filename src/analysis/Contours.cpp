#include "analysis/Contours.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <span>
#include <string>
#include <unordered_map>

#include "analysis/StepProgress.h"
#include "core/geometry/HashMix.h"
#include "core/geometry/Predicates.h"
#include "core/model/TriangleMesh.h"

namespace orvane {

namespace {

constexpr double kNullElevation = -999;

// Where a level crosses an edge, the same for both triangles of the edge:
// the edge's vertex ids (lower first) and the level's number.
struct CrossingKey {
  uint32_t lo, hi;
  int64_t level;
  bool operator==(const CrossingKey&) const = default;
  uint64_t Hash() const {
    return HashMix((uint64_t{lo} << 32 | hi) ^ HashMix(static_cast<uint64_t>(level)));
  }
};

// One triangle's piece of a level line, from start to end.
struct Piece {
  CrossingKey start, end;
  XYRec a, b;
};

// Open addressing from a crossing key to the piece that starts there.
class StartTable {
 public:
  explicit StartTable(size_t n) {
    size_t size = 16;
    while (size < 2 * n) size *= 2;
    slots_.assign(size, kEmpty);
    mask_ = size - 1;
  }
  // Files piece p under its start; a second piece starting at the same
  // crossing (an edge of more than two triangles) is not filed.
  void Put(const std::vector<Piece>& pieces, uint32_t p) {
    for (size_t s = pieces[p].start.Hash() & mask_;; s = (s + 1) & mask_) {
      if (slots_[s] == kEmpty) {
        slots_[s] = p;
        return;
      }
      if (pieces[slots_[s]].start == pieces[p].start) return;
    }
  }
  uint32_t Find(const std::vector<Piece>& pieces, const CrossingKey& k) const {
    for (size_t s = k.Hash() & mask_;; s = (s + 1) & mask_) {
      if (slots_[s] == kEmpty || pieces[slots_[s]].start == k) return slots_[s];
    }
  }
  static constexpr uint32_t kEmpty = UINT32_MAX;

 private:
  std::vector<uint32_t> slots_;
  size_t mask_ = 0;
};

// Vertex ids: the point numbers the vertices carry when every one names a
// point with the vertex's own coordinates (a loaded or built surface), else
// numbers given to distinct coordinates.
std::vector<uint32_t> VertexIds(const TriangleMesh& mesh) {
  const std::span<const TriangleRec> tri = mesh.Triangles();
  const int32_t points = mesh.PointCount();
  std::vector<uint32_t> ids(tri.size() * 3);
  bool numbered = true;
  for (size_t t = 1; t < tri.size() && numbered; ++t) {
    const PointRec* v[3] = {&tri[t].A, &tri[t].B, &tri[t].C};
    for (int k = 0; k < 3 && numbered; ++k) {
      const double T = v[k]->T;
      numbered = T >= 1 && T <= points && T == std::floor(T);
      if (!numbered) break;
      const PointRec& p = mesh.Point(static_cast<int32_t>(T));
      numbered = p.X == v[k]->X && p.Y == v[k]->Y && p.Z == v[k]->Z;
      ids[t * 3 + static_cast<size_t>(k)] = static_cast<uint32_t>(T);
    }
  }
  if (numbered) return ids;
  struct Hash {
    size_t operator()(const PointRec& p) const {
      uint64_t h = 0;
      for (const double d : {p.X, p.Y, p.Z}) {
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        h = HashMix(h ^ bits);
      }
      return h;
    }
  };
  struct Same {
    bool operator()(const PointRec& a, const PointRec& b) const {
      return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
    }
  };
  std::unordered_map<PointRec, uint32_t, Hash, Same> seen;
  for (size_t t = 1; t < tri.size(); ++t) {
    const PointRec* v[3] = {&tri[t].A, &tri[t].B, &tri[t].C};
    for (int k = 0; k < 3; ++k) {
      PointRec p = *v[k];
      p.T = 0;
      ids[t * 3 + static_cast<size_t>(k)] =
          seen.emplace(p, static_cast<uint32_t>(seen.size() + 1)).first->second;
    }
  }
  return ids;
}

// The levels From + k x Interval. Typed as decimals (0.1, 2.5, 100.25),
// each level is the double nearest to its decimal value, worked out from
// whole numbers (k x 1 + 3) / 10 rather than by adding 0.1 three times: a
// vertex surveyed at 100.3 lies on the level 100.3, and the level is
// written as 100.3, not 100.30000000000001.
class LevelGrid {
 public:
  explicit LevelGrid(const ContourOptions& o) : from_(o.From), step_(o.Interval) {
    double scale = 1;
    for (int d = 0; d <= 9; ++d, scale *= 10) {
      const double f = o.From * scale, s = o.Interval * scale;
      if (std::fabs(f) < 1e15 && s < 1e15 && f == std::round(f) && s == std::round(s)) {
        scale_ = scale;
        fromScaled_ = f;
        stepScaled_ = s;
        break;
      }
    }
  }
  double Level(int64_t k) const {
    if (scale_ > 0) {
      const double n = fromScaled_ + static_cast<double>(k) * stepScaled_;
      if (std::fabs(n) < 9007199254740992.0) return n / scale_;  // exact below 2^53
    }
    return from_ + static_cast<double>(k) * step_;
  }
  // The lowest k whose level is above z.
  int64_t FirstAbove(double z) const {
    auto k = static_cast<int64_t>(std::floor((z - from_) / step_));
    while (Level(k) > z) --k;
    while (!(Level(k) > z)) ++k;
    return k;
  }
  // The highest k whose level is at most z.
  int64_t LastAtOrBelow(double z) const { return FirstAbove(z) - 1; }

 private:
  double from_, step_;
  double scale_ = 0, fromScaled_ = 0, stepScaled_ = 0;  // scale_ 0: not decimal
};

// The crossing of level L on the edge between u and v (ids iu < iv).
XYRec Crossing(const PointRec& u, const PointRec& v, double L) {
  if (u.Z == L) return {u.X, u.Y};
  if (v.Z == L) return {v.X, v.Y};
  const double t = (L - u.Z) / (v.Z - u.Z);
  return {u.X + t * (v.X - u.X), u.Y + t * (v.Y - u.Y)};
}

// The levels a triangle crosses, k0 to k1: a vertex at a level counts as
// above it, so a triangle crosses the levels in (lowest, highest]. False
// for a triangle that holds no line (flat, degenerate, or with a corner of
// no elevation).
struct CrossedLevels {
  const LevelGrid& grid;
  bool operator()(const TriangleRec& t, int64_t& k0, int64_t& k1) const {
    const double zlo = std::min({t.A.Z, t.B.Z, t.C.Z}), zhi = std::max({t.A.Z, t.B.Z, t.C.Z});
    if (!(zlo < zhi) || !std::isfinite(zlo) || !std::isfinite(zhi)) return false;
    if (t.A.Z == kNullElevation || t.B.Z == kNullElevation || t.C.Z == kNullElevation) return false;
    if (Orient2D(t.A.X, t.A.Y, t.B.X, t.B.Y, t.C.X, t.C.Y) == 0) return false;
    k0 = grid.FirstAbove(zlo);
    k1 = grid.LastAtOrBelow(zhi);
    return k0 <= k1;
  }
};

// How many pieces the contours have, or the refusal of levels that cannot
// be counted exactly or of too many pieces.
Result<int64_t> CountPieces(std::span<const TriangleRec> tri, const ContourOptions& options,
                            const CrossedLevels& levelsOf) {
  // Level numbers must stay whole numbers a double holds exactly.
  for (const TriangleRec& t : tri.subspan(1))
    for (const double z : {t.A.Z, t.B.Z, t.C.Z})
      if (std::isfinite(z) && !(std::fabs((z - options.From) / options.Interval) < 1e15))
        return Outcome::Failure(ErrorCode::Refused,
                                "the contour interval is too small for the elevations of the "
                                "surface and the first level");
  int64_t count = 0;
  for (const TriangleRec& t : tri.subspan(1)) {
    int64_t k0 = 0, k1 = -1;
    if (levelsOf(t, k0, k1)) count += k1 - k0 + 1;
    if (count > kMaxContourPieces)
      return Outcome::Failure(ErrorCode::Refused, "the contours would have more than " +
                                                      std::to_string(kMaxContourPieces) +
                                                      " pieces: choose a larger interval");
  }
  return count;
}

// The pieces of levels k0 to k1 across triangle t (vertex ids id), each
// running with the higher ground on its left.
void CutTriangle(const TriangleRec& t, std::array<uint32_t, 3> id, int64_t k0, int64_t k1,
                 const LevelGrid& grid, std::vector<Piece>& pieces) {
  const PointRec* v[3] = {&t.A, &t.B, &t.C};
  if (Orient2D(t.A.X, t.A.Y, t.B.X, t.B.Y, t.C.X, t.C.Y) < 0) {
    std::swap(v[1], v[2]);
    std::swap(id[1], id[2]);
  }
  auto key = [&](int a, int b, int64_t k) {
    return id[a] < id[b] ? CrossingKey{id[a], id[b], k} : CrossingKey{id[b], id[a], k};
  };
  auto at = [&](int a, int b, double L) {
    return id[a] < id[b] ? Crossing(*v[a], *v[b], L) : Crossing(*v[b], *v[a], L);
  };
  for (int64_t k = k0; k <= k1; ++k) {
    const double L = grid.Level(k);
    const bool above[3] = {v[0]->Z >= L, v[1]->Z >= L, v[2]->Z >= L};
    // The vertex on its own side of the level, and the next two
    // counter-clockwise.
    const int lone = above[0] == above[1] ? 2 : above[0] == above[2] ? 1 : 0;
    const int j = (lone + 1) % 3, m = (lone + 2) % 3;
    Piece p{key(lone, j, k), key(m, lone, k), at(lone, j, L), at(m, lone, L)};
    // From the crossing of lone-j to that of m-lone the lone vertex lies
    // on the left: keep the higher ground there.
    if (!above[lone]) {
      std::swap(p.start, p.end);
      std::swap(p.a, p.b);
    }
    pieces.push_back(p);
  }
}

constexpr uint32_t kNone = StartTable::kEmpty;

// Each piece goes on with the one that starts where it ends.
struct Links {
  std::vector<uint32_t> next;
  std::vector<uint8_t> hasPrevious;
};

Links JoinPieces(const std::vector<Piece>& pieces) {
  StartTable starts(pieces.size());
  for (uint32_t p = 0; p < pieces.size(); ++p) starts.Put(pieces, p);
  Links links{std::vector<uint32_t>(pieces.size(), kNone), std::vector<uint8_t>(pieces.size(), 0)};
  for (uint32_t p = 0; p < pieces.size(); ++p) {
    const uint32_t q = starts.Find(pieces, pieces[p].end);
    if (q == kNone || q == p || links.hasPrevious[q]) continue;
    links.next[p] = q;
    links.hasPrevious[q] = 1;
  }
  return links;
}

// The joined pieces as lines: open lines from their first piece, then the
// rings, in order of elevation.
std::vector<ContourLine> FollowLines(const std::vector<Piece>& pieces, const Links& links,
                                     const LevelGrid& grid, int64_t indexEvery) {
  std::vector<ContourLine> lines;
  std::vector<uint8_t> used(pieces.size(), 0);
  auto follow = [&](uint32_t first) {
    ContourLine line;
    const int64_t k = pieces[first].start.level;
    line.Elevation = grid.Level(k);
    line.Index = indexEvery > 0 && k % indexEvery == 0;
    auto add = [&](const XYRec& q) {
      if (line.Points.empty() || line.Points.back().X != q.X || line.Points.back().Y != q.Y)
        line.Points.push_back(q);
    };
    add(pieces[first].a);
    uint32_t p = first;
    for (;;) {
      used[p] = 1;
      add(pieces[p].b);
      p = links.next[p];
      if (p == kNone) break;
      if (p == first) {
        line.Closed = true;
        break;
      }
    }
    // A level that only touches the surface from one side (a peak, a
    // ridge or a valley floor exactly at the level) is no line: its path
    // goes out and comes back the same way, or is a single point.
    const std::vector<XYRec>& q = line.Points;
    bool retraced = true;
    for (size_t a = 0, b = q.size() - 1; a < b && retraced; ++a, --b)
      retraced = q[a].X == q[b].X && q[a].Y == q[b].Y;
    if (retraced) return;
    lines.push_back(std::move(line));
  };
  for (uint32_t p = 0; p < pieces.size(); ++p)
    if (!links.hasPrevious[p]) follow(p);
  for (uint32_t p = 0; p < pieces.size(); ++p)
    if (!used[p]) follow(p);
  std::stable_sort(lines.begin(), lines.end(), [](const ContourLine& a, const ContourLine& b) {
    return a.Elevation < b.Elevation;
  });
  return lines;
}

}  // namespace

Result<std::vector<ContourLine>> Contours(const TriangleMesh& mesh, const ContourOptions& options,
                                          Feedback& feedback) {
  if (!(options.Interval > 0) || !std::isfinite(options.Interval) || !std::isfinite(options.From) ||
      options.IndexEvery < 0)
    return Outcome::Failure(ErrorCode::Refused,
                            "the contour interval must be a length above 0, the first level a "
                            "number and the index step a whole number of levels");
  const std::span<const TriangleRec> tri = mesh.Triangles();
  const int64_t n = mesh.TriangleCount();
  const LevelGrid grid(options);
  const CrossedLevels levelsOf{grid};
  const Result<int64_t> count = CountPieces(tri, options, levelsOf);
  if (!count) return count.Error();
  const std::vector<uint32_t> ids = VertexIds(mesh);

  std::vector<Piece> pieces;
  pieces.reserve(static_cast<size_t>(*count));
  StepProgress progress(feedback);
  for (int64_t i = 1; i <= n; ++i) {
    if (!progress.At(i, n)) return Outcome::Cancel();
    const TriangleRec& t = tri[static_cast<size_t>(i)];
    int64_t k0 = 0, k1 = -1;
    if (!levelsOf(t, k0, k1)) continue;
    const size_t at = static_cast<size_t>(i) * 3;
    CutTriangle(t, {ids[at], ids[at + 1], ids[at + 2]}, k0, k1, grid, pieces);
  }
  if (pieces.size() >= StartTable::kEmpty)
    return Outcome::Failure(ErrorCode::Refused, "too many contour pieces");
  const Links links = JoinPieces(pieces);
  if (feedback.Cancelled()) return Outcome::Cancel();
  return FollowLines(pieces, links, grid, options.IndexEvery);
}

}  // namespace orvane
