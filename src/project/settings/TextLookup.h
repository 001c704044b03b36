#pragma once
// Reading an entry of a text table (the user-interface texts, TextIds.h) that
// a caller hands down: the code below the actions words its messages from the
// table it is given, never from the process-wide one.

#include <span>
#include <string>
#include <string_view>

namespace orvane {

// Entry n (1-based) of texts; "" outside 1..texts.size().
inline const std::string& TextAt(std::span<const std::string> texts, int n) {
  static const std::string empty;
  if (n < 1 || static_cast<size_t>(n) > texts.size()) return empty;
  return texts[static_cast<size_t>(n) - 1];
}

// Entry n of texts, or english while the table has no words for it.
inline std::string TextOrEnglish(std::span<const std::string> texts, int n,
                                 std::string_view english) {
  const std::string& text = TextAt(texts, n);
  return text.empty() ? std::string(english) : text;
}

}  // namespace orvane
