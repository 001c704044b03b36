#include "project/colouring/Colouring.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

#include "analysis/ElevationBands.h"
#include "analysis/StepProgress.h"
#include "formats/PointTexts.h"
#include "project/colouring/ChunkWriter.h"

namespace orvane {

namespace {

constexpr int64_t kChunk = 4096;  // lines formatted at once
static_assert(kChunk % StepProgress::kStep == 0);

Outcome WriteFailure(const AtomicFileWriter& out) {
  return Outcome::Failure(ErrorCode::CannotWrite, out.Error());
}

// The head of the first slope class that takes slope value c, white's when
// none does: cos(upper) <= c <= cos(lower), with a margin for bounds met
// exactly.
class SlopeHeads {
 public:
  explicit SlopeHeads(std::span<const ColourClass> classes) {
    constexpr double kMargin = 1e-12;
    constexpr double kRadians = std::numbers::pi / 180;
    limits_.reserve(classes.size());
    for (const ColourClass& k : classes)
      limits_.push_back({std::cos(k.Upper * kRadians) - kMargin,
                         std::cos(k.Lower * kRadians) + kMargin,
                         LineHead(ColouringMode::Slope, k.ColourValue())});
  }
  const LineHead& Of(double c) const {
    for (const Limits& l : limits_)
      if (l.Low <= c && c <= l.High) return l.Head;
    return white_;
  }

 private:
  struct Limits {
    double Low, High;
    LineHead Head;
  };
  std::vector<Limits> limits_;
  const LineHead white_{ColouringMode::Slope, kWhite};
};

// The lines of an elevation colouring: the bands in order, each with its
// triangles in the order of the surface (a cut triangle's pieces in the
// order of the cuts): band g's items of block b are segment g * blocks + b
// of the file.
class BandLines {
 public:
  BandLines(const TriangleMesh& surface, std::span<const ColourClass> classes,
            const ElevationBands& bands)
      : triangles_(surface.Triangles()),
        bands_(bands),
        blocks_(bands.Blocks.size()),
        points_(surface),
        formatters_{LineFormatter(points_), LineFormatter(points_)} {
    const size_t groups = classes.size();  // band `groups` is what remains after the last
    segment_.assign((groups + 1) * blocks_ + 1, 0);
    for (size_t g = 0, s = 0; g <= groups; ++g)
      for (size_t b = 0; b < blocks_; ++b, ++s)
        segment_[s + 1] = segment_[s] + bands.Blocks[b].Start[g + 1] - bands.Blocks[b].Start[g];
    // What remains is written in the colour last used.
    int32_t remainder = classes.back().ColourValue();
    for (size_t g = 0; g < groups; ++g)
      if (bands.Counts[g] > 0) remainder = classes[g].ColourValue();
    for (size_t g = 0; g <= groups; ++g)
      heads_.emplace_back(ColouringMode::Elevation,
                          g < groups ? classes[g].ColourValue() : remainder);
  }

  int64_t Count() const { return segment_.back(); }

  // Lines from..to (excluded) at p with formatter f; returns the end.
  char* Format(int64_t from, int64_t to, char* p, int f) {
    // The segment of line `from`: the last that starts at or before it.
    auto s = static_cast<size_t>(std::upper_bound(segment_.begin(), segment_.end(), from) -
                                 segment_.begin() - 1);
    for (int64_t k = from; k < to; ++s)
      p = FormatSegment(s, k, std::min(to, segment_[s + 1]), p, f);
    return p;
  }

 private:
  // Lines k..end (excluded) of segment s; k ends at end.
  char* FormatSegment(size_t s, int64_t& k, int64_t end, char* p, int f) {
    constexpr int64_t kAhead = 12;
    const size_t g = s / blocks_;
    const ElevationBands::Block& block = bands_.Blocks[s % blocks_];
    const BandItem* items = block.Items.data();
    const int64_t base = block.Start[g] - segment_[s];  // items[base + k] is line k
    const LineHead& head = heads_[g];
    const int64_t last = segment_[s + 1];
    LineFormatter& formatter = formatters_[f];
    for (; k < end; ++k) {
      // A band's triangles lie scattered over the surface's list: each
      // would be a wait for memory if not asked for a few lines ahead.
      if (k + kAhead < last) {
        const char* ahead = static_cast<const char*>(AddressOf(items[base + k + kAhead]));
        __builtin_prefetch(ahead);
        __builtin_prefetch(ahead + 64);
      }
      const BandItem item = items[base + k];
      if (IsPiece(item)) {
        const BandPiece& piece = PieceOf(item);
        p = formatter.Line(p, head, piece.T, triangles_[static_cast<size_t>(piece.Source)]);
      } else {
        p = formatter.Line(p, head, TriangleOf(item));
      }
    }
    return p;
  }

  const std::span<const TriangleRec> triangles_;
  const ElevationBands& bands_;
  const size_t blocks_;
  std::vector<int64_t> segment_;
  std::vector<LineHead> heads_;
  const PointTexts points_;
  LineFormatter formatters_[2];
};

}  // namespace

Result<int64_t> WriteSlopeColouring(const TriangleMesh& surface,
                                    std::span<const ColourClass> classes, AtomicFileWriter& out,
                                    Feedback& feedback) {
  const SlopeHeads heads(classes);
  StepProgress report(feedback);
  const int32_t n = surface.TriangleCount();
  if (!report.At(0, n, true)) return Outcome::Cancel();
  const PointTexts points(surface);
  LineFormatter lines(points);
  constexpr size_t kBatch = size_t{1} << 20;  // bytes handed to the writer at once
  std::vector<char> buffer(kBatch + kMaxLineText);
  char* p = buffer.data();
  int64_t written = 0;
  for (int32_t i = 1; i <= n; ++i) {
    const TriangleRec& t = surface.Triangle(i);
    p = lines.Line(p, heads.Of(SlopeValue(t.A, t.B, t.C)), t);
    ++written;
    if (static_cast<size_t>(p - buffer.data()) >= kBatch || i == n) {
      if (!out.Write(std::string_view(buffer.data(), static_cast<size_t>(p - buffer.data()))))
        break;
      p = buffer.data();
    }
    if (!report.At(i, n, i == n)) return Outcome::Cancel();
  }
  if (!out.ok()) return WriteFailure(out);
  return written;
}

Result<int64_t> WriteElevationColouring(const TriangleMesh& surface,
                                        std::span<const ColourClass> classes, AtomicFileWriter& out,
                                        Feedback& feedback) {
  if (classes.empty())
    return Outcome::Failure(ErrorCode::Refused, "there are no classes to colour by");
  std::vector<double> bounds;
  for (const ColourClass& k : classes) bounds.push_back(k.Upper);
  const int32_t n = surface.TriangleCount();
  if (!StepProgress(feedback).At(0, 2 * static_cast<int64_t>(n), true)) return Outcome::Cancel();
  const Result<ElevationBands> bands =
      CutElevationBands(surface, bounds, feedback, 2 * static_cast<int64_t>(n));
  if (!bands) return bands.Error();

  BandLines lines(surface, classes, *bands);
  const int64_t count = lines.Count(), total = n + count;
  StepProgress report(feedback, n);  // the cut reported up to n
  int64_t written = 0;
  bool stopped = false;
  const ChunkWriter::Format format = [&](int64_t chunk, char* p, int formatter) {
    return lines.Format(chunk * kChunk, std::min(count, (chunk + 1) * kChunk), p, formatter);
  };
  const ChunkWriter::Written done = [&](int64_t chunk) {
    written = std::min(count, (chunk + 1) * kChunk);
    stopped = !report.Upto(n + written, total);
    return !stopped;
  };
  ChunkWriter::Run((count + kChunk - 1) / kChunk, static_cast<size_t>(kChunk) * kMaxLineText, out,
                   format, done);
  if (!out.ok()) return WriteFailure(out);
  if (stopped || !report.At(total, total, true)) return Outcome::Cancel();
  return written;
}

}  // namespace orvane
