// volumar cipher, drives, assoc and demo, run as the real program.
#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

TEST(VolumarCipher, EncodeThenDecodeGivesTheTextBackAndOnlyLettersAndDigitsChange) {
  const std::string text = "Hello, World 2024! (~_~)";
  const auto encoded = volumar({"cipher", "encode", text});
  VOLUMAR_EXPECT_RUN(encoded, 0);
  ASSERT_FALSE(encoded.out.empty());
  const std::string cipher = encoded.out.substr(0, encoded.out.size() - 1);
  EXPECT_NE(cipher, text);
  EXPECT_NE(cipher.find(", "), std::string::npos);
  EXPECT_NE(cipher.find("! (~_~)"), std::string::npos);
  for (char c : cipher) EXPECT_FALSE(std::isalnum(static_cast<unsigned char>(c))) << cipher;
  const auto decoded = volumar({"cipher", "decode", cipher});
  VOLUMAR_EXPECT_RUN(decoded, 0);
  EXPECT_EQ(decoded.out, text + "\n");
  EXPECT_EQ(volumar({"cipher", "decode", "plain 123"}).out, "plain 123\n");
  EXPECT_EQ(volumar({"cipher", "encode", ""}).out, "\n");
}

TEST(VolumarDrives, ListsTheGeometryOfEachDiskInOrder) {
  TempDir dir("volumar-drives");
  const auto small = dir.file("small.img"), large = dir.file("large.img");
  std::filesystem::resize_file((std::ofstream(small), small), 1474560);
  std::filesystem::resize_file((std::ofstream(large), large), 200ull * 1024 * 1024);
  const auto run = volumar({"--disk", small.string(), "--disk", large.string(), "drives"});
  VOLUMAR_EXPECT_RUN(run, 0);
  const auto out = lines(run.out);
  ASSERT_EQ(out.size(), 14u) << run.out;
  EXPECT_EQ(out[0], "\\\\.\\PHYSICALDRIVE0");
  EXPECT_EQ(out[7], "\\\\.\\PHYSICALDRIVE1");
  EXPECT_EQ(out[1].rfind("Cylinders : ", 0), 0u);
  EXPECT_EQ(out[5], "BytesPerSector : 512");
  EXPECT_EQ(out[13], "");
  EXPECT_TRUE(run.err.empty()) << run.err;
  // A disk that is not there is a mistake on the command line, not an empty list.
  const auto absent = dir.file("absent.img").string();
  const auto none = volumar({"--disk", absent, "drives"});
  VOLUMAR_EXPECT_RUN(none, 2);
  EXPECT_EQ(none.err, "volumar: --disk " + absent + ": No such file or directory\n");
  EXPECT_TRUE(none.out.empty());
}

class VolumarAssoc : public ::testing::Test {
 protected:
  fixtures::ToolRun assoc(std::vector<std::string> args) {
    args.insert(args.begin(), {"--registry", registry.string(), "assoc"});
    return volumar(args);
  }
  std::string exported(const std::string& key) {
    const auto file = dir.file("out.reg");
    const auto run = assoc({"export", file.string(), "--key", key});
    EXPECT_EQ(run.exit_code, 0) << run.describe();
    const auto bytes = read_file(file);
    // UTF-16LE with a byte-order mark, as the registry editor writes it.
    EXPECT_GE(bytes.size(), 2u);
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return {};
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text += static_cast<char>(bytes[i]);
    return text;
  }
  TempDir dir{"volumar-assoc"};
  std::filesystem::path registry = dir.file("registry.db");
};

TEST_F(VolumarAssoc, TheThreeMembersWriteTheirKeysAndPersistInTheStore) {
  VOLUMAR_EXPECT_RUN(assoc({"reg-extension", ".xyz", "Xyz.Document", "Xyz document", "C:\\App\\app.exe"}), 0);
  const auto ext = assoc({"AssociateFileExtension", "C:\\App\\app.exe", ".abc", "--identifier", "Abc.Doc",
                          "--description", "Abc doc", "--icon", "C:\\App\\abc.ico"});
  VOLUMAR_EXPECT_RUN(ext, 0);
  EXPECT_EQ(ext.out, "Command key: Abc.Doc\\shell\\open\\command\n");
  VOLUMAR_EXPECT_RUN(assoc({"associate-command", ".xyz", "--action", "print", "--command", "C:\\App\\app.exe /p"}), 0);

  const std::string xyz = exported("HKEY_CLASSES_ROOT\\Xyz.Document");
  EXPECT_NE(xyz.find("[HKEY_CLASSES_ROOT\\Xyz.Document]\r\n@=\"Xyz document\""), std::string::npos) << xyz;
  EXPECT_NE(xyz.find("[HKEY_CLASSES_ROOT\\Xyz.Document\\shell\\open\\command]\r\n@=\"C:\\\\App\\\\app.exe %1\""),
            std::string::npos)
      << xyz;
  EXPECT_NE(xyz.find("[HKEY_CLASSES_ROOT\\Xyz.Document\\shell\\print\\command]\r\n@=\"C:\\\\App\\\\app.exe /p\""),
            std::string::npos)
      << xyz;
  const std::string abc = exported("HKEY_CLASSES_ROOT\\Abc.Doc");
  EXPECT_NE(abc.find("@=\"\\\"C:\\\\App\\\\app.exe\\\" \\\"%1\\\"\""), std::string::npos) << abc;
  EXPECT_NE(abc.find("[HKEY_CLASSES_ROOT\\Abc.Doc\\DefaultIcon]\r\n@=\"C:\\\\App\\\\abc.ico\""), std::string::npos)
      << abc;
  EXPECT_NE(exported("HKEY_CLASSES_ROOT\\.abc").find("@=\"Abc.Doc\""), std::string::npos);
}

TEST_F(VolumarAssoc, FailuresShownByTheMembersGiveExitOne) {
  const auto missing = assoc({"associate-command", ".none", "--action", "print", "--command", "x"});
  VOLUMAR_EXPECT_RUN(missing, 1);
  EXPECT_NE(missing.err.find("Error: Opening Registry Key!"), std::string::npos) << missing.err;
  const auto file = dir.file("none.reg");
  const auto no_key = assoc({"export", file.string(), "--key", "HKEY_CLASSES_ROOT\\.none"});
  VOLUMAR_EXPECT_RUN(no_key, 1);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(VolumarDemo, WalksThroughTheExampleAndLeavesNothingBehind) {
  for (const std::string family : {"nt", "9x"}) {
    const auto run = volumar({"--family", family, "demo"});
    VOLUMAR_EXPECT_RUN(run, 0);
    for (const char* shown :
         {"info A:", "dump A:", "find A: free", "mark A: bad", "find A: bad", "call clsQzVolmDrwA",
          "File system:          FAT12", "Data area:            sectors 33-2879", "1F0 |", "Cluster: 3"})
      EXPECT_NE(run.out.find(shown), std::string::npos) << shown << "\n" << run.out;
    const auto at = run.out.find("/volumar-demo-");
    ASSERT_NE(at, std::string::npos);
    const auto start = run.out.rfind(' ', at) + 1;
    const auto folder = std::filesystem::path(run.out.substr(start, run.out.find('/', at + 1) - start));
    EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
  }
}

}  // namespace
}  // namespace tooltest
