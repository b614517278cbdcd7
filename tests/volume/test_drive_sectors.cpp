// Reading and writing byte ranges by whole sectors on both families: the
// spans, the records sent to the 9x service, and what never reaches the
// volume when a read fails.
#include <gtest/gtest.h>

#include <numeric>

#include "frame/runtime_error.h"
#include "platform/ansi_code_page.h"
#include "platform/device_records.h"
#include "platform/request_log.h"
#include "platform/syscalls.h"
#include "platform/vwin32.h"
#include "rawio/read_sectors.h"
#include "rawio/write_sectors.h"
#include "tests/fixtures/mapped_drive.h"
#include "tests/fixtures/temp_dir.h"
#include "volume/drive_info.h"
#include "volume/drive_sectors.h"

using namespace volumar;
using fixtures::FamilyScope;
using fixtures::MappedDrive;
using Kind = win::PlatformRequest::Kind;

namespace {

// A 64-sector volume whose byte at offset i is (i * 7 + i / 512) & 0xFF.
class SectorIo : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = dir_.file("raw.img");
    std::string bytes(64 * 512, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + i / 512) & 0xFF);
    std::ofstream(image_, std::ios::binary) << bytes;
    drive_ = std::make_unique<MappedDrive>('D', image_);
    ResetDriveInfo();
    DriveInfo().BytesPerSector = 512;
    DriveInfo().FsType = u"FAT16";
  }
  static std::uint8_t expected(std::size_t i) { return static_cast<std::uint8_t>((i * 7 + i / 512) & 0xFF); }
  std::vector<std::uint8_t> disk(std::uint64_t offset, std::size_t n) {
    return fixtures::file_bytes(image_, offset, n);
  }

  fixtures::TempDir dir_;
  std::filesystem::path image_;
  std::unique_ptr<MappedDrive> drive_;
};

}  // namespace

TEST_F(SectorIo, ReadsTheCoveringSectorsAndHandsBackTheWantedBytes) {
  for (auto family : {win::Family::NT, win::Family::Win9x}) {
    FamilyScope scope(family);
    win::RequestLog log;
    auto bytes = ReadDriveSectors(u"d", 10, 500, 20);
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), 20u);
    for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ((*bytes)[i], expected(10 * 512 + 500 + i));
    auto far = ReadDriveSectors(u"D:", 10, 1024, 1);
    ASSERT_TRUE(far);
    EXPECT_EQ((*far)[0], expected(12 * 512));
    if (family == win::Family::NT) {
      auto reads = log.of_kind(Kind::Read);
      ASSERT_EQ(reads.size(), 2u);
      EXPECT_EQ(reads[0].position, 10u * 512);
      EXPECT_EQ(reads[0].length, 1024u);
      EXPECT_EQ(reads[1].length, 3u * 512);
    }
  }
}

TEST_F(SectorIo, NineXRequestsCarryTheRegistersAndPacketAsLaidOut) {
  FamilyScope scope(win::Family::Win9x);
  win::RequestLog log;
  DriveInfo().FsType = u"FAT16";
  ASSERT_TRUE(ReadDriveSectors(u"d", 3, 0, 512));
  DriveInfo().FsType = u"FAT32";
  ASSERT_TRUE(ReadDriveSectors(u"d", 5, 0, 1536));
  auto controls = log.of_kind(Kind::Control);
  ASSERT_EQ(controls.size(), 2u);

  auto abs = win::decode_dioc_registers(controls[0].input.data());
  EXPECT_EQ(controls[0].code, 2u);
  EXPECT_EQ(abs.reg_EAX, 3u);  // D = 3 counted from A = 0
  EXPECT_EQ(abs.reg_EDX, 3u);
  EXPECT_EQ(abs.reg_ECX, 1u);
  EXPECT_EQ(abs.reg_ESI, 0x6000u);
  EXPECT_NE(abs.reg_EBX, 0u);

  auto ext = win::decode_dioc_registers(controls[1].input.data());
  EXPECT_EQ(controls[1].code, 6u);
  EXPECT_EQ(ext.reg_EAX, 0x7305u);
  EXPECT_EQ(ext.reg_EDX, 4u);  // D = 4 counted from A = 1
  EXPECT_EQ(ext.reg_ECX, 0xFFFFFFFFu);
  EXPECT_EQ(ext.reg_ESI, 0u);
  ASSERT_EQ(controls[1].packet.size(), 10u);
  const auto& p = controls[1].packet;
  EXPECT_EQ(std::vector<std::uint8_t>(p.begin(), p.begin() + 6), (std::vector<std::uint8_t>{5, 0, 0, 0, 3, 0}));
  EXPECT_NE(win::decode_diskio(p.data()).dwBuffer, 0u);  // the address follows the count at byte 6
}

TEST_F(SectorIo, NineXTypeNamesPickTheRequestExactly) {
  FamilyScope scope(win::Family::Win9x);
  for (auto [name, code] : {std::pair{u"FAT12", 2u}, {u"FAT16", 2u}, {u"FAT", 6u}, {u"fat16", 6u}, {u"", 6u}}) {
    win::RequestLog log;
    DriveInfo().FsType = name;
    ASSERT_TRUE(ReadDriveSectors(u"d", 0, 0, 1));
    auto controls = log.of_kind(Kind::Control);
    ASSERT_EQ(controls.size(), 1u);
    EXPECT_EQ(controls[0].code, code);
  }
  EXPECT_THROW(ReadDriveSectors(u"", 0, 0, 1), RuntimeError);  // no drive letter to number
}

TEST_F(SectorIo, ArithmeticLimitsAndDevicesThatDoNotOpen) {
  EXPECT_FALSE(ReadDriveSectors(u"Z", 0, 0, 512));  // unmapped: the empty result, no error
  EXPECT_FALSE(ReadDriveSectors(u"", 0, 0, 512));
  auto number = [](auto f) {
    try {
      f();
    } catch (const RuntimeError& e) {
      return e.number();
    }
    return 0;
  };
  EXPECT_EQ(number([] { ReadDriveSectors(u"d", 4194304, 0, 512); }), 6);  // 2 GiB
  EXPECT_EQ(number([] { ReadDriveSectors(u"d", 0, 0, 0); }), 9);
  EXPECT_EQ(number([] { ReadDriveSectors(u"d", 0, -1, 1); }), 9);
  EXPECT_EQ(number([] { ReadDriveSectors(u"d", 0, 2147483647, 2); }), 6);
  DriveInfo().BytesPerSector = 0;
  EXPECT_EQ(number([] { ReadDriveSectors(u"d", 0, 0, 1); }), 11);
  DriveInfo().BytesPerSector = 512;
  FamilyScope scope(win::Family::Win9x);
  DriveInfo().FsType = u"FAT32";
  EXPECT_EQ(number([] { ReadDriveSectors(u"d", 0, 0, 32768 * 512); }), 6);  // the packet's 16-bit count
}

TEST_F(SectorIo, AFailedPlatformReadGivesZerosForReadingButNothingIsWrittenWhileAShortOneGoesOn) {
  {
    win::SyscallFaults faults;
    faults.fail_read(0);
    auto bytes = ReadDriveSectors(u"d", 1, 0, 512);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, win::Bytes(512, 0));
  }
  auto before = disk(0, 64 * 512);
  for (auto family : {win::Family::NT, win::Family::Win9x}) {
    for (const char16_t* type : {u"FAT16", u"FAT32"}) {
      FamilyScope scope(family);
      DriveInfo().FsType = type;
      win::SyscallFaults faults;
      faults.fail_read(0);
      EXPECT_FALSE(WriteDriveSectors(u"d", 2, 32, u"new bytes", 0x6001));
      EXPECT_EQ(faults.writes(), 0);
    }
  }
  EXPECT_EQ(disk(0, 64 * 512), before);
  // Reads that come back short are continued: the write is made, and whole.
  for (auto family : {win::Family::NT, win::Family::Win9x}) {
    FamilyScope scope(family);
    DriveInfo().FsType = u"FAT16";
    win::SyscallFaults faults;
    faults.short_read(0, 100);
    EXPECT_TRUE(WriteDriveSectors(u"d", 2, 32, u"new bytes", 0x6001));
  }
  auto expected = before;
  const std::string text = "new bytes";
  std::copy(text.begin(), text.end(), expected.begin() + 2 * 512 + 32);
  EXPECT_EQ(disk(0, 64 * 512), expected);
}

TEST_F(SectorIo, WritesChangeExactlyTheGivenBytesOnBothFamilies) {
  struct Case {
    win::Family family;
    const char16_t* type;
  };
  Long sector = 4;
  for (auto c :
       {Case{win::Family::NT, u"FAT16"}, Case{win::Family::Win9x, u"FAT16"}, Case{win::Family::Win9x, u"FAT32"}}) {
    FamilyScope scope(c.family);
    DriveInfo().FsType = c.type;
    auto before = disk(0, 64 * 512);
    // 4 bytes across a sector boundary, and a character whose ANSI byte is 0xE9.
    String data = u"ab\x00e9z";
    ASSERT_TRUE(WriteDriveSectors(u"d", sector, 510, data, 0x6001));
    auto after = disk(0, 64 * 512);
    std::size_t at = static_cast<std::size_t>(sector) * 512 + 510;
    EXPECT_EQ(after[at], 'a');
    EXPECT_EQ(after[at + 1], 'b');
    EXPECT_EQ(after[at + 2], 0xE9);
    EXPECT_EQ(after[at + 3], 'z');
    for (std::size_t i = 0; i < after.size(); ++i) {
      if (i < at || i >= at + 4) {
        ASSERT_EQ(after[i], before[i]) << i;
      }
    }
    sector += 4;
  }
  EXPECT_THROW(WriteDriveSectors(u"d", 0, 0, u"", 0x6001), RuntimeError);
}

TEST_F(SectorIo, NtWriteLocksOnlyItsSpanAndNineXExtendedWriteLocksTheVolume) {
  {
    win::RequestLog log;
    ASSERT_TRUE(WriteDriveSectors(u"d", 7, 3000, u"xy", 0x6001));
    auto locks = log.of_kind(Kind::Lock);
    ASSERT_EQ(locks.size(), 1u);
    EXPECT_EQ(locks[0].position, 7u * 512);
    EXPECT_EQ(locks[0].length, 6u * 512);
    EXPECT_EQ(log.of_kind(Kind::Unlock).size(), 1u);
    EXPECT_EQ(log.of_kind(Kind::Flush).size(), 1u);
    auto writes = log.of_kind(Kind::Write);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].length, 6u * 512);
  }
  FamilyScope scope(win::Family::Win9x);
  DriveInfo().FsType = u"FAT32";
  win::RequestLog log;
  ASSERT_TRUE(WriteDriveSectors(u"d", 9, 0, u"q", 0x2001));
  auto controls = log.of_kind(Kind::Control);
  ASSERT_GE(controls.size(), 4u);  // the span's read, the lock, the write, the unlock
  EXPECT_EQ(controls[0].code, 6u);
  EXPECT_EQ(win::decode_dioc_registers(controls[0].input.data()).reg_ESI, 0u);
  auto lock = win::decode_dioc_registers(controls[1].input.data());
  EXPECT_EQ(controls[1].code, 1u);
  EXPECT_EQ(lock.reg_EAX, 0x440Du);
  EXPECT_EQ(lock.reg_EBX, 0x0004u);  // level 0, drive D counted from A = 1
  EXPECT_EQ(lock.reg_ECX, 0x484Au);
  auto write = win::decode_dioc_registers(controls[controls.size() - 2].input.data());
  EXPECT_EQ(write.reg_EAX, 0x7305u);
  EXPECT_EQ(write.reg_ESI, 0x2001u);
  auto unlock = win::decode_dioc_registers(controls.back().input.data());
  EXPECT_EQ(unlock.reg_ECX, 0x486Au);
  EXPECT_EQ(disk(9 * 512, 1)[0], 'q');
}

TEST_F(SectorIo, NothingIsWrittenPastTheEndOfTheVolume) {
  auto before = disk(0, 64 * 512);
  EXPECT_FALSE(WriteDriveSectors(u"d", 63, 510, u"over", 0x6001));
  EXPECT_FALSE(WriteDriveSectors(u"d", 64, 0, u"x", 0x6001));
  EXPECT_EQ(std::filesystem::file_size(image_), 64u * 512);
  EXPECT_EQ(disk(0, 64 * 512), before);
}
