#include "core/support/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace orvane {

namespace {

constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// m / 10^k in fixed layout ("0.05", "12.5", "300"), with k the number of
// decimals; m has no trailing zero when k > 0. Written from the last digit
// backwards, straight into place.
char* WriteScaled(char* out, uint64_t m, int k) {
  int digits = 1;
  for (uint64_t rest = m / 10; rest != 0; rest /= 10) ++digits;
  const int length = k + (k > 0 ? 1 : 0) + std::max(1, digits - k);
  char* p = out + length;
  for (int i = 0; i < k; ++i, m /= 10) *--p = static_cast<char>('0' + m % 10);
  if (k > 0) *--p = '.';
  do {
    *--p = static_cast<char>('0' + m % 10);
    m /= 10;
  } while (m != 0);
  return out + length;
}

// Survey files hold numbers with a few decimals. When some m / 10^k with
// m < 10^15 reads back as a exactly, those are the 15-digit rounding of a:
// the decimal lies within half a binary unit of a, far inside half a unit of
// the 15th digit, and on that digit's grid (m < 10^15). The smallest such k
// leaves no trailing zero, so the digits are %.15g's, in fixed layout for
// 1e-4 <= a < 1e15. nullptr when a has no such form.
char* WriteShortDecimal(char* out, double a) {
  if (!(a >= 1e-4 && a < 1e15)) return nullptr;
  // Millimetres first, then three decimals more at each step: once some k
  // serves, every larger one does too (while m < 10^15), and the trailing
  // zeros of m then give the smallest k, which lies above the k that failed
  // before. Numbers with all their binary digits fail in a few steps.
  // (Above 1e12, m at k = 3 would be too long: start at k = 0.)
  int k = a < 1e12 ? 3 : 0;
  for (int failed = -1; k < 16; failed = k, k += 3) {
    const double scaled = a * kPow10[k];
    if (scaled >= 1e15) return nullptr;
    // Below 2^50 the units of scaled are at most 1/8: + 0.5 is exact.
    auto m = static_cast<uint64_t>(scaled + 0.5);
    if (static_cast<double>(m) / kPow10[k] != a) continue;
    int decimals = k;
    while (decimals > failed + 1 && m % 10 == 0) {
      m /= 10;
      --decimals;
    }
    return WriteScaled(out, m, decimals);
  }
  return nullptr;
}

char* WriteGeneral(char* out, double value) {
  // %.15g never uses the locale here: to_chars is locale-independent.
  return std::to_chars(out, out + kMaxNumberText, value, std::chars_format::general, 15).ptr;
}

// The shortest round-trip digits, laid out as %.15g would: when they number
// at most 15, value lies within half a binary unit of them, far inside half
// a unit of the 15th digit, so rounding to 15 digits gives the same digits.
char* WriteFromShortest(char* out, double value) {
  // Subnormals carry fewer than 53 bits, so the argument above fails there.
  if (!(std::abs(value) >= std::numeric_limits<double>::min())) return WriteGeneral(out, value);
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  // buf holds [-]d[.ddd]e(+|-)xx.
  const char* p = buf;
  const char* end = r.ptr;
  const bool negative = *p == '-';
  if (negative) ++p;
  char digits[20];
  int n = 0;
  for (; p < end && *p != 'e'; ++p) {
    if (*p == '.') continue;
    if (n == 17 || *p < '0' || *p > '9') return WriteGeneral(out, value);  // inf, nan
    digits[n++] = *p;
  }
  if (n > 15 || p == end) return WriteGeneral(out, value);
  int exponent = 0;
  std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent);
  if (negative) *out++ = '-';
  const auto put = [&out](const char* from, int count) {
    std::memcpy(out, from, static_cast<size_t>(count));
    out += count;
  };
  if (exponent < -4 || exponent >= 15) {
    *out++ = digits[0];
    if (n > 1) {
      *out++ = '.';
      put(digits + 1, n - 1);
    }
    put(p, static_cast<int>(end - p));  // the exponent as to_chars wrote it
  } else if (exponent < 0) {
    *out++ = '0';
    *out++ = '.';
    for (int z = 0; z < -exponent - 1; ++z) *out++ = '0';
    put(digits, n);
  } else if (n <= exponent + 1) {
    put(digits, n);
    for (int z = n; z < exponent + 1; ++z) *out++ = '0';
  } else {
    put(digits, exponent + 1);
    *out++ = '.';
    put(digits + exponent + 1, n - exponent - 1);
  }
  return out;
}

}  // namespace

char* WriteNumber(char* out, double value) {
  if (value == 0) {  // also folds -0
    *out = '0';
    return out + 1;
  }
  char* sign = out;
  if (value < 0) *out++ = '-';
  if (char* end = WriteShortDecimal(out, std::abs(value))) return end;
  return WriteFromShortest(sign, value);
}

std::string FormatNumber(double value) {
  if (value == 0) return "0";
  char buf[kMaxNumberText];
  return std::string(buf, WriteGeneral(buf, value));
}

void AppendNumber(std::string& out, double value) {
  char buf[kMaxNumberText];
  out.append(buf, WriteNumber(buf, value));
}

std::string TypedNumberError(std::string_view text) {
  std::string message = "\"";
  message.append(text);
  message += "\" is not a number: type digits with \".\" as the decimal point (as in -2.5)";
  return message;
}

Result<double> ParseTypedNumber(std::string_view text) {
  std::string_view t = text;
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!t.empty() && blank(t.front())) t.remove_prefix(1);
  while (!t.empty() && blank(t.back())) t.remove_suffix(1);
  bool negative = false;
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  // Only a digit or a decimal point begins a number: from_chars would also
  // take "inf", "nan" and a second sign.
  double value = 0;
  bool ok = !t.empty() && ((t.front() >= '0' && t.front() <= '9') || t.front() == '.');
  if (ok) {
    const auto r =
        std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::general);
    ok = r.ec == std::errc() && r.ptr == t.data() + t.size() && std::isfinite(value);
  }
  if (!ok) return Outcome::Failure(ErrorCode::Refused, TypedNumberError(text));
  return negative ? -value : value;
}

std::string FormatFixed(double value, int decimals) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  std::string s(buf, r.ptr);
  if (s.size() > 1 && s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos)
    s.erase(0, 1);  // "-0.000" reads as "0.000"
  return s;
}

}  // namespace orvane
