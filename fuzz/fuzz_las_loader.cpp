// Feeds arbitrary bytes to the LAS reader and, when they open, through the
// whole point-text conversion (every selection path: ground switch, returns,
// thinning) into a temporary file that is then discarded.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "formats/LasPointText.h"
#include "formats/LasReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  auto at = std::make_shared<size_t>(0);
  Result<LasReader> reader = LasReader::Open(
      [data, size, at](uint8_t* dst, size_t n) {
        n = std::min(n, size - *at);
        if (n > 0) std::memcpy(dst, data + *at, n);
        *at += n;
        return n;
      },
      size, "fuzz.las");
  if (!reader) return 0;
  // The header promised no more records than the bytes hold.
  const LasHeader& h = reader->Header();
  if (h.PointOffset + h.PointCount * h.RecordLength > size) std::abort();
  LasSelection selection;
  selection.Returns = static_cast<LasReturns>(size % 3);
  selection.ThinCell = size % 2 ? 0.5 : 0;  // at least kMinThinCell
  static const std::filesystem::path target =
      std::filesystem::temp_directory_path() / ("fuzz-las-" + std::to_string(::getpid()) + ".xyz");
  Feedback feedback;
  Result<LasPointText> text = WriteLasPointText(*reader, selection, target, feedback);
  if (!text) std::abort();  // the reader checked every size before
  text->Text->Discard();
  return 0;
}
