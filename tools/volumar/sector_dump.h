// Dumps of sectors in the sector editor's hex-dump text (the text of
// SectorDataFormattedPP), fast enough for long ranges: the library's line
// pieces are turned into UTF-8 once, then each line is put together by
// table lookup.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace volumar_tool {

class SectorDumper {
 public:
  // bytes_per_sector must be a whole number of 16-byte rows.
  explicit SectorDumper(std::size_t bytes_per_sector);

  // Appends the dump of one sector (bytes_per_sector bytes), as UTF-8.
  void append(std::string& out, const std::uint8_t* sector) const;

 private:
  std::vector<std::string> prefix_;  // per row: offset and " |"
  std::array<std::array<char, 3>, 256> hex_{};
  std::array<std::string, 256> char_;  // row character in UTF-8
  std::string after_hex_, line_end_;
  std::size_t max_line_ = 0;
};

}  // namespace volumar_tool
