#pragma once
// The elevation change of shift and scale in the texts of a surface: its
// survey (".xyz"), zones (".bnd") and breaklines (".brk"), and in the points
// of a surface that has no survey.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/storage/Records.h"
#include "core/support/Outcome.h"

namespace orvane {

// The elevation that marks a survey point without one: the build leaves out
// every triangle with a corner there.
inline constexpr double kNoElevation = -999;

// An elevation change that keeps the marker where it is and gives NaN
// (refused below) where a real elevation would land on it: the point would
// silently become one without elevation.
std::function<double(double)> KeepingTheMarker(std::function<double(double)> change);

// The text of a ".xyz", ".bnd" or ".brk" file with every point's elevation z
// replaced by change(z) (general decimal form, "."): the third field of each
// line the readers take as a point is rewritten; every other byte (x and y as
// typed, separator lines, skipped lines, line ends) is kept. separator is
// the layout's ("ZONA_INC", "BREAKLINE", "" for points). Lines are those of
// the readers (TextFiles.h). A new elevation that the readers would skip (NaN
// stands for the no-elevation marker, beyond 1e9 m) is refused: the outcome
// names the line (1-based, in Line too), its point and why.
Result<std::string> ChangeElevationsInText(std::string_view text, std::string_view separator,
                                           const std::function<double(double)>& change);
// The same for the file (at most limit bytes are read); a refusal begins
// with the file's name.
Result<std::string> ChangeElevationsInFile(const std::filesystem::path& file,
                                           std::string_view separator,
                                           const std::function<double(double)>& change,
                                           uint64_t limit);
// change applied to each point's Z; a refusal ("point (x y z): ...") names
// the first point whose new elevation the build would skip (the points
// before it are changed then, and the list is of no further use).
Outcome ChangePointElevations(std::vector<PointRec>& points,
                              const std::function<double(double)>& change);

}  // namespace orvane
