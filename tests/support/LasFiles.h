#pragma once
// LAS point clouds written field by field for the tests, so that the files do
// not depend on the reader under test.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace orvane::testing {

struct LasTestPoint {
  int32_t X = 0, Y = 0, Z = 0;
  uint8_t Class = 2;
  uint8_t Return = 1, Returns = 1;
  bool Withheld = false;
};

struct LasTestFile {
  int Minor = 2;   // version 1.Minor
  int Format = 0;  // point format 0..10
  std::array<double, 3> Scale{0.001, 0.001, 0.001};
  std::array<double, 3> Offset{500000, 4500000, 0};
  uint16_t ExtraBytes = 0;     // after each record
  std::vector<uint16_t> Vlrs;  // body lengths of the variable-length records
  std::vector<LasTestPoint> Points;
};

inline std::vector<uint8_t> LasBytes(const LasTestFile& f) {
  static constexpr uint16_t kRecord[] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
  const uint16_t header = f.Minor >= 4 ? 375 : f.Minor == 3 ? 235 : 227;
  const uint16_t record = static_cast<uint16_t>(kRecord[f.Format & 0x3F] + f.ExtraBytes);
  std::vector<uint8_t> b(header);
  auto put = [&b](size_t at, const auto& v) { std::memcpy(b.data() + at, &v, sizeof v); };
  std::memcpy(b.data(), "LASF", 4);
  b[24] = 1;
  b[25] = static_cast<uint8_t>(f.Minor);
  put(94, header);
  put(100, static_cast<uint32_t>(f.Vlrs.size()));
  b[104] = static_cast<uint8_t>(f.Format);
  put(105, record);
  const auto n = static_cast<uint32_t>(f.Points.size());
  put(107, f.Format >= 6 ? uint32_t{0} : n);
  for (int k = 0; k < 3; ++k) {
    put(131 + 8 * k, f.Scale[static_cast<size_t>(k)]);
    put(155 + 8 * k, f.Offset[static_cast<size_t>(k)]);
  }
  if (f.Minor >= 4) put(247, uint64_t{n});
  for (uint16_t length : f.Vlrs) {
    std::vector<uint8_t> v(54 + length);
    std::memcpy(v.data() + 2, "orvane test", 11);
    std::memcpy(v.data() + 52, &length, 2);
    b.insert(b.end(), v.begin(), v.end());
  }
  put(96, static_cast<uint32_t>(b.size()));
  for (const LasTestPoint& p : f.Points) {
    std::vector<uint8_t> r(record, 0xEE);  // every byte the reader must not read is noise
    std::memcpy(r.data(), &p.X, 4);
    std::memcpy(r.data() + 4, &p.Y, 4);
    std::memcpy(r.data() + 8, &p.Z, 4);
    if (f.Format < 6) {
      r[14] = static_cast<uint8_t>(p.Return | p.Returns << 3 | 0xC0);
      r[15] = static_cast<uint8_t>(p.Class | (p.Withheld ? 0x80 : 0) | 0x60);
    } else {
      r[14] = static_cast<uint8_t>(p.Return | p.Returns << 4);
      r[15] = static_cast<uint8_t>((p.Withheld ? 0x04 : 0) | 0xFB);
      r[16] = p.Class;
    }
    b.insert(b.end(), r.begin(), r.end());
  }
  return b;
}

inline std::string LasText(const LasTestFile& f) {
  const std::vector<uint8_t> b = LasBytes(f);
  return std::string(b.begin(), b.end());
}

}  // namespace orvane::testing
