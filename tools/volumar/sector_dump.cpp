// The sector dumper: the library's line pieces, assembled quickly.
#include "tools/volumar/sector_dump.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "drw/hex_dump.h"
#include "platform/utf8.h"

namespace volumar_tool {
namespace {
constexpr std::size_t kRow = 16;
}

SectorDumper::SectorDumper(std::size_t bytes_per_sector) {
  if (bytes_per_sector == 0 || bytes_per_sector % kRow != 0)
    throw std::invalid_argument("the sector size is not a whole number of 16-byte rows");
  for (std::size_t at = 0; at < bytes_per_sector; at += kRow)
    prefix_.push_back(
        win::utf16_to_utf8(volumar::offset_text(static_cast<volumar::Long>(at)) + volumar::kDumpAfterOffset));
  std::size_t widest_char = 0;
  for (int b = 0; b < 256; ++b) {
    hex_[b] = {static_cast<char>(volumar::kDumpHexDigits[b >> 4]), static_cast<char>(volumar::kDumpHexDigits[b & 15]),
               ' '};
    char_[b] = win::utf16_to_utf8(std::u16string(1, volumar::row_char(static_cast<std::uint8_t>(b))));
    widest_char = std::max(widest_char, char_[b].size());
  }
  after_hex_ = win::utf16_to_utf8(volumar::kDumpAfterHex);
  line_end_ = win::utf16_to_utf8(volumar::kDumpLineEnd);
  std::size_t widest_prefix = 0;
  for (const auto& p : prefix_) widest_prefix = std::max(widest_prefix, p.size());
  max_line_ = widest_prefix + 3 * kRow + after_hex_.size() + kRow * widest_char + line_end_.size();
}

void SectorDumper::append(std::string& out, const std::uint8_t* sector) const {
  const std::size_t start = out.size();
  out.resize(start + max_line_ * prefix_.size());
  char* p = out.data() + start;
  for (std::size_t r = 0; r < prefix_.size(); ++r) {
    const std::uint8_t* row = sector + r * kRow;
    std::memcpy(p, prefix_[r].data(), prefix_[r].size());
    p += prefix_[r].size();
    for (std::size_t k = 0; k < kRow; ++k) {
      std::memcpy(p, hex_[row[k]].data(), 3);
      p += 3;
    }
    std::memcpy(p, after_hex_.data(), after_hex_.size());
    p += after_hex_.size();
    for (std::size_t k = 0; k < kRow; ++k) {
      const std::string& c = char_[row[k]];
      std::memcpy(p, c.data(), c.size());
      p += c.size();
    }
    std::memcpy(p, line_end_.data(), line_end_.size());
    p += line_end_.size();
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
}

}  // namespace volumar_tool
