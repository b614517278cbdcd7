// Dumps of sectors in the sector editor's hex-dump text (the text of
// SectorDataFormattedPP), fast enough for long ranges. The pieces of every
// line (row offsets, each byte's hex digits and row character, the
// separators) are cut out of the library's own dump text once, then put
// together by table lookup; a sample of the output is checked against the
// library's text, and any difference makes the dumper use the library alone.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace volumar_tool {

class SectorDumper {
 public:
  explicit SectorDumper(std::size_t bytes_per_sector);

  // Appends the dump of one sector (bytes_per_sector bytes), as UTF-8.
  void append(std::string& out, const std::uint8_t* sector);
  // The library's text of one sector, as UTF-8 (the reference).
  std::string library_text(const std::uint8_t* sector) const;
  // Compares the fast text of this sector with the library's; on any
  // difference, switches to the library's text for good.
  void check(const std::uint8_t* sector);
  bool uses_tables() const { return tables_; }

 private:
  bool learn();
  std::size_t size_;
  bool tables_ = false;
  std::vector<std::string> prefix_;         // per row: offset and " |"
  std::array<std::array<char, 3>, 256> hex_{};
  std::array<std::string, 256> char_;       // row character in UTF-8
  std::string separator_, line_end_;
  std::size_t max_line_ = 0;
};

}  // namespace volumar_tool
