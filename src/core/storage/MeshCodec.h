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

#include "core/support/Outcome.h"

namespace orvane {

class TriangleMesh;
class PointList;
class ByteReader;
class ByteWriter;

class MeshCodec {
 public:
  // The mesh file's bytes; Refused when the mesh cannot be stored: its
  // triangles carry no point indices (the first triangle's A, B and C all
  // have T = 0), a vertex's index rounds outside 0 … PointCount (the file
  // could not be read back), or a text is longer than 65535 bytes. The text
  // then says which.
  static Result<std::vector<uint8_t>> EncodeMesh(const TriangleMesh& mesh);
  // Decodes a whole mesh file; on failure Unreadable with a one-line
  // explanation ("the file ends early (in the points)", ...).
  static Result<TriangleMesh> DecodeMesh(std::span<const uint8_t> bytes);

  // True when the mesh has triangles and the first one's A, B and C all have
  // T = 0 (it was never indexed).
  static bool LacksIndices(const TriangleMesh& mesh);
  // The point each corner of the triangles names in the bytes EncodeMesh
  // gives (A, B, C of triangle 1, then of triangle 2, ...), as DecodeMesh
  // would read them back; false when the encoding or the decoding fails.
  // Only the points and triangles are looked at, not encoded, so that a
  // copy of a large mesh costs no round trip through its bytes.
  static bool StoredCorners(const TriangleMesh& mesh, std::vector<int32_t>& corners);
  // Streaming forms of the two above. WriteMesh is Refused when the mesh
  // cannot be stored; out may then hold part of the file.
  static Outcome WriteMesh(const TriangleMesh& mesh, ByteWriter& out);
  static Result<TriangleMesh> ReadMesh(ByteReader& in);

  // The property file of a mesh (triangle property sets, class properties).
  static Outcome WriteProperties(const TriangleMesh& mesh, ByteWriter& out);
  // Replaces the mesh's property stores; leaves them alone on failure. Bytes
  // after the last record are allowed (older writers left them).
  static Outcome ReadProperties(ByteReader& in, TriangleMesh& mesh);
};

class PointListCodec {
 public:
  // Refused when a text is longer than 65535 bytes.
  static Result<std::vector<uint8_t>> EncodePointList(const PointList& list);
  static Result<PointList> DecodePointList(std::span<const uint8_t> bytes);

  static Outcome WritePointList(const PointList& list, ByteWriter& out);
  static Result<PointList> ReadPointList(ByteReader& in);

  // The property file of a point list (point property sets, class
  // properties); the same layout as a mesh's.
  static Result<std::vector<uint8_t>> EncodeProperties(const PointList& list);
  static Outcome DecodeProperties(std::span<const uint8_t> bytes, PointList& list);
  static Outcome WriteProperties(const PointList& list, ByteWriter& out);
  static Outcome ReadProperties(ByteReader& in, PointList& list);
};

}  // namespace orvane
