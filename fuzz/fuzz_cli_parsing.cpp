// The command line's texts: drive mappings (read against a disk image the
// input brings), DRIVE arguments, byte counts, script steps and bad block
// lists with the clusters their blocks fall in.
//
// Input: lines of text, then optionally a NUL and the bytes of disk.img, a
// file in the current folder that mappings may name. Mappings whose path
// leaves that folder are not tried, so that no host file is ever read.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "imaging/fat_image_builder.h"
#include "platform/drive_map.h"
#include "tools/volumar/host/bad_block_list.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/number_option.h"
#include "tools/volumar/host/script_steps.h"
#include "tools/volumar/host/tool_error.h"
#include "volume/volume_geometry.h"

using volumar_tool::ToolError;

namespace {

[[noreturn]] void broken(const char* what, std::string_view text) {
  std::fprintf(stderr, "==ERROR: %s: '%.*s'\n", what, static_cast<int>(text.size()), text.data());
  std::abort();
}

template <class F>
bool attempt(F&& step) {
  try {
    step();
    return true;
  } catch (const ToolError&) {
    return false;
  }
}

// A FAT16 volume's layout, for the clusters a bad block list names.
const volumar::VolumeGeometry& geometry() {
  static const volumar::VolumeGeometry g = [] {
    imaging::FatImageBuilder builder(imaging::FatType::fat16);
    return volumar::geometry_of(ondisk::decode_boot_sector(builder.read_sector(0)));
  }();
  return g;
}

void check_byte_count(std::string_view text) {
  for (std::uint64_t sector : {512u, 4096u}) {
    std::uint64_t value = 0;
    if (!attempt([&] { value = volumar_tool::parse_byte_count(text, sector); })) continue;
    if (volumar_tool::parse_byte_count(std::to_string(value), sector) != value)
      broken("a byte count does not read back", text);
    if (value % 1024 == 0 && volumar_tool::parse_byte_count(std::to_string(value / 1024) + "KiB", sector) != value)
      broken("a byte count in KiB does not read back", text);
  }
}

// A whole-number option lets through only numbers in its range, and hands
// them on in decimal.
void check_whole_number(const std::string& text) {
  for (const auto& [least, most] : {std::pair<std::int64_t, std::int64_t>{0, INT64_MAX}, {1, INT32_MAX}}) {
    std::string value = text;
    if (!volumar_tool::whole_number(least, most)(value).empty()) continue;
    std::int64_t n = -1;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || end != value.data() + value.size() || n < least || n > most)
      broken("a whole number passed on out of its range", text);
  }
}

void check_mapping(std::string_view text) {
  if (text.find('/') != std::string_view::npos) return;
  volumar_tool::DriveMapping mapping;
  if (!attempt([&] { mapping = volumar_tool::parse_drive_mapping(text); })) return;
  if (mapping.letter < 'A' || mapping.letter > 'Z') broken("a mapping names no letter", text);
  if (mapping.volume.length && *mapping.volume.length == 0) broken("a mapping of length 0", text);
  win::DriveMap::map(mapping.letter, mapping.volume);
  attempt([&] { volumar_tool::resolve_drive_argument(std::string(1, mapping.letter)); });
}

void check_drive_argument(std::string_view text) {
  if (text.empty() || text.find('/') != std::string_view::npos) return;
  attempt([&] { volumar_tool::resolve_drive_argument(text); });
}

void check_bad_blocks(const std::string& text, std::uint64_t block_size) {
  std::istringstream in(text);
  std::vector<std::uint64_t> blocks;
  if (!attempt([&] { blocks = volumar_tool::read_bad_block_list(in, "list"); })) return;
  const auto found = volumar_tool::clusters_of_blocks(geometry(), blocks, block_size);
  for (std::uint64_t c : found.clusters)
    if (!geometry().has_cluster(c)) broken("a block falls in a cluster the volume does not have", text);
}

// Relative paths name the scratch folder for one input; libFuzzer reads its
// corpus relative to the folder it was started in.
class InScratch {
 public:
  InScratch() : previous_(std::filesystem::current_path()) { std::filesystem::current_path(fuzz::scratch().path()); }
  ~InScratch() { std::filesystem::current_path(previous_); }
  InScratch(const InScratch&) = delete;
  InScratch& operator=(const InScratch&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const InScratch in_scratch;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string text(input.substr(0, nul));
  const std::string_view disk = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
  fuzz::write_file(fuzz::scratch().file("disk.img"), reinterpret_cast<const std::uint8_t*>(disk.data()), disk.size());

  std::uint64_t block_size = 1024;
  bool first = true;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (first) {
      check_mapping(line);
      first = false;
    }
    check_drive_argument(line);
    check_byte_count(line);
    check_whole_number(line);
    attempt([&] { volumar_tool::parse_step(line); });
    attempt([&] { volumar_tool::parse_drive_type(line); });
    volumar_tool::is_drive_letter_text(line);
    attempt([&] {
      // A later line's count is the bad block list's block size, as --block-size gives it.
      if (const std::uint64_t n = volumar_tool::parse_byte_count(line); n > 0) block_size = n;
    });
  }
  check_bad_blocks(text, block_size);
  win::DriveMap::clear();
  return 0;
}
