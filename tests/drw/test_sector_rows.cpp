// Reading sectors as row texts from volumes made by mkfs.fat and mcopy, on
// both families: a file's first cluster shows the file's bytes; the row
// bounds, the cipher, odd sector sizes and the failure paths.
#include <gtest/gtest.h>

#include <functional>

#include "cipher/string_cipher.h"
#include "frame/runtime_error.h"
#include "tests/drw/sector_volume_support.h"

using namespace drw_test;

namespace {

class SectorRows : public ::testing::TestWithParam<EditorCase> {
 protected:
  void SetUp() override {
    VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "mcopy", "fsstat", "istat", "ifind");
    auto [shape, family] = GetParam();
    shape_ = shape;
    cluster_bytes_ = shape.sector_size * shape.cluster_sectors;
    ASSERT_NO_FATAL_FAILURE(vol_.make(shape, pattern_bytes(cluster_bytes_ * 2 + 100), family));
  }
  VolumeShape shape_{};
  unsigned cluster_bytes_ = 0;
  EditorVolume vol_;
};

}  // namespace

TEST_P(SectorRows, EverySectorOfTheFirstClusterShowsTheFilesBytes) {
  auto& drw = vol_.drw();
  const unsigned bps = shape_.sector_size;
  for (unsigned s = 0; s < shape_.cluster_sectors; ++s) {
    drw.put_ClusterFoundPP(vol_.first_sector() + static_cast<Long>(s));
    CollectionRef rows = drw.ReadSectorDataWhole();
    ASSERT_EQ(rows->Count(), static_cast<Long>(bps / 16));
    String sector_text;
    for (unsigned n = 0; n < bps / 16; ++n) {
      const String want = expected_row(vol_.content(), s * bps + n * 16);
      EXPECT_EQ(rows->Item(Variant(static_cast<Long>(n + 1))).string_value(), want) << "sector " << s << " row " << n;
      EXPECT_EQ(rows->Item(Variant(u"key" + S(std::to_string(n * 16)))).string_value(), want);
      sector_text += u"\r\n" + want;
    }
    EXPECT_EQ(drw.get_DataPP(), sector_text);
    EXPECT_EQ(drw.get_DataPP().size(), bps / 16 * 18);
    auto off = drwBRN2;
    EXPECT_EQ(drw.ReadSectorData(off), rows->Item(Variant(Long{2})).string_value());
  }
  // The row-offset list does not follow the sector size.
  CollectionRef brn = drw.GetBRNItems();
  ASSERT_EQ(brn->Count(), 32);
  EXPECT_EQ(brn->Item(Variant(Long{1})), Variant(Integer{0}));
  EXPECT_EQ(brn->Item(Variant(Long{32})), Variant(Integer{496}));
}

TEST_P(SectorRows, CipheredRowsReadBackAsPlainText) {
  // A sector holding enciphered text: each letter and digit as its code byte.
  const std::string plain = "Sector 42 of the volume, in cipher: ZEV DRW 0123456789 abcxyz";
  const auto& codes = cipher::substitution_codes();
  std::vector<std::uint8_t> bytes(cluster_bytes_ * 2, 0x20);
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const char c = plain[i];
    const int slot = (c >= '0' && c <= '9')   ? c - '0'
                     : (c >= 'A' && c <= 'Z') ? 10 + c - 'A'
                     : (c >= 'a' && c <= 'z') ? 36 + c - 'a'
                                              : -1;
    bytes[i] = slot < 0 ? static_cast<std::uint8_t>(c) : codes[static_cast<std::size_t>(slot)];
  }
  EditorVolume vol;
  ASSERT_NO_FATAL_FAILURE(vol.make(shape_, bytes, std::get<1>(GetParam())));
  vol.drw().put_CryptographyPP(true);
  CollectionRef rows = vol.drw().ReadSectorDataWhole();
  const String padded = S(plain) + String(64 - plain.size(), u' ');
  for (Long n = 1; n <= 4; ++n) EXPECT_EQ(rows->Item(Variant(n)).string_value(), padded.substr((n - 1) * 16, 16));
  EXPECT_EQ(vol.drw().get_DataPP().substr(0, 18), u"\r\n" + padded.substr(0, 16));
  // ReadSectorData itself never deciphers.
  auto off = drwBRN1;
  EXPECT_NE(vol.drw().ReadSectorData(off), padded.substr(0, 16));
}

INSTANTIATE_TEST_SUITE_P(
    Peers, SectorRows,
    ::testing::ValuesIn(editor_cases({VolumeShape{12, 1440, 512, 1}, VolumeShape{16, 16384, 512, 4},
                                      VolumeShape{32, 40000, 512, 1}, VolumeShape{12, 4096, 2048, 1}})),
    case_name);

class SectorRowEdges : public ::testing::Test {
 protected:
  void SetUp() override {
    VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "mcopy", "fsstat", "istat", "ifind");
    ASSERT_NO_FATAL_FAILURE(vol_.make({16, 16384, 512, 4}, pattern_bytes(5000), win::Family::NT));
  }
  EditorVolume vol_;
};

TEST_F(SectorRowEdges, RowOffsetsAreCheckedAgainstTheSectorNotTheEnumeration) {
  auto& drw = vol_.drw();
  auto read = [&](Long offset) {
    auto o = static_cast<DRWByteRowNumberConstants>(offset);
    return drw.ReadSectorData(o);
  };
  EXPECT_EQ(read(496), expected_row(vol_.content(), 496));
  EXPECT_EQ(read(3), expected_row(vol_.content(), 3));
  EXPECT_EQ(error_number([&] { read(504); }), win::kErrSubscriptOutOfRange);
  EXPECT_EQ(error_number([&] { read(-16); }), win::kErrSubscriptOutOfRange);
  EXPECT_EQ(error_number([&] { read(2147483647); }), win::kErrOverflow);

  // Through dispatch an omitted offset is row 0.
  ObjectRef obj = vol_.drw_ref();
  EXPECT_EQ(win::call_method(obj, u"ReadSectorData").string_value(), expected_row(vol_.content(), 0));
  EXPECT_EQ(win::call_method(obj, u"ReadSectorData", {Variant(Long{32})}).string_value(),
            expected_row(vol_.content(), 32));
}

TEST_F(SectorRowEdges, ASectorSizeBelowOneRowReadsNothingAtAll) {
  auto& drw = vol_.drw();
  drw.put_DataPP(u"old");
  drw.put_BytesPerSectorPP(15);
  win::DriveMap::unmap(EditorVolume::kLetter);  // no read may be attempted
  CollectionRef rows = drw.ReadSectorDataWhole();
  ASSERT_TRUE(rows);
  EXPECT_EQ(rows->Count(), 0);
  EXPECT_EQ(drw.get_DataPP(), u"");
}

TEST_F(SectorRowEdges, AFailingRowLeavesDataPPAsItWas) {
  auto& drw = vol_.drw();
  drw.put_DataPP(u"old");
  // More rows than the drive record's sector holds.
  drw.put_BytesPerSectorPP(1024);
  EXPECT_EQ(error_number([&] { drw.ReadSectorDataWhole(); }), win::kErrSubscriptOutOfRange);
  EXPECT_EQ(drw.get_DataPP(), u"old");

  // A drive that does not open: the selection fails, the text stays, reads fail.
  drw.put_BytesPerSectorPP(512);
  fixtures::MappedDrive absent('Q', "/nonexistent/volumar/missing.img");
  drw.put_DrivePP(u"Q:");
  ASSERT_EQ(vol_.boxes(), (std::vector<std::string>{"Drive not ready", "Validation Fails"}));
  EXPECT_NE(error_number([&] { drw.ReadSectorDataWhole(); }), 0);
  auto off = drwBRN1;
  EXPECT_NE(error_number([&] { drw.ReadSectorData(off); }), 0);
  EXPECT_EQ(drw.get_DataPP(), u"old");
}

TEST_F(SectorRowEdges, ReadSectorDataZEVSelectsTheDriveAndStandsOnTheSector) {
  // A second editor of the same thread, nothing selected yet.
  auto other = clsQzVolmDrwA::create();
  String drive = u"k";
  Long sector = vol_.first_sector() + 1;
  auto row = drwBRN3;
  EXPECT_EQ(other->ReadSectorDataZEV(drive, sector, row), expected_row(vol_.content(), 512 + 32));
  EXPECT_EQ(other->get_DrivePP(), u"k");
  EXPECT_EQ(other->get_ClusterFoundPP(), sector);
  EXPECT_EQ(other->get_BytesPerSectorPP(), 512);
  EXPECT_EQ(other->get_MaxSectorPP(), -1);  // a selection leaves the bounds for the next section

  // No sector check: a sector before the section reads as well.
  Long boot = 0;
  auto oem = drwBRN1;
  EXPECT_EQ(other->ReadSectorDataZEV(drive, boot, oem).substr(3, 8), u"mkfs.fat");
}
