// A volume's descriptor kept between opens: what is read and written must
// be exactly what fresh opens would give.
#include "platform/descriptor_reuse.h"

#include <unistd.h>

#include <fstream>

#include "platform/kernel32_files.h"
#include "platform_test_support.h"

using namespace win;
using platform_test::pattern;

namespace {

class DescriptorReuse : public platform_test::PlatformTest {
 protected:
  void SetUp() override { set_descriptor_reuse(true); }
  void TearDown() override {
    set_descriptor_reuse(false);
    PlatformTest::TearDown();
  }

  static BYTE byte_at(std::uint64_t pos, DWORD access = GENERIC_READ | GENERIC_WRITE) {
    HANDLE h = open_path("\\\\.\\C:", access);
    SetFilePointer(h, static_cast<LONG>(pos), nullptr, FILE_BEGIN);
    BYTE b = 0;
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(h, &b, 1, &got, nullptr));
    CloseHandle(h);
    return b;
  }

  static std::size_t open_descriptors() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
  }
};

TEST_F(DescriptorReuse, AReopenedVolumeIsTheFileAsItIsNow) {
  const auto image = raw_image("a.img", 64 * 1024);
  map('C', image);
  EXPECT_EQ(byte_at(100), pattern(100));
  // Rewritten in place, through another handle.
  HANDLE h = open_path("\\\\.\\C:");
  const BYTE value = 0x5A;
  DWORD put = 0;
  SetFilePointer(h, 100, nullptr, FILE_BEGIN);
  ASSERT_TRUE(WriteFile(h, &value, 1, &put, nullptr));
  CloseHandle(h);
  EXPECT_EQ(byte_at(100), 0x5A);
  // Replaced by another file under the same name.
  const auto other = raw_image("b.img", 64 * 1024);
  {
    std::fstream f(other, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(100);
    f.put(static_cast<char>(0xC3));
  }
  std::filesystem::rename(other, image);
  EXPECT_EQ(byte_at(100, GENERIC_READ), 0xC3);
  EXPECT_EQ(byte_at(100), 0xC3);
  // Made read-only: a write opens write-protected again.
  std::filesystem::permissions(image, std::filesystem::perms::owner_read);
  if (::geteuid() != 0) {
    h = open_path("\\\\.\\C:");
    SetFilePointer(h, 100, nullptr, FILE_BEGIN);
    EXPECT_FALSE(WriteFile(h, &value, 1, &put, nullptr));
    CloseHandle(h);
  }
}

TEST_F(DescriptorReuse, ALockedRangeIsFreedWhenItsHandleCloses) {
  map('C', raw_image("a.img", 64 * 1024));
  HANDLE h = open_path("\\\\.\\C:");
  ASSERT_TRUE(LockFile(h, 0, 0, 512, 0));
  CloseHandle(h);
  HANDLE again = open_path("\\\\.\\C:");
  HANDLE other = open_path("\\\\.\\C:");
  EXPECT_TRUE(LockFile(other, 0, 0, 512, 0));
  EXPECT_TRUE(UnlockFile(other, 0, 0, 512, 0));
  CloseHandle(other);
  CloseHandle(again);
}

TEST_F(DescriptorReuse, OnlyAFewDescriptorsAreKept) {
  const std::size_t before = open_descriptors();
  for (int i = 0; i < 20; ++i) {
    map('C', raw_image("v" + std::to_string(i) + ".img", 4096));
    EXPECT_EQ(byte_at(7), pattern(7));
  }
  EXPECT_LE(open_descriptors(), before + 4);
  set_descriptor_reuse(false);
  EXPECT_EQ(open_descriptors(), before);
}

}  // namespace
