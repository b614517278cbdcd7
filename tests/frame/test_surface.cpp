// The published surface: every member of every class answers its dispatch
// id and kind in function-table order, by name and by id.
#include <gtest/gtest.h>

#include <set>

#include "drw/sector_editor.h"
#include "frame/dispatch_binding.h"
#include "platform/automation/class_objects.h"
#include "platform/utf8.h"
#include "server/class_registry.h"

using namespace volumar;

namespace {

struct Expected {
  const char* name;
  MemberKind kind;
  win::DISPID id;
};

constexpr MemberKind G = MemberKind::Get, P = MemberKind::Put, R = MemberKind::PutRef, M = MemberKind::Method;

const std::vector<Expected> kDrw = [] {
  struct Prop {
    const char* name;
    win::DISPID id;
    MemberKind put;
  };
  const Prop props[] = {
      {"FSO", 0x4003001f, R},
      {"DrivePP", 0x6803001d, P},
      {"DriveReadyPP", 0x6803001c, P},
      {"DriveTypePP", 0x6803001b, P},
      {"DriveRestrictedPP", 0x6803001a, P},
      {"VolumeLabelPP", 0x68030019, P},
      {"VolumeSerialPP", 0x68030018, P},
      {"VolumeSerialHexPP", 0x68030017, P},
      {"VolumarPP", 0x68030016, P},
      {"BytesPerSectorPP", 0x68030015, P},
      {"SectorsPerClusterPP", 0x68030014, P},
      {"TotalSectorsPP", 0x68030013, P},
      {"HiddenSectorsPP", 0x68030012, P},
      {"ReservedSectorsPP", 0x68030011, P},
      {"NumberOfFatCopiesPP", 0x68030010, P},
      {"FatCopyStartsAtPP", 0x6803000f, R},
      {"SectorsPerFATPP", 0x6803000e, P},
      {"LogicalClusterPP", 0x6803000d, P},
      {"RootDirectoryStartPP", 0x6803000c, P},
      {"RootDirectoryLengthPP", 0x6803000b, P},
      {"DiskSectionPP", 0x6803000a, P},
      {"MinSectorPP", 0x68030009, P},
      {"MaxSectorPP", 0x68030008, P},
      {"ClusterFoundPP", 0x68030007, P},
      {"SectorDataFormattedPP", 0x68030006, P},
      {"WorkingPP", 0x68030005, P},
      {"EnablePP", 0x68030004, P},
      {"CryptographyPP", 0x68030003, P},
      {"DataPP", 0x68030002, P},
      {"CaptionPP", 0x68030001, P},
      {"TagPP", 0x68030000, P},
  };
  std::vector<Expected> out;
  for (const auto& p : props) {
    out.push_back({p.name, G, p.id});
    out.push_back({p.name, p.put, p.id});
  }
  const std::pair<const char*, win::DISPID> methods[] = {
      {"ClearPP", 0x60030020},
      {"ValidationCheck", 0x60030021},
      {"PreviousClusterPP", 0x60030023},
      {"NextClusterPP", 0x60030024},
      {"HalfClusterPP", 0x60030025},
      {"LastClusterPP", 0x60030026},
      {"PreviousSectorPP", 0x60030027},
      {"NextSectorPP", 0x60030028},
      {"ReadSectorData", 0x60030029},
      {"ReadSectorDataWhole", 0x6003002a},
      {"ChangeCollectionItem", 0x6003002b},
      {"WriteSectorData", 0x6003002c},
      {"WriteSectorData16BLength", 0x6003002d},
      {"WriteSectorDataWhole", 0x6003002e},
      {"ShowSectorInEditControlPP", 0x6003002f},
      {"FindCluster", 0x60030030},
      {"SectorDataLocation", 0x60030031},
      {"GetCrypEncString", 0x60030032},
      {"GetCrypDecString", 0x60030033},
      {"GetPhysicalDrives", 0x60030034},
      {"GetBRNItems", 0x60030035},
      {"WriteSectorDataWholeZEV", 0x60030036},
      {"ReadSectorDataZEV", 0x60030037},
      {"IsDriveReady", 0x60030038},
      {"IsThisRestricted", 0x60030039},
      {"Add_Trailing_Slash", 0x6003003a},
      {"ValidateDriveAndReadWriteTest", 0x6003003b},
      {"SizeDRWForm", 0x6003003c},
  };
  for (const auto& m : methods) out.push_back({m.first, M, m.second});
  return out;
}();

const std::vector<Expected> kRoot = {
    {"GetProStdProperties", G, 0x68030004},
    {"GetProResStrings", G, 0x68030003},
    {"GetProResPicture", G, 0x68030002},
    {"GetProResData", G, 0x68030001},
    {"About", M, 0x60030006},
    {"BuddyObjectGlobal", G, 0x68030000},
    {"BuddyObjectGlobal", R, 0x68030000},
    {"GetModuleFileName_Volm", M, 0x60030007},
};

const std::vector<Expected> kFileExt = {
    {"RegExtension", M, 0x60030001},
    {"AssociateFileExtension", M, 0x60030002},
    {"AssociateFileCommand", M, 0x60030003},
};

void expect_table(const ClassInfo& info, const std::vector<Expected>& expected) {
  const auto& members = info.members();
  ASSERT_EQ(members.size(), expected.size()) << info.name;
  ObjectRef object = info.create();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(std::string(info.name) + "." + expected[i].name);
    EXPECT_STREQ(members[i].name, expected[i].name);
    EXPECT_EQ(members[i].kind, expected[i].kind);
    EXPECT_EQ(members[i].id, expected[i].id);
    // Resolving the name in another letter case answers the same id.
    std::string lower = expected[i].name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(object->GetIDsOfNames(S(lower)), expected[i].id);
  }
}

}  // namespace

TEST(Surface, EveryClassHasItsMembersInTableOrder) {
  expect_table(clsQzVolmDrwA::class_info_static(), kDrw);
  EXPECT_EQ(kDrw.size(), 90u);
  const ClassInfo* root = find_class("clsQzVolumarA");
  const ClassInfo* ext = find_class("clsQzVolmCustomFileExtA");
  ASSERT_TRUE(root && ext);
  expect_table(*root, kRoot);
  expect_table(*ext, kFileExt);
  expect_table(*find_class("clsQzVolmGeneralA"), {});
  expect_table(*find_class("clsQzVolmAdvancedA"), {});
}

TEST(Surface, ArgumentConventionsFollowTheSignatures) {
  const auto& members = clsQzVolmDrwA::class_info_static().members();
  auto find = [&](const char* name) -> const MemberInfo& {
    for (const auto& m : members)
      if (std::string(m.name) == name) return m;
    throw std::runtime_error(name);
  };
  const MemberInfo& show = find("ShowSectorInEditControlPP");
  ASSERT_EQ(show.params.size(), 2u);
  EXPECT_TRUE(show.params[0].by_ref && show.params[0].optional);
  EXPECT_EQ(show.params[1].type, (TypeDesc{win::VarType::Boolean, "Boolean"}));
  ASSERT_TRUE(show.params[1].default_value.has_value());
  EXPECT_EQ(*show.params[1].default_value, Variant(false));

  const MemberInfo& ready = find("IsDriveReady");
  EXPECT_FALSE(ready.params[0].by_ref);
  EXPECT_TRUE(find("IsThisRestricted").params[0].by_ref);
  EXPECT_EQ(find("ReadSectorData").params[0].type.name, std::string("DRWByteRowNumberConstants"));
  EXPECT_EQ(find("ReadSectorDataWhole").result.name, std::string("Collection"));
  EXPECT_EQ(find("FindCluster").params[0].type.name, std::string("DRWFindClusterConstants"));
  EXPECT_EQ(find("ClearPP").result.vt, win::VarType::Empty);
}

TEST(Surface, AnUnknownNameFailsWithObjectDoesNotSupport) {
  ObjectRef drw = clsQzVolmDrwA::create();
  EXPECT_FALSE(drw->GetIDsOfNames(u"NoSuchMember").has_value());
  // A member's name with a letter more or less, or one changed, names none.
  for (const char16_t* near : {u"DrivePPX", u"DrivePP ", u"DriveP", u"", u"DrivePQ", u"\x0144rivePP"})
    EXPECT_FALSE(drw->GetIDsOfNames(near).has_value()) << win::utf16_to_utf8(near);
  try {
    win::call_method(drw, u"NoSuchMember");
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), 438);
    EXPECT_NE(e.description().find("NoSuchMember"), std::string::npos);
  }
  // A known id with a kind the member lacks is refused too: a method has no put.
  std::vector<Variant> args{Variant(Long{1})};
  EXPECT_THROW(drw->Invoke(0x60030020, win::DISPATCH_PROPERTYPUT, args), RuntimeError);
}

TEST(Surface, EmptyClassesAnswerOnlyDispatch) {
  ObjectRef general = win::create_object("Volumar10.clsQzVolmGeneralA");
  ObjectRef advanced = win::create_object("Volumar10.clsQzVolmAdvancedA");
  ASSERT_TRUE(general && advanced);
  EXPECT_FALSE(general->GetIDsOfNames(u"About").has_value());
  std::vector<Variant> none;
  EXPECT_THROW(advanced->Invoke(0, win::DISPATCH_METHOD, none), RuntimeError);
}

// Registered once for the whole program, as a host does.
class ServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { register_class_objects(); }
};
const auto* const kServer = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);
