#pragma once
// Readers of the surface's companion text files: ".xyz" source points, ".bnd"
// inclusion zones, ".brk" breaklines, and hole areas in the ".bnd" layout.
//
// Lines. A line ends at LF, CR LF or a lone CR. Empty lines, and in the
// point files lines of blanks and tabs only, are dropped.
// Line numbers in reports are 1-based and count every line of the file,
// empty ones included.
//
// Fields. The table reader splits a line at every occurrence of its
// delimiter, so two blanks in a row make an empty field and a leading blank
// makes field 0 empty. The point readers split at runs of blanks and tabs
// (leading ones skipped): "1  2 3" has the fields "1", "2", "3".
//
// Numbers. A coordinate is read from the leading characters of its field as a
// decimal number with "." as decimal point, whatever the locale; reading
// stops at the first character that cannot continue the number ("12.5m" is
// 12.5, "1,5" is 1). Such a line is kept but counted and reported, with a
// hint when the next character is a comma (a decimal comma reads wrongly).
//
// Points. x, y and z are the first three fields; later fields are ignored. A
// line is skipped, counted and reported when it has fewer than three fields,
// when one of its first three fields does not begin with a finite number
// ("nan", "inf", a header, garbage: a false elevation of 0 would corrupt
// every volume computed from the surface), when a coordinate is beyond
// kMaxCoordinate (a stray outlier would stretch the surface over the
// planet), when it holds a NUL byte or when it is longer than
// kMaxTextLineBytes.
//
// Files of any size are read in chunks: memory grows with the points kept,
// never with the length of a line.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/MeshIntersection.h"
#include "core/model/PointList.h"
#include "core/storage/AtomicFile.h"
#include "core/support/Outcome.h"

namespace orvane {

// Lines longer than this (bytes, terminator excluded) are skipped unread.
inline constexpr size_t kMaxTextLineBytes = size_t{1} << 20;
// Coordinates beyond this many metres from the origin are no survey.
inline constexpr double kMaxCoordinate = 1e9;
// How many problem lines a report lists one by one (all are counted).
inline constexpr size_t kMaxReportedIssues = 10;

// What was wrong with one line.
enum class LineProblem : int32_t {
  TooFewFields = 1,        // skipped
  NoNumber = 2,            // skipped: none of x, y, z begins with a number
  OutOfRange = 3,          // skipped: a coordinate beyond the range of a double
  ContainsNul = 4,         // skipped: binary data
  TooLong = 5,             // skipped: longer than kMaxTextLineBytes
  TooManyPoints = 6,       // skipped: the list already holds the largest count
  NotANumber = 7,          // skipped: some of x, y, z is no finite number
  FarCoordinate = 8,       // skipped: beyond kMaxCoordinate
  TrailingCharacters = 9,  // kept: characters after a number ("12.5m")
  DecimalComma = 10,       // kept: a comma after a number ("500026,873")
};

// "fewer than three fields", ...
std::string_view Describe(LineProblem problem);

struct LineIssue {
  int64_t Line = 0;  // 1-based
  LineProblem Problem = LineProblem::TooFewFields;
  friend bool operator==(const LineIssue&, const LineIssue&) = default;
};

// How the reading of one text file went.
struct TextReadReport {
  // Ok when the whole file was read, else "<file>: <reason>" (the file is
  // missing, not a regular file, or failed while being read; what was read
  // before a failure is kept).
  Outcome Status;
  int64_t SkippedLines = 0;            // lines left out
  int64_t SuspectLines = 0;            // lines kept with characters after a number
  std::vector<LineIssue> FirstIssues;  // the first kMaxReportedIssues, in file order

  bool ok() const { return Status.Ok(); }
  // "<file>: line 12: fewer than three fields" lines for a user, one per
  // listed issue, then a summary line when more were counted than listed.
  std::vector<std::string> Describe(std::string_view file) const;
};

// Rows of fields of a text file (lines as above, split at delimiter only).
struct TextTable {
  std::vector<std::vector<std::string>> Rows;
  std::vector<int64_t> LineNumbers;  // of each row, 1-based
  TextReadReport Report;             // only Error and TooLong / NUL lines
};
TextTable ReadTextTable(const std::filesystem::path& file, char delimiter = ' ');

// ".xyz": every point in file order, Model 1 (a point set), T = its index.
struct PointFile {
  PointList Points;
  TextReadReport Report;
};
PointFile ReadPointFile(const std::filesystem::path& file);
PointFile ParsePointText(std::string_view text);
// The point of one line (no line end) as the point readers take it, T = 0;
// nullopt for a line they skip.
std::optional<PointRec> ReadPointLine(std::string_view line);

// The polyline layouts. Lines are points of the current item; a line whose
// field 0 is exactly the separator ends it.
//   Zones       separator "ZONA_INC", Model 1100. An item ended by the
//               separator is closed by repeating its first point (even when
//               it already does); the last item of the file is closed only
//               when its first and last points differ in plan.
//   Holes       the zone layout, Model 1200.
//   Breaklines  separator "BREAKLINE", Model 1300, never closed.
// Empty items (a separator first, two separators in a row, a separator at the
// end) are not listed.
enum class PolylineLayout { Zones, Holes, Breaklines };
struct PolylineFile {
  std::vector<PointList> Lists;
  TextReadReport Report;
};
PolylineFile ReadPolylineFile(const std::filesystem::path& file, PolylineLayout layout);
PolylineFile ParsePolylineText(std::string_view text, PolylineLayout layout);

inline PolylineFile ReadZoneFile(const std::filesystem::path& file) {
  return ReadPolylineFile(file, PolylineLayout::Zones);
}
inline PolylineFile ReadBreaklineFile(const std::filesystem::path& file) {
  return ReadPolylineFile(file, PolylineLayout::Breaklines);
}
inline PolylineFile ReadHoleFile(const std::filesystem::path& file) {
  return ReadPolylineFile(file, PolylineLayout::Holes);
}

// Segments in the breakline layout: the two ends of each ("x y z", CR LF,
// "." decimal point, up to 15 significant digits), then "BREAKLINE". False
// once a write failed.
bool WriteSegmentText(std::span<const PlanSegment> segments, AtomicFileWriter& out);

}  // namespace orvane
