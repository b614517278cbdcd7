// kernel32 device and file calls against real image files.
#include <sys/stat.h>

#include <cstring>

#include "platform/device_records.h"
#include "platform/last_error.h"
#include "platform/request_log.h"
#include "platform/syscalls.h"
#include "platform_test_support.h"

using namespace win;
using platform_test::pattern;

namespace {

class Kernel32Files : public platform_test::PlatformTest {};

std::vector<BYTE> read_at(HANDLE h, std::uint64_t pos, DWORD n, BOOL* ok = nullptr, DWORD* got = nullptr) {
  LONG high = static_cast<LONG>(pos >> 32);
  SetFilePointer(h, static_cast<LONG>(pos & 0xFFFFFFFF), &high, FILE_BEGIN);
  std::vector<BYTE> buf(n, 0xCC);
  DWORD count = 0xDEAD;
  BOOL r = ReadFile(h, buf.data(), n, &count, nullptr);
  if (ok) *ok = r;
  if (got) *got = count;
  buf.resize(count == 0xDEAD ? 0 : count);
  return buf;
}

BOOL write_at(HANDLE h, std::uint64_t pos, const std::vector<BYTE>& data, DWORD* put = nullptr) {
  LONG high = static_cast<LONG>(pos >> 32);
  SetFilePointer(h, static_cast<LONG>(pos & 0xFFFFFFFF), &high, FILE_BEGIN);
  DWORD count = 0;
  BOOL r = WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &count, nullptr);
  if (put) *put = count;
  return r;
}

TEST_F(Kernel32Files, VolumeHasAFixedSizeForReadsAndWrites) {
  auto image = raw_image("c.img", 8192);
  map('C', image);
  HANDLE h = open_path("\\\\.\\C:");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);

  BOOL ok = FALSE;
  DWORD got = 0;
  auto tail = read_at(h, 8192 - 100, 512, &ok, &got);  // partial at the boundary
  EXPECT_TRUE(ok);
  EXPECT_EQ(got, 100u);
  EXPECT_EQ(tail.front(), pattern(8192 - 100));
  read_at(h, 8192, 512, &ok, &got);  // at the end: nothing, like a file at EOF
  EXPECT_TRUE(ok);
  EXPECT_EQ(got, 0u);
  read_at(h, 1u << 20, 512, &ok, &got);
  EXPECT_TRUE(ok);
  EXPECT_EQ(got, 0u);

  std::vector<BYTE> block(512, 0xAB);
  DWORD put = 99;
  SetLastError(0);
  EXPECT_FALSE(write_at(h, 8192 - 256, block, &put));  // would pass the end
  EXPECT_EQ(GetLastError(), ERROR_SECTOR_NOT_FOUND);
  EXPECT_EQ(put, 0u);
  EXPECT_FALSE(write_at(h, 8192, block, &put));
  auto untouched = fixtures::file_bytes(image, 8192 - 256, 256);
  for (std::size_t i = 0; i < untouched.size(); ++i) ASSERT_EQ(untouched[i], pattern(8192 - 256 + i)) << i;
  EXPECT_TRUE(write_at(h, 8192 - 512, block, &put));  // the last sector
  EXPECT_EQ(put, 512u);
  EXPECT_TRUE(CloseHandle(h));

  EXPECT_EQ(std::filesystem::file_size(image), 8192u);
  auto bytes = fixtures::file_bytes(image, 8192 - 768, 768);
  EXPECT_EQ(bytes[0], pattern(8192 - 768));
  EXPECT_EQ(bytes[255], pattern(8192 - 513));
  EXPECT_EQ(bytes[256], 0xAB);
}

TEST_F(Kernel32Files, PartitionInsideAWholeDiskImageIsItsOwnRange) {
  auto disk = raw_image("disk.img", 64 * 1024);
  map('D', disk, platform_test::ranged(4096, 8192));
  map('E', disk, platform_test::ranged(60 * 1024, 100 * 1024));  // runs past the image: clipped
  HANDLE d = open_path("\\\\.\\D:");
  HANDLE e = open_path("\\\\.\\E:");
  ASSERT_NE(d, INVALID_HANDLE_VALUE);
  ASSERT_NE(e, INVALID_HANDLE_VALUE);
  EXPECT_EQ(read_at(d, 0, 4)[0], pattern(4096));
  DWORD got = 0;
  read_at(d, 8192 - 10, 512, nullptr, &got);
  EXPECT_EQ(got, 10u);
  read_at(e, 0, 8192, nullptr, &got);
  EXPECT_EQ(got, 4096u);
  EXPECT_EQ(SetFilePointer(d, 0, nullptr, FILE_END), 8192u);
  EXPECT_EQ(SetFilePointer(e, 0, nullptr, FILE_END), 4096u);
  EXPECT_FALSE(write_at(e, 4096 - 1, {1, 2}));
  EXPECT_TRUE(write_at(d, 0, {0x55}));
  CloseHandle(d);
  CloseHandle(e);
  EXPECT_EQ(std::filesystem::file_size(disk), 64u * 1024);
  EXPECT_EQ(fixtures::file_bytes(disk, 4096, 1)[0], 0x55);
}

TEST_F(Kernel32Files, LocksConflictBetweenHandlesOfOneProcess) {
  map('C', raw_image("c.img", 8192));
  HANDLE a = open_path("\\\\.\\C:");
  HANDLE b = open_path("\\\\.\\C:");
  ASSERT_TRUE(LockFile(a, 1024, 0, 512, 0));
  SetLastError(0);
  EXPECT_FALSE(LockFile(b, 1200, 0, 10, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  EXPECT_TRUE(LockFile(b, 1536, 0, 512, 0));  // adjacent, not overlapping
  EXPECT_FALSE(LockFile(a, 1100, 0, 4, 0));   // the same handle cannot lock twice either

  // A locked range keeps the other handle's reads and writes out.
  BOOL ok = TRUE;
  read_at(b, 1000, 100, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  EXPECT_FALSE(write_at(b, 1500, {1}));
  EXPECT_TRUE(write_at(a, 1500, {1}));  // the owner may
  read_at(b, 0, 1024, &ok);
  EXPECT_TRUE(ok);

  EXPECT_FALSE(UnlockFile(a, 1024, 0, 256, 0));  // only the exact range unlocks
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_TRUE(UnlockFile(a, 1024, 0, 512, 0));
  EXPECT_TRUE(LockFile(b, 1200, 0, 10, 0));
  CloseHandle(b);  // closing releases b's locks
  EXPECT_TRUE(LockFile(a, 1200, 0, 600, 0));
  CloseHandle(a);
}

TEST_F(Kernel32Files, VolumeAndDiskLocksMeetOnTheSameBytes) {
  auto disk = raw_image("disk.img", 32 * 1024);
  map('D', disk, platform_test::ranged(8192));
  DriveMap::set_physical_drives({disk.string()});
  HANDLE vol = open_path("\\\\.\\D:");
  HANDLE whole = open_path("\\\\.\\PHYSICALDRIVE0");
  ASSERT_TRUE(LockFile(vol, 0, 0, 512, 0));
  EXPECT_FALSE(LockFile(whole, 8192 + 256, 0, 16, 0));
  EXPECT_TRUE(LockFile(whole, 0, 0, 8192, 0));
  CloseHandle(vol);
  CloseHandle(whole);
}

TEST_F(Kernel32Files, ReadOnlyVolumesOpenForWritingButRefuseEveryWrite) {
  auto image = raw_image("c.img", 4096);
  map('C', image, platform_test::flagged(true));
  map('D', raw_image("d.img", 4096));
  HANDLE c = open_path("\\\\.\\C:");
  ASSERT_NE(c, INVALID_HANDLE_VALUE);
  EXPECT_EQ(read_at(c, 0, 16).size(), 16u);
  DWORD put = 7;
  EXPECT_FALSE(write_at(c, 0, {1, 2, 3}, &put));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
  EXPECT_EQ(put, 0u);
  CloseHandle(c);
  EXPECT_EQ(fixtures::file_bytes(image, 0, 1)[0], pattern(0));

  DriveMap::set_read_only(true);
  HANDLE d = open_path("\\\\.\\D:");
  EXPECT_FALSE(write_at(d, 0, {1}));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
  CloseHandle(d);

  // A handle opened for reading only is refused with access denied instead.
  DriveMap::set_read_only(false);
  d = open_path("\\\\.\\D:", GENERIC_READ);
  EXPECT_FALSE(write_at(d, 0, {1}));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(FlushFileBuffers(d));
  CloseHandle(d);
}

TEST_F(Kernel32Files, UnmappedMissingAndFolderOnlyDrives) {
  SetLastError(0);
  EXPECT_EQ(open_path("\\\\.\\Q:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  map('F', dir_.file("no-such.img"));  // an empty floppy drive
  EXPECT_EQ(open_path("\\\\.\\F:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  DriveMap::map('G', platform_test::folder_only(dir_.path().string()));
  EXPECT_EQ(open_path("\\\\.\\G:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  EXPECT_EQ(open_path("\\\\.\\NOSUCHDEVICE"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Kernel32Files, EachFamilyOpensOnlyItsOwnDevicePaths) {
  auto image = raw_image("c.img", 4096);
  map('C', image);
  DriveMap::set_physical_drives({image.string()});

  EXPECT_EQ(open_path("\\\\.\\VWIN32", GENERIC_READ), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  HANDLE h = open_path("\\\\.\\c:");  // the letter in either case
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);

  set_family(Family::Win9x);
  for (const char* path : {"\\\\.\\C:", "\\\\.\\PHYSICALDRIVE0"}) {
    EXPECT_EQ(open_path(path), INVALID_HANDLE_VALUE) << path;
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  }
  h = win::CreateFileA("\\\\.\\vwin32", 0, 0, nullptr, 0, 0, nullptr);  // the usual 9x way of opening it
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  BYTE dummy[4];
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(h, dummy, 4, &n, nullptr));
  CloseHandle(h);
}

TEST_F(Kernel32Files, OrdinaryFilesThroughTheDriveFolder) {
  std::filesystem::create_directory(dir_.file("root"));
  DriveMap::map('C', platform_test::folder_only(dir_.file("root").string()));
  std::string path = "c:\\sub\\..\\Notes.txt";

  EXPECT_EQ(open_path(path.c_str()), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(open_path("C:\\nodir\\x.txt", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  HANDLE h = open_path(path.c_str(), GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(write_at(h, 0, {'h', 'i'}));
  EXPECT_TRUE(write_at(h, 10, {'!'}));  // ordinary files grow
  CloseHandle(h);
  EXPECT_EQ(std::filesystem::file_size(dir_.file("root/Notes.txt")), 11u);

  EXPECT_EQ(open_path(path.c_str(), GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  h = open_path(path.c_str(), GENERIC_READ, OPEN_ALWAYS);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  CloseHandle(h);
  h = open_path(path.c_str(), GENERIC_READ | GENERIC_WRITE, TRUNCATE_EXISTING);
  CloseHandle(h);
  EXPECT_EQ(std::filesystem::file_size(dir_.file("root/Notes.txt")), 0u);
  EXPECT_EQ(open_path("C:\\", GENERIC_READ), INVALID_HANDLE_VALUE);  // a directory
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(open_path("C:\\a|b"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);

  DriveMap::map('R', platform_test::folder_only(dir_.file("root").string(), DriveType::Fixed, true));
  EXPECT_EQ(open_path("R:\\new.txt", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
  h = open_path("R:\\Notes.txt", GENERIC_READ);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

TEST_F(Kernel32Files, SetFilePointerKeepsTheHighPartAndRefusesNegativePositions) {
  map('C', raw_image("c.img", 1024));
  HANDLE h = open_path("\\\\.\\C:");
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(h, 0x10, &high, FILE_BEGIN), 0x10u);
  EXPECT_EQ(high, 1);
  high = 0;
  EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), 0x10u);
  EXPECT_EQ(high, 1);
  SetLastError(1234);
  high = 0;
  EXPECT_EQ(SetFilePointer(h, -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);  // 0xFFFFFFFF, a real position
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_END), 1004u);
  EXPECT_EQ(SetFilePointer(h, -2000, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 1004u);  // unchanged by the failure
  CloseHandle(h);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(h));
}

TEST_F(Kernel32Files, InjectedFaultsReachTheCaller) {
  auto image = raw_image("c.img", 4096);
  map('C', image);
  HANDLE h = open_path("\\\\.\\C:");
  SyscallFaults faults;

  faults.fail_read(1);
  BOOL ok = TRUE;
  DWORD got = 9;
  read_at(h, 0, 512, &ok, &got);
  EXPECT_FALSE(ok);
  EXPECT_EQ(GetLastError(), ERROR_READ_FAULT);
  EXPECT_EQ(got, 0u);

  faults.fail_read(-1);
  faults.short_read(0, 100);
  read_at(h, 0, 512, &ok, &got);
  EXPECT_TRUE(ok);
  EXPECT_EQ(got, 100u);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 100u);  // the pointer moved by what arrived

  faults.fail_write(0, ENOSPC);
  EXPECT_FALSE(write_at(h, 0, {1}));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  faults.fail_write(-1);
  faults.short_write(0, 2);
  DWORD put = 0;
  EXPECT_TRUE(write_at(h, 0, {1, 2, 3, 4}, &put));
  EXPECT_EQ(put, 2u);

  faults.refuse_locks();
  EXPECT_FALSE(LockFile(h, 0, 0, 512, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  faults.fail_fsync();
  EXPECT_FALSE(FlushFileBuffers(h));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);

  faults.fail_open(0, EIO);
  EXPECT_EQ(open_path("\\\\.\\C:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
  CloseHandle(h);
}

TEST_F(Kernel32Files, GeometryOfAPhysicalDriveImage) {
  const std::uint64_t cylinder = 255ull * 63 * 512;
  auto disk = dir_.file("disk.img");
  { std::ofstream create(disk); }
  std::filesystem::resize_file(disk, 3 * cylinder + 1000);  // sparse
  DriveMap::set_physical_drives({disk.string()});
  HANDLE h = open_path("\\\\.\\PHYSICALDRIVE0", 0);  // query access only
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  BYTE out[DISK_GEOMETRY_SIZE + 3] = {};
  DWORD returned = 0;
  ASSERT_TRUE(
      DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, out + 3, DISK_GEOMETRY_SIZE, &returned, nullptr));
  EXPECT_EQ(returned, 24u);
  DISK_GEOMETRY g = decode_disk_geometry(out + 3);
  EXPECT_EQ(g, (DISK_GEOMETRY{3, FixedMedia, 255, 63, 512}));
  EXPECT_FALSE(DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, out, 23, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_FALSE(DeviceIoControl(h, 0x2D1400, nullptr, 0, out, 24, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
  BYTE b[16];
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(h, b, 16, &n, nullptr));  // opened for queries only
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(h);

  EXPECT_EQ(open_path("\\\\.\\PHYSICALDRIVE1", 0), INVALID_HANDLE_VALUE);  // the end of the list
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  DriveMap::set_physical_drives({dir_.file("gone.img").string()});
  EXPECT_EQ(open_path("\\\\.\\PHYSICALDRIVE0", 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  DriveMap::set_physical_drives({});
  EXPECT_EQ(open_path("\\\\.\\PHYSICALDRIVE0", 0), INVALID_HANDLE_VALUE);
}

TEST_F(Kernel32Files, EveryCallIsTracedAndRecorded) {
  map('C', raw_image("c.img", 2048));
  std::vector<std::string> lines;
  set_trace_sink([&](const std::string& line) { lines.push_back(line); });
  RequestLog log;
  HANDLE h = open_path("\\\\.\\C:");
  BYTE buf[512];
  DWORD n = 0;
  SetFilePointer(h, 1024, nullptr, FILE_BEGIN);
  ReadFile(h, buf, 512, &n, nullptr);
  WriteFile(h, "xy", 2, &n, nullptr);
  LockFile(h, 0, 0, 512, 0);
  UnlockFile(h, 0, 0, 512, 0);
  FlushFileBuffers(h);
  CloseHandle(h);
  open_path("\\\\.\\Z:");
  set_trace_sink({});

  ASSERT_EQ(lines.size(), 9u);
  char handle_text[32];
  std::snprintf(handle_text, sizeof handle_text, "0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(h)));
  EXPECT_EQ(lines[0], std::string("CreateFileA(\"\\\\\\\\.\\\\C:\", GENERIC_READ|GENERIC_WRITE, 3, OPEN_EXISTING) = ") +
                          handle_text);
  EXPECT_EQ(lines[2], std::string("ReadFile(") + handle_text + ", 512) = TRUE at=1024 read=512");
  EXPECT_EQ(lines[3], std::string("WriteFile(") + handle_text + ", 2) = TRUE at=1536 written=2");
  EXPECT_EQ(
      lines[8],
      "CreateFileA(\"\\\\\\\\.\\\\Z:\", GENERIC_READ|GENERIC_WRITE, 3, OPEN_EXISTING) = INVALID_HANDLE_VALUE error=2");

  auto requests = log.requests();
  ASSERT_EQ(requests.size(), 8u);
  using K = PlatformRequest::Kind;
  EXPECT_EQ(requests[1].kind, K::Read);
  EXPECT_EQ(requests[1].position, 1024u);
  EXPECT_EQ(requests[1].length, 512u);
  EXPECT_EQ(requests[2].kind, K::Write);
  EXPECT_EQ(requests[2].position, 1536u);
  EXPECT_EQ(requests[2].data, (std::vector<BYTE>{'x', 'y'}));
  EXPECT_EQ(requests[3].kind, K::Lock);
  EXPECT_EQ(requests[6].kind, K::Close);
  EXPECT_EQ(requests[6].target, "\\\\.\\C:");
  EXPECT_EQ(requests[7].kind, K::Open);
  EXPECT_FALSE(requests[7].result);
  EXPECT_EQ(requests[7].error, ERROR_FILE_NOT_FOUND);
}

}  // namespace

namespace {

// The block-device path, on the machine's own first disk when the process
// may open it (queries only; nothing is read or written).
TEST_F(Kernel32Files, TheMachinesFirstDiskAnswersFromItsDevice) {
  std::vector<std::string> disks = DriveMap::physical_drives();
  if (disks.empty()) GTEST_SKIP() << "no whole disks on this machine";
  HANDLE h = open_path("\\\\.\\PHYSICALDRIVE0", 0);
  if (h == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no access to " << disks[0] << ": error " << GetLastError();
  BYTE out[DISK_GEOMETRY_SIZE];
  DWORD returned = 0;
  ASSERT_TRUE(DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, out, sizeof out, &returned, nullptr));
  CloseHandle(h);
  DISK_GEOMETRY g = decode_disk_geometry(out);
  std::string name = std::filesystem::path(disks[0]).filename().string();
  std::string sectors, logical;
  ASSERT_TRUE(read_host_text(("/sys/block/" + name + "/size").c_str(), sectors));
  ASSERT_TRUE(read_host_text(("/sys/block/" + name + "/queue/logical_block_size").c_str(), logical));
  const std::uint64_t bytes = std::stoull(sectors) * 512;
  EXPECT_EQ(g.BytesPerSector, std::stoul(logical));
  ASSERT_GT(g.TracksPerCylinder * g.SectorsPerTrack, 0u);
  EXPECT_EQ(static_cast<std::uint64_t>(g.Cylinders),
            bytes / (std::uint64_t{g.TracksPerCylinder} * g.SectorsPerTrack * g.BytesPerSector));
}

}  // namespace
