#include "platform/ansi_code_page.h"

#include <array>

namespace win {
namespace {

// 0x80..0x9F; the rest of the page equals Latin-1.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int reverse_lookup(char16_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return ch;
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == ch) return 0x80 + i;
  return -1;
}

}  // namespace

char16_t ansi_char(std::uint8_t byte) {
  return (byte >= 0x80 && byte < 0xA0) ? kHigh[byte - 0x80] : static_cast<char16_t>(byte);
}

bool ansi_representable(char16_t ch) { return reverse_lookup(ch) >= 0; }

std::uint8_t ansi_byte(char16_t ch) {
  int b = reverse_lookup(ch);
  return b < 0 ? static_cast<std::uint8_t>('?') : static_cast<std::uint8_t>(b);
}

std::u16string ansi_to_utf16(std::string_view bytes) {
  std::u16string out(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = ansi_char(static_cast<std::uint8_t>(bytes[i]));
  return out;
}

std::string utf16_to_ansi(std::u16string_view text) {
  std::string out(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(ansi_byte(text[i]));
  return out;
}

}  // namespace win
