// Marking clusters in every FAT copy of real volumes: the bytes that reach
// each copy, what fsck.fat says afterwards, and failures that must be
// reported.
#include <gtest/gtest.h>

#include "frame/runtime_error.h"
#include "imaging/fat_image_builder.h"
#include "platform/automation/automation_error.h"
#include "platform/kernel32_files.h"
#include "platform/request_log.h"
#include "platform/syscalls.h"
#include "tests/fixtures/mapped_drive.h"
#include "tests/fixtures/peer_tools.h"
#include "tests/fixtures/temp_dir.h"
#include "volume/boot_sector.h"
#include "volume/drive_info.h"
#include "volume/fat_entries.h"
#include "volume/fat_entry_codec.h"

using namespace volumar;
using fixtures::FamilyScope;
using fixtures::MappedDrive;

namespace {

class FatUpdate : public ::testing::TestWithParam<std::tuple<int, win::Family>> {};

std::vector<std::uint8_t> entry_bytes(const std::filesystem::path& image, const imaging::FatLayout& l, unsigned copy,
                                      std::uint32_t cluster, std::size_t n) {
  return fixtures::file_bytes(image, l.sector_offset(l.fat_first_sector(copy)) + l.fat_offset(cluster), n);
}

}  // namespace

TEST_P(FatUpdate, MarkBadThenFreeReachesEveryCopyAndChecksClean) {
  VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "fsck.fat", "mcopy");
  auto [bits, family] = GetParam();
  fixtures::TempDir dir;
  auto image = dir.file("v.img");
  fixtures::MkfsOptions opt;
  opt.fat_bits = bits;
  opt.size_kb = bits == 32 ? 40000 : bits == 16 ? 16384 : 1440;
  ASSERT_TRUE(fixtures::make_fat_image(image, opt).ok());
  std::vector<std::uint8_t> payload(3000, 'v');
  ASSERT_TRUE(fixtures::mcopy_bytes(image, "DATA.BIN", payload).ok());
  const auto original = fixtures::file_bytes(image, 0, std::filesystem::file_size(image));

  FamilyScope scope(family);
  MappedDrive drive('M', image);
  LoadDriveInfo(u"M");
  const Long free_cluster = FindFatEntry(0, kFatFree);
  ASSERT_GT(free_cluster, 3);
  ASSERT_TRUE(SetFatEntry(u"M", free_cluster, 0x0FFFFFF7));
  EXPECT_EQ(FindFatEntry(free_cluster - 1, kFatBad), free_cluster);

  // The peer's layout says where each copy holds the entry.
  imaging::FatImageBuilder oracle(bits == 12   ? imaging::FatType::fat12
                                  : bits == 16 ? imaging::FatType::fat16
                                               : imaging::FatType::fat32);
  imaging::FatLayout l;
  l.type = oracle.type();
  l.bytes_per_sector = DriveInfo().BytesPerSector;
  l.reserved_sectors = DriveInfo().ReservedSectors;
  l.sectors_per_fat = DriveInfo().SectorsPerFat;
  l.number_of_fats = DriveInfo().NumberOfFats;
  for (unsigned copy = 0; copy < 2; ++copy) {
    auto bytes = entry_bytes(image, l, copy, free_cluster, bits == 32 ? 4 : 2);
    if (bits == 32) {
      EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xF7, 0xFF, 0xFF, 0x0F}));
    } else if (bits == 16) {
      EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xF7, 0xFF}));
    } else {
      std::uint32_t v = bytes[0] | (bytes[1] << 8);
      EXPECT_EQ((free_cluster & 1) ? v >> 4 : v & 0xFFF, 0xFF7u);
    }
  }
  auto report = fixtures::fsck_check(image);
  EXPECT_TRUE(report.clean) << report.output;

  ASSERT_TRUE(SetFatEntry(u"m:", free_cluster, 0));
  EXPECT_EQ(fixtures::file_bytes(image, 0, original.size()), original);
}

INSTANTIATE_TEST_SUITE_P(Widths, FatUpdate,
                         ::testing::Combine(::testing::Values(12, 16, 32),
                                            ::testing::Values(win::Family::NT, win::Family::Win9x)));

TEST(FatUpdateEdges, OnlyTheEntrysSectorIsRewrittenInEachOfThreeCopies) {
  imaging::FatImageBuilder b(imaging::FatType::fat32);
  b.number_of_fats(3);
  fixtures::TempDir dir;
  auto image = b.write(dir.file("v.img"));
  auto l = b.layout();
  MappedDrive drive('N', image);
  LoadDriveInfo(u"N");
  const Long cluster = 1000;  // entry 1000 lies 4000 bytes into each copy: sector 7
  win::RequestLog log;
  ASSERT_TRUE(SetFatEntry(u"N", cluster, 0x0FFFFFF7));
  auto writes = log.of_kind(win::PlatformRequest::Kind::Write);
  // One sector per copy, then the information sector's free count and its
  // copy behind the backup boot sector.
  ASSERT_EQ(writes.size(), 5u);
  EXPECT_EQ(writes[3].position, l.sector_offset(1));
  EXPECT_EQ(writes[4].position, l.sector_offset(7));
  for (unsigned copy = 0; copy < 3; ++copy) {
    EXPECT_EQ(writes[copy].position, l.sector_offset(l.fat_first_sector(copy) + 7));
    EXPECT_EQ(writes[copy].length, 512u);
    auto disk = entry_bytes(image, l, copy, cluster, 4);
    EXPECT_EQ(disk, (std::vector<std::uint8_t>{0xF7, 0xFF, 0xFF, 0x0F}));
  }
}

TEST(FatUpdateEdges, AFailedCopyIsReportedEvenWhenTheLastSucceeds) {
  imaging::FatImageBuilder b(imaging::FatType::fat16);
  fixtures::TempDir dir;
  auto image = b.write(dir.file("v.img"));
  MappedDrive drive('O', image);
  LoadDriveInfo(u"O");
  win::SyscallFaults faults;
  faults.fail_write(1);  // the first copy's write
  EXPECT_FALSE(SetFatEntry(u"O", 10, 0x0FFFFFF7));
  EXPECT_EQ(faults.writes(), 2);  // the second copy was still written
}

TEST(FatUpdateEdges, Fat12PairsKeepTheirNeighbourAndMayStraddleSectors) {
  imaging::FatImageBuilder b(imaging::FatType::fat12);
  b.set_fat_entry(4, 0xABC);
  b.set_fat_entry(5, 0x123);
  // Entries 340 and 341 share bytes 510..512 of the copy: the pair crosses
  // from the copy's first sector into its second.
  b.set_fat_entry(340, 0x456);
  b.set_fat_entry(341, 0x789);
  fixtures::TempDir dir;
  auto image = b.write(dir.file("v.img"));
  auto l = b.layout();
  MappedDrive drive('P', image);
  LoadDriveInfo(u"P");
  ASSERT_TRUE(SetFatEntry(u"P", 5, 0x0FFFFFF7));
  for (unsigned copy = 0; copy < 2; ++copy)
    EXPECT_EQ(entry_bytes(image, l, copy, 4, 3), (std::vector<std::uint8_t>{0xBC, 0x7A, 0xFF}));
  EXPECT_EQ(DriveInfo().Fat12Table[4], 0xABC);
  ASSERT_TRUE(SetFatEntry(u"P", 341, 0));
  for (unsigned copy = 0; copy < 2; ++copy)
    EXPECT_EQ(entry_bytes(image, l, copy, 340, 3), (std::vector<std::uint8_t>{0x56, 0x04, 0x00}));
  EXPECT_THROW(SetFatEntry(u"P", static_cast<Long>(DriveInfo().Fat12Table.size()), 0), RuntimeError);
}

// Every call of a mark failed in turn, on each FAT width: whatever the mark
// reports, it leaves no handle open and no range locked behind it.
TEST(FatUpdateEdges, AFaultAnywhereLeavesNoHandleOpenAndNoRangeLocked) {
  for (auto type : {imaging::FatType::fat12, imaging::FatType::fat16, imaging::FatType::fat32}) {
    imaging::FatImageBuilder b(type);
    fixtures::TempDir dir;
    auto image = b.write(dir.file("v.img"));
    MappedDrive drive('Q', image);
    LoadDriveInfo(u"Q");
    const std::size_t handles = win::open_handle_count();
    using Rule = void (*)(win::SyscallFaults&, int);
    const Rule rules[] = {[](win::SyscallFaults& f, int n) { f.fail_read(n); },
                          [](win::SyscallFaults& f, int n) { f.fail_write(n); },
                          [](win::SyscallFaults& f, int n) { f.fail_open(n, EIO); },
                          [](win::SyscallFaults& f, int n) { f.fail_fsync(EIO, n); },
                          [](win::SyscallFaults& f, int n) { f.refuse_lock(n); }};
    for (const Rule rule : rules)
      for (int n = 1; n < 50; ++n) {
        bool reached = false;
        {
          win::SyscallFaults faults;
          rule(faults, n);
          try {
            SetFatEntry(u"Q", 10, n % 2 ? 0x0FFFFFF7 : 0);
          } catch (const win::AutomationError&) {
          }
          reached = faults.reads() >= n || faults.writes() >= n || faults.opens() >= n || faults.fsyncs() >= n ||
                    faults.locks() >= n;
        }
        ASSERT_EQ(win::open_handle_count(), handles) << "fault " << n;
        win::HANDLE h = win::CreateFileA("\\\\.\\Q:", win::GENERIC_READ | win::GENERIC_WRITE, 3, nullptr,
                                         win::OPEN_EXISTING, 0, nullptr);
        EXPECT_TRUE(win::LockFile(h, 0, 0, 0xFFFFFFFF, 0)) << "fault " << n << " left a range locked";
        win::UnlockFile(h, 0, 0, 0xFFFFFFFF, 0);
        win::CloseHandle(h);
        if (!reached) break;
      }
  }
}
