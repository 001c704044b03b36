#pragma once
// Key/value property stores shared by meshes (keys compare exactly) and point
// lists (keys compare without regard to letter case).
//
// Files carry millions of entries (a set per triangle, or long class lists),
// so the stores keep entries packed in one byte buffer each instead of a
// string and a variant per entry (72 bytes even for an empty one). A packed
// entry is never larger than its record in the file, give or take a byte:
//
//   key length (LEB128), key bytes, kind (the Variant's alternative index,
//   one byte), value:
//     empty, null: nothing          int16: 2 bytes    int32, float: 4
//     double, currency, date: 8     boolean, byte: 1 (a boolean is 0 or 1)
//     string: length (LEB128) and the bytes
//   (numbers little-endian, floats by their bit patterns)
//
// Texts of any length can be held; the file writers refuse the ones above
// 65535 bytes. Values come back as Variants, decoded on each read.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/Variant.h"

namespace orvane {

struct PropertyEntry {
  std::string Key;
  Variant Value;
  friend bool operator==(const PropertyEntry&, const PropertyEntry&) = default;
};

enum class KeyCompare { Exact, IgnoreCase };

bool KeysEqual(std::string_view a, std::string_view b, KeyCompare how);

// One packed entry as seen in its store; the views stay valid until the
// store changes.
struct PropertyView {
  std::string_view Key;
  uint8_t Kind = 0;                  // index of the Variant alternative
  std::span<const uint8_t> Payload;  // the value bytes (a string: its text)
  Variant Value() const;
};

// Reads the packed entries of one run in order.
class PropertyCursor {
 public:
  explicit PropertyCursor(std::span<const uint8_t> run) : p_(run.data()), end_(p_ + run.size()) {}
  // False after the last entry.
  bool Next(PropertyView& e);

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// The property sets of an owner's items (triangles or points), slot 0 first.
// Each set is one run of the buffer; a set that grows is moved to the end,
// and the buffer is compacted once more than half of it is abandoned runs.
// Set indices are not checked: REQUIRES set < Size().
class PropertySets {
 public:
  PropertySets() : sets_(1) {}

  size_t Size() const { return sets_.size(); }
  // Sets after slot 0.
  int32_t Count() const { return sets_.empty() ? 0 : static_cast<int32_t>(sets_.size() - 1); }
  // New sets are empty. REQUIRES: sets >= 1.
  void Resize(size_t sets);

  // Value under key in the set, or empty when absent.
  Variant Find(size_t set, std::string_view key, KeyCompare how) const;
  // Sets the value of the set's first entry with this key, or appends one.
  void Store(size_t set, std::string_view key, const Variant& value, KeyCompare how);

  bool Removed(size_t set) const { return (sets_[set].sizeAndRemoved & kRemoved) != 0; }
  void SetRemoved(size_t set, bool removed);
  // Erases one set (the following ones move down).
  void Erase(size_t set);
  // Erases every set after slot 0 marked Removed, keeping the others' order.
  void DropRemoved();

  PropertyCursor Entries(size_t set) const { return PropertyCursor(Run(set)); }
  int32_t EntryCount(size_t set) const;
  std::vector<PropertyEntry> Items(size_t set) const;

  // Bulk filling by the readers: no set at all (not even slot 0), room for
  // sets and packed bytes, then sets appended one at a time, each filled
  // through AppendEntry.
  void Clear();
  void Reserve(size_t sets, size_t bytes);
  void AppendSet(bool removed);
  // Appends to the last set.
  void AppendEntry(std::string_view key, const Variant& value);
  // Gives back reserved room the sets did not take when it is most of it.
  void ReleaseSpare();

 private:
  static constexpr uint64_t kRemoved = uint64_t{1} << 63;
  struct Ref {
    uint64_t offset = 0;
    uint64_t sizeAndRemoved = 0;  // run bytes, kRemoved bit
  };
  uint64_t RunBytes(size_t set) const { return sets_[set].sizeAndRemoved & ~kRemoved; }
  std::span<const uint8_t> Run(size_t set) const {
    return {bytes_.data() + sets_[set].offset, static_cast<size_t>(RunBytes(set))};
  }
  void SetRunBytes(size_t set, uint64_t n) {
    sets_[set].sizeAndRemoved = (sets_[set].sizeAndRemoved & kRemoved) | n;
  }
  void Abandon(uint64_t n);
  void Compact();

  std::vector<uint8_t> bytes_;
  std::vector<Ref> sets_;
  uint64_t abandoned_ = 0;  // bytes of bytes_ that no set uses
};

// An ordered list of entries with access by position (the class properties),
// slot 0 first. One run holds them all; the offset of every 16th entry is
// kept, so that entry i is found by skipping at most 15. Positions are not
// checked: REQUIRES index < Size().
class PropertyList {
 public:
  PropertyList();  // slot 0 only: an empty key and an empty value
  PropertyList(const PropertyList&) = default;
  PropertyList& operator=(const PropertyList&) = default;
  // A moved-from list is empty (no slot 0 either).
  PropertyList(PropertyList&& other) noexcept;
  PropertyList& operator=(PropertyList&& other) noexcept;

  size_t Size() const { return size_; }
  int32_t Count() const { return size_ == 0 ? 0 : static_cast<int32_t>(size_ - 1); }
  PropertyEntry At(size_t index) const;

  // Value of the first entry after slot 0 with this key, or empty.
  Variant Find(std::string_view key, KeyCompare how) const;
  // Sets the value of the first entry after slot 0 with this key, or
  // appends one.
  void Store(std::string_view key, const Variant& value, KeyCompare how);

  PropertyCursor Entries() const { return PropertyCursor(bytes_); }

  // Bulk filling by the readers: an empty list, then every entry from slot 0.
  void Clear();
  void Reserve(size_t entries, size_t bytes);
  void Append(std::string_view key, const Variant& value);
  void ReleaseSpare();

 private:
  static constexpr size_t kStride = 16;
  // Offset in bytes_ of the entry at index.
  size_t OffsetOf(size_t index) const;

  std::vector<uint8_t> bytes_;
  std::vector<uint64_t> marks_;  // marks_[k]: offset of entry k * kStride
  size_t size_ = 0;
};

}  // namespace orvane
