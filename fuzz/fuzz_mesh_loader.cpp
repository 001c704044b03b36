// Feeds arbitrary bytes to the mesh-file decoder, both from memory and
// through the streaming reader with a tiny buffer (so every refill path is
// taken). Both must agree, and a mesh that decodes must encode to a file
// that decodes again.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "core/model/TriangleMesh.h"
#include "core/storage/ByteCodec.h"
#include "core/storage/MeshCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvane;
  std::span<const uint8_t> bytes(data, size);
  Result<TriangleMesh> mesh = MeshCodec::DecodeMesh(bytes);

  size_t at = 0;
  ByteReader streamed(
      size,
      [&](uint8_t* dst, size_t n) {
        n = std::min(n, size - at);
        std::memcpy(dst, data + at, n);
        at += n;
        return n;
      },
      16);
  Result<TriangleMesh> again = MeshCodec::ReadMesh(streamed);
  if (mesh.Ok() != again.Ok()) std::abort();
  if (!mesh) return 0;

  Result<std::vector<uint8_t>> encoded = MeshCodec::EncodeMesh(*mesh);
  Result<std::vector<uint8_t>> encodedAgain = MeshCodec::EncodeMesh(*again);
  if (encoded.Ok() != encodedAgain.Ok() || (encoded && *encoded != *encodedAgain)) std::abort();
  if (encoded && !MeshCodec::DecodeMesh(*encoded)) std::abort();
  return 0;
}
