#pragma once
// The project's coordinate system as GIS files carry it. The setting is an
// EPSG code ("EPSG:25830", or the bare number) or a WKT definition; empty
// means none, and then no file says anything about it.

#include <optional>
#include <string>
#include <string_view>

#include "core/support/Outcome.h"

namespace orvane {

// What the LandXML CoordinateSystem element and the status lines show.
struct CoordinateSystemInfo {
  std::string Name;                 // "ETRS89 / UTM zone 30N"
  std::optional<int32_t> EpsgCode;  // when the definition has one
  std::string Wkt;                  // one line, OGC WKT 1
};

// The setting as it is to be kept: "EPSG:n" for a code, the definition as
// WKT 2 on one line for a WKT; "" for an empty text. Refused, saying why, for a
// code or WKT the projection library does not know. Nothing else (file
// names, addresses, projection strings) is accepted, so reading a setting
// never touches a file or the network.
Result<std::string> NormaliseCoordinateSystem(std::string_view text);

// The details of a kept setting; nullopt for none, Refused as above.
Result<std::optional<CoordinateSystemInfo>> DescribeCoordinateSystem(std::string_view setting);

}  // namespace orvane
