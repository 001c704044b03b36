#include "core/storage/FileRecords.h"

#include <string>
#include <type_traits>

namespace orvane {

namespace {

std::string Bytes(uint64_t n) {
  return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

}  // namespace

// --- writing -----------------------------------------------------------------

void RecordWriter::Point(const PointRec& p) {
  uint8_t* rec = out.Append(kPointBytes);
  EncodeFixed64(rec, std::bit_cast<uint64_t>(p.X));
  EncodeFixed64(rec + 8, std::bit_cast<uint64_t>(p.Y));
  EncodeFixed64(rec + 16, std::bit_cast<uint64_t>(p.Z));
  EncodeFixed64(rec + 24, std::bit_cast<uint64_t>(p.T));
}

void RecordWriter::Extents(const ExtentsRec& e) {
  Point(e.Min);
  Point(e.Max);
}

void RecordWriter::Text(std::string_view s) {
  if (s.size() > kMaxTextBytes) {
    Refuse("a text of " + Bytes(s.size()) + " (at most 65535 can be stored)");
    s = {};
  }
  out.U16(static_cast<uint16_t>(s.size()));
  out.Bytes(s);
}

void RecordWriter::Value(const Variant& v) {
  out.U16(VariantTypeCode(v));
  std::visit(
      [this](const auto& x) {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, int16_t>)
          out.I16(x);
        else if constexpr (std::is_same_v<T, int32_t>)
          out.I32(x);
        else if constexpr (std::is_same_v<T, float>)
          out.F32(x);
        else if constexpr (std::is_same_v<T, double>)
          out.F64(x);
        else if constexpr (std::is_same_v<T, Currency>)
          out.I64(x.Scaled);
        else if constexpr (std::is_same_v<T, Date>)
          out.F64(x.Days);
        else if constexpr (std::is_same_v<T, std::string>)
          Text(x);
        else if constexpr (std::is_same_v<T, bool>)
          out.Bool16(x);
        else if constexpr (std::is_same_v<T, uint8_t>)
          out.U8(x);
        // empty and null carry no value bytes
      },
      v);
}

void RecordWriter::Entry(const PropertyView& e) {
  // Packed values are the file's bytes but for booleans and texts.
  Text(e.Key);
  out.U16(VariantTypeCodeAt(e.Kind));
  if (e.Kind == VariantIndexOf<bool>())
    out.Bool16(e.Payload[0] != 0);
  else if (e.Kind == VariantIndexOf<std::string>())
    Text(std::string_view(reinterpret_cast<const char*>(e.Payload.data()), e.Payload.size()));
  else
    out.Bytes(e.Payload);
}

void RecordWriter::Set(const PropertySets& sets, size_t index) {
  const int32_t count = sets.EntryCount(index);
  // Array descriptor: one dimension, element count, lower bound 1.
  out.U16(1);
  out.I32(count);
  out.I32(1);
  PropertyCursor c = sets.Entries(index);
  PropertyView e;
  while (c.Next(e)) Entry(e);
  out.I32(count);
  out.Bool16(sets.Removed(index));
}

void RecordWriter::Label(const LabelRec& l) {
  out.F64(l.Elevation);
  out.F64(l.X);
  out.F64(l.Y);
  out.Bytes(std::span<const uint8_t>(l.Reserved, sizeof l.Reserved));
  out.F32(l.Angle);
}

namespace {
// Slot 0 (a default record for a list that was never sized), then the rest.
template <class T, class Write>
void WriteList(const std::vector<T>& v, Write write) {
  if (v.empty()) {
    write(T{});
    return;
  }
  for (const T& x : v) write(x);
}
}  // namespace

void RecordWriter::Points(const std::vector<PointRec>& points) {
  WriteList(points, [this](const PointRec& p) { Point(p); });
}
void RecordWriter::Sets(const PropertySets& sets) {
  if (sets.Size() == 0) return Set(PropertySets(), 0);
  for (size_t i = 0; i < sets.Size(); ++i) Set(sets, i);
}
void RecordWriter::Entries(const PropertyList& entries) {
  if (entries.Size() == 0) return Entries(PropertyList());
  PropertyCursor c = entries.Entries();
  PropertyView e;
  while (c.Next(e)) Entry(e);
}
void RecordWriter::Labels(const std::vector<LabelRec>& labels) {
  WriteList(labels, [this](const LabelRec& l) { Label(l); });
}

void RecordWriter::PropertyFile(const PropertySets& sets, const PropertyList& entries) {
  out.I32(sets.Count());
  out.I32(entries.Count());
  if (sets.Count() > 0) Sets(sets);
  if (entries.Count() > 0) Entries(entries);
}

// --- reading -----------------------------------------------------------------

bool RecordReader::Fail(std::string why) {
  if (reason_.empty()) reason_ = std::move(why) + " (in " + std::string(section) + ")";
  in.Fail();
  return false;
}

std::string RecordReader::Reason() const {
  if (!reason_.empty()) return reason_;
  if (!in.ok()) return "the file ends early (in " + std::string(section) + ")";
  return {};
}

bool RecordReader::Point(PointRec& p) {
  return in.F64(p.X) && in.F64(p.Y) && in.F64(p.Z) && in.F64(p.T);
}

bool RecordReader::Extents(ExtentsRec& e) {
  return Point(e.Min) && Point(e.Max);
}

bool RecordReader::Text(std::string& s) {
  uint16_t n = 0;
  return in.U16(n) && in.Text(s, n);
}

bool RecordReader::Value(Variant& v) {
  uint16_t code = 0;
  if (!in.U16(code)) return false;
  switch (code) {
    case 0:
      v = EmptyValue{};
      return true;
    case 1:
      v = NullValue{};
      return true;
    case 2: {
      int16_t x;
      if (!in.I16(x)) return false;
      v = x;
      return true;
    }
    case 3: {
      int32_t x;
      if (!in.I32(x)) return false;
      v = x;
      return true;
    }
    case 4: {
      float x;
      if (!in.F32(x)) return false;
      v = x;
      return true;
    }
    case 5: {
      double x;
      if (!in.F64(x)) return false;
      v = x;
      return true;
    }
    case 6: {
      int64_t x;
      if (!in.I64(x)) return false;
      v = Currency{x};
      return true;
    }
    case 7: {
      double x;
      if (!in.F64(x)) return false;
      v = Date{x};
      return true;
    }
    case 8: {
      std::string s;
      if (!Text(s)) return false;
      v = std::move(s);
      return true;
    }
    case 11: {
      bool x;
      if (!in.Bool16(x)) return false;
      v = x;
      return true;
    }
    case 17: {
      uint8_t x;
      if (!in.U8(x)) return false;
      v = x;
      return true;
    }
    default:
      return Fail("unknown variant type code " + std::to_string(code));
  }
}

bool RecordReader::Entry(std::string& key, Variant& value) {
  return Text(key) && Value(value);
}

bool RecordReader::Set(PropertySets& sets) {
  // The descriptor's dimension count and lower bound are not needed to find
  // the elements; only the element count is.
  uint16_t dims = 0;
  int32_t n = 0, lower = 0, count = 0;
  bool removed = false;
  if (!in.U16(dims) || !Count(n, "a property set's element count") || !in.I32(lower)) return false;
  if (!Fits(static_cast<uint64_t>(n) * kMinEntryBytes + 6, "a property set's elements"))
    return false;
  sets.AppendSet(false);
  for (int32_t i = 0; i < n; ++i) {
    if (!Entry(key_, value_)) return false;
    sets.AppendEntry(key_, value_);
  }
  if (!in.I32(count) || !in.Bool16(removed)) return false;
  if (count != n)
    return Fail("a property set counts " + std::to_string(count) + " items but holds " +
                std::to_string(n));
  sets.SetRemoved(sets.Size() - 1, removed);
  return true;
}

bool RecordReader::Label(LabelRec& l) {
  return in.F64(l.Elevation) && in.F64(l.X) && in.F64(l.Y) &&
         in.Bytes(l.Reserved, sizeof l.Reserved) && in.F32(l.Angle);
}

bool RecordReader::Count(int32_t& n, std::string_view what) {
  if (!in.I32(n)) return false;
  if (n < 0) return Fail("negative " + std::string(what) + " " + std::to_string(n));
  return true;
}

bool RecordReader::Fits(uint64_t minBytes, std::string_view what) {
  if (!in.ok()) return false;
  if (minBytes > in.Remaining())
    return Fail(std::string(what) + " need at least " + Bytes(minBytes) + ", only " +
                std::to_string(in.Remaining()) + (in.Remaining() == 1 ? " is" : " are") + " left");
  return true;
}

namespace {
template <class T, class Read>
bool ReadList(int32_t n, std::vector<T>& out, Read read) {
  std::vector<T> v;
  v.reserve(static_cast<size_t>(n) + 1);
  for (int64_t i = 0; i <= n; ++i) {
    T x{};
    if (!read(x)) return false;
    v.push_back(std::move(x));
  }
  out = std::move(v);
  return true;
}
}  // namespace

bool RecordReader::Points(int32_t n, std::vector<PointRec>& out) {
  return ReadList(n, out, [this](PointRec& p) { return Point(p); });
}
bool RecordReader::Labels(int32_t n, std::vector<LabelRec>& out) {
  return ReadList(n, out, [this](LabelRec& l) { return Label(l); });
}

uint64_t RecordReader::PackedBound(uint64_t trailingBytes, uint64_t unpackedBytes) const {
  const uint64_t left = in.Remaining();
  const uint64_t taken = trailingBytes + unpackedBytes;
  return (left > taken ? left - taken : 0) + left / 8192 + 64;
}

bool RecordReader::Sets(int32_t n, PropertySets& out, uint64_t trailingBytes) {
  const size_t slots = static_cast<size_t>(n) + 1;
  // A set's descriptor, count and flag (16 bytes) are not packed.
  const uint64_t bound = PackedBound(trailingBytes, slots * kMinSetBytes);
  PropertySets sets;
  sets.Clear();
  sets.Reserve(slots, static_cast<size_t>(bound));
  for (size_t i = 0; i < slots; ++i)
    if (!Set(sets)) return false;
  sets.ReleaseSpare();
  out = std::move(sets);
  return true;
}

bool RecordReader::Entries(int32_t n, PropertyList& out, uint64_t trailingBytes) {
  const size_t slots = static_cast<size_t>(n) + 1;
  // A packed entry is a byte shorter than its record (the type code takes
  // one byte, not two) unless its key or text is very long.
  const uint64_t bound = PackedBound(trailingBytes, slots);
  PropertyList entries;
  entries.Clear();
  entries.Reserve(slots, static_cast<size_t>(bound));
  for (size_t i = 0; i < slots; ++i) {
    if (!Entry(key_, value_)) return false;
    entries.Append(key_, value_);
  }
  entries.ReleaseSpare();
  out = std::move(entries);
  return true;
}

bool RecordReader::PropertyFile(PropertySets& sets, PropertyList& entries) {
  section = "the property counts";
  int32_t ns = 0, ne = 0;
  if (!Count(ns, "per-item property count") || !Count(ne, "class property count")) return false;
  uint64_t least = (ns > 0 ? (static_cast<uint64_t>(ns) + 1) * kMinSetBytes : 0) +
                   (ne > 0 ? (static_cast<uint64_t>(ne) + 1) * kMinEntryBytes : 0);
  if (!Fits(least, "the property counts")) return false;
  PropertySets s;
  PropertyList e;
  section = "the per-item property sets";
  if (ns > 0 && !Sets(ns, s, ne > 0 ? (static_cast<uint64_t>(ne) + 1) * kMinEntryBytes : 0))
    return false;
  section = "the class properties";
  if (ne > 0 && !Entries(ne, e)) return false;
  sets = std::move(s);
  entries = std::move(e);
  return true;
}

bool RecordReader::AtEnd() {
  if (!in.ok()) return false;
  section = "the end of the file";
  if (in.Remaining() != 0)
    return Fail(Bytes(in.Remaining()) + (in.Remaining() == 1 ? " follows" : " follow") +
                " the last record");
  return true;
}

}  // namespace orvane
