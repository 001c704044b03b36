#pragma once
// Numbers in text, independent of the user's locale: "." is always the
// decimal point.

#include <string>

namespace orvane {

// General decimal form: up to 15 significant digits, no grouping, no
// exponent for ordinary magnitudes, trailing zeros dropped ("1.5", "-3", "0.001").
std::string FormatNumber(double value);
// Appends FormatNumber(value) to out, faster (no temporary string; the
// shortest round-trip digits serve whenever they number 15 or fewer).
void AppendNumber(std::string& out, double value);

// Fixed number of decimals ("0.000" is FormatFixed(v, 3)).
std::string FormatFixed(double value, int decimals);

}  // namespace orvane
