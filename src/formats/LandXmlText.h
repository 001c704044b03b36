#pragma once
// The pieces of text the LandXML document is made of, shared by the
// document writer and the export: how a name's bytes are read and how
// numbers are spelled. Internal to the formats library.

#include <string>
#include <string_view>

#include "core/storage/Records.h"
#include "formats/LandXml.h"

namespace orvane::landxml {

// How to read a Tag's bytes. Names typed on this system, and file names,
// are UTF-8; older projects hold 8-bit ISO-8859-1 names, whose accented
// letters almost never form valid UTF-8. So: UTF-8 when the bytes are valid
// UTF-8, ISO-8859-1 otherwise.
TextBytes NameBytes(std::string_view text);
std::string Latin1ToUtf8(std::string_view text);

// The general decimal form. The schema's xs:double spells the non-finite
// values NaN, INF and -INF.
void AppendGeneral(std::string& out, double v);
// Three decimals (the general form for non-finite values).
void AppendFixed3(std::string& out, double v);
// Northing, easting, elevation in the general form.
void AppendPoint(std::string& out, const PointRec& p);

}  // namespace orvane::landxml
