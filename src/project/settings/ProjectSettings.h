#pragma once
// The settings kept with a project, in a small text file of its folder
// (docs/settings.md): the longest triangle side of its builds and the
// coordinate system its GIS files carry.
//
// The file, "orvane-project.ini", holds "key = value" lines; empty lines and
// lines starting with ";" or "#" are comments. Numbers are written and read
// with "." as decimal point whatever the locale. A missing file, or a missing
// key, gives the default; a malformed line makes the file unreadable, with
// its line named, so that a typing error is never taken for the default.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/support/Outcome.h"

namespace orvane {

inline constexpr char kProjectSettingsFile[] = "orvane-project.ini";
inline constexpr char kMaxSideKey[] = "max-side";
// Metres: a triangle of the triangulation with a side this long or longer is
// left out of a build (long sides across the hull's concave bays).
inline constexpr double kDefaultMaxTriangleSide = 1000;

// Megabytes the undo history may hold beyond the project's current files
// (the oldest changes go first); 0 keeps no history.
inline constexpr char kUndoHistoryKey[] = "undo-history-mb";
inline constexpr double kDefaultUndoHistoryMegabytes = 2048;
inline constexpr char kCoordinateSystemKey[] = "coordinate-system";

struct ProjectSettings {
  double MaxTriangleSide = kDefaultMaxTriangleSide;
  double UndoHistoryMegabytes = kDefaultUndoHistoryMegabytes;
  // An EPSG code ("EPSG:25830") or a WKT definition on one line; empty for
  // none (formats/CoordinateSystem.h checks and describes it).
  std::string CoordinateSystem;
};

// A longest side as typed ("." as decimal point): a finite length above 0,
// nullopt otherwise.
std::optional<double> ParseMaxTriangleSide(std::string_view text);

// The settings of the project in folder; Unreadable, with a text naming the
// file and line, when the file exists but cannot be read or is malformed.
Result<ProjectSettings> ReadProjectSettings(const std::filesystem::path& folder);

// Writes the longest side into folder's file through a temporary file,
// keeping its other lines (comments, the coordinate system, keys of others)
// as they were. A failure (the old file then stays) says why.
Outcome WriteProjectSettings(const std::filesystem::path& folder, const ProjectSettings& settings);

// Writes the coordinate system into folder's file the same way; an empty
// one removes its line. The caller has checked it.
Outcome WriteCoordinateSystem(const std::filesystem::path& folder, std::string_view setting);

}  // namespace orvane
