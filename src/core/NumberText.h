#pragma once
// Numbers in text, independent of the user's locale: "." is always the
// decimal point.

#include <cstddef>
#include <string>

namespace orvane {

// General decimal form: up to 15 significant digits, no grouping, no
// exponent for ordinary magnitudes, trailing zeros dropped ("1.5", "-3", "0.001").
std::string FormatNumber(double value);
// Appends FormatNumber(value) to out, faster (no temporary string).
void AppendNumber(std::string& out, double value);
// Writes FormatNumber(value) at out, which has room for kMaxNumberText
// characters, and returns the end of what it wrote. The fastest form, for
// writers of large files.
inline constexpr size_t kMaxNumberText = 32;
char* WriteNumber(char* out, double value);

// Fixed number of decimals ("0.000" is FormatFixed(v, 3)).
std::string FormatFixed(double value, int decimals);

}  // namespace orvane
