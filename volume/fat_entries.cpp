#include "volume/fat_entries.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "frame/checked_math.h"
#include "platform/ansi_code_page.h"
#include "rawio/write_sectors.h"
#include "volume/drive_info.h"
#include "volume/drive_sectors.h"
#include "volume/fat_entry_codec.h"
#include "volume/fat_tables.h"
#include "volume/fsinfo.h"

namespace volumar {
namespace {

// The first entry from `first` to `last` whose value, masked to its width,
// lies in [lo, hi]; 0 if none. Blocks are tested whole, with no branch per
// entry, so the compiler can test many entries at once; only the block that
// holds a match is looked at one entry at a time.
template <class T>
Long first_in_range(const T* table, Long first, Long last, std::uint32_t mask, std::uint32_t lo, std::uint32_t hi) {
  using Unsigned = std::make_unsigned_t<T>;
  const std::uint32_t width = hi - lo;
  const auto in_range = [=](T v) {
    return static_cast<std::uint32_t>((static_cast<std::uint32_t>(static_cast<Unsigned>(v)) & mask) - lo) <= width;
  };
  constexpr Long kBlock = 64;
  Long c = first;
  for (; last - c + 1 >= kBlock; c += kBlock) {
    unsigned any = 0;
    for (Long k = 0; k < kBlock; ++k) any |= in_range(table[c + k]) ? 1u : 0u;
    if (any) break;
  }
  for (; c <= last; ++c)
    if (in_range(table[c])) return c;
  return 0;
}

// The free and the bad entries of clusters 2 to the last, in one pass with
// no branch, which the compiler runs many entries at a time.
template <class Table>
FatEntryCounts count(const Table& table, FatWidth width) {
  using Unsigned = std::make_unsigned_t<typename Table::value_type>;
  FatEntryCounts counts;
  const Long last = std::min<Long>(static_cast<Long>(table.size()) - 1, LastVolumeCluster());
  if (last < 2) return counts;
  const std::uint32_t mask = ondisk::entry_mask(width);
  const std::uint32_t free = ondisk::state_range(width, ondisk::EntryState::Free).first;
  const std::uint32_t bad = ondisk::state_range(width, ondisk::EntryState::Bad).first;
  // 32-bit sums per block keep the compared and the summed values one width.
  constexpr Long kBlock = Long{1} << 16;
  std::uint64_t n_free = 0, n_bad = 0;
  for (Long block = 2; block <= last; block += kBlock) {
    const Long end = std::min<Long>(last, block + kBlock - 1);
    std::uint32_t block_free = 0, block_bad = 0;
    for (Long c = block; c <= end; ++c) {
      const std::uint32_t v = static_cast<std::uint32_t>(static_cast<Unsigned>(table[c])) & mask;
      block_free += v == free;
      block_bad += v == bad;
    }
    n_free += block_free;
    n_bad += block_bad;
  }
  counts.clusters = static_cast<std::uint64_t>(last - 1);
  counts.free = n_free;
  counts.bad = n_bad;
  return counts;
}

template <class Table>
Long search(const Table& table, FatWidth width, Long first, Long state) {
  const auto wanted = searched_state(state);
  if (!wanted || first < 0) return 0;
  // The table covers the whole FAT copy; entries past the last cluster name
  // clusters the volume does not have.
  const Long last = std::min<Long>(static_cast<Long>(table.size()) - 1, LastVolumeCluster());
  if (first > last) return 0;
  const ondisk::EntryRange range = ondisk::state_range(width, *wanted);
  return first_in_range(table.data(), first, last, ondisk::entry_mask(width), range.first, range.last);
}

void check_index(std::size_t size, Long index) {
  if (index < 0 || static_cast<std::size_t>(index) >= size) raise_error(win::kErrSubscriptOutOfRange);
}

// FAT12: the two bytes that hold the entry, from offset `at`. The nibble
// they share with the pair's other entry comes from the in-memory table;
// where the table does not hold that entry (the last cluster of a table
// that ends mid-pair) it comes from the copy as read, so the volume keeps it.
win::Bytes fat12_bytes(const DriveInfoRecord& d, Long cluster, Long value, Long& at) {
  const auto& fat = d.FatBytes;
  const std::size_t first = static_cast<std::size_t>(ondisk::entry_byte_offset(FatWidth::Fat12, cluster));
  if (first + 1 >= fat.size()) raise_error(win::kErrSubscriptOutOfRange);
  const bool odd = cluster & 1;
  const std::size_t base = odd ? first - 1 : first;  // where the pair starts
  std::uint8_t pair[3] = {};
  for (std::size_t i = 0; i < 3 && base + i < fat.size(); ++i) pair[i] = fat[base + i];
  const Long other = odd ? cluster - 1 : cluster + 1;
  if (static_cast<std::size_t>(other) < d.Fat12Table.size())
    ondisk::put_entry(FatWidth::Fat12, pair, odd ? 0 : 1, static_cast<std::uint16_t>(d.Fat12Table[other]));
  ondisk::put_entry(FatWidth::Fat12, pair, odd ? 1 : 0, static_cast<std::uint32_t>(value));
  at = static_cast<Long>(first);
  return {pair[first - base], pair[first - base + 1]};
}

}  // namespace

Long FindFatEntry(Long start, Long state) {
  Long first = checked_add<Long>(start, 1);
  if (first < 2) first = checked_add<Long>(start, 3);
  const DriveInfoRecord& d = DriveInfo();
  auto width = fat_width(d.FsType);
  if (!width) return 0;
  EnsureFatTables();
  switch (*width) {
    case FatWidth::Fat12: return search(d.Fat12Table, *width, first, state);
    case FatWidth::Fat16: return search(d.Fat16Table, *width, first, state);
    case FatWidth::Fat32: return search(d.Fat32Table, *width, first, state);
  }
  return 0;
}

std::optional<FatEntryCounts> CountFatEntries() {
  const DriveInfoRecord& d = DriveInfo();
  const auto width = fat_width(d.FsType);
  if (!width) return std::nullopt;
  EnsureFatTables();
  switch (*width) {
    case FatWidth::Fat12: return count(d.Fat12Table, *width);
    case FatWidth::Fat16: return count(d.Fat16Table, *width);
    case FatWidth::Fat32: return count(d.Fat32Table, *width);
  }
  return std::nullopt;
}

Boolean SetFatEntry(const String& drive, Long cluster, Long value) {
  DriveInfoRecord& d = DriveInfo();
  auto width = fat_width(d.FsType);
  if (width) EnsureFatTables();
  win::Bytes bytes;
  Long offset = 0;
  Long free_delta = 0;  // FAT32: how the number of free clusters changes
  if (width == FatWidth::Fat12) {
    check_index(d.Fat12Table.size(), cluster);
    bytes = fat12_bytes(d, cluster, value, offset);
    d.Fat12Table[cluster] = static_cast<Integer>(value & ondisk::kFat12Max);
  } else if (width) {
    if (width == FatWidth::Fat16) {
      check_index(d.Fat16Table.size(), cluster);
      d.Fat16Table[cluster] = static_cast<Integer>(static_cast<std::uint16_t>(value));
    } else {
      check_index(d.Fat32Table.size(), cluster);
      free_delta = Long{value == 0} - Long{d.Fat32Table[cluster] == 0};
      d.Fat32Table[cluster] = value;
    }
    bytes.resize(ondisk::entry_span(*width));
    ondisk::put_entry(*width, bytes, 0, static_cast<std::uint32_t>(value));
    offset = entry_offset(*width, cluster);
  }

  if (d.NumberOfFats == 0) return false;
  // Only the sector (or, for a FAT12 entry that straddles one, the two
  // sectors) that holds the entry is rewritten, in every copy; the update
  // counts as done only when every copy took it.
  const Long bps = d.BytesPerSector;
  const String text = win::ansi_to_utf16(std::string(bytes.begin(), bytes.end()));
  bool all_written = true;
  for (Long n = 1; n <= d.NumberOfFats; ++n) {
    const Long copy_start = CLng(d.Geometry.fat_copy_start(static_cast<std::uint32_t>(n)));
    Long sector = checked_add<Long>(copy_start, bps ? offset / bps : 0);
    if (!WriteDriveSectors(drive, sector, bps ? offset % bps : offset, text, kWriteFatData)) all_written = false;
  }
  if (all_written) adjust_free_cluster_count(drive, free_delta);
  return all_written;
}

}  // namespace volumar
