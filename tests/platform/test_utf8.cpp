// UTF-16 to UTF-8 at each width's edges, surrogate pairs and lone halves.
#include <gtest/gtest.h>

#include "platform/utf8.h"

namespace {

struct Case {
  std::u16string utf16;
  std::string utf8;
};

const Case kCases[] = {
    {u"", ""},
    {u"A\x7F", "A\x7F"},
    {u"\x80\x7FF", "\xC2\x80\xDF\xBF"},
    {u"\x800\xFFFF", "\xE0\xA0\x80\xEF\xBF\xBF"},
    {u"x\xD83D\xDE00y", "x\xF0\x9F\x98\x80y"},  // a pair: one code point in four bytes
    {u"\xDBFF\xDFFF", "\xF4\x8F\xBF\xBF"},
    {u"\xD800z", "\xED\xA0\x80z"},                  // a high half alone keeps its three bytes
    {u"\xDC00\xD800", "\xED\xB0\x80\xED\xA0\x80"},  // halves in the wrong order are no pair
    {u"\xD800", "\xED\xA0\x80"},                    // a high half at the end
};

TEST(Utf8, EachWidthAndSurrogateHalvesEncodeAsBefore) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(win::utf16_to_utf8(c.utf16), c.utf8);
    std::string appended = "head:";
    win::append_utf8(appended, c.utf16);
    EXPECT_EQ(appended, "head:" + c.utf8);
  }
}

TEST(Utf8, LongTextsRoundTrip) {
  std::u16string text;
  for (char32_t cp = 1; cp < 0x30000; cp += 7) {
    if (cp >= 0xD800 && cp < 0xE000) continue;
    if (cp < 0x10000) {
      text += static_cast<char16_t>(cp);
    } else {
      text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      text += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  EXPECT_EQ(win::utf8_to_utf16(win::utf16_to_utf8(text)), text);
}

}  // namespace
