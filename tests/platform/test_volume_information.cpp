// GetVolumeInformationA and GetDriveTypeA on volumes made by mkfs.fat and by hand.
#include <cstring>
#include <fstream>

#include "format/boot_sector.h"
#include "format/byte_order.h"
#include "platform/last_error.h"
#include "platform/syscalls.h"
#include "platform/volume_information.h"
#include "platform/volume_probe.h"
#include "platform_test_support.h"

using namespace win;
using namespace ondisk;

namespace {

class VolumeInformation : public platform_test::PlatformTest {
 protected:
  struct Answer {
    BOOL ok = FALSE;
    DWORD error = 0;
    std::string label, fs;
    DWORD serial = 0, max_component = 0, flags = 0;
  };

  static Answer ask(const char* root) {
    Answer a;
    char label[255], fs[255];
    std::memset(label, 'x', sizeof label);
    std::memset(fs, 'x', sizeof fs);
    SetLastError(0);
    a.ok = GetVolumeInformationA(root, label, sizeof label, &a.serial, &a.max_component, &a.flags, fs, sizeof fs);
    a.error = GetLastError();
    a.label = label;
    a.fs = fs;
    return a;
  }

  std::filesystem::path write_sector(const std::string& name, const std::vector<BYTE>& sector,
                                     std::size_t size = 64 * 1024) {
    std::filesystem::path p = dir_.file(name);
    std::vector<BYTE> image(size, 0);
    std::memcpy(image.data(), sector.data(), sector.size());
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(size));
    return p;
  }
};

// A FAT12/16 boot sector with the given geometry and an extended BPB.
ondisk::BootSector bpb_fields(DWORD total, DWORD fat_size, DWORD root_entries = 512, DWORD spc = 1) {
  ondisk::BootSector f;
  f.jump = ondisk::boot::kJumpShort;
  f.oem_name = "MSWIN4.1";
  f.bytes_per_sector = 512;
  f.sectors_per_cluster = static_cast<BYTE>(spc);
  f.reserved_sectors = 1;
  f.number_of_fats = 2;
  f.root_entries = static_cast<WORD>(root_entries);
  f.total_sectors16 = total < 65536 ? static_cast<WORD>(total) : 0;
  f.total_sectors32 = total < 65536 ? 0 : total;
  f.media = 0xF8;
  f.sectors_per_fat16 = static_cast<WORD>(fat_size);
  f.ext_signature = ondisk::boot::kExtendedSignature;
  f.serial = 0xCAFEF00D;
  f.label = "HANDMADE";
  f.signature = ondisk::boot::kSignatureValue;
  return f;
}

std::vector<BYTE> encoded(const ondisk::BootSector& f) {
  std::vector<BYTE> s(512, 0);
  ondisk::encode_boot_sector(f, s);
  return s;
}

std::vector<BYTE> bpb(DWORD total, DWORD fat_size, DWORD root_entries = 512, DWORD spc = 1) {
  return encoded(bpb_fields(total, fat_size, root_entries, spc));
}

TEST_F(VolumeInformation, MkfsVolumesAreNamedWithTheirLabelAndSerial) {
  struct Case {
    int bits;
    std::uint64_t kb;
    const char* fs;
  } cases[] = {{12, 1440, "FAT"}, {16, 16 * 1024, "FAT"}, {32, 40 * 1024, "FAT32"}, {32, 2048, "FAT32"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    map('C', fat_image("v.img", platform_test::mkfs(c.bits, c.kb, "DATA DISK", 0x1234ABCD)));
    Answer a = ask("C:\\");
    EXPECT_TRUE(a.ok);
    EXPECT_EQ(a.fs, c.fs);
    EXPECT_EQ(a.label, "DATA DISK");
    EXPECT_EQ(a.serial, 0x1234ABCDu);
    EXPECT_EQ(a.max_component, 255u);
    EXPECT_EQ(a.flags, FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK);
  }
}

TEST_F(VolumeInformation, TheRootDirectoryLabelWinsAndNoNameIsNoLabel) {
  auto image = fat_image("v.img", platform_test::mkfs(16, 16 * 1024, "BOOTLABEL"));
  std::vector<BYTE> boot = fixtures::file_bytes(image, 0, 512);
  const std::uint64_t root = ondisk::layout_of(ondisk::decode_boot_sector(boot)).root_dir_start * 512;
  ASSERT_EQ(fixtures::file_bytes(image, root + 11, 1)[0] & 0x08, 0x08);  // mkfs put the label entry first
  std::fstream(image, std::ios::in | std::ios::out | std::ios::binary)
      .seekp(static_cast<std::streamoff>(root))
      .write("ROOT LABEL ", 11);
  map('C', image);
  EXPECT_EQ(ask("c:\\").label, "ROOT LABEL");

  map('D', fat_image("n.img", platform_test::mkfs(12, 1440)));
  Answer a = ask("D:\\");
  EXPECT_TRUE(a.ok);
  EXPECT_EQ(a.label, "");
}

TEST_F(VolumeInformation, ClusterCountDecidesBetweenFat12AndFat16) {
  const DWORD meta = 1 + 2 * 12 + 32;  // reserved, two FATs of 12 sectors, 512 root entries
  VolumeIdentity id;
  auto identify = [&](const std::vector<BYTE>& sector) {
    return identify_volume(
        [&](std::uint64_t offset, void* buffer, std::size_t length) {
          std::memset(buffer, 0, length);
          if (offset < sector.size())
            std::memcpy(buffer, sector.data() + offset, std::min(length, sector.size() - offset));
          return true;
        },
        id);
  };
  EXPECT_EQ(probe_boot_sector(bpb(meta + 4084, 12).data(), 512).kind, FsKind::Fat12);
  EXPECT_EQ(probe_boot_sector(bpb(meta + 4085, 12).data(), 512).kind, FsKind::Fat16);
  EXPECT_EQ(probe_boot_sector(bpb(meta + 2 * 4085, 12, 512, 2).data(), 512).kind, FsKind::Fat16);
  EXPECT_EQ(probe_boot_sector(bpb(meta + 2 * 4085 - 1, 12, 512, 2).data(), 512).kind, FsKind::Fat12);
  ASSERT_EQ(identify(bpb(meta + 4084, 12)), ERROR_SUCCESS);
  EXPECT_EQ(id.label, "");  // a label only in the boot sector is no label, as systems report it
  EXPECT_EQ(id.serial, 0xCAFEF00Du);

  // What a system would refuse to mount.
  auto broken = [&](auto change) {
    auto f = bpb_fields(meta + 5000, 12);
    change(f);
    return probe_boot_sector(encoded(f).data(), 512).kind;
  };
  EXPECT_EQ(broken([](auto& f) { f.jump = 0; }), FsKind::Unknown);                 // no jump
  EXPECT_EQ(broken([](auto& f) { f.bytes_per_sector = 0; }), FsKind::Unknown);     // sector size 0
  EXPECT_EQ(broken([](auto& f) { f.bytes_per_sector = 768; }), FsKind::Unknown);   // not a power of two
  EXPECT_EQ(broken([](auto& f) { f.sectors_per_cluster = 3; }), FsKind::Unknown);  // cluster of 3 sectors
  EXPECT_EQ(broken([](auto& f) { f.number_of_fats = 0; }), FsKind::Unknown);       // no FAT
  EXPECT_EQ(broken([](auto& f) { f.media = 0x12; }), FsKind::Unknown);             // media byte
  EXPECT_EQ(broken([](auto& f) { f.root_entries = 0; }), FsKind::Unknown);         // FAT16 without root
  EXPECT_EQ(broken([](auto& f) { f.total_sectors16 = 40; }), FsKind::Unknown);     // smaller than its FATs
  // A FAT12/16 layout with more clusters than FAT16 has decides no type.
  EXPECT_EQ(broken([](auto& f) {
              f.total_sectors16 = 0;
              f.total_sectors32 = 70000;
              f.sectors_per_fat16 = 256;
            }),
            FsKind::Unknown);
}

TEST_F(VolumeInformation, NtfsUnknownAndUnreadableVolumes) {
  std::vector<BYTE> ntfs(512, 0);
  ntfs[0] = 0xEB, ntfs[1] = 0x52, ntfs[2] = 0x90;
  std::memcpy(&ntfs[3], "NTFS    ", 8);
  put_le16(ntfs.data(), 11, 512);
  put_le64(ntfs.data(), 0x48, 0x1122334455667788ull);
  map('N', write_sector("ntfs.img", ntfs));
  Answer a = ask("N:\\");
  EXPECT_TRUE(a.ok);
  EXPECT_EQ(a.fs, "NTFS");
  EXPECT_EQ(a.serial, 0x55667788u);
  EXPECT_EQ(a.label, "");

  map('U', write_sector("zero.img", std::vector<BYTE>(512, 0)));
  a = ask("U:\\");
  EXPECT_FALSE(a.ok);
  EXPECT_EQ(a.error, ERROR_UNRECOGNIZED_VOLUME);
  EXPECT_EQ(a.label, "");
  EXPECT_EQ(a.fs, "");

  map('F', dir_.file("absent.img"));
  a = ask("F:\\");
  EXPECT_FALSE(a.ok);
  EXPECT_EQ(a.error, ERROR_NOT_READY);
  EXPECT_EQ(a.fs, "");

  map('C', fat_image("c.img", platform_test::mkfs(12, 1440)));
  {
    SyscallFaults faults;
    faults.fail_read(1);
    a = ask("C:\\");
  }
  EXPECT_FALSE(a.ok);
  EXPECT_EQ(a.error, ERROR_NOT_READY);
}

TEST_F(VolumeInformation, RootPathsBuffersAndReadOnlyFlag) {
  map('C', fat_image("c.img", platform_test::mkfs(12, 1440, "LONGLABEL")), platform_test::flagged(true));
  EXPECT_EQ(ask("C:").error, ERROR_INVALID_NAME);
  EXPECT_EQ(ask("C:\\dir\\").error, ERROR_DIR_NOT_ROOT);
  EXPECT_EQ(ask("Q:\\").error, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ask(nullptr).error, ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(ask("C:\\").flags & FILE_READ_ONLY_VOLUME);

  char label[9] = "xxxxxxxx", fs[16] = "xxx";
  DWORD serial = 42;
  EXPECT_FALSE(GetVolumeInformationA("C:\\", label, sizeof label, &serial, nullptr, nullptr, fs, sizeof fs));
  EXPECT_EQ(GetLastError(), ERROR_BAD_LENGTH);
  EXPECT_STREQ(label, "");
  EXPECT_STREQ(fs, "");
  EXPECT_EQ(serial, 42u);
  char exact[10];
  EXPECT_TRUE(GetVolumeInformationA("C:\\", exact, sizeof exact, nullptr, nullptr, nullptr, nullptr, 0));
  EXPECT_STREQ(exact, "LONGLABEL");

  set_family(Family::Win9x);  // the same answers on 9x
  EXPECT_EQ(ask("C:\\").fs, "FAT");
}

TEST_F(VolumeInformation, DriveTypesComeFromTheMap) {
  map('A', dir_.file("empty-floppy.img"), platform_test::flagged(false, DriveType::Removable));
  map('C', dir_.file("c.img"));
  DriveMap::map('Z', platform_test::folder_only(dir_.path().string(), DriveType::Remote));
  EXPECT_EQ(GetDriveTypeA("A:\\"), DRIVE_REMOVABLE);  // known even though not ready
  EXPECT_EQ(GetDriveTypeA("c:\\"), DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA("C:"), DRIVE_FIXED);
  EXPECT_EQ(GetDriveTypeA("Z:\\"), DRIVE_REMOTE);
  EXPECT_EQ(GetDriveTypeA("Q:\\"), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDriveTypeA("C:\\Windows\\"), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDriveTypeA(nullptr), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDriveTypeA("\\\\server\\share\\"), DRIVE_NO_ROOT_DIR);
}

}  // namespace
