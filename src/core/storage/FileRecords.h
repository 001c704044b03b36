#pragma once
// The records shared by the mesh file, the point-list file and the property
// file (points, extents, strings, variants, property entries and sets,
// labels), with the checks every reader applies. Layouts are documented in
// docs/binary-format.md.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/Properties.h"
#include "core/model/Variant.h"
#include "core/storage/AtomicFile.h"
#include "core/storage/ByteCodec.h"
#include "core/storage/Records.h"

namespace orvane {

// Bytes on disk of the fixed records, and the least bytes a variable one
// can take; readers check counts against these before allocating.
inline constexpr uint64_t kPointBytes = 32;
inline constexpr uint64_t kExtentsBytes = 64;
inline constexpr uint64_t kSaveRecBytes = 20;
inline constexpr uint64_t kLabelBytes = 44;
inline constexpr uint64_t kMinEntryBytes = 4;  // empty key, empty value
inline constexpr uint64_t kMinSetBytes = 16;   // descriptor, count, removed flag
inline constexpr size_t kMaxTextBytes = 0xFFFF;

// The number of entries after slot 0 (0 for a list that was never sized).
template <class T>
int32_t StoredCount(const std::vector<T>& v) {
  return v.empty() ? 0 : static_cast<int32_t>(v.size() - 1);
}

// Writes records; a value the format cannot hold (a text longer than 65535
// bytes) makes it refuse, with the reason kept in Refusal().
class RecordWriter {
 public:
  explicit RecordWriter(ByteWriter& out) : out(out) {}
  ByteWriter& out;

  void Point(const PointRec& p);
  void Extents(const ExtentsRec& e);
  void Text(std::string_view s);
  void Value(const Variant& v);
  void Entry(const PropertyView& e);
  void Set(const PropertySets& sets, size_t index);
  void Label(const LabelRec& l);
  // Slot 0 and entries 1 … count of a list (a default record for slot 0
  // when the list was never sized).
  void Points(const std::vector<PointRec>& points);
  void Sets(const PropertySets& sets);
  void Entries(const PropertyList& entries);
  void Labels(const std::vector<LabelRec>& labels);
  // The property file: the two counts, then both lists from slot 0.
  void PropertyFile(const PropertySets& sets, const PropertyList& entries);

  void Refuse(std::string why) {
    if (refusal_.empty()) refusal_ = std::move(why);
  }
  bool Refused() const { return !refusal_.empty(); }
  const std::string& Refusal() const { return refusal_; }

 private:
  std::string refusal_;
};

// Reads records. The first problem fails the underlying reader and is kept
// as a one-line reason naming the section being read.
class RecordReader {
 public:
  explicit RecordReader(ByteReader& in) : in(in) {}
  ByteReader& in;
  // Names the part of the file being read, for the reason.
  std::string_view section = "the header";

  bool Point(PointRec& p);
  bool Extents(ExtentsRec& e);
  bool Text(std::string& s);
  bool Value(Variant& v);
  // One entry, into key and value.
  bool Entry(std::string& key, Variant& value);
  // One set, appended to sets.
  bool Set(PropertySets& sets);
  bool Label(LabelRec& l);
  // A 32-bit count that must not be negative.
  bool Count(int32_t& n, std::string_view what);
  // Fails unless at least minBytes are left.
  bool Fits(uint64_t minBytes, std::string_view what);
  // Slot 0 and entries 1 … n, replacing out (left alone on failure).
  // REQUIRES: n >= 0 and the bytes left were checked against n (Fits).
  // trailingBytes: the least bytes that follow the list in the file, which
  // the property stores subtract from the room they reserve.
  bool Points(int32_t n, std::vector<PointRec>& out);
  bool Sets(int32_t n, PropertySets& out, uint64_t trailingBytes = 0);
  bool Entries(int32_t n, PropertyList& out, uint64_t trailingBytes = 0);
  bool Labels(int32_t n, std::vector<LabelRec>& out);
  // The property file; the lists are left alone unless it reads completely.
  bool PropertyFile(PropertySets& sets, PropertyList& entries);
  // Fails when bytes are left over after the last record.
  bool AtEnd();

  bool Fail(std::string why);
  // Why decoding failed; "" while it has not.
  std::string Reason() const;

 private:
  // Room for the packed entries of a list that starts here: at most the
  // bytes left, less what follows it and the bytes of the list that do not
  // become packed bytes, plus the byte that a key or a text of 16384 bytes
  // or more takes beyond its record.
  uint64_t PackedBound(uint64_t trailingBytes, uint64_t unpackedBytes) const;

  std::string reason_;
  std::string key_;  // scratch of Entry's callers, reused across entries
  Variant value_;
};

// Opens file and runs decode(ByteReader&) -> Outcome over its bytes,
// streamed through a buffer. The opening's failure or decode's.
template <class Decode>
Outcome DecodeFile(const std::filesystem::path& file, Decode&& decode) {
  Result<FileReader> f = FileReader::Open(file);
  if (!f) return f.Error();
  ByteReader in(f->Size(), [&f](uint8_t* dst, size_t n) { return f->Read(dst, n); });
  return decode(in);
}

// Runs encode(ByteWriter&) -> Outcome into an atomically replaced file. When
// encode fails (the content cannot be stored) its Outcome is returned and
// the old file is left alone; a file that cannot be written gives
// CannotWrite with the writer's reason.
template <class Encode>
Outcome EncodeFile(const std::filesystem::path& file, Encode&& encode) {
  AtomicFileWriter f(file);
  if (!f.ok()) return Outcome::Failure(ErrorCode::CannotWrite, f.Error(), file);
  ByteWriter out([&f](std::span<const uint8_t> b) { return f.Write(b); });
  if (Outcome encoded = encode(out); !encoded) return encoded;
  if (!out.Finish() || !f.Commit())
    return Outcome::Failure(ErrorCode::CannotWrite, f.Error(), file);
  return {};
}

}  // namespace orvane
