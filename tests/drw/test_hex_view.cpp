// The hexadecimal dump, byte for byte; showing it in a client's text control
// on volumes made by mkfs.fat and mcopy, on both families; and sizing a
// client's form to it.
#include <gtest/gtest.h>

#include <functional>

#include "drw/hex_dump.h"
#include "frame/runtime_error.h"
#include "platform/automation/expando_object.h"
#include "platform/automation/variant_conversion.h"
#include "tests/drw/sector_volume_support.h"

using namespace drw_test;
using win::ExpandoObject;
using win::ExpandoRef;

namespace {

// The dump of bytes 0..255; the lines of 256..511 differ only in the offset's first digit.
const char16_t* const kPatternLines[16] = {
    u"000 |00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F |................\r\n",
    u"010 |10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F |................\r\n",
    u"020 |20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F | !\"#$%&'()*+,-./\r\n",
    u"030 |30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F |0123456789:;<=>?\r\n",
    u"040 |40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F |@ABCDEFGHIJKLMNO\r\n",
    u"050 |50 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F |PQRSTUVWXYZ[\\]^_\r\n",
    u"060 |60 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F |`abcdefghijklmno\r\n",
    u"070 |70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F |pqrstuvwxyz{|}~\u007F\r\n",
    u"080 |80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F "
    u"|\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030"
    u"\u0160\u2039\u0152\u008D\u017D\u008F\r\n",
    u"090 |90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D 9E 9F "
    u"|\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122"
    u"\u0161\u203A\u0153\u009D\u017E\u0178\r\n",
    u"0A0 |A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF "
    u"|\u00A0\u00A1\u00A2\u00A3\u00A4\u00A5\u00A6\u00A7\u00A8\u00A9"
    u"\u00AA\u00AB\u00AC\u00AD\u00AE\u00AF\r\n",
    u"0B0 |B0 B1 B2 B3 B4 B5 B6 B7 B8 B9 BA BB BC BD BE BF "
    u"|\u00B0\u00B1\u00B2\u00B3\u00B4\u00B5\u00B6\u00B7\u00B8\u00B9"
    u"\u00BA\u00BB\u00BC\u00BD\u00BE\u00BF\r\n",
    u"0C0 |C0 C1 C2 C3 C4 C5 C6 C7 C8 C9 CA CB CC CD CE CF "
    u"|\u00C0\u00C1\u00C2\u00C3\u00C4\u00C5\u00C6\u00C7\u00C8\u00C9"
    u"\u00CA\u00CB\u00CC\u00CD\u00CE\u00CF\r\n",
    u"0D0 |D0 D1 D2 D3 D4 D5 D6 D7 D8 D9 DA DB DC DD DE DF "
    u"|\u00D0\u00D1\u00D2\u00D3\u00D4\u00D5\u00D6\u00D7\u00D8\u00D9"
    u"\u00DA\u00DB\u00DC\u00DD\u00DE\u00DF\r\n",
    u"0E0 |E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB EC ED EE EF "
    u"|\u00E0\u00E1\u00E2\u00E3\u00E4\u00E5\u00E6\u00E7\u00E8\u00E9"
    u"\u00EA\u00EB\u00EC\u00ED\u00EE\u00EF\r\n",
    u"0F0 |F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF "
    u"|\u00F0\u00F1\u00F2\u00F3\u00F4\u00F5\u00F6\u00F7\u00F8\u00F9"
    u"\u00FA\u00FB\u00FC\u00FD\u00FE\u00FF\r\n",
};

String pattern_dump() {
  String out;
  for (char16_t first : {u'0', u'1'})
    for (const char16_t* line : kPatternLines) out += first + String(line).substr(1);
  return out;
}

ExpandoRef text_control() {
  auto box = ExpandoObject::create(u"TextBox");
  box->set(u"Text", Variant(u"before")).set(u"FontSize", Variant()).set(u"FontName", Variant());
  return box;
}

}  // namespace

TEST(HexDump, APatternSectorGivesTheDumpByteForByte) {
  const auto bytes = pattern_bytes(512);
  const String dump = hex_dump(bytes, 512);
  EXPECT_EQ(dump.size(), 2304u);
  EXPECT_EQ(dump, pattern_dump());

  std::vector<std::uint8_t> fat16 = {'F', 'A', 'T', '1', '6', ' ', ' ', ' ', 0, 0, 0, 0, 0, 0, 0, 0};
  fat16.insert(fat16.begin(), 16, 0x0A);
  EXPECT_EQ(hex_dump(fat16, 32).substr(72),
            u"010 |46 41 54 31 36 20 20 20 00 00 00 00 00 00 00 00 |FAT16   ........\r\n");
  // Offsets take at least three digits and grow past 0xFFF.
  const String big = hex_dump(pattern_bytes(4112), 4112);
  EXPECT_EQ(big.substr(256 * 72, 5), u"1000 ");
  EXPECT_EQ(big.substr(255 * 72, 5), u"FF0 |");
  // A sector that ends inside a row has no whole last row.
  EXPECT_EQ(error_number([&] { hex_dump(pattern_bytes(520), 520); }), win::kErrSubscriptOutOfRange);
  EXPECT_EQ(hex_dump(bytes, 0), u"");
}

namespace {

class HexView : public ::testing::TestWithParam<EditorCase> {
 protected:
  void SetUp() override {
    VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "mcopy", "fsstat", "istat", "ifind");
    auto [shape, family] = GetParam();
    ASSERT_NO_FATAL_FAILURE(vol_.make(shape, pattern_bytes(shape.sector_size * shape.cluster_sectors * 2), family));
  }
  EditorVolume vol_;
};

}  // namespace

TEST_P(HexView, TheFilesFirstSectorShowsInTheControl) {
  auto& drw = vol_.drw();
  auto box = text_control();
  ObjectRef control = box;
  Boolean whole = false;
  drw.put_DataPP(u"kept");
  EXPECT_EQ(drw.ShowSectorInEditControlPP(control, whole), Variant());
  EXPECT_EQ(box->get(u"Text"), Variant(pattern_dump()));
  EXPECT_EQ(box->get(u"FontSize"), Variant(Integer{8}));
  EXPECT_EQ(box->get(u"FontName"), Variant(u"Courier New"));
  ASSERT_EQ(box->calls().size(), 4u);
  EXPECT_EQ(box->calls()[0].name, u"Text");
  EXPECT_EQ(box->calls()[0].args.at(0), Variant());  // cleared first
  EXPECT_EQ(box->calls()[3].kind, win::DISPATCH_PROPERTYPUT);
  EXPECT_EQ(drw.get_SectorDataFormattedPP(), pattern_dump());
  EXPECT_EQ(DriveInfo().SectorDataFormatted, pattern_dump());
  EXPECT_EQ(drw.get_LogicalClusterPP(), static_cast<Long>(vol_.file().first_cluster));
  EXPECT_EQ(drw.get_DataPP(), u"kept");
  EXPECT_EQ(control, box);  // the caller's reference is not released

  // With the rows asked for, DataPP becomes the sector text.
  whole = true;
  drw.ShowSectorInEditControlPP(control, whole);
  EXPECT_EQ(drw.get_DataPP().substr(0, 18), u"\r\n" + expected_row(vol_.content(), 0));
}

TEST_P(HexView, TheCurrentSectorIsKeptInsideTheSection) {
  auto& drw = vol_.drw();
  ObjectRef none;
  Boolean whole = false;
  const Long min = drw.get_MinSectorPP(), max = drw.get_MaxSectorPP();
  drw.put_ClusterFoundPP(0);
  drw.ShowSectorInEditControlPP(none, whole);
  EXPECT_EQ(drw.get_ClusterFoundPP(), min);
  EXPECT_EQ(drw.get_SectorDataFormattedPP(),
            hex_dump(vol_.sector(static_cast<std::uint64_t>(min)), drw.get_BytesPerSectorPP()));
  EXPECT_EQ(drw.get_LogicalClusterPP(), 2);
  drw.put_ClusterFoundPP(max + 100);
  drw.ShowSectorInEditControlPP(none, whole);
  EXPECT_EQ(drw.get_ClusterFoundPP(), max);
  EXPECT_EQ(drw.get_SectorDataFormattedPP(),
            hex_dump(vol_.sector(static_cast<std::uint64_t>(max)), drw.get_BytesPerSectorPP()));
}

INSTANTIATE_TEST_SUITE_P(Peers, HexView,
                         ::testing::ValuesIn(editor_cases({VolumeShape{12, 1440, 512, 1},
                                                           VolumeShape{16, 16384, 512, 4},
                                                           VolumeShape{32, 40000, 512, 1}})),
                         case_name);

class HexViewEdges : public ::testing::Test {
 protected:
  void SetUp() override {
    VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "mcopy", "fsstat", "istat", "ifind");
    ASSERT_NO_FATAL_FAILURE(vol_.make({16, 16384, 512, 4}, pattern_bytes(5000), win::Family::NT));
  }
  EditorVolume vol_;
};

TEST_F(HexViewEdges, ControlStepsThatFailAreSkipped) {
  auto& drw = vol_.drw();
  // Without arguments through dispatch: no control, no error.
  win::call_method(vol_.drw_ref(), u"ShowSectorInEditControlPP");
  EXPECT_EQ(drw.get_SectorDataFormattedPP(), pattern_dump());

  // A control without FontName whose first Text put fails still gets the rest.
  auto box = ExpandoObject::create(u"TextBox");
  String text;
  int puts = 0;
  box->define(
      u"Text", [&] { return Variant(text); },
      [&](const Variant& v, win::DispatchKind) {
        if (puts++ == 0) throw std::runtime_error("control is busy");
        text = win::to_string(v);
      });
  box->set(u"FontSize", Variant());
  ObjectRef control = box;
  Boolean whole = false;
  drw.ShowSectorInEditControlPP(control, whole);
  EXPECT_EQ(text, pattern_dump());
  EXPECT_EQ(box->get(u"FontSize"), Variant(Integer{8}));
}

TEST_F(HexViewEdges, TheLogicalClusterFollowsTheDriveRecord) {
  auto& drw = vol_.drw();
  const Long data = DriveInfo().DataAreaStart;
  drw.put_MinSectorPP(0);
  drw.put_MaxSectorPP(drw.get_TotalSectorsPP() - 1);
  ObjectRef none;
  Boolean whole = false;
  auto cluster_at = [&](Long sector) {
    drw.put_ClusterFoundPP(sector);
    drw.ShowSectorInEditControlPP(none, whole);
    return drw.get_LogicalClusterPP();
  };
  EXPECT_EQ(cluster_at(data + 5), 3);
  EXPECT_EQ(cluster_at(data + 4), 3);
  EXPECT_EQ(cluster_at(data - 2), 1);  // floor, not truncation
  EXPECT_EQ(cluster_at(0), 0);

  // No volume loaded: the control is filled, then the cluster cannot be worked out.
  DriveInfo().SectorsPerCluster = 0;
  auto box = text_control();
  ObjectRef control = box;
  EXPECT_EQ(error_number([&] { drw.ShowSectorInEditControlPP(control, whole); }), win::kErrDivisionByZero);
  EXPECT_EQ(box->get(u"FontName"), Variant(u"Courier New"));
}

TEST_F(HexViewEdges, AVolumeThatDoesNotOpenLeavesTheControlAlone) {
  auto& drw = vol_.drw();
  drw.put_SectorDataFormattedPP(u"last");
  fixtures::MappedDrive absent(EditorVolume::kLetter, "/nonexistent/volumar/missing.img");
  auto box = text_control();
  ObjectRef control = box;
  Boolean whole = false;
  EXPECT_NE(error_number([&] { drw.ShowSectorInEditControlPP(control, whole); }), 0);
  EXPECT_TRUE(box->calls().empty());
  EXPECT_EQ(drw.get_SectorDataFormattedPP(), u"last");
}

namespace {

// A form whose text width depends on its current font, as a real form's does.
struct ClientForm {
  ExpandoRef form = ExpandoObject::create(u"Form");
  ExpandoRef box = ExpandoObject::create(u"TextBox");
  ExpandoRef original_font = font_named(u"MS Sans Serif");
  ExpandoRef font = original_font;
  double size = 8.25;

  static ExpandoRef font_named(const String& name) {
    auto f = ExpandoObject::create(u"Font");
    f->set(u"Name", Variant(name));
    return f;
  }
  ClientForm() {
    form->set(u"Height", Variant(6000.5)).set(u"Width", Variant(Long{9000}));
    form->define(
        u"Font", [this] { return Variant(ObjectRef(font)); },
        [this](const Variant& v, win::DispatchKind kind) {
          font = kind == win::DISPATCH_PROPERTYPUTREF ? std::dynamic_pointer_cast<ExpandoObject>(v.object_value())
                                                      : font_named(win::to_string(v));
        });
    form->define(
        u"FontSize", [this] { return Variant(size); },
        [this](const Variant& v, win::DispatchKind) { size = win::to_double(v); });
    form->method(u"TextWidth", [this](std::vector<Variant>& args) {
      const bool dump_font = font && font->get(u"Name") == Variant(u"Courier New") && size == 8;
      return Variant(static_cast<double>(win::to_string(args.at(0)).size()) * (dump_font ? 96 : 70));
    });
    box->set(u"Width", Variant(Long{5000}));
  }
};

}  // namespace

TEST(SizeDRWForm, TheTextBoxFitsADumpLineAndTheFormFollows) {
  auto drw = clsQzVolmDrwA::create();
  ClientForm c;
  ObjectRef frm = c.form, txt = c.box;
  drw->SizeDRWForm(frm, txt);
  EXPECT_EQ(c.box->get(u"Width"), Variant(Long{7200}));  // 75 characters of 8-point Courier New
  EXPECT_EQ(c.form->get(u"Width"), Variant(Long{11200}));
  EXPECT_EQ(c.form->get(u"Height"), Variant(Long{6000}));  // taken as a Long: halves to even
  EXPECT_EQ(c.font, c.original_font);
  EXPECT_EQ(c.original_font->get(u"Name"), Variant(u"MS Sans Serif"));
}

TEST(SizeDRWForm, MissingMembersAndObjectsAreSkipped) {
  auto drw = clsQzVolmDrwA::create();
  ObjectRef none;
  EXPECT_NO_THROW(drw->SizeDRWForm(none, none));
  EXPECT_NO_THROW(win::call_method(drw, u"SizeDRWForm", {Variant(none), Variant(none)}));

  // Without TextWidth the width reads as 0: the box shrinks to 0 and the form with it.
  ClientForm c;
  c.form->remove(u"TextWidth");
  ObjectRef frm = c.form, txt = c.box;
  drw->SizeDRWForm(frm, txt);
  EXPECT_EQ(c.box->get(u"Width"), Variant(Long{0}));
  EXPECT_EQ(c.form->get(u"Width"), Variant(Long{4000}));
  EXPECT_EQ(c.form->get(u"Height"), Variant(Long{6000}));
}
