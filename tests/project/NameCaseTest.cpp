#include <gtest/gtest.h>

#include "project/files/NameCase.h"

namespace orvane {

TEST(NameCase, UpperCasesAccentedLettersInUtf8AndLatin1) {
  EXPECT_EQ(UpperCaseName("Ñandú lote-3 ÿ ß"), "ÑANDÚ LOTE-3 Ÿ ß");
  EXPECT_EQ(UpperCaseName("łódź αβγς жё"), "ŁÓDŹ ΑΒΓΣ ЖЁ");
  // ISO-8859-1 bytes (not valid UTF-8): n-tilde 0xF1, u-acute 0xFA.
  EXPECT_EQ(UpperCaseName("\xF1"
                          "and\xFA\xFF"),
            "\xD1"
            "AND\xDA\xFF");
  // A sequence cut short is no UTF-8: read byte by byte.
  EXPECT_EQ(UpperCaseName("a\xC3"), "A\xC3");
}

}  // namespace orvane
