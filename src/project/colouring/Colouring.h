#pragma once
// Colouring a surface's triangles by slope classes or elevation bands, as the
// lines of its ".col" file (docs/colouring.md):
//
//   (MODE COLOUR SLOPE ((x1 y1 z1)(x2 y2 z2)(x3 y3 z3)))
//
// MODE 0 for elevation and 1 for slope colouring, COLOUR the colour value
// (ColourClass::ColourValue) in decimal, SLOPE the triangle's slope value in
// "0.00", coordinates in the general decimal form; "." is the decimal point
// whatever the locale, and every line ends in CR LF.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "core/model/TriangleMesh.h"
#include "core/storage/AtomicFile.h"
#include "core/storage/Records.h"
#include "formats/ColourClasses.h"

namespace orvane {

enum class ColouringMode : int16_t { Elevation = 0, Slope = 1 };

// The slope value of the triangle (a, b, c): the absolute vertical component
// of its normal (b - a) x (c - a) over the normal's length, the cosine of the
// angle between the triangle and the horizontal plane (1 flat, 0 vertical).
// NaN for a triangle without area, which has no slope: it is written "0.00"
// and takes no slope class.
double SlopeValue(const PointRec& a, const PointRec& b, const PointRec& c);

// Progress of a colouring: called with done = 0 first, then every
// kColouringProgressStep triangles, and with done = total at the end.
// Returning false cancels.
using ColouringProgress = std::function<bool(int64_t done, int64_t total)>;
inline constexpr int64_t kColouringProgressStep = 4096;

struct ColouringOutcome {
  int64_t Triangles = 0;  // lines written
  bool Cancelled = false;
  std::string Error;  // "" unless the file could not be written (or no classes)
  bool ok() const { return Error.empty() && !Cancelled; }
};

// Slope colouring: one line per triangle of surface, in index order, in the
// colour of the first class with lower <= slope angle <= upper (degrees,
// both included; a 1e-12 margin on the cosines lets a triangle built at
// exactly a bound's angle match it), white when none does.
ColouringOutcome WriteSlopeColouring(const TriangleMesh& surface,
                                     std::span<const ColourClass> classes, AtomicFileWriter& out,
                                     const ColouringProgress& progress = {});

// Elevation colouring. The remaining surface starts as the whole surface;
// for each class in order it is cut at the class's upper bound as
// HorizontalSplitSimple cuts it: the part at or below is written in the
// class's colour, the part at or above remains. What remains after the last
// class is written in the colour of the last class that received
// triangles (the last class's when none did). The lines are exactly those
// of those successive cuts, but each triangle is followed through the
// classes on its own: only triangles that cross a bound are cut, and the
// cut pieces are never merged into whole meshes. Where two threads may run
// (TwoThreads), both follow the triangles and format the lines, and the file
// is written in order from the calling thread, which alone reports: the
// bytes are those of one thread.
// REQUIRES: classes not empty (else an error and nothing written).
ColouringOutcome WriteElevationColouring(const TriangleMesh& surface,
                                         std::span<const ColourClass> classes,
                                         AtomicFileWriter& out,
                                         const ColouringProgress& progress = {});

}  // namespace orvane
