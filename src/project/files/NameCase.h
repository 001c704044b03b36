#pragma once
// Upper-casing of surface names, which the file set compares without regard
// to case. Names typed on this system are UTF-8; older projects carry 8-bit
// ISO-8859-1 names. Accented letters are upper-cased in both ("Ñandú" ->
// "ÑANDÚ"), whatever the locale: the result must not depend on the machine.

#include <string>
#include <string_view>

namespace orvane {

// UTF-8 when the bytes are valid UTF-8, ISO-8859-1 otherwise. Letters of the
// Latin (with Latin-1 and Latin Extended-A), Greek and Cyrillic alphabets
// are mapped; everything else is kept as it is.
std::string UpperCaseName(std::string_view name);

}  // namespace orvane
