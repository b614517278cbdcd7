// The first FAT read on first use, and the block-wise search and count,
// each held against the plain way: a walk over the loaded table, and a
// search entry by entry with the state test.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <random>

#include "format/boot_sector.h"
#include "imaging/fat_image_builder.h"
#include "platform/ansi_code_page.h"
#include "platform/syscalls.h"
#include "rawio/write_sectors.h"
#include "tests/fixtures/mapped_drive.h"
#include "tests/fixtures/peer_tools.h"
#include "tests/fixtures/temp_dir.h"
#include "volume/boot_sector.h"
#include "volume/drive_info.h"
#include "volume/drive_sectors.h"
#include "volume/fat_entries.h"
#include "volume/fat_entry_codec.h"
#include "volume/fat_tables.h"

using namespace volumar;
using fixtures::MappedDrive;

TEST(FatTableLoading, RootChainsThroughFewOrManyFatSectorsMeasureAsTheLoadedTableDoes) {
  // 128 entries to a 512-byte FAT32 sector: a hop of 200 clusters leaves it.
  for (std::uint32_t hops : {1u, 10u, 100u}) {
    SCOPED_TRACE(hops);
    imaging::FatImageBuilder b(imaging::FatType::fat32);
    b.total_sectors(300000);
    std::vector<std::uint32_t> chain;
    for (std::uint32_t k = 0; k < hops; ++k) chain.push_back(2 + 200 * k);
    b.make_chain(chain);
    fixtures::TempDir dir;
    MappedDrive drive('R', b.write(dir.file("v.img")));
    LoadDriveInfo(u"R");
    DriveInfoRecord& d = DriveInfo();
    const Long measured = d.RootDirectoryLength;
    EXPECT_EQ(measured + 1, static_cast<Long>(hops * d.SectorsPerCluster));
    EXPECT_FALSE(d.Geometry.root_chain_cut);
    // A walk that wanders through many sectors loads the table instead.
    EXPECT_EQ(d.Fat32Table.empty(), hops < 64);
    EnsureFatTables();
    EXPECT_EQ(WalkClusterChain(2), measured);
  }
}

TEST(FatTableLoading, AWriteIntoTheFirstFatBeforeFirstUseLeavesTheTableAsSelectionFoundIt) {
  imaging::FatImageBuilder b(imaging::FatType::fat16);
  b.make_chain(5, 3);  // 5 -> 6 -> 7
  fixtures::TempDir dir;
  MappedDrive drive('S', b.write(dir.file("v.img")));
  LoadDriveInfo(u"S");
  const DriveInfoRecord& d = DriveInfo();
  ASSERT_TRUE(d.Fat16Table.empty());
  // Entry 6 made free on the disk through the sector path, as a host's row write would.
  ASSERT_TRUE(WriteDriveSectors(u"S", d.ReservedSectors, 12, String(u"\0\0", 2), kWriteFatData));
  EXPECT_EQ(FatEntryValue(6), 7u);
  EXPECT_EQ(FindFatEntry(5, kFatFree), 8);
  // Writes elsewhere do not load it.
  LoadDriveInfo(u"S");
  ASSERT_TRUE(WriteDriveSectors(u"S", d.DataAreaStart + 4, 0, String(u"x"), kWriteOrdinaryData));
  EXPECT_TRUE(d.Fat16Table.empty());
  EXPECT_EQ(FatEntryValue(6), 0u);
  // Loaded first, then written: the same.
  ASSERT_TRUE(WriteDriveSectors(u"S", d.ReservedSectors, 14, String(u"\0\0", 2), kWriteFatData));
  EXPECT_EQ(FatEntryValue(7), ondisk::end_of_chain(FatWidth::Fat16));
}

TEST(FatTableLoading, TheTableReadStraightInHoldsEveryEntryOfTheFirstCopy) {
  // Files of a few clusters each, written by mtools, on each type; FAT12
  // with 2048-byte sectors has a copy whose last 3-byte group is partial.
  struct Case {
    int bits;
    unsigned kb, sector;
  } cases[] = {{12, 1440, 512}, {12, 4096, 2048}, {16, 16384, 512}, {32, 40000, 512}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    fixtures::TempDir dir;
    const auto image = dir.file("v.img");
    fixtures::MkfsOptions options;
    options.fat_bits = c.bits;
    options.size_kb = c.kb;
    options.sector_size = c.sector;
    ASSERT_TRUE(fixtures::make_fat_image(image, options).ok());
    for (int f = 0; f < 5; ++f)
      ASSERT_TRUE(fixtures::mcopy_bytes(image, "F" + std::to_string(f) + ".BIN",
                                        std::vector<std::uint8_t>(1000 + 3000 * f, static_cast<std::uint8_t>(f)))
                      .ok());
    MappedDrive drive('T', image);
    std::ifstream in(image, std::ios::binary);
    // Mapped where the platform maps, read otherwise (a read rule turns
    // mapping off): either way every entry the copy holds whole.
    for (bool mapped : {true, false}) {
      SCOPED_TRACE(mapped);
      std::optional<win::SyscallFaults> reads_only;
      if (!mapped) reads_only.emplace().short_read(1000000, 0);
      LoadDriveInfo(u"T");
      EnsureFatTables();
      const DriveInfoRecord& d = DriveInfo();
      win::Bytes copy(static_cast<std::size_t>(d.SectorsPerFat) * d.BytesPerSector);
      in.seekg(static_cast<std::streamoff>(d.ReservedSectors) * d.BytesPerSector);
      in.read(reinterpret_cast<char*>(copy.data()), static_cast<std::streamsize>(copy.size()));
      const auto width = *fat_width(d.FsType);
      const std::size_t whole = ondisk::entries_in(width, copy.size());
      for (std::size_t e = 0; e < whole; ++e)
        ASSERT_EQ(FatEntryValue(static_cast<Long>(e)), ondisk::get_entry(width, copy, e)) << "entry " << e;
    }
    EXPECT_GE(CountFatEntries()->used(), 5u);
  }
}

namespace {

// Tables of every width whose entries come from each state's edges, sized
// so that their last block of 64 is partial, searched from every start.
template <class Table>
void hold_search_against_entry_by_entry(FatWidth width, Table& table, const char* type) {
  SCOPED_TRACE(type);
  const std::uint32_t max = ondisk::entry_max(width);
  const std::vector<std::uint32_t> values = {0,       1,   2,        max - 15,    max - 9,    max - 8,
                                             max - 7, max, max - 16, 0xFFFFFFF7u, 0x10000000u};
  std::mt19937 random(static_cast<unsigned>(table.size()));
  DriveInfoRecord& d = DriveInfo();
  d.FsType = win::ansi_to_utf16(ondisk::fat_type_name(width));
  for (int round = 0; round < 20; ++round) {
    // Mostly links, so that matches are sparse and blocks are skipped.
    for (auto& e : table)
      e = static_cast<typename Table::value_type>(random() % 8 ? 3 : values[random() % values.size()]);
    d.Geometry.cluster_count = table.size() - 2 - random() % 3;  // the volume may end before the table
    const Long last = LastVolumeCluster();
    std::uint64_t counted[4] = {};
    for (Long c = 2; c <= last; ++c)
      for (Long state = 0; state < 4; ++state) counted[state] += entry_in_state(width, table[c], state);
    const auto counts = CountFatEntries();
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->clusters, static_cast<std::uint64_t>(last - 1));
    EXPECT_EQ(counts->free, counted[kFatFree]);
    EXPECT_EQ(counts->bad, counted[kFatBad]);
    for (Long state = 0; state < 4; ++state)
      for (Long start = -6; start < static_cast<Long>(table.size()) + 2; start += 1 + random() % 40) {
        Long first = start + 1 < 2 ? start + 3 : start + 1;
        Long expected = 0;
        for (Long c = std::max<Long>(first, 0); c <= last && !expected; ++c)
          if (entry_in_state(width, table[c], state)) expected = c;
        if (first < 0) expected = 0;  // nothing before the table is read
        ASSERT_EQ(FindFatEntry(start, state), expected) << "state " << state << " start " << start;
      }
  }
}

}  // namespace

TEST(FatTableLoading, BlockSearchAndCountAgreeWithTheEntryByEntryTestOnEveryWidth) {
  ResetDriveInfo();
  DriveInfoRecord& d = DriveInfo();
  d.BytesPerSector = 512;
  d.Geometry.sectors_per_cluster = 1;
  d.Fat12Table.assign(1000, 0);
  hold_search_against_entry_by_entry(FatWidth::Fat12, d.Fat12Table, "FAT12");
  d.Fat16Table.assign(4099, 0);
  hold_search_against_entry_by_entry(FatWidth::Fat16, d.Fat16Table, "FAT16");
  d.Fat32Table.assign(70000, 0);
  hold_search_against_entry_by_entry(FatWidth::Fat32, d.Fat32Table, "FAT32");
  ResetDriveInfo();
}
