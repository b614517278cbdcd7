// The letter-and-digit cipher: round trips, what changes and what does not,
// and the Integer position counter's limit.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "cipher/string_cipher.h"
#include "drw/sector_editor.h"
#include "frame/runtime_error.h"
#include "platform/ansi_code_page.h"

using namespace volumar;
using namespace volumar::cipher;

namespace {
bool is_ascii_alnum(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool is_replacement(char16_t c) {
  for (auto code : substitution_codes())
    if (win::ansi_char(code) == c) return true;
  return false;
}

// Mostly letters and digits, with every other kind of code unit mixed in
// except the cipher's own replacement characters, which a plain text that
// is to come back unchanged cannot hold.
String random_text(std::mt19937& rng, std::size_t n) {
  std::uniform_int_distribution<int> kind(0, 9), any(0, 0xFFFF), alnum(0, 61);
  const std::u16string alnums = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  String s(n, u' ');
  for (auto& c : s) {
    do c = kind(rng) < 6 ? alnums[alnum(rng)] : static_cast<char16_t>(any(rng));
    while (is_replacement(c));
  }
  return s;
}
}  // namespace

TEST(StringCipher, TableHoldsSixtyTwoDistinctHighCodesOfDistinctNonAsciiCharacters) {
  std::set<int> codes;
  std::set<char16_t> chars;
  for (auto code : substitution_codes()) {
    EXPECT_GE(code, 128);
    codes.insert(code);
    char16_t ch = win::ansi_char(code);
    EXPECT_GT(ch, 0x7F);
    chars.insert(ch);
  }
  EXPECT_EQ(codes.size(), 62u);
  EXPECT_EQ(chars.size(), 62u);
}

TEST(StringCipher, OnlyAsciiLettersAndDigitsChange) {
  String plain = u"Boot 0x55AA: ok!\t\x00e9\x20ac z9";
  String enc = GetCrypEncString(plain);
  ASSERT_EQ(enc.size(), plain.size());
  for (std::size_t i = 0; i < plain.size(); ++i) {
    if (is_ascii_alnum(plain[i])) {
      EXPECT_NE(enc[i], plain[i]);
      EXPECT_EQ(win::ansi_char(win::ansi_byte(enc[i])), enc[i]);  // one ANSI byte each
      EXPECT_GE(win::ansi_byte(enc[i]), 128);
    } else {
      EXPECT_EQ(enc[i], plain[i]) << i;
    }
  }
  EXPECT_NE(GetCrypEncString(u"a"), GetCrypEncString(u"A"));
  EXPECT_EQ(GetCrypEncString(enc), enc);  // nothing left to encipher
  EXPECT_EQ(GetCrypDecString(u"Plain ASCII 123"), u"Plain ASCII 123");
  EXPECT_EQ(GetCrypEncString(u""), u"");
}

TEST(StringCipher, RoundTripHoldsUpToTheCounterLimit) {
  std::mt19937 rng(12345);
  for (std::size_t n : {1u, 2u, 15u, 16u, 512u, 4096u, 32765u, 32766u}) {
    String s = random_text(rng, n);
    EXPECT_EQ(GetCrypDecString(GetCrypEncString(s)), s) << n;
  }
  // Every code unit once: letters and digits come back, the rest never moved.
  String all;
  for (int c = 0; c < 0x8000 && all.size() < 32766; ++c)
    if (!is_replacement(static_cast<char16_t>(c))) all += static_cast<char16_t>(c);
  EXPECT_EQ(GetCrypDecString(GetCrypEncString(all)), all);
  // A replacement character in the plain text is read back as its letter:
  // the substitution cannot tell the two apart.
  String code_char(1, win::ansi_char(substitution_codes()[0]));
  EXPECT_EQ(GetCrypDecString(GetCrypEncString(code_char)), u"0");
}

TEST(StringCipher, ThirtyTwoThousandSevenHundredSixtySevenCharactersOverflow) {
  auto number = [](const String& s, bool encipher) {
    try {
      encipher ? GetCrypEncString(s) : GetCrypDecString(s);
    } catch (const RuntimeError& e) {
      return e.number();
    }
    return 0;
  };
  EXPECT_EQ(number(String(32767, u'a'), true), 6);
  EXPECT_EQ(number(String(32767, u'a'), false), 6);
  EXPECT_EQ(number(String(40000, u'-'), true), 6);
  EXPECT_EQ(number(String(32766, u'a'), true), 0);
}

TEST(StringCipher, MembersOfTheEditorLeaveTheirArgumentAlone) {
  auto drw = clsQzVolmDrwA::create();
  Variant text{String(u"Sector 12")};
  Variant enc = win::call_method(drw, u"GetCrypEncString", {Variant::ref(text)});
  EXPECT_EQ(text.string_value(), u"Sector 12");
  Variant back = win::call_method(drw, u"GetCrypDecString", {enc});
  EXPECT_EQ(back.string_value(), u"Sector 12");
}
