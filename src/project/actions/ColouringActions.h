#pragma once
// The colouring actions of a project surface, which the command line and the
// colouring window both call: colour a surface by a palette (slope classes
// copied, elevation bands generated from start, end and interval) or by a
// class file of the user's, writing the classes as the surface's ".rgb" and
// the coloured triangles as its ".col" in the project folder.
//
// The two files are written through temporary files and put in place in one
// change (FolderTransaction): after a refusal, a failure, a cancel or a kill
// both files are as they were, or both are new.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/TriangleMesh.h"
#include "core/support/Outcome.h"
#include "formats/ColourClasses.h"
#include "project/actions/Actions.h"
#include "project/colouring/Colouring.h"
#include "project/colouring/Palettes.h"

namespace orvane {

// The classes and the mode a palette gives a surface.
struct PaletteClasses {
  std::vector<ColourClass> Classes;
  ColouringMode Mode = ColouringMode::Elevation;
};

// The slope palette's classes as they are; an elevation palette's bands
// (GenerateElevationClasses) between ElevationBandLimits of start and end,
// which default to the surface's lowest and highest elevation. Refused, with
// the reason, when the palette gives no classes. limits, when given, takes
// the band limits used (an elevation palette read, of a surface with
// elevations), also when they give no bands: a window shows them either way.
Result<PaletteClasses> ClassesFromPalette(const TriangleMesh& surface, const Palette& palette,
                                          std::optional<double> start, std::optional<double> end,
                                          double interval, BandLimits* limits = nullptr);

}  // namespace orvane

namespace orvane::actions {

// The phase a colouring reports its progress in (text 63 words it).
inline constexpr std::string_view kColouringPhase = "COLOURING";

// Writes classes as <surface name>.rgb and the coloured triangles as
// <surface name>.col in the project folder, under the folder's lock, with
// progress to CurrentStatus(). Refuses a surface without a usable name or
// without triangles, and an empty class list. Done: text 64, the figures
// "classes" and "triangles" (lines of the ".col"); cancelled: text 93.
ActionResult Colour(const TriangleMesh& surface, std::span<const ColourClass> classes,
                    ColouringMode mode, const StopRequest& stop = {});

// The palette named paletteName (of PaletteFolder()) applied to surface:
// ClassesFromPalette, then Colour. Refused, nothing written, when there is
// no such palette or it gives no classes.
ActionResult ColourByPalette(const TriangleMesh& surface, std::string_view paletteName,
                             std::optional<double> start, std::optional<double> end,
                             double interval, const StopRequest& stop = {});

// The classes of a user's class file (ReadClassFile) applied to surface, as
// slope classes (degrees) or elevation bands (metres), in elevation order
// (SortClasses: overlapping classes are refused with their lines, classes
// out of order sorted with a warning); they become the surface's ".rgb", so
// that it always holds the classes of its ".col".
ActionResult ColourByClassFile(const TriangleMesh& surface, const std::filesystem::path& file,
                               ColouringMode mode, const StopRequest& stop = {});

}  // namespace orvane::actions
