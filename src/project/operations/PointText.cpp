#include "project/operations/PointText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace orvane {

namespace {

// "0.0000000" by to_chars: the exact binary value correctly rounded.
char* WriteFixed7Slow(char* out, double value) {
  char* end = std::to_chars(out, out + kMaxFixedText, value, std::chars_format::fixed, 7).ptr;
  // "-0.0000000" (a negative zero, or a tiny negative value) is zero.
  if (out[0] == '-' && std::all_of(out + 1, end, [](char c) { return c == '0' || c == '.'; })) {
    std::memmove(out, out + 1, static_cast<size_t>(end - out - 1));
    --end;
  }
  return end;
}

}  // namespace

char* WriteFixed7(char* out, double value) {
  // value x 10^7 rounded to an integer, when the rounding of the product
  // cannot have moved it across a half (the product is within half a unit
  // of the exact one, so a margin of a unit decides), gives the same digits
  // as the exact value; and integers print fast.
  const double scaled = value * 1e7;
  if (!(std::abs(scaled) < 4.0e15)) return WriteFixed7Slow(out, value);
  const double rounded = std::nearbyint(scaled);
  const double a = std::abs(scaled);
  const double unit = std::nextafter(a, std::numeric_limits<double>::infinity()) - a;
  if (!(0.5 - std::abs(scaled - rounded) > 2 * unit)) return WriteFixed7Slow(out, value);
  auto m = static_cast<int64_t>(rounded);
  if (m < 0) {
    *out++ = '-';
    m = -m;
  }
  char digits[24];
  int n = 0;
  for (; m != 0 || n < 8; m /= 10) digits[n++] = static_cast<char>('0' + m % 10);
  while (n > 7) *out++ = digits[--n];
  *out++ = '.';
  while (n > 0) *out++ = digits[--n];
  return out;
}

bool WritePointText(std::span<const PointRec> points, AtomicFileWriter& out) {
  constexpr size_t kBatch = size_t{1} << 20;
  constexpr size_t kMaxLine = 3 * kMaxFixedText + 4;
  std::vector<char> batch(kBatch + kMaxLine);
  char* p = batch.data();
  for (const PointRec& v : points) {
    p = WriteFixed7(p, v.X);
    *p++ = ' ';
    p = WriteFixed7(p, v.Y);
    *p++ = ' ';
    p = WriteFixed7(p, v.Z);
    *p++ = '\r';
    *p++ = '\n';
    if (static_cast<size_t>(p - batch.data()) >= kBatch) {
      if (!out.Write(std::string_view(batch.data(), static_cast<size_t>(p - batch.data()))))
        return false;
      p = batch.data();
    }
  }
  return out.Write(std::string_view(batch.data(), static_cast<size_t>(p - batch.data())));
}

}  // namespace orvane
