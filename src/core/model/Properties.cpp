#include "core/model/Properties.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cctype>
#include <cstring>
#include <optional>
#include <type_traits>
#include <utility>

namespace orvane {

namespace {

// Payload bytes of the fixed-size kinds, by Variant index; kString is sized
// by its own length.
constexpr size_t kString = VariantIndexOf<std::string>();
constexpr uint8_t kFixedBytes[] = {0, 0, 2, 4, 4, 8, 8, 8, 0, 1, 1};
static_assert(std::size(kFixedBytes) == std::variant_size_v<Variant>);

void PutVarint(std::vector<uint8_t>& out, uint64_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<uint8_t>(v | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<uint8_t>(v));
}

// The store wrote every byte it reads, so nothing is checked here.
uint64_t GetVarint(const uint8_t*& p) {
  uint64_t v = 0;
  for (int shift = 0;; shift += 7) {
    const uint8_t b = *p++;
    v |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (b < 0x80) return v;
  }
}

void PutFixed(std::vector<uint8_t>& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint64_t GetFixed(const uint8_t* p, size_t bytes) {
  uint64_t v = 0;
  for (size_t i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

void PackValue(std::vector<uint8_t>& out, const Variant& v) {
  out.push_back(static_cast<uint8_t>(v.index()));
  std::visit(
      [&out](const auto& x) {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, int16_t>)
          PutFixed(out, static_cast<uint16_t>(x), 2);
        else if constexpr (std::is_same_v<T, int32_t>)
          PutFixed(out, static_cast<uint32_t>(x), 4);
        else if constexpr (std::is_same_v<T, float>)
          PutFixed(out, std::bit_cast<uint32_t>(x), 4);
        else if constexpr (std::is_same_v<T, double>)
          PutFixed(out, std::bit_cast<uint64_t>(x), 8);
        else if constexpr (std::is_same_v<T, Currency>)
          PutFixed(out, static_cast<uint64_t>(x.Scaled), 8);
        else if constexpr (std::is_same_v<T, Date>)
          PutFixed(out, std::bit_cast<uint64_t>(x.Days), 8);
        else if constexpr (std::is_same_v<T, std::string>) {
          PutVarint(out, x.size());
          out.insert(out.end(), x.begin(), x.end());
        } else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, uint8_t>)
          out.push_back(static_cast<uint8_t>(x));
      },
      v);
}

void PackEntry(std::vector<uint8_t>& out, std::string_view key, const Variant& value) {
  PutVarint(out, key.size());
  out.insert(out.end(), key.begin(), key.end());
  PackValue(out, value);
}

// Decodes the entry at p into e; returns the byte after it.
const uint8_t* Unpack(const uint8_t* p, PropertyView& e) {
  const size_t keyBytes = static_cast<size_t>(GetVarint(p));
  e.Key = std::string_view(reinterpret_cast<const char*>(p), keyBytes);
  p += keyBytes;
  e.Kind = *p++;
  assert(e.Kind < std::size(kFixedBytes));
  const size_t n = e.Kind == kString ? static_cast<size_t>(GetVarint(p)) : kFixedBytes[e.Kind];
  e.Payload = std::span<const uint8_t>(p, n);
  return p + n;
}

const uint8_t* Skip(const uint8_t* p) {
  PropertyView e;
  return Unpack(p, e);
}

// Where an entry's value (its kind byte) begins and where the entry ends.
struct ValueBytes {
  size_t begin = 0, end = 0;
};
ValueBytes ValueOf(const PropertyView& e, const uint8_t* base) {
  const auto* kind = reinterpret_cast<const uint8_t*>(e.Key.data() + e.Key.size());
  return {static_cast<size_t>(kind - base),
          static_cast<size_t>(e.Payload.data() + e.Payload.size() - base)};
}

// Room never written costs address space, not memory, while a copy would
// raise the peak by the whole store: only a buffer mostly unused is copied.
template <class T>
bool IsLoose(const std::vector<T>& v) {
  const size_t spare = (v.capacity() - v.size()) * sizeof(T);
  return spare > std::max<size_t>(v.capacity() * sizeof(T) / 2, size_t{1} << 20);
}

}  // namespace

bool KeysEqual(std::string_view a, std::string_view b, KeyCompare how) {
  if (a.size() != b.size()) return false;
  if (how == KeyCompare::Exact) return a == b;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

Variant PropertyView::Value() const {
  const uint64_t bits = Kind == kString ? 0 : GetFixed(Payload.data(), Payload.size());
  switch (Kind) {
    case VariantIndexOf<EmptyValue>():
      return EmptyValue{};
    case VariantIndexOf<NullValue>():
      return NullValue{};
    case VariantIndexOf<int16_t>():
      return static_cast<int16_t>(bits);
    case VariantIndexOf<int32_t>():
      return static_cast<int32_t>(bits);
    case VariantIndexOf<float>():
      return std::bit_cast<float>(static_cast<uint32_t>(bits));
    case VariantIndexOf<double>():
      return std::bit_cast<double>(bits);
    case VariantIndexOf<Currency>():
      return Currency{static_cast<int64_t>(bits)};
    case VariantIndexOf<Date>():
      return Date{std::bit_cast<double>(bits)};
    case kString:
      return std::string(reinterpret_cast<const char*>(Payload.data()), Payload.size());
    case VariantIndexOf<bool>():
      return bits != 0;
    default:
      return static_cast<uint8_t>(bits);
  }
}

bool PropertyCursor::Next(PropertyView& e) {
  if (p_ == end_) return false;
  p_ = Unpack(p_, e);
  return true;
}

// --- PropertySets ---------------------------------------------------------------

void PropertySets::Resize(size_t sets) {
  assert(sets >= 1);
  uint64_t cut = 0;
  for (size_t i = sets; i < sets_.size(); ++i) cut += RunBytes(i);
  sets_.resize(sets, Ref{bytes_.size(), 0});
  if (cut > 0) Abandon(cut);
}

Variant PropertySets::Find(size_t set, std::string_view key, KeyCompare how) const {
  PropertyCursor c = Entries(set);
  PropertyView e;
  while (c.Next(e))
    if (KeysEqual(e.Key, key, how)) return e.Value();
  return EmptyValue{};
}

void PropertySets::Store(size_t set, std::string_view key, const Variant& value, KeyCompare how) {
  std::vector<uint8_t> packed;
  PackValue(packed, value);
  const uint64_t begin = sets_[set].offset, size = RunBytes(set);
  std::optional<ValueBytes> found;
  PropertyCursor c = Entries(set);
  PropertyView e;
  while (!found && c.Next(e))
    if (KeysEqual(e.Key, key, how)) found = ValueOf(e, bytes_.data());
  if (found && found->end - found->begin == packed.size()) {
    std::memcpy(bytes_.data() + found->begin, packed.data(), packed.size());
    return;
  }
  std::vector<uint8_t> added;
  if (!found) PackEntry(added, key, value);
  if (begin + size == bytes_.size()) {
    // The last run grows in place: sets are usually filled in order.
    if (found) {
      const auto first = bytes_.begin() + static_cast<ptrdiff_t>(found->begin);
      bytes_.insert(bytes_.erase(first, first + static_cast<ptrdiff_t>(found->end - found->begin)),
                    packed.begin(), packed.end());
    } else {
      bytes_.insert(bytes_.end(), added.begin(), added.end());
    }
    SetRunBytes(set, bytes_.size() - begin);
    return;
  }
  // Otherwise the set moves to the end with its change.
  const auto at = [this](uint64_t offset) {
    return bytes_.begin() + static_cast<ptrdiff_t>(offset);
  };
  std::vector<uint8_t> run;
  if (found) {
    run.assign(at(begin), at(found->begin));
    run.insert(run.end(), packed.begin(), packed.end());
    run.insert(run.end(), at(found->end), at(begin + size));
  } else {
    run.assign(at(begin), at(begin + size));
    run.insert(run.end(), added.begin(), added.end());
  }
  sets_[set].offset = bytes_.size();
  bytes_.insert(bytes_.end(), run.begin(), run.end());
  SetRunBytes(set, run.size());
  Abandon(size);
}

void PropertySets::SetRemoved(size_t set, bool removed) {
  if (removed)
    sets_[set].sizeAndRemoved |= kRemoved;
  else
    sets_[set].sizeAndRemoved &= ~kRemoved;
}

void PropertySets::Erase(size_t set) {
  const uint64_t size = RunBytes(set);
  sets_.erase(sets_.begin() + static_cast<ptrdiff_t>(set));
  Abandon(size);
}

void PropertySets::DropRemoved() {
  uint64_t dropped = 0;
  size_t out = 1;
  for (size_t i = 1; i < sets_.size(); ++i) {
    if (Removed(i))
      dropped += RunBytes(i);
    else
      sets_[out++] = sets_[i];
  }
  if (out == sets_.size()) return;
  sets_.resize(out);
  Abandon(dropped);
}

int32_t PropertySets::EntryCount(size_t set) const {
  int32_t n = 0;
  PropertyCursor c = Entries(set);
  PropertyView e;
  while (c.Next(e)) ++n;
  return n;
}

std::vector<PropertyEntry> PropertySets::Items(size_t set) const {
  std::vector<PropertyEntry> items;
  PropertyCursor c = Entries(set);
  PropertyView e;
  while (c.Next(e)) items.push_back({std::string(e.Key), e.Value()});
  return items;
}

void PropertySets::Clear() {
  bytes_.clear();
  sets_.clear();
  abandoned_ = 0;
}

void PropertySets::Reserve(size_t sets, size_t bytes) {
  sets_.reserve(sets);
  bytes_.reserve(bytes);
}

void PropertySets::AppendSet(bool removed) {
  sets_.push_back(Ref{bytes_.size(), removed ? kRemoved : 0});
}

void PropertySets::AppendEntry(std::string_view key, const Variant& value) {
  const size_t before = bytes_.size();
  PackEntry(bytes_, key, value);
  const size_t last = sets_.size() - 1;
  SetRunBytes(last, RunBytes(last) + (bytes_.size() - before));
}

void PropertySets::ReleaseSpare() {
  if (IsLoose(bytes_)) bytes_.shrink_to_fit();
  if (IsLoose(sets_)) sets_.shrink_to_fit();
}

void PropertySets::Abandon(uint64_t n) {
  abandoned_ += n;
  // Compacting only once most of the buffer is abandoned keeps every byte's
  // share of the copying constant.
  if (abandoned_ > 4096 && abandoned_ * 2 > bytes_.size()) Compact();
}

void PropertySets::Compact() {
  std::vector<uint8_t> kept;
  kept.reserve(static_cast<size_t>(bytes_.size() - abandoned_));
  for (size_t i = 0; i < sets_.size(); ++i) {
    const std::span<const uint8_t> run = Run(i);
    sets_[i].offset = kept.size();
    kept.insert(kept.end(), run.begin(), run.end());
  }
  bytes_ = std::move(kept);
  abandoned_ = 0;
}

// --- PropertyList ---------------------------------------------------------------

PropertyList::PropertyList() {
  Append({}, EmptyValue{});
}

PropertyList::PropertyList(PropertyList&& other) noexcept
    : bytes_(std::move(other.bytes_)),
      marks_(std::move(other.marks_)),
      size_(std::exchange(other.size_, 0)) {
  other.Clear();
}

PropertyList& PropertyList::operator=(PropertyList&& other) noexcept {
  if (this != &other) {
    bytes_ = std::move(other.bytes_);
    marks_ = std::move(other.marks_);
    size_ = std::exchange(other.size_, 0);
    other.Clear();
  }
  return *this;
}

size_t PropertyList::OffsetOf(size_t index) const {
  const uint8_t* base = bytes_.data();
  const uint8_t* p = base + marks_[index / kStride];
  for (size_t k = index % kStride; k > 0; --k) p = Skip(p);
  return static_cast<size_t>(p - base);
}

PropertyEntry PropertyList::At(size_t index) const {
  PropertyView e;
  Unpack(bytes_.data() + OffsetOf(index), e);
  return {std::string(e.Key), e.Value()};
}

Variant PropertyList::Find(std::string_view key, KeyCompare how) const {
  if (size_ < 2) return EmptyValue{};
  PropertyCursor c(std::span<const uint8_t>(bytes_).subspan(OffsetOf(1)));
  PropertyView e;
  while (c.Next(e))
    if (KeysEqual(e.Key, key, how)) return e.Value();
  return EmptyValue{};
}

void PropertyList::Store(std::string_view key, const Variant& value, KeyCompare how) {
  if (size_ >= 2) {
    PropertyCursor c(std::span<const uint8_t>(bytes_).subspan(OffsetOf(1)));
    PropertyView e;
    for (size_t index = 1; c.Next(e); ++index) {
      if (!KeysEqual(e.Key, key, how)) continue;
      const ValueBytes at = ValueOf(e, bytes_.data());
      std::vector<uint8_t> packed;
      PackValue(packed, value);
      if (packed.size() != at.end - at.begin) {
        // Every later entry moves by the difference, and so do their marks.
        const auto first = bytes_.begin() + static_cast<ptrdiff_t>(at.begin);
        bytes_.erase(first, bytes_.begin() + static_cast<ptrdiff_t>(at.end));
        bytes_.insert(bytes_.begin() + static_cast<ptrdiff_t>(at.begin), packed.size(), 0);
        const uint64_t delta = packed.size() - (at.end - at.begin);  // modulo 2^64
        for (size_t k = index / kStride + 1; k < marks_.size(); ++k) marks_[k] += delta;
      }
      std::memcpy(bytes_.data() + at.begin, packed.data(), packed.size());
      return;
    }
  }
  Append(key, value);
}

void PropertyList::Clear() {
  bytes_.clear();
  marks_.clear();
  size_ = 0;
}

void PropertyList::Reserve(size_t entries, size_t bytes) {
  marks_.reserve(entries / kStride + 1);
  bytes_.reserve(bytes);
}

void PropertyList::Append(std::string_view key, const Variant& value) {
  if (size_ % kStride == 0) marks_.push_back(bytes_.size());
  PackEntry(bytes_, key, value);
  ++size_;
}

void PropertyList::ReleaseSpare() {
  if (IsLoose(bytes_)) bytes_.shrink_to_fit();
  if (IsLoose(marks_)) marks_.shrink_to_fit();
}

}  // namespace orvane
