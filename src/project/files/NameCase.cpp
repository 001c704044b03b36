#include "project/files/NameCase.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace orvane {

namespace {

// The code points of text, or nullopt when it is not valid UTF-8 (overlong
// forms, surrogates and values above U+10FFFF included).
std::optional<std::vector<uint32_t>> DecodeUtf8(std::string_view text) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    int n = 0;
    uint32_t c = 0, min = 0;
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      n = 1, c = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      n = 2, c = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      n = 3, c = b & 0x07, min = 0x10000;
    } else {
      return std::nullopt;
    }
    if (text.size() - i <= static_cast<size_t>(n)) return std::nullopt;
    for (int k = 1; k <= n; ++k) {
      const auto cb = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((cb & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (cb & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    out.push_back(c);
    i += static_cast<size_t>(n) + 1;
  }
  return out;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

uint32_t Upper(uint32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  // Latin Extended-A: upper and lower case alternate, upper first, except in
  // the two runs where a lone letter shifts the pairing.
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & 1 ? c - 1 : c;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c & 1 ? c : c - 1;
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (c >= 0x3B1 && c <= 0x3C9) return c - 0x20;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

}  // namespace

std::string UpperCaseName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  if (const auto codes = DecodeUtf8(name)) {
    for (uint32_t c : *codes) AppendUtf8(out, Upper(c));
    return out;
  }
  // ISO-8859-1: the letters of the upper half are one byte as well, but
  // y-diaeresis has no upper case there.
  for (char ch : name) {
    const auto b = static_cast<unsigned char>(ch);
    const uint32_t u = Upper(b);
    out += static_cast<char>(u <= 0xFF ? u : b);
  }
  return out;
}

}  // namespace orvane
