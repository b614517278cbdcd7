// Selecting a drive through DrivePP and working on its clusters with
// FindCluster, on volumes made by mkfs.fat and by the fixture builder.
#include <gtest/gtest.h>

#include "drw/sector_editor.h"
#include "frame/runtime_error.h"
#include "imaging/fat_image_builder.h"
#include "platform/user32/message_box.h"
#include "tests/fixtures/mapped_drive.h"
#include "tests/fixtures/peer_tools.h"
#include "tests/fixtures/temp_dir.h"
#include "volume/drive_info.h"

using namespace volumar;
using fixtures::FamilyScope;
using fixtures::MappedDrive;

namespace {

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win::set_message_box_sink([this](const win::MessageBoxRequest& r) {
      boxes_.push_back(r);
      return win::IDOK;
    });
  }
  void TearDown() override { win::set_message_box_sink({}); }
  std::vector<std::string> texts() const {
    std::vector<std::string> t;
    for (const auto& b : boxes_) t.push_back(b.text);
    return t;
  }

  fixtures::TempDir dir_;
  std::vector<win::MessageBoxRequest> boxes_;
  std::shared_ptr<clsQzVolmDrwA> drw_ = clsQzVolmDrwA::create();
};

}  // namespace

TEST_F(EditorTest, SelectingAFatVolumeFillsTheSnapshotAndLeavesTheDataSectionUnbounded) {
  VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat");
  auto image = dir_.file("v.img");
  fixtures::MkfsOptions opt;
  opt.fat_bits = 16;
  opt.size_kb = 16384;
  opt.serial = 0x8000ABCD;
  ASSERT_TRUE(fixtures::make_fat_image(image, opt).ok());
  for (auto family : {win::Family::NT, win::Family::Win9x}) {
    FamilyScope scope(family);
    MappedDrive drive('C', image);
    win::put_property(drw_, u"DrivePP", Variant(String(u"c:\\")));
    EXPECT_TRUE(boxes_.empty()) << (boxes_.empty() ? "" : boxes_[0].text);
    EXPECT_EQ(drw_->get_DrivePP(), u"c:\\");
    EXPECT_FALSE(drw_->get_WorkingPP());
    EXPECT_EQ(drw_->get_VolumarPP(), u"FAT16");
    EXPECT_EQ(drw_->get_VolumeSerialHexPP(), u"&H8000ABCD");
    EXPECT_TRUE(drw_->get_DriveReadyPP());
    auto starts = drw_->get_FatCopyStartsAtPP();
    ASSERT_TRUE(starts);
    ASSERT_EQ(starts->Count(), drw_->get_NumberOfFatCopiesPP());
    EXPECT_EQ(starts->Item(Variant(Long{1})).long_value(), drw_->get_ReservedSectorsPP());
    EXPECT_EQ(starts->Item(Variant(Long{2})).long_value(), drw_->get_ReservedSectorsPP() + drw_->get_SectorsPerFATPP());
    EXPECT_EQ(drw_->get_DiskSectionPP(), drwDiskSectionDataEntry);
    EXPECT_EQ(drw_->get_MaxSectorPP(), -1);
    // Storing the section again gives the new volume's range.
    drw_->put_DiskSectionPP(drwDiskSectionDataEntry);
    EXPECT_EQ(drw_->get_MaxSectorPP(), drw_->get_TotalSectorsPP() - 1);
  }
}

TEST_F(EditorTest, AFailedSelectionShowsTheReasonThenValidationFailsAndKeepsThePreviousVolume) {
  imaging::FatImageBuilder b(imaging::FatType::fat12);
  auto image = b.write(dir_.file("v.img"));
  MappedDrive drive('D', image);
  drw_->put_DrivePP(u"D");
  ASSERT_EQ(drw_->get_VolumarPP(), u"FAT12");
  boxes_.clear();
  drw_->put_DrivePP(u"");
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].text, "Drive not entered");
  EXPECT_EQ(boxes_[0].caption, "Not Entered...");
  EXPECT_EQ(boxes_[1].text, "Validation Fails");
  EXPECT_EQ(boxes_[1].style & win::MB_BUTTONS_MASK, win::MB_OK);
  EXPECT_EQ(drw_->get_DrivePP(), u"");
  EXPECT_EQ(drw_->get_VolumarPP(), u"FAT12");
  EXPECT_EQ(DriveInfo().FsType, u"FAT12");

  boxes_.clear();
  MappedDrive missing('E', dir_.file("no-such.img"));
  drw_->put_DrivePP(u"E");
  EXPECT_EQ(texts(), (std::vector<std::string>{"Drive not ready", "Validation Fails"}));
  EXPECT_EQ(drw_->get_DrivePP(), u"E");
}

TEST_F(EditorTest, ClearEmptiesTheSharedRecordButNotOtherEditorsSnapshots) {
  imaging::FatImageBuilder b(imaging::FatType::fat16);
  b.volume_label("SNAPSHOT");
  auto image = b.write(dir_.file("v.img"));
  MappedDrive drive('F', image);
  drw_->put_DrivePP(u"F:");
  auto other = clsQzVolmDrwA::create();
  other->put_DrivePP(u"F:");
  drw_->put_TagPP(u"tag");
  drw_->put_CryptographyPP(true);
  drw_->ClearPP();
  EXPECT_EQ(drw_->get_TagPP(), u"");
  EXPECT_FALSE(drw_->get_CryptographyPP());
  EXPECT_EQ(drw_->get_FatCopyStartsAtPP(), nullptr);
  EXPECT_EQ(drw_->get_VolumeLabelPP(), u"SNAPSHOT");
  EXPECT_EQ(other->get_BytesPerSectorPP(), 512);
  EXPECT_EQ(DriveInfo().BytesPerSector, 0);
  EXPECT_EQ(drw_->get_MaxSectorPP(), -1);
  EXPECT_EQ(drw_->get_MinSectorPP(), DriveInfo().DataAreaStart);
}

namespace {

// A FAT16 volume, 4 sectors per cluster; a file in clusters 3 to 6.
class ClusterSearch : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    layout_ = builder_.layout();
    std::vector<std::uint8_t> file(4 * layout_.cluster_bytes(), 'f');
    builder_.add_file_at("USED.BIN", file, 3);
    image_ = builder_.write(dir_.file("v.img"));
    drive_ = std::make_unique<MappedDrive>('G', image_);
    drw_->put_DrivePP(u"G");
  }
  Long first_sector(std::uint32_t cluster) const { return static_cast<Long>(layout_.cluster_first_sector(cluster)); }
  std::vector<std::uint8_t> entry(unsigned copy, std::uint32_t cluster) const {
    return fixtures::file_bytes(image_,
                                layout_.sector_offset(layout_.fat_first_sector(copy)) + layout_.fat_offset(cluster), 2);
  }
  String find(DRWFindClusterConstants action) { return drw_->FindCluster(action); }  // Index is only read

  imaging::FatImageBuilder builder_{imaging::FatType::fat16};
  imaging::FatLayout layout_;
  std::filesystem::path image_;
  std::unique_ptr<MappedDrive> drive_;
};

}  // namespace

TEST_F(ClusterSearch, FindFirstAndNextFreeMoveToTheClustersFirstSector) {
  drw_->put_ClusterFoundPP(0);
  EXPECT_EQ(find(drwFindClusterFreeFindFirst), u"");
  EXPECT_EQ(drw_->get_CaptionPP(), u" - Searching for first free cluster...");
  EXPECT_EQ(drw_->get_ClusterFoundPP(), first_sector(7));
  EXPECT_EQ(drw_->get_DiskSectionPP(), drwDiskSectionDataEntry);
  EXPECT_EQ(drw_->get_MaxSectorPP(), drw_->get_TotalSectorsPP() - 1);
  drw_->put_ClusterFoundPP(first_sector(7) + 2);  // inside cluster 7: the next one is 8
  EXPECT_EQ(find(drwFindClusterFreeFindNext), u"");
  EXPECT_EQ(drw_->get_ClusterFoundPP(), first_sector(8));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(ClusterSearch, MarkBadThenFreeWritesBothCopiesAndChecksClean) {
  drw_->put_ClusterFoundPP(first_sector(9) + 1);
  EXPECT_EQ(find(drwFindClusterFreeMarkBad), u"");
  EXPECT_EQ(drw_->get_CaptionPP(), u" - marking cluster 9 as bad...");
  EXPECT_EQ(drw_->get_ClusterFoundPP(), first_sector(9));
  for (unsigned copy = 0; copy < 2; ++copy) EXPECT_EQ(entry(copy, 9), (std::vector<std::uint8_t>{0xF7, 0xFF}));
  auto report = fixtures::fsck_check(image_);
  ASSERT_TRUE(report.run.started) << report.run.describe();
  EXPECT_TRUE(report.clean) << report.output;
  drw_->put_ClusterFoundPP(0);
  EXPECT_EQ(find(drwFindClusterBadFindFirst), u"");
  EXPECT_EQ(drw_->get_ClusterFoundPP(), first_sector(9));
  EXPECT_EQ(find(drwFindClusterBadMarkFree), u"");
  EXPECT_EQ(drw_->get_CaptionPP(), u" - marking cluster 9 as free...");
  for (unsigned copy = 0; copy < 2; ++copy) EXPECT_EQ(entry(copy, 9), (std::vector<std::uint8_t>{0, 0}));
  EXPECT_EQ(find(drwFindClusterBadFindNext), u"0");
}

TEST_F(ClusterSearch, NothingFoundShowsTheStopBoxAndLeavesTheEditorWhereItWas) {
  drw_->put_ClusterFoundPP(first_sector(5));
  EXPECT_EQ(find(drwFindClusterBadFindFirst), u"0");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Nothing found!");
  EXPECT_EQ(boxes_[0].caption, "ZEV DRW...");
  EXPECT_EQ(boxes_[0].style, win::MB_OK | win::MB_ICONCRITICAL);
  EXPECT_EQ(drw_->get_ClusterFoundPP(), first_sector(5));
  drw_->put_CaptionPP(u"kept");
  auto beyond = static_cast<DRWFindClusterConstants>(8);
  EXPECT_EQ(drw_->FindCluster(beyond), u"0");
  EXPECT_EQ(drw_->get_CaptionPP(), u"kept");
}

TEST_F(ClusterSearch, WriteDataGoesToTheCurrentSectorUnencipheredThenMovesToItsCluster) {
  const Long sector = first_sector(10) + 2;
  drw_->put_ClusterFoundPP(sector);
  drw_->put_CryptographyPP(true);
  drw_->put_DataPP(u"Plain 123");
  EXPECT_EQ(find(drwFindClusterFreeWriteData), u"");
  EXPECT_EQ(drw_->get_CaptionPP(), u" - Writting data...");
  auto bytes = fixtures::file_bytes(image_, layout_.sector_offset(sector), 9);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Plain 123");
  EXPECT_EQ(drw_->get_ClusterFoundPP(), first_sector(10));
  drw_->put_DataPP(u"");
  EXPECT_THROW(find(drwFindClusterBadWriteData), RuntimeError);
}

TEST_F(EditorTest, WithNoVolumeLoadedFindClusterFailsBeforeTheCaptionChanges) {
  ResetDriveInfo();
  drw_->put_CaptionPP(u"before");
  try {
    auto action = drwFindClusterFreeFindFirst;
    drw_->FindCluster(action);
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), 11);
  }
  EXPECT_EQ(drw_->get_CaptionPP(), u"before");
}
