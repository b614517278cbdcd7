// Windows-1252 in both directions, one byte to exactly one character.
#include <gtest/gtest.h>

#include <set>

#include "platform/ansi_code_page.h"

TEST(AnsiCodePage, EveryByteRoundTripsThroughItsOwnCharacter) {
  std::set<char16_t> seen;
  for (int b = 0; b < 256; ++b) {
    char16_t c = win::ansi_char(static_cast<std::uint8_t>(b));
    EXPECT_TRUE(seen.insert(c).second) << b;
    EXPECT_EQ(win::ansi_byte(c), b);
  }
  EXPECT_EQ(win::ansi_char(0x80), u'\x20ac');
  EXPECT_EQ(win::ansi_char(0x9F), u'\x0178');
  for (int unassigned : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
    EXPECT_EQ(win::ansi_char(static_cast<std::uint8_t>(unassigned)), unassigned);
  EXPECT_EQ(win::ansi_byte(u'\x4e2d'), '?');
  EXPECT_EQ(win::ansi_byte(u'\x0080'), '?');  // 0x80 is the euro sign's byte, not U+0080's
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  EXPECT_EQ(win::utf16_to_ansi(win::ansi_to_utf16(bytes)), bytes);
}
