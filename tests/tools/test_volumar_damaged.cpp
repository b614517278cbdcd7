// Damaged and truncated volumes: a boot sector with each field damaged in
// turn is reported field by field while the raw commands still work; a
// truncated image is reported and never read as zeros; a FAT32 boot sector
// is restored from its backup.
#include "format/boot_sector.h"
#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

class VolumarDamaged : public ::testing::Test {
 protected:
  void SetUp() override { VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "fsck.fat"); }
  fixtures::ToolRun run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--journal", (dir.path() / "journal.db").string()});
    return volumar(args);
  }
  TempDir dir{"volumar-damaged"};
};

TEST_F(VolumarDamaged, EachDamagedFieldIsNamedAndRawCommandsStillWork) {
  const auto image = make_image(dir, "d.img", fat16());
  const std::string img = image.string();
  const auto sound = read_file(image);
  const struct {
    const char* field;
    void (*damage)(ondisk::BootSector&);
  } cases[] = {
      {"jump instruction", [](ondisk::BootSector& b) { b.jump = 0; }},
      {"bytes per sector: 0", [](ondisk::BootSector& b) { b.bytes_per_sector = 0; }},
      {"bytes per sector: 768", [](ondisk::BootSector& b) { b.bytes_per_sector = 768; }},
      {"sectors per cluster: 3", [](ondisk::BootSector& b) { b.sectors_per_cluster = 3; }},
      {"reserved sectors: 0", [](ondisk::BootSector& b) { b.reserved_sectors = 0; }},
      {"number of FATs: 0", [](ondisk::BootSector& b) { b.number_of_fats = 0; }},
      {"media descriptor", [](ondisk::BootSector& b) { b.media = 0x12; }},
      {"total sectors: 0", [](ondisk::BootSector& b) { b.total_sectors16 = b.total_sectors32 = 0; }},
      {"sectors per FAT: 0", [](ondisk::BootSector& b) { b.sectors_per_fat16 = 0; }},
      {"root directory entries: 0", [](ondisk::BootSector& b) { b.root_entries = 0; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    std::vector<std::uint8_t> boot(sound.begin(), sound.begin() + 512);
    auto fields = ondisk::decode_boot_sector(boot);
    c.damage(fields);
    ondisk::encode_boot_sector(fields, boot);
    write_bytes(image, 0, boot);
    const auto info = run({"info", "--properties", img});
    VOLUMAR_EXPECT_RUN(info, 1);
    EXPECT_NE(info.err.find(c.field), std::string::npos) << info.describe();
    const auto dump = run({"dump", img, "--raw", "--sector", "0"});
    VOLUMAR_EXPECT_RUN(dump, 0);
    EXPECT_EQ(dump.out.rfind("000 |", 0), 0u) << dump.describe();
    // The raw write mends it, journaled like any other.
    const auto mend = run({"write", img, "--raw", "--sector", "0", "--hex", "EB 3C 90 6D 6B 66 73 2E 66 61 74 00 02 04",
                           "--offset", "0", "--yes"});
    VOLUMAR_EXPECT_RUN(mend, 0);
    write_bytes(image, 0, {sound.begin(), sound.begin() + 512});
  }
  VOLUMAR_EXPECT_RUN(run({"info", "--properties", img}), 0);
}

TEST_F(VolumarDamaged, ATruncatedImageIsReportedNeverReadAsZeros) {
  const auto image = make_image(dir, "t.img", floppy());
  std::filesystem::resize_file(image, 1000 * 512);
  const std::string img = image.string();
  const auto info = run({"info", "--properties", img});
  VOLUMAR_EXPECT_RUN(info, 0);
  EXPECT_NE(info.err.find("962560 fewer than the 2880 sectors its boot sector states; sectors 1000-2879 are missing"),
            std::string::npos)
      << info.describe();
  for (const auto& args : std::vector<std::vector<std::string>>{{"dump", img, "--sector", "1500"},
                                                                {"dump", img, "--sector", "998", "--count", "3"},
                                                                {"fill", img, "--sector", "1500", "--yes"}}) {
    const auto refused = run(args);
    VOLUMAR_EXPECT_RUN(refused, 1);
    EXPECT_TRUE(refused.out.empty()) << refused.describe();
    EXPECT_NE(refused.err.find("could not be read whole (the image ends after sector 999)"), std::string::npos)
        << refused.describe();
  }
  // The script host prints no padding as data either.
  const auto call = run({"-d", "C=" + img, "call", "clsQzVolmDrwA", "DrivePP=\"C:\"", "ClusterFoundPP=1500",
                         "ReadSectorData", "SectorDataLocation"});
  VOLUMAR_EXPECT_RUN(call, 1);
  EXPECT_EQ(call.out.find("ReadSectorData ="), std::string::npos) << call.describe();
  EXPECT_NE(call.err.find("past the end of the image"), std::string::npos) << call.describe();
  EXPECT_EQ(std::filesystem::file_size(image), 1000u * 512);
}

TEST_F(VolumarDamaged, AFat32BootSectorIsRestoredFromItsBackup) {
  const auto image = make_image(dir, "b.img", fat32());
  const std::string img = image.string();
  const auto sound = read_file(image);
  write_bytes(image, 0, std::vector<std::uint8_t>(90, 0));  // the whole parameter block gone
  VOLUMAR_EXPECT_RUN(run({"info", "--properties", img}), 1);
  const auto shown = run({"boot", "show", img});
  VOLUMAR_EXPECT_RUN(shown, 0);
  EXPECT_NE(shown.out.find("bytes per sector         0                512               <- differs"), std::string::npos)
      << shown.out;
  VOLUMAR_EXPECT_RUN(run({"boot", "restore", img, "--yes"}), 0);
  EXPECT_TRUE(read_file(image) == sound);
  const auto fsck = fixtures::fsck_check(image);
  EXPECT_TRUE(fsck.clean) << fsck.output;
  // Journaled: undo puts the damage back, and undoing that mends it again.
  VOLUMAR_EXPECT_RUN(run({"undo", img, "--yes"}), 0);
  EXPECT_FALSE(read_file(image) == sound);
  VOLUMAR_EXPECT_RUN(run({"boot", "restore", img, "--yes"}), 0);
  EXPECT_TRUE(read_file(image) == sound);
  // A volume without a sound backup is left alone.
  const auto floppy_image = make_image(dir, "f.img", floppy());
  VOLUMAR_EXPECT_RUN(run({"boot", "restore", floppy_image.string(), "--yes"}), 1);
}

}  // namespace
}  // namespace tooltest
