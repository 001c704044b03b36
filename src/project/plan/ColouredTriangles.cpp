#include "project/plan/ColouredTriangles.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <type_traits>

#include "project/plan/PlanScene.h"

namespace orvane {

namespace {

// How far a coloured corner may lie outside the surface's box (metres).
constexpr double kBoxTolerance = 0.001;

// Reads the fields of one ".col" line in place; false at the first
// character that does not fit "(M C S ((x y z)(x y z)(x y z)))".
class LineCursor {
 public:
  LineCursor(const char* p, const char* end) : p_(p), end_(end) {}
  bool Char(char c) {
    Blanks();
    if (p_ == end_ || *p_ != c) return false;
    ++p_;
    return true;
  }
  template <typename T>
  bool Number(T& value) {
    Blanks();
    const auto [next, ec] = std::from_chars(p_, end_, value);
    if (ec != std::errc() || next == p_) return false;
    p_ = next;
    if constexpr (std::is_floating_point_v<T>) return std::isfinite(value);
    return true;
  }
  bool AtEnd() {
    Blanks();
    return p_ == end_;
  }

 private:
  void Blanks() {
    while (p_ != end_ && (*p_ == ' ' || *p_ == '\t')) ++p_;
  }
  const char* p_;
  const char* end_;
};

struct ColLine {
  int Mode = 0;
  int64_t Colour = 0;
  std::array<double, 9> Xyz{};
};

bool ReadColLine(const char* begin, const char* end, ColLine& line) {
  LineCursor c(begin, end);
  double slope = 0;
  if (!c.Char('(') || !c.Number(line.Mode) || !c.Number(line.Colour) || !c.Number(slope) ||
      !c.Char('('))
    return false;
  for (int k = 0; k < 3; ++k) {
    if (!c.Char('(')) return false;
    for (int j = 0; j < 3; ++j)
      if (!c.Number(line.Xyz[static_cast<size_t>(3 * k + j)])) return false;
    if (!c.Char(')')) return false;
  }
  return c.Char(')') && c.Char(')') && c.AtEnd() && (line.Mode == 0 || line.Mode == 1) &&
         line.Colour >= 0 && line.Colour <= 0xFFFFFF;
}

bool InBox(const ExtentsRec& box, double x, double y, double z) {
  return x >= box.Min.X - kBoxTolerance && x <= box.Max.X + kBoxTolerance &&
         y >= box.Min.Y - kBoxTolerance && y <= box.Max.Y + kBoxTolerance &&
         z >= box.Min.Z - kBoxTolerance && z <= box.Max.Z + kBoxTolerance;
}

// The lines read one by one into the triangles, the first refusal kept.
class Reader {
 public:
  Reader(const ExtentsRec& box, double originX, double originY, size_t surfaceTriangles)
      : box_(box), originX_(originX), originY_(originY) {
    out_.Corners.reserve(6 * surfaceTriangles);
    out_.Colours.reserve(surfaceTriangles);
  }

  // Line lineNumber, begin..end, not blank.
  Outcome Add(const char* begin, const char* end, int64_t lineNumber) {
    const auto refused = [&](std::string_view why) {
      return Outcome::Failure(ErrorCode::Refused,
                              "line " + std::to_string(lineNumber) + std::string(why), {},
                              lineNumber);
    };
    if (!ReadColLine(begin, end, line_)) return refused(" is no coloured triangle");
    if (mode_ < 0) mode_ = line_.Mode;
    if (line_.Mode != mode_) return refused(" mixes the colouring modes");
    for (size_t k = 0; k < 3; ++k) {
      const double x = line_.Xyz[3 * k], y = line_.Xyz[3 * k + 1], z = line_.Xyz[3 * k + 2];
      if (!InBox(box_, x, y, z))
        return refused(" lies outside the surface: made before the surface last changed");
      out_.Corners.push_back(static_cast<float>(x - originX_));
      out_.Corners.push_back(static_cast<float>(y - originY_));
    }
    out_.Colours.push_back(ArgbFromColourValue(line_.Colour));
    return Outcome();
  }

  Result<ColouredTriangles> Take(size_t surfaceTriangles) {
    out_.Slope = mode_ == 1;
    const size_t n = out_.Colours.size();
    const bool covers = out_.Slope ? n == surfaceTriangles : n >= surfaceTriangles && n > 0;
    if (!covers)
      return Outcome::Failure(ErrorCode::Refused, std::to_string(n) +
                                                      " coloured triangles for a surface of " +
                                                      std::to_string(surfaceTriangles) +
                                                      ": made before the surface last changed");
    return std::move(out_);
  }

 private:
  const ExtentsRec& box_;
  const double originX_, originY_;
  ColouredTriangles out_;
  ColLine line_;
  int mode_ = -1;
};

}  // namespace

Result<ColouredTriangles> ReadColouredTriangles(std::string_view text, const ExtentsRec& box,
                                                double originX, double originY,
                                                size_t surfaceTriangles) {
  Reader reader(box, originX, originY, surfaceTriangles);
  int64_t lineNumber = 0;
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* eol = std::find_if(p, end, [](char c) { return c == '\n' || c == '\r'; });
    ++lineNumber;
    if (std::any_of(p, eol, [](char c) { return c != ' ' && c != '\t'; }))
      if (Outcome added = reader.Add(p, eol, lineNumber); !added) return added;
    p = eol;
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
  return reader.Take(surfaceTriangles);
}

}  // namespace orvane
