#include "core/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace orvane {

std::string FormatNumber(double value) {
  if (value == 0) return "0";  // also folds -0
  char buf[64];
  // %.15g never uses the locale here: to_chars is locale-independent.
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  return std::string(buf, r.ptr);
}

void AppendNumber(std::string& out, double value) {
  if (value == 0) {
    out += '0';
    return;
  }
  // Subnormals carry fewer than 53 bits, so the argument below fails there.
  if (!(std::abs(value) >= std::numeric_limits<double>::min())) {
    out += FormatNumber(value);
    return;
  }
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  // buf holds [-]d[.ddd]e(+|-)xx. When the shortest digits that read back
  // as value number at most 15, value lies within half a binary unit of
  // them, far inside half a unit of the 15th digit: rounding to 15 digits
  // gives the same digits, so only the layout of %.15g remains to apply.
  const char* p = buf;
  const char* end = r.ptr;
  const bool negative = *p == '-';
  if (negative) ++p;
  char digits[20];
  int n = 0;
  for (; p < end && *p != 'e'; ++p) {
    if (*p == '.') continue;
    if (n == 17 || *p < '0' || *p > '9') {
      out += FormatNumber(value);  // inf, nan
      return;
    }
    digits[n++] = *p;
  }
  if (n > 15 || p == end) {
    out += FormatNumber(value);
    return;
  }
  int exponent = 0;
  std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent);
  if (negative) out += '-';
  if (exponent < -4 || exponent >= 15) {
    out += digits[0];
    if (n > 1) {
      out += '.';
      out.append(digits + 1, static_cast<size_t>(n - 1));
    }
    out.append(p, end);  // the exponent as to_chars wrote it (sign and two digits at least)
  } else if (exponent < 0) {
    out += "0.";
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out.append(digits, static_cast<size_t>(n));
  } else if (n <= exponent + 1) {
    out.append(digits, static_cast<size_t>(n));
    out.append(static_cast<size_t>(exponent + 1 - n), '0');
  } else {
    out.append(digits, static_cast<size_t>(exponent + 1));
    out += '.';
    out.append(digits + exponent + 1, static_cast<size_t>(n - exponent - 1));
  }
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
