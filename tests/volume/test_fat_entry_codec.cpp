// The FAT entry codec, the table walk and the search bound, on tables set
// up in the drive record directly.
#include <gtest/gtest.h>

#include "frame/runtime_error.h"
#include "platform/user32/message_pump.h"
#include "volume/drive_info.h"
#include "volume/fat_entries.h"
#include "volume/fat_entry_codec.h"
#include "volume/fat_tables.h"

using namespace volumar;

TEST(FatEntryCodec, StatesByWidthWithoutMaskingFat32TopBits) {
  EXPECT_TRUE(entry_in_state(FatWidth::Fat12, 0xFF7, kFatBad));
  EXPECT_TRUE(entry_in_state(FatWidth::Fat12, 0xFF0, kFatReserved));
  EXPECT_TRUE(entry_in_state(FatWidth::Fat12, 0xFF6, kFatReserved));
  EXPECT_TRUE(entry_in_state(FatWidth::Fat12, 0xFF8, kFatEndOfChain));
  EXPECT_FALSE(entry_in_state(FatWidth::Fat12, 0xFEF, kFatReserved));
  EXPECT_TRUE(entry_in_state(FatWidth::Fat16, -9, kFatBad));  // 0xFFF7 as held
  EXPECT_TRUE(entry_in_state(FatWidth::Fat16, -1, kFatEndOfChain));
  EXPECT_TRUE(entry_in_state(FatWidth::Fat32, 0x0FFFFFF7, kFatBad));
  EXPECT_FALSE(entry_in_state(FatWidth::Fat32, static_cast<Long>(0xFFFFFFF7u), kFatBad));
  EXPECT_FALSE(entry_in_state(FatWidth::Fat32, -1, kFatEndOfChain));
  EXPECT_TRUE(entry_in_state(FatWidth::Fat32, 0, kFatFree));
  EXPECT_FALSE(entry_in_state(FatWidth::Fat32, 5, kFatFree));
  EXPECT_EQ(entry_offset(FatWidth::Fat12, 4), 6);
  EXPECT_EQ(entry_offset(FatWidth::Fat12, 5), 6);
  EXPECT_EQ(entry_offset(FatWidth::Fat16, 10), 20);
  EXPECT_EQ(entry_offset(FatWidth::Fat32, 10), 40);
}

TEST(FatEntryCodec, Fat12DecodesEveryEntryTheCopyHolds) {
  win::Bytes fat(4608, 0);
  const std::uint8_t head[] = {0xF0, 0xFF, 0xFF, 0x03, 0x40, 0x00};
  std::copy(std::begin(head), std::end(head), fat.begin());
  // The last group of the copy: entries 3070 and 3071.
  fat[4605] = 0x21;
  fat[4606] = 0x43;
  fat[4607] = 0x65;
  std::vector<Integer> table(table_entries(FatWidth::Fat12, fat.size()), 0);
  ASSERT_EQ(table.size(), 3072u);
  unpack_fat12(fat, table);
  EXPECT_EQ(table[0], 0xFF0);
  EXPECT_EQ(table[1], 0xFFF);
  EXPECT_EQ(table[2], 0x003);
  EXPECT_EQ(table[3], 0x004);
  EXPECT_EQ(table[3070], 0x321);
  EXPECT_EQ(table[3071], 0x654);

  // A copy that ends inside a group still yields the entry whose bits it holds.
  win::Bytes odd(512, 0);
  odd[510] = 0xAB;
  odd[511] = 0x0C;
  std::vector<Integer> t2(table_entries(FatWidth::Fat12, odd.size()), 0);
  unpack_fat12(odd, t2);
  EXPECT_EQ(t2.size(), 341u);
  EXPECT_EQ(t2[340], 0xCAB);
}

class DriveRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDriveInfo();
    DriveInfoRecord& d = DriveInfo();
    d.BytesPerSector = 512;
    d.SectorsPerCluster = 8;
    d.FirstDataCluster = 2;
    d.DataAreaStart = 100;
    d.TotalSectors = 100 + 8 * 10;  // clusters 2..11
    d.RootDirectoryStart = 100;
    d.Geometry.sectors_per_cluster = 8;
    d.Geometry.first_data_sector = 100;
    d.Geometry.total_sectors = 180;
    d.Geometry.cluster_count = 10;
  }
};

TEST_F(DriveRecordTest, Fat32RootWalkCountsClustersAndSurvivesLoops) {
  DriveInfoRecord& d = DriveInfo();
  d.FsType = u"FAT32";
  d.Fat32Table.assign(128, 0);
  d.Fat32Table[0] = 0x0FFFFFF8;
  d.Fat32Table[2] = 0x0FFFFFFF;
  EXPECT_EQ(WalkClusterChain(2), 7);
  d.Fat32Table[2] = 5;
  d.Fat32Table[5] = 9;
  d.Fat32Table[9] = 0x0FFFFFFF;
  EXPECT_EQ(WalkClusterChain(2), 23);
  // A root cluster other than 2: the walk starts at that cluster.
  EXPECT_EQ(WalkClusterChain(9), 7);
  EXPECT_FALSE(d.Geometry.root_chain_cut);
  // A damaged next entry (free, bad, past the last cluster, top bit set)
  // ends the chain with what was counted, and the chain is marked cut.
  for (std::uint32_t damaged : {0u, 0x0FFFFFF7u, 12u, 0xF0000003u}) {
    d.Fat32Table[9] = static_cast<Long>(damaged);
    EXPECT_EQ(WalkClusterChain(2), 23) << damaged;
    EXPECT_EQ(d.Geometry.root_chain_cut, damaged != 0xF0000003u) << damaged;
  }
  // Other top bits are at least the end-of-chain mark.
  d.Fat32Table[9] = 0x10000003;
  EXPECT_EQ(WalkClusterChain(2), 23);
  // A loop is cut where the section would pass the end of the volume (10
  // clusters from sector 100), and the walk yields once per cluster.
  d.Fat32Table[9] = 2;
  int yields = 0;
  win::set_message_pump([&] { ++yields; });
  EXPECT_EQ(WalkClusterChain(2), 10 * 8 - 1);
  win::set_message_pump(nullptr);
  EXPECT_EQ(yields, 10);
  EXPECT_TRUE(d.Geometry.root_chain_cut);
  EXPECT_EQ(d.Geometry.root_directory_sectors, 80u);
}

TEST_F(DriveRecordTest, SearchStopsAtTheVolumesLastCluster) {
  DriveInfoRecord& d = DriveInfo();
  d.FsType = u"FAT16";
  d.Fat16Table.assign(256, 3);  // every cluster in use, padding free below
  for (std::size_t c = 12; c < 256; ++c) d.Fat16Table[c] = 0;
  EXPECT_EQ(LastVolumeCluster(), 11);
  EXPECT_EQ(FindFatEntry(0, kFatFree), 0);
  d.Fat16Table[11] = 0;
  EXPECT_EQ(FindFatEntry(0, kFatFree), 11);  // the last cluster itself is found
  d.Fat16Table[2] = 0;
  EXPECT_EQ(FindFatEntry(0, kFatFree), 11);  // start 0 never looks at cluster 2
  EXPECT_EQ(FindFatEntry(1, kFatFree), 2);
  d.Fat16Table[10] = -9;
  EXPECT_EQ(FindFatEntry(9, kFatBad), 10);
  EXPECT_EQ(FindFatEntry(10, kFatBad), 0);
  d.FsType = u"FAT";
  EXPECT_EQ(FindFatEntry(0, kFatFree), 0);
}
