#pragma once
// Key/value property stores shared by meshes (keys compare exactly) and point
// lists (keys compare without regard to letter case).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Variant.h"

namespace orvane {

struct PropertyEntry {
  std::string Key;
  Variant Value;
  friend bool operator==(const PropertyEntry&, const PropertyEntry&) = default;
};

// The properties of one triangle (or point). Count is Items.size().
// Removed is set when the owning triangle was removed and the set awaits
// being dropped by Reindex / UpdateBounds.
struct PropertySet {
  std::vector<PropertyEntry> Items;
  bool Removed = false;
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  friend bool operator==(const PropertySet&, const PropertySet&) = default;
};

enum class KeyCompare { Exact, IgnoreCase };

bool KeysEqual(std::string_view a, std::string_view b, KeyCompare how);

// Value stored under key, or empty when absent.
Variant FindProperty(const std::vector<PropertyEntry>& items, size_t first, std::string_view key,
                     KeyCompare how);

// Sets the value of the first entry with this key, or appends a new entry.
void StoreProperty(std::vector<PropertyEntry>& items, size_t first, std::string_view key,
                   Variant value, KeyCompare how);

}  // namespace orvane
