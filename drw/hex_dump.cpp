// Row texts and hexadecimal dump lines of sector bytes.
#include "drw/hex_dump.h"

#include <array>

#include "frame/checked_math.h"
#include "platform/ansi_code_page.h"

namespace volumar {
namespace {

// The first index of a whole row inside `bytes`, checked as the runtime
// checks an array index.
std::size_t row_start(std::span<const std::uint8_t> bytes, Long offset) {
  Long last = checked_add<Long>(offset, kRowBytes - 1);
  if (offset < 0 || static_cast<std::size_t>(last) >= bytes.size()) raise_error(win::kErrSubscriptOutOfRange);
  return static_cast<std::size_t>(offset);
}

// row_char of every byte, made once from the code page.
const std::array<char16_t, 256>& row_chars() {
  static const std::array<char16_t, 256> table = [] {
    std::array<char16_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
      const char16_t ch = win::ansi_char(static_cast<std::uint8_t>(b));
      t[static_cast<std::size_t>(b)] = ch < 0x20 ? u'.' : ch;
    }
    return t;
  }();
  return table;
}

void append_row_text(String& out, std::span<const std::uint8_t> row) {
  const auto& chars = row_chars();
  const std::size_t at = out.size();
  out.resize(at + row.size());
  for (std::size_t k = 0; k < row.size(); ++k) out[at + k] = chars[row[k]];
}

void append_offset(String& out, Long offset) {
  char16_t digits[8];
  int n = 0;
  auto value = static_cast<std::uint32_t>(offset);
  do {
    digits[n++] = kDumpHexDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  for (int pad = n; pad < 3; ++pad) out += u'0';
  while (n > 0) out += digits[--n];
}

}  // namespace

char16_t row_char(std::uint8_t byte) { return row_chars()[byte]; }

String offset_text(Long offset) {
  String out;
  append_offset(out, offset);
  return out;
}

String row_text(std::span<const std::uint8_t> bytes, Long offset) {
  std::size_t start = row_start(bytes, offset);
  String out;
  out.reserve(kRowBytes);
  append_row_text(out, bytes.subspan(start, kRowBytes));
  return out;
}

void append_dump_line(String& out, std::span<const std::uint8_t> bytes, Long offset) {
  auto row = bytes.subspan(row_start(bytes, offset), kRowBytes);
  append_offset(out, offset);
  out += kDumpAfterOffset;
  std::size_t at = out.size();
  out.resize(at + 3 * row.size());
  for (std::uint8_t b : row) {
    out[at++] = kDumpHexDigits[b >> 4];
    out[at++] = kDumpHexDigits[b & 0xF];
    out[at++] = u' ';
  }
  out += kDumpAfterHex;
  append_row_text(out, row);
  out += kDumpLineEnd;
}

String hex_dump(std::span<const std::uint8_t> bytes, Long length) {
  String out;
  if (length > 0) out.reserve((static_cast<std::size_t>(length) + kRowBytes - 1) / kRowBytes * kDumpLineChars);
  // Offsets step by 16 while below length; widened so the last step cannot wrap.
  for (std::int64_t offset = 0; offset < length; offset += kRowBytes)
    append_dump_line(out, bytes, static_cast<Long>(offset));
  return out;
}

}  // namespace volumar
