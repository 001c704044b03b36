#pragma once
// Point clouds in the LAS exchange format of airborne and terrestrial
// scanners, versions 1.0 to 1.4, point formats 0 to 10, uncompressed.
//
// Opening reads and checks the whole public header and every variable-length
// record before the points: each field is checked against the file's size,
// so that a truncated file, a point count beyond the file's length, an
// unknown point format or a record running past its room is refused with a
// message naming the file and the field, before anything is written from it.
// Compressed files (LAZ) are recognised and refused: this program has no
// decoder for them.
//
// The point records are then read in batches into a buffer of fixed size:
// memory does not grow with the file.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/support/Outcome.h"

namespace orvane {

// The fields of the public header that the point records need.
struct LasHeader {
  int VersionMajor = 1;
  int VersionMinor = 0;
  int PointFormat = 0;            // 0..10
  uint32_t RecordLength = 0;      // bytes per point record (at least the format's own)
  uint32_t HeaderSize = 0;        // bytes of the public header
  uint32_t PointOffset = 0;       // where the first point record starts
  uint32_t RecordCount = 0;       // variable-length records between header and points
  uint64_t PointCount = 0;        // point records
  std::array<double, 3> Scale{};  // x, y, z: coordinate = integer * scale + offset
  std::array<double, 3> Offset{};
  std::array<double, 3> Min{}, Max{};  // as the header states them (not checked)
};

// The bytes of a point record of each format 0..10 without extra bytes.
uint32_t LasRecordSize(int pointFormat);

// One point record as the import needs it: the integer coordinates and the
// attributes it selects by.
struct LasPoint {
  int32_t X = 0, Y = 0, Z = 0;
  uint8_t Class = 0;        // classification (0..31 in formats 0-5, 0..255 in 6-10)
  uint8_t Return = 0;       // return number (0 when not set)
  uint8_t ReturnCount = 0;  // number of returns of the pulse (0 when not set)
  bool Withheld = false;    // marked to be left out of every use
};

// Decodes the record at rec (at least LasRecordSize(format) bytes).
LasPoint DecodeLasPoint(const uint8_t* rec, int pointFormat);

// Reads from a sequential source: fills dst with up to n bytes, returns how
// many (fewer only at the end of the data or on a read error).
using ByteSourceRead = std::function<size_t(uint8_t* dst, size_t n)>;

class LasReader {
 public:
  // Opens a file and reads its header and variable-length records.
  static Result<LasReader> Open(const std::filesystem::path& file);
  // The same from any source of size bytes (tests, the fuzzer); name
  // prefixes the messages.
  static Result<LasReader> Open(ByteSourceRead read, uint64_t size, std::string name);

  const LasHeader& Header() const { return header_; }
  // Point records not read yet.
  uint64_t Remaining() const { return header_.PointCount - done_; }

  // The next batch of point records (at most kBatch), decoded into points
  // (cleared first). Empty at the end; Unreadable when the file ends before
  // its stated points (it changed while being read).
  Outcome Next(std::vector<LasPoint>& points);

  static constexpr size_t kBatch = 1 << 16;
  static constexpr size_t kBufferBytes = size_t{4} << 20;  // of raw records

 private:
  LasReader() = default;
  ByteSourceRead read_;
  std::string name_;
  LasHeader header_;
  uint64_t done_ = 0;
  std::vector<uint8_t> buffer_;
};

}  // namespace orvane
