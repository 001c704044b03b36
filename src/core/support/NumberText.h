#pragma once
// Numbers in text, independent of the user's locale: "." is always the
// decimal point.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/support/Outcome.h"

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

// A number a user typed (a box of a window, an argument of the command
// line): the whole text, blanks around it aside, must be one finite decimal
// number with "." as decimal point ("-2.5", "+3", ".25", "1e3"). Anything
// else ("", "abc", "2,5", "-inf", "--5", "0x10", "1e999") is refused with
// the message that quotes the text: nothing may be computed from a typo.
Result<double> ParseTypedNumber(std::string_view text);
// The message ParseTypedNumber gives for text.
std::string TypedNumberError(std::string_view text);

// Fixed number of decimals ("0.000" is FormatFixed(v, 3)).
std::string FormatFixed(double value, int decimals);

}  // namespace orvane
