// The packed property stores against the literal ones (a vector of key and
// value entries per set, searched in order), under seeded random edits, and
// the property file they write against a literal field-by-field encoder.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "core/model/Properties.h"
#include "core/model/TriangleMesh.h"
#include "support/LittleEndian.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

using testing::Le;
using PropertyStores = testing::TempFolderTest;
using testing::ReadBytes;
using testing::WriteBytes;

using Entries = std::vector<PropertyEntry>;

// The literal store: first entry with the key wins, a new key is appended.
Variant LiteralFind(const Entries& items, size_t first, std::string_view key, KeyCompare how) {
  for (size_t i = first; i < items.size(); ++i)
    if (KeysEqual(items[i].Key, key, how)) return items[i].Value;
  return EmptyValue{};
}
void LiteralStore(Entries& items, size_t first, std::string_view key, const Variant& value,
                  KeyCompare how) {
  for (size_t i = first; i < items.size(); ++i)
    if (KeysEqual(items[i].Key, key, how)) return void(items[i].Value = value);
  items.push_back({std::string(key), value});
}

struct RandomProperties {
  std::mt19937 rng;
  explicit RandomProperties(uint32_t seed) : rng(seed) {}
  size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }

  std::string Key() {
    static const char* const kKeys[] = {"", "a", "A", "Depth", "DEPTH", "zone", "Zone", "x"};
    if (Below(8) == 0) return "k" + std::to_string(Below(60));
    if (Below(200) == 0) return std::string(16390, 'q');  // a 3-byte length
    return kKeys[Below(std::size(kKeys))];
  }
  Variant Value() {
    switch (Below(12)) {
      case 0:
        return EmptyValue{};
      case 1:
        return NullValue{};
      case 2:
        return static_cast<int16_t>(Below(65536));
      case 3:
        return static_cast<int32_t>(rng());
      case 4:
        return std::bit_cast<float>(static_cast<uint32_t>(rng()));
      case 5:
        return std::bit_cast<double>((uint64_t{rng()} << 32) | rng());
      case 6:
        return Currency{static_cast<int64_t>((uint64_t{rng()} << 32) | rng())};
      case 7:
        return Date{static_cast<double>(rng()) / 7};
      case 8:
        return Below(2) == 1;
      case 9:
        return static_cast<uint8_t>(Below(256));
      case 10:
        return std::string(Below(300), static_cast<char>('a' + Below(26)));
      default:
        return std::string(Below(4), '\xE9');
    }
  }
};

// Floats compare by their bits: a NaN is a value like any other here.
bool Same(const Variant& a, const Variant& b) {
  if (const double* d = std::get_if<double>(&a))
    return b.index() == a.index() &&
           std::bit_cast<uint64_t>(*d) == std::bit_cast<uint64_t>(std::get<double>(b));
  if (const float* f = std::get_if<float>(&a))
    return b.index() == a.index() &&
           std::bit_cast<uint32_t>(*f) == std::bit_cast<uint32_t>(std::get<float>(b));
  return a == b;
}

void ExpectSame(const Entries& got, const Entries& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].Key, want[i].Key) << i;
    EXPECT_TRUE(Same(got[i].Value, want[i].Value)) << i;
  }
}

TEST_F(PropertyStores, SetsMatchTheLiteralStoreUnderRandomEdits) {
  for (KeyCompare how : {KeyCompare::Exact, KeyCompare::IgnoreCase}) {
    RandomProperties r(how == KeyCompare::Exact ? 17 : 23);
    PropertySets sets;
    std::vector<Entries> want(1);
    std::vector<bool> removed(1);
    for (int step = 0; step < 6000; ++step) {
      const size_t op = r.Below(100);
      if (op < 4) {  // grow, as a write beyond the count does
        const size_t n = want.size() + 1 + r.Below(5);
        sets.Resize(n);
        want.resize(n), removed.resize(n);
      } else if (op < 6 && want.size() > 1) {
        const size_t i = 1 + r.Below(want.size() - 1);
        sets.SetRemoved(i, true);
        removed[i] = true;
      } else if (op < 7 && want.size() > 1) {
        const size_t i = 1 + r.Below(want.size() - 1);
        sets.Erase(i);
        want.erase(want.begin() + static_cast<long>(i));
        removed.erase(removed.begin() + static_cast<long>(i));
      } else if (op < 8) {
        sets.DropRemoved();
        for (size_t i = want.size() - 1; i >= 1; --i)
          if (removed[i])
            want.erase(want.begin() + static_cast<long>(i)),
                removed.erase(removed.begin() + static_cast<long>(i));
      } else {
        const size_t i = r.Below(want.size());
        const std::string key = r.Key();
        if (op < 30) {
          ASSERT_TRUE(Same(sets.Find(i, key, how), LiteralFind(want[i], 0, key, how))) << step;
        } else {
          const Variant v = r.Value();
          sets.Store(i, key, v, how);
          LiteralStore(want[i], 0, key, v, how);
        }
      }
      if (step % 500 != 499) continue;
      ASSERT_EQ(sets.Size(), want.size());
      for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectSame(sets.Items(i), want[i]);
        EXPECT_EQ(sets.EntryCount(i), static_cast<int32_t>(want[i].size()));
        EXPECT_EQ(sets.Removed(i), removed[i]);
      }
    }
  }
}

TEST_F(PropertyStores, ListMatchesTheLiteralListUnderRandomEdits) {
  for (KeyCompare how : {KeyCompare::Exact, KeyCompare::IgnoreCase}) {
    RandomProperties r(how == KeyCompare::Exact ? 5 : 9);
    PropertyList list;
    Entries want = {{"", EmptyValue{}}};
    for (int step = 0; step < 4000; ++step) {
      const std::string key = r.Key();
      if (r.Below(3) == 0) {
        ASSERT_TRUE(Same(list.Find(key, how), LiteralFind(want, 1, key, how))) << step;
      } else {
        const Variant v = r.Value();
        list.Store(key, v, how);
        LiteralStore(want, 1, key, v, how);
      }
      // Every position, the ones behind each 16th mark included.
      if (step % 400 != 399) continue;
      ASSERT_EQ(list.Size(), want.size());
      Entries got;
      for (size_t i = 0; i < want.size(); ++i) got.push_back(list.At(i));
      ExpectSame(got, want);
    }
  }
}

TEST_F(PropertyStores, FilesHoldTheLiteralBytesAndReadBack) {
  const std::filesystem::path& dir = dir_;
  RandomProperties r(41);
  TriangleMesh m;
  m.AddPoint(0, 0, 0), m.AddPoint(1, 0, 0), m.AddPoint(0, 1, 0);
  m.AddTriangle(0, 0, 0, 1, 1, 0, 0, 2, 0, 1, 0, 3);
  std::vector<Entries> sets(1);
  Entries classes = {{"", EmptyValue{}}};
  for (int step = 0; step < 3000; ++step) {
    const std::string key = r.Key().substr(0, 40);
    const Variant v = r.Value();
    if (r.Below(4) == 0) {
      m.SetClassProperty(key, v);
      LiteralStore(classes, 1, key, v, KeyCompare::Exact);
    } else {
      const size_t i = 1 + r.Below(50);
      m.SetTriProperty(static_cast<int32_t>(i), key, v);
      if (i >= sets.size()) sets.resize(i + 1);
      LiteralStore(sets[i], 0, key, v, KeyCompare::Exact);
    }
  }
  Le want;
  want.u32(static_cast<uint32_t>(sets.size() - 1)),
      want.u32(static_cast<uint32_t>(classes.size() - 1));
  for (const Entries& s : sets) {
    want.u16(1), want.u32(static_cast<uint32_t>(s.size())), want.u32(1);
    for (const PropertyEntry& e : s) want.entry(e);
    want.u32(static_cast<uint32_t>(s.size())), want.u16(0);
  }
  for (const PropertyEntry& e : classes) want.entry(e);
  ASSERT_TRUE(m.WriteProperties(dir / "m.prp"));
  EXPECT_EQ(ReadBytes(dir / "m.prp"), want.b);

  TriangleMesh back;
  ASSERT_TRUE(back.ReadProperties(dir / "m.prp"));
  ASSERT_EQ(back.ClassPropertyCount(), static_cast<int32_t>(classes.size() - 1));
  Entries got;
  for (int32_t i = 0; i <= back.ClassPropertyCount(); ++i) {
    auto [key, value] = back.ClassProperties(i);
    got.push_back({key, value});
  }
  ExpectSame(got, classes);
  ASSERT_TRUE(back.WriteProperties(dir / "again.prp"));
  EXPECT_EQ(ReadBytes(dir / "again.prp"), want.b);

  // Any non-zero boolean reads as true and is written as -1, a value or a
  // set's removed flag alike.
  Le odd;
  odd.u32(1), odd.u32(1);
  odd.u16(1), odd.u32(0), odd.u32(1), odd.u32(0), odd.u16(0);  // slot 0
  odd.u16(1), odd.u32(1), odd.u32(1), odd.str("b"), odd.u16(11), odd.u16(1), odd.u32(1), odd.u16(2);
  odd.str(""), odd.u16(0), odd.str("c"), odd.u16(11), odd.u16(0x8000);
  WriteBytes(dir / "odd.prp", odd.b);
  TriangleMesh normal;
  ASSERT_TRUE(normal.ReadProperties(dir / "odd.prp"));
  EXPECT_EQ(normal.TriProperty(1, "b"), Variant(true));
  EXPECT_EQ(normal.ClassProperty("c"), Variant(true));
  ASSERT_TRUE(normal.WriteProperties(dir / "normal.prp"));
  // Offsets: the counts (8), slot 0 (16), set 1's descriptor and key (13)
  // and type code, its value, its count, its flag, then the class entries.
  std::vector<uint8_t> expected = odd.b;
  ASSERT_EQ(expected.size(), 58u);
  for (size_t at : {39, 40, 45, 46, 56, 57}) expected[at] = 0xFF;
  EXPECT_EQ(ReadBytes(dir / "normal.prp"), expected);
}

}  // namespace
}  // namespace orvane
