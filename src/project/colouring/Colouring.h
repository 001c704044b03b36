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
#include <span>

#include "core/model/TriangleMesh.h"
#include "core/storage/AtomicFile.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"
#include "formats/ColourClasses.h"
#include "project/colouring/ColouringLines.h"

namespace orvane {

// Both colourings return the lines written, or why there are none:
// Outcome::Cancel when feedback said stop, CannotWrite when the file could
// not be written (out then holds the error). Progress goes to feedback as
// the work done out of the whole, at StepProgress's steps (analysis/
// StepProgress.h): at the start, every step and at the end, from the
// calling thread only.

// Slope colouring: one line per triangle of surface, in index order, in the
// colour of the first class with lower <= slope angle <= upper (degrees,
// both included; a 1e-12 margin on the cosines lets a triangle built at
// exactly a bound's angle match it), white when none does.
Result<int64_t> WriteSlopeColouring(const TriangleMesh& surface,
                                    std::span<const ColourClass> classes, AtomicFileWriter& out,
                                    Feedback& feedback);

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
// The cutting is CutElevationBands (analysis/ElevationBands.h) at the
// classes' upper bounds. Progress: the triangles cut, out of twice their
// count; then the triangle count plus the lines written, out of the triangle
// count plus all the lines.
// REQUIRES: classes not empty (else refused and nothing written).
Result<int64_t> WriteElevationColouring(const TriangleMesh& surface,
                                        std::span<const ColourClass> classes, AtomicFileWriter& out,
                                        Feedback& feedback);

}  // namespace orvane
