#include "volume/fat_tables.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "frame/checked_math.h"
#include "platform/user32/message_pump.h"
#include "platform/virtual_memory.h"
#include "rawio/map_sectors.h"
#include "volume/drive_info.h"
#include "volume/drive_sectors.h"
#include "volume/fat_entry_codec.h"

namespace volumar {
namespace {

std::size_t table_size(const DriveInfoRecord& d, FatWidth width) {
  switch (width) {
    case FatWidth::Fat12: return d.Fat12Table.size();
    case FatWidth::Fat16: return d.Fat16Table.size();
    case FatWidth::Fat32: return d.Fat32Table.size();
  }
  return 0;
}

// The entry as an unsigned value of its width.
std::uint32_t table_entry(const DriveInfoRecord& d, FatWidth width, std::size_t c) {
  switch (width) {
    case FatWidth::Fat12: return static_cast<std::uint16_t>(d.Fat12Table[c]);
    case FatWidth::Fat16: return static_cast<std::uint16_t>(d.Fat16Table[c]);
    case FatWidth::Fat32: return static_cast<std::uint32_t>(d.Fat32Table[c]);
  }
  return 0;
}

constexpr const char* kFatCopy1 = "FAT copy 1";

Long fat_copy_bytes(const DriveInfoRecord& d) { return checked_mul<Long>(d.BytesPerSector, d.SectorsPerFat); }

// FAT copy 1 as a table of the width's entries (the host is little-endian,
// as the copy is): a copy-on-write view of the copy where the platform
// makes one, else read whole into fresh pages. The table stays as it was
// when neither works.
template <class Table>
void read_table(const DriveInfoRecord& d, const String& root_path, Table& table) {
  using Entry = typename Table::value_type;
  const auto bytes = static_cast<std::size_t>(fat_copy_bytes(d));
  if (auto view = MapDriveSectors(DriveSectorAccess(), root_path, d.ReservedSectors, bytes)) {
    table.adopt(std::move(view->keeper), reinterpret_cast<Entry*>(view->data), bytes / sizeof(Entry));
    return;
  }
  void* pages = win::VirtualAlloc(nullptr, bytes, win::MEM_COMMIT | win::MEM_RESERVE, win::PAGE_READWRITE);
  if (!pages) raise_error(win::kErrOutOfMemory);
  std::shared_ptr<void> keeper(pages, [](void* p) { win::VirtualFree(p, 0, win::MEM_RELEASE); });
  ReadDriveSectorsWholeInto(root_path, d.ReservedSectors, {static_cast<std::uint8_t*>(pages), bytes}, kFatCopy1);
  table.adopt(std::move(keeper), static_cast<Entry*>(pages), bytes / sizeof(Entry));
}

// Entries of FAT copy 1 for a walk made before the tables are loaded: a
// sector at a time, as a chain seldom leaves the sector it starts in. A
// walk that wanders through many sectors loads the tables after all.
class FatEntryReader {
 public:
  FatEntryReader(const DriveInfoRecord& d, FatWidth width) : d_(d), width_(width) {}

  std::uint32_t operator()(std::uint64_t cluster) {
    if (!d_.FatPending) return table_entry(d_, width_, static_cast<std::size_t>(cluster));
    const std::uint64_t at = ondisk::entry_byte_offset(width_, cluster);
    const auto bps = static_cast<std::uint64_t>(d_.BytesPerSector);
    const std::uint64_t sector = at / bps;
    if (sector != sector_) {
      if (++reads_ > kSectorReads) {
        EnsureFatTables();
        return (*this)(cluster);
      }
      bytes_ = ReadDriveSectorsWhole(d_.FatRoot, checked_add<Long>(d_.ReservedSectors, CLng(sector)), 0,
                                     d_.BytesPerSector, kFatCopy1);
      sector_ = sector;
    }
    return ondisk::decode_entry(width_, cluster, bytes_.data() + at % bps);
  }

 private:
  static constexpr int kSectorReads = 64;
  const DriveInfoRecord& d_;
  FatWidth width_;
  std::uint64_t sector_ = ~std::uint64_t{0};
  win::Bytes bytes_;
  int reads_ = 0;
};

}  // namespace

void PrepareFatTables(const String& root_path) {
  DriveInfoRecord& d = DriveInfo();
  const Long fat_length = fat_copy_bytes(d);
  // The copy's last sector is read now: a volume that ends inside its first
  // FAT fails to select, as it would if the whole copy were read here.
  if (fat_length < d.BytesPerSector)
    ReadDriveSectorsWhole(root_path, d.ReservedSectors, 0, fat_length, kFatCopy1);
  else
    ReadDriveSectorsWhole(root_path, checked_sub<Long>(checked_add<Long>(d.ReservedSectors, d.SectorsPerFat), 1), 0,
                          d.BytesPerSector, kFatCopy1);
  const auto width = fat_width(d.FsType);
  if (!width) return;
  d.FatRoot = root_path;
  d.FatPending = true;
  if (*width == FatWidth::Fat32) d.RootDirectoryLength = WalkClusterChain(d.Geometry.root_cluster);
}

void EnsureFatTables() {
  DriveInfoRecord& d = DriveInfo();
  if (d.FatPending) LoadFatTables(d.FatRoot);
}

void HoldFatTablesBeforeWrite(std::uint64_t first, std::uint64_t end) {
  EnsureFatTables();
  DriveInfoRecord& d = DriveInfo();
  d.Fat16Table.keep_as_is(first, end);
  d.Fat32Table.keep_as_is(first, end);
}

void LoadFatTables(const String& root_path) {
  DriveInfoRecord& d = DriveInfo();
  const auto width = fat_width(d.FsType);
  if (!width) return;
  switch (*width) {
    case FatWidth::Fat32: read_table(d, root_path, d.Fat32Table); break;
    case FatWidth::Fat16: read_table(d, root_path, d.Fat16Table); break;
    case FatWidth::Fat12: {
      // A FAT12 copy is a few KiB; its bytes are kept for the nibbles that
      // neighbouring entries share.
      win::Bytes bytes = ReadDriveSectorsWhole(root_path, d.ReservedSectors, 0, fat_copy_bytes(d), kFatCopy1);
      d.Fat12Table.assign(table_entries(*width, bytes.size()), 0);
      d.FatBytes = std::move(bytes);
      UnpackFat12();
      break;
    }
  }
  d.FatPending = false;
}

void UnpackFat12() { unpack_fat12(DriveInfo().FatBytes, DriveInfo().Fat12Table); }

Long WalkClusterChain(Long first_cluster) {
  DriveInfoRecord& d = DriveInfo();
  VolumeGeometry& g = d.Geometry;
  const auto width = fat_width(d.FsType).value_or(FatWidth::Fat32);
  // FAT12 entries may straddle two sectors; its table is small enough to load.
  if (width == FatWidth::Fat12) EnsureFatTables();
  const std::uint32_t end_of_chain = ondisk::end_of_chain_min(width);
  const std::size_t entries =
      !d.FatPending ? table_size(d, width) : table_entries(width, static_cast<std::size_t>(fat_copy_bytes(d)));
  FatEntryReader entry(d, width);
  const Long per_cluster = CLng(std::nearbyint(double(d.BytesPerSector) * d.SectorsPerCluster / 32.0));
  // The section runs on from RootDirectoryStart as if the chain's clusters
  // lay one after the other: no more of them than reach the volume's end.
  const Long spc = std::max<Long>(d.SectorsPerCluster, 1);
  const std::uint64_t total = static_cast<std::uint32_t>(d.TotalSectors);
  const std::uint64_t start = static_cast<std::uint64_t>(std::max<Long>(d.RootDirectoryStart, 0));
  std::uint64_t bound = total == 0 ? entries : total > start ? (total - start) / spc : 0;
  const auto fits_long =
      static_cast<std::uint64_t>(std::numeric_limits<Long>::max() / 32 / std::max<Long>(per_cluster, 1));
  bound = std::min<std::uint64_t>({bound, entries, fits_long});

  std::uint64_t c = static_cast<std::uint64_t>(std::max(first_cluster, d.FirstDataCluster));
  std::uint64_t visited = 0;
  bool cut = false;
  while (c < end_of_chain) {
    if (visited == bound || c >= entries || (g.cluster_count && !g.has_cluster(c))) {
      cut = true;
      break;
    }
    win::DoEvents();
    ++visited;
    const std::uint32_t next = entry(c);
    const ondisk::EntryState state = ondisk::entry_state(width, next);
    if (state == ondisk::EntryState::EndOfChain) break;
    if (state != ondisk::EntryState::Link) {  // free, reserved, bad: the chain is damaged here
      cut = true;
      break;
    }
    c = next;
  }
  g.root_chain_cut = cut;
  g.root_directory_sectors = visited * static_cast<std::uint64_t>(spc);
  const Long k = checked_mul<Long>(static_cast<Long>(visited), per_cluster);
  return CLng(std::nearbyint(double(k) * 32.0 / d.BytesPerSector - 1));
}

std::optional<std::uint32_t> FatEntryValue(Long cluster) {
  const DriveInfoRecord& d = DriveInfo();
  const auto width = fat_width(d.FsType);
  if (width) EnsureFatTables();
  if (!width || cluster < 0 || static_cast<std::size_t>(cluster) >= table_size(d, *width)) return std::nullopt;
  return table_entry(d, *width, static_cast<std::size_t>(cluster));
}

Long LastVolumeCluster() {
  const VolumeGeometry& g = DriveInfo().Geometry;
  return g.cluster_count
             ? static_cast<Long>(std::min<std::uint64_t>(g.last_cluster(), std::numeric_limits<Long>::max()))
             : 1;
}

}  // namespace volumar
