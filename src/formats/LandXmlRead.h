#pragma once
// Reading a LandXML document (versions 1.0, 1.1, 1.2 and 2.0, each in its
// own namespace, or in none): its TIN surfaces with their exact points and
// faces, their outer boundaries and breaklines, and its survey points
// (CgPoints). The document is streamed: memory grows with the points and
// faces kept, never with the length of the file.
//
// Coordinates. Every "N E Z" triple (P, CgPoint, PntList3D) is northing,
// easting, elevation; it becomes x = E, y = N, z = Z. A coordinate that is
// no finite number, or lies beyond kMaxCoordinate once in metres, is refused
// with its line. Numbers are read exactly as written (correctly rounded), so
// a document this program wrote reads back to the same doubles.
//
// Surfaces. Only Definition surfType="TIN" is read (other kinds are listed
// as skipped). Point ids are any integers in any order; the surface's
// points are numbered 1, 2, ... in document order and faces name them by
// those numbers. A face hidden with i="1" is left out; neighbour
// attributes are ignored. Refused with the line: a point id used twice, a
// face naming an id the surface does not have, a face that is not three
// ids, and more than twice as many faces as points (a TIN of n points has
// at most 2n - 5 triangles).
//
// Hostile input. A document that is not well-formed is refused with the
// line and column the parser stopped at. A document type declaration is
// refused as such (no DTD is read, no entity declared or expanded, nothing
// fetched), so no entity bomb can be expanded; so are elements nested
// deeper than 256 levels (the parser keeps each open one).

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/PointList.h"
#include "core/storage/Records.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"

namespace orvane {

// The linear units a document may declare (Units/Metric or
// Units/Imperial, linearUnit), with their length in metres.
enum class LandXmlUnit : int32_t {
  Metre,              // "meter" (also assumed when the document has no Units)
  Millimetre,         // "millimeter"
  Centimetre,         // "centimeter"
  Kilometre,          // "kilometer"
  InternationalFoot,  // "foot": 0.3048 m
  UsSurveyFoot,       // "USSurveyFoot": 1200/3937 m
};
// The unit's name in documents ("meter", "USSurveyFoot", ...).
std::string_view UnitName(LandXmlUnit unit);
// x in unit, in metres: the foot by 0.3048, the US survey foot as
// x * 1200 / 3937.
double ToMetres(double x, LandXmlUnit unit);

struct LandXmlSurface {
  std::string Name;                           // Surface/@name as written (UTF-8); may be empty
  std::vector<PointRec> Points;               // document order; T = the point's number (1-based)
  std::vector<std::array<int32_t, 3>> Faces;  // 1-based point numbers, as written
  std::vector<PointList> Boundaries;          // outer boundaries, Model 1100
  std::vector<PointList> Breaklines;          // Model 1300
  int64_t HiddenFaces = 0;                    // i="1", left out
  int64_t SkippedBoundaries = 0;              // not outer (void, island, ...)
  int64_t SkippedBreaklines = 0;              // without elevations (PntList2D)
};

struct LandXmlDocument {
  std::string Version;                    // LandXML/@version ("1.2"), "" when absent
  LandXmlUnit Unit = LandXmlUnit::Metre;  // as declared (before any conversion)
  bool UnitsDeclared = false;
  bool ConvertedToMetres = false;
  std::vector<LandXmlSurface> Surfaces;  // TIN surfaces read, document order
  // Every Surface/@name of the document with its kind, in order: what a
  // --surface choice is checked against.
  std::vector<std::pair<std::string, std::string>> AllSurfaces;  // name, surfType
  std::vector<PointRec> CgPoints;        // survey points with three coordinates, in order
  int64_t CgPointsWithoutElevation = 0;  // fewer than three coordinates: not kept
};

struct LandXmlReadOptions {
  // Convert every coordinate to metres; otherwise they stay in the
  // document's unit.
  bool ToMetres = false;
  // Read only the surfaces of these names (all when empty). The survey
  // points are read only when it is empty.
  std::vector<std::string> Surfaces;
};

// Reads the document in file. Failures name the file and, for a fault of
// the document, the line (Outcome::Line) and column. Progress (0..100 of the
// bytes read) and cancel go through feedback.
Result<LandXmlDocument> ReadLandXml(const std::filesystem::path& file,
                                    const LandXmlReadOptions& options, Feedback& feedback);
// The same, from a document in memory (file names it in messages).
Result<LandXmlDocument> ParseLandXml(std::string_view text, const LandXmlReadOptions& options,
                                     const std::filesystem::path& file = "LandXML");

}  // namespace orvane
