#pragma once
// The ".xyz" text of a rebuilt surface: every point in the fixed "0.0000000"
// pattern, the layout the suite's own point files use.

#include <cstddef>
#include <span>

#include "core/storage/AtomicFile.h"
#include "core/storage/Records.h"

namespace orvane {

// One line per point in order, x, y and z each in the "0.0000000" pattern
// (seven decimals, "." whatever the locale, no grouping, "-" only before a
// non-zero digit) separated by one blank, lines ended by CR LF. False once a
// write failed (out then holds the reason).
bool WritePointText(std::span<const PointRec> points, AtomicFileWriter& out);
// One number in that pattern at out, which has room for kMaxFixedText
// characters; returns the end.
inline constexpr size_t kMaxFixedText = 330;
char* WriteFixed7(char* out, double value);

}  // namespace orvane
