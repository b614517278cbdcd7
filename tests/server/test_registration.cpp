// Self-registration: the entries DllRegisterServer leaves in the persistent
// store (read back in a new process), creation through them, and
// unregistration restoring the registry as it was.
#include <gtest/gtest.h>

#include "frame/application_object.h"
#include "frame/library_info.h"
#include "platform/registry/registry.h"
#include "server/class_registry.h"
#include "server/registration.h"
#include "tests/assoc/registry_readback.h"
#include "tests/fixtures/temp_dir.h"

using namespace volumar;
using readback::Listing;

namespace {

class Registration : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(win::registry_use_file(store_)); }
  void TearDown() override { win::registry_use_memory(); }
  Listing stored() { return readback::classes_root_in_new_process(store_); }

  static std::string default_value(const std::string& path, const char* name = "") {
    win::HKEY key = nullptr;
    if (win::RegOpenKeyExA(win::HKEY_CLASSES_ROOT, path.c_str(), 0, win::KEY_READ, &key) != win::ERROR_SUCCESS)
      return "<no key>";
    char buf[1024];
    win::DWORD size = sizeof buf, type = 0;
    const win::LONG rc = win::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<win::BYTE*>(buf), &size);
    win::RegCloseKey(key);
    if (rc != win::ERROR_SUCCESS || type != win::REG_SZ || size == 0) return "<no value>";
    return std::string(buf, size - 1);
  }

  static void put(const char* path, const char* value) {
    win::HKEY key = nullptr;
    ASSERT_EQ(win::RegCreateKeyA(win::HKEY_CLASSES_ROOT, path, &key), win::ERROR_SUCCESS);
    ASSERT_EQ(win::RegSetValueA(key, "", win::REG_SZ, value, 0), win::ERROR_SUCCESS);
    win::RegCloseKey(key);
  }

  fixtures::TempDir dir_{"volumar-registration"};
  std::filesystem::path store_ = dir_.file("registry.db");
};

}  // namespace

TEST_F(Registration, EveryClassIsRecordedWithServerThreadingProgIdTypeLibraryAndVersion) {
  ASSERT_EQ(DllRegisterServer(), win::S_OK);
  const Listing s = stored();
  const std::string file = library_file_path();
  ASSERT_FALSE(file.empty());
  const std::string libid = kLibid;
  for (const ClassInfo* c : library_classes()) {
    SCOPED_TRACE(c->name);
    const std::string key = std::string("CLSID\\") + c->clsid;
    EXPECT_EQ(readback::below(s, key), (Listing{
                                           key,
                                           key + "|=" + c->name,
                                           key + "\\InprocServer32",
                                           key + "\\InprocServer32|=" + file,
                                           key + "\\InprocServer32|ThreadingModel=Apartment",
                                           key + "\\ProgID",
                                           key + "\\ProgID|=" + c->progid(),
                                           key + "\\TypeLib",
                                           key + "\\TypeLib|=" + libid,
                                           key + "\\Version",
                                           key + "\\Version|=1.0",
                                       }));
    EXPECT_TRUE(s.count(c->progid() + "\\CLSID|=" + c->clsid));
    const std::string itf = std::string("Interface\\") + c->iid;
    EXPECT_TRUE(s.count(itf + "|=" + c->interface_name));
    EXPECT_TRUE(s.count(itf + "\\ProxyStubClsid32|={00020424-0000-0000-C000-000000000046}"));
    EXPECT_TRUE(s.count(itf + "\\TypeLib|=" + libid));
    EXPECT_TRUE(s.count(itf + "\\TypeLib|Version=1.0"));
  }
  const std::string tlb = "TypeLib\\" + libid + "\\1.0";
  EXPECT_TRUE(s.count(tlb + "|=" + kLibraryDescription));
  EXPECT_TRUE(s.count(tlb + "\\0\\win32|=" + file));
  EXPECT_TRUE(s.count(tlb + "\\FLAGS|=0"));
  EXPECT_TRUE(s.count(tlb + "\\HELPDIR|=" + file.substr(0, file.rfind('/'))));
}

TEST_F(Registration, EveryClassIsCreatableThroughItsRegisteredProgId) {
  ASSERT_EQ(DllRegisterServer(), win::S_OK);
  for (const ClassInfo* c : library_classes()) {
    SCOPED_TRACE(c->name);
    // What the component runtime does: ProgID -> class id -> server file -> class object.
    const std::string clsid = default_value(c->progid() + "\\CLSID");
    EXPECT_EQ(default_value("CLSID\\" + clsid + "\\InprocServer32"), library_file_path());
    const ClassFactory* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(clsid, &factory), win::S_OK);
    ObjectRef object = factory->CreateInstance();
    ASSERT_TRUE(object);
    EXPECT_EQ(object->type_name(), S(c->name));
  }
}

TEST_F(Registration, UnregisteringAnEmptyRegistryLeavesItEmpty) {
  ASSERT_EQ(DllRegisterServer(), win::S_OK);
  ASSERT_EQ(DllRegisterServer(), win::S_OK);  // again, over its own entries
  ASSERT_EQ(DllUnregisterServer(), win::S_OK);
  EXPECT_EQ(stored(), Listing{});
}

TEST_F(Registration, RegisterThenUnregisterLeavesOtherEntriesAsTheyWere) {
  put(".txt", "txtfile");
  put("txtfile\\shell\\open\\command", "notepad.exe %1");
  put("CLSID\\{11111111-2222-3333-4444-555555555555}", "Other");
  put("TypeLib\\{6A4F588D-BCD1-4F06-8896-F8FC90E1ECF7}\\2.0", "A later version");
  put("Interface\\{99999999-2222-3333-4444-555555555555}", "IOther");
  const Listing before = stored();
  ASSERT_EQ(DllRegisterServer(), win::S_OK);
  EXPECT_NE(stored(), before);
  ASSERT_EQ(DllUnregisterServer(), win::S_OK);
  EXPECT_EQ(stored(), before);
}

TEST_F(Registration, UnregisteringWhatWasNeverRegisteredChangesNothing) {
  put("CLSID\\{11111111-2222-3333-4444-555555555555}", "Other");
  const Listing before = stored();
  EXPECT_EQ(DllUnregisterServer(), win::S_OK);
  EXPECT_EQ(stored(), before);
}

TEST_F(Registration, UnregistrationAlsoRemovesEntriesOthersAddedBelowTheLibrarysKeys) {
  ASSERT_EQ(DllRegisterServer(), win::S_OK);
  put((std::string("CLSID\\") + library_classes()[0]->clsid + "\\Implemented Categories").c_str(), "x");
  ASSERT_EQ(DllUnregisterServer(), win::S_OK);
  EXPECT_EQ(stored(), Listing{});
}
