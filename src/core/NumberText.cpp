#include "core/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace orvane {

std::string FormatNumber(double value) {
  if (value == 0) return "0";  // also folds -0
  char buf[64];
  // %.15g never uses the locale here: to_chars is locale-independent.
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  return std::string(buf, r.ptr);
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
