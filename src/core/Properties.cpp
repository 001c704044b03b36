#include "core/Properties.h"

#include <cctype>

namespace orvane {

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

Variant FindProperty(const std::vector<PropertyEntry>& items, size_t first, std::string_view key,
                     KeyCompare how) {
  for (size_t i = first; i < items.size(); ++i)
    if (KeysEqual(items[i].Key, key, how)) return items[i].Value;
  return EmptyValue{};
}

void StoreProperty(std::vector<PropertyEntry>& items, size_t first, std::string_view key,
                   Variant value, KeyCompare how) {
  for (size_t i = first; i < items.size(); ++i) {
    if (KeysEqual(items[i].Key, key, how)) {
      items[i].Value = std::move(value);
      return;
    }
  }
  items.push_back(PropertyEntry{std::string(key), std::move(value)});
}

}  // namespace orvane
