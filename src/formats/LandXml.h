#pragma once
// LandXML 1.2 export of a surface: its points, its triangles, and the
// inclusion zones (".bnd") and breaklines (".brk") of its file set.
//
// The document is one line of ISO-8859-1 text ended by CR LF (docs/landxml.md
// shows it). Every number uses "." as decimal point whatever the locale.
//
// Text. The surface name is the mesh's Tag, taken as the Latin-1 bytes the
// binary file stores: each byte is the character of the same code. Text from
// our own side (dates, times) is UTF-8. Either way &, <, > and " are escaped,
// characters outside ISO-8859-1 become numeric character references, and
// characters XML cannot carry at all (controls, invalid UTF-8) become
// U+FFFD, so the document is always well-formed.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/SurfaceArea.h"
#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/support/Outcome.h"
#include "formats/CoordinateSystem.h"
#include "formats/TextFiles.h"

namespace orvane {

// The three long loops of the document. The value is the text-table entry
// (1-based) a window shows while the loop runs.
enum class LandXmlPhase : int32_t {
  CgPoints = 80,  // <CgPoint> elements
  Pnts = 81,      // <P> elements of the surface definition
  Faces = 82,     // <F> elements
};

// Progress of a loop: called with done = 0 before its first element, after
// every kLandXmlProgressStep elements and with done = total after the last.
// Returning false stops the document where it is (a cancel).
using LandXmlProgress = std::function<bool(LandXmlPhase phase, int64_t done, int64_t total)>;
inline constexpr int64_t kLandXmlProgressStep = 4096;

// Receives the document in pieces, in order. Returning false stops it (a
// failed write).
using LandXmlSink = std::function<bool(std::string_view piece)>;

// When the document was made, as it shows in the LandXML and Application
// elements.
struct LandXmlClock {
  std::string Date;       // "2026-03-01"
  std::string Time;       // "14:05:09", 24-hour
  std::string TimeStamp;  // "2026-03-01T14:05:09.250" (ExportTimeStamp)
};
// The local date and time now.
LandXmlClock LandXmlClockNow();
// The local date and time now as year-month-day "T" hour:minute:second and
// milliseconds ("2026-03-01T14:05:09.250"): the xs:dateTime form the schema
// requires of Application/@timeStamp.
std::string ExportTimeStamp();

// How the bytes of a text are to be read.
enum class TextBytes { Latin1, Utf8 };
// Appends text to out as XML character data safe inside a double-quoted
// attribute or an element (see the file comment).
void AppendXmlEscaped(std::string& out, std::string_view text, TextBytes bytes);

// The surface name written in <Surface name="...">: the Tag's text (a
// non-text Tag in its plain text form), unescaped Latin-1 bytes.
std::string LandXmlSurfaceName(const TriangleMesh& mesh);

// Streams the document of mesh with the given zones and breaklines (in that
// order, each list's points in order) to sink. False when progress or the
// sink stopped it. Point ids are 1 ... PointCount; faces carry
// GetTriangleIndexes unchecked (ExportLandXml checks them). A coordinate
// system, when given, is written after the units as <CoordinateSystem> with
// its name, EPSG code (when it has one) and WKT; without one the document
// has no such element.
bool WriteLandXml(const TriangleMesh& mesh, std::span<const PointList> zones,
                  std::span<const PointList> breaklines, const LandXmlClock& clock,
                  const LandXmlSink& sink, const LandXmlProgress& progress = {},
                  const CoordinateSystemInfo* coordinateSystem = nullptr);
// The whole document as one string (ISO-8859-1 bytes, CR LF at the end);
// nullopt when progress stopped it.
std::optional<std::string> BuildLandXml(const TriangleMesh& mesh, std::span<const PointList> zones,
                                        std::span<const PointList> breaklines,
                                        const LandXmlClock& clock,
                                        const LandXmlProgress& progress = {});

// How an export went.
struct LandXmlExport {
  // Success when the file was written; else one line for the user naming the
  // surface or file and the reason (Cancelled when progress stopped it).
  // Nothing was written then.
  Outcome Written;
  // The companion files read (".brk" then ".bnd"), with their skipped lines.
  std::vector<std::pair<std::filesystem::path, TextReadReport>> Inputs;
  int32_t ZoneCount = 0;
  int32_t BreaklineCount = 0;
  // The zones and breaklines exported, once both companions were read
  // (empty lists for missing files).
  std::optional<std::vector<PointList>> Zones, Breaklines;

  bool ok() const { return Written.Ok(); }
};

// Writes the LandXML document of surface to output (through a temporary file
// renamed into place, so a failed or cancelled export leaves any previous
// file as it was). The zones and breaklines are read afresh from
// folder/<Tag>.bnd and folder/<Tag>.brk (missing files, and a Tag that is
// empty or holds a path separator, give none) and handed back in the result.
// Refused, with nothing written: a surface without triangles (LandXML
// requires a face), a triangle naming a point the surface does not have, and
// a companion file that exists but cannot be read. coordinateSystem is the
// project's setting (CoordinateSystem.h; "" for none): one that is not
// known is refused too.
LandXmlExport ExportLandXml(const TriangleMesh& surface, const std::filesystem::path& folder,
                            const std::filesystem::path& output,
                            const LandXmlProgress& progress = {},
                            const std::optional<LandXmlClock>& clock = std::nullopt,
                            std::string_view coordinateSystem = {});

}  // namespace orvane
