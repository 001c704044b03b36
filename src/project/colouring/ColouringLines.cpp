#include "project/colouring/ColouringLines.h"

#include <charconv>
#include <cmath>

#include "core/support/NumberText.h"

namespace orvane {

namespace {

uint64_t Hash(const PointRec& v) {
  uint64_t x, y;
  std::memcpy(&x, &v.X, sizeof x);
  std::memcpy(&y, &v.Y, sizeof y);
  const uint64_t h = (x ^ (y * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
  return h >> 40;
}

}  // namespace

double SlopeValue(const PointRec& a, const PointRec& b, const PointRec& c) {
  const double ux = b.X - a.X, uy = b.Y - a.Y, uz = b.Z - a.Z;
  const double vx = c.X - a.X, vy = c.Y - a.Y, vz = c.Z - a.Z;
  const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (!(length > 0) || !std::isfinite(length)) return std::nan("");
  return std::abs(nz) / length;
}

// A cosine lies in 0..1, so the two decimals are its hundredths rounded:
// computed directly unless the product lies too near a half to be sure of the
// rounding, which the exact conversion decides.
char* WriteSlopeText(char* out, double c) {
  if (std::isnan(c)) return PutText(out, "0.00");
  if (c >= 0 && c <= 1) {
    const double hundredths = c * 100;
    const double whole = std::floor(hundredths);
    const double fraction = hundredths - whole;
    if (std::abs(fraction - 0.5) > 1e-6) {
      const int k = static_cast<int>(whole) + (fraction > 0.5 ? 1 : 0);
      out[0] = static_cast<char>('0' + k / 100);
      out[1] = '.';
      out[2] = static_cast<char>('0' + k / 10 % 10);
      out[3] = static_cast<char>('0' + k % 10);
      return out + 4;
    }
  }
  return std::to_chars(out, out + kMaxNumberText, c, std::chars_format::fixed, 2).ptr;
}

char* RecentTexts::Write(char* out, const PointRec& v) {
  Slot& slot = slots_[Hash(v) & (kSlots - 1)];
  if (slot.Length == 0 || slot.X != v.X || slot.Y != v.Y || slot.Z != v.Z) {
    slot.X = v.X;
    slot.Y = v.Y;
    slot.Z = v.Z;
    slot.Length = static_cast<uint8_t>(WriteXyz(slot.Text, v) - slot.Text);
  }
  // A fixed-size copy is a few moves; the bytes past the text are
  // overwritten by what follows it.
  if (slot.Length <= kShortText)
    std::memcpy(out, slot.Text, kShortText);
  else
    std::memcpy(out, slot.Text, slot.Length);
  return out + slot.Length;
}

LineHead::LineHead(ColouringMode mode, int32_t colour) {
  char* p = Text;
  *p++ = '(';
  *p++ = mode == ColouringMode::Slope ? '1' : '0';
  *p++ = ' ';
  p = std::to_chars(p, Text + sizeof Text, colour).ptr;
  *p++ = ' ';
  Length = static_cast<uint8_t>(p - Text);
}

}  // namespace orvane
