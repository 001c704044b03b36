#pragma once
// Expected bytes of the binary files, written field by field as the formats
// describe them (never by the encoders under test), and whole binary files
// read and written.

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "core/model/Properties.h"

namespace orvane::testing {

using Bytes = std::vector<uint8_t>;

struct Le {
  Bytes b;
  Le& u8(uint8_t v) { return b.push_back(v), *this; }
  Le& u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
  Le& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Le& u64(uint64_t v) { return u32(static_cast<uint32_t>(v)).u32(static_cast<uint32_t>(v >> 32)); }
  Le& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
  Le& f64(double v) { return u64(std::bit_cast<uint64_t>(v)); }
  Le& pt(double x, double y, double z, double t) { return f64(x).f64(y).f64(z).f64(t); }
  Le& str(const std::string& s) {
    u16(static_cast<uint16_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  Le& emptySet() { return u16(1).i32(0).i32(1).i32(0).u16(0); }
  // A property entry: its key, type code and value.
  Le& entry(const PropertyEntry& e) {
    str(e.Key).u16(VariantTypeCode(e.Value));
    std::visit(
        [this](const auto& x) {
          using T = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<T, int16_t>) u16(static_cast<uint16_t>(x));
          if constexpr (std::is_same_v<T, int32_t>) i32(x);
          if constexpr (std::is_same_v<T, float>) u32(std::bit_cast<uint32_t>(x));
          if constexpr (std::is_same_v<T, double>) f64(x);
          if constexpr (std::is_same_v<T, Currency>) u64(static_cast<uint64_t>(x.Scaled));
          if constexpr (std::is_same_v<T, Date>) f64(x.Days);
          if constexpr (std::is_same_v<T, std::string>) str(x);
          if constexpr (std::is_same_v<T, bool>) u16(x ? 0xFFFF : 0);
          if constexpr (std::is_same_v<T, uint8_t>) u8(x);
        },
        e.Value);
    return *this;
  }
};

inline Bytes ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::filesystem::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

}  // namespace orvane::testing
