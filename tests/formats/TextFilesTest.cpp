#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "formats/TextFiles.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

using TextFilesTest = testing::TempFolderTest;

std::vector<PointRec> Points(const PointList& list) {
  auto all = list.Points();
  return {all.begin() + 1, all.end()};
}

PointRec P(double x, double y, double z, double t) {
  return {x, y, z, t};
}

TEST(TextFieldsTest, RunsOfBlanksSeparateAndGluedCharactersAreReported) {
  const PointFile f = ParsePointText(
      "500150.5  4500150.5  101.2\n 4 5 6\n1\t2\t3\n12.5m -0.5e1 +7 extra fields\n"
      "500026,873 4500169,487 99,776\n12abc 45def 7gh\n");
  EXPECT_EQ(Points(f.Points),
            (std::vector<PointRec>{P(500150.5, 4500150.5, 101.2, 1), P(4, 5, 6, 2), P(1, 2, 3, 3),
                                   P(12.5, -5, 7, 4), P(500026, 4500169, 99, 5), P(12, 45, 7, 6)}));
  EXPECT_EQ(f.Report.SkippedLines, 0);
  EXPECT_EQ(f.Report.SuspectLines, 3);
  EXPECT_EQ(f.Report.FirstIssues, (std::vector<LineIssue>{{4, LineProblem::TrailingCharacters},
                                                          {5, LineProblem::DecimalComma},
                                                          {6, LineProblem::TrailingCharacters}}));
  EXPECT_EQ(f.Report.Describe("a.xyz")[1],
            "a.xyz: line 5: characters after a number, its leading digits are used (decimal "
            "comma?)");
}

TEST(TextFieldsTest, DecimalPointIsAlwaysDot) {
  const PointFile f = ParsePointText("1.25 2.75 .5\n-.5 1e3 0x10\n");
  EXPECT_EQ(Points(f.Points), (std::vector<PointRec>{P(1.25, 2.75, 0.5, 1), P(-0.5, 1000, 0, 2)}));
}

// Plain decimals are read without from_chars' general machinery: every
// number, plain or not, still reads as from_chars reads it, bit for bit,
// and ends where it ends (what follows is reported the same way).
TEST(TextFieldsTest, NumbersReadAsFromCharsReadsThem) {
  std::vector<std::string> numbers = {
      "0",
      "-0",
      "+0",
      "-0.0",
      "5.",
      ".5",
      "-.5",
      "+.5",
      "007",
      "1.2.3",
      "0.1",
      "4500123.456",
      "0.30000000000000004",
      "9007199254740992",
      "9007199254740993",
      "-9007199254740995",
      "123456789012345678",
      "1234567890123456789",
      "12345678901234567890",
      "1e5",
      "1E-3",
      "1e",
      "2.5e+",
      "5.e2",
      "4500000.0000000000000000001",
      "0.0000000000000000000001",
      "1.0000000000000000000000",
      "0.9999999999999999999",
      "0x10",
      "12.5m",
      "3,25",
      "1e400",
      "1e-400",
      "179769313486231570000000000000000000000000000000000000000000000000000000000000"};
  std::mt19937_64 rng(14);
  for (int i = 0; i < 20000; ++i) {
    // Digit strings of every length with a point anywhere (or none), and
    // integers near 2^53 scaled by every power of ten an exact double has.
    std::string s = i % 3 == 0 ? "-" : "";
    if (i % 2 == 0) {
      const int length = 1 + static_cast<int>(rng() % 24);
      const int point = static_cast<int>(rng() % (length + 2)) - 1;
      for (int k = 0; k < length; ++k) {
        if (k == point) s += '.';
        s += static_cast<char>('0' + rng() % 10);
      }
    } else {
      std::string digits = std::to_string((uint64_t{1} << 53) - 3 + rng() % 7);
      digits.resize(1 + rng() % digits.size());
      const size_t at = rng() % (digits.size() + 1);
      s += digits.substr(0, at) + "." + digits.substr(at);
    }
    numbers.push_back(s);
  }
  for (const std::string& n : numbers) {
    // The literal procedure: from_chars on the field, a leading "+" aside.
    const char* begin = n.data() + (n[0] == '+' ? 1 : 0);
    double expected = 0;
    const auto r = std::from_chars(begin, n.data() + n.size(), expected);
    const PointFile f = ParsePointText(n + " " + n + " 1\n");
    if (r.ec != std::errc() || !(std::abs(expected) <= 1e9)) {
      EXPECT_EQ(f.Points.count(), 0) << n;
      continue;
    }
    ASSERT_EQ(f.Points.count(), 1) << n;
    EXPECT_EQ(std::bit_cast<uint64_t>(f.Points.Point(1).X), std::bit_cast<uint64_t>(expected)) << n;
    EXPECT_EQ(f.Report.SuspectLines, r.ptr != n.data() + n.size() ? 1 : 0) << n;
  }
}

TEST(TextFieldsTest, SkipsAndCountsLinesThatAreNotPoints) {
  std::string text = "X Y Z\n1 2\n1 2 3\nnan inf -inf\n1e999 2 3\n4 5 6";
  text += std::string("\n7 8\0 9\n", 8);
  text += "1 nan 3\n1 2 abc\n1e308 2 3\n-1.5e9 2 3\n";
  const PointFile f = ParsePointText(text);
  EXPECT_EQ(Points(f.Points), (std::vector<PointRec>{P(1, 2, 3, 1), P(4, 5, 6, 2)}));
  EXPECT_EQ(f.Report.SkippedLines, 9);
  EXPECT_EQ(f.Report.FirstIssues, (std::vector<LineIssue>{{1, LineProblem::NoNumber},
                                                          {2, LineProblem::TooFewFields},
                                                          {4, LineProblem::NoNumber},
                                                          {5, LineProblem::OutOfRange},
                                                          {7, LineProblem::ContainsNul},
                                                          {8, LineProblem::NotANumber},
                                                          {9, LineProblem::NotANumber},
                                                          {10, LineProblem::FarCoordinate},
                                                          {11, LineProblem::FarCoordinate}}));
  EXPECT_EQ(f.Report.Describe("a.xyz").front(),
            "a.xyz: line 1: no number in the first three fields, line skipped");
}

TEST(TextFieldsTest, ListsTheFirstIssuesAndCountsThemAll) {
  std::string text;
  for (int i = 0; i < 25; ++i) text += "bad\n1 2 3\n";
  const PointFile f = ParsePointText(text);
  EXPECT_EQ(f.Points.count(), 25);
  EXPECT_EQ(f.Report.SkippedLines, 25);
  ASSERT_EQ(f.Report.FirstIssues.size(), kMaxReportedIssues);
  EXPECT_EQ(f.Report.FirstIssues.back().Line, 19);
  const auto lines = f.Report.Describe("p.xyz");
  EXPECT_EQ(lines.size(), kMaxReportedIssues + 1);
  EXPECT_EQ(lines.back(), "p.xyz: 25 lines skipped, 0 lines with characters after a number");
}

TEST(TextLinesTest, EveryLineEndingAndBlankLinesAndNoFinalNewline) {
  const PointFile f = ParsePointText("\r\n1 1 1\r\n\r\n2 2 2\n\n3 3 3\r4 4 4\r\rbad\r\n5 5 5");
  EXPECT_EQ(f.Points.count(), 5);
  EXPECT_EQ(f.Points.Point(5), P(5, 5, 5, 5));
  // Empty lines keep their numbers: "bad" is the 9th line.
  ASSERT_EQ(f.Report.FirstIssues.size(), 1u);
  EXPECT_EQ(f.Report.FirstIssues[0], (LineIssue{9, LineProblem::TooFewFields}));
  EXPECT_EQ(ParsePointText("").Points.count(), 0);
  EXPECT_EQ(ParsePointText("\r\n\n\r \t \n").Report.SkippedLines, 0);
  // A byte-order mark at the start of the file only.
  const PointFile bom = ParsePointText(
      "\xEF\xBB\xBF"
      "100 0 1\n\xEF\xBB\xBF"
      "110 0 2\n");
  EXPECT_EQ(bom.Points.Point(1), P(100, 0, 1, 1));
  // Mid-file it is no number, as any other text.
  EXPECT_EQ(bom.Points.count(), 1);
  EXPECT_EQ(bom.Report.FirstIssues, (std::vector<LineIssue>{{2, LineProblem::NotANumber}}));
}

TEST(PolylineTextTest, OnlyTheLastZoneIsLeftAsItIsWhenAlreadyClosed) {
  // The separator closes even a polygon that repeats its first point; the end
  // of the file does not.
  const PolylineFile f = ParsePolylineText(
      "0 0 0\n1 0 0\n1 1 0\n0 0 0\nZONA_INC\n5 5 0\n6 5 0\n6 6 0\n5 5 0\n", PolylineLayout::Zones);
  ASSERT_EQ(f.Lists.size(), 2u);
  EXPECT_EQ(f.Lists[0].count(), 5);
  EXPECT_EQ(f.Lists[1].count(), 4);
}

TEST(PolylineTextTest, SeparatorsNeverMakeEmptyItems) {
  const PolylineFile f = ParsePolylineText(
      "ZONA_INC\nZONA_INC\n0 0 0\n1 0 0\n1 1 0\nZONA_INC extra\nZONA_INC\n", PolylineLayout::Zones);
  ASSERT_EQ(f.Lists.size(), 1u);
  EXPECT_EQ(f.Lists[0].Model, PointListModel::Boundary);
  EXPECT_EQ(f.Lists[0].count(), 4);  // closed by repeating its first point
  EXPECT_EQ(f.Lists[0].Point(4).X, f.Lists[0].Point(1).X);
  // A separator must be field 0 exactly.
  const PolylineFile g =
      ParsePolylineText("0 0 0\n1 0 0\n1 1 0\nZONA_INCX\n ZONA_INC\n", PolylineLayout::Zones);
  EXPECT_EQ(g.Lists.size(), 1u);
  EXPECT_EQ(g.Report.SkippedLines, 2);
}

TEST(PolylineTextTest, BreaklinesAreOpenAndHolesCarryTheirModel) {
  const std::string text = "BREAKLINE\n0 0 1\n5 0 2\nBREAKLINE\n7 7 7\nBREAKLINE\n1 1 1\n2 2 2\n";
  const PolylineFile b = ParsePolylineText(text, PolylineLayout::Breaklines);
  ASSERT_EQ(b.Lists.size(), 3u);
  EXPECT_EQ(b.Lists[0].Model, PointListModel::Breakline);
  EXPECT_EQ(b.Lists[0].count(), 2);
  EXPECT_EQ(b.Lists[1].count(), 1);
  EXPECT_EQ(b.Lists[2].count(), 2);
  const PolylineFile h = ParsePolylineText("0 0 0\n1 0 0\n1 1 0\n", PolylineLayout::Holes);
  ASSERT_EQ(h.Lists.size(), 1u);
  EXPECT_EQ(h.Lists[0].Model, PointListModel::Hole);
  EXPECT_EQ(h.Lists[0].count(), 4);
  // In a zone file the breakline separator is just a short line.
  EXPECT_EQ(ParsePolylineText(text, PolylineLayout::Zones).Lists.size(), 1u);
}

TEST_F(TextFilesTest, MissingEmptyAndFolderInputs) {
  const PointFile missing = ReadPointFile(dir_ / "none.xyz");
  EXPECT_FALSE(missing.Report.ok());
  EXPECT_NE(missing.Report.Status.Text().find("none.xyz"), std::string::npos);
  EXPECT_EQ(missing.Points.count(), 0);
  EXPECT_FALSE(ReadZoneFile(dir_).Report.ok());
  EXPECT_FALSE(ReadTextTable(dir_ / "none.txt").Report.ok());

  const PointFile empty = ReadPointFile(Write("empty.xyz", ""));
  EXPECT_TRUE(empty.Report.ok());
  EXPECT_EQ(empty.Points.count(), 0);
  EXPECT_EQ(ReadBreaklineFile(Write("empty.brk", "")).Lists.size(), 0u);
}

TEST_F(TextFilesTest, LinesLongerThanTheLimitAreSkippedWithoutBuffering) {
  // One line of 10 MiB (more than a read chunk) and one just over the limit.
  std::string text = "1 1 1\r\n2 2 2 ";
  text.append(size_t{10} << 20, 'x');
  text += "\r\n3 3 3\r\n";
  text.append(kMaxTextLineBytes + 1, '7');
  text += "\r\n4 4 4";
  const PointFile f = ReadPointFile(Write("long.xyz", text));
  ASSERT_TRUE(f.Report.ok());
  EXPECT_EQ(Points(f.Points), (std::vector<PointRec>{P(1, 1, 1, 1), P(3, 3, 3, 2), P(4, 4, 4, 3)}));
  EXPECT_EQ(f.Report.FirstIssues,
            (std::vector<LineIssue>{{2, LineProblem::TooLong}, {4, LineProblem::TooLong}}));
  EXPECT_EQ(ParsePointText(text).Report.FirstIssues, f.Report.FirstIssues);
}

TEST_F(TextFilesTest, ChunkedReadingMatchesReadingTheWholeText) {
  // Random line endings, blank and bad lines over more than two read chunks;
  // the first chunk of a big file holds 5 MiB + 1 bytes, and a CR LF is
  // placed across that boundary.
  std::mt19937_64 rng(20240607);
  std::string text = "0 0 0 ";
  const size_t boundary = (size_t{5} << 20) + 1;
  text.append(boundary - 1 - text.size(), 'p');  // the line is too long: skipped
  text += "\r\n";
  const char* endings[] = {"\n", "\r\n", "\r", "\r\n\r\n", "\n \n"};
  std::uniform_real_distribution<double> coord(-1e6, 1e6);
  auto number = [](double v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
  };
  while (text.size() < (size_t{12} << 20)) {
    const auto r = rng() % 100;
    if (r == 0)
      text += "garbage";
    else
      text += number(coord(rng)) + " " + number(coord(rng)) + " " + number(static_cast<double>(r));
    text += endings[rng() % 5];
  }
  const PointFile file = ReadPointFile(Write("big.xyz", text));
  const PointFile memory = ParsePointText(text);
  ASSERT_TRUE(file.Report.ok());
  EXPECT_GT(file.Points.count(), 150000);
  EXPECT_TRUE(std::equal(file.Points.Points().begin(), file.Points.Points().end(),
                         memory.Points.Points().begin(), memory.Points.Points().end()));
  EXPECT_EQ(file.Report.SkippedLines, memory.Report.SkippedLines);
  EXPECT_EQ(file.Report.FirstIssues, memory.Report.FirstIssues);
  ASSERT_FALSE(file.Report.FirstIssues.empty());
  EXPECT_EQ(file.Report.FirstIssues[0], (LineIssue{1, LineProblem::TooLong}));
}

TEST_F(TextFilesTest, TextTableSplitsAtItsDelimiterOnly) {
  const TextTable t = ReadTextTable(Write("t.txt", "a;b;;c\r\n\r\n x y\r\n;"), ';');
  ASSERT_TRUE(t.Report.ok());
  ASSERT_EQ(t.Rows.size(), 3u);
  EXPECT_EQ(t.Rows[0], (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(t.Rows[1], (std::vector<std::string>{" x y"}));
  EXPECT_EQ(t.Rows[2], (std::vector<std::string>{"", ""}));
  EXPECT_EQ(t.LineNumbers, (std::vector<int64_t>{1, 3, 4}));
}

}  // namespace
}  // namespace orvane
