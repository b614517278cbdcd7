// Module state per apartment: one per thread, shared by the objects of it.
#include <gtest/gtest.h>

#include <thread>

#include "drw/sector_editor.h"
#include "frame/root_object.h"
#include "volume/drive_info.h"

using namespace volumar;

TEST(ApartmentState, EditorsOnOneThreadShareTheDriveRecordButNotAcrossThreads) {
  auto first = clsQzVolmDrwA::create();
  auto second = clsQzVolmDrwA::create();
  DriveInfo().BytesPerSector = 2048;
  DriveInfo().FsType = u"FAT16";
  const DriveInfoRecord* here = &DriveInfo();

  const DriveInfoRecord* there = nullptr;
  Integer seen_there = -1;
  std::thread other([&] {
    auto third = clsQzVolmDrwA::create();
    seen_there = DriveInfo().BytesPerSector;
    DriveInfo().BytesPerSector = 512;
    there = &DriveInfo();
  });
  other.join();
  EXPECT_EQ(seen_there, 0);  // a new apartment starts empty
  EXPECT_NE(here, there);
  EXPECT_EQ(DriveInfo().BytesPerSector, 2048);

  // Editor properties are the object's own snapshot, not the record.
  first->put_BytesPerSectorPP(1024);
  EXPECT_EQ(first->get_BytesPerSectorPP(), 1024);
  EXPECT_EQ(second->get_BytesPerSectorPP(), 0);
  EXPECT_EQ(DriveInfo().BytesPerSector, 2048);
}

TEST(ApartmentState, ResetKeepsTheBootSectorAndTheLastDump) {
  DriveInfo().BootSector = win::Bytes(512, 0xEB);
  DriveInfo().SectorDataFormatted = u"dump";
  DriveInfo().TotalSectors = 2880;
  DriveInfo().Fat12Table = {0xFF0, 0xFFF};
  DriveInfo().DataAreaStart = 33;
  ResetDriveInfo();
  EXPECT_EQ(DriveInfo().TotalSectors, 0);
  EXPECT_EQ(DriveInfo().DataAreaStart, 0);
  EXPECT_TRUE(DriveInfo().Fat12Table.empty());
  EXPECT_TRUE(DriveInfo().FsType.empty());
  EXPECT_EQ(DriveInfo().BootSector.size(), 512u);
  EXPECT_EQ(DriveInfo().SectorDataFormatted, u"dump");
}

TEST(ApartmentState, TheBuddyObjectIsPerThread) {
  auto root = std::make_shared<clsQzVolumarA>();
  auto buddy = clsQzVolmDrwA::create();
  root->putref_BuddyObjectGlobal(buddy);
  auto other_root = std::make_shared<clsQzVolumarA>();
  EXPECT_EQ(other_root->get_BuddyObjectGlobal(), ObjectRef(buddy));
  ObjectRef seen_there = buddy;
  std::thread([&] { seen_there = std::make_shared<clsQzVolumarA>()->get_BuddyObjectGlobal(); }).join();
  EXPECT_EQ(seen_there, nullptr);
  root->putref_BuddyObjectGlobal(nullptr);
}
