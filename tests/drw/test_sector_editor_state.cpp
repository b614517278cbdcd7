// The sector editor's own state: zero values, plain properties, shared
// references, and members that this build does not provide.
#include <gtest/gtest.h>

#include "drw/sector_editor.h"
#include "frame/runtime_error.h"
#include "volume/drive_info.h"

using namespace volumar;

TEST(SectorEditorState, AFreshObjectStartsAtZeroValues) {
  auto drw = clsQzVolmDrwA::create();
  EXPECT_EQ(drw->get_DrivePP(), u"");
  EXPECT_EQ(drw->get_DiskSectionPP(), drwDiskSectionMBR);
  EXPECT_EQ(drw->get_MinSectorPP(), 0);
  EXPECT_EQ(drw->get_MaxSectorPP(), 0);
  EXPECT_EQ(drw->get_ClusterFoundPP(), 0);
  EXPECT_FALSE(drw->get_EnablePP());
  EXPECT_EQ(drw->get_FatCopyStartsAtPP(), nullptr);
  EXPECT_EQ(drw->get_FSO(), nullptr);
  // Through dispatch, an unset object property is Nothing (an Object variant).
  Variant fso = win::get_property(drw, u"FSO");
  EXPECT_EQ(fso.type(), win::VarType::Object);
  EXPECT_EQ(fso.object_value(), nullptr);
  EXPECT_EQ(win::get_property(drw, u"WorkingPP"), Variant(false));
}

TEST(SectorEditorState, PlainPutsStoreWithoutChecksAndLeaveTheDriveRecordAlone) {
  auto drw = clsQzVolmDrwA::create();
  DriveInfo().BytesPerSector = 512;
  win::put_property(drw, u"BytesPerSectorPP", Variant(Long{1024}));
  EXPECT_EQ(win::get_property(drw, u"BytesPerSectorPP").integer_value(), 1024);
  EXPECT_EQ(DriveInfo().BytesPerSector, 512);
  for (const char16_t* name : {u"ClusterFoundPP", u"MinSectorPP", u"MaxSectorPP"}) {
    win::put_property(drw, name, Variant(Long{-2147483647 - 1}));
    EXPECT_EQ(win::get_property(drw, name).long_value(), -2147483647 - 1);
  }
  // A put converts with the runtime's rules: a Byte property refuses 256.
  EXPECT_THROW(win::put_property(drw, u"SectorsPerClusterPP", Variant(Long{256})), RuntimeError);
  win::put_property(drw, u"TagPP", Variant(Long{42}));
  EXPECT_EQ(drw->get_TagPP(), u"42");
}

TEST(SectorEditorState, PutrefSharesTheCallersCollection) {
  auto drw = clsQzVolmDrwA::create();
  auto mine = Collection::create();
  mine->Add(Variant(Long{1}));
  win::putref_property(drw, u"FatCopyStartsAtPP", mine);
  mine->Add(Variant(Long{10}));
  Variant back = win::get_property(drw, u"FatCopyStartsAtPP");
  auto theirs = std::dynamic_pointer_cast<Collection>(back.object_value());
  ASSERT_TRUE(theirs);
  EXPECT_EQ(theirs.get(), mine.get());
  EXPECT_EQ(theirs->Count(), 2);
  // A put without Set is not how an object property is assigned.
  EXPECT_THROW(win::put_property(drw, u"FatCopyStartsAtPP", Variant(ObjectRef(mine))), RuntimeError);
}
