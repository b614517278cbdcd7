// Text conversions between the library's UTF-16 and ANSI texts and the
// terminal's UTF-8.
#pragma once
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ansi_code_page.h"
#include "platform/utf8.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {

inline std::string utf8(std::u16string_view text) { return win::utf16_to_utf8(text); }
inline std::u16string utf16(std::string_view utf8_text) { return win::utf8_to_utf16(utf8_text); }
// A text in the ANSI code page (message boxes, trace lines) for the terminal.
inline std::string ansi_to_utf8(std::string_view ansi) { return win::utf16_to_utf8(win::ansi_to_utf16(ansi)); }

// A text field of an on-disk record for a listing: ANSI bytes in UTF-8,
// control bytes as dots, the padding at its end dropped.
inline std::string stored_text(std::string_view ansi) {
  std::string bytes(ansi);
  for (char& c : bytes)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '.';
  while (!bytes.empty() && (bytes.back() == ' ' || bytes.back() == '\0')) bytes.pop_back();
  return ansi_to_utf8(bytes);
}

// A byte count in the largest binary unit that keeps it above 1: "1.4 MiB".
inline std::string human_size(std::uint64_t bytes) {
  static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
  auto value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit ? "%.1f %s" : "%.0f %s", value, units[unit]);
  return text;
}

// Where the first byte that starts no well-formed UTF-8 sequence stands.
inline std::optional<std::size_t> invalid_utf8_at(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const std::size_t n = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : lead >> 3 == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return i;
    char32_t c = n == 1 ? lead : lead & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
      const auto next = static_cast<unsigned char>(s[i + k]);
      if ((next & 0xC0) != 0x80) return i;
      c = c << 6 | (next & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < least[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return i;
    i += n;
  }
  return std::nullopt;
}

// The first control character (C0 or DEL) in a name, where a terminal or a
// .reg file would take it for a command or a line end.
inline std::optional<std::size_t> control_at(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (static_cast<unsigned char>(s[i]) < 0x20 || s[i] == 0x7F) return i;
  return std::nullopt;
}

// "not valid UTF-8 (byte 0xFF at offset 0)" or "holds a control character
// (byte 0x0A at offset 3)" for a name that is either; empty otherwise.
inline std::string unusable_name(std::string_view name) {
  const auto bad = invalid_utf8_at(name);
  const auto control = bad ? bad : control_at(name);
  if (!control) return {};
  char why[80];
  std::snprintf(why, sizeof why, "%s (byte 0x%02X at offset %zu)",
                bad ? "not valid UTF-8" : "holds a control character", static_cast<unsigned char>(name[*control]),
                *control);
  return why;
}

// A text argument for the library: malformed UTF-8 would reach it as
// replacement characters, so it is a usage error naming `what`.
inline std::u16string utf16_argument(std::string_view utf8_text, const std::string& what) {
  if (const auto at = invalid_utf8_at(utf8_text)) {
    char where[64];
    std::snprintf(where, sizeof where, ": not valid UTF-8 (byte 0x%02X at offset %zu)",
                  static_cast<unsigned char>(utf8_text[*at]), *at);
    usage_error(what + where);
  }
  return utf16(utf8_text);
}

}  // namespace volumar_tool
