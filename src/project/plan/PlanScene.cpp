#include "project/plan/PlanScene.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/storage/AtomicFile.h"
#include "formats/CoordinateSystem.h"
#include "formats/TextFiles.h"
#include "project/plan/ColouredTriangles.h"
#include "project/settings/ProjectSettings.h"

namespace orvane {

namespace {

// A ".col" larger than this is no colouring of a surface this program can
// hold (some 10 million triangles).
constexpr uint64_t kMaxColBytes = uint64_t{1} << 30;

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
  Result<ColouredTriangles> read =
      ReadColouredTriangles(text, scene.Extents, scene.OriginX, scene.OriginY, surfaceTriangles);
  if (!read) {
    scene.ColourNote = read.Error().Text();
    return;
  }
  scene.Corners = std::move(read->Corners);
  scene.Colours = std::move(read->Colours);
  scene.Source = read->Slope ? PlanColours::SlopeClasses : PlanColours::ElevationClasses;
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
  if (const Result<ProjectSettings> settings = ReadProjectSettings(folder); settings)
    if (const auto crs = DescribeCoordinateSystem(settings->CoordinateSystem); crs && *crs)
      scene.CoordinateSystem =
          ((*crs)->EpsgCode ? "EPSG:" + std::to_string(*(*crs)->EpsgCode) + " " : std::string()) +
          (*crs)->Name;
  // A name that is no plain file name of the folder has no companions:
  // "../x" would draw another project's colours.
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos)
    return;
  ApplyColouredTriangles(scene, folder / (name + ".col"), surfaceTriangles);
  std::error_code ec;
  if (const auto rgb = folder / (name + ".rgb");
      scene.Source != PlanColours::ElevationRamp && std::filesystem::exists(rgb, ec)) {
    ClassFile classes = ReadClassFile(rgb);
    if (classes.ok()) scene.Classes = std::move(classes.Classes);
  }
  if (const auto bnd = folder / (name + ".bnd"); std::filesystem::exists(bnd, ec))
    AddPlanLines(scene, ReadZoneFile(bnd).Lists, kPlanZoneColour);
  if (const auto brk = folder / (name + ".brk"); std::filesystem::exists(brk, ec))
    AddPlanLines(scene, ReadBreaklineFile(brk).Lists, kPlanBreaklineColour);
}

}  // namespace orvane
