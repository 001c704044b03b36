#include "formats/TextFiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <system_error>

#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"

namespace orvane {

namespace {

// Bytes read from the file at a time. Big enough that the system call cost
// vanishes, small enough that a huge file never sits in memory whole.
constexpr size_t kChunkBytes = size_t{4} << 20;
// One slot is kept for the closing point a zone may still need.
constexpr int32_t kMaxListPoints = std::numeric_limits<int32_t>::max() - 1;

bool IsFieldDelimiter(char c) {
  return c == ' ' || c == '\t';
}

// Collects the problems of one file.
class Issues {
 public:
  explicit Issues(TextReadReport& report) : report_(report) {}
  void Note(int64_t line, LineProblem problem) {
    if (problem == LineProblem::TrailingCharacters || problem == LineProblem::DecimalComma)
      ++report_.SuspectLines;
    else
      ++report_.SkippedLines;
    if (report_.FirstIssues.size() < kMaxReportedIssues)
      report_.FirstIssues.push_back({line, problem});
  }

 private:
  TextReadReport& report_;
};

// Splits text into lines at LF, CR LF and lone CR, fed block by block. Hands
// each non-empty line with its 1-based number to sink.Line(number, text) and
// reports over-long ones to sink.Problem(number, TooLong).
class LineCursor {
 public:
  // Consumes the complete lines of [p, end) and returns where the unfinished
  // last line starts (end when final: the rest is the file's last line).
  template <class Sink>
  const char* Block(const char* p, const char* end, bool final, Sink& sink) {
    if (!started_) {
      // A byte-order mark that some editors put at the start of a file is
      // no part of the first line's first number.
      started_ = true;
      if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    }
    if (afterCR_ && p < end) {
      afterCR_ = false;
      if (*p == '\n') ++p;  // the LF of a CR LF split between two blocks
    }
    const char* nl = nullptr;  // the next LF at or after p (end when none)
    while (p < end) {
      if (nl == nullptr || nl < p) {
        nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (nl == nullptr) nl = end;
      }
      const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(nl - p)));
      const char* q = cr != nullptr ? cr : nl;
      if (q == end && !final) return p;
      Emit(std::string_view(p, static_cast<size_t>(q - p)), sink);
      ++line_;
      if (q == end) return end;
      p = q + 1;
      if (*q == '\r') {
        if (p < end && *p == '\n')
          ++p;
        else if (p == end)
          afterCR_ = true;
      }
    }
    return p;
  }

  // The unfinished line has grown past the limit: report it and drop its
  // bytes up to its end.
  template <class Sink>
  void Discard(Sink& sink) {
    if (!discarding_) sink.Problem(line_, LineProblem::TooLong);
    discarding_ = true;
  }

 private:
  template <class Sink>
  void Emit(std::string_view text, Sink& sink) {
    if (discarding_) {
      discarding_ = false;
      return;
    }
    if (text.empty()) return;
    if (text.size() > kMaxTextLineBytes) {
      sink.Problem(line_, LineProblem::TooLong);
      return;
    }
    sink.Line(line_, text);
  }

  int64_t line_ = 1;
  bool afterCR_ = false;
  bool started_ = false;  // past the first bytes of the file
  bool discarding_ = false;
};

// Feeds a whole file through a LineCursor in chunks. Fails with the reason
// the file could not be read to its end.
template <class Sink>
Outcome ScanFile(const std::filesystem::path& file, Sink& sink) {
  Result<FileReader> in = FileReader::Open(file);
  if (!in) return in.Error();
  std::string error;
  // Never read past the size seen when opening: a file that keeps growing
  // cannot keep the reader busy.
  uint64_t left = in->Size();
  const size_t capacity =
      static_cast<size_t>(std::min<uint64_t>(left, kChunkBytes)) + kMaxTextLineBytes + 1;
  std::vector<char> buf(capacity);
  LineCursor cursor;
  size_t used = 0;  // bytes of an unfinished line kept at the front
  for (;;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left, buf.size() - used));
    size_t got = 0;
    if (want > 0) {
      got = in->Read(reinterpret_cast<uint8_t*>(buf.data() + used), want);
      if (got == 0) error = file.string() + ": read failed before the end of the file";
    }
    left -= got;
    const bool final = left == 0 || got == 0;
    const char* end = buf.data() + used + got;
    const char* rest = cursor.Block(buf.data(), end, final, sink);
    if (final) break;
    used = static_cast<size_t>(end - rest);
    if (used > kMaxTextLineBytes) {
      cursor.Discard(sink);
      used = 0;
    } else {
      std::memmove(buf.data(), rest, used);
    }
  }
  if (error.empty()) return {};
  return Outcome::Failure(ErrorCode::Unreadable, std::move(error), file);
}

template <class Sink>
void ScanText(std::string_view text, Sink& sink) {
  LineCursor cursor;
  cursor.Block(text.data(), text.data() + text.size(), true, sink);
}

enum class NumberRead { Number, NotNumber, OutOfRange };

constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The plain decimals of survey files ("4500123.456"), read without
// from_chars' general machinery: digits with at most one "." and no
// exponent, whose digits as an integer m stay below 2^53 with k decimals,
// k <= 22. Both m and 10^k are exact doubles, so m / 10^k is the correctly
// rounded value of the decimal: the double from_chars gives, bit for bit.
// False, with p unmoved, for anything else.
bool ReadPlainDecimal(const char*& p, const char* end, double& value) {
  const char* q = p;
  const bool negative = q < end && *q == '-';
  if (negative) ++q;
  uint64_t m = 0;
  int digits = 0, decimals = 0;
  bool point = false;
  for (; q < end; ++q) {
    const char c = *q;
    if (c >= '0' && c <= '9') {
      if (++digits > 19) return false;  // m could overflow
      m = m * 10 + static_cast<uint64_t>(c - '0');
      decimals += point ? 1 : 0;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0 || (q < end && (*q == 'e' || *q == 'E'))) return false;
  if (m > (uint64_t{1} << 53) || decimals > 22) return false;
  const double v = static_cast<double>(m) / kExactPow10[decimals];
  value = negative ? -v : v;
  p = q;
  return true;
}

// The number at the start of [p, end): "." is the decimal point, an optional
// sign, digits, fraction and exponent; "inf", "nan" and hexadecimal forms are
// not numbers. Moves p past what was read.
NumberRead ReadNumber(const char*& p, const char* end, double& value) {
  const char* s = p;
  if (s < end && *s == '+') ++s;
  const char* d = s;
  if (d == p && d < end && *d == '-') ++d;
  if (d == end || !((*d >= '0' && *d <= '9') || *d == '.')) return NumberRead::NotNumber;
  if (ReadPlainDecimal(s, end, value)) {
    p = s;
    return NumberRead::Number;
  }
  const auto r = std::from_chars(s, end, value, std::chars_format::general);
  if (r.ec == std::errc::invalid_argument) return NumberRead::NotNumber;  // "." or "-."
  p = r.ptr;
  if (r.ec == std::errc::result_out_of_range) return NumberRead::OutOfRange;
  return NumberRead::Number;
}

// x, y, z of a point line and what, if anything, was wrong with it.
struct PointLine {
  double v[3] = {0, 0, 0};
  std::optional<LineProblem> problem;  // a skip, or a kept line's remark
  bool Kept() const {
    return !problem || *problem == LineProblem::TrailingCharacters ||
           *problem == LineProblem::DecimalComma;
  }
};

const char* SkipDelimiters(const char* p, const char* end) {
  while (p < end && IsFieldDelimiter(*p)) ++p;
  return p;
}

PointLine ParsePointLine(std::string_view line) {
  PointLine out;
  if (std::memchr(line.data(), '\0', line.size()) != nullptr) {
    out.problem = LineProblem::ContainsNul;
    return out;
  }
  const char* p = line.data();
  const char* const end = p + line.size();
  int numbers = 0;
  bool outOfRange = false, far = false;
  std::optional<LineProblem> trailing;
  for (int k = 0; k < 3; ++k) {
    // Fields are separated by runs of blanks and tabs, leading ones included:
    // aligned columns are common in survey exports.
    p = SkipDelimiters(p, end);
    if (p == end) {
      out.problem = LineProblem::TooFewFields;
      return out;
    }
    switch (ReadNumber(p, end, out.v[k])) {
      case NumberRead::Number:
        ++numbers;
        if (!(std::abs(out.v[k]) <= kMaxCoordinate)) far = true;
        break;
      case NumberRead::NotNumber:
        out.v[k] = 0;
        break;
      case NumberRead::OutOfRange:
        outOfRange = true;
        break;
    }
    if (p < end && !IsFieldDelimiter(*p)) {
      // Characters glued to the number: its leading part is what counts, but
      // the user hears about it.
      if (!trailing)
        trailing = *p == ',' ? LineProblem::DecimalComma : LineProblem::TrailingCharacters;
      while (p < end && !IsFieldDelimiter(*p)) ++p;
    }
  }
  if (outOfRange)
    out.problem = LineProblem::OutOfRange;
  else if (numbers == 0)
    out.problem = LineProblem::NoNumber;
  else if (numbers < 3)
    out.problem = LineProblem::NotANumber;
  else if (far)
    out.problem = LineProblem::FarCoordinate;
  else
    out.problem = trailing;
  return out;
}

// Adds the point of a line to list, or notes why not.
void AddPointLine(int64_t number, std::string_view text, PointList& list, Issues& issues) {
  // A line of blanks and tabs is a blank line, not a bad point.
  if (text.find_first_not_of(" \t") == std::string_view::npos) return;
  const PointLine pl = ParsePointLine(text);
  if (pl.problem) issues.Note(number, *pl.problem);
  if (!pl.Kept()) return;
  if (list.count() >= kMaxListPoints) {
    issues.Note(number, LineProblem::TooManyPoints);
    return;
  }
  list.AddVertex(pl.v[0], pl.v[1], pl.v[2], 0);
}

struct PointSink {
  PointFile& out;
  Issues issues{out.Report};
  void Line(int64_t number, std::string_view text) {
    AddPointLine(number, text, out.Points, issues);
  }
  void Problem(int64_t number, LineProblem problem) { issues.Note(number, problem); }
};

struct PolylineSink {
  PolylineSink(PolylineFile& o, PolylineLayout layout)
      : out(o),
        issues(o.Report),
        model(layout == PolylineLayout::Zones   ? PointListModel::Boundary
              : layout == PolylineLayout::Holes ? PointListModel::Hole
                                                : PointListModel::Breakline),
        separator(layout == PolylineLayout::Breaklines ? "BREAKLINE" : "ZONA_INC"),
        closed(layout != PolylineLayout::Breaklines) {
    current.Model = model;
  }

  void Line(int64_t number, std::string_view text) {
    if (IsSeparator(text)) {
      if (current.count() < 1) return;
      if (closed) {
        const PointRec first = current.Point(1);
        current.AddVertex(first.X, first.Y, first.Z, 0);
      }
      Finish();
      return;
    }
    AddPointLine(number, text, current, issues);
  }
  void Problem(int64_t number, LineProblem problem) { issues.Note(number, problem); }

  // The last item: closed only when it does not already end where it starts.
  void End() {
    if (current.count() < 1) return;
    if (closed) {
      const PointRec first = current.Point(1), last = current.Point(current.count());
      if (first.X != last.X || first.Y != last.Y) current.AddVertex(first.X, first.Y, first.Z, 0);
    }
    Finish();
  }

  bool IsSeparator(std::string_view text) const {
    return text.starts_with(separator) &&
           (text.size() == separator.size() || IsFieldDelimiter(text[separator.size()]));
  }
  void Finish() {
    out.Lists.push_back(std::move(current));
    current = PointList();
    current.Model = model;
  }

  PolylineFile& out;
  Issues issues;
  int32_t model;
  std::string_view separator;
  bool closed;
  PointList current;
};

struct TableSink {
  TextTable& out;
  char delimiter;
  Issues issues{out.Report};
  void Line(int64_t number, std::string_view text) {
    if (std::memchr(text.data(), '\0', text.size()) != nullptr) {
      issues.Note(number, LineProblem::ContainsNul);
      return;
    }
    std::vector<std::string> row;
    for (;;) {
      const size_t cut = text.find(delimiter);
      row.emplace_back(text.substr(0, cut));
      if (cut == std::string_view::npos) break;
      text.remove_prefix(cut + 1);
    }
    out.Rows.push_back(std::move(row));
    out.LineNumbers.push_back(number);
  }
  void Problem(int64_t number, LineProblem problem) { issues.Note(number, problem); }
};

}  // namespace

std::string_view Describe(LineProblem problem) {
  switch (problem) {
    case LineProblem::TooFewFields:
      return "fewer than three fields, line skipped";
    case LineProblem::NoNumber:
      return "no number in the first three fields, line skipped";
    case LineProblem::OutOfRange:
      return "number out of range, line skipped";
    case LineProblem::ContainsNul:
      return "NUL byte, line skipped";
    case LineProblem::TooLong:
      return "line too long, skipped";
    case LineProblem::TooManyPoints:
      return "too many points, line skipped";
    case LineProblem::NotANumber:
      return "a coordinate is not a number, line skipped";
    case LineProblem::FarCoordinate:
      return "a coordinate is beyond 1e9 m, line skipped";
    case LineProblem::TrailingCharacters:
      return "characters after a number, its leading digits are used";
    case LineProblem::DecimalComma:
      return "characters after a number, its leading digits are used (decimal comma?)";
  }
  return "unknown problem";
}

std::vector<std::string> TextReadReport::Describe(std::string_view file) const {
  std::vector<std::string> lines;
  for (const LineIssue& issue : FirstIssues)
    lines.push_back(std::string(file) + ": line " + std::to_string(issue.Line) + ": " +
                    std::string(orvane::Describe(issue.Problem)));
  const int64_t total = SkippedLines + SuspectLines;
  if (total > static_cast<int64_t>(FirstIssues.size()))
    lines.push_back(std::string(file) + ": " + std::to_string(SkippedLines) + " lines skipped, " +
                    std::to_string(SuspectLines) + " lines with characters after a number");
  return lines;
}

TextTable ReadTextTable(const std::filesystem::path& file, char delimiter) {
  TextTable out;
  TableSink sink{out, delimiter};
  out.Report.Status = ScanFile(file, sink);
  return out;
}

PointFile ReadPointFile(const std::filesystem::path& file) {
  PointFile out;
  // Room for the points a survey file of this size usually holds, so that
  // the list is not copied as it grows; only the part used is ever touched.
  std::error_code ec;
  const uintmax_t bytes = std::filesystem::file_size(file, ec);
  // (At most 2^26 points up front: a bigger file grows the list as usual.)
  if (!ec)
    out.Points.Reserve(static_cast<size_t>(std::min<uintmax_t>(bytes / 24, uintmax_t{1} << 26)));
  PointSink sink{out};
  out.Report.Status = ScanFile(file, sink);
  return out;
}

std::optional<PointRec> ReadPointLine(std::string_view line) {
  if (line.size() > kMaxTextLineBytes) return std::nullopt;
  const PointLine read = ParsePointLine(line);
  if (!read.Kept()) return std::nullopt;
  return PointRec{read.v[0], read.v[1], read.v[2], 0};
}

PointFile ParsePointText(std::string_view text) {
  PointFile out;
  PointSink sink{out};
  ScanText(text, sink);
  return out;
}

PolylineFile ReadPolylineFile(const std::filesystem::path& file, PolylineLayout layout) {
  PolylineFile out;
  PolylineSink sink(out, layout);
  out.Report.Status = ScanFile(file, sink);
  sink.End();
  return out;
}

PolylineFile ParsePolylineText(std::string_view text, PolylineLayout layout) {
  PolylineFile out;
  PolylineSink sink(out, layout);
  ScanText(text, sink);
  sink.End();
  return out;
}

bool WriteSegmentText(std::span<const PlanSegment> segments, AtomicFileWriter& out) {
  std::string text;
  char number[kMaxNumberText];
  auto point = [&](const PointRec& p) {
    text.append(number, WriteNumber(number, p.X));
    text += ' ';
    text.append(number, WriteNumber(number, p.Y));
    text += ' ';
    text.append(number, WriteNumber(number, p.Z));
    text += "\r\n";
  };
  for (const PlanSegment& s : segments) {
    point(s.From);
    point(s.To);
    text += "BREAKLINE\r\n";
    if (text.size() > (size_t{1} << 20)) {
      if (!out.Write(text)) return false;
      text.clear();
    }
  }
  return out.Write(text);
}

}  // namespace orvane
