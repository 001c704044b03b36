#pragma once
// What a plan view of a surface draws: its triangles in plan, each with one
// colour, and the boundary zones and breaklines over them.
//
// A scene is built once per surface (and again after a colouring run) and
// then only read, by as many drawings as the view needs, on any thread.
// Plan coordinates are kept as floats from an origin near the surface (X
// east, Y north, metres): half the memory of doubles, and still millimetres
// on a site tens of kilometres wide.
//
// Colours are 0xAARRGGBB words (alpha always 0xFF).

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/Records.h"
#include "formats/ColourClasses.h"

namespace orvane {

inline constexpr uint32_t kPlanZoneColour = 0xFF1E1E1E;       // boundary zones
inline constexpr uint32_t kPlanBreaklineColour = 0xFFD01818;  // breaklines
inline constexpr uint32_t kPlanBackground = 0xFFF7F7F4;       // off the surface

// The elevation ramp, low (0) to high (1); fractions outside are clamped.
uint32_t ElevationRampColour(double fraction);

// A ".col" colour value (red + 256 green + 65536 blue) as 0xAARRGGBB.
inline uint32_t ArgbFromColourValue(int64_t value) {
  const auto v = static_cast<uint32_t>(value);
  return 0xFF000000u | ((v & 0xFFu) << 16) | (v & 0xFF00u) | ((v >> 16) & 0xFFu);
}

// Where the triangles' colours came from.
enum class PlanColours {
  ElevationRamp,     // no usable ".col": by each triangle's mean elevation
  ElevationClasses,  // the ".col" of an elevation colouring
  SlopeClasses,      // the ".col" of a slope colouring
  CutAndFill,        // a cut and fill map (CutFillScene.h)
};

struct PlanScene {
  double OriginX = 0, OriginY = 0;  // plan position of (0, 0) of the floats
  // Three corners (x, y, from the origin) per triangle, then its colour.
  std::vector<float> Corners;  // 6 per triangle
  std::vector<uint32_t> Colours;
  // Segments drawn over the triangles, in order: x1, y1, x2, y2 from the
  // origin, with the colour of each.
  std::vector<float> Segments;  // 4 per segment
  std::vector<uint32_t> SegmentColours;

  ExtentsRec Extents;  // of the surface's triangles (Z too), world coordinates
  PlanColours Source = PlanColours::ElevationRamp;
  // Why a ".col" present was not used ("" when it was, or there is none).
  std::string ColourNote;
  // The project's coordinate system as the status line shows it
  // ("EPSG:25830 ETRS89 / UTM zone 30N"); "" for none.
  std::string CoordinateSystem;
  // The classes of the surface's ".rgb" when its ".col" is used and the
  // ".rgb" reads (for a legend), in file order; else none.
  std::vector<ColourClass> Classes;

  size_t TriangleCount() const { return Colours.size(); }
  size_t SegmentCount() const { return SegmentColours.size(); }
};

// The surface's triangles in the elevation ramp, between the lowest and the
// highest corner (one colour for a flat surface). No segments.
PlanScene ScenePlanOfSurface(const TriangleMesh& surface);

// The triangles of a ".col" file, to replace the ramp of scene (built from
// the same surface). A file is taken only when every line reads, all lines
// have the same mode, it covers the surface as a colouring of it does (a
// slope colouring has exactly its triangles; an elevation colouring at
// least as many, as a cut triangle becomes several), and no corner lies
// outside the surface's box by more than a millimetre: a file left from a
// surface since rebuilt, shifted or scaled is not one of its colourings.
// Otherwise scene keeps its ramp and ColourNote says why. A missing file
// leaves the scene as it is, without a note.
void ApplyColouredTriangles(PlanScene& scene, const std::filesystem::path& colFile,
                            size_t surfaceTriangles);
// The same from the text of a ".col" file.
void ApplyColouredTriangleText(PlanScene& scene, std::string_view text, size_t surfaceTriangles);

// Appends the plan segments of polylines (zones closed as read) in colour.
void AddPlanLines(PlanScene& scene, std::span<const PointList> polylines, uint32_t colour);

// The files of the surface called name in folder, each when it exists and
// reads: its ".col" (ApplyColouredTriangles) with the classes of its ".rgb",
// then its ".bnd" zones and its ".brk" breaklines; and the project's
// coordinate system from the folder's settings (none when they cannot be
// read). Reads files only, so that it may run on another thread than the one
// that owns the surface.
void AddSurfaceFiles(PlanScene& scene, const std::filesystem::path& folder, const std::string& name,
                     size_t surfaceTriangles);

}  // namespace orvane
