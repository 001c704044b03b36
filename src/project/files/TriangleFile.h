#pragma once
// The ".tin" file of a surface: one line per triangle in index order,
// "((x1 y1 z1)(x2 y2 z2)(x3 y3 z3))" with CR LF, numbers in the general
// decimal form with ".", every triangle clockwise.

#include <filesystem>

#include "core/model/TriangleMesh.h"
#include "core/support/Outcome.h"

namespace orvane {

class AtomicFileWriter;
class PointTexts;

// Writes the ".tin" file of mesh. A counter-clockwise (or degenerate)
// triangle is inverted in the mesh before its line is written, so every
// line runs clockwise. A failure names the file and the reason; the
// previous file is left as it was.
Outcome WriteTriangleFile(TriangleMesh& mesh, const std::filesystem::path& path);
// The same lines into out, which the caller commits (or discards) together
// with other files; false when a write failed (out.Error() says why).
bool WriteTriangleText(TriangleMesh& mesh, AtomicFileWriter& out);
// WriteTriangleText in two steps, so that the lines can be written while
// another thread reads the mesh (its ".dsp" is saved): the same lines,
// without touching the mesh, then the inversions it makes. texts, when
// given, are the texts of the mesh's points; without them each point is
// formatted as the lines first need it, and only a window of the texts is
// held at a time. inverted, when given, says whether InvertToClockwise has
// anything to do (false only when every line was written, none inverted).
bool WriteTriangleLines(const TriangleMesh& mesh, AtomicFileWriter& out,
                        const PointTexts* texts = nullptr, bool* inverted = nullptr);
void InvertToClockwise(TriangleMesh& mesh);

// Appends the ".tin" line of the triangle (a, b, c), CR LF included.
void AppendTriangleLine(std::string& out, const PointRec& a, const PointRec& b, const PointRec& c);

}  // namespace orvane
