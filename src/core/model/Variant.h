#pragma once
// The variant of Tag and property values: exactly the kinds the binary files
// can store, each with the type code it carries on disk.

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>

namespace orvane {

struct EmptyValue {
  friend bool operator==(EmptyValue, EmptyValue) = default;
};
struct NullValue {
  friend bool operator==(NullValue, NullValue) = default;
};
// Fixed-point money: the value times 10000.
struct Currency {
  int64_t Scaled = 0;
  friend bool operator==(Currency, Currency) = default;
};
// Days since 30 December 1899 (fraction = time of day).
struct Date {
  double Days = 0;
  friend bool operator==(Date, Date) = default;
};

// Alternatives in the order of their type codes:
// 0 empty, 1 null, 2 int16, 3 int32, 4 float, 5 double, 6 currency, 7 date,
// 8 string (8-bit text), 11 boolean, 17 byte.
using Variant = std::variant<EmptyValue, NullValue, int16_t, int32_t, float, double, Currency, Date,
                             std::string, bool, uint8_t>;

// The index of alternative T in Variant.
template <class T, size_t I = 0>
constexpr size_t VariantIndexOf() {
  if constexpr (std::is_same_v<std::variant_alternative_t<I, Variant>, T>)
    return I;
  else
    return VariantIndexOf<T, I + 1>();
}

// The on-disk type code of alternative index (REQUIRES: a Variant index).
inline uint16_t VariantTypeCodeAt(size_t index) {
  static constexpr uint16_t kCodes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 17};
  return kCodes[index];
}
// The on-disk type code of the value held.
inline uint16_t VariantTypeCode(const Variant& v) {
  return VariantTypeCodeAt(v.index());
}

inline bool IsEmpty(const Variant& v) {
  return std::holds_alternative<EmptyValue>(v);
}

// Text form used by the command line and diagnostics ("" for empty/null).
std::string VariantToText(const Variant& v);

}  // namespace orvane
