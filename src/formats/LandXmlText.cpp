#include "formats/LandXmlText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/support/NumberText.h"
#include "formats/LandXml.h"

namespace orvane {

namespace {

// Replacement for characters XML 1.0 cannot carry even as a reference.
constexpr std::string_view kReplacement = "&#65533;";

void AppendCodeReference(std::string& out, uint32_t code) {
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, code);
  out += "&#";
  out.append(buf, r.ptr);
  out += ';';
}

// One character of code point c (already known to be a valid scalar value).
void AppendCharacter(std::string& out, uint32_t c) {
  switch (c) {
    case '&':
      out += "&amp;";
      return;
    case '<':
      out += "&lt;";
      return;
    case '>':
      out += "&gt;";
      return;
    case '"':
      out += "&quot;";
      return;
    // Attribute values turn raw tabs and line ends into blanks; references
    // keep them.
    case '\t':
    case '\n':
    case '\r':
      AppendCodeReference(out, c);
      return;
    default:
      break;
  }
  if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) {
    out += kReplacement;
  } else if (c <= 0xFF) {
    out += static_cast<char>(static_cast<unsigned char>(c));
  } else {
    AppendCodeReference(out, c);
  }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when the
// bytes there are not a valid, shortest-form sequence of a scalar value.
size_t DecodeUtf8(std::string_view text, size_t i, uint32_t& code) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  size_t length = 0;
  uint32_t min = 0;
  if (b0 < 0x80) {
    code = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    length = 2, code = b0 & 0x1Fu, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, code = b0 & 0x0Fu, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, code = b0 & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

namespace landxml {

TextBytes NameBytes(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const size_t length = DecodeUtf8(text, i, code);
    if (length == 0) return TextBytes::Latin1;
    i += length;
  }
  return TextBytes::Utf8;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

void AppendGeneral(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "NaN";
  } else if (std::isinf(v)) {
    out += v > 0 ? "INF" : "-INF";
  } else {
    AppendNumber(out, v);
  }
}

void AppendFixed3(std::string& out, double v) {
  if (!std::isfinite(v))
    AppendGeneral(out, v);
  else
    out += FormatFixed(v, 3);
}

void AppendPoint(std::string& out, const PointRec& p) {
  AppendGeneral(out, p.Y);
  out += ' ';
  AppendGeneral(out, p.X);
  out += ' ';
  AppendGeneral(out, p.Z);
}

}  // namespace landxml

void AppendXmlEscaped(std::string& out, std::string_view text, TextBytes bytes) {
  if (bytes == TextBytes::Latin1) {
    for (char ch : text) AppendCharacter(out, static_cast<unsigned char>(ch));
    return;
  }
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const size_t length = DecodeUtf8(text, i, code);
    if (length == 0) {
      out += kReplacement;  // one replacement per byte that starts no valid sequence
      ++i;
    } else {
      AppendCharacter(out, code);
      i += length;
    }
  }
}

std::string LandXmlSurfaceName(const TriangleMesh& mesh) {
  return VariantToText(mesh.Tag);
}

}  // namespace orvane
