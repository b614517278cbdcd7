// Loading a drive into the drive record from volumes made by mkfs.fat and by
// the fixture builder, held against fsstat and minfo, on both families.
#include <gtest/gtest.h>

#include "frame/runtime_error.h"
#include "imaging/fat_image_builder.h"
#include "tests/fixtures/mapped_drive.h"
#include "tests/fixtures/peer_tools.h"
#include "tests/fixtures/temp_dir.h"
#include "volume/boot_sector.h"
#include "volume/drive_info.h"
#include "volume/fat_tables.h"

using namespace volumar;
using fixtures::FamilyScope;
using fixtures::MappedDrive;

namespace {

struct Geometry {
  int fat_bits;
  unsigned size_kb;
  unsigned sector_size;
  unsigned cluster_sectors;
};

class DriveLoading : public ::testing::TestWithParam<std::tuple<Geometry, win::Family>> {};

}  // namespace

TEST_P(DriveLoading, GeometryAgreesWithThePeers) {
  VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "fsstat", "minfo");
  auto [g, family] = GetParam();
  fixtures::TempDir dir;
  auto image = dir.file("vol.img");
  fixtures::MkfsOptions opt;
  opt.fat_bits = g.fat_bits;
  opt.size_kb = g.size_kb;
  opt.sector_size = g.sector_size;
  opt.sectors_per_cluster = g.cluster_sectors;
  opt.label = "VOLUMAR";
  opt.serial = 0xC0DE1234;
  ASSERT_TRUE(fixtures::make_fat_image(image, opt).ok());
  auto fs = fixtures::fsstat(image);
  auto mi = fixtures::minfo(image);
  ASSERT_TRUE(fs.parsed && mi.parsed) << fs.run.describe() << mi.run.describe();

  FamilyScope scope(family);
  win::VolumeMapping removable;
  removable.type = win::DriveType::Removable;
  MappedDrive drive('E', image, removable);
  LoadDriveInfo(u"e:\\data");
  const DriveInfoRecord& d = DriveInfo();
  EXPECT_EQ(d.FsType, S(fs.fs_type));
  EXPECT_EQ(d.DriveType, u"Removable");
  EXPECT_EQ(d.VolumeLabel, u"VOLUMAR");
  EXPECT_EQ(static_cast<std::uint32_t>(d.VolumeSerial), 0xC0DE1234u);
  EXPECT_EQ(d.BytesPerSector, static_cast<Integer>(fs.sector_size));
  EXPECT_EQ(d.SectorsPerCluster, fs.sectors_per_cluster());
  EXPECT_EQ(static_cast<std::uint64_t>(d.TotalSectors), fs.total.count());
  EXPECT_EQ(d.ReservedSectors, static_cast<Long>(mi.reserved_sectors));
  EXPECT_EQ(d.NumberOfFats, mi.fats);
  ASSERT_EQ(fs.fats.size(), 2u);
  EXPECT_EQ(static_cast<std::uint64_t>(d.SectorsPerFat), fs.fats[0].count());
  EXPECT_EQ(static_cast<std::uint64_t>(d.DataAreaStart), fs.cluster_area.first);
  EXPECT_EQ(d.FirstDataCluster, 2);
  ASSERT_TRUE(fs.root_directory.has_value());
  EXPECT_EQ(static_cast<std::uint64_t>(d.RootDirectoryStart), fs.root_directory->first);
  EXPECT_EQ(static_cast<std::uint64_t>(d.RootDirectoryStart + d.RootDirectoryLength), fs.root_directory->last);
  EXPECT_EQ(d.BootSector.size(), 512u);
  // The tables are read when first needed, straight into the table; only
  // FAT12 keeps the copy's bytes.
  EXPECT_TRUE(d.Fat12Table.empty() && d.Fat16Table.empty() && d.Fat32Table.empty());
  EnsureFatTables();
  EXPECT_EQ(d.FatBytes.size(), g.fat_bits == 12 ? static_cast<std::size_t>(d.SectorsPerFat) * d.BytesPerSector : 0u);
  // The first two entries are the media and end-of-chain marks.
  if (g.fat_bits == 12) {
    ASSERT_FALSE(d.Fat12Table.empty());
    EXPECT_EQ(d.Fat12Table[0] & 0xFF0, 0xFF0);
    EXPECT_TRUE(d.Fat16Table.empty() && d.Fat32Table.empty());
  } else if (g.fat_bits == 16) {
    ASSERT_FALSE(d.Fat16Table.empty());
    EXPECT_EQ(d.Fat16Table[1], -1);
  } else {
    ASSERT_GT(d.Fat32Table.size(), 2u);
    EXPECT_EQ(d.Fat32Table[2] & 0x0FFFFFF8, 0x0FFFFFF8);  // a one-cluster root
  }
}

INSTANTIATE_TEST_SUITE_P(Peers, DriveLoading,
                         ::testing::Combine(::testing::Values(Geometry{12, 1440, 512, 1}, Geometry{12, 4096, 2048, 1},
                                                              Geometry{16, 16384, 512, 4}, Geometry{32, 40000, 512, 1},
                                                              Geometry{32, 300000, 4096, 1}),
                                            ::testing::Values(win::Family::NT, win::Family::Win9x)));

TEST(DriveLoadingEdges, RootDirectoryOfPartSectorsIsRoundedUp) {
  // 224 entries of 32 bytes with 2048-byte sectors: 3.5 sectors, so 4.
  imaging::FatImageBuilder b(imaging::FatType::fat12);
  b.bytes_per_sector(2048).root_entries(224).total_sectors(720);
  fixtures::TempDir dir;
  auto image = b.write(dir.file("v.img"));
  auto layout = b.layout();
  MappedDrive drive('F', image);
  LoadDriveInfo(u"F");
  EXPECT_EQ(DriveInfo().RootDirectoryStart, static_cast<Long>(layout.root_dir_first_sector));
  EXPECT_EQ(DriveInfo().RootDirectoryLength, 3);
  EXPECT_EQ(DriveInfo().DataAreaStart, static_cast<Long>(layout.first_data_sector));
}

TEST(DriveLoadingEdges, Fat32RootClusterOtherThanTwoKeepsClustersNumberedFromTwo) {
  imaging::FatImageBuilder b(imaging::FatType::fat32);
  b.root_cluster(5).sectors_per_cluster(2);
  fixtures::TempDir dir;
  auto layout = b.layout();
  b.make_chain({5, 9, 10});
  auto image = b.write(dir.file("v.img"));
  MappedDrive drive('G', image);
  LoadDriveInfo(u"G:");
  const DriveInfoRecord& d = DriveInfo();
  EXPECT_EQ(d.FirstDataCluster, 2);
  EXPECT_EQ(d.DataAreaStart, static_cast<Long>(layout.first_data_sector));
  EXPECT_EQ(d.RootDirectoryStart, static_cast<Long>(layout.cluster_first_sector(5)));
  EXPECT_EQ(d.RootDirectoryLength, 3 * 2 - 1);  // the chain from cluster 5, not from 2
}

TEST(DriveLoadingEdges, ARootChainThatLoopsStillOpens) {
  imaging::FatImageBuilder b(imaging::FatType::fat32);
  b.make_loop({2, 3, 4});
  fixtures::TempDir dir;
  auto image = b.write(dir.file("v.img"));
  MappedDrive drive('H', image);
  ASSERT_NO_THROW(LoadDriveInfo(u"H"));
  EXPECT_EQ(DriveInfo().FsType, u"FAT32");
  // Cut where the section, laid out from its start, would pass the volume's end.
  const VolumeGeometry& g = DriveInfo().Geometry;
  EXPECT_TRUE(g.root_chain_cut);
  const std::uint64_t fits = (g.total_sectors - g.root_directory_start) / g.sectors_per_cluster * g.sectors_per_cluster;
  EXPECT_EQ(static_cast<std::uint64_t>(DriveInfo().RootDirectoryLength + 1), fits);
  EXPECT_EQ(g.root_directory_sectors, fits);
}

TEST(DriveLoadingEdges, OldBootSectorsAndStoredZeros) {
  // A blank type text says nothing: the cluster count makes this FAT16; a
  // stored sector size of 0 reads as 512; the 16-bit total of 0 defers to
  // the 32-bit one.
  imaging::FatImageBuilder b(imaging::FatType::fat16);
  b.fs_type_text("        ").bytes_per_sector(0).total_in_32bit_field(true);
  fixtures::TempDir dir;
  auto image = b.write(dir.file("v.img"));
  MappedDrive drive('I', image);
  // A system names no file system with a zero sector size; decode as the
  // system would name an old FAT volume.
  ResetDriveInfo();
  DriveInfo().FsType = u"FAT";
  ReadBootSector(u"I:\\");
  EnsureFatTables();
  const DriveInfoRecord& d = DriveInfo();
  EXPECT_EQ(d.FsType, u"FAT16");
  EXPECT_EQ(d.BytesPerSector, 512);
  EXPECT_EQ(static_cast<std::uint32_t>(d.TotalSectors), b.layout().total_sectors);
  EXPECT_FALSE(d.Fat16Table.empty());
  EXPECT_EQ(d.Geometry.type_text_disagrees, "");
}

TEST(DriveLoadingEdges, VolumesThatAreNotFatOrDoNotOpen) {
  fixtures::TempDir dir;
  // Nothing a system recognises: no type name, no geometry, no read past sector 0.
  auto blank = dir.file("blank.img");
  { std::ofstream(blank, std::ios::binary) << std::string(64 * 1024, '\0'); }
  {
    MappedDrive drive('J', blank);
    LoadDriveInfo(u"J");
    EXPECT_EQ(DriveInfo().FsType, u"");
    EXPECT_EQ(DriveInfo().DriveType, u"Fixed");
    EXPECT_EQ(DriveInfo().TotalSectors, 0);
    EXPECT_TRUE(DriveInfo().FatBytes.empty());
  }
  // A letter mapped to a missing image: not ready, so the system names no type.
  {
    MappedDrive drive('K', dir.file("missing.img"));
    LoadDriveInfo(u"K");
    EXPECT_EQ(DriveInfo().FsType, u"");
  }
  EXPECT_EQ(drive_type_name(0), u"Missing");
  EXPECT_EQ(drive_type_name(1), u"Unknown");
  LoadDriveInfo(u"Q");  // unmapped
  EXPECT_EQ(DriveInfo().DriveType, u"Unknown");
}

TEST(DriveLoadingEdges, Fat12EntriesToTheEndOfTheCopyAreDecoded) {
  imaging::FatImageBuilder b(imaging::FatType::fat12);  // 1.44 MB: 9-sector FATs, 3072 entries
  auto layout = b.layout();
  const std::uint32_t last = layout.fat_entry_capacity() - 1;
  b.set_fat_entry(last, 0xABC);
  b.set_fat_entry(last - 1, 0x123);
  fixtures::TempDir dir;
  auto image = b.write(dir.file("v.img"));
  MappedDrive drive('L', image);
  LoadDriveInfo(u"L");
  EnsureFatTables();
  ASSERT_GT(DriveInfo().Fat12Table.size(), last);
  EXPECT_EQ(DriveInfo().Fat12Table[last], 0xABC);
  EXPECT_EQ(DriveInfo().Fat12Table[last - 1], 0x123);
}
