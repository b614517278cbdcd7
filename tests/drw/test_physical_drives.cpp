// GetPhysicalDrives: one box per whole disk the host lists, then silence at
// the end of the list, or the error box for any other failure.
#include <gtest/gtest.h>

#include <fstream>

#include "drw/sector_editor.h"
#include "platform/drive_map.h"
#include "platform/syscalls.h"
#include "platform/user32/message_box.h"
#include "rawio/physical_drives.h"
#include "tests/fixtures/temp_dir.h"

using namespace volumar;

namespace {
class PhysicalDrives : public ::testing::Test {
 protected:
  void SetUp() override {
    win::set_message_box_sink([this](const win::MessageBoxRequest& r) {
      boxes_.push_back(r);
      return win::IDOK;
    });
  }
  void TearDown() override {
    win::set_message_box_sink({});
    win::DriveMap::use_system_physical_drives();
  }
  std::filesystem::path disk(const char* name, std::uintmax_t bytes) {
    auto p = dir_.file(name);
    std::ofstream(p, std::ios::binary).close();
    std::filesystem::resize_file(p, bytes);
    return p;
  }
  fixtures::TempDir dir_;
  std::vector<win::MessageBoxRequest> boxes_;
};
}  // namespace

TEST_F(PhysicalDrives, OneBoxPerDiskInOrderAndNoErrorAtTheEnd) {
  const std::uintmax_t cylinder = 255ull * 63 * 512;
  win::DriveMap::set_physical_drives({disk("d0.img", 1023 * cylinder).string(), disk("d1.img", 2 * cylinder).string()});
  clsQzVolmDrwA::create()->GetPhysicalDrives();
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(
      boxes_[0].text,
      "Cylinders : 1023\r\nMediaType : 12\r\nTracksPerCylinder : 255\r\nSectorsPerTrack : 63\r\nBytesPerSector : 512");
  EXPECT_EQ(boxes_[0].style, win::MB_OK);
  EXPECT_EQ(boxes_[1].text.substr(0, 14), "Cylinders : 2\r");
}

TEST_F(PhysicalDrives, ARefusedOpenShowsTheSystemsTextInAStopBox) {
  win::DriveMap::set_physical_drives({disk("d0.img", 1 << 20).string()});
  win::SyscallFaults faults;
  faults.fail_open(1, EACCES);
  clsQzVolmDrwA::create()->GetPhysicalDrives();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].style, win::MB_OK | win::MB_ICONCRITICAL);
  EXPECT_EQ(boxes_[0].text, "GetPhysicalDrives error:\r\nAccess is denied.\r\n");
  win::LONG unknown = 0x7FFF1234;
  EXPECT_EQ(GetSystemErrorText(unknown), "unknown error");
}

TEST_F(PhysicalDrives, NoDisksMeansNoBoxes) {
  win::DriveMap::set_physical_drives({});
  clsQzVolmDrwA::create()->GetPhysicalDrives();
  EXPECT_TRUE(boxes_.empty());
}
