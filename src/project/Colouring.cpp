#include "project/Colouring.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <string_view>
#include <vector>

#include "analysis/HorizontalSplit.h"
#include "analysis/SplitParts.h"
#include "core/NumberText.h"
#include "project/PointTexts.h"

namespace orvane {

namespace {

constexpr size_t kMaxLineText = 3 * kMaxXyzText + 64;

char* Put(char* p, std::string_view s) {
  std::memcpy(p, s.data(), s.size());
  return p + s.size();
}

// The slope value in "0.00". A cosine lies in 0..1, so the two decimals are
// its hundredths rounded: computed directly unless the product lies too near
// a half to be sure of the rounding, which the exact conversion decides.
char* WriteSlopeText(char* out, double c) {
  if (std::isnan(c)) return Put(out, "0.00");
  if (c >= 0 && c <= 1) {
    const double hundredths = c * 100;
    const double whole = std::floor(hundredths);
    const double fraction = hundredths - whole;
    if (std::abs(fraction - 0.5) > 1e-6) {
      const int k = static_cast<int>(whole) + (fraction > 0.5 ? 1 : 0);
      out[0] = static_cast<char>('0' + k / 100);
      out[1] = '.';
      out[2] = static_cast<char>('0' + k / 10 % 10);
      out[3] = static_cast<char>('0' + k % 10);
      return out + 4;
    }
  }
  return std::to_chars(out, out + kMaxNumberText, c, std::chars_format::fixed, 2).ptr;
}

// "x y z" of the points where triangles were cut, kept for the next lines
// that meet them: each cut point is a corner of the pieces on both sides of
// its bound and of the neighbour's across its edge.
class RecentTexts {
 public:
  RecentTexts() : slots_(kSlots) {}
  char* Write(char* out, const PointRec& v) {
    Slot& slot = slots_[Hash(v) & (kSlots - 1)];
    if (slot.Length == 0 || slot.X != v.X || slot.Y != v.Y || slot.Z != v.Z) {
      slot.X = v.X;
      slot.Y = v.Y;
      slot.Z = v.Z;
      slot.Length = static_cast<uint8_t>(WriteXyz(slot.Text, v) - slot.Text);
    }
    return Put(out, std::string_view(slot.Text, slot.Length));
  }

 private:
  static constexpr size_t kSlots = 4096;
  struct Slot {
    double X = 0, Y = 0, Z = 0;
    uint8_t Length = 0;
    char Text[kMaxXyzText];
  };
  static uint64_t Hash(const PointRec& v) {
    uint64_t x, y;
    std::memcpy(&x, &v.X, sizeof x);
    std::memcpy(&y, &v.Y, sizeof y);
    const uint64_t h = (x ^ (y * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
    return h >> 40;
  }
  std::vector<Slot> slots_;
};

// Lines gathered into large writes.
class LineWriter {
 public:
  LineWriter(AtomicFileWriter& out, ColouringMode mode, const TriangleMesh& source)
      : out_(out), points_(source), buffer_(kBatch + kMaxLineText) {
    mode_ = mode == ColouringMode::Slope ? '1' : '0';
  }

  // A triangle of the source mesh (its corners' texts may be cached).
  void Line(int32_t colour, const TriangleRec& t) {
    Line(colour, t.A, t.B, t.C, [&](char* p, const PointRec& v) { return points_.Write(p, v); });
  }
  // A piece of source triangle s: its corners that are corners of s have
  // their texts cached; the points where it was cut are formatted here.
  void Line(int32_t colour, const PieceTriangle& t, const TriangleRec& s) {
    Line(colour, t.A, t.B, t.C, [&](char* p, const PointRec& v) {
      for (const PointRec* corner : {&s.A, &s.B, &s.C})
        if (corner->X == v.X && corner->Y == v.Y && corner->Z == v.Z)
          return points_.Write(p, *corner);
      return cuts_.Write(p, v);
    });
  }

  bool Flush() {
    if (used_ > 0) out_.Write(std::string_view(buffer_.data(), used_));
    used_ = 0;
    return out_.ok();
  }
  bool ok() const { return out_.ok(); }
  const std::string& Error() const { return out_.Error(); }
  int64_t Lines() const { return lines_; }

 private:
  template <class Text>
  void Line(int32_t colour, const PointRec& a, const PointRec& b, const PointRec& c,
            const Text& text) {
    char* p = buffer_.data() + used_;
    *p++ = '(';
    *p++ = mode_;
    *p++ = ' ';
    p = std::to_chars(p, p + 16, colour).ptr;
    *p++ = ' ';
    p = WriteSlopeText(p, SlopeValue(a, b, c));
    p = Put(p, " ((");
    p = text(p, a);
    p = Put(p, ")(");
    p = text(p, b);
    p = Put(p, ")(");
    p = text(p, c);
    p = Put(p, ")))\r\n");
    used_ = static_cast<size_t>(p - buffer_.data());
    ++lines_;
    if (used_ >= kBatch) Flush();
  }

  static constexpr size_t kBatch = size_t{1} << 20;  // bytes handed to the writer at once
  AtomicFileWriter& out_;
  PointTexts points_;
  RecentTexts cuts_;
  std::vector<char> buffer_;
  size_t used_ = 0;
  int64_t lines_ = 0;
  char mode_;
};

// Asks progress at the start, every kColouringProgressStep steps and at the
// end; false once it said stop.
class Reporter {
 public:
  explicit Reporter(const ColouringProgress& progress) : progress_(progress) {}
  bool At(int64_t done, int64_t total, bool force = false) {
    if (!progress_) return true;
    if (force || done % kColouringProgressStep == 0) return progress_(done, total);
    return true;
  }

 private:
  const ColouringProgress& progress_;
};

ColouringOutcome Finish(LineWriter& lines, bool cancelled) {
  ColouringOutcome r;
  r.Cancelled = cancelled;
  if (!cancelled && !lines.Flush()) r.Error = lines.Error();
  r.Triangles = lines.Lines();
  return r;
}

// A piece of a cut triangle and the class (or, at the class count, the
// remainder) it is written with.
struct Piece {
  int32_t Group = 0;
  int32_t Source = 0;  // the surface's triangle it comes from
  PieceTriangle T;
};

ExtentsRec Box(const PointRec& a, const PointRec& b, const PointRec& c) {
  ExtentsRec box;
  GrowExtents(box, a);
  GrowExtents(box, b);
  GrowExtents(box, c);
  return box;
}

// Follows triangle `source`, which crosses the bound of class `first`,
// through the classes from there: at each bound its pieces at or above go on,
// those at or below are written with the class, as the successive cuts of
// the whole surface would sort them. False when cancelled.
class CrossingFollower {
 public:
  CrossingFollower(std::span<const double> bounds, std::vector<Piece>& pieces,
                   std::vector<int64_t>& counts)
      : bounds_(bounds), pieces_(pieces), counts_(counts) {}

  bool Follow(int32_t source, const TriangleRec& t, size_t first) {
    current_.assign(1, {t.A, t.B, t.C});
    const auto groups = static_cast<int32_t>(bounds_.size());
    for (size_t c = first; c < bounds_.size() && !current_.empty(); ++c) {
      const double bound = bounds_[c];
      next_.clear();
      lower_.clear();
      for (const PieceTriangle& p : current_) {
        const ExtentsRec box = Box(p.A, p.B, p.C);
        // Up before down: a piece lying in the plane goes up.
        if (box.Min.Z >= bound) {
          next_.push_back(p);
        } else if (box.Max.Z <= bound) {
          lower_.push_back(p);
        } else {
          const TriangleSplit split = SplitTriangle(p.A, p.B, p.C, bound);
          if (!parts_.Add(split.Upper.View(), next_) || !parts_.Add(split.Lower.View(), lower_))
            return false;
        }
      }
      Emit(static_cast<int32_t>(c), source, lower_);
      current_.swap(next_);
    }
    Emit(groups, source, current_);
    return true;
  }

 private:
  void Emit(int32_t group, int32_t source, const std::vector<PieceTriangle>& triangles) {
    for (const PieceTriangle& t : triangles) pieces_.push_back({group, source, t});
    counts_[static_cast<size_t>(group)] += static_cast<int64_t>(triangles.size());
  }

  std::span<const double> bounds_;
  std::vector<Piece>& pieces_;
  std::vector<int64_t>& counts_;
  std::vector<PieceTriangle> current_, next_, lower_;
  PartTriangulator parts_;
};

}  // namespace

double SlopeValue(const PointRec& a, const PointRec& b, const PointRec& c) {
  const double ux = b.X - a.X, uy = b.Y - a.Y, uz = b.Z - a.Z;
  const double vx = c.X - a.X, vy = c.Y - a.Y, vz = c.Z - a.Z;
  const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (!(length > 0) || !std::isfinite(length)) return std::nan("");
  return std::abs(nz) / length;
}

ColouringOutcome WriteSlopeColouring(const TriangleMesh& surface,
                                     std::span<const ColourClass> classes, AtomicFileWriter& out,
                                     const ColouringProgress& progress) {
  // cos(upper) <= c <= cos(lower), with the margin for bounds met exactly.
  constexpr double kMargin = 1e-12;
  struct Limits {
    double Low, High;
    int32_t Colour;
  };
  std::vector<Limits> limits;
  limits.reserve(classes.size());
  constexpr double kRadians = std::numbers::pi / 180;
  for (const ColourClass& k : classes)
    limits.push_back({std::cos(k.Upper * kRadians) - kMargin,
                      std::cos(k.Lower * kRadians) + kMargin, k.ColourValue()});

  LineWriter lines(out, ColouringMode::Slope, surface);
  Reporter report(progress);
  const int32_t n = surface.TriangleCount();
  if (!report.At(0, n, true)) return Finish(lines, true);
  for (int32_t i = 1; i <= n; ++i) {
    const TriangleRec& t = surface.Triangle(i);
    const double c = SlopeValue(t.A, t.B, t.C);
    int32_t colour = kWhite;
    for (const Limits& l : limits)
      if (l.Low <= c && c <= l.High) {
        colour = l.Colour;
        break;
      }
    lines.Line(colour, t);
    if (!lines.ok()) break;
    if (!report.At(i, n, i == n)) return Finish(lines, true);
  }
  return Finish(lines, false);
}

ColouringOutcome WriteElevationColouring(const TriangleMesh& surface,
                                         std::span<const ColourClass> classes,
                                         AtomicFileWriter& out, const ColouringProgress& progress) {
  if (classes.empty()) {
    ColouringOutcome r;
    r.Error = "there are no classes to colour by";
    return r;
  }
  const size_t groups = classes.size();  // group `groups` is what remains after the last
  std::vector<double> bounds;
  for (const ColourClass& k : classes) bounds.push_back(k.Upper);

  // First pass: where each triangle goes. Most lie wholly between two bounds
  // and go whole to one class; the rest are followed through the cuts.
  const int32_t n = surface.TriangleCount();
  constexpr int32_t kCrossing = -1;
  std::vector<int32_t> groupOf(static_cast<size_t>(n) + 1, kCrossing);
  std::vector<int64_t> counts(groups + 1, 0);
  std::vector<Piece> pieces;
  {
    // Room for the pieces, so that the list is seldom copied as it grows:
    // each bound through a triangle makes about three (room that is not
    // used is never touched).
    size_t room = 0;
    for (int32_t i = 1; i <= n; ++i) {
      const TriangleRec& t = surface.Triangle(i);
      const ExtentsRec box = Box(t.A, t.B, t.C);
      size_t cuts = 0;
      for (const double bound : bounds) cuts += box.Min.Z < bound && bound < box.Max.Z;
      room += 4 * cuts;
    }
    pieces.reserve(room);
  }
  CrossingFollower follower(bounds, pieces, counts);
  Reporter report(progress);
  const int64_t steps = 2 * static_cast<int64_t>(n);
  if (!report.At(0, steps, true)) return {0, true, {}};
  for (int32_t i = 1; i <= n; ++i) {
    const TriangleRec& t = surface.Triangle(i);
    const ExtentsRec box = Box(t.A, t.B, t.C);
    size_t c = 0;
    while (c < groups && box.Min.Z >= bounds[c]) ++c;
    if (c == groups || box.Max.Z <= bounds[c]) {
      groupOf[static_cast<size_t>(i)] = static_cast<int32_t>(c);
      ++counts[c];
    } else if (!follower.Follow(i, t, c)) {
      return {0, true, {}};
    }
    if (!report.At(i, steps)) return {0, true, {}};
  }

  // The file lists the classes in order, each with its triangles in the
  // order of the surface (a cut triangle's pieces in the order of the cuts),
  // so the lines are sorted by group, stably.
  std::vector<int64_t> start(groups + 2, 0);
  for (size_t g = 0; g <= groups; ++g) start[g + 1] = start[g] + counts[g];
  std::vector<int64_t> order(static_cast<size_t>(start[groups + 1]));
  {
    std::vector<int64_t> at(start.begin(), start.end() - 1);
    size_t next = 0;
    for (int32_t i = 1; i <= n; ++i) {
      const int32_t g = groupOf[static_cast<size_t>(i)];
      if (g != kCrossing) {
        order[static_cast<size_t>(at[static_cast<size_t>(g)]++)] = i;
        continue;
      }
      for (; next < pieces.size() && pieces[next].Source == i; ++next)
        order[static_cast<size_t>(at[static_cast<size_t>(pieces[next].Group)]++)] =
            -static_cast<int64_t>(next) - 1;
    }
  }

  // What remains is written in the colour last used.
  int32_t remainder = classes.back().ColourValue();
  for (size_t g = 0; g < groups; ++g)
    if (counts[g] > 0) remainder = classes[g].ColourValue();

  LineWriter lines(out, ColouringMode::Elevation, surface);
  const std::span<const TriangleRec> triangles = surface.Triangles();
  constexpr int64_t kAhead = 12;
  const int64_t total = n + static_cast<int64_t>(order.size());
  int64_t done = n;
  for (size_t g = 0; g <= groups; ++g) {
    const int32_t colour = g < groups ? classes[g].ColourValue() : remainder;
    for (int64_t k = start[g]; k < start[g + 1]; ++k) {
      // A class's triangles lie scattered over the surface's list: each
      // would be a wait for memory if not asked for a few lines ahead.
      if (k + kAhead < start[g + 1]) {
        const int64_t ahead = order[static_cast<size_t>(k + kAhead)];
        const char* p =
            ahead > 0 ? reinterpret_cast<const char*>(&triangles[static_cast<size_t>(ahead)])
                      : reinterpret_cast<const char*>(&pieces[static_cast<size_t>(-ahead - 1)]);
        __builtin_prefetch(p);
        __builtin_prefetch(p + 64);
      }
      const int64_t item = order[static_cast<size_t>(k)];
      if (item > 0) {
        lines.Line(colour, triangles[static_cast<size_t>(item)]);
      } else {
        const Piece& piece = pieces[static_cast<size_t>(-item - 1)];
        lines.Line(colour, piece.T, triangles[static_cast<size_t>(piece.Source)]);
      }
      if (!lines.ok()) return Finish(lines, false);
      if (!report.At(++done, total)) return Finish(lines, true);
    }
  }
  return Finish(lines, !report.At(total, total, true));
}

}  // namespace orvane
