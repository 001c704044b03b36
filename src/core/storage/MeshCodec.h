#pragma once
// Encoders and decoders of the binary files, shared by the file routines,
// Clone and the fuzzers. The byte layout is documented in
// docs/binary-format.md.
//
// Decoders trust nothing in their input: every count is checked against the
// bytes left before anything is allocated, and an unknown variant type code,
// a triangle naming a point outside 0 … PointCount, a short file or bytes
// after the last record all make them fail. They never build a partial
// result.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvane {

class TriangleMesh;
class PointList;
class ByteReader;
class ByteWriter;

class MeshCodec {
 public:
  // The mesh file's bytes; nullopt when the mesh cannot be stored: its
  // triangles carry no point indices (the first triangle's A, B and C all
  // have T = 0), a vertex's index rounds outside 0 … PointCount (the file
  // could not be read back), or a text is longer than 65535 bytes. reason
  // then says which.
  static std::optional<std::vector<uint8_t>> EncodeMesh(const TriangleMesh& mesh,
                                                        std::string* reason = nullptr);
  // Decodes a whole mesh file; on failure returns nullopt and, when reason is
  // given, a one-line explanation ("the file ends early (in the points)", ...).
  static std::optional<TriangleMesh> DecodeMesh(std::span<const uint8_t> bytes,
                                                std::string* reason = nullptr);

  // True when the mesh has triangles and the first one's A, B and C all have
  // T = 0 (it was never indexed).
  static bool LacksIndices(const TriangleMesh& mesh);
  // Streaming forms of the two above. WriteMesh returns false (with reason)
  // when the mesh cannot be stored; out may then hold part of the file.
  static bool WriteMesh(const TriangleMesh& mesh, ByteWriter& out, std::string* reason = nullptr);
  static std::optional<TriangleMesh> ReadMesh(ByteReader& in, std::string* reason = nullptr);

  // The property file of a mesh (triangle property sets, class properties).
  static bool WriteProperties(const TriangleMesh& mesh, ByteWriter& out,
                              std::string* reason = nullptr);
  // Replaces the mesh's property stores; leaves them alone on failure. Bytes
  // after the last record are allowed (older writers left them).
  static bool ReadProperties(ByteReader& in, TriangleMesh& mesh, std::string* reason = nullptr);
};

class PointListCodec {
 public:
  // nullopt (with reason) when a text is longer than 65535 bytes.
  static std::optional<std::vector<uint8_t>> EncodePointList(const PointList& list,
                                                             std::string* reason = nullptr);
  static std::optional<PointList> DecodePointList(std::span<const uint8_t> bytes,
                                                  std::string* reason = nullptr);

  static bool WritePointList(const PointList& list, ByteWriter& out, std::string* reason = nullptr);
  static std::optional<PointList> ReadPointList(ByteReader& in, std::string* reason = nullptr);

  // The property file of a point list (point property sets, class
  // properties); the same layout as a mesh's.
  static std::optional<std::vector<uint8_t>> EncodeProperties(const PointList& list,
                                                              std::string* reason = nullptr);
  static bool DecodeProperties(std::span<const uint8_t> bytes, PointList& list,
                               std::string* reason = nullptr);
  static bool WriteProperties(const PointList& list, ByteWriter& out,
                              std::string* reason = nullptr);
  static bool ReadProperties(ByteReader& in, PointList& list, std::string* reason = nullptr);
};

}  // namespace orvane
