#include "project/colouring/Colouring.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <numbers>
#include <optional>
#include <string_view>
#include <vector>

#include "analysis/HorizontalSplit.h"
#include "analysis/SplitParts.h"
#include "core/support/NumberText.h"
#include "core/support/Threads.h"
#include "formats/PointTexts.h"

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
    // A fixed-size copy is a few moves; the bytes past the text are
    // overwritten by what follows it.
    if (slot.Length <= kShortText)
      std::memcpy(out, slot.Text, kShortText);
    else
      std::memcpy(out, slot.Text, slot.Length);
    return out + slot.Length;
  }

 private:
  static constexpr size_t kSlots = 4096;
  static constexpr size_t kShortText = 48;
  static_assert(kShortText <= kMaxXyzText);
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

// "(MODE COLOUR " of a line, formatted once per class.
struct LineHead {
  LineHead(ColouringMode mode, int32_t colour) {
    char* p = Text;
    *p++ = '(';
    *p++ = mode == ColouringMode::Slope ? '1' : '0';
    *p++ = ' ';
    p = std::to_chars(p, Text + sizeof Text, colour).ptr;
    *p++ = ' ';
    Length = static_cast<uint8_t>(p - Text);
  }
  char Text[16] = {};  // copied whole: a few moves
  uint8_t Length = 0;
};

// Lines formatted into a caller's buffer. Each thread has its own: the
// texts of the points where triangles were cut are kept per formatter.
class LineFormatter {
 public:
  explicit LineFormatter(const PointTexts& points) : points_(points) {}

  // A triangle of the source mesh (its corners' texts may be cached), at p
  // (room for kMaxLineText); returns the end.
  char* Line(char* p, const LineHead& head, const TriangleRec& t) {
    return Line(p, head, t.A, t.B, t.C,
                [&](char* q, const PointRec& v) { return points_.Write(q, v); });
  }
  // A piece of source triangle s: its corners that are corners of s have
  // their texts cached; the points where it was cut are formatted here.
  char* Line(char* p, const LineHead& head, const PieceTriangle& t, const TriangleRec& s) {
    return Line(p, head, t.A, t.B, t.C, [&](char* q, const PointRec& v) {
      for (const PointRec* corner : {&s.A, &s.B, &s.C})
        if (corner->X == v.X && corner->Y == v.Y && corner->Z == v.Z)
          return points_.Write(q, *corner);
      return cuts_.Write(q, v);
    });
  }

 private:
  template <class Text>
  char* Line(char* p, const LineHead& head, const PointRec& a, const PointRec& b, const PointRec& c,
             const Text& text) {
    std::memcpy(p, head.Text, sizeof head.Text);
    p = WriteSlopeText(p + head.Length, SlopeValue(a, b, c));
    p = Put(p, " ((");
    p = text(p, a);
    p = Put(p, ")(");
    p = text(p, b);
    p = Put(p, ")(");
    p = text(p, c);
    return Put(p, ")))\r\n");
  }

  const PointTexts& points_;
  RecentTexts cuts_;
};

// Asks progress at the start, every kColouringProgressStep steps and at the
// end; false once it said stop. Upto gives the reports due since the last
// one at once, for work done in blocks.
class Reporter {
 public:
  explicit Reporter(const ColouringProgress& progress) : progress_(progress) {}
  bool At(int64_t done, int64_t total, bool force = false) {
    if (!progress_) return true;
    if (force || done % kColouringProgressStep == 0) return progress_(done, total);
    return true;
  }
  bool Upto(int64_t done, int64_t total) {
    if (!progress_) return true;
    for (int64_t k = (reported_ / kColouringProgressStep + 1) * kColouringProgressStep; k <= done;
         k += kColouringProgressStep) {
      reported_ = k;
      if (!progress_(k, total)) return false;
    }
    reported_ = std::max(reported_, done);
    return true;
  }

 private:
  const ColouringProgress& progress_;
  int64_t reported_ = 0;
};

// A piece of a cut triangle and the class (or, at the class count, the
// remainder) it is written with.
struct Piece {
  int32_t Group = 0;
  int32_t Source = 0;  // the surface's triangle it comes from
  PieceTriangle T;
};

// Pieces in chunks of fixed size: they never move as the list grows, and
// the list takes its memory in a few large parts.
class PieceList {
 public:
  void push_back(const Piece& p) {
    if ((size_ & kMask) == 0) {
      chunks_.emplace_back();
      chunks_.back().reserve(kMask + 1);
    }
    chunks_.back().push_back(p);
    ++size_;
  }
  size_t size() const { return size_; }
  const Piece& operator[](size_t i) const { return chunks_[i >> kShift][i & kMask]; }

 private:
  static constexpr int kShift = 15;
  static constexpr size_t kMask = (size_t{1} << kShift) - 1;
  std::vector<std::vector<Piece>> chunks_;
  size_t size_ = 0;
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
// the whole surface would sort them. Counts() has the lines of each group
// so far. False when cancelled.
class CrossingFollower {
 public:
  explicit CrossingFollower(std::span<const double> bounds)
      : bounds_(bounds), counts_(bounds.size() + 1, 0) {}

  bool Follow(int32_t source, const TriangleRec& t, size_t first, PieceList& pieces) {
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
      Emit(static_cast<int32_t>(c), source, lower_, pieces);
      current_.swap(next_);
    }
    Emit(groups, source, current_, pieces);
    return true;
  }
  // A triangle that goes whole to group g.
  void Whole(size_t g) { ++counts_[g]; }
  const std::vector<int64_t>& Counts() const { return counts_; }

 private:
  void Emit(int32_t group, int32_t source, const std::vector<PieceTriangle>& triangles,
            PieceList& pieces) {
    for (const PieceTriangle& t : triangles) pieces.push_back({group, source, t});
    counts_[static_cast<size_t>(group)] += static_cast<int64_t>(triangles.size());
  }

  std::span<const double> bounds_;
  std::vector<int64_t> counts_;
  std::vector<PieceTriangle> current_, next_, lower_;
  PartTriangulator parts_;
};

// The first pass and the lines go in blocks of this many triangles and
// lines; a surface of more than one block is worked on two threads where
// two may run. Small enough that the tests' surfaces take the threads.
constexpr int32_t kBlock = 4096;
constexpr int64_t kChunk = 4096;
static_assert(kBlock % kColouringProgressStep == 0 && kChunk % kColouringProgressStep == 0);

constexpr int32_t kCrossing = -1;  // a triangle's group when it is cut

// A line of the file: a surface triangle, or (low bit set) a piece.
using LineItem = uintptr_t;
constexpr LineItem kPieceBit = 1;
static_assert(alignof(TriangleRec) > 1 && alignof(Piece) > 1);

// The lines of each block of triangles, sorted by group: the whole
// triangles that go to a group and the pieces cut for it, in the order of
// the surface and of the cuts. The file takes each group's lines block by
// block. Pieces lie in the list of the thread that followed their block.
struct FirstPass {
  PieceList Pieces[2];  // by thread
  struct Block {
    std::vector<LineItem> Lines;
    std::vector<int32_t> Start;  // group g's lines are Start[g] to Start[g + 1]
  };
  std::vector<Block> Blocks;
  std::vector<int64_t> Counts;  // lines of each group
  bool Cancelled = false;
};

// Most triangles lie wholly between two bounds and go whole to one class;
// the rest are followed through the cuts. Blocks are taken in turn by this
// thread and, where two may run, a helper, each with its own follower; the
// reports come from this thread only.
FirstPass Follow(const TriangleMesh& surface, std::span<const double> bounds, Reporter& report,
                 int64_t steps) {
  const int32_t n = surface.TriangleCount();
  const size_t groups = bounds.size();
  const int32_t blocks = (n + kBlock - 1) / kBlock;
  const std::span<const TriangleRec> triangles = surface.Triangles();
  FirstPass pass;
  pass.Blocks.resize(static_cast<size_t>(blocks));
  std::atomic<int32_t> nextBlock{0};
  std::atomic<int64_t> followed{0};
  std::atomic<bool> stop{false};
  auto work = [&](CrossingFollower& follower, int thread) {
    PieceList& pieces = pass.Pieces[thread];
    std::vector<int32_t> groupOf(kBlock);
    std::vector<int32_t> at;
    for (;;) {
      if (stop.load(std::memory_order_relaxed)) return;
      const int32_t b = nextBlock.fetch_add(1);
      if (b >= blocks) return;
      const int32_t from = b * kBlock + 1, to = std::min(n, from + kBlock - 1);
      const size_t begin = pieces.size();
      for (int32_t i = from; i <= to; ++i) {
        const TriangleRec& t = triangles[static_cast<size_t>(i)];
        const ExtentsRec box = Box(t.A, t.B, t.C);
        size_t c = 0;
        while (c < groups && box.Min.Z >= bounds[c]) ++c;
        if (c == groups || box.Max.Z <= bounds[c]) {
          groupOf[static_cast<size_t>(i - from)] = static_cast<int32_t>(c);
          follower.Whole(c);
        } else {
          groupOf[static_cast<size_t>(i - from)] = kCrossing;
          if (!follower.Follow(i, t, c, pieces)) {
            stop = true;
            return;
          }
        }
      }
      // The block's lines sorted by group, stably.
      FirstPass::Block& block = pass.Blocks[static_cast<size_t>(b)];
      block.Start.assign(groups + 2, 0);
      for (int32_t i = from; i <= to; ++i)
        if (const int32_t g = groupOf[static_cast<size_t>(i - from)]; g != kCrossing)
          ++block.Start[static_cast<size_t>(g) + 1];
      for (size_t j = begin; j < pieces.size(); ++j)
        ++block.Start[static_cast<size_t>(pieces[j].Group) + 1];
      for (size_t g = 0; g <= groups; ++g) block.Start[g + 1] += block.Start[g];
      block.Lines.resize(static_cast<size_t>(block.Start[groups + 1]));
      at.assign(block.Start.begin(), block.Start.end() - 1);
      size_t next = begin;
      for (int32_t i = from; i <= to; ++i) {
        const int32_t g = groupOf[static_cast<size_t>(i - from)];
        if (g != kCrossing) {
          block.Lines[static_cast<size_t>(at[static_cast<size_t>(g)]++)] =
              reinterpret_cast<LineItem>(&triangles[static_cast<size_t>(i)]);
          continue;
        }
        for (; next < pieces.size() && pieces[next].Source == i; ++next)
          block.Lines[static_cast<size_t>(at[static_cast<size_t>(pieces[next].Group)]++)] =
              reinterpret_cast<LineItem>(&pieces[next]) | kPieceBit;
      }
      followed.fetch_add(to - from + 1);
      if (thread == 0 && !report.Upto(followed.load(), steps)) {
        stop = true;
        return;
      }
    }
  };
  CrossingFollower mine(bounds), theirs(bounds);
  if (blocks >= 2 && TwoThreads())
    RunBoth([&] { work(theirs, 1); },
            [&] {
              try {
                work(mine, 0);
              } catch (...) {
                stop = true;  // the helper stops too before the exception goes on
                throw;
              }
            });
  else
    work(mine, 0);
  if (stop.load() || !report.Upto(n, steps)) {
    pass.Cancelled = true;
    return pass;
  }
  pass.Counts = mine.Counts();
  for (size_t g = 0; g <= groups; ++g) pass.Counts[g] += theirs.Counts()[g];
  return pass;
}

// Lines are formatted in chunks of kChunk, into slots; where two threads may
// run, both format chunks, taken in turn, and this thread writes them in
// order, so the file is the same either way.
class ChunkWriter {
 public:
  // format(chunk, text, formatter) formats the chunk into text (room for
  // kChunk lines) and returns its end; it is called on both threads, each
  // with its own formatter (index 0 this thread's, 1 the helper's).
  using Format = std::function<char*(int64_t chunk, char* text, int formatter)>;
  // written(chunk) after each chunk is written: false stops.
  using Written = std::function<bool(int64_t chunk)>;

  // False when written said stop or the file could not be written.
  static bool Run(int64_t chunks, AtomicFileWriter& out, const Format& format,
                  const Written& written) {
    std::vector<char> single(static_cast<size_t>(kChunk) * kMaxLineText);
    if (chunks < 2 || !TwoThreads()) {
      for (int64_t k = 0; k < chunks; ++k) {
        const char* end = format(k, single.data(), 0);
        if (!out.Write(std::string_view(single.data(), static_cast<size_t>(end - single.data()))) ||
            !written(k))
          return false;
      }
      return true;
    }
    return ChunkWriter(chunks, out, format, written).OnTwoThreads(std::move(single));
  }

 private:
  ChunkWriter(int64_t chunks, AtomicFileWriter& out, const Format& format, const Written& written)
      : chunks_(chunks), out_(out), format_(format), written_(written) {}

  static constexpr int64_t kSlots = 4;
  struct Slot {
    std::vector<char> Text;
    size_t Used = 0;
    int64_t Chunk = -1;  // the chunk the text holds, -1 none
  };

  bool OnTwoThreads(std::vector<char> first) {
    slots_[0].Text = std::move(first);
    for (int64_t s = 1; s < kSlots; ++s) slots_[s].Text.resize(slots_[0].Text.size());
    bool going = true;
    RunBoth([&] { Helper(); }, [&] { going = Writer(); });
    return going;
  }

  // Whether a chunk is left whose slot is free (the chunk kSlots before it
  // written). Under the lock.
  bool CanTake() const { return taken_ < chunks_ && taken_ < writtenChunks_ + kSlots; }

  void FormatInto(int64_t k, int formatter) {
    Slot& slot = slots_[k % kSlots];
    slot.Used = static_cast<size_t>(format_(k, slot.Text.data(), formatter) - slot.Text.data());
    {
      const std::lock_guard lock(mutex_);
      slot.Chunk = k;
    }
    changed_.notify_all();
  }

  void Helper() {
    try {
      for (;;) {
        int64_t k;
        {
          std::unique_lock lock(mutex_);
          changed_.wait(lock, [&] { return stop_ || CanTake() || taken_ >= chunks_; });
          if (stop_ || taken_ >= chunks_) return;
          k = taken_++;
        }
        FormatInto(k, 1);
      }
    } catch (...) {
      {
        const std::lock_guard lock(mutex_);
        failed_ = true;
      }
      changed_.notify_all();
      throw;
    }
  }

  bool Writer() {
    // However this side ends, the helper is let go.
    struct Release {
      ChunkWriter& w;
      ~Release() {
        {
          const std::lock_guard lock(w.mutex_);
          w.stop_ = true;
        }
        w.changed_.notify_all();
      }
    } release{*this};
    while (writtenChunks_ < chunks_) {
      Slot& next = slots_[writtenChunks_ % kSlots];
      std::optional<int64_t> mine;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return failed_ || next.Chunk == writtenChunks_ || CanTake(); });
        if (failed_) return false;  // the helper's exception follows
        if (next.Chunk != writtenChunks_) mine = taken_++;
      }
      if (mine) {
        FormatInto(*mine, 0);
        continue;
      }
      const bool wrote = out_.Write(std::string_view(next.Text.data(), next.Used));
      {
        const std::lock_guard lock(mutex_);
        next.Chunk = -1;
        ++writtenChunks_;
      }
      changed_.notify_all();
      if (!wrote || !written_(writtenChunks_ - 1)) return false;
    }
    return true;
  }

  const int64_t chunks_;
  AtomicFileWriter& out_;
  const Format& format_;
  const Written& written_;
  Slot slots_[kSlots];
  std::mutex mutex_;
  std::condition_variable changed_;
  int64_t taken_ = 0;          // chunks taken for formatting
  int64_t writtenChunks_ = 0;  // chunks written, in order
  bool stop_ = false, failed_ = false;
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
    LineHead Head;
  };
  std::vector<Limits> limits;
  limits.reserve(classes.size());
  constexpr double kRadians = std::numbers::pi / 180;
  for (const ColourClass& k : classes)
    limits.push_back({std::cos(k.Upper * kRadians) - kMargin,
                      std::cos(k.Lower * kRadians) + kMargin,
                      LineHead(ColouringMode::Slope, k.ColourValue())});
  const LineHead white(ColouringMode::Slope, kWhite);

  ColouringOutcome r;
  Reporter report(progress);
  const int32_t n = surface.TriangleCount();
  if (!report.At(0, n, true)) {
    r.Cancelled = true;
    return r;
  }
  const PointTexts points(surface);
  LineFormatter lines(points);
  constexpr size_t kBatch = size_t{1} << 20;  // bytes handed to the writer at once
  std::vector<char> buffer(kBatch + kMaxLineText);
  char* p = buffer.data();
  for (int32_t i = 1; i <= n; ++i) {
    const TriangleRec& t = surface.Triangle(i);
    const double c = SlopeValue(t.A, t.B, t.C);
    const LineHead* head = &white;
    for (const Limits& l : limits)
      if (l.Low <= c && c <= l.High) {
        head = &l.Head;
        break;
      }
    p = lines.Line(p, *head, t);
    ++r.Triangles;
    if (static_cast<size_t>(p - buffer.data()) >= kBatch || i == n) {
      if (!out.Write(std::string_view(buffer.data(), static_cast<size_t>(p - buffer.data()))))
        break;
      p = buffer.data();
    }
    if (!report.At(i, n, i == n)) {
      r.Cancelled = true;
      return r;
    }
  }
  if (!out.ok()) r.Error = out.Error();
  return r;
}

ColouringOutcome WriteElevationColouring(const TriangleMesh& surface,
                                         std::span<const ColourClass> classes,
                                         AtomicFileWriter& out, const ColouringProgress& progress) {
  ColouringOutcome r;
  if (classes.empty()) {
    r.Error = "there are no classes to colour by";
    return r;
  }
  const size_t groups = classes.size();  // group `groups` is what remains after the last
  std::vector<double> bounds;
  for (const ColourClass& k : classes) bounds.push_back(k.Upper);

  const int32_t n = surface.TriangleCount();
  Reporter report(progress);
  if (!report.At(0, 2 * static_cast<int64_t>(n), true)) {
    r.Cancelled = true;
    return r;
  }
  const FirstPass pass = Follow(surface, bounds, report, 2 * static_cast<int64_t>(n));
  if (pass.Cancelled) {
    r.Cancelled = true;
    return r;
  }

  // The file lists the classes in order, each with its triangles in the
  // order of the surface (a cut triangle's pieces in the order of the cuts):
  // group g's lines of block b are segment g * blocks + b of the file.
  const std::span<const TriangleRec> triangles = surface.Triangles();
  const size_t blocks = pass.Blocks.size();
  std::vector<int64_t> segment((groups + 1) * blocks + 1, 0);
  for (size_t g = 0, s = 0; g <= groups; ++g)
    for (size_t b = 0; b < blocks; ++b, ++s)
      segment[s + 1] = segment[s] + pass.Blocks[b].Start[g + 1] - pass.Blocks[b].Start[g];

  // What remains is written in the colour last used.
  int32_t remainder = classes.back().ColourValue();
  for (size_t g = 0; g < groups; ++g)
    if (pass.Counts[g] > 0) remainder = classes[g].ColourValue();

  const PointTexts points(surface);
  LineFormatter formatters[2] = {LineFormatter(points), LineFormatter(points)};
  std::vector<LineHead> heads;
  for (size_t g = 0; g <= groups; ++g)
    heads.emplace_back(ColouringMode::Elevation, g < groups ? classes[g].ColourValue() : remainder);
  const int64_t lines = segment.back();
  const ChunkWriter::Format format = [&](int64_t chunk, char* p, int formatter) {
    LineFormatter& f = formatters[formatter];
    const int64_t from = chunk * kChunk, to = std::min(lines, from + kChunk);
    // The segment of line `from`: the last that starts at or before it.
    auto s = static_cast<size_t>(std::upper_bound(segment.begin(), segment.end(), from) -
                                 segment.begin() - 1);
    constexpr int64_t kAhead = 12;
    for (int64_t k = from; k < to; ++s) {
      const size_t g = s / blocks;
      const FirstPass::Block& block = pass.Blocks[s % blocks];
      const LineItem* items = block.Lines.data();
      const int64_t base = block.Start[g] - segment[s];  // items[base + k] is line k
      const LineHead& head = heads[g];
      const int64_t last = segment[s + 1];
      for (const int64_t end = std::min(to, last); k < end; ++k) {
        // A class's triangles lie scattered over the surface's list: each
        // would be a wait for memory if not asked for a few lines ahead.
        if (k + kAhead < last) {
          const char* ahead = reinterpret_cast<const char*>(items[base + k + kAhead] & ~kPieceBit);
          __builtin_prefetch(ahead);
          __builtin_prefetch(ahead + 64);
        }
        const LineItem item = items[base + k];
        if (item & kPieceBit) {
          const Piece& piece = *reinterpret_cast<const Piece*>(item & ~kPieceBit);
          p = f.Line(p, head, piece.T, triangles[static_cast<size_t>(piece.Source)]);
        } else {
          p = f.Line(p, head, *reinterpret_cast<const TriangleRec*>(item));
        }
      }
    }
    return p;
  };
  const int64_t total = n + lines;
  bool stopped = false;
  const ChunkWriter::Written written = [&](int64_t chunk) {
    r.Triangles = std::min(lines, (chunk + 1) * kChunk);
    stopped = !report.Upto(n + r.Triangles, total);
    return !stopped;
  };
  ChunkWriter::Run((lines + kChunk - 1) / kChunk, out, format, written);
  if (!out.ok()) {
    r.Error = out.Error();
    return r;
  }
  r.Cancelled = stopped || !report.At(total, total, true);
  return r;
}

}  // namespace orvane
