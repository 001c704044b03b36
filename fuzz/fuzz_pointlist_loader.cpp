// Feeds arbitrary bytes to the point-list decoder and to the property-file
// decoder. A list that decodes must encode, and decoding that encoding must
// give the same bytes again.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/model/PointList.h"
#include "core/storage/MeshCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  std::span<const uint8_t> bytes(data, size);

  if (Result<PointList> list = PointListCodec::DecodePointList(bytes)) {
    Result<std::vector<uint8_t>> encoded = PointListCodec::EncodePointList(*list);
    if (!encoded) std::abort();
    Result<PointList> back = PointListCodec::DecodePointList(*encoded);
    if (!back) std::abort();
    Result<std::vector<uint8_t>> again = PointListCodec::EncodePointList(*back);
    if (!again || *again != *encoded) std::abort();
  }

  PointList target;
  target.AddVertex(1, 2, 3);
  if (PointListCodec::DecodeProperties(bytes, target)) {
    if (!PointListCodec::EncodeProperties(target)) std::abort();
  }
  return 0;
}
