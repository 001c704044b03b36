#include "formats/LasPointText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "core/support/NumberText.h"
#include "formats/TextFiles.h"

namespace orvane {

namespace {

using Wide = __int128;

constexpr int64_t kPow10[19] = {1,
                                10,
                                100,
                                1000,
                                10000,
                                100000,
                                1000000,
                                10000000,
                                100000000,
                                1000000000,
                                10000000000,
                                100000000000,
                                1000000000000,
                                10000000000000,
                                100000000000000,
                                1000000000000000,
                                10000000000000000,
                                100000000000000000,
                                1000000000000000000};

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

char* WriteUnsigned(char* out, uint64_t v) {
  char tmp[20];
  char* p = tmp + sizeof tmp;
  while (v >= 100) {
    const uint64_t q = v / 100;
    p -= 2;
    std::memcpy(p, kPairs + 2 * (v - q * 100), 2);
    v = q;
  }
  if (v >= 10) {
    p -= 2;
    std::memcpy(p, kPairs + 2 * v, 2);
  } else {
    *--p = static_cast<char>('0' + v);
  }
  const auto n = static_cast<size_t>(tmp + sizeof tmp - p);
  std::memcpy(out, p, n);
  return out + n;
}

// A double as the shortest decimal that reads back as it: mantissa *
// 10^exponent, the mantissa without trailing zeros.
struct Decimal {
  int64_t Mantissa = 0;
  int Exponent = 0;
};
Decimal ShortestDecimal(double d) {
  char buf[64];
  const char* end = std::to_chars(buf, buf + sizeof buf, d).ptr;
  Decimal r;
  const char* p = buf;
  const bool negative = *p == '-';
  if (negative) ++p;
  int fraction = 0;
  bool point = false;
  for (; p < end && *p != 'e'; ++p) {
    if (*p == '.') {
      point = true;
      continue;
    }
    r.Mantissa = r.Mantissa * 10 + (*p - '0');  // at most 17 digits
    if (point) ++fraction;
  }
  int exponent = 0;
  if (p < end) std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);
  r.Exponent = exponent - fraction;
  while (r.Mantissa != 0 && r.Mantissa % 10 == 0) {
    r.Mantissa /= 10;
    ++r.Exponent;
  }
  if (negative) r.Mantissa = -r.Mantissa;
  return r;
}

// The text of one axis's coordinates (the header's comment tells the rule).
class AxisText {
 public:
  AxisText(double scale, double offset) : scale_(scale), offset_(offset) {
    const Decimal s = ShortestDecimal(scale), o = ShortestDecimal(offset);
    const int e = std::max({0, -s.Exponent, o.Mantissa == 0 ? 0 : -o.Exponent});
    const int sa = s.Exponent + e, ob = o.Exponent + e;
    if (e > 18 || sa > 18 || (o.Mantissa != 0 && ob > 18)) return;
    const Wide a = Wide{s.Mantissa} * kPow10[sa];
    const Wide b = o.Mantissa == 0 ? 0 : Wide{o.Mantissa} * kPow10[ob];
    const Wide largest = (a < 0 ? -a : a) * (Wide{1} << 31) + (b < 0 ? -b : b);
    if (largest >= Wide{std::numeric_limits<int64_t>::max()}) return;
    exact_ = true;
    a_ = static_cast<int64_t>(a);
    b_ = static_cast<int64_t>(b);
    e_ = e;
    far_ = e <= 9 ? kPow10[9 + e] : std::numeric_limits<int64_t>::max();
  }

  double Value(int32_t v) const { return std::fma(static_cast<double>(v), scale_, offset_); }
  bool Far(int32_t v) const {
    if (!exact_) return !(std::abs(Value(v)) <= kMaxCoordinate);
    const int64_t w = v * a_ + b_;
    return w > far_ || w < -far_;
  }
  // True when a is lower on this axis than b.
  bool Lower(int32_t a, int32_t b) const { return scale_ > 0 ? a < b : a > b; }

  char* Write(char* out, int32_t v) const {
    if (!exact_) return std::to_chars(out, out + kMaxNumberText, Value(v)).ptr;
    const int64_t w = v * a_ + b_;
    uint64_t u = static_cast<uint64_t>(w);
    if (w < 0) {
      *out++ = '-';
      u = 0 - u;
    }
    // Division by a constant is a multiplication: one case per usual count
    // of decimals.
    switch (e_) {
      case 0:
        return WriteUnsigned(out, u);
      case 1:
        return WriteDecimals<1>(out, u);
      case 2:
        return WriteDecimals<2>(out, u);
      case 3:
        return WriteDecimals<3>(out, u);
      case 4:
        return WriteDecimals<4>(out, u);
      case 5:
        return WriteDecimals<5>(out, u);
      case 6:
        return WriteDecimals<6>(out, u);
      case 7:
        return WriteDecimals<7>(out, u);
      case 8:
        return WriteDecimals<8>(out, u);
      default:
        return WriteDecimals(out, u, e_);
    }
  }

 private:
  template <int E>
  static char* WriteDecimals(char* out, uint64_t u) {
    return WriteDecimals(out, u, E);
  }
  // u / 10^e in full, trailing zeros of the fraction dropped.
  static inline __attribute__((always_inline)) char* WriteDecimals(char* out, uint64_t u, int e) {
    const auto unit = static_cast<uint64_t>(kPow10[e]);
    const uint64_t whole = u / unit;
    uint64_t part = u - whole * unit;
    out = WriteUnsigned(out, whole);
    if (part == 0) return out;
    *out++ = '.';
    char* end = out + e;
    for (char* p = end; p > out;) {
      *--p = static_cast<char>('0' + part % 10);
      part /= 10;
    }
    while (end[-1] == '0') --end;
    return end;
  }
  double scale_, offset_;
  bool exact_ = false;
  int64_t a_ = 0, b_ = 0, far_ = 0;
  int e_ = 0;
};

constexpr size_t kMaxLine = 3 * 48 + 2;
constexpr size_t kTextBatch = size_t{1} << 20;

struct Kept {
  uint64_t Index;
  int32_t X, Y, Z;
};

// One point per plan cell, the lowest, in an open-addressing table: a cloud
// thinned to millions of cells keeps them in one array, not a node each.
class ThinCells {
 public:
  // Offers point p of cell (cx, cy); false when the cell held a point
  // already (the higher of the two, or the later of equally low ones, is
  // dropped).
  bool Offer(int64_t cx, int64_t cy, const Kept& p, const AxisText& z) {
    if ((used_ + 1) * 2 > slots_.size()) Grow();
    for (size_t at = Hash(cx, cy);; ++at) {
      Slot& s = slots_[at & (slots_.size() - 1)];
      if (s.P.Index == kEmpty) {
        s = {cx, cy, p};
        ++used_;
        return true;
      }
      if (s.X == cx && s.Y == cy) {
        if (z.Lower(p.Z, s.P.Z)) s.P = p;
        return false;
      }
    }
  }
  size_t size() const { return used_; }
  void clear() {
    slots_.clear();
    used_ = 0;
  }
  // The points kept, in file order.
  std::vector<Kept> InFileOrder() const {
    std::vector<Kept> kept;
    kept.reserve(used_);
    for (const Slot& s : slots_)
      if (s.P.Index != kEmpty) kept.push_back(s.P);
    std::sort(kept.begin(), kept.end(),
              [](const Kept& a, const Kept& b) { return a.Index < b.Index; });
    return kept;
  }

 private:
  static constexpr uint64_t kEmpty = ~uint64_t{0};
  struct Slot {
    int64_t X = 0, Y = 0;
    Kept P{kEmpty, 0, 0, 0};
  };
  static size_t Hash(int64_t x, int64_t y) {
    const uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull ^
                       (static_cast<uint64_t>(y) + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
    return static_cast<size_t>(h ^ (h >> 29));
  }
  void Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(std::max<size_t>(1024, old.size() * 2), Slot{});
    for (const Slot& s : old) {
      if (s.P.Index == kEmpty) continue;
      size_t at = Hash(s.X, s.Y);
      while (slots_[at & (slots_.size() - 1)].P.Index != kEmpty) ++at;
      slots_[at & (slots_.size() - 1)] = s;
    }
  }
  std::vector<Slot> slots_;
  size_t used_ = 0;
};

class TextOut {
 public:
  TextOut(const std::array<AxisText, 3>& axes, const std::filesystem::path& target)
      : axes_(axes), target_(target), text_(kTextBatch + kMaxLine) {
    Restart();
  }
  // Drops what was written and starts the file afresh.
  void Restart() {
    writer_ = std::make_unique<AtomicFileWriter>(target_);
    used_ = 0;
  }
  bool Line(int32_t x, int32_t y, int32_t z) {
    char* p = text_.data() + used_;
    p = axes_[0].Write(p, x);
    *p++ = ' ';
    p = axes_[1].Write(p, y);
    *p++ = ' ';
    p = axes_[2].Write(p, z);
    *p++ = '\r';
    *p++ = '\n';
    used_ = static_cast<size_t>(p - text_.data());
    return used_ < kTextBatch || Flush();
  }
  bool Flush() {
    const bool ok = writer_->Write(std::string_view(text_.data(), used_));
    used_ = 0;
    return ok;
  }
  std::unique_ptr<AtomicFileWriter>& Writer() { return writer_; }

 private:
  const std::array<AxisText, 3>& axes_;
  std::filesystem::path target_;
  std::vector<char> text_;
  size_t used_ = 0;
  std::unique_ptr<AtomicFileWriter> writer_;
};

std::string ListedClasses(const std::array<bool, 256>& listed) {
  std::string text;
  int n = 0;
  for (int c = 0; c < 256; ++c)
    if (listed[static_cast<size_t>(c)]) text += (n++ ? ", " : "") + std::to_string(c);
  return (n == 1 ? "class " : "classes ") + text;
}

}  // namespace

Result<LasSelection> ParseLasClasses(std::string_view text) {
  LasSelection s;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.empty()) return s;
  if (text == "all") {
    s.Classes = LasClasses::All;
    return s;
  }
  s.Classes = LasClasses::Listed;
  const auto refuse = [&] {
    std::string message(1, '"');
    message.append(text);
    message.append(
        "\" is no list of classes: give codes 0 to 255 separated by commas (\"2,9\"), "
        "or \"all\"");
    return Outcome::Failure(ErrorCode::Refused, std::move(message));
  };
  for (size_t at = 0; at <= text.size();) {
    size_t end = text.find(',', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view field = text.substr(at, end - at);
    while (!field.empty() && blank(field.front())) field.remove_prefix(1);
    while (!field.empty() && blank(field.back())) field.remove_suffix(1);
    int code = -1;
    const auto r = std::from_chars(field.data(), field.data() + field.size(), code);
    if (field.empty() || r.ec != std::errc() || r.ptr != field.data() + field.size() || code < 0 ||
        code > 255)
      return refuse();
    s.Listed[static_cast<size_t>(code)] = true;
    at = end + 1;
  }
  return s;
}

std::string LasCoordinateText(int32_t v, double scale, double offset) {
  char buf[64];
  return std::string(buf, AxisText(scale, offset).Write(buf, v));
}

namespace {

// Which points of the records go to the text, and what became of the
// others.
struct PointChoice {
  const LasSelection& selection;
  const std::array<AxisText, 3>& axes;
  TextOut& out;
  LasPointCount count;
  std::array<bool, 256> keep{};
  // Until a ground point turns up every class is kept; the first one drops
  // what was written (none of it was ground) and keeps class 2 alone.
  bool awaitingGround = false;
  ThinCells cells;

  PointChoice(const LasSelection& s, const std::array<AxisText, 3>& a, TextOut& o)
      : selection(s), axes(a), out(o) {
    if (s.Classes == LasClasses::Listed)
      keep = s.Listed;
    else
      keep.fill(true);
    awaitingGround = s.Classes == LasClasses::GroundOrAll;
  }

  // Point p, record i of the file: false once the text cannot be written.
  bool Take(const LasPoint& p, uint64_t i) {
    if (p.Withheld) {
      ++count.Withheld;
      return true;
    }
    if ((selection.Returns == LasReturns::First && p.Return > 1) ||
        (selection.Returns == LasReturns::Last && p.Return < p.ReturnCount)) {
      ++count.OtherReturns;
      return true;
    }
    if (awaitingGround && p.Class == 2) {
      awaitingGround = false;
      keep.fill(false);
      keep[2] = true;
      count.OtherClasses += count.Far + count.Thinned + count.Written + cells.size();
      count.Far = count.Thinned = count.Written = 0;
      cells.clear();
      out.Restart();
    }
    if (!keep[p.Class]) {
      ++count.OtherClasses;
      return true;
    }
    if (axes[0].Far(p.X) || axes[1].Far(p.Y) || axes[2].Far(p.Z)) {
      ++count.Far;
      return true;
    }
    if (selection.ThinCell > 0) {
      const double cell = selection.ThinCell;
      if (!cells.Offer(static_cast<int64_t>(std::floor(axes[0].Value(p.X) / cell)),
                       static_cast<int64_t>(std::floor(axes[1].Value(p.Y) / cell)),
                       {i, p.X, p.Y, p.Z}, axes[2]))
        ++count.Thinned;
      return true;
    }
    ++count.Written;
    return out.Line(p.X, p.Y, p.Z);
  }

  std::string ClassesKept() const {
    switch (selection.Classes) {
      case LasClasses::Listed:
        return ListedClasses(selection.Listed);
      case LasClasses::All:
        return "every class";
      case LasClasses::GroundOrAll:
        break;
    }
    return awaitingGround ? "every class (the file has no ground points)" : "ground (class 2)";
  }
};

}  // namespace

Result<LasPointText> WriteLasPointText(LasReader& reader, const LasSelection& selection,
                                       const std::filesystem::path& target, Feedback& feedback) {
  if (selection.ThinCell != 0 &&
      !(selection.ThinCell >= kMinThinCell && std::isfinite(selection.ThinCell)))
    return Outcome::Failure(ErrorCode::Refused, "the thinning cell must be at least 0.000001 m");
  feedback.Phase(kLasReadingPhase);
  const LasHeader& h = reader.Header();
  const std::array<AxisText, 3> axes{AxisText(h.Scale[0], h.Offset[0]),
                                     AxisText(h.Scale[1], h.Offset[1]),
                                     AxisText(h.Scale[2], h.Offset[2])};
  TextOut out(axes, target);
  PointChoice choice(selection, axes, out);
  const uint64_t total = h.PointCount;
  std::vector<LasPoint> points;
  uint64_t index = 0;
  for (;;) {
    if (feedback.Cancelled()) return Outcome::Cancel();
    if (Outcome read = reader.Next(points); !read) return read;
    if (points.empty()) break;
    for (const LasPoint& p : points)
      if (!choice.Take(p, index++)) break;
    if (!out.Writer()->ok()) break;
    feedback.Progress(static_cast<int32_t>(100.0 * static_cast<double>(index) /
                                           static_cast<double>(std::max<uint64_t>(total, 1))),
                      true);
  }
  LasPointCount count = std::move(choice.count);
  count.Records = index;
  if (selection.ThinCell > 0) {
    const std::vector<Kept> kept = choice.cells.InFileOrder();
    for (const Kept& k : kept)
      if (!out.Line(k.X, k.Y, k.Z)) break;
    count.Written = kept.size();
  }
  out.Flush();
  if (!out.Writer()->ok())
    return Outcome::Failure(ErrorCode::CannotWrite, out.Writer()->Error(), target);
  count.ClassesKept = choice.ClassesKept();
  return LasPointText{std::move(count), std::move(out.Writer())};
}

}  // namespace orvane
