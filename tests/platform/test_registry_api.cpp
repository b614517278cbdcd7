// Registry calls against both stores: names, default values, data sizes,
// handles of deleted keys, enumeration order, access and paths.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/trace.h"

using namespace win;

namespace {

LONG L(DWORD code) { return static_cast<LONG>(code); }

std::filesystem::path fresh_dir(const char* tag) {
  static int n = 0;
  auto dir = std::filesystem::temp_directory_path() /
             ("volumar-reg-" + std::string(tag) + "-" + std::to_string(getpid()) + "-" + std::to_string(n++));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

class RegistryApi : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      dir_ = fresh_dir("api");
      ASSERT_TRUE(registry_use_file(dir_ / "reg.db"));
    } else {
      registry_use_memory();
    }
  }
  void TearDown() override {
    registry_use_memory();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  static std::string default_of(HKEY key, const char* sub) {
    char buf[256];
    LONG size = sizeof buf;
    EXPECT_EQ(RegQueryValueA(key, sub, buf, &size), L(ERROR_SUCCESS)) << sub;
    return std::string(buf, static_cast<std::size_t>(size > 0 ? size - 1 : 0));
  }

  static HKEY create(HKEY parent, const char* path) {
    HKEY h = nullptr;
    EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              L(ERROR_SUCCESS))
        << path;
    return h;
  }

  static std::vector<std::string> subkey_names(HKEY key) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD len = sizeof name;
      LONG rc = RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr);
      if (rc == L(ERROR_NO_MORE_ITEMS)) break;
      EXPECT_EQ(rc, L(ERROR_SUCCESS));
      if (rc != L(ERROR_SUCCESS)) break;
      EXPECT_EQ(len, std::strlen(name));
      names.emplace_back(name);
    }
    return names;
  }

  std::filesystem::path dir_;
};

INSTANTIATE_TEST_SUITE_P(Stores, RegistryApi, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "File" : "Memory"; });

TEST_P(RegistryApi, NamesMatchWithoutCaseAndKeepTheirFirstSpelling) {
  RegCloseKey(create(HKEY_CLASSES_ROOT, "Xyz.Document\\Shell"));
  HKEY h = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "xYZ.DOCUMENT\\shell", 0, KEY_READ, &h), L(ERROR_SUCCESS));
  RegCloseKey(h);
  DWORD disposition = 0;
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_CLASSES_ROOT, "XYZ.document", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, &disposition),
      L(ERROR_SUCCESS));
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(subkey_names(h), std::vector<std::string>{"Shell"});
  RegCloseKey(h);
  EXPECT_EQ(subkey_names(HKEY_CLASSES_ROOT), std::vector<std::string>{"Xyz.Document"});

  // Value names too; Latin letters of the code page fold like ASCII ones.
  h = create(HKEY_CLASSES_ROOT, "Caf\xE9");
  const char v1[] = "one";
  ASSERT_EQ(RegSetValueExA(h, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(v1), sizeof v1), L(ERROR_SUCCESS));
  ASSERT_EQ(RegSetValueExA(h, "NAME", 0, REG_SZ, reinterpret_cast<const BYTE*>("two"), 4), L(ERROR_SUCCESS));
  char name[16];
  DWORD len = sizeof name;
  ASSERT_EQ(RegEnumValueA(h, 0, name, &len, nullptr, nullptr, nullptr, nullptr), L(ERROR_SUCCESS));
  EXPECT_STREQ(name, "Name");
  EXPECT_EQ(RegEnumValueA(h, 1, name, &len, nullptr, nullptr, nullptr, nullptr), L(ERROR_NO_MORE_ITEMS));
  RegCloseKey(h);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CAF\xC9", 0, KEY_READ, &h), L(ERROR_SUCCESS));
  EXPECT_EQ(default_of(HKEY_CLASSES_ROOT, "cAF\xC9"), "");
  RegCloseKey(h);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CAFE", 0, KEY_READ, &h), L(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(h, nullptr);
}

TEST_P(RegistryApi, DefaultValueUnsetReadsEmptyThroughOldCallButIsMissingThroughEx) {
  HKEY h = create(HKEY_CLASSES_ROOT, ".xyz");
  EXPECT_EQ(default_of(HKEY_CLASSES_ROOT, ".xyz"), "");
  LONG size = 0;
  EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, ".xyz", nullptr, &size), L(ERROR_SUCCESS));
  EXPECT_EQ(size, 1);
  DWORD cb = 0;
  EXPECT_EQ(RegQueryValueExA(h, "", nullptr, nullptr, nullptr, &cb), L(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegQueryValueExA(h, nullptr, nullptr, nullptr, nullptr, &cb), L(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, ".missing", nullptr, &size), L(ERROR_FILE_NOT_FOUND));

  // NULL and "" name the same value.
  ASSERT_EQ(RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("Xyz.Document"), 12), L(ERROR_SUCCESS));
  EXPECT_EQ(default_of(h, nullptr), "Xyz.Document");
  EXPECT_EQ(RegDeleteValueA(h, ""), L(ERROR_SUCCESS));
  EXPECT_EQ(RegDeleteValueA(h, nullptr), L(ERROR_FILE_NOT_FOUND));
  RegCloseKey(h);
}

TEST_P(RegistryApi, SetValueCreatesEveryKeyOnThePath) {
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "Xyz.Document\\shell\\open\\command", REG_SZ, "C:\\App\\app.exe %1", 0),
            L(ERROR_SUCCESS));
  EXPECT_EQ(default_of(HKEY_CLASSES_ROOT, "Xyz.Document\\shell\\open\\command"), "C:\\App\\app.exe %1");
  EXPECT_EQ(default_of(HKEY_CLASSES_ROOT, "Xyz.Document\\shell"), "");
  EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "x", REG_EXPAND_SZ, "v", 1), L(ERROR_INVALID_PARAMETER));
  // An empty path sets the key's own default value.
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, "Xyz.Document", &h), L(ERROR_SUCCESS));
  ASSERT_EQ(RegSetValueA(h, "", REG_SZ, "Xyz document", 999), L(ERROR_SUCCESS));
  RegCloseKey(h);
  EXPECT_EQ(default_of(HKEY_CLASSES_ROOT, "Xyz.Document"), "Xyz document");
}

TEST_P(RegistryApi, StringSetWithoutItsNulReadsBackWithOne) {
  HKEY h = create(HKEY_CLASSES_ROOT, ".xyz");
  std::string type = "Xyz.Document";
  ASSERT_EQ(
      RegSetValueExA(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(type.c_str()), static_cast<DWORD>(type.size())),
      L(ERROR_SUCCESS));
  // The caller's idiom: ask the size, fill a buffer, drop the terminator.
  DWORD cb = 0, kind = 0;
  ASSERT_EQ(RegQueryValueExA(h, "", nullptr, &kind, nullptr, &cb), L(ERROR_SUCCESS));
  EXPECT_EQ(kind, REG_SZ);
  ASSERT_EQ(cb, type.size() + 1);
  std::string buf(cb, '\0');
  ASSERT_EQ(RegQueryValueExA(h, "", nullptr, nullptr, reinterpret_cast<BYTE*>(buf.data()), &cb), L(ERROR_SUCCESS));
  EXPECT_EQ(buf.substr(0, buf.size() - 1), type);

  // Too small: ERROR_MORE_DATA, the size needed, and the type all the same.
  char small[4];
  cb = sizeof small;
  kind = 0;
  EXPECT_EQ(RegQueryValueExA(h, "", nullptr, &kind, reinterpret_cast<BYTE*>(small), &cb), L(ERROR_MORE_DATA));
  EXPECT_EQ(cb, type.size() + 1);
  EXPECT_EQ(kind, REG_SZ);
  LONG lcb = 4;
  EXPECT_EQ(RegQueryValueA(h, nullptr, small, &lcb), L(ERROR_MORE_DATA));
  EXPECT_EQ(lcb, static_cast<LONG>(type.size() + 1));

  // Data not followed by a NUL is kept unterminated; a read that has room adds one uncounted.
  const char letters[] = "abcdef";
  ASSERT_EQ(RegSetValueExA(h, "cut", 0, REG_SZ, reinterpret_cast<const BYTE*>(letters), 3), L(ERROR_SUCCESS));
  char out[8];
  std::memset(out, 'X', sizeof out);
  cb = sizeof out;
  ASSERT_EQ(RegQueryValueExA(h, "cut", nullptr, nullptr, reinterpret_cast<BYTE*>(out), &cb), L(ERROR_SUCCESS));
  EXPECT_EQ(cb, 3u);
  EXPECT_STREQ(out, "abc");
  std::memset(out, 'X', sizeof out);
  cb = 3;
  ASSERT_EQ(RegQueryValueExA(h, "cut", nullptr, nullptr, reinterpret_cast<BYTE*>(out), &cb), L(ERROR_SUCCESS));
  EXPECT_EQ(out[3], 'X');
  // The old call always hands back a terminated text.
  EXPECT_EQ(RegSetValueExA(h, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(letters), 3), L(ERROR_SUCCESS));
  EXPECT_EQ(default_of(h, nullptr), "abc");

  // A zero-length string stays empty.
  ASSERT_EQ(RegSetValueExA(h, "empty", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 0), L(ERROR_SUCCESS));
  cb = 99;
  ASSERT_EQ(RegQueryValueExA(h, "empty", nullptr, nullptr, nullptr, &cb), L(ERROR_SUCCESS));
  EXPECT_EQ(cb, 0u);
  RegCloseKey(h);
}

TEST_P(RegistryApi, ValueTypesKeepTheirBytes) {
  HKEY h = create(HKEY_CURRENT_USER, "Software\\Volumar");
  DWORD ten = 10;
  const BYTE blob[] = {0, 1, 0, 0xFF, 0};  // NULs inside, and a NUL after the count
  const char expand[] = "%SystemRoot%\\x";
  const char multi[] = "one\0two\0";
  const char cp1252[] = "\x80 caf\xE9";
  ASSERT_EQ(RegSetValueExA(h, "n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ten), 4), L(ERROR_SUCCESS));
  ASSERT_EQ(RegSetValueExA(h, "b", 0, REG_BINARY, blob, 4), L(ERROR_SUCCESS));
  ASSERT_EQ(RegSetValueExA(h, "e", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand), sizeof expand),
            L(ERROR_SUCCESS));
  ASSERT_EQ(RegSetValueExA(h, "m", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi),
            L(ERROR_SUCCESS));
  ASSERT_EQ(RegSetValueExA(h, "a", 0, REG_SZ, reinterpret_cast<const BYTE*>(cp1252), sizeof cp1252), L(ERROR_SUCCESS));
  ASSERT_EQ(RegSetValueExA(h, "z", 0, REG_BINARY, nullptr, 0), L(ERROR_SUCCESS));
  EXPECT_NE(RegSetValueExA(h, "bad", 0, REG_BINARY, nullptr, 4), L(ERROR_SUCCESS));

  auto read = [&](const char* name, DWORD want_type) {
    BYTE buf[64];
    DWORD cb = sizeof buf, type = 0;
    EXPECT_EQ(RegQueryValueExA(h, name, nullptr, &type, buf, &cb), L(ERROR_SUCCESS)) << name;
    EXPECT_EQ(type, want_type) << name;
    return std::string(reinterpret_cast<char*>(buf), cb);
  };
  EXPECT_EQ(read("n", REG_DWORD), std::string("\x0a\0\0\0", 4));
  EXPECT_EQ(read("b", REG_BINARY), std::string("\0\x01\0\xFF", 4));
  EXPECT_EQ(read("e", REG_EXPAND_SZ), std::string(expand, sizeof expand));
  EXPECT_EQ(read("m", REG_MULTI_SZ), std::string(multi, sizeof multi));
  EXPECT_EQ(read("a", REG_SZ), std::string(cp1252, sizeof cp1252));
  EXPECT_EQ(read("z", REG_BINARY), "");
  RegCloseKey(h);
}

TEST_P(RegistryApi, HandleOfADeletedKeyReportsKeyDeleted) {
  HKEY h = create(HKEY_CLASSES_ROOT, "Gone");
  HKEY child = create(h, "Child\\Grandchild");
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "Gone"), L(ERROR_ACCESS_DENIED));  // it has subkeys
  ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "gone"), L(ERROR_SUCCESS));
  // Even a key of the same name made afresh is not the one the handles knew.
  RegCloseKey(create(HKEY_CLASSES_ROOT, "Gone\\Child\\Grandchild"));

  DWORD v = 1, cb = 4;
  HKEY sub = nullptr;
  char name[8];
  DWORD len = sizeof name;
  for (HKEY dead : {h, child}) {
    EXPECT_EQ(RegSetValueExA(dead, "v", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), L(ERROR_KEY_DELETED));
    EXPECT_EQ(RegQueryValueExA(dead, "v", nullptr, nullptr, nullptr, &cb), L(ERROR_KEY_DELETED));
    EXPECT_EQ(RegCreateKeyExA(dead, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr), L(ERROR_KEY_DELETED));
    EXPECT_EQ(RegEnumKeyExA(dead, 0, name, &len, nullptr, nullptr, nullptr, nullptr), L(ERROR_KEY_DELETED));
    EXPECT_EQ(RegCloseKey(dead), L(ERROR_SUCCESS));
    EXPECT_EQ(RegCloseKey(dead), L(ERROR_INVALID_HANDLE));
  }
  EXPECT_EQ(default_of(HKEY_CLASSES_ROOT, "Gone\\Child\\Grandchild"), "");
}

TEST_P(RegistryApi, DeletingKeysAndTrees) {
  RegCloseKey(create(HKEY_CLASSES_ROOT, "T\\a\\b"));
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "T", REG_SZ, "top", 0), L(ERROR_SUCCESS));
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "T\\a\\missing"), L(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "T\\a"), L(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "T\\A\\B"), L(ERROR_SUCCESS));
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), L(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "nothing"), L(ERROR_FILE_NOT_FOUND));

  // Without a subkey the tree call empties the key but keeps it.
  HKEY t = create(HKEY_CLASSES_ROOT, "T");
  ASSERT_EQ(RegDeleteTreeA(t, nullptr), L(ERROR_SUCCESS));
  EXPECT_TRUE(subkey_names(t).empty());
  DWORD cb = 0;
  EXPECT_EQ(RegQueryValueExA(t, "", nullptr, nullptr, nullptr, &cb), L(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegSetValueA(t, nullptr, REG_SZ, "still here", 0), L(ERROR_SUCCESS));
  RegCloseKey(t);
  EXPECT_EQ(subkey_names(HKEY_CLASSES_ROOT), std::vector<std::string>{"T"});
}

TEST_P(RegistryApi, EnumerationOrder) {
  // Subkeys by their upper-cased names ('_' sorts after the letters), values as first set.
  for (const char* name : {"c", "_x", "B", "a"})
    RegCloseKey(create(HKEY_LOCAL_MACHINE, (std::string("E\\") + name).c_str()));
  HKEY e = create(HKEY_LOCAL_MACHINE, "E");
  EXPECT_EQ(subkey_names(e), (std::vector<std::string>{"a", "B", "c", "_x"}));

  for (const char* name : {"zeta", "alpha", "", "mid"})
    ASSERT_EQ(RegSetValueExA(e, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("v"), 2), L(ERROR_SUCCESS));
  ASSERT_EQ(RegSetValueExA(e, "ALPHA", 0, REG_SZ, reinterpret_cast<const BYTE*>("longer value"), 13), L(ERROR_SUCCESS));
  ASSERT_EQ(RegDeleteValueA(e, "zeta"), L(ERROR_SUCCESS));
  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    char name[16];
    DWORD len = sizeof name;
    BYTE data[4];
    DWORD cb = sizeof data;
    LONG rc = RegEnumValueA(e, i, name, &len, nullptr, nullptr, data, &cb);
    if (rc == L(ERROR_NO_MORE_ITEMS)) break;
    if (names.size() == 0) {
      // "alpha" has grown past the buffer: the size needed comes back.
      EXPECT_EQ(rc, L(ERROR_MORE_DATA));
      EXPECT_EQ(cb, 13u);
    } else {
      EXPECT_EQ(rc, L(ERROR_SUCCESS));
    }
    names.emplace_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "", "mid"}));

  // A name buffer must hold the NUL too.
  char name[2];
  DWORD len = 2;
  EXPECT_EQ(RegEnumKeyExA(e, 3, name, &len, nullptr, nullptr, nullptr, nullptr), L(ERROR_MORE_DATA));
  len = 2;
  EXPECT_EQ(RegEnumKeyExA(e, 0, name, &len, nullptr, nullptr, nullptr, nullptr), L(ERROR_SUCCESS));
  EXPECT_EQ(RegEnumKeyA(e, 4, name, 2), L(ERROR_NO_MORE_ITEMS));
  FILETIME ft{};
  len = 2;
  ASSERT_EQ(RegEnumKeyExA(e, 0, name, &len, nullptr, nullptr, nullptr, &ft), L(ERROR_SUCCESS));
  EXPECT_GT((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime),
            116444736000000000ull);  // after 1970
  RegCloseKey(e);
}

TEST_P(RegistryApi, HandlesAccessAndPaths) {
  EXPECT_EQ(RegCloseKey(nullptr), L(ERROR_INVALID_HANDLE));
  EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), L(ERROR_SUCCESS));
  HKEY h = nullptr;
  EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(0x1234), "x", 0, KEY_READ, &h), L(ERROR_INVALID_HANDLE));
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_READ, &h), L(ERROR_SUCCESS));
  EXPECT_EQ(h, HKEY_CLASSES_ROOT);
  EXPECT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, nullptr, &h), L(ERROR_SUCCESS));
  EXPECT_EQ(h, HKEY_CLASSES_ROOT);

  // A path built from an empty identifier begins with a backslash.
  EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "\\DefaultIcon", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            L(ERROR_BAD_PATHNAME));
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "\\DefaultIcon", REG_SZ, "x", 0), L(ERROR_BAD_PATHNAME));
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "a\\\\b", 0, KEY_READ, &h), L(ERROR_BAD_PATHNAME));
  EXPECT_TRUE(subkey_names(HKEY_CLASSES_ROOT).empty());
  RegCloseKey(create(HKEY_CLASSES_ROOT, "trail\\"));
  EXPECT_EQ(subkey_names(HKEY_CLASSES_ROOT), std::vector<std::string>{"trail"});

  // A read-only handle reads, opens what exists, and changes nothing.
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "trail\\sub", REG_SZ, "v", 0), L(ERROR_SUCCESS));
  HKEY ro = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "trail", 0, KEY_READ, &ro), L(ERROR_SUCCESS));
  EXPECT_EQ(RegSetValueExA(ro, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), L(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteValueA(ro, "v"), L(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegCreateKeyExA(ro, "new", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), L(ERROR_ACCESS_DENIED));
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(ro, "SUB", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, &disposition), L(ERROR_SUCCESS));
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(default_of(h, nullptr), "v");
  RegCloseKey(h);
  HKEY none = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "trail", 0, 0, &none), L(ERROR_SUCCESS));
  DWORD cb = 0;
  EXPECT_EQ(RegQueryValueExA(none, "", nullptr, nullptr, nullptr, &cb), L(ERROR_ACCESS_DENIED));
  RegCloseKey(none);

  // Switching stores closes every handle.
  registry_use_memory();
  EXPECT_EQ(RegQueryValueExA(ro, "", nullptr, nullptr, nullptr, &cb), L(ERROR_INVALID_HANDLE));
  EXPECT_EQ(RegCloseKey(ro), L(ERROR_INVALID_HANDLE));
}

TEST_P(RegistryApi, EachCallTracesOneLine) {
  std::vector<std::string> lines;
  set_trace_sink([&](const std::string& line) { lines.push_back(line); });
  HKEY h = nullptr;
  RegCreateKeyA(HKEY_CLASSES_ROOT, ".xyz", &h);
  RegSetValueA(h, nullptr, REG_SZ, "Xyz.Document", 12);
  DWORD cb = 0;
  RegQueryValueExA(h, "nope", nullptr, nullptr, nullptr, &cb);
  RegCloseKey(h);
  set_trace_sink(nullptr);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("RegCreateKeyA(HKEY_CLASSES_ROOT, \".xyz\", &) = 0x0 hkey=0x", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], "RegSetValueA(" + lines[0].substr(lines[0].find("hkey=") + 5) +
                          ", null, REG_SZ, \"Xyz.Document\", 12) = 0x0");
  EXPECT_EQ(lines[2].rfind("RegQueryValueExA(", 0), 0u) << lines[2];
  EXPECT_NE(lines[2].find(", \"nope\", null, null, null, 0) = 0x2"), std::string::npos) << lines[2];
  EXPECT_EQ(lines[3].rfind("RegCloseKey(0x", 0), 0u) << lines[3];
}

TEST(RegistryFile, RefusesFilesThatAreNotRegistries) {
  auto dir = fresh_dir("foreign");
  std::ofstream(dir / "text.db") << "not a database, just some text that is long enough to be a header........";
  EXPECT_FALSE(registry_use_file(dir / "text.db"));
  EXPECT_FALSE(registry_use_file(dir / "no-such-dir" / "reg.db"));
  // The current store stays in use after a refusal.
  registry_use_memory();
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "k", REG_SZ, "v", 0), L(ERROR_SUCCESS));
  EXPECT_FALSE(registry_use_file(dir / "text.db"));
  char buf[4];
  LONG size = sizeof buf;
  EXPECT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, "k", buf, &size), L(ERROR_SUCCESS));
  registry_use_memory();
  std::filesystem::remove_all(dir);
}

// The .reg text has no way to write a line break in a name: such names never get in.
TEST_P(RegistryApi, NamesWithLineBreaksAreRefusedAndNothingIsStored) {
  HKEY h = create(HKEY_CLASSES_ROOT, "ok"), out = nullptr;
  const BYTE* v = reinterpret_cast<const BYTE*>("v");
  const struct {
    const char* what;
    LONG rc;
  } calls[] = {
      {"RegCreateKeyA CR", RegCreateKeyA(HKEY_CLASSES_ROOT, "a\rb", &out)},
      {"RegCreateKeyExA LF below",
       RegCreateKeyExA(h, "x\\a\nb", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr)},
      {"RegSetValueA subkey", RegSetValueA(HKEY_CLASSES_ROOT, "ok\\n\r\n", REG_SZ, "v", 1)},
      {"RegSetValueExA name", RegSetValueExA(h, "na\nme", 0, REG_SZ, v, 2)},
  };
  for (const auto& c : calls) EXPECT_EQ(c.rc, L(ERROR_INVALID_NAME)) << c.what;
  std::u16string text;
  ASSERT_EQ(registry_export("HKEY_CLASSES_ROOT", text), L(ERROR_SUCCESS));
  EXPECT_EQ(text,
            u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT]\r\n\r\n[HKEY_CLASSES_ROOT\\ok]\r\n\r\n");
  EXPECT_EQ(registry_import(text), L(ERROR_SUCCESS));
  RegCloseKey(h);
}

TEST(RegistryWhenNeeded, TheStoreIsChosenAtTheFirstCallThatNeedsOneAndOnlyThen) {
  const auto dir = fresh_dir("lazy");
  int opened = 0;
  registry_open_when_needed([&] { return ++opened == 1 && registry_use_file(dir / "reg.db"); });
  HKEY h = nullptr;
  EXPECT_EQ(RegCloseKey(HKEY_CLASSES_ROOT), L(ERROR_SUCCESS));
  EXPECT_FALSE(std::filesystem::exists(dir / "reg.db"));
  EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".xyz", REG_SZ, "Xyz", 3), L(ERROR_SUCCESS));
  EXPECT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".abc", REG_SZ, "Abc", 3), L(ERROR_SUCCESS));
  EXPECT_EQ(opened, 1);
  EXPECT_TRUE(std::filesystem::exists(dir / "reg.db"));
  // An opener that fails fails every call after it, and says so once.
  const auto failures = registry_store_failure().serial;
  registry_open_when_needed([&] { return ++opened == 0; });
  std::u16string text;
  EXPECT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, ".xyz", &h), L(ERROR_REGISTRY_IO_FAILED));
  EXPECT_EQ(registry_export("", text), L(ERROR_REGISTRY_IO_FAILED));
  EXPECT_EQ(registry_import(u"REGEDIT4\r\n"), L(ERROR_REGISTRY_IO_FAILED));
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(registry_store_failure().serial, failures + 1);
  registry_use_memory();
  std::filesystem::remove_all(dir);
}

}  // namespace
