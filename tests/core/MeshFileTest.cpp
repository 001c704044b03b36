// The mesh, point-list and property files: golden bytes written here by hand
// (not by the encoder under test), round trips, the atomic save, and one
// test per way a file can be corrupt.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "core/model/PointList.h"
#include "core/model/TriangleMesh.h"
#include "core/storage/MeshCodec.h"
#include "support/LittleEndian.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Le;
using testing::ReadBytes;
using testing::WriteBytes;

Bytes Cut(const Bytes& b, size_t n) {
  return Bytes(b.begin(), b.begin() + static_cast<long>(n));
}

class MeshFileTest : public testing::TempFolderTest {
 protected:
  fs::path Path(const std::string& name) const { return dir_ / name; }
  size_t FilesInFolder() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }
};

// Three points, one triangle 1-2-3.
TriangleMesh SmallMesh() {
  TriangleMesh m;
  m.AddPoint(0, 0, 10);
  m.AddPoint(10, 0, 11);
  m.AddPoint(0, 10, 12);
  m.AddTriangle(0, 0, 10, 1, 10, 0, 11, 2, 0, 10, 12, 3);
  return m;
}

// The expected file of SmallMesh, field by field.
Le SmallMeshHeader(int32_t ntp = 0, int32_t ncp = 0, int32_t nl = 0) {
  Le e;
  e.i32(30).u16(0);                           // Model, empty Tag
  e.i32(0).i32(0).i32(0);                     // EdgeColor, FillColor, GroupCount
  e.i32(1).i32(3).i32(ntp).i32(ncp).i32(nl);  // NT, NP, NTP, NCP, NL
  e.pt(0, 0, 10, 0).pt(10, 10, 12, 0);        // extents
  e.pt(0, 0, 0, 0);                           // point slot 0
  e.pt(0, 0, 10, 1).pt(10, 0, 11, 2).pt(0, 10, 12, 3);
  e.i32(0).i32(0).i32(0).i32(0).i32(0);  // triangle slot 0
  e.i32(1).i32(2).i32(3).i32(0).i32(0);
  return e;
}

TEST_F(MeshFileTest, SmallMeshIsTheDocumented270Bytes) {
  TriangleMesh m = SmallMesh();
  Bytes expected = SmallMeshHeader().b;
  ASSERT_EQ(expected.size(), 270u);
  EXPECT_EQ(*MeshCodec::EncodeMesh(m), expected);
  EXPECT_TRUE(m.SaveToBinary(Path("a.dsp")));
  EXPECT_EQ(m.LastErrorCode, 0);
  EXPECT_EQ(ReadBytes(Path("a.dsp")), expected);
  EXPECT_EQ(FilesInFolder(), 1u) << "the temporary file must be gone";
}

TEST_F(MeshFileTest, EveryVariantKindTravelsWithItsTypeCode) {
  const std::pair<Variant, Bytes> cases[] = {
      {NullValue{}, {1, 0}},
      {int16_t{-2}, {2, 0, 0xFE, 0xFF}},
      {int32_t{258}, {3, 0, 2, 1, 0, 0}},
      {1.5f, {4, 0, 0, 0, 0xC0, 0x3F}},
      {2.0, {5, 0, 0, 0, 0, 0, 0, 0, 0, 0x40}},
      {Currency{10000}, {6, 0, 0x10, 0x27, 0, 0, 0, 0, 0, 0}},
      {Date{1.0}, {7, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
      {std::string("\xE9t\xE9"), {8, 0, 3, 0, 0xE9, 't', 0xE9}},  // Latin-1 bytes kept as they are
      {true, {11, 0, 0xFF, 0xFF}},
      {false, {11, 0, 0, 0}},
      {uint8_t{200}, {17, 0, 200}},
  };
  for (const auto& [value, tagBytes] : cases) {
    TriangleMesh m = SmallMesh();
    m.Tag = value;
    Bytes b = *MeshCodec::EncodeMesh(m);
    EXPECT_EQ(Bytes(b.begin() + 4, b.begin() + 4 + static_cast<long>(tagBytes.size())), tagBytes);
    Result<TriangleMesh> back = MeshCodec::DecodeMesh(b);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Tag, value);
  }
}

TEST_F(MeshFileTest, PropertiesLabelsAndRemovedSetsRoundTrip) {
  // Two triangles on the same three points: removing the first marks its
  // property set without reindexing.
  TriangleMesh m = SmallMesh();
  m.AddTriangle(0, 0, 10, 1, 0, 10, 12, 3, 10, 0, 11, 2);
  m.SetTriProperty(1, "Name", std::string("gone"));
  m.SetTriProperty(2, "Depth", 2.5);
  m.SetClassProperty("Owner", std::string("A"));
  m.SetColor(2, 255);
  m.SetGroup(2, 7);
  m.SetSelected(2, true);
  m.RemoveTriangle(1);
  ASSERT_EQ(m.TriangleCount(), 1);
  ASSERT_EQ(m.TriPropertyCount(), 2);

  ASSERT_TRUE(m.SaveToBinary(Path("p.dsp")));
  TriangleMesh back;
  ASSERT_TRUE(back.LoadFromBinary(Path("p.dsp")));
  EXPECT_EQ(*MeshCodec::EncodeMesh(back), *MeshCodec::EncodeMesh(m));
  EXPECT_EQ(back.ClassProperty("Owner"), Variant(std::string("A")));
  EXPECT_EQ(back.Color(1), 255);
  EXPECT_EQ(back.Group(1), 7);
  EXPECT_FALSE(back.Selected(1));
  // The removed set came back marked: Reindex drops it.
  back.Reindex();
  EXPECT_EQ(back.TriPropertyCount(), 1);
  EXPECT_EQ(back.TriProperty(1, "Depth"), Variant(2.5));
}

TEST_F(MeshFileTest, LoadCopiesVerticesFromThePointList) {
  TriangleMesh m;
  m.AddPoint(0, 0, 10);
  m.AddPoint(10, 0, 11, 7.5);
  m.AddPoint(0, 10, 12);
  m.AddTriangle(0.0004, 0, 10, 1, 10, 0, 11, 2, 0, 10, 12, 3);  // drifted A
  Result<TriangleMesh> back = MeshCodec::DecodeMesh(*MeshCodec::EncodeMesh(m));
  ASSERT_TRUE(back);
  const TriangleRec& t = back->Triangle(1);
  EXPECT_EQ(t.A, back->Point(1));
  // X, Y and Z from the point; T is the index the file names, whatever tag
  // the point carries, so that saving again names the same point.
  EXPECT_EQ(t.B, (PointRec{10, 0, 11, 2}));
  EXPECT_EQ(back->Point(2).T, 7.5);
  EXPECT_EQ(t.C, back->Point(3));
}

// A hand-made file whose slot 0 entries all hold something, with labels.
Bytes FileWithFilledSlotZero(int32_t firstIndex = 1) {
  Le e;
  e.i32(30).u16(0).i32(1).i32(2).i32(3);
  e.i32(1).i32(3).i32(1).i32(1).i32(1);
  e.pt(0, 0, 10, 0).pt(10, 10, 12, 0);
  e.pt(9, 8, 7, 6);
  e.pt(0, 0, 10, 1).pt(10, 0, 11, 2).pt(0, 10, 12, 3);
  e.i32(0).i32(0).i32(0).i32(0).i32(0);
  e.i32(firstIndex).i32(2).i32(3).i32(5).i32(6);
  e.u16(1).i32(1).i32(1).str("s0").u16(3).i32(4).i32(1).u16(0);  // set slot 0: one entry
  e.u16(1).i32(0).i32(1).i32(0).u16(0xFFFF);                     // set 1: empty, removed
  e.str("k0").u16(8).str("v0");                                  // class slot 0
  e.str("Key").u16(5).f64(1.25);
  for (int label = 0; label < 2; ++label) {
    e.f64(100 + label).f64(1).f64(2);
    for (int i = 0; i < 16; ++i) e.u8(static_cast<uint8_t>(i + label));
    e.u8(0).u8(0).u8(0x80).u8(0x3F);  // Angle 1.0f
  }
  return e.b;
}

TEST_F(MeshFileTest, SlotZeroBytesTravelThroughLoadAndSave) {
  Bytes in = FileWithFilledSlotZero();
  WriteBytes(Path("in.dsp"), in);
  TriangleMesh m;
  ASSERT_TRUE(m.LoadFromBinary(Path("in.dsp")));
  EXPECT_EQ(m.LabelCount(), 1);
  EXPECT_EQ(m.GetLabel(1)->Elevation, 101);
  ASSERT_TRUE(m.SaveToBinary(Path("out.dsp")));
  EXPECT_EQ(ReadBytes(Path("out.dsp")), in);
  // A triangle naming point 0 copies slot 0's position.
  Result<TriangleMesh> zero = MeshCodec::DecodeMesh(FileWithFilledSlotZero(0));
  ASSERT_TRUE(zero);
  EXPECT_EQ(zero->Triangle(1).A, (PointRec{9, 8, 7, 0}));
}

TEST_F(MeshFileTest, UnindexedMeshIsRefusedAndTheOldFileKept) {
  const Bytes old = SmallMeshHeader().b;
  WriteBytes(Path("a.dsp"), old);
  TriangleMesh raw, stale = SmallMesh();
  raw.AddTriangle(0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0);
  // Indices that name no point would make a file that cannot be read back.
  stale.AddTriangle(0, 0, 0, 4, 1, 0, 0, 1, 0, 1, 0, 2);
  for (TriangleMesh* m : {&raw, &stale}) {
    EXPECT_EQ(m->SaveToBinary(Path("a.dsp")).Code(), ErrorCode::Refused);
    EXPECT_EQ(m->LastErrorCode, 3);
    EXPECT_EQ(ReadBytes(Path("a.dsp")), old);
    EXPECT_EQ(FilesInFolder(), 1u);
  }
}

TEST_F(MeshFileTest, UnwritablePlaceSetsCode1003) {
  TriangleMesh m = SmallMesh();
  EXPECT_EQ(m.SaveToBinary(Path("missing") / "a.dsp").Code(), ErrorCode::CannotWrite);
  EXPECT_EQ(m.LastErrorCode, 1003);
  fs::create_directory(Path("folder"));
  TriangleMesh n = SmallMesh();
  // A folder where the file should go.
  EXPECT_EQ(n.SaveToBinary(Path("folder")).Code(), ErrorCode::CannotWrite);
  EXPECT_EQ(n.LastErrorCode, 1003);
  EXPECT_TRUE(fs::is_directory(Path("folder")));
  EXPECT_EQ(FilesInFolder(), 1u);
}

// --- corruption: each fails with 1002 and leaves the target mesh as it was --

class CorruptMeshTest : public MeshFileTest {
 protected:
  void ExpectRejected(const Bytes& file, const std::string& reasonPart) {
    const Result<TriangleMesh> decoded = MeshCodec::DecodeMesh(file);
    EXPECT_FALSE(decoded);
    const std::string& reason = decoded.Error().Text();
    EXPECT_NE(reason.find(reasonPart), std::string::npos) << reason;
    WriteBytes(Path("bad.dsp"), file);
    TriangleMesh target = SmallMesh();
    target.Tag = std::string("before");
    Bytes before = *MeshCodec::EncodeMesh(target);
    EXPECT_FALSE(target.LoadFromBinary(Path("bad.dsp")));
    EXPECT_EQ(target.LastErrorCode, 1002);
    EXPECT_EQ(*MeshCodec::EncodeMesh(target), before);
  }
};

Bytes Patched(size_t at, const Bytes& with) {
  Bytes b = FileWithFilledSlotZero();
  std::copy(with.begin(), with.end(), b.begin() + static_cast<long>(at));
  return b;
}
Bytes I32(int32_t v) {
  return Le().i32(v).b;
}
// Offsets in FileWithFilledSlotZero.
constexpr size_t kCounts = 18, kExtents = 38, kPoints = 102, kTriangles = 230, kSets = 270;

TEST_F(CorruptMeshTest, EveryCorruptionModeIsRejected) {
  const Bytes full = FileWithFilledSlotZero();
  TriangleMesh tagged = SmallMesh();
  tagged.Tag = std::string("abc");
  // Records longer than their least size let a cut pass the count check and
  // fail inside the list itself.
  Le sets = SmallMeshHeader(1);
  sets.emptySet().u16(1).i32(1).i32(1).str("abc").u16(5).f64(1).i32(1).u16(0);
  Le classes = SmallMeshHeader(0, 1);
  classes.str("").u16(0).str("abcdef").u16(8).str("ghijkl");
  Bytes trailing = full;
  trailing.push_back(0);
  struct Mode {
    std::string name;
    Bytes file;
    std::string reason;
  };
  std::vector<Mode> modes = {
      {"cut in the header", Cut(full, 3), "header"},
      {"cut in the tag", Cut(*MeshCodec::EncodeMesh(tagged), 9), "header"},
      {"cut in the extents", Cut(full, kExtents + 20), "header"},
      {"cut in the points", Cut(full, kPoints + 40), "counts"},  // counts promise more
      {"cut in the triangles", Cut(full, kTriangles + 30), "counts"},
      {"cut in the property sets", Cut(sets.b, 270 + 16 + 20), "property sets"},
      {"cut in the class properties", Cut(classes.b, 270 + 4 + 8), "class properties"},
      {"cut in the labels", Cut(full, full.size() - 10), "labels"},
      {"bytes after the last record", trailing, "byte follows the last record"},
      {"absurd point count", Patched(kCounts + 4, I32(0x7FFFFFFF)), "counts"},
      {"absurd triangle count", Patched(kCounts, I32(0x7FFFFFFF)), "counts"},
      {"absurd set element count", Patched(kSets + 2, I32(0x7FFFFFFF)), "elements"},
      {"negative set element count", Patched(kSets + 2, I32(-1)), "negative"},
      {"set count disagrees with its items", Patched(kSets + 20, I32(2)), "counts 2 items"},
      {"unknown variant code", Patched(4, {9, 0}), "type code 9"},
      {"variant array flag", Patched(4, {0x08, 0x20}), "type code 8200"},
      {"triangle names point NP + 1", FileWithFilledSlotZero(4), "names point 4"},
      {"triangle names a negative point", FileWithFilledSlotZero(-1), "names point -1"},
      {"a corner with a NaN coordinate",
       ReadBytes(fs::path(ORVANE_TEST_DATA) / "malformed-mesh" / "corner-x-nan.dsp"),
       "point 1 (nan 0 10), a corner of triangle 1, has a coordinate that is not a finite number"},
  };
  for (size_t k = 0; k < 5; ++k)
    modes.push_back({"negative count", Patched(kCounts + 4 * k, I32(-1)), "negative"});
  for (const fs::directory_entry& kept :
       fs::directory_iterator(fs::path(ORVANE_TEST_DATA) / "malformed-mesh"))
    modes.push_back({kept.path().filename().string(), ReadBytes(kept.path()), ""});
  for (const Mode& m : modes) {
    SCOPED_TRACE(m.name);
    ExpectRejected(m.file, m.reason);
  }
  EXPECT_GT(modes.size(), 28u) << "the kept corpus is missing";
  ASSERT_TRUE(MeshCodec::DecodeMesh(full));
  for (size_t n = 0; n < full.size(); ++n) EXPECT_FALSE(MeshCodec::DecodeMesh(Cut(full, n))) << n;
  TriangleMesh m;
  EXPECT_FALSE(m.LoadFromBinary(Path("nothing.dsp")));
  EXPECT_EQ(m.LastErrorCode, 1002);
}

// --- property file ------------------------------------------------------------

// (Its bytes against the format, field by field: PropertyStoreTest.)
TEST_F(MeshFileTest, PropertyFileTrailingBytesAreIgnoredAndACutFileRefused) {
  TriangleMesh m = SmallMesh();
  m.SetTriProperty(1, "a", int32_t{5});
  m.SetClassProperty("c", true);
  ASSERT_TRUE(m.WriteProperties(Path("m.prp")));
  const Bytes written = ReadBytes(Path("m.prp"));

  // Older writers left trailing bytes behind; they are ignored.
  Bytes longer = written;
  longer.insert(longer.end(), {1, 2, 3});
  WriteBytes(Path("m.prp"), longer);
  TriangleMesh other = SmallMesh();
  other.SetTriProperty(3, "x", 1.0);
  ASSERT_TRUE(other.ReadProperties(Path("m.prp")));
  EXPECT_EQ(other.TriPropertyCount(), 1);
  EXPECT_EQ(other.TriProperty(1, "a"), Variant(int32_t{5}));
  EXPECT_EQ(other.ClassProperty("c"), Variant(true));

  WriteBytes(Path("m.prp"), Cut(written, written.size() - 1));
  EXPECT_FALSE(other.ReadProperties(Path("m.prp")));
  EXPECT_EQ(other.TriProperty(1, "a"), Variant(int32_t{5}));
}

// --- point list -----------------------------------------------------------------

PointList SmallList() {
  PointList p;
  p.Model = PointListModel::Boundary;
  p.Color = 65280;
  p.Elevation = 12.5;
  p.Tag = int16_t{3};
  p.AddVertex(1, 2, 3);
  p.AddVertex(4, 5, 6, 9);
  return p;
}

TEST_F(MeshFileTest, PointListGoldenBytesAndRoundTrip) {
  PointList p = SmallList();
  Le e;
  e.i32(1100).pt(1, 2, 3, 0).pt(4, 5, 6, 0);  // Model, extents
  e.u16(2).u16(3).i32(65280).f64(12.5);       // Tag, Color, Elevation
  e.i32(2).i32(0).i32(0);                     // count, NPP, NCP
  e.pt(0, 0, 0, 0).pt(1, 2, 3, 1).pt(4, 5, 6, 9);
  ASSERT_TRUE(p.SaveToBinary(Path("l.ptl")));
  EXPECT_EQ(ReadBytes(Path("l.ptl")), e.b);

  p.SetPointProperty(2, "Depth", 1.0);
  p.SetClassProperty("Name", std::string("zone"));
  p.Selected = true;
  ASSERT_TRUE(p.SaveToBinary(Path("l.ptl")));
  PointList back;
  back.Selected = true;
  ASSERT_TRUE(back.LoadFromBinary(Path("l.ptl")));
  EXPECT_TRUE(back.Selected);  // not stored: left as it was
  EXPECT_EQ(*PointListCodec::EncodePointList(back), *PointListCodec::EncodePointList(p));
  EXPECT_EQ(back.PointProperty(2, "depth"), Variant(1.0));
}

TEST_F(MeshFileTest, PointListRejectsCorruptFilesAndStaysUnchanged) {
  Bytes good = *PointListCodec::EncodePointList(SmallList());
  PointList target = SmallList();
  target.AddVertex(7, 7, 7);
  const Bytes before = *PointListCodec::EncodePointList(target);
  std::vector<Bytes> bad;
  for (size_t n = 0; n < good.size(); ++n)
    bad.emplace_back(good.begin(), good.begin() + static_cast<long>(n));
  Bytes unknown = good;
  unknown[68] = 12;  // Tag type code
  bad.push_back(unknown);
  Bytes huge = good;
  huge[84] = 0xFF, huge[85] = 0xFF, huge[86] = 0xFF, huge[87] = 0x7F;  // count
  bad.push_back(huge);
  for (const Bytes& b : bad) {
    EXPECT_FALSE(PointListCodec::DecodePointList(b));
    WriteBytes(Path("bad.ptl"), b);
    EXPECT_FALSE(target.LoadFromBinary(Path("bad.ptl")));
    EXPECT_EQ(*PointListCodec::EncodePointList(target), before);
  }
  const fs::path folder = fs::path(ORVANE_TEST_DATA) / "malformed-pointlist";
  for (const auto& entry : fs::directory_iterator(folder)) {
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_FALSE(PointListCodec::DecodePointList(ReadBytes(entry.path())));
  }
}

TEST_F(MeshFileTest, PointListCloneCopiesPointsModelAndPropertiesOnly) {
  PointList p = SmallList();
  p.SetPointProperty(1, "Name", std::string("a"));
  p.SetClassProperty("Kind", int32_t{4});
  PointList c = p.Clone();
  EXPECT_EQ(c.Model, 1100);
  ASSERT_EQ(c.count(), 2);
  EXPECT_EQ(c.Point(2), (PointRec{4, 5, 6, 9}));
  EXPECT_EQ(c.PointProperty(1, "name"), Variant(std::string("a")));
  EXPECT_EQ(c.ClassProperty("Kind"), Variant(int32_t{4}));
  EXPECT_EQ(c.Elevation, 0);
  EXPECT_EQ(c.Color, 0);
  EXPECT_TRUE(IsEmpty(c.Tag));
}

}  // namespace
}  // namespace orvane
