// Disk sections and moves on a 1.44 MB floppy's geometry, and the quirks
// clients rely on: bounds tested once, no clipping, ignored overflow.
#include <gtest/gtest.h>

#include "drw/sector_editor.h"
#include "frame/runtime_error.h"
#include "volume/drive_info.h"

using namespace volumar;

namespace {
class Navigation : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDriveInfo();
    DriveInfoRecord& d = DriveInfo();
    d.ReservedSectors = 1;
    d.SectorsPerFat = 9;
    d.RootDirectoryStart = 19;
    d.RootDirectoryLength = 13;
    d.DataAreaStart = 33;
    d.TotalSectors = 2880;
    drw_->put_SectorsPerClusterPP(1);
    drw_->put_TotalSectorsPP(2880);
  }
  std::pair<Long, Long> bounds(DRWDiskSectionConstants s) {
    drw_->put_DiskSectionPP(s);
    return {drw_->get_MinSectorPP(), drw_->get_MaxSectorPP()};
  }
  std::shared_ptr<clsQzVolmDrwA> drw_ = clsQzVolmDrwA::create();
};
}  // namespace

TEST_F(Navigation, SectionsOfAFloppy) {
  EXPECT_EQ(bounds(drwDiskSectionMBR), (std::pair<Long, Long>{0, 0}));
  EXPECT_FALSE(drw_->get_EnablePP());
  EXPECT_EQ(bounds(drwDiskSectionFATCopy1), (std::pair<Long, Long>{1, 9}));
  EXPECT_EQ(bounds(drwDiskSectionFATCopy2), (std::pair<Long, Long>{10, 18}));
  EXPECT_EQ(bounds(drwDiskSectionRootDirectory), (std::pair<Long, Long>{19, 32}));
  drw_->put_ClusterFoundPP(5);
  EXPECT_EQ(bounds(drwDiskSectionDataEntry), (std::pair<Long, Long>{33, 2879}));
  EXPECT_TRUE(drw_->get_EnablePP());
  EXPECT_EQ(drw_->get_ClusterFoundPP(), 5);  // a section change does not move the editor
  // Any other value is stored, clears EnablePP and leaves the bounds.
  win::put_property(drw_, u"DiskSectionPP", Variant(Long{7}));
  EXPECT_EQ(win::get_property(drw_, u"DiskSectionPP").long_value(), 7);
  EXPECT_FALSE(drw_->get_EnablePP());
  EXPECT_EQ(drw_->get_MinSectorPP(), 33);
  EXPECT_EQ(drw_->get_MaxSectorPP(), 2879);
}

TEST_F(Navigation, MovesTestTheBoundsOnceAndDoNotClip) {
  drw_->put_DiskSectionPP(drwDiskSectionDataEntry);
  drw_->put_ClusterFoundPP(2879);
  drw_->NextSectorPP();
  drw_->NextClusterPP();
  EXPECT_EQ(drw_->get_ClusterFoundPP(), 2879);
  drw_->put_ClusterFoundPP(33);
  drw_->PreviousSectorPP();
  drw_->PreviousClusterPP();
  EXPECT_EQ(drw_->get_ClusterFoundPP(), 33);
  drw_->LastClusterPP();
  EXPECT_EQ(drw_->get_ClusterFoundPP(), 2879);
  Variant half = drw_->HalfClusterPP();
  EXPECT_EQ(half.type(), win::VarType::Double);
  EXPECT_EQ(half.double_value(), 1439.5);
  EXPECT_EQ(drw_->get_ClusterFoundPP(), 2879);

  drw_->put_SectorsPerClusterPP(4);
  drw_->put_MaxSectorPP(100);
  drw_->put_ClusterFoundPP(99);
  drw_->NextClusterPP();
  EXPECT_EQ(drw_->get_ClusterFoundPP(), 103);
  drw_->put_MinSectorPP(50);
  drw_->put_ClusterFoundPP(51);
  drw_->PreviousClusterPP();
  EXPECT_EQ(drw_->get_ClusterFoundPP(), 47);
}

TEST_F(Navigation, OverflowIsIgnoredAndTheCallSucceeds) {
  drw_->put_MaxSectorPP(2147483647);
  drw_->put_ClusterFoundPP(2147483646);
  drw_->put_SectorsPerClusterPP(8);
  Variant r = win::call_method(drw_, u"NextClusterPP");
  EXPECT_TRUE(r.is_empty());
  EXPECT_EQ(drw_->get_ClusterFoundPP(), 2147483646);
  drw_->put_TotalSectorsPP(-2147483647 - 1);
  EXPECT_TRUE(drw_->HalfClusterPP().is_empty());
  // A fresh editor: no cluster size, so cluster moves change nothing.
  auto fresh = clsQzVolmDrwA::create();
  fresh->put_TotalSectorsPP(2880);
  fresh->put_MaxSectorPP(10);
  fresh->NextClusterPP();
  EXPECT_EQ(fresh->get_ClusterFoundPP(), 0);
  fresh->LastClusterPP();
  EXPECT_EQ(fresh->get_ClusterFoundPP(), 2880);
}

TEST_F(Navigation, SectorDataLocationJoinsDriveSectionSectorAndTag) {
  drw_->put_DiskSectionPP(drwDiskSectionRootDirectory);
  drw_->put_ClusterFoundPP(513);
  drw_->put_TagPP(u"x");
  EXPECT_EQ(win::call_method(drw_, u"SectorDataLocation").string_value(), u",3,513,x");
  drw_->put_ClusterFoundPP(-4);
  drw_->put_TagPP(u"");
  EXPECT_EQ(drw_->SectorDataLocation(), u",3,-4,");
}

TEST_F(Navigation, ASectionThatOverflowsKeepsTheStepsBeforeIt) {
  DriveInfo().ReservedSectors = 2147483000;
  DriveInfo().SectorsPerFat = 1000;
  EXPECT_THROW(drw_->put_DiskSectionPP(drwDiskSectionFATCopy1), RuntimeError);
  EXPECT_EQ(drw_->get_DiskSectionPP(), drwDiskSectionFATCopy1);
  EXPECT_EQ(drw_->get_MinSectorPP(), 2147483000);
}
