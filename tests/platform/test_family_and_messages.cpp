// GetVersionExA per family, and the system message texts.
#include <cstring>

#include "platform/family.h"
#include "platform/format_message.h"
#include "platform/last_error.h"
#include "platform_test_support.h"

using namespace win;

namespace {

class FamilyAndMessages : public platform_test::PlatformTest {};

TEST_F(FamilyAndMessages, EachFamilyReportsItsPlatformAndVersion) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(info.dwMajorVersion, 5u);
  EXPECT_EQ(info.dwMinorVersion, 1u);
  EXPECT_EQ(info.dwOSVersionInfoSize, 148u);

  set_family(Family::Win9x);
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.dwMinorVersion, 10u);
  EXPECT_EQ(info.dwBuildNumber >> 16, 0x040Au);  // 9x keeps the version in the high word
}

TEST_F(FamilyAndMessages, OnlyTheKnownRecordSizesAreAccepted) {
  OSVERSIONINFOEXA ex{};
  auto* info = reinterpret_cast<OSVERSIONINFOA*>(&ex);
  for (DWORD size : {0u, 147u, 149u, 155u}) {
    ex.dwOSVersionInfoSize = size;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExA(info)) << size;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  ex.dwOSVersionInfoSize = sizeof ex;
  EXPECT_TRUE(GetVersionExA(info));
  EXPECT_EQ(ex.wServicePackMajor, 3);
  set_family(Family::Win9x);
  EXPECT_FALSE(GetVersionExA(info));  // 9x has no extended record
  EXPECT_FALSE(GetVersionExA(nullptr));
}

TEST_F(FamilyAndMessages, AHostCanMakeGetVersionFail) {
  set_get_version_failure(ERROR_NOT_ENOUGH_MEMORY);
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  EXPECT_FALSE(GetVersionExA(&info));
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(info.dwPlatformId, 0u);
}

TEST_F(FamilyAndMessages, SystemTextsAsTheSystemWritesThem) {
  char buf[256];
  std::memset(buf, ' ', sizeof buf);
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND, 0,
                           buf, 256, nullptr);
  EXPECT_EQ(std::string(buf, n), "The system cannot find the file specified.\r\n");
  EXPECT_EQ(buf[n], '\0');
  n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, buf, 256, nullptr);
  EXPECT_EQ(std::string(buf, n), "Access is denied.\r\n");

  SetLastError(0);
  EXPECT_EQ(
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 0xDEAD, 0, buf, 256, nullptr),
      0u);
  EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
  // "Access is denied.\r\n" is 19 characters: 19 do not fit with the zero, 20 do.
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, buf, 19, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, buf, 20, nullptr), 19u);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "text", 0, 0, buf, 256, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0x0407, buf, 256, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_LANG_NOT_FOUND);
  for (DWORD code : {ERROR_NOT_READY, ERROR_WRITE_PROTECT, ERROR_SECTOR_NOT_FOUND, ERROR_LOCK_VIOLATION,
                     ERROR_UNRECOGNIZED_VOLUME, ERROR_INVALID_PARAMETER}) {
    n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buf, 256, nullptr);
    EXPECT_GT(n, 2u) << code;
    EXPECT_EQ(std::string(buf + n - 2, 2), "\r\n") << code;
  }
}

}  // namespace
