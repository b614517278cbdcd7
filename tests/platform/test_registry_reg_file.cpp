// .reg files: the registry editor's text exactly, wrapping, escapes, the
// encodings it reads, and a round trip back to the same keys and values.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/utf8.h"

using namespace win;

namespace {

LONG L(DWORD code) { return static_cast<LONG>(code); }

class RegFile : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_use_memory();
    dir_ = std::filesystem::temp_directory_path() / ("volumar-reg-file-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    registry_use_memory();
    std::filesystem::remove_all(dir_);
  }

  static HKEY create(const char* path) {
    HKEY h = nullptr;
    EXPECT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, path, &h), L(ERROR_SUCCESS));
    return h;
  }
  static void set(HKEY h, const char* name, DWORD type, const std::string& data) {
    EXPECT_EQ(
        RegSetValueExA(h, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size())),
        L(ERROR_SUCCESS))
        << name;
  }
  static std::string get(const char* key, const char* name, DWORD* type = nullptr) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &h)) return "<no key>";
    BYTE buf[512];
    DWORD cb = sizeof buf;
    LONG rc = RegQueryValueExA(h, name, nullptr, type, buf, &cb);
    RegCloseKey(h);
    return rc ? "<no value>" : std::string(reinterpret_cast<char*>(buf), cb);
  }
  static std::u16string exported(const char* path = "HKEY_CLASSES_ROOT") {
    std::u16string text;
    EXPECT_EQ(registry_export(path, text), L(ERROR_SUCCESS));
    return text;
  }
  static std::string bytes_of(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  void write_file(const char* name, const std::string& bytes) { std::ofstream(dir_ / name, std::ios::binary) << bytes; }

  std::filesystem::path dir_;
};

TEST_F(RegFile, ExportIsTheEditorsText) {
  HKEY h = create(".xyz");
  set(h, "", REG_SZ, std::string("Xyz.Document", 13));
  RegCloseKey(h);
  h = create("Xyz.Document");
  set(h, "quo\"te\\", REG_SZ, std::string("C:\\App \"x\"", 11));
  set(h, "Flags", REG_DWORD, std::string("\x0a\0\0\0", 4));
  set(h, "Path", REG_EXPAND_SZ, std::string("%P%\\a", 6));
  set(h, "Bin", REG_BINARY, std::string("\0\xff", 2));
  set(h, "", REG_SZ, std::string("Xyz document", 13));  // set last, written first
  RegCloseKey(h);
  RegCloseKey(create("Xyz.Document\\shell\\open"));

  EXPECT_EQ(utf16_to_utf8(exported()),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT]\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\.xyz]\r\n"
            "@=\"Xyz.Document\"\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\Xyz.Document]\r\n"
            "@=\"Xyz document\"\r\n"
            "\"quo\\\"te\\\\\"=\"C:\\\\App \\\"x\\\"\"\r\n"
            "\"Flags\"=dword:0000000a\r\n"
            "\"Path\"=hex(2):25,00,50,00,25,00,5c,00,61,00,00,00\r\n"
            "\"Bin\"=hex:00,ff\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\Xyz.Document\\shell]\r\n"
            "\r\n"
            "[HKEY_CLASSES_ROOT\\Xyz.Document\\shell\\open]\r\n"
            "\r\n");
  // A key named in another case exports under its stored spelling.
  EXPECT_EQ(utf16_to_utf8(exported("hkey_classes_root\\XYZ.DOCUMENT\\SHELL")),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\Xyz.Document\\shell]\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\Xyz.Document\\shell\\open]\r\n\r\n");
  std::u16string text;
  EXPECT_EQ(registry_export("HKEY_CLASSES_ROOT\\nothing", text), L(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(registry_export("HKEY_NOWHERE", text), L(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegFile, LongDataWrapsAtEightyColumnsAndReadsBack) {
  std::string blob;
  for (int i = 0; i < 300; ++i) blob += static_cast<char>(i * 7);
  HKEY h = create("Wide");
  set(h, "A rather long value name", REG_BINARY, blob);
  set(h, "text", REG_EXPAND_SZ, std::string(60, 'x') + '\0');
  RegCloseKey(h);
  auto text = utf16_to_utf8(exported());
  std::size_t start = 0, continued = 0;
  while (start < text.size()) {
    auto end = text.find("\r\n", start);
    auto line = text.substr(start, end - start);
    EXPECT_LE(line.size(), 80u) << line;
    if (line.rfind("  ", 0) == 0) ++continued;
    if (!line.empty() && line.back() == '\\') {
      EXPECT_EQ(line[line.size() - 2], ',') << line;
    }
    start = end + 2;
  }
  EXPECT_GT(continued, 10u);

  registry_use_memory();
  ASSERT_EQ(registry_import(utf8_to_utf16(text)), L(ERROR_SUCCESS));
  EXPECT_EQ(get("Wide", "A rather long value name"), blob);
  EXPECT_EQ(get("Wide", "text"), std::string(60, 'x') + '\0');
}

TEST_F(RegFile, AwkwardKeysAndValuesRoundTrip) {
  HKEY h = create("Odd]Name\\[x]");
  set(h, "back\\slash", REG_SZ, std::string("a\\b", 4));
  set(h, "q\"", REG_SZ, std::string("\"", 2));
  set(h, "ansi \x80", REG_SZ, std::string("caf\xE9 \x80", 7));
  set(h, "lines", REG_SZ, std::string("one\r\ntwo", 9));
  // No NUL follows the count, so none is counted.
  ASSERT_EQ(RegSetValueExA(h, "unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcdef"), 3), L(ERROR_SUCCESS));
  set(h, "empty", REG_SZ, std::string("", 1));
  set(h, "short dword", REG_DWORD, std::string("\x01\x02", 2));
  set(h, "qword", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
  set(h, "none", REG_NONE, "");
  set(h, "multi", REG_MULTI_SZ, std::string("a\0bc\0\0", 6));
  RegCloseKey(h);
  auto before = exported();
  EXPECT_NE(utf16_to_utf8(before).find("[HKEY_CLASSES_ROOT\\Odd]Name\\[x]]"), std::string::npos);

  registry_use_memory();
  ASSERT_EQ(registry_import(before), L(ERROR_SUCCESS));
  EXPECT_EQ(exported(), before);
  DWORD type = 0;
  EXPECT_EQ(get("odd]name\\[X]", "ANSI \x80", &type), std::string("caf\xE9 \x80", 7));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(get("Odd]Name\\[x]", "lines"), std::string("one\r\ntwo", 9));
  EXPECT_EQ(get("Odd]Name\\[x]", "unterminated"), "abc");
  EXPECT_EQ(get("Odd]Name\\[x]", "short dword", &type), std::string("\x01\x02", 2));
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(get("Odd]Name\\[x]", "none", &type), "");
  EXPECT_EQ(type, REG_NONE);
  EXPECT_EQ(get("Odd]Name\\[x]", "q\""), std::string("\"", 2));
}

TEST_F(RegFile, FilesAreUtf16WithBomAndEveryEncodingReadsBack) {
  HKEY h = create("Enc");
  set(h, "", REG_SZ, std::string("caf\xE9", 5));
  RegCloseKey(h);
  ASSERT_EQ(registry_export_file("HKEY_CLASSES_ROOT\\Enc", dir_ / "out.reg"), L(ERROR_SUCCESS));
  auto bytes = bytes_of(dir_ / "out.reg");
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFEW\0", 4));
  EXPECT_NE(bytes.find(std::string("\xE9\0\"\0\r\0\n\0", 8)), std::string::npos);  // é as UTF-16LE, CRLF
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
    if (bytes[i] == '\n') {
      EXPECT_EQ(bytes[i - 2], '\r');
    }

  registry_use_memory();
  ASSERT_EQ(registry_import_file(dir_ / "out.reg"), L(ERROR_SUCCESS));
  EXPECT_EQ(get("Enc", ""), std::string("caf\xE9", 5));

  write_file(
      "utf8.reg",
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\U8]\r\n@=\"caf\xC3\xA9\"\r\n");
  write_file("plain.reg", "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\Plain]\n@=\"caf\xC3\xA9\"\n");
  write_file("ansi.reg", "Windows Registry Editor Version 5.00\n[HKEY_CLASSES_ROOT\\Ansi]\n@=\"caf\xE9\"\n");
  // REGEDIT4 spells expandable strings in ANSI bytes.
  write_file("four.reg", "REGEDIT4\r\n\r\n[HKCR\\Four]\r\n\"e\"=hex(2):25,50,25,e9,00\r\n\"d\"=dword:00000010\r\n");
  for (const char* f : {"utf8.reg", "plain.reg", "ansi.reg", "four.reg"})
    ASSERT_EQ(registry_import_file(dir_ / f), L(ERROR_SUCCESS)) << f;
  for (const char* key : {"U8", "Plain", "Ansi"}) EXPECT_EQ(get(key, ""), std::string("caf\xE9", 5)) << key;
  DWORD type = 0;
  EXPECT_EQ(get("Four", "e", &type), std::string("%P%\xE9", 5));
  EXPECT_EQ(type, REG_EXPAND_SZ);
  EXPECT_EQ(get("Four", "d"), std::string("\x10\0\0\0", 4));
  EXPECT_EQ(registry_import_file(dir_ / "missing.reg"), L(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegFile, ABadLineWritesNothing) {
  std::size_t line = 0;
  EXPECT_EQ(registry_import(u"REGEDIT5\r\n[HKEY_CLASSES_ROOT\\A]\r\n", &line), L(ERROR_INVALID_DATA));
  EXPECT_EQ(line, 1u);
  const char16_t* bad[] = {
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\A]\r\n@=\"a\"\r\n\"x\"=dword:123456789\r\n",
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\A]\r\n@=\"a\"\r\n\"x\"=hex:1,,2\r\n",
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\A]\r\n@=\"a\"\r\n\"x=\"y\"\r\n",
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\A]\r\n@=\"a\"\r\n[HKEY_NOWHERE\\B]\r\n",
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\A]\r\n@=\"a\"\r\n[-HKEY_CLASSES_ROOT]\r\n",
  };
  for (const char16_t* text : bad) {
    line = 0;
    EXPECT_EQ(registry_import(text, &line), L(ERROR_INVALID_DATA)) << utf16_to_utf8(text);
    EXPECT_EQ(line, 5u) << utf16_to_utf8(text);
    EXPECT_EQ(get("A", ""), "<no key>");
  }
  EXPECT_EQ(registry_import(u"Windows Registry Editor Version 5.00\r\n\"v\"=\"no key yet\"\r\n", &line),
            L(ERROR_INVALID_DATA));
  EXPECT_EQ(line, 2u);
}

TEST_F(RegFile, MinusSignsDeleteKeysAndValues) {
  ASSERT_EQ(registry_import(u"Windows Registry Editor Version 5.00\r\n\r\n"
                            u"[HKEY_CLASSES_ROOT\\Gone\\Deep]\r\n@=\"x\"\r\n\r\n"
                            u"[HKEY_CLASSES_ROOT\\Kept]\r\n\"a\"=\"1\"\r\n\"b\"=\"2\"\r\n"),
            L(ERROR_SUCCESS));
  ASSERT_EQ(registry_import(u"Windows Registry Editor Version 5.00\r\n\r\n"
                            u"[-HKEY_CLASSES_ROOT\\gone]\r\n\"ignored\"=\"x\"\r\n\r\n"
                            u"[HKEY_CLASSES_ROOT\\Kept]\r\n\"A\"=-\r\n\"missing\"=-\r\n"),
            L(ERROR_SUCCESS));
  EXPECT_EQ(get("Gone", ""), "<no key>");
  EXPECT_EQ(get("Kept", "a"), "<no value>");
  EXPECT_EQ(get("Kept", "b"), std::string("2", 2));
}

}  // namespace
