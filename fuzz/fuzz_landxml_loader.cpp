// Feeds arbitrary bytes to the LandXML reader, keeping and converting the
// units. A document that reads has only finite coordinates and faces that
// name its own points; the mesh made of it (in metres), exported again,
// reads back with the same counts.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/LandXml.h"
#include "formats/LandXmlRead.h"
#include "project/operations/LandXmlImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (bool metres : {false, true}) {
    Result<LandXmlDocument> doc = ParseLandXml(text, {metres, {}});
    if (!doc) {
      if (doc.Error().Text().empty()) std::abort();
      continue;
    }
    for (const PointRec& p : doc->CgPoints)
      if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.Z)) std::abort();
    for (const LandXmlSurface& s : doc->Surfaces) {
      for (const PointRec& p : s.Points)
        if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.Z)) std::abort();
      for (const auto& f : s.Faces)
        for (int32_t k : f)
          if (k < 1 || static_cast<size_t>(k) > s.Points.size()) std::abort();
      // The export declares metres, so coordinates kept in feet would be
      // read back against the bounds of metres: only coordinates in metres
      // make the round trip.
      if (s.Faces.empty() || (!metres && doc->Unit != LandXmlUnit::Metre)) continue;
      const TriangleMesh mesh = MeshOfLandXmlSurface(s, "S");
      const auto xml =
          BuildLandXml(mesh, s.Boundaries, s.Breaklines, {"2026-01-01", "00:00:00", "t"});
      if (!xml) std::abort();
      Result<LandXmlDocument> again = ParseLandXml(*xml, {});
      if (!again || again->Surfaces.size() != 1 ||
          again->Surfaces[0].Points.size() != s.Points.size() ||
          again->Surfaces[0].Faces != s.Faces)
        std::abort();
    }
  }
  return 0;
}
