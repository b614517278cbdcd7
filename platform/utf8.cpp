#include "platform/utf8.h"

#include <cstdint>

namespace win {

std::u16string utf8_to_utf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b >> 5) == 6 && i + 1 < s.size()) {
      cp = ((b & 0x1Fu) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if ((b >> 4) == 14 && i + 2 < s.size()) {
      cp = ((b & 0x0Fu) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      len = 3;
    } else if ((b >> 3) == 30 && i + 3 < s.size()) {
      cp = ((b & 0x07u) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) | (s[i + 3] & 0x3F);
      len = 4;
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

void append_utf8(std::string& out, std::u16string_view s) {
  // Each UTF-16 unit takes at most three bytes (a pair takes four for two),
  // so the room is made once and filled through a pointer.
  const std::size_t start = out.size();
  out.resize(start + 3 * s.size());
  char* p = out.data() + start;
  for (std::size_t i = 0; i < s.size(); ++i) {
    std::uint32_t cp = s[i];
    if (cp < 0x80) {
      *p++ = static_cast<char>(cp);
      continue;
    }
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x800) {
      *p++ = static_cast<char>(0xC0 | (cp >> 6));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (cp >> 12));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *p++ = static_cast<char>(0xF0 | (cp >> 18));
      *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

std::string utf16_to_utf8(std::u16string_view s) {
  std::string out;
  append_utf8(out, s);
  return out;
}

}  // namespace win
