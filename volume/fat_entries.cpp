#include "volume/fat_entries.h"

#include <algorithm>

#include "frame/checked_math.h"
#include "platform/ansi_code_page.h"
#include "rawio/word_functions.h"
#include "rawio/write_sectors.h"
#include "volume/drive_info.h"
#include "volume/fat_entry_codec.h"
#include "volume/fat_tables.h"
#include "volume/fsinfo.h"

namespace volumar {
namespace {

inline constexpr Long kWriteFatData = 0x2001;

template <class Table>
Long search(const Table& table, FatWidth width, Long first, Long state) {
  // The table covers the whole FAT copy; entries past the last cluster name
  // clusters the volume does not have.
  Long last = std::min<Long>(static_cast<Long>(table.size()) - 1, LastVolumeCluster());
  for (Long c = first; c <= last; ++c)
    if (entry_in_state(width, table[c], state)) return c;
  return 0;
}

void check_index(std::size_t size, Long index) {
  if (index < 0 || static_cast<std::size_t>(index) >= size) raise_error(win::kErrSubscriptOutOfRange);
}

}  // namespace

Long FindFatEntry(Long start, Long state) {
  Long first = checked_add<Long>(start, 1);
  if (first < 2) first = checked_add<Long>(start, 3);
  const DriveInfoRecord& d = DriveInfo();
  auto width = fat_width(d.FsType);
  if (!width) return 0;
  switch (*width) {
    case FatWidth::Fat12: return search(d.Fat12Table, *width, first, state);
    case FatWidth::Fat16: return search(d.Fat16Table, *width, first, state);
    case FatWidth::Fat32: return search(d.Fat32Table, *width, first, state);
  }
  return 0;
}

Boolean SetFatEntry(const String& drive, Long cluster, Long value) {
  DriveInfoRecord& d = DriveInfo();
  auto width = fat_width(d.FsType);
  win::Bytes bytes;
  Long offset = 0;
  Long free_delta = 0;  // FAT32: how the number of free clusters changes
  if (width == FatWidth::Fat12) {
    auto& t = d.Fat12Table;
    const bool odd = cluster & 1;
    check_index(t.size(), cluster);
    check_index(t.size(), odd ? cluster - 1 : cluster + 1);
    Long pair = odd ? MakeFat12Pair(t[cluster - 1], static_cast<Integer>(value & 0xFFF))
                    : MakeFat12Pair(value, t[cluster + 1]);
    t[cluster] = static_cast<Integer>(value & 0xFFF);
    bytes = {static_cast<Byte>(pair), static_cast<Byte>(pair >> 8), static_cast<Byte>(pair >> 16)};
  } else if (width == FatWidth::Fat16) {
    check_index(d.Fat16Table.size(), cluster);
    Long low = value & 0xFFFF;
    d.Fat16Table[cluster] = UnsignedToInteger(low);
    bytes = {static_cast<Byte>(value), static_cast<Byte>(value >> 8)};
  } else if (width == FatWidth::Fat32) {
    check_index(d.Fat32Table.size(), cluster);
    free_delta = Long{value == 0} - Long{d.Fat32Table[cluster] == 0};
    d.Fat32Table[cluster] = value;
    bytes = {static_cast<Byte>(value), static_cast<Byte>(value >> 8), static_cast<Byte>(value >> 16),
             static_cast<Byte>(value >> 24)};
  }
  if (width) offset = entry_offset(*width, cluster);

  if (d.NumberOfFats == 0) return false;
  // Only the sector (or, for a FAT12 pair that straddles one, the two
  // sectors) that holds the entry is rewritten, in every copy; the update
  // counts as done only when every copy took it.
  const Long bps = d.BytesPerSector;
  const String text = win::ansi_to_utf16(std::string(bytes.begin(), bytes.end()));
  bool all_written = true;
  for (Long n = 1; n <= d.NumberOfFats; ++n) {
    Long copy_start = checked_add<Long>(d.ReservedSectors, checked_mul<Long>(n - 1, d.SectorsPerFat));
    Long sector = checked_add<Long>(copy_start, bps ? offset / bps : 0);
    if (!WriteDriveSectors(drive, sector, bps ? offset % bps : offset, text, kWriteFatData)) all_written = false;
  }
  if (all_written) adjust_free_cluster_count(drive, free_delta);
  return all_written;
}

}  // namespace volumar
