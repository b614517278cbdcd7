// Editing rows and writing sectors: ChangeCollectionItem on its own, and
// writes on volumes made by mkfs.fat and mcopy, read back from the image
// file directly, on both families.
#include <gtest/gtest.h>

#include <functional>

#include <cstdio>

#include "cipher/string_cipher.h"
#include "frame/runtime_error.h"
#include "platform/ansi_code_page.h"
#include "tests/drw/sector_volume_support.h"

using namespace drw_test;

namespace {

CollectionRef keyed_rows(int count) {
  auto c = Collection::create();
  for (int i = 0; i < count; ++i) c->Add(Variant(S("row" + std::to_string(i + 1))), u"KEY" + S(std::to_string(16 * i)));
  return c;
}

std::vector<std::uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace

TEST(ChangeCollectionItem, ReplacesOneItemInAFreshUnkeyedCopy) {
  auto drw = clsQzVolmDrwA::create();
  CollectionRef old = keyed_rows(32), fresh = Collection::create();
  CollectionRef earlier = fresh;
  Long index = 3;
  String text = u"ABCDEFGHIJKLMNOPQRST";
  EXPECT_EQ(drw->ChangeCollectionItem(old, index, text, fresh), u"SUCCESS");
  ASSERT_NE(fresh, earlier);
  EXPECT_EQ(earlier->Count(), 0);
  ASSERT_EQ(fresh->Count(), 32);
  EXPECT_EQ(fresh->Item(Variant(Long{3})).string_value(), u"ABCDEFGHIJKLMNOP");
  EXPECT_EQ(fresh->Item(Variant(Long{4})).string_value(), u"row4");
  EXPECT_EQ(error_number([&] { fresh->Item(Variant(u"KEY0")); }), win::kErrInvalidProcedureCall);
  EXPECT_EQ(old->Item(Variant(u"KEY32")).string_value(), u"row3");
  EXPECT_EQ(index, 3);
  EXPECT_EQ(text.size(), 20u);

  // The result is set anew for every item: the last item's old text when it is the one replaced.
  index = 32;
  String shorter = u"xy";
  EXPECT_EQ(drw->ChangeCollectionItem(old, index, shorter, fresh), u"row32");
  EXPECT_EQ(fresh->Item(Variant(Long{32})).string_value(), u"xy");
  for (Long outside : {0, 33, -1}) {
    index = outside;
    EXPECT_EQ(drw->ChangeCollectionItem(old, index, shorter, fresh), u"SUCCESS");
    EXPECT_EQ(items_of(fresh), items_of(old));
  }
}

TEST(ChangeCollectionItem, EmptyOrMissingOldCollectionGivesAnEmptyCopy) {
  auto drw = clsQzVolmDrwA::create();
  CollectionRef none, fresh = keyed_rows(2);
  Long index = 1;
  String text = u"x";
  EXPECT_EQ(drw->ChangeCollectionItem(none, index, text, fresh), u"");
  EXPECT_EQ(none, nullptr);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->Count(), 0);

  // Through dispatch the caller's variable receives the new collection.
  Variant old_var(ObjectRef(keyed_rows(4))), index_var(Long{2}), text_var(u"new row"), new_var{ObjectRef()};
  Variant result =
      win::call_method(drw, u"ChangeCollectionItem",
                       {Variant::ref(old_var), Variant::ref(index_var), Variant::ref(text_var), Variant::ref(new_var)});
  EXPECT_EQ(result.string_value(), u"SUCCESS");
  auto got = std::dynamic_pointer_cast<Collection>(new_var.object_value());
  ASSERT_TRUE(got);
  EXPECT_EQ(items_of(got), (std::vector<String>{u"row1", u"new row", u"row3", u"row4"}));
  EXPECT_EQ(index_var, Variant(Long{2}));
}

TEST(ChangeCollectionItem, TheIntegerItemCounterOverflowsPast32767Items) {
  auto drw = clsQzVolmDrwA::create();
  CollectionRef big = Collection::create(), fresh;
  for (int i = 0; i < 32766; ++i) big->Add(Variant(u"r"));
  Long index = 1;
  String text = u"x";
  EXPECT_EQ(drw->ChangeCollectionItem(big, index, text, fresh), u"SUCCESS");
  EXPECT_EQ(fresh->Count(), 32766);
  big->Add(Variant(u"r"));
  big->Add(Variant(u"r"));
  fresh = nullptr;
  EXPECT_EQ(error_number([&] { drw->ChangeCollectionItem(big, index, text, fresh); }), win::kErrOverflow);
  EXPECT_EQ(fresh, nullptr);
}

namespace {

class SectorWriting : public ::testing::TestWithParam<EditorCase> {
 protected:
  void SetUp() override {
    VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "mcopy", "fsstat", "istat", "ifind");
    auto [shape, family] = GetParam();
    bps_ = shape.sector_size;
    ASSERT_NO_FATAL_FAILURE(vol_.make(shape, pattern_bytes(shape.sector_size * shape.cluster_sectors * 3), family));
    before_ = vol_.whole_image();
  }
  // Every byte of the image but those of sectors first..last is as before.
  void expect_rest_unchanged(Long first, Long last) {
    auto after = vol_.whole_image();
    ASSERT_EQ(after.size(), before_.size());
    const std::size_t from = static_cast<std::size_t>(first) * bps_, to = static_cast<std::size_t>(last + 1) * bps_;
    EXPECT_TRUE(std::equal(after.begin(), after.begin() + static_cast<long>(from), before_.begin()));
    EXPECT_TRUE(
        std::equal(after.begin() + static_cast<long>(to), after.end(), before_.begin() + static_cast<long>(to)));
  }
  std::vector<std::uint8_t> old_sector(Long s) const {
    return {before_.begin() + static_cast<long>(s) * bps_, before_.begin() + static_cast<long>(s + 1) * bps_};
  }
  unsigned bps_ = 512;
  EditorVolume vol_;
  std::vector<std::uint8_t> before_;
};

}  // namespace

TEST_P(SectorWriting, AChangedRowReachesTheDiskAndControlBytesBecomeFullStops) {
  auto& drw = vol_.drw();
  const Long s = vol_.first_sector();
  CollectionRef rows = drw.ReadSectorDataWhole(), changed;
  Long index = 5;
  String text = u"Hello, sector!\u00E9\u20AC and more";
  EXPECT_EQ(drw.ChangeCollectionItem(rows, index, text, changed), u"SUCCESS");
  drw.WriteSectorDataWhole(changed);

  auto want = old_sector(s);
  for (auto& b : want)
    if (b < 0x20) b = 0x2E;  // the row texts do not carry control bytes
  const auto hello = bytes_of("Hello, sector!\xE9\x80");
  std::copy(hello.begin(), hello.end(), want.begin() + 64);
  EXPECT_EQ(vol_.sector(s), want);
  ASSERT_NO_FATAL_FAILURE(expect_rest_unchanged(s, s));
  auto typed = fixtures::mtype(vol_.image(), "FILE.BIN");
  ASSERT_TRUE(typed.ok()) << typed.describe();
  EXPECT_EQ(typed.out.substr(64, 16), "Hello, sector!\xE9\x80");
  auto row5 = drwBRN5;
  EXPECT_EQ(drw.ReadSectorData(row5), u"Hello, sector!\u00E9\u20AC");
}

TEST_P(SectorWriting, MissingAndEmptyRowsAreFilledAndShortRowsShiftTheRest) {
  auto& drw = vol_.drw();
  const Long s = vol_.first_sector();
  const Long rows = static_cast<Long>(bps_ / 16);
  CollectionRef ten = Collection::create();
  for (int i = 0; i < 10; ++i)
    ten->Add(Variant(i == 1 ? String() : i == 2 ? String(u"0123456789abcdefXYZW") : String(16, u'A' + i)));
  drw.WriteSectorDataWhole(ten);
  EXPECT_EQ(ten->Count(), rows);  // the caller's collection keeps the fill rows
  auto want = std::vector<std::uint8_t>(bps_, 0x3F);
  for (int i = 0; i < 10; ++i)
    if (i != 1) std::fill(want.begin() + 16 * i, want.begin() + 16 * i + 16, static_cast<std::uint8_t>('A' + i));
  const auto digits = bytes_of("0123456789abcdef");
  std::copy(digits.begin(), digits.end(), want.begin() + 32);
  EXPECT_EQ(vol_.sector(s), want);

  // A short row moves every later row forward; the sector's last bytes stay.
  CollectionRef shifted = Collection::create();
  for (Long i = 0; i < rows; ++i) shifted->Add(Variant(i == 0 ? String(u"AB") : String(16, u'z')));
  drw.WriteSectorDataWhole(shifted);
  auto got = vol_.sector(s);
  EXPECT_EQ(got[0], 'A');
  EXPECT_EQ(got[2], 'z');
  EXPECT_EQ(got[bps_ - 15], 'z');
  EXPECT_EQ(std::vector<std::uint8_t>(got.end() - 14, got.end()),
            std::vector<std::uint8_t>(want.end() - 14, want.end()));
  EXPECT_EQ(drw.get_DataPP().size(), bps_ - 14);
  ASSERT_NO_FATAL_FAILURE(expect_rest_unchanged(s, s));
}

TEST_P(SectorWriting, DirectWritesTakeDataPPAsItStands) {
  auto& drw = vol_.drw();
  const Long s = vol_.first_sector();
  drw.put_DataPP(u"ABC");
  EXPECT_TRUE(drw.WriteSectorData16BLength());
  auto want = old_sector(s);
  want[0] = 'A', want[1] = 'B', want[2] = 'C';
  EXPECT_EQ(vol_.sector(s), want);

  // Longer than the sector: the rest goes into the next one, control characters as they are.
  drw.put_DataPP(String(bps_, u'\x01') + u"\x02\x03xy");
  EXPECT_TRUE(drw.WriteSectorData());
  EXPECT_EQ(vol_.sector(s), std::vector<std::uint8_t>(bps_, 0x01));
  auto next = old_sector(s + 1);
  std::copy_n(bytes_of("\x02\x03xy").begin(), 4, next.begin());
  EXPECT_EQ(vol_.sector(s + 1), next);
  ASSERT_NO_FATAL_FAILURE(expect_rest_unchanged(s, s + 1));

  drw.put_DataPP(u"");
  EXPECT_NE(error_number([&] { drw.WriteSectorData(); }), 0);
  EXPECT_NE(error_number([&] { drw.WriteSectorData16BLength(); }), 0);
}

TEST_P(SectorWriting, ZEVFillsTheSectorWithQuestionMarks) {
  auto& drw = vol_.drw();
  drw.WriteSectorDataWholeZEV();
  EXPECT_EQ(vol_.sector(vol_.first_sector()), std::vector<std::uint8_t>(bps_, 0x3F));
  EXPECT_EQ(drw.get_DataPP(), String(bps_, u'?'));
  ASSERT_NO_FATAL_FAILURE(expect_rest_unchanged(vol_.first_sector(), vol_.first_sector()));
}

TEST_P(SectorWriting, CipheredRowsAreStoredAsCodeBytesAndReadBack) {
  auto& drw = vol_.drw();
  drw.put_CryptographyPP(true);
  CollectionRef rows = Collection::create();
  for (unsigned i = 0; i < bps_ / 16; ++i) {
    char row[32];
    std::snprintf(row, sizeof row, "Row %03u of ZEV!!", i);
    rows->Add(Variant(S(row)));
  }
  drw.WriteSectorDataWhole(rows);
  auto disk = vol_.sector(vol_.first_sector());
  const auto& codes = cipher::substitution_codes();
  EXPECT_EQ(disk[0], codes[10 + 'R' - 'A']);
  EXPECT_EQ(disk[1], codes[36 + 'o' - 'a']);
  EXPECT_EQ(disk[3], ' ');
  EXPECT_EQ(disk[4], codes[0]);
  EXPECT_EQ(drw.get_DataPP()[0], win::ansi_char(codes[10 + 'R' - 'A']));
  CollectionRef back = drw.ReadSectorDataWhole();
  EXPECT_EQ(items_of(back), items_of(rows));
}

TEST_P(SectorWriting, FailuresWriteNothing) {
  auto& drw = vol_.drw();
  drw.put_DataPP(u"old");
  CollectionRef empty = Collection::create(), none;
  EXPECT_EQ(error_number([&] { drw.WriteSectorDataWhole(empty); }), win::kErrSubscriptOutOfRange);
  EXPECT_EQ(drw.get_DataPP(), u"");
  EXPECT_EQ(error_number([&] { drw.WriteSectorDataWhole(none); }), win::kErrObjectNotSet);
  CollectionRef bad = keyed_rows(3);
  bad->Add(Variant(ObjectRef(Collection::create())));
  EXPECT_EQ(error_number([&] { drw.WriteSectorDataWhole(bad); }), win::kErrTypeMismatch);
  EXPECT_EQ(drw.get_DataPP(), u"row1row2row3");  // the rows before the failing one
  EXPECT_EQ(vol_.whole_image(), before_);
}

TEST_P(SectorWriting, AReadOnlyVolumeReportsFalseAndKeepsItsBytes) {
  win::VolumeMapping read_only;
  read_only.read_only = true;
  fixtures::MappedDrive replaced(EditorVolume::kLetter, vol_.image(), read_only);
  auto& drw = vol_.drw();
  drw.put_DataPP(u"ABC");
  EXPECT_FALSE(drw.WriteSectorData());
  EXPECT_FALSE(drw.WriteSectorData16BLength());
  CollectionRef rows = drw.ReadSectorDataWhole();
  EXPECT_EQ(drw.WriteSectorDataWhole(rows), Variant());
  EXPECT_EQ(vol_.whole_image(), before_);
}

INSTANTIATE_TEST_SUITE_P(
    Peers, SectorWriting,
    ::testing::ValuesIn(editor_cases({VolumeShape{12, 1440, 512, 1}, VolumeShape{16, 16384, 512, 4},
                                      VolumeShape{32, 40000, 512, 1}, VolumeShape{16, 16384, 2048, 1}})),
    case_name);
