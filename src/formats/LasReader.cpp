#include "formats/LasReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/storage/AtomicFile.h"

namespace orvane {

namespace {

// Field offsets of the public header (little-endian throughout).
constexpr size_t kVersionAt = 24, kHeaderSizeAt = 94, kPointOffsetAt = 96, kRecordCountAt = 100,
                 kFormatAt = 104, kRecordLengthAt = 105, kLegacyCountAt = 107, kScaleAt = 131,
                 kOffsetAt = 155, kBoundsAt = 179, kPointCount64At = 247;
// The header grew with the versions: 1.3 added the waveform start, 1.4 the
// extended records and the 64-bit counts.
constexpr uint32_t kHeaderSize12 = 227, kHeaderSize13 = 235, kHeaderSize14 = 375;
constexpr uint32_t kVlrHeaderSize = 54;
// The variable-length record that marks compressed point data.
constexpr std::string_view kCompressedVlrUser = "laszip encoded";
constexpr uint16_t kCompressedVlrId = 22204;

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;  // the project's platforms are little-endian (ByteCodec.h)
}
int32_t I32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
uint64_t U64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
double F64(const uint8_t* p) {
  double v;
  std::memcpy(&v, p, 8);
  return v;
}

Outcome Bad(const std::string& name, const std::string& reason) {
  return Outcome::Failure(ErrorCode::Unreadable, name + ": " + reason, name);
}

std::string Compressed(const std::string& name) {
  return name +
         ": a compressed LAZ file; this program reads only uncompressed LAS files: decompress it "
         "to .las first";
}

// Reads exactly n bytes; false when the source ends first.
bool ReadExactly(const ByteSourceRead& read, uint8_t* dst, size_t n) {
  return read(dst, n) == n;
}

// Skips n bytes of the source in steps of a fixed scratch buffer.
bool Skip(const ByteSourceRead& read, uint64_t n) {
  uint8_t scratch[4096];
  while (n > 0) {
    const size_t step = static_cast<size_t>(std::min<uint64_t>(n, sizeof scratch));
    if (!ReadExactly(read, scratch, step)) return false;
    n -= step;
  }
  return true;
}

}  // namespace

uint32_t LasRecordSize(int pointFormat) {
  static constexpr uint32_t kSizes[] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
  return pointFormat >= 0 && pointFormat <= 10 ? kSizes[pointFormat] : 0;
}

LasPoint DecodeLasPoint(const uint8_t* rec, int pointFormat) {
  LasPoint p;
  p.X = I32(rec);
  p.Y = I32(rec + 4);
  p.Z = I32(rec + 8);
  const uint8_t returns = rec[14];
  if (pointFormat < 6) {
    p.Return = returns & 7;
    p.ReturnCount = (returns >> 3) & 7;
    p.Class = rec[15] & 31;
    p.Withheld = (rec[15] & 128) != 0;
  } else {
    p.Return = returns & 15;
    p.ReturnCount = returns >> 4;
    p.Withheld = (rec[15] & 4) != 0;
    p.Class = rec[16];
  }
  return p;
}

namespace {

// The header's description of the point records: format, record length,
// count, scale, offset and bounds, each checked.
Outcome ReadPointFields(const uint8_t* head, uint64_t size, const std::string& name, LasHeader& h) {
  const int format = head[kFormatAt];
  // Compressed writers set the top bits of the format.
  if (format & 0xC0) return Outcome::Failure(ErrorCode::Unreadable, Compressed(name), name);
  if (format > 10)
    return Bad(name, "point format " + std::to_string(format) + " is not known (0 to 10 are)");
  h.PointFormat = format;
  h.RecordLength = U16(head + kRecordLengthAt);
  if (h.RecordLength < LasRecordSize(format))
    return Bad(name, "point records of " + std::to_string(h.RecordLength) +
                         " bytes are shorter than the " + std::to_string(LasRecordSize(format)) +
                         " bytes of point format " + std::to_string(format));
  const uint32_t legacy = U32(head + kLegacyCountAt);
  h.PointCount = legacy;
  if (h.VersionMinor >= 4) {
    const uint64_t count = U64(head + kPointCount64At);
    if (count != 0 && legacy != 0 && count != legacy)
      return Bad(name, "the header states two different point counts (" + std::to_string(legacy) +
                           " and " + std::to_string(count) + ")");
    if (count != 0) h.PointCount = count;
  }
  const char* axes = "xyz";
  for (int k = 0; k < 3; ++k) {
    h.Scale[k] = F64(head + kScaleAt + 8 * k);
    h.Offset[k] = F64(head + kOffsetAt + 8 * k);
    if (!std::isfinite(h.Scale[k]) || h.Scale[k] == 0 || !std::isfinite(h.Offset[k]))
      return Bad(name, std::string("the ") + axes[k] + " scale or offset is no usable number");
    h.Max[k] = F64(head + kBoundsAt + 16 * k);
    h.Min[k] = F64(head + kBoundsAt + 16 * k + 8);
  }
  if (h.PointOffset < h.HeaderSize || h.PointOffset > size)
    return Bad(name, "the point records would start at byte " + std::to_string(h.PointOffset) +
                         ", outside the file (" + std::to_string(size) + " bytes)");
  return {};
}

Outcome SkipVariableRecords(const ByteSourceRead& read, const LasHeader& h,
                            const std::string& name) {
  // The variable-length records fill the room between the header and the
  // points; one that runs past it is a damaged file.
  uint64_t at = h.HeaderSize;
  for (uint32_t i = 0; i < h.RecordCount; ++i) {
    uint8_t vlr[kVlrHeaderSize];
    if (at + kVlrHeaderSize > h.PointOffset || !ReadExactly(read, vlr, kVlrHeaderSize))
      return Bad(name, "variable-length record " + std::to_string(i + 1) + " of " +
                           std::to_string(h.RecordCount) +
                           " runs past the start of the point records");
    const uint16_t length = U16(vlr + 52);
    at += kVlrHeaderSize;
    if (at + length > h.PointOffset)
      return Bad(name, "variable-length record " + std::to_string(i + 1) + " (" +
                           std::to_string(length) +
                           " bytes) runs past the start of the point records");
    const std::string_view user(reinterpret_cast<const char*>(vlr + 2),
                                strnlen(reinterpret_cast<const char*>(vlr + 2), 16));
    if (user == kCompressedVlrUser && U16(vlr + 18) == kCompressedVlrId)
      return Outcome::Failure(ErrorCode::Unreadable, Compressed(name), name);
    if (!Skip(read, length)) return Bad(name, "could not be read");
    at += length;
  }
  if (!Skip(read, h.PointOffset - at)) return Bad(name, "could not be read");
  return {};
}

}  // namespace

Result<LasReader> LasReader::Open(const std::filesystem::path& file) {
  Result<FileReader> in = FileReader::Open(file);
  if (!in) return in.Error();
  const uint64_t size = in->Size();
  auto shared = std::make_shared<FileReader>(std::move(*in));
  return Open([shared](uint8_t* dst, size_t n) { return shared->Read(dst, n); }, size,
              file.string());
}

Result<LasReader> LasReader::Open(ByteSourceRead read, uint64_t size, std::string name) {
  LasReader r;
  LasHeader& h = r.header_;
  uint8_t head[kHeaderSize14] = {};
  const size_t first = static_cast<size_t>(std::min<uint64_t>(size, kHeaderSize12));
  if (!ReadExactly(read, head, first) || size < 4 || std::memcmp(head, "LASF", 4) != 0)
    return Bad(name, "not a LAS file (it does not start with \"LASF\")");
  if (size < kHeaderSize12)
    return Bad(name, "truncated: " + std::to_string(size) + " bytes, less than a LAS header (" +
                         std::to_string(kHeaderSize12) + ")");
  h.VersionMajor = head[kVersionAt];
  h.VersionMinor = head[kVersionAt + 1];
  if (h.VersionMajor != 1 || h.VersionMinor > 4)
    return Bad(name, "LAS version " + std::to_string(h.VersionMajor) + "." +
                         std::to_string(h.VersionMinor) + " is not known (1.0 to 1.4 are)");
  const uint32_t minimum = h.VersionMinor >= 4   ? kHeaderSize14
                           : h.VersionMinor == 3 ? kHeaderSize13
                                                 : kHeaderSize12;
  h.HeaderSize = U16(head + kHeaderSizeAt);
  h.PointOffset = U32(head + kPointOffsetAt);
  h.RecordCount = U32(head + kRecordCountAt);
  if (h.HeaderSize < minimum)
    return Bad(name, "header size " + std::to_string(h.HeaderSize) + " is less than the " +
                         std::to_string(minimum) + " bytes of a LAS " +
                         std::to_string(h.VersionMajor) + "." + std::to_string(h.VersionMinor) +
                         " header");
  if (h.HeaderSize > size)
    return Bad(name, "truncated: the header of " + std::to_string(h.HeaderSize) +
                         " bytes runs past the end of the file (" + std::to_string(size) +
                         " bytes)");
  if (!ReadExactly(read, head + first, minimum - first))
    return Bad(name, "could not be read to the end of its header");
  if (!Skip(read, h.HeaderSize - minimum)) return Bad(name, "could not be read");

  if (Outcome fields = ReadPointFields(head, size, name, h); !fields) return fields;
  if (Outcome skipped = SkipVariableRecords(read, h, name); !skipped) return skipped;

  const uint64_t room = (size - h.PointOffset) / h.RecordLength;
  if (h.PointCount > room)
    return Bad(name, "the header states " + std::to_string(h.PointCount) +
                         " points, but the file holds room for " + std::to_string(room));
  r.read_ = std::move(read);
  r.name_ = std::move(name);
  return r;
}

Outcome LasReader::Next(std::vector<LasPoint>& points) {
  points.clear();
  const size_t len = header_.RecordLength;
  // Long records (extra bytes up to 64 KiB each) make smaller batches.
  const size_t batch = std::clamp<size_t>(kBufferBytes / len, 1, kBatch);
  const size_t n = static_cast<size_t>(std::min<uint64_t>(Remaining(), batch));
  if (n == 0) return {};
  buffer_.resize(batch * len);
  if (!ReadExactly(read_, buffer_.data(), n * len))
    return Bad(name_, "ended before its " + std::to_string(header_.PointCount) +
                          " points (changed while being read?)");
  points.resize(n);
  const uint8_t* rec = buffer_.data();
  const int format = header_.PointFormat;
  for (size_t i = 0; i < n; ++i, rec += len) points[i] = DecodeLasPoint(rec, format);
  done_ += n;
  return {};
}

}  // namespace orvane
