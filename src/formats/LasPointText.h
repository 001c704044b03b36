#pragma once
// The ".xyz" point text of a LAS point cloud: the points a surveyor wants a
// surface of (by class, by return, thinned), one "x y z" line each.
//
// Coordinates. A coordinate is the record's integer times the header's scale
// plus its offset. The scale and offset are taken as the decimals they stand
// for (the shortest decimal that reads back as the header's double: 0.001 is
// one thousandth, not the binary number nearest to it) and the sum is worked
// out in whole numbers and written in full, so "512345.678" comes out for a
// point an ".xyz" would give as 512345.678: both build the same surface.
// Where those decimals are too long for exact whole-number arithmetic the
// coordinate is the double nearest to integer * scale + offset (one rounding)
// written with the digits that read back as that double.
//
// Selection, in this order:
//   withheld   records marked withheld are always left out;
//   returns    All, First (return number 1, or 0 when the scanner set none),
//              Last (return number equal to the number of returns, or
//              larger: a pulse of one return is its own first and last);
//   classes    the listed classification codes; by default the ground class
//              2 when the file has any such point (withheld ones and those of
//              other returns aside), otherwise every point;
//   far        points beyond kMaxCoordinate, which the point reader would
//              skip, are left out and counted;
//   thinning   with a cell size, one point per cell of the plan grid of
//              that size anchored at 0,0 (cell = floor(x / size), floor(y /
//              size)): the lowest, the first in file order among equally low
//              ones. The points kept are written in file order.
// Lines end in CR LF, as every text file of the suite.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "core/storage/AtomicFile.h"
#include "core/support/Feedback.h"
#include "core/support/Outcome.h"
#include "formats/LasReader.h"

namespace orvane {

enum class LasReturns { All, First, Last };
enum class LasClasses {
  GroundOrAll,  // class 2 when the file has any, else every point
  All,
  Listed,
};

// The smallest thinning cell, metres: finer cells than this are no thinning
// of a survey.
inline constexpr double kMinThinCell = 1e-6;

struct LasSelection {
  LasClasses Classes = LasClasses::GroundOrAll;
  std::array<bool, 256> Listed{};  // the codes kept when Classes is Listed
  LasReturns Returns = LasReturns::All;
  double ThinCell = 0;  // metres; 0 keeps every point
};

// "2,9" or "2, 9" (codes 0..255) as a Listed selection; "all" as All; ""
// as GroundOrAll. Refused, quoting the text, for anything else.
Result<LasSelection> ParseLasClasses(std::string_view text);

// What was read and what became of each point record.
struct LasPointCount {
  uint64_t Records = 0;       // point records read
  uint64_t Withheld = 0;      // left out: marked withheld
  uint64_t OtherReturns = 0;  // left out by the returns choice
  uint64_t OtherClasses = 0;  // left out by the class choice
  uint64_t Far = 0;           // left out: beyond kMaxCoordinate
  uint64_t Thinned = 0;       // left out by the thinning
  uint64_t Written = 0;       // lines of the text
  // The classes that were kept, in words: "ground (class 2)", "every class
  // (the file has no ground points)", "every class", "classes 2, 9".
  std::string ClassesKept;
};

// The point text written to a temporary file beside target, not yet in
// place: the caller commits or stages the writer.
struct LasPointText {
  LasPointCount Count;
  std::unique_ptr<AtomicFileWriter> Text;
};

// The phase code of the conversion.
inline constexpr std::string_view kLasReadingPhase = "READING_POINT_CLOUD";

// Reads every remaining point record of reader and writes the text of the
// selected points. Progress in percent of the records; Cancelled when
// feedback asks to stop (nothing is kept then), Unreadable when the file
// fails, CannotWrite when the text cannot be written, Refused for a
// thinning cell under kMinThinCell (or no finite number).
Result<LasPointText> WriteLasPointText(LasReader& reader, const LasSelection& selection,
                                       const std::filesystem::path& target, Feedback& feedback);

// "x" of integer v of an axis with the header's scale and offset, as the
// text gives it (above).
std::string LasCoordinateText(int32_t v, double scale, double offset);

}  // namespace orvane
