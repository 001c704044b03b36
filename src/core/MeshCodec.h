#pragma once
// Encoders and decoders of the binary files, shared by the file routines,
// Clone and the fuzzers. The byte layout is documented in
// docs/binary-format.md.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvane {

class TriangleMesh;
class PointList;

class MeshCodec {
 public:
  // The mesh file's bytes; nullopt when the mesh has triangles that carry no
  // point indices (the first triangle's A, B and C all have T = 0).
  static std::optional<std::vector<uint8_t>> EncodeMesh(const TriangleMesh& mesh);
  // Decodes a whole mesh file; on failure returns nullopt and, when reason is
  // given, a one-line explanation ("truncated in the points", ...).
  static std::optional<TriangleMesh> DecodeMesh(std::span<const uint8_t> bytes,
                                                std::string* reason = nullptr);
};

class PointListCodec {
 public:
  static std::vector<uint8_t> EncodePointList(const PointList& list);
  static std::optional<PointList> DecodePointList(std::span<const uint8_t> bytes,
                                                  std::string* reason = nullptr);
};

}  // namespace orvane
