#pragma once
// Colour classes: the bands (elevation, metres) or slope classes (degrees)
// a surface is coloured by, their text files (palettes, a surface's ".rgb",
// a user's class file: docs/colouring.md), and the making of elevation
// bands from a palette's colours.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/storage/Records.h"
#include "core/support/Outcome.h"

namespace orvane {

// One class: bounds (metres or degrees) and a colour of three components
// 0..255.
struct ColourClass {
  double Lower = 0;
  double Upper = 0;
  int16_t Red = 0;
  int16_t Green = 0;
  int16_t Blue = 0;
  // red + 256 x green + 65536 x blue.
  int32_t ColourValue() const { return Red + 256 * Green + 65536 * Blue; }
  friend bool operator==(const ColourClass&, const ColourClass&) = default;
};

// White: the colour of a triangle no slope class takes.
inline constexpr int32_t kWhite = 255 + 256 * 255 + 65536 * 255;

// The classes of a class file, in file order, or why it cannot be used.
struct ClassFile {
  std::vector<ColourClass> Classes;
  std::vector<int64_t> Lines;  // the line of each class in the file
  // Ok when every line was read; else "<file>: line N: <reason>" (or
  // "<file>: <reason>"), and Classes is empty.
  Outcome Status;
  bool ok() const { return Status.Ok(); }
};

// Reads a palette or class file: one class per line, "lower upper red green
// blue" separated by blanks or tabs (runs of them count as one), "." as
// decimal point; fields after the fifth are ignored, empty lines skipped.
// A line of fewer fields, a field that is not wholly a finite number, or a
// component that is not a whole number 0..255 makes the whole file refused:
// a palette's colours are numbered by line, so a skipped line would shift
// every later band.
ClassFile ReadClassFile(const std::filesystem::path& file);

// Puts classes in elevation order (lower bound, then upper): an elevation
// colouring cuts its bands at each upper bound in list order, so a class
// out of order would take another's band. Refused (Error, classes left as
// they were) when a class's lower bound lies above its upper one, or two
// classes overlap (they may share a bound); the message names both by
// `place` and their numbers in numbers ("line 3", or "row 3").
struct ClassOrder {
  bool Reordered = false;  // the order changed
  Outcome Status;          // Ok when sorted
  bool ok() const { return Status.Ok(); }
};
ClassOrder SortClasses(std::vector<ColourClass>& classes, std::span<const int64_t> numbers,
                       std::string_view place);

// The ".rgb" lines of classes: "lower upper red green blue", single blanks,
// bounds in the general decimal form with ".", CR LF after each line.
std::string ClassFileText(std::span<const ColourClass> classes);

// The first and last band limits from what the user typed and the surface's
// extents, taken as whole metres (the integer part, rounded down): start
// below the integer part of the lowest elevation is raised to it, end above
// the integer part of the highest is lowered to it.
struct BandLimits {
  double Start = 0;
  double End = 0;
  bool StartRaised = false;
  bool EndLowered = false;
};
BandLimits ElevationBandLimits(double start, double end, const ExtentsRec& extents);

struct ClassGeneration {
  std::vector<ColourClass> Classes;
  Outcome Status;  // Ok when made; else why nothing was made
  bool ok() const { return Status.Ok(); }
};

// Elevation bands of `interval` metres from start to end, coloured by the
// palette's lines numbered 0..n: every k-th line, with k = n / (end - start)
// x interval rounded half to even. Each band runs from the current lower
// bound to lower + interval; the first band that reaches end is cut there
// and ends the list. When the used lines run out first, one more band from
// the current lower bound to end takes the colour of line n. Refused (no
// classes, with a message) when end <= start, interval <= 0, a bound is not
// finite, the palette is empty, or k would be 0 (more than 2n bands: too
// many for the palette's lines).
ClassGeneration GenerateElevationClasses(std::span<const ColourClass> palette, double start,
                                         double end, double interval);

}  // namespace orvane
