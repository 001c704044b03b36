#include "project/Colouring.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <optional>
#include <string_view>
#include <thread>
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
  // Enough for the cut points of a few bounds' worth of lines: the pieces
  // below a bound are written a whole class before those above it.
  static constexpr size_t kSlots = size_t{1} << 17;
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

// Lines formatted into a buffer of their own.
class LineFormatter {
 public:
  LineFormatter(ColouringMode mode, const PointTexts& points)
      : points_(points), buffer_(kMaxLineText) {
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

  std::string_view Text() const { return {buffer_.data(), used_}; }
  void Clear() { used_ = 0; }
  int64_t Lines() const { return lines_; }

 private:
  template <class Text>
  void Line(int32_t colour, const PointRec& a, const PointRec& b, const PointRec& c,
            const Text& text) {
    if (buffer_.size() - used_ < kMaxLineText) buffer_.resize(2 * buffer_.size() + kMaxLineText);
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
  }

  const PointTexts& points_;
  RecentTexts cuts_;
  std::vector<char> buffer_;
  size_t used_ = 0;
  int64_t lines_ = 0;
  char mode_;
};

// Lines gathered into large writes.
class LineWriter {
 public:
  LineWriter(AtomicFileWriter& out, ColouringMode mode, const TriangleMesh& source)
      : out_(out), points_(source), lines_(mode, points_) {}

  void Line(int32_t colour, const TriangleRec& t) {
    lines_.Line(colour, t);
    if (lines_.Text().size() >= kBatch) Flush();
  }

  bool Flush() {
    if (!lines_.Text().empty()) out_.Write(lines_.Text());
    lines_.Clear();
    return out_.ok();
  }
  bool ok() const { return out_.ok(); }
  const std::string& Error() const { return out_.Error(); }
  int64_t Lines() const { return lines_.Lines(); }

 private:
  static constexpr size_t kBatch = size_t{1} << 20;  // bytes handed to the writer at once
  AtomicFileWriter& out_;
  PointTexts points_;
  LineFormatter lines_;
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
  // The reports due for steps after `from` up to `to`, given at once.
  bool Through(int64_t from, int64_t to, int64_t total) {
    if (!progress_) return true;
    for (int64_t k = (from / kColouringProgressStep + 1) * kColouringProgressStep; k <= to;
         k += kColouringProgressStep)
      if (!progress_(k, total)) return false;
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

constexpr int32_t kCrossing = -1;  // a triangle's group when it is cut
// Below this many triangles (or lines) a second thread is not worth its
// start; small, so that the tests' surfaces take the threads too.
constexpr int32_t kShared = 64;

// Where each triangle of from..to goes: its group in groupOf, or kCrossing
// and its pieces in Pieces. going(done) is asked every
// kColouringProgressStep triangles; false when it said stop.
struct FollowedRange {
  std::vector<Piece> Pieces;
  std::vector<int64_t> Counts;  // lines of each group
};
bool FollowRange(const TriangleMesh& surface, std::span<const double> bounds, int32_t from,
                 int32_t to, int32_t roomTo, std::vector<int32_t>& groupOf, FollowedRange& out,
                 const std::function<bool(int64_t)>& going) {
  const size_t groups = bounds.size();
  out.Counts.assign(groups + 1, 0);
  {
    // Room for the pieces up to roomTo, so that the list is seldom copied
    // as it grows (and takes the next range's pieces without a copy): each
    // bound through a triangle makes about three (room that is not used is
    // never touched).
    size_t room = 0;
    for (int32_t i = from; i <= roomTo; ++i) {
      const TriangleRec& t = surface.Triangle(i);
      const ExtentsRec box = Box(t.A, t.B, t.C);
      size_t cuts = 0;
      for (const double bound : bounds) cuts += box.Min.Z < bound && bound < box.Max.Z;
      room += 4 * cuts;
    }
    out.Pieces.reserve(room);
  }
  CrossingFollower follower(bounds, out.Pieces, out.Counts);
  for (int32_t i = from; i <= to; ++i) {
    const TriangleRec& t = surface.Triangle(i);
    const ExtentsRec box = Box(t.A, t.B, t.C);
    size_t c = 0;
    while (c < groups && box.Min.Z >= bounds[c]) ++c;
    if (c == groups || box.Max.Z <= bounds[c]) {
      groupOf[static_cast<size_t>(i)] = static_cast<int32_t>(c);
      ++out.Counts[c];
    } else if (!follower.Follow(i, t, c)) {
      return false;
    }
    const int64_t done = i - from + 1;
    if (done % kColouringProgressStep == 0 && !going(done)) return false;
  }
  return true;
}

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

  // First pass: where each triangle goes. The two halves of the surface are
  // followed on two threads, each into its own list of pieces; the second
  // half's pieces then follow the first's, as the sources do.
  const int32_t n = surface.TriangleCount();
  std::vector<int32_t> groupOf(static_cast<size_t>(n) + 1, kCrossing);
  Reporter report(progress);
  const int64_t steps = 2 * static_cast<int64_t>(n);
  if (!report.At(0, steps, true)) return {0, true, {}};
  const int32_t middle = n < kShared ? n : n / 2;
  FollowedRange first, second;
  std::atomic<int64_t> secondDone{0};
  bool firstFollowed = true, secondFollowed = true;
  int64_t reported = 0;
  {
    std::jthread helper;
    if (middle < n)
      helper = std::jthread([&](std::stop_token stop) {
        secondFollowed =
            FollowRange(surface, bounds, middle + 1, n, n, groupOf, second, [&](int64_t done) {
              secondDone.store(done, std::memory_order_relaxed);
              return !stop.stop_requested();
            });
      });
    firstFollowed = FollowRange(surface, bounds, 1, middle, n, groupOf, first, [&](int64_t done) {
      const int64_t now = done + secondDone.load(std::memory_order_relaxed);
      const bool going = report.Through(reported, now, steps);
      reported = std::max(reported, now);
      return going;
    });
    // Joined here: the thread's end would ask it to stop.
    if (!firstFollowed) helper.request_stop();
    if (helper.joinable()) helper.join();
  }
  if (!firstFollowed || !secondFollowed || !report.Through(reported, n, steps))
    return {0, true, {}};
  std::vector<int64_t> counts = std::move(first.Counts);
  for (size_t g = 0; g < second.Counts.size(); ++g) counts[g] += second.Counts[g];
  std::vector<Piece> pieces = std::move(first.Pieces);
  pieces.insert(pieces.end(), second.Pieces.begin(), second.Pieces.end());

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

  // The lines are formatted on two threads: each class's lines are cut into
  // ranges of source triangles, taken in pairs, one range on each thread, and
  // written in order once both are done. A thread keeps to the same ranges
  // in every class, so the points where a triangle was cut, met again among
  // the class above, are mostly still in that thread's texts.
  const PointTexts points(surface);
  LineFormatter mine(ColouringMode::Elevation, points), other(ColouringMode::Elevation, points);
  const std::span<const TriangleRec> triangles = surface.Triangles();
  auto sourceOf = [&](int64_t item) {
    return item > 0 ? item : static_cast<int64_t>(pieces[static_cast<size_t>(-item - 1)].Source);
  };
  auto format = [&](LineFormatter& lines, int32_t colour, int64_t from, int64_t to) {
    constexpr int64_t kAhead = 12;
    for (int64_t k = from; k < to; ++k) {
      // A class's triangles lie scattered over the surface's list: each
      // would be a wait for memory if not asked for a few lines ahead.
      if (k + kAhead < to) {
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
    }
  };
  ColouringOutcome r;
  const int64_t total = n + static_cast<int64_t>(order.size());
  int64_t done = n;
  constexpr int64_t kRanges = 32;  // source ranges per class, in pairs
  for (size_t g = 0; g <= groups; ++g) {
    const int32_t colour = g < groups ? classes[g].ColourValue() : remainder;
    int64_t from = start[g];
    for (int64_t range = 1; range <= kRanges; range += 2) {
      // The class's lines below the ranges' ends, in the order of sources.
      auto endOf = [&](int64_t rangeEnd, int64_t after) {
        if (rangeEnd == kRanges) return start[g + 1];
        const int64_t limit = 1 + n * rangeEnd / kRanges;
        int64_t lo = after, hi = start[g + 1];
        while (lo < hi) {
          const int64_t mid = lo + (hi - lo) / 2;
          if (sourceOf(order[static_cast<size_t>(mid)]) < limit)
            lo = mid + 1;
          else
            hi = mid;
        }
        return lo;
      };
      const int64_t split = endOf(range, from), to = endOf(range + 1, split);
      if (to == from) continue;
      if (to - from < kShared) {
        format(mine, colour, from, split);
        format(other, colour, split, to);
      } else {
        std::jthread helper([&] { format(other, colour, split, to); });
        format(mine, colour, from, split);
      }
      out.Write(mine.Text());
      out.Write(other.Text());
      mine.Clear();
      other.Clear();
      r.Triangles += to - from;
      if (!out.ok()) {
        r.Error = out.Error();
        return r;
      }
      if (!report.Through(done, done + (to - from), total)) {
        r.Cancelled = true;
        return r;
      }
      done += to - from;
      from = to;
    }
  }
  r.Cancelled = !report.At(total, total, true);
  return r;
}

}  // namespace orvane
