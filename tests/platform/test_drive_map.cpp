// Windows path parsing, resolution through the drive map, the disk list.
#include <filesystem>

#include "platform/drive_map.h"
#include "platform/win_path.h"
#include "platform_test_support.h"

using namespace win;

namespace {

class DriveMapping : public platform_test::PlatformTest {};

TEST(WinPath, DeviceNamesAreRecognisedWithoutCase) {
  WinPath p = parse_win_path("\\\\.\\c:");
  EXPECT_EQ(p.kind, PathKind::Volume);
  EXPECT_EQ(p.letter, 'C');
  p = parse_win_path("\\\\.\\PhysicalDrive12");
  EXPECT_EQ(p.kind, PathKind::PhysicalDrive);
  EXPECT_EQ(p.number, 12u);
  EXPECT_EQ(parse_win_path("\\\\.\\PHYSICALDRIVE01").kind, PathKind::OtherDevice);  // no leading zeros
  EXPECT_EQ(parse_win_path("\\\\.\\PHYSICALDRIVE").kind, PathKind::OtherDevice);
  EXPECT_EQ(parse_win_path("\\\\.\\vwin32").kind, PathKind::Vwin32);
  p = parse_win_path("\\\\?\\D:\\x\\y");  // a file in the device namespace
  EXPECT_EQ(p.kind, PathKind::Drive);
  EXPECT_EQ(p.components, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(parse_win_path("\\\\server\\share").kind, PathKind::Unc);
}

TEST(WinPath, ComponentsAreNormalisedLikeTheSystemDoes) {
  WinPath p = parse_win_path("C:\\a\\.\\b\\..\\..\\..\\c/d\\\\e.");
  EXPECT_EQ(p.kind, PathKind::Drive);
  EXPECT_TRUE(p.rooted);
  EXPECT_EQ(p.components, (std::vector<std::string>{"c", "d", "e"}));  // never above the root
  p = parse_win_path("..\\x\\..\\..\\y");
  EXPECT_EQ(p.kind, PathKind::Relative);
  EXPECT_EQ(p.components, (std::vector<std::string>{"..", "..", "y"}));
  p = parse_win_path("c:file");
  EXPECT_FALSE(p.rooted);
  EXPECT_EQ(parse_win_path("\\top").kind, PathKind::Rooted);
  for (const char* bad : {"C:\\a?b", "C:\\a*", "C:\\x:y", "C:\\<", "1:\\x"}) {
    EXPECT_EQ(parse_win_path(bad).kind, PathKind::Invalid) << bad;
    EXPECT_EQ(parse_win_path(bad).error, ERROR_INVALID_NAME) << bad;
  }
  EXPECT_EQ(parse_win_path("").kind, PathKind::Invalid);
}

TEST_F(DriveMapping, PathsResolveThroughTheDrivesFolder) {
  DriveMap::map('c', platform_test::folder_only("/srv/c/"));
  VolumeMapping raw_only;
  raw_only.path = "/dev/null";
  DriveMap::map('D', raw_only);
  ResolvedPath r = resolve_path("C:\\Dir\\..\\..\\etc\\passwd");
  EXPECT_EQ(r.error, 0u);
  EXPECT_EQ(r.host, "/srv/c/etc/passwd");  // cannot climb out of the folder
  EXPECT_EQ(r.letter, 'C');
  EXPECT_EQ(resolve_path("c:").host, "/srv/c/");
  EXPECT_EQ(resolve_path("sub\\f.txt").host, "sub/f.txt");
  EXPECT_EQ(resolve_path("sub\\f.txt").letter, 0);
  EXPECT_EQ(resolve_path(".").host, ".");
  EXPECT_EQ(resolve_path("D:\\x").error, ERROR_NOT_READY);  // a drive without a folder
  EXPECT_EQ(resolve_path("Q:\\x").error, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(resolve_path("\\x").error, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(resolve_path("\\\\.\\C:").error, ERROR_PATH_NOT_FOUND);

  DriveMap::set_read_only(true);
  EXPECT_TRUE(resolve_path("C:\\x").read_only);
  EXPECT_TRUE(DriveMap::is_read_only('c'));
  EXPECT_THROW(DriveMap::map('1', VolumeMapping()), std::invalid_argument);
  DriveMap::unmap('C');
  EXPECT_FALSE(DriveMap::find('C'));
}

TEST_F(DriveMapping, TheHostsDiskListReplacesTheMachinesOwn) {
  DriveMap::set_physical_drives({"/images/a.img", "/images/b.img"});
  EXPECT_EQ(DriveMap::physical_drives().size(), 2u);
  DriveMap::use_system_physical_drives();
  for (const std::string& disk : DriveMap::physical_drives()) {
    std::string name = std::filesystem::path(disk).filename().string();
    EXPECT_EQ(disk.rfind("/dev/", 0), 0u) << disk;
    EXPECT_FALSE(std::filesystem::exists("/sys/class/block/" + name + "/partition")) << disk;
    EXPECT_NE(name.rfind("loop", 0), 0u) << disk;
  }
}

}  // namespace
