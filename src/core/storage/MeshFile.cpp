// The mesh file and the mesh's property file (layout: docs/binary-format.md).

#include <cmath>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "core/model/TriangleMesh.h"
#include "core/storage/FileRecords.h"
#include "core/storage/MeshCodec.h"
#include "core/support/NumberText.h"

namespace orvane {

namespace {

// LastErrorCode values of the file routines.
constexpr int32_t kNotIndexed = 3;
constexpr int32_t kUnreadable = 1002;
constexpr int32_t kCannotWrite = 1003;

// A vertex's T as the point index stored in the file: rounded to the nearest
// integer, halves to even. False when it does not name a point 0 … np.
bool StoredIndex(double t, int32_t np, int32_t& index) {
  if (t >= 0 && t <= static_cast<double>(np)) {
    int32_t k = static_cast<int32_t>(t);
    if (k == t) {  // the usual case: an exact index
      index = k;
      return true;
    }
  }
  if (!(t >= -1.0 && t <= static_cast<double>(np) + 1.0)) return false;  // also NaN
  double f = std::floor(t);
  double frac = t - f;
  if (frac > 0.5 || (frac == 0.5 && std::fmod(f, 2.0) != 0)) f += 1.0;
  if (f < 0 || f > np) return false;
  index = static_cast<int32_t>(f);
  return true;
}

Outcome Refuse(std::string why) {
  return Outcome::Failure(ErrorCode::Refused, std::move(why));
}

// A loaded mesh is about 3.5 times the size of its file (a triangle takes 112
// bytes in memory, 20 on disk); asking for huge pages before the lists are
// filled saves most of the page faults that would otherwise dominate a load.
template <class T>
void AdviseHugePages([[maybe_unused]] const std::vector<T>& v) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  uintptr_t begin = reinterpret_cast<uintptr_t>(v.data());
  uintptr_t end = begin + v.capacity() * sizeof(T);
  begin = (begin + kHuge - 1) & ~(kHuge - 1);
  end &= ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

PointRec ReadPoint(const uint8_t* p) {
  return PointRec{
      std::bit_cast<double>(DecodeFixed64(p)), std::bit_cast<double>(DecodeFixed64(p + 8)),
      std::bit_cast<double>(DecodeFixed64(p + 16)), std::bit_cast<double>(DecodeFixed64(p + 24))};
}

}  // namespace

bool MeshCodec::LacksIndices(const TriangleMesh& mesh) {
  if (StoredCount(mesh.triangles_) == 0) return false;
  const TriangleRec& t = mesh.triangles_[1];
  return t.A.T == 0 && t.B.T == 0 && t.C.T == 0;
}

bool MeshCodec::StoredCorners(const TriangleMesh& mesh, std::vector<int32_t>& corners) {
  if (LacksIndices(mesh)) return false;
  const int32_t nt = StoredCount(mesh.triangles_);
  const int32_t np = StoredCount(mesh.points_);
  // The file always holds a slot 0, a default one for a list never sized.
  auto stored = [&mesh](int32_t k) {
    return mesh.points_.empty() ? PointRec{} : mesh.points_[static_cast<size_t>(k)];
  };
  corners.resize(3 * static_cast<size_t>(nt));
  size_t next = 0;
  for (int32_t i = 1; i <= nt; ++i) {
    const TriangleRec& t = mesh.triangles_[static_cast<size_t>(i)];
    for (const double T : {t.A.T, t.B.T, t.C.T}) {
      int32_t k = 0;
      if (!StoredIndex(T, np, k)) return false;
      const PointRec c = stored(k);
      if (!std::isfinite(c.X) || !std::isfinite(c.Y) || !std::isfinite(c.Z)) return false;
      corners[next++] = k;
    }
  }
  // The rest of the file (texts, properties, labels) through the codec
  // itself, on a mesh that has nothing else.
  TriangleMesh rest;
  rest.Model = mesh.Model;
  rest.Tag = mesh.Tag;
  rest.EdgeColor = mesh.EdgeColor;
  rest.FillColor = mesh.FillColor;
  rest.GroupCount = mesh.GroupCount;
  rest.extents_ = mesh.extents_;
  rest.triProps_ = mesh.triProps_;
  rest.classProps_ = mesh.classProps_;
  rest.labels_ = mesh.labels_;
  Result<std::vector<uint8_t>> bytes = EncodeMesh(rest);
  return bytes && DecodeMesh(*bytes);
}

Outcome MeshCodec::WriteMesh(const TriangleMesh& mesh, ByteWriter& out) {
  if (LacksIndices(mesh)) return Refuse("the triangles carry no point indices");
  const int32_t nt = StoredCount(mesh.triangles_);
  const int32_t np = StoredCount(mesh.points_);
  const int32_t ntp = mesh.triProps_.Count();
  const int32_t ncp = mesh.classProps_.Count();
  const int32_t nl = StoredCount(mesh.labels_);

  RecordWriter w(out);
  out.I32(mesh.Model);
  w.Value(mesh.Tag);
  out.I32(mesh.EdgeColor);
  out.I32(mesh.FillColor);
  out.I32(mesh.GroupCount);
  out.I32(nt);
  out.I32(np);
  out.I32(ntp);
  out.I32(ncp);
  out.I32(nl);
  w.Extents(mesh.extents_);
  w.Points(mesh.points_);
  // The triangle slot 0 is rebuilt for every save: always zeros.
  for (int k = 0; k < 5; ++k) out.I32(0);
  for (int32_t i = 1; i <= nt; ++i) {
    const TriangleRec& t = mesh.triangles_[static_cast<size_t>(i)];
    int32_t a = 0, b = 0, c = 0;
    if (!StoredIndex(t.A.T, np, a) || !StoredIndex(t.B.T, np, b) || !StoredIndex(t.C.T, np, c))
      return Refuse("triangle " + std::to_string(i) + " carries a point index outside 0 to " +
                    std::to_string(np));
    uint8_t* rec = out.Append(kSaveRecBytes);
    EncodeFixed32(rec, static_cast<uint32_t>(a));
    EncodeFixed32(rec + 4, static_cast<uint32_t>(b));
    EncodeFixed32(rec + 8, static_cast<uint32_t>(c));
    EncodeFixed32(rec + 12, static_cast<uint32_t>(t.Color));
    EncodeFixed32(rec + 16, static_cast<uint32_t>(t.Group));
  }
  if (ntp > 0) w.Sets(mesh.triProps_);
  if (ncp > 0) w.Entries(mesh.classProps_);
  if (nl > 0) w.Labels(mesh.labels_);
  if (w.Refused()) return Refuse(w.Refusal());
  return {};
}

Result<TriangleMesh> MeshCodec::ReadMesh(ByteReader& in) {
  RecordReader r(in);
  auto fail = [&r] { return Outcome::Failure(ErrorCode::Unreadable, r.Reason()); };
  TriangleMesh m;
  int32_t nt = 0, np = 0, ntp = 0, ncp = 0, nl = 0;
  if (!in.I32(m.Model) || !r.Value(m.Tag) || !in.I32(m.EdgeColor) || !in.I32(m.FillColor) ||
      !in.I32(m.GroupCount) || !r.Count(nt, "triangle count") || !r.Count(np, "point count") ||
      !r.Count(ntp, "triangle property count") || !r.Count(ncp, "class property count") ||
      !r.Count(nl, "label count") || !r.Extents(m.extents_))
    return fail();
  auto slots = [](int32_t n) { return static_cast<uint64_t>(n) + 1; };
  uint64_t least = slots(np) * kPointBytes + slots(nt) * kSaveRecBytes +
                   (ntp > 0 ? slots(ntp) * kMinSetBytes : 0) +
                   (ncp > 0 ? slots(ncp) * kMinEntryBytes : 0) +
                   (nl > 0 ? slots(nl) * kLabelBytes : 0);
  if (!r.Fits(least, "the counts")) return fail();

  r.section = "the points";
  std::vector<PointRec> points;
  points.reserve(slots(np));
  AdviseHugePages(points);
  for (int64_t i = 0; i <= np; ++i) {
    const uint8_t* p = in.Take(kPointBytes);
    if (!p) return fail();
    points.push_back(ReadPoint(p));
  }

  r.section = "the triangles";
  std::vector<TriangleRec> triangles;
  triangles.reserve(slots(nt));
  AdviseHugePages(triangles);
  triangles.emplace_back();
  if (!in.Take(kSaveRecBytes)) return fail();  // slot 0 is never used
  for (int32_t i = 1; i <= nt; ++i) {
    const uint8_t* p = in.Take(kSaveRecBytes);
    if (!p) return fail();
    int32_t idx[3];
    for (int k = 0; k < 3; ++k) {
      idx[k] = static_cast<int32_t>(DecodeFixed32(p + 4 * k));
      if (idx[k] < 0 || idx[k] > np) {
        r.Fail("triangle " + std::to_string(i) + " names point " + std::to_string(idx[k]) +
               ", the file has " + std::to_string(np));
        return fail();
      }
    }
    // A corner without finite coordinates has no place on the plan: every
    // figure and every decision of geometry taken with it would be garbage.
    for (int k = 0; k < 3; ++k) {
      const PointRec& c = points[static_cast<size_t>(idx[k])];
      if (std::isfinite(c.X) && std::isfinite(c.Y) && std::isfinite(c.Z)) continue;
      r.Fail("point " + std::to_string(idx[k]) + " (" + FormatNumber(c.X) + " " +
             FormatNumber(c.Y) + " " + FormatNumber(c.Z) + "), a corner of triangle " +
             std::to_string(i) + ", has a coordinate that is not a finite number");
      return fail();
    }
    // A corner is its point, numbered by the index the file gives: a point's
    // own T may be another tag (a built surface keeps its source numbers).
    TriangleRec& t = triangles.emplace_back();
    t.A = points[static_cast<size_t>(idx[0])];
    t.B = points[static_cast<size_t>(idx[1])];
    t.C = points[static_cast<size_t>(idx[2])];
    t.A.T = idx[0];
    t.B.T = idx[1];
    t.C.T = idx[2];
    t.Color = static_cast<int32_t>(DecodeFixed32(p + 12));
    t.Group = static_cast<int32_t>(DecodeFixed32(p + 16));
  }

  const uint64_t labelBytes = nl > 0 ? slots(nl) * kLabelBytes : 0;
  r.section = "the triangle property sets";
  if (ntp > 0 &&
      !r.Sets(ntp, m.triProps_, (ncp > 0 ? slots(ncp) * kMinEntryBytes : 0) + labelBytes))
    return fail();
  r.section = "the class properties";
  if (ncp > 0 && !r.Entries(ncp, m.classProps_, labelBytes)) return fail();
  r.section = "the labels";
  if (nl > 0 && !r.Labels(nl, m.labels_)) return fail();
  if (!r.AtEnd()) return fail();

  m.points_ = std::move(points);
  m.triangles_ = std::move(triangles);
  return m;
}

Result<std::vector<uint8_t>> MeshCodec::EncodeMesh(const TriangleMesh& mesh) {
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(128 + mesh.points_.size() * kPointBytes +
                                    mesh.triangles_.size() * kSaveRecBytes));
  ByteWriter out(bytes);
  if (Outcome written = WriteMesh(mesh, out); !written) return written;
  out.Finish();
  return bytes;
}

Result<TriangleMesh> MeshCodec::DecodeMesh(std::span<const uint8_t> bytes) {
  ByteReader in(bytes);
  return ReadMesh(in);
}

Outcome MeshCodec::WriteProperties(const TriangleMesh& mesh, ByteWriter& out) {
  RecordWriter w(out);
  w.PropertyFile(mesh.triProps_, mesh.classProps_);
  if (w.Refused()) return Refuse(w.Refusal());
  return {};
}

Outcome MeshCodec::ReadProperties(ByteReader& in, TriangleMesh& mesh) {
  RecordReader r(in);
  if (r.PropertyFile(mesh.triProps_, mesh.classProps_)) return {};
  return Outcome::Failure(ErrorCode::Unreadable, r.Reason());
}

// --- the mesh's file routines -------------------------------------------------

Outcome TriangleMesh::SaveToBinary(const std::filesystem::path& file) {
  Outcome saved =
      MeshCodec::LacksIndices(*this)
          ? Refuse("the triangles carry no point indices")
          : EncodeFile(file, [this](ByteWriter& out) { return MeshCodec::WriteMesh(*this, out); });
  if (saved.Code() == ErrorCode::Refused) LastErrorCode = kNotIndexed;
  if (saved.Code() == ErrorCode::CannotWrite) LastErrorCode = kCannotWrite;
  return saved;
}

Outcome TriangleMesh::LoadFromBinary(const std::filesystem::path& file) {
  std::optional<TriangleMesh> loaded;
  Outcome read = DecodeFile(file, [&loaded](ByteReader& in) {
    Result<TriangleMesh> mesh = MeshCodec::ReadMesh(in);
    if (!mesh) return mesh.Error();
    loaded = std::move(*mesh);
    return Outcome();
  });
  if (!read) {
    LastErrorCode = kUnreadable;
    return read;
  }
  // Not stored in the file: the error code survives the load; the edge list
  // described the old triangles and is dropped with them.
  int32_t code = LastErrorCode;
  *this = std::move(*loaded);
  LastErrorCode = code;
  return {};
}

Outcome TriangleMesh::WriteProperties(const std::filesystem::path& file) const {
  return EncodeFile(file,
                    [this](ByteWriter& out) { return MeshCodec::WriteProperties(*this, out); });
}

Outcome TriangleMesh::ReadProperties(const std::filesystem::path& file) {
  return DecodeFile(file, [this](ByteReader& in) { return MeshCodec::ReadProperties(in, *this); });
}

}  // namespace orvane
