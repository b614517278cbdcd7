#include "cipher/string_cipher.h"

#include "frame/checked_math.h"
#include "platform/ansi_code_page.h"

namespace volumar::cipher {
namespace {

// Latin letters with diacritics from 0xC0 to 0xFF, leaving out the
// multiplication and division signs: each decodes to one non-ASCII letter.
constexpr std::array<std::uint8_t, 62> make_codes() {
  std::array<std::uint8_t, 62> codes{};
  std::size_t n = 0;
  for (int b = 0xC0; b <= 0xFF && n < codes.size(); ++b)
    if (b != 0xD7 && b != 0xF7) codes[n++] = static_cast<std::uint8_t>(b);
  return codes;
}
constexpr auto kCodes = make_codes();

char16_t table_char(std::size_t i) {
  if (i < 10) return static_cast<char16_t>(u'0' + i);
  if (i < 36) return static_cast<char16_t>(u'A' + (i - 10));
  return static_cast<char16_t>(u'a' + (i - 36));
}

template <class CharFn>
String transform(const String& input, CharFn per_char) {
  String result;
  // For i = 1 To Len(s), with i an Integer.
  Integer last = CInt(static_cast<Long>(input.size()));
  for (Integer i = 1; i <= last; i = checked_add<Integer>(i, 1)) result += per_char(input.substr(i - 1, 1));
  return result;
}

}  // namespace

const std::array<std::uint8_t, 62>& substitution_codes() { return kCodes; }

String GetCrypEncChar(const String& ch) {
  for (std::size_t i = 0; i < kCodes.size(); ++i)
    if (ch.size() == 1 && ch[0] == table_char(i)) return String(1, win::ansi_char(kCodes[i]));
  return ch;
}

String GetCrypDecChar(const String& ch) {
  for (std::size_t i = 0; i < kCodes.size(); ++i)
    if (ch.size() == 1 && ch[0] == win::ansi_char(kCodes[i])) return String(1, table_char(i));
  return ch;
}

String GetCrypEncString(const String& s) { return transform(s, GetCrypEncChar); }
String GetCrypDecString(const String& s) { return transform(s, GetCrypDecChar); }

}  // namespace volumar::cipher
