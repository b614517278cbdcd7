// Copy-on-write views of volumes against real image files.
#include "platform/file_mapping.h"

#include "platform/kernel32_files.h"
#include "platform/last_error.h"
#include "platform_test_support.h"

using namespace win;
using platform_test::pattern;

namespace {

class FileMapping : public platform_test::PlatformTest {};

BOOL write_at(HANDLE h, std::uint64_t pos, BYTE value) {
  SetFilePointer(h, static_cast<LONG>(pos), nullptr, FILE_BEGIN);
  DWORD put = 0;
  return WriteFile(h, &value, 1, &put, nullptr);
}

TEST_F(FileMapping, AViewReadsTheVolumeAndKeepsWhatIsWrittenToIt) {
  // A partition 4.5 KiB into its disk: the view still starts at its first byte.
  const auto disk = raw_image("disk.img", 256 * 1024);
  map('D', disk, platform_test::ranged(4608, 200 * 1024));
  HANDLE volume = open_path("\\\\.\\D:");
  HANDLE mapping = CreateFileMappingA(volume, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  auto* view = static_cast<BYTE*>(MapViewOfFile(mapping, FILE_MAP_COPY, 0, 64 * 1024, 100 * 1024));
  ASSERT_NE(view, nullptr);
  CloseHandle(mapping);
  for (std::uint64_t i = 0; i < 100 * 1024; i += 997) ASSERT_EQ(view[i], pattern(4608 + 64 * 1024 + i)) << i;
  // Written bytes stay in the process; a page it wrote no longer follows the volume.
  view[0] = 0xEE;
  ASSERT_TRUE(write_at(volume, 64 * 1024, 0x11));
  ASSERT_TRUE(write_at(volume, 64 * 1024 + 1, 0x22));
  EXPECT_EQ(view[0], 0xEE);
  EXPECT_EQ(view[1], pattern(4608 + 64 * 1024 + 1));
  EXPECT_EQ(fixtures::file_bytes(disk, 4608 + 64 * 1024, 1)[0], 0x11);
  CloseHandle(volume);
  // The view outlives its handles, and goes once.
  EXPECT_EQ(view[99 * 1024], pattern(4608 + 64 * 1024 + 99 * 1024));
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));
}

TEST_F(FileMapping, ViewsThatCannotBeMadeSayWhy) {
  map('C', raw_image("c.img", 128 * 1024));
  HANDLE volume = open_path("\\\\.\\C:");
  HANDLE other = open_path("\\\\.\\C:");
  EXPECT_EQ(CreateFileMappingA(volume, nullptr, 0x02 /* PAGE_READONLY */, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateFileMappingA(reinterpret_cast<HANDLE>(0x7FFC), nullptr, PAGE_WRITECOPY, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HANDLE mapping = CreateFileMappingA(volume, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  struct Case {
    DWORD offset;
    std::size_t bytes;
    DWORD error;
  } cases[] = {{512, 512, ERROR_MAPPED_ALIGNMENT},
               {64 * 1024, 64 * 1024 + 1, ERROR_HANDLE_EOF},  // one byte past the volume's end
               {128 * 1024, 1, ERROR_HANDLE_EOF},
               {0, 0, ERROR_INVALID_PARAMETER}};
  for (const Case& c : cases) {
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_COPY, 0, c.offset, c.bytes), nullptr) << c.offset << " " << c.bytes;
    EXPECT_EQ(GetLastError(), c.error) << c.offset << " " << c.bytes;
  }
  // Another handle's lock keeps a view out, as it keeps reads out.
  ASSERT_TRUE(LockFile(other, 70 * 1024, 0, 512, 0));
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_COPY, 0, 64 * 1024, 8 * 1024), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  ASSERT_TRUE(UnlockFile(other, 70 * 1024, 0, 512, 0));
  void* view = MapViewOfFile(mapping, FILE_MAP_COPY, 0, 64 * 1024, 8 * 1024);
  EXPECT_NE(view, nullptr);
  EXPECT_TRUE(UnmapViewOfFile(view));
  CloseHandle(mapping);
  CloseHandle(volume);
  CloseHandle(other);
}

}  // namespace
