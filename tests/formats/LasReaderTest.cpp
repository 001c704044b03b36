#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "formats/LasPointText.h"
#include "formats/LasReader.h"
#include "support/LasFiles.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

using testing::LasBytes;
using testing::LasTestFile;
using testing::LasTestPoint;

Result<LasReader> OpenBytes(const std::vector<uint8_t>& bytes) {
  auto at = std::make_shared<size_t>(0);
  return LasReader::Open(
      [&bytes, at](uint8_t* dst, size_t n) {
        n = std::min(n, bytes.size() - *at);
        std::memcpy(dst, bytes.data() + *at, n);
        *at += n;
        return n;
      },
      bytes.size(), "t.las");
}

const std::vector<LasTestPoint> kPoints = {
    {12345678, -5, 100250, 2, 1, 2, false},
    {-7, 1, 0, 6, 2, 2, true},
    {2147483647, -2147483647 - 1, -1, 31, 3, 5, false},
};

TEST(LasReaderTest, EveryVersionAndPointFormatReadsItsHeaderAndRecords) {
  const std::vector<std::pair<int, int>> versionsAndFormats = {
      {0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {2, 2}, {2, 3}, {3, 4},
      {3, 5}, {4, 0}, {4, 3}, {4, 6}, {4, 7}, {4, 8}, {4, 9}, {4, 10}};
  for (const auto& [minor, format] : versionsAndFormats) {
    SCOPED_TRACE("1." + std::to_string(minor) + " format " + std::to_string(format));
    LasTestFile f{minor, format, {0.01, 0.02, 0.5}, {1, -2, 3}, uint16_t(format % 3 * 4),
                  {},    kPoints};
    if (format % 2) f.Vlrs = {0, 17};
    const std::vector<uint8_t> bytes = LasBytes(f);
    Result<LasReader> r = OpenBytes(bytes);
    ASSERT_TRUE(r) << r.Error().Text();
    const LasHeader& h = r->Header();
    EXPECT_EQ(h.VersionMinor, minor);
    EXPECT_EQ(h.PointFormat, format);
    EXPECT_EQ(h.PointCount, 3u);
    EXPECT_EQ(h.RecordLength, LasRecordSize(format) + f.ExtraBytes);
    EXPECT_EQ(h.Scale, f.Scale);
    EXPECT_EQ(h.Offset, f.Offset);
    std::vector<LasPoint> points;
    ASSERT_TRUE(r->Next(points));
    ASSERT_EQ(points.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      const LasTestPoint& want = kPoints[i];
      const LasPoint& got = points[i];
      EXPECT_EQ(
          std::tie(got.X, got.Y, got.Z, got.Class, got.Return, got.ReturnCount, got.Withheld),
          std::tie(want.X, want.Y, want.Z, want.Class, want.Return, want.Returns, want.Withheld));
    }
    ASSERT_TRUE(r->Next(points));
    EXPECT_TRUE(points.empty());
  }
}

TEST(LasReaderTest, DamagedOrCompressedFilesAreRefusedWithTheReason) {
  using Damage = std::function<void(std::vector<uint8_t>&)>;
  const auto set = [](size_t at, uint32_t v, size_t n) {
    return [=](std::vector<uint8_t>& b) { std::memcpy(b.data() + at, &v, n); };
  };
  const std::vector<std::pair<Damage, std::string>> cases = {
      {[](auto& b) { b.resize(100); }, "truncated"},
      {[](auto& b) { b.resize(3); }, "not a LAS file"},
      {[](auto& b) { b[0] = 'X'; }, "not a LAS file"},
      {set(24, 2, 1), "version 2.2 is not known"},
      {set(25, 5, 1), "version 1.5 is not known"},
      {set(104, 11, 1), "point format 11 is not known"},
      {set(104, 0x83, 1), "compressed LAZ"},
      {[](auto& b) { std::memcpy(b.data() + 227 + 2, "laszip encoded\0\0\xBC\x56", 18); },
       "compressed LAZ"},
      {set(105, 25, 2), "shorter than the 26 bytes"},
      {set(107, 4, 4), "states 4 points, but the file holds room for 3"},
      {set(107, 0xFFFFFFFF, 4), "holds room for 3"},
      {set(100, 2, 4), "variable-length record 2 of 2 runs past"},
      {set(227 + 52, 65535, 2), "variable-length record 1 (65535 bytes) runs past"},
      {set(96, 1 << 30, 4), "outside the file"},
      {set(94, 200, 2), "header size 200 is less than"},
      {set(131, 0, 4), ""},  // only half of a double: still a scale
      {[](auto& b) { std::memset(b.data() + 139, 0, 8); }, "y scale or offset is no usable"},
      {[](auto& b) { std::memset(b.data() + 171, 0xFF, 8); }, "z scale or offset is no usable"},
  };
  const LasTestFile f{2, 2, {0.001, 0.001, 0.001}, {0, 0, 0}, 0, {10}, kPoints};
  for (const auto& [damage, reason] : cases) {
    std::vector<uint8_t> bytes = LasBytes(f);
    damage(bytes);
    Result<LasReader> r = OpenBytes(bytes);
    if (reason.empty()) {
      EXPECT_TRUE(r);
      continue;
    }
    ASSERT_FALSE(r) << reason;
    EXPECT_NE(r.Error().Text().find(reason), std::string::npos) << r.Error().Text();
    EXPECT_EQ(r.Error().Text().rfind("t.las: ", 0), 0u) << r.Error().Text();
  }
}

using LasPointTextTest = testing::TempFolderTest;

std::string Convert(const LasTestFile& f, const LasSelection& s, std::string* classes = nullptr) {
  const std::vector<uint8_t> bytes = LasBytes(f);
  Result<LasReader> r = OpenBytes(bytes);
  EXPECT_TRUE(r) << r.Error().Text();
  const auto target = std::filesystem::temp_directory_path() / "orvane-las-text.xyz";
  Feedback feedback;
  Result<LasPointText> text = WriteLasPointText(*r, s, target, feedback);
  EXPECT_TRUE(text) << text.Error().Text();
  EXPECT_TRUE(text->Text->Commit());
  if (classes) *classes = text->Count.ClassesKept;
  std::string lines = testing::Slurp(target);
  std::filesystem::remove(target);
  return lines;
}

TEST(LasPointTextTest, CoordinatesAreTheDecimalsOfScaleAndOffset) {
  struct Case {
    double scale, offset;
    int32_t v;
    std::string text;
  };
  const std::vector<Case> cases = {
      {0.001, 500000, 12345678, "512345.678"},
      {0.01, 4.5e6, -5, "4499999.95"},
      {1e-7, -122, 1234567, "-121.8765433"},
      {0.5, 0, 3, "1.5"},
      {0.001, 0, -2147483647 - 1, "-2147483.648"},
      {1, 0, 0, "0"},
      {0.001, 2200000.25, 750, "2200001"},
      {0.0025, 0.001, 3, "0.0085"},
      {1e-9, 4.5e6, 1, "4500000.000000001"},
      // Decimals too long for whole numbers: the nearest double, round trip.
      {0.1 + 0.2, 0, 3, "0.9000000000000001"},
  };
  for (const Case& c : cases) EXPECT_EQ(LasCoordinateText(c.v, c.scale, c.offset), c.text);
}

TEST(LasPointTextTest, SelectionByWithheldReturnsClassesAndThinning) {
  // x = i m; records 0-5 non-ground; z in cm.
  const std::vector<LasTestPoint> pts = {
      {0, 0, 500, 1, 1, 1, false},   {1000, 0, 400, 5, 1, 2, false}, {1100, 0, 300, 5, 2, 2, false},
      {2000, 0, 200, 2, 1, 1, true}, {3000, 0, 100, 2, 1, 3, false}, {3500, 0, 90, 2, 2, 3, false},
      {3600, 0, 90, 2, 3, 3, false}, {9000, 0, 0, 9, 1, 1, false}};
  const LasTestFile f{2, 1, {0.001, 0.001, 0.01}, {0, 0, 0}, 0, {}, pts};
  const auto sel = [](const std::string& classes, LasReturns returns, double thin) {
    LasSelection s = *ParseLasClasses(classes);
    s.Returns = returns;
    s.ThinCell = thin;
    return s;
  };
  const std::vector<std::tuple<LasSelection, std::string, std::string>> cases = {
      {sel("", LasReturns::All, 0), "3 0 1\r\n3.5 0 0.9\r\n3.6 0 0.9\r\n", "ground (class 2)"},
      {sel("all", LasReturns::First, 0), "0 0 5\r\n1 0 4\r\n3 0 1\r\n9 0 0\r\n", "every class"},
      {sel("5, 9", LasReturns::Last, 0), "1.1 0 3\r\n9 0 0\r\n", "classes 5, 9"},
      {sel("2", LasReturns::All, 2), "3.5 0 0.9\r\n", "class 2"},
      {sel("all", LasReturns::All, 2), "1.1 0 3\r\n3.5 0 0.9\r\n9 0 0\r\n", "every class"},
  };
  for (const auto& [s, text, classes] : cases) {
    std::string kept;
    EXPECT_EQ(Convert(f, s, &kept), text);
    EXPECT_EQ(kept, classes);
  }
  // Without ground points every class is kept, and said so.
  std::string kept;
  const LasTestFile noGround{4, 6, {0.001, 0.001, 0.01}, {0, 0, 0}, 0, {}, {pts[0], pts[7]}};
  EXPECT_EQ(Convert(noGround, sel("", LasReturns::All, 0), &kept), "0 0 5\r\n9 0 0\r\n");
  EXPECT_EQ(kept, "every class (the file has no ground points)");
  for (const char* bad : {"2,", "x", "256", "-1", "2;9"}) EXPECT_FALSE(ParseLasClasses(bad)) << bad;
}

}  // namespace
}  // namespace orvane
