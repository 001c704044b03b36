// The point-list file, the point list's property file, and Clone (which
// carries the property stores through the property file's encoding, in
// memory). Layout: docs/binary-format.md.

#include "core/model/PointList.h"
#include "core/storage/FileRecords.h"
#include "core/storage/MeshCodec.h"

namespace orvane {

namespace {

Outcome Refuse(std::string why) {
  return Outcome::Failure(ErrorCode::Refused, std::move(why));
}

}  // namespace

Outcome PointListCodec::WritePointList(const PointList& list, ByteWriter& out) {
  const int32_t npp = list.pointProps_.Count();
  const int32_t ncp = list.classProps_.Count();
  RecordWriter w(out);
  out.I32(list.Model);
  w.Extents(list.extents_);
  w.Value(list.Tag);
  out.I32(list.Color);
  out.F64(list.Elevation);
  out.I32(StoredCount(list.points_));
  out.I32(npp);
  out.I32(ncp);
  w.Points(list.points_);
  if (npp > 0) w.Sets(list.pointProps_);
  if (ncp > 0) w.Entries(list.classProps_);
  if (w.Refused()) return Refuse(w.Refusal());
  return {};
}

Result<PointList> PointListCodec::ReadPointList(ByteReader& in) {
  RecordReader r(in);
  auto fail = [&r] { return Outcome::Failure(ErrorCode::Unreadable, r.Reason()); };
  PointList list;
  int32_t n = 0, npp = 0, ncp = 0;
  if (!in.I32(list.Model) || !r.Extents(list.extents_) || !r.Value(list.Tag) ||
      !in.I32(list.Color) || !in.F64(list.Elevation) || !r.Count(n, "point count") ||
      !r.Count(npp, "point property count") || !r.Count(ncp, "class property count"))
    return fail();
  auto slots = [](int32_t k) { return static_cast<uint64_t>(k) + 1; };
  uint64_t least = slots(n) * kPointBytes + (npp > 0 ? slots(npp) * kMinSetBytes : 0) +
                   (ncp > 0 ? slots(ncp) * kMinEntryBytes : 0);
  if (!r.Fits(least, "the counts")) return fail();
  r.section = "the points";
  if (!r.Points(n, list.points_)) return fail();
  list.index_.Clear();  // the points were written directly, not through AddVertex
  r.section = "the point property sets";
  if (npp > 0 && !r.Sets(npp, list.pointProps_, ncp > 0 ? slots(ncp) * kMinEntryBytes : 0))
    return fail();
  r.section = "the class properties";
  if (ncp > 0 && !r.Entries(ncp, list.classProps_)) return fail();
  if (!r.AtEnd()) return fail();
  return list;
}

Result<std::vector<uint8_t>> PointListCodec::EncodePointList(const PointList& list) {
  std::vector<uint8_t> bytes;
  bytes.reserve(128 + list.points_.size() * kPointBytes);
  ByteWriter out(bytes);
  if (Outcome written = WritePointList(list, out); !written) return written;
  out.Finish();
  return bytes;
}

Result<PointList> PointListCodec::DecodePointList(std::span<const uint8_t> bytes) {
  ByteReader in(bytes);
  return ReadPointList(in);
}

Outcome PointListCodec::WriteProperties(const PointList& list, ByteWriter& out) {
  RecordWriter w(out);
  w.PropertyFile(list.pointProps_, list.classProps_);
  if (w.Refused()) return Refuse(w.Refusal());
  return {};
}

Outcome PointListCodec::ReadProperties(ByteReader& in, PointList& list) {
  RecordReader r(in);
  if (r.PropertyFile(list.pointProps_, list.classProps_)) return {};
  return Outcome::Failure(ErrorCode::Unreadable, r.Reason());
}

Result<std::vector<uint8_t>> PointListCodec::EncodeProperties(const PointList& list) {
  std::vector<uint8_t> bytes;
  ByteWriter out(bytes);
  if (Outcome written = WriteProperties(list, out); !written) return written;
  out.Finish();
  return bytes;
}

Outcome PointListCodec::DecodeProperties(std::span<const uint8_t> bytes, PointList& list) {
  ByteReader in(bytes);
  return ReadProperties(in, list);
}

// --- the point list's file routines --------------------------------------------

Outcome PointList::SaveToBinary(const std::filesystem::path& file) const {
  return EncodeFile(file,
                    [this](ByteWriter& out) { return PointListCodec::WritePointList(*this, out); });
}

Outcome PointList::LoadFromBinary(const std::filesystem::path& file) {
  std::optional<PointList> loaded;
  Outcome read = DecodeFile(file, [&loaded](ByteReader& in) {
    Result<PointList> list = PointListCodec::ReadPointList(in);
    if (!list) return list.Error();
    loaded = std::move(*list);
    return Outcome();
  });
  if (!read) return read;
  // Neither is stored in the file; both survive the load.
  bool selected = Selected;
  int32_t code = LastErrorCode;
  *this = std::move(*loaded);
  Selected = selected;
  LastErrorCode = code;
  return {};
}

Outcome PointList::WriteProperties(const std::filesystem::path& file) const {
  return EncodeFile(
      file, [this](ByteWriter& out) { return PointListCodec::WriteProperties(*this, out); });
}

Outcome PointList::ReadProperties(const std::filesystem::path& file) {
  return DecodeFile(file,
                    [this](ByteReader& in) { return PointListCodec::ReadProperties(in, *this); });
}

// Copies the points (with their T), Model and the property stores; Elevation,
// Color, Tag and Selected stay at their defaults.
PointList PointList::Clone() const {
  PointList copy;
  copy.Model = Model;
  copy.Reserve(static_cast<size_t>(count()));
  for (int32_t i = 1; i <= count(); ++i) {
    const PointRec& p = points_[static_cast<size_t>(i)];
    copy.AddVertex(p.X, p.Y, p.Z, p.T);
  }
  Result<std::vector<uint8_t>> props = PointListCodec::EncodeProperties(*this);
  if (!props || !PointListCodec::DecodeProperties(*props, copy)) {
    // Only a text too long for the file format gets here; in memory it
    // need not be cut, so the stores are copied as they are.
    copy.pointProps_ = pointProps_;
    copy.classProps_ = classProps_;
  }
  return copy;
}

}  // namespace orvane
