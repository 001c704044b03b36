#include "project/plan/PlanScene.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "core/storage/AtomicFile.h"
#include "formats/TextFiles.h"

namespace orvane {

namespace {

// A ".col" larger than this is no colouring of a surface this program can
// hold (some 10 million triangles).
constexpr uint64_t kMaxColBytes = uint64_t{1} << 30;
// How far a coloured corner may lie outside the surface's box (metres).
constexpr double kBoxTolerance = 0.001;

struct RampStop {
  double At;
  std::array<uint8_t, 3> Rgb;
};
// Lowlands green, through straw and brown, to pale summits: the order a
// reader of a topographic map expects.
constexpr std::array<RampStop, 6> kRamp = {{{0.0, {36, 110, 60}},
                                            {0.2, {96, 160, 80}},
                                            {0.45, {200, 210, 130}},
                                            {0.65, {210, 170, 100}},
                                            {0.85, {150, 100, 70}},
                                            {1.0, {240, 236, 230}}}};

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

}  // namespace

uint32_t ElevationRampColour(double fraction) {
  if (!(fraction > 0)) fraction = 0;  // NaN too
  if (fraction > 1) fraction = 1;
  size_t k = 1;
  while (k + 1 < kRamp.size() && fraction > kRamp[k].At) ++k;
  const RampStop& a = kRamp[k - 1];
  const RampStop& b = kRamp[k];
  const double t = (fraction - a.At) / (b.At - a.At);
  uint32_t argb = 0xFF000000u;
  for (size_t c = 0; c < 3; ++c) {
    const double v = a.Rgb[c] + t * (b.Rgb[c] - a.Rgb[c]);
    argb |= static_cast<uint32_t>(std::lround(v)) << (16 - 8 * c);
  }
  return argb;
}

PlanScene ScenePlanOfSurface(const TriangleMesh& surface) {
  PlanScene scene;
  const auto triangles = surface.Triangles().subspan(1);  // slot 0 is no triangle
  ExtentsRec& box = scene.Extents;
  for (const TriangleRec& t : triangles)
    for (const PointRec* p : {&t.A, &t.B, &t.C}) {
      box.Min.X = std::min(box.Min.X, p->X), box.Max.X = std::max(box.Max.X, p->X);
      box.Min.Y = std::min(box.Min.Y, p->Y), box.Max.Y = std::max(box.Max.Y, p->Y);
      box.Min.Z = std::min(box.Min.Z, p->Z), box.Max.Z = std::max(box.Max.Z, p->Z);
    }
  if (triangles.empty()) return scene;
  scene.OriginX = box.Min.X;
  scene.OriginY = box.Min.Y;
  const double range = box.Max.Z - box.Min.Z;
  scene.Corners.resize(6 * triangles.size());
  scene.Colours.resize(triangles.size());
  float* out = scene.Corners.data();
  for (size_t i = 0; i < triangles.size(); ++i) {
    const TriangleRec& t = triangles[i];
    for (const PointRec* p : {&t.A, &t.B, &t.C}) {
      *out++ = static_cast<float>(p->X - scene.OriginX);
      *out++ = static_cast<float>(p->Y - scene.OriginY);
    }
    const double mean = (t.A.Z + t.B.Z + t.C.Z) / 3;
    scene.Colours[i] = ElevationRampColour(range > 0 ? (mean - box.Min.Z) / range : 0.5);
  }
  return scene;
}

void ApplyColouredTriangleText(PlanScene& scene, std::string_view text, size_t surfaceTriangles) {
  std::vector<float> corners;
  std::vector<uint32_t> colours;
  corners.reserve(6 * surfaceTriangles);
  colours.reserve(surfaceTriangles);
  int mode = -1;
  int64_t lineNumber = 0;
  const char* p = text.data();
  const char* const end = p + text.size();
  ColLine line;
  while (p < end) {
    const char* eol = std::find_if(p, end, [](char c) { return c == '\n' || c == '\r'; });
    ++lineNumber;
    if (std::any_of(p, eol, [](char c) { return c != ' ' && c != '\t'; })) {
      if (!ReadColLine(p, eol, line)) {
        scene.ColourNote = "line " + std::to_string(lineNumber) + " is no coloured triangle";
        return;
      }
      if (mode < 0) mode = line.Mode;
      if (line.Mode != mode) {
        scene.ColourNote = "line " + std::to_string(lineNumber) + " mixes the colouring modes";
        return;
      }
      for (size_t k = 0; k < 3; ++k) {
        const double x = line.Xyz[3 * k], y = line.Xyz[3 * k + 1], z = line.Xyz[3 * k + 2];
        if (!InBox(scene.Extents, x, y, z)) {
          scene.ColourNote = "line " + std::to_string(lineNumber) +
                             " lies outside the surface: made before "
                             "the surface last changed";
          return;
        }
        corners.push_back(static_cast<float>(x - scene.OriginX));
        corners.push_back(static_cast<float>(y - scene.OriginY));
      }
      colours.push_back(ArgbFromColourValue(line.Colour));
    }
    p = eol;
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
  const bool slope = mode == 1;
  const bool covers = slope ? colours.size() == surfaceTriangles
                            : colours.size() >= surfaceTriangles && !colours.empty();
  if (!covers) {
    scene.ColourNote = std::to_string(colours.size()) + " coloured triangles for a surface of " +
                       std::to_string(surfaceTriangles) + ": made before the surface last changed";
    return;
  }
  scene.Corners = std::move(corners);
  scene.Colours = std::move(colours);
  scene.Source = slope ? PlanColours::SlopeClasses : PlanColours::ElevationClasses;
  scene.ColourNote.clear();
}

void ApplyColouredTriangles(PlanScene& scene, const std::filesystem::path& colFile,
                            size_t surfaceTriangles) {
  std::error_code ec;
  if (!std::filesystem::exists(colFile, ec)) return;
  const auto bytes = ReadWholeFile(colFile, kMaxColBytes);
  if (!bytes) {
    const std::string& error = bytes.Error().Text();
    scene.ColourNote = error.empty() ? "the file cannot be read" : error;
    return;
  }
  ApplyColouredTriangleText(
      scene, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()),
      surfaceTriangles);
}

void AddPlanLines(PlanScene& scene, std::span<const PointList> polylines, uint32_t colour) {
  for (const PointList& line : polylines)
    for (int32_t i = 1; i < line.count(); ++i) {
      const auto a = line.GetPoint(i), b = line.GetPoint(i + 1);
      if (!a || !b) continue;
      for (double v :
           {a->X - scene.OriginX, a->Y - scene.OriginY, b->X - scene.OriginX, b->Y - scene.OriginY})
        scene.Segments.push_back(static_cast<float>(v));
      scene.SegmentColours.push_back(colour);
    }
}

void AddSurfaceFiles(PlanScene& scene, const std::filesystem::path& folder, const std::string& name,
                     size_t surfaceTriangles) {
  // A name that is no plain file name of the folder has no companions:
  // "../x" would draw another project's colours.
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos)
    return;
  ApplyColouredTriangles(scene, folder / (name + ".col"), surfaceTriangles);
  std::error_code ec;
  if (const auto bnd = folder / (name + ".bnd"); std::filesystem::exists(bnd, ec))
    AddPlanLines(scene, ReadZoneFile(bnd).Lists, kPlanZoneColour);
  if (const auto brk = folder / (name + ".brk"); std::filesystem::exists(brk, ec))
    AddPlanLines(scene, ReadBreaklineFile(brk).Lists, kPlanBreaklineColour);
}

}  // namespace orvane
