// File-type associations: the registry layout each member leaves in the
// persistent store (read back in a new process), the message boxes, the
// growth of sIdentifier, and run-time errors reported to the companion.
#include <gtest/gtest.h>

#include "assoc/custom_file_ext.h"
#include "frame/companion/qzcommon10.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/class_objects.h"
#include "platform/registry/registry.h"
#include "platform/user32/message_box.h"
#include "tests/assoc/registry_readback.h"
#include "tests/fixtures/temp_dir.h"

using namespace volumar;
using readback::Listing;

namespace {

class FileExt : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(win::registry_use_file(store_));
    win::set_message_box_sink([this](const win::MessageBoxRequest& r) {
      boxes_.push_back(r);
      return win::IDOK;
    });
    register_companion();
  }
  void TearDown() override {
    win::set_message_box_sink({});
    win::registry_use_memory();
  }

  Listing stored() { return readback::classes_root_in_new_process(store_); }

  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& b : boxes_) out.push_back(b.text);
    return out;
  }

  // Sets a value under HKCR directly, as another program would.
  static void put(const char* path, win::DWORD type, const void* data, win::DWORD size) {
    win::HKEY key = nullptr;
    ASSERT_EQ(win::RegCreateKeyA(win::HKEY_CLASSES_ROOT, path, &key), win::ERROR_SUCCESS);
    ASSERT_EQ(win::RegSetValueExA(key, "", 0, type, static_cast<const win::BYTE*>(data), size), win::ERROR_SUCCESS);
    win::RegCloseKey(key);
  }

  fixtures::TempDir dir_{"volumar-assoc"};
  std::filesystem::path store_ = dir_.file("registry.db");
  std::vector<win::MessageBoxRequest> boxes_;
  clsQzVolmCustomFileExtA ext_;
};

const char* const kCreating = "Error: Creating Key!";
const char* const kSetting = "Error Setting String Value!";
const char* const kOpening = "Error: Opening Registry Key!";
const char* const kQuerying = "Error: Querying Value!";

}  // namespace

// ---- RegExtension ----

TEST_F(FileExt, RegExtensionWritesTypeExtensionAndOpenCommandWithPercentOne) {
  String e = u".xyz", app = u"Xyz.Document", desc = u"Xyz document", cmd = u"C:\\App\\app.exe";
  ext_.RegExtension(e, app, desc, cmd);
  EXPECT_EQ(stored(), (Listing{
                          ".xyz",
                          ".xyz|=Xyz.Document",
                          "Xyz.Document",
                          "Xyz.Document|=Xyz document",
                          "Xyz.Document\\shell",
                          "Xyz.Document\\shell\\open",
                          "Xyz.Document\\shell\\open\\command",
                          "Xyz.Document\\shell\\open\\command|=C:\\App\\app.exe %1",
                      }));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(FileExt, RegExtensionWithoutTypeNameWritesNothingAtTheClassesRootAndShowsNothing) {
  String e = u".xyz", app, desc = u"Xyz document", cmd = u"app.exe";
  ext_.RegExtension(e, app, desc, cmd);
  // Only the extension key, with the (empty) type as its value.
  EXPECT_EQ(stored(), (Listing{".xyz", ".xyz|="}));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(FileExt, RegExtensionTwiceLeavesTheSameEntries) {
  String e = u".xyz", app = u"Xyz.Document", desc = u"Xyz document", cmd = u"app.exe";
  ext_.RegExtension(e, app, desc, cmd);
  const Listing once = stored();
  ext_.RegExtension(e, app, desc, cmd);
  EXPECT_EQ(stored(), once);
}

TEST_F(FileExt, RegExtensionKeyNamesCompareWithoutCase) {
  put("XYZ.DOCUMENT", win::REG_SZ, "old", 4);
  String e = u".xyz", app = u"Xyz.Document", desc = u"new", cmd = u"app.exe";
  ext_.RegExtension(e, app, desc, cmd);
  const Listing s = stored();
  EXPECT_TRUE(s.count("XYZ.DOCUMENT|=new"));  // the existing key is reused, keeping its spelling
  EXPECT_TRUE(s.count("XYZ.DOCUMENT\\shell\\open\\command|=app.exe %1"));
  EXPECT_FALSE(s.count("Xyz.Document"));
}

// ---- AssociateFileExtension ----

TEST_F(FileExt, AssociateFileExtensionWritesTheSixStepsAndGrowsTheIdentifier) {
  String path = u"C:\\App\\app.exe", e = u".xyz", id = u"Xyz.Document", desc = u"Xyz document",
         icon = u"C:\\App\\app.exe,0";
  EXPECT_EQ(ext_.AssociateFileExtension(path, e, id, desc, icon), 0);
  EXPECT_EQ(id, u"Xyz.Document\\shell\\open\\command");
  EXPECT_EQ(stored(), (Listing{
                          ".xyz",
                          ".xyz|=Xyz.Document",
                          "Xyz.Document",
                          "Xyz.Document|=Xyz document",
                          "Xyz.Document\\DefaultIcon",
                          "Xyz.Document\\DefaultIcon|=C:\\App\\app.exe,0",
                          "Xyz.Document\\shell",
                          "Xyz.Document\\shell\\open",
                          "Xyz.Document\\shell\\open\\command",
                          "Xyz.Document\\shell\\open\\command|=\"C:\\App\\app.exe\" \"%1\"",
                      }));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(FileExt, AssociateFileExtensionByDispatchHandsTheGrownIdentifierBack) {
  Variant path{u"app.exe"}, e{u".xyz"}, id{u"Xyz.Document"}, desc{u"d"}, icon{u"i"};
  std::vector<Variant> args{Variant::ref(path), Variant::ref(e), Variant::ref(id), Variant::ref(desc),
                            Variant::ref(icon)};
  ObjectRef object = std::make_shared<clsQzVolmCustomFileExtA>();
  Variant result = win::invoke_by_name(object, u"AssociateFileExtension", win::DISPATCH_METHOD, args);
  EXPECT_EQ(result, Variant(Long{0}));
  EXPECT_EQ(id, Variant(u"Xyz.Document\\shell\\open\\command"));
  EXPECT_EQ(e, Variant(u".xyz"));
}

TEST_F(FileExt, AssociateFileExtensionWithOmittedIdentifierStopsBeforeTheIconAndLeavesTheRootAlone) {
  std::vector<Variant> args{Variant(u"app.exe"), Variant(u".xyz")};
  ObjectRef object = std::make_shared<clsQzVolmCustomFileExtA>();
  EXPECT_EQ(win::invoke_by_name(object, u"AssociateFileExtension", win::DISPATCH_METHOD, args), Variant(Long{0}));
  EXPECT_EQ(texts(), (std::vector<std::string>{kCreating, kSetting}));
  EXPECT_EQ(boxes_[0].caption, "Volumar10");
  EXPECT_EQ(boxes_[0].style, win::MB_OK);
  EXPECT_EQ(stored(), (Listing{".xyz", ".xyz|="}));
}

TEST_F(FileExt, AssociateFileExtensionStoppedAtTheIconLeavesTheIdentifierUnchanged) {
  // A path with an empty component cannot be created.
  String path = u"app.exe", e = u".xyz", id = u"Bad\\\\Type", desc = u"d", icon = u"i";
  EXPECT_EQ(ext_.AssociateFileExtension(path, e, id, desc, icon), 0);
  EXPECT_EQ(id, u"Bad\\\\Type");
  EXPECT_EQ(texts(), (std::vector<std::string>{kCreating, kSetting}));
  EXPECT_EQ(stored(), (Listing{".xyz", ".xyz|=Bad\\\\Type"}));
}

TEST_F(FileExt, AssociateFileExtensionWithUncreatableExtensionStopsAtOnce) {
  String path = u"app.exe", e = u"\\.xyz", id = u"Xyz.Document", desc = u"d", icon = u"i";
  EXPECT_EQ(ext_.AssociateFileExtension(path, e, id, desc, icon), 0);
  EXPECT_EQ(texts(), (std::vector<std::string>{kCreating, kSetting}));
  EXPECT_EQ(id, u"Xyz.Document");
  EXPECT_EQ(stored(), Listing{});
}

TEST_F(FileExt, AssociateFileExtensionTwiceWithFreshValuesLeavesTheSameEntries) {
  auto run = [&] {
    String path = u"app.exe", e = u".xyz", id = u"Xyz.Document", desc = u"d", icon = u"i";
    ext_.AssociateFileExtension(path, e, id, desc, icon);
  };
  run();
  const Listing once = stored();
  run();
  EXPECT_EQ(stored(), once);
}

TEST_F(FileExt, AssociateFileExtensionTwiceWithOneVariableWorksOnTheCommandKeyPath) {
  String path = u"app.exe", e = u".xyz", id = u"Xyz.Document", desc = u"Xyz document", icon = u"i";
  ext_.AssociateFileExtension(path, e, id, desc, icon);
  ext_.AssociateFileExtension(path, e, id, desc, icon);
  EXPECT_EQ(id, u"Xyz.Document\\shell\\open\\command\\shell\\open\\command");
  const Listing s = stored();
  EXPECT_TRUE(s.count(".xyz|=Xyz.Document\\shell\\open\\command"));
  // The second run gave the command key the description as its value.
  EXPECT_TRUE(s.count("Xyz.Document\\shell\\open\\command|=Xyz document"));
  EXPECT_TRUE(s.count("Xyz.Document\\shell\\open\\command\\DefaultIcon|=i"));
  EXPECT_TRUE(s.count("Xyz.Document\\shell\\open\\command\\shell\\open\\command|=\"app.exe\" \"%1\""));
}

// ---- AssociateFileCommand ----

TEST_F(FileExt, AssociateFileCommandAddsTheVerbUnderTheExtensionsTypeWithTheCommandUnchanged) {
  String path = u"app.exe", e = u".xyz", id = u"Xyz.Document", desc = u"d", icon = u"i";
  ext_.AssociateFileExtension(path, e, id, desc, icon);
  String action = u"Print", command = u"C:\\App\\app.exe /p \"%1\"";
  EXPECT_TRUE(ext_.AssociateFileCommand(e, action, command).is_empty());
  const Listing s = stored();
  EXPECT_EQ(
      readback::below(s, "Xyz.Document\\shell\\Print"),
      (Listing{"Xyz.Document\\shell\\Print", "Xyz.Document\\shell\\Print|=Print", "Xyz.Document\\shell\\Print\\command",
               "Xyz.Document\\shell\\Print\\command|=C:\\App\\app.exe /p \"%1\""}));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(FileExt, AssociateFileCommandAddsNoPercentOne) {
  put(".xyz", win::REG_SZ, "Xyz.Document", 13);
  String e = u".xyz", action = u"open", command = u"app.exe";
  ext_.AssociateFileCommand(e, action, command);
  EXPECT_TRUE(stored().count("Xyz.Document\\shell\\open\\command|=app.exe"));
}

TEST_F(FileExt, AssociateFileCommandForAMissingExtensionShowsOpeningAndWritesNothing) {
  String e = u".none", action = u"open", command = u"app.exe";
  EXPECT_TRUE(ext_.AssociateFileCommand(e, action, command).is_empty());
  EXPECT_EQ(texts(), std::vector<std::string>{kOpening});
  EXPECT_EQ(stored(), Listing{});
}

TEST_F(FileExt, AssociateFileCommandWithAnEmptyExtensionDoesNotReadTheClassesRoot) {
  put("", win::REG_SZ, "Rooted", 7);  // the root's own default value
  String e, action = u"open", command = u"app.exe";
  ext_.AssociateFileCommand(e, action, command);
  EXPECT_EQ(texts(), std::vector<std::string>{kOpening});
  EXPECT_EQ(stored(), Listing{"|=Rooted"});
}

TEST_F(FileExt, AssociateFileCommandForAnExtensionWithoutDefaultValueShowsQueryingAndWritesNothing) {
  win::HKEY key = nullptr;
  ASSERT_EQ(win::RegCreateKeyA(win::HKEY_CLASSES_ROOT, ".xyz", &key), win::ERROR_SUCCESS);
  win::RegCloseKey(key);
  String e = u".xyz", action = u"open", command = u"app.exe";
  ext_.AssociateFileCommand(e, action, command);
  EXPECT_EQ(texts(), std::vector<std::string>{kQuerying});
  EXPECT_EQ(stored(), Listing{".xyz"});
}

TEST_F(FileExt, AssociateFileCommandWithAnEmptyActionWritesTheShellKeyThenFailsOnTheCommandKey) {
  put(".xyz", win::REG_SZ, "Xyz.Document", 13);
  String e = u".xyz", action, command = u"app.exe";
  ext_.AssociateFileCommand(e, action, command);
  // "Xyz.Document\shell\" names the shell key; "...\shell\\command" has an empty name in it.
  EXPECT_EQ(texts(), (std::vector<std::string>{kCreating, kSetting}));
  EXPECT_EQ(readback::below(stored(), "Xyz.Document"),
            (Listing{"Xyz.Document", "Xyz.Document\\shell", "Xyz.Document\\shell|="}));
}

TEST_F(FileExt, AssociateFileCommandWithAValueThatHoldsExtraNulsWritesUnderTheNamedType) {
  put("Xyz.Document", win::REG_SZ, "Xyz document", 13);
  put(".xyz", win::REG_SZ, "Xyz.Document\0\0", 14);  // two NULs counted
  String e = u".xyz", action = u"open", command = u"app.exe";
  ext_.AssociateFileCommand(e, action, command);
  const Listing s = stored();
  EXPECT_TRUE(s.count("Xyz.Document|=Xyz document"));  // the type's description survives
  EXPECT_TRUE(s.count("Xyz.Document\\shell\\open|=open"));
  EXPECT_TRUE(s.count("Xyz.Document\\shell\\open\\command|=app.exe"));
}

TEST_F(FileExt, AssociateFileCommandWithAnEmptyValueReportsTheErrorAndReturnsEmpty) {
  put(".xyz", win::REG_BINARY, nullptr, 0);
  String e = u".xyz", action = u"open", command = u"app.exe";
  EXPECT_TRUE(ext_.AssociateFileCommand(e, action, command).is_empty());
  ASSERT_EQ(boxes_.size(), 1u);  // the companion's report only
  EXPECT_NE(boxes_[0].text.find("Error 5: Invalid procedure call or argument"), std::string::npos);
  EXPECT_NE(boxes_[0].text.find("Source: czVolmCustomFileExt.AssociateFileCommand"), std::string::npos);
  EXPECT_EQ(boxes_[0].caption, "Volumar10");
  EXPECT_EQ(stored(), (Listing{".xyz", ".xyz|=<type3:0>"}));
}

TEST_F(FileExt, AssociateFileCommandWithAnEmptyValueFailsWhenTheCompanionIsMissing) {
  revoke_companion();
  put(".xyz", win::REG_BINARY, nullptr, 0);
  String e = u".xyz", action = u"open", command = u"app.exe";
  try {
    ext_.AssociateFileCommand(e, action, command);
    FAIL() << "expected the object-creation error";
  } catch (const win::AutomationError& error) {
    EXPECT_EQ(error.number(), win::kErrCannotCreateObject);
  }
  EXPECT_TRUE(boxes_.empty());
}
