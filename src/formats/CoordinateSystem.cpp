#include "formats/CoordinateSystem.h"

#include <cpl_conv.h>
#include <ogr_spatialref.h>

#include <cctype>
#include <charconv>
#include <memory>

#include "formats/GdalSupport.h"

namespace orvane {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// The code of "EPSG:n" (any case) or of a bare "n".
std::optional<int> EpsgCodeOf(std::string_view text) {
  if (text.size() > 5 && (text[0] == 'E' || text[0] == 'e') && (text[1] == 'P' || text[1] == 'p') &&
      (text[2] == 'S' || text[2] == 's') && (text[3] == 'G' || text[3] == 'g') && text[4] == ':')
    text.remove_prefix(5);
  int code = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), code);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || code <= 0)
    return std::nullopt;
  return code;
}

Result<OGRSpatialReference> Parse(std::string_view setting) {
  gdal::EnsureGdal();
  OGRSpatialReference srs;
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  const std::string text(Trim(setting));
  if (const std::optional<int> code = EpsgCodeOf(text)) {
    if (srs.importFromEPSG(*code) != OGRERR_NONE)
      return Outcome::Failure(ErrorCode::Refused,
                              "coordinate system EPSG:" + std::to_string(*code) + " is not known");
    return srs;
  }
  if (text.find('[') == std::string::npos || srs.importFromWkt(text.c_str()) != OGRERR_NONE)
    return Outcome::Failure(ErrorCode::Refused,
                            "coordinate system: an EPSG code (EPSG:25830) or a WKT definition "
                            "expected");
  return srs;
}

// OGC WKT 1 by default (what LandXML's ogcWktCode names); WKT 2 keeps what
// a typed definition holds.
std::string OneLineWkt(const OGRSpatialReference& srs, bool wkt2 = false) {
  char* wkt = nullptr;
  const char* const options[] = {wkt2 ? "FORMAT=WKT2_2019" : "FORMAT=WKT1", "MULTILINE=NO",
                                 nullptr};
  srs.exportToWkt(&wkt, options);
  std::string text = wkt != nullptr ? wkt : "";
  CPLFree(wkt);
  return text;
}

}  // namespace

Result<std::optional<OGRSpatialReference>> gdal::SpatialReferenceOf(std::string_view setting) {
  if (Trim(setting).empty()) return std::optional<OGRSpatialReference>();
  Result<OGRSpatialReference> srs = Parse(setting);
  if (!srs) return srs.Error();
  return std::optional<OGRSpatialReference>(std::move(*srs));
}

Result<std::string> NormaliseCoordinateSystem(std::string_view text) {
  if (Trim(text).empty()) return std::string();
  const Result<OGRSpatialReference> srs = Parse(text);
  if (!srs) return srs.Error();
  if (const std::optional<int> code = EpsgCodeOf(Trim(text)))
    return "EPSG:" + std::to_string(*code);
  return OneLineWkt(*srs, true);
}

Result<std::optional<CoordinateSystemInfo>> DescribeCoordinateSystem(std::string_view setting) {
  if (Trim(setting).empty()) return std::optional<CoordinateSystemInfo>();
  Result<OGRSpatialReference> srs = Parse(setting);
  if (!srs) return srs.Error();
  CoordinateSystemInfo info;
  const char* name = srs->GetName();
  info.Name = name != nullptr ? name : "";
  srs->AutoIdentifyEPSG();
  const char* authority = srs->GetAuthorityName(nullptr);
  const char* code = srs->GetAuthorityCode(nullptr);
  if (authority != nullptr && code != nullptr && std::string_view(authority) == "EPSG")
    if (const std::optional<int> n = EpsgCodeOf(code)) info.EpsgCode = *n;
  info.Wkt = OneLineWkt(*srs);
  return std::optional<CoordinateSystemInfo>(std::move(info));
}

}  // namespace orvane
