// volumar info, drive arguments, global options and usage errors, run as
// the real program against images made by mkfs.fat.
#include <cstdio>
#include <map>

#include "format/boot_sector.h"
#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

// The geometry the boot sector states, read by the test itself.
struct Geometry {
  std::uint32_t bps, spc, reserved, fats, root_entries, total, spf, root_cluster;
  bool fat32;
};

Geometry boot_geometry(const std::filesystem::path& image) {
  const ondisk::BootSector b = ondisk::decode_boot_sector(read_bytes(image, 0, 512));
  Geometry g{};
  g.bps = b.bytes_per_sector;
  g.spc = b.sectors_per_cluster;
  g.reserved = b.reserved_sectors;
  g.fats = b.number_of_fats;
  g.root_entries = b.root_entries;
  g.total = b.total_sectors();
  g.spf = b.sectors_per_fat();
  g.fat32 = b.fat32_layout();
  g.root_cluster = b.root_cluster;
  return g;
}

std::map<std::string, std::string> fields(const std::string& out, std::vector<std::string>* order = nullptr) {
  std::map<std::string, std::string> f;
  for (const auto& line : lines(out)) {
    const auto colon = line.find(": ");
    if (colon == std::string::npos) continue;
    f[line.substr(0, colon)] = line.substr(colon + 2);
    if (order) order->push_back(line.substr(0, colon));
  }
  return f;
}

class VolumarInfo : public ::testing::Test {
 protected:
  void SetUp() override { VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat"); }
  TempDir dir{"volumar-info"};
};

TEST_F(VolumarInfo, PrintsEveryPropertyInTableOrderThenTheSectionsOnBothFamilies) {
  const std::vector<std::string> expected_order{"DrivePP",
                                                "DriveReadyPP",
                                                "DriveTypePP",
                                                "DriveRestrictedPP",
                                                "VolumeLabelPP",
                                                "VolumeSerialPP",
                                                "VolumeSerialHexPP",
                                                "VolumarPP",
                                                "BytesPerSectorPP",
                                                "SectorsPerClusterPP",
                                                "TotalSectorsPP",
                                                "HiddenSectorsPP",
                                                "ReservedSectorsPP",
                                                "NumberOfFatCopiesPP",
                                                "FatCopyStartsAtPP",
                                                "SectorsPerFATPP",
                                                "RootDirectoryStartPP",
                                                "RootDirectoryLengthPP",
                                                "drwDiskSectionMBR",
                                                "drwDiskSectionFATCopy1",
                                                "drwDiskSectionFATCopy2",
                                                "drwDiskSectionRootDirectory",
                                                "drwDiskSectionDataEntry",
                                                "Clusters",
                                                "FreeClusters",
                                                "BadClusters",
                                                "UsedClusters"};
  struct Case {
    const char* name;
    fixtures::MkfsOptions options;
    const char* type;
    const char* label;
    const char* serial_hex;
  } cases[] = {{"fat12.img", floppy(), "FAT12", "FLOPPY", "&H12345678"},
               {"fat16.img", fat16(), "FAT16", "SIXTEEN", "&HCAFE0016"},
               {"fat32.img", fat32(), "FAT32", "THIRTYTWO", "&H80000032"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const auto image = make_image(dir, c.name, c.options);
    const Geometry g = boot_geometry(image);
    VOLUMAR_EXPECT_RUN(volumar({"mark", image.string(), "bad", "--cluster", "5", "--yes"}), 0);
    // fsck.fat counts bad clusters as used: "N files, USED/TOTAL clusters".
    const std::string fsck = fixtures::fsck_check(image).output;
    const auto slash = fsck.rfind('/');
    ASSERT_NE(slash, std::string::npos) << fsck;
    const std::string fsck_used = fsck.substr(fsck.rfind(' ', slash) + 1, slash - fsck.rfind(' ', slash) - 1);
    const std::string fsck_total = fsck.substr(slash + 1, fsck.find(' ', slash) - slash - 1);
    std::string first_output;
    for (const auto& family : kFamilies) {
      SCOPED_TRACE(family);
      const auto run = volumar({"--family", family, "-d", "C=" + image.string(), "info", "--properties", "C:"});
      VOLUMAR_EXPECT_RUN(run, 0);
      std::vector<std::string> order;
      auto f = fields(run.out, &order);
      EXPECT_EQ(order, expected_order);
      EXPECT_EQ(f["DrivePP"], "C:");
      EXPECT_EQ(f["DriveReadyPP"], "True");
      EXPECT_EQ(f["DriveTypePP"], "Fixed");
      EXPECT_EQ(f["DriveRestrictedPP"], "True");  // no folder mapped: nothing can be written there
      EXPECT_EQ(f["VolumeLabelPP"], c.label);
      EXPECT_EQ(f["VolumeSerialHexPP"], c.serial_hex);
      EXPECT_EQ(f["VolumarPP"], c.type);
      EXPECT_EQ(f["BytesPerSectorPP"], std::to_string(g.bps));
      EXPECT_EQ(f["SectorsPerClusterPP"], std::to_string(g.spc));
      EXPECT_EQ(f["TotalSectorsPP"], std::to_string(g.total));
      EXPECT_EQ(f["ReservedSectorsPP"], std::to_string(g.reserved));
      EXPECT_EQ(f["NumberOfFatCopiesPP"], "2");
      EXPECT_EQ(f["FatCopyStartsAtPP"], std::to_string(g.reserved) + "," + std::to_string(g.reserved + g.spf));
      EXPECT_EQ(f["SectorsPerFATPP"], std::to_string(g.spf));
      const std::uint32_t root = g.reserved + g.fats * g.spf;
      EXPECT_EQ(f["RootDirectoryStartPP"], std::to_string(root));
      EXPECT_EQ(f["drwDiskSectionMBR"], "0-0");
      EXPECT_EQ(f["drwDiskSectionFATCopy1"], std::to_string(g.reserved) + "-" + std::to_string(g.reserved + g.spf - 1));
      EXPECT_EQ(f["drwDiskSectionFATCopy2"],
                std::to_string(g.reserved + g.spf) + "-" + std::to_string(g.reserved + 2 * g.spf - 1));
      if (!g.fat32) {
        const std::uint32_t length = g.root_entries * 32 / g.bps - 1;
        EXPECT_EQ(f["RootDirectoryLengthPP"], std::to_string(length));
        EXPECT_EQ(f["drwDiskSectionRootDirectory"], std::to_string(root) + "-" + std::to_string(root + length));
        EXPECT_EQ(f["drwDiskSectionDataEntry"], std::to_string(root + length + 1) + "-" + std::to_string(g.total - 1));
      } else {
        // A fresh root directory is one cluster long.
        EXPECT_EQ(f["RootDirectoryLengthPP"], std::to_string(g.spc - 1));
        EXPECT_EQ(f["drwDiskSectionRootDirectory"], std::to_string(root) + "-" + std::to_string(root + g.spc - 1));
        EXPECT_EQ(f["drwDiskSectionDataEntry"], std::to_string(root) + "-" + std::to_string(g.total - 1));
      }
      EXPECT_EQ(f["Clusters"], fsck_total);
      EXPECT_EQ(f["BadClusters"], "1");
      EXPECT_EQ(std::to_string(std::stoull(f["UsedClusters"]) + 1), fsck_used);
      EXPECT_EQ(std::stoull(f["FreeClusters"]) + std::stoull(f["UsedClusters"]) + 1, std::stoull(f["Clusters"]));
      if (first_output.empty())
        first_output = run.out;
      else
        EXPECT_EQ(run.out, first_output) << "the 9x family must see the volume as NT does";
    }
  }
}

TEST_F(VolumarInfo, EveryDriveFormNamesTheSameVolume) {
  const auto image = make_image(dir, "a.img", floppy());
  const auto reference = volumar({"-d", "C=" + image.string(), "info", "--properties", "C:"});
  VOLUMAR_EXPECT_RUN(reference, 0);
  for (const std::string form : {"C", "c:", "c:\\", "C:/"}) {
    const auto run = volumar({"-d", "c=" + image.string(), "info", "--properties", form});
    VOLUMAR_EXPECT_RUN(run, 0);
    EXPECT_EQ(run.out, reference.out) << form;
  }
  // A path takes the first free letter from C, after the letters given with -d.
  const auto by_path = volumar({"info", "--properties", image.string()});
  VOLUMAR_EXPECT_RUN(by_path, 0);
  EXPECT_EQ(by_path.out, reference.out);
  const auto next_letter = volumar({"-d", "C=" + image.string() + "x", "info", "--properties", image.string()});
  VOLUMAR_EXPECT_RUN(next_letter, 0);
  EXPECT_EQ(fields(next_letter.out)["DrivePP"], "D:");
}

TEST_F(VolumarInfo, DriveMappingOptions) {
  const auto image = make_image(dir, "part.img", floppy());
  const auto volume = read_file(image);
  // The same volume as a partition 1 MiB into a whole-disk image, with bytes after it.
  const auto disk = dir.file("disk.img");
  {
    std::ofstream out(disk, std::ios::binary);
    const std::string filler(1 << 20, '\xEE');
    out << filler;
    out.write(reinterpret_cast<const char*>(volume.data()), static_cast<std::streamsize>(volume.size()));
    out << filler.substr(0, 65536);
  }
  const auto plain = volumar({"-d", "C=" + image.string(), "info", "--properties", "C:"});
  const auto inner = volumar({"-d", "C=" + disk.string() + ",offset=1M,length=" + std::to_string(volume.size()), "info",
                              "--properties", "C:"});
  VOLUMAR_EXPECT_RUN(inner, 0);
  EXPECT_EQ(inner.out, plain.out);
  const auto hex_offset = volumar({"-d", "C=" + disk.string() + ",offset=0x100000", "dump", "C:"});
  VOLUMAR_EXPECT_RUN(hex_offset, 0);
  EXPECT_NE(hex_offset.out.find("55 AA |"), std::string::npos);

  const auto typed = volumar(
      {"-d", "E=" + image.string() + ",type=removable,folder=" + dir.path().string(), "info", "--properties", "E"});
  VOLUMAR_EXPECT_RUN(typed, 0);
  auto f = fields(typed.out);
  EXPECT_EQ(f["DriveTypePP"], "Removable");
  EXPECT_EQ(f["DriveRestrictedPP"], "False");  // the folder takes the test file
  EXPECT_FALSE(std::filesystem::exists(dir.file("_ItrTest.$$$")));
  for (const char* type : {"Fixed", "Remote", "CDRom", "RAMDisk"})
    EXPECT_EQ(
        fields(
            volumar({"-d", "E=" + image.string() + ",type=" + type, "info", "--properties", "E:"}).out)["DriveTypePP"],
        type);
}

TEST_F(VolumarInfo, ClearErrorsForDrivesThatCannotBeUsed) {
  const auto image = make_image(dir, "ok.img", floppy());
  auto unknown = volumar({"-d", "C=" + image.string(), "info", "--properties", "Q:"});
  VOLUMAR_EXPECT_RUN(unknown, 2);
  EXPECT_NE(unknown.err.find("Q: names no drive"), std::string::npos) << unknown.err;

  auto missing = volumar({"info", "--properties", dir.file("nothing.img").string()});
  VOLUMAR_EXPECT_RUN(missing, 1);
  EXPECT_NE(missing.err.find("no such image"), std::string::npos) << missing.err;
  auto missing_mapped = volumar({"-d", "C=" + dir.file("gone.img").string(), "info", "--properties", "C:"});
  VOLUMAR_EXPECT_RUN(missing_mapped, 1);
  EXPECT_NE(missing_mapped.err.find("gone.img"), std::string::npos) << missing_mapped.err;

  const auto zeros = dir.file("zeros.img");
  std::ofstream(zeros, std::ios::binary) << std::string(1474560, '\0');
  for (const char* command : {"info", "dump"}) {
    auto not_fat = volumar({command, zeros.string()});
    VOLUMAR_EXPECT_RUN(not_fat, 1);
    EXPECT_NE(not_fat.err.find("not a FAT volume"), std::string::npos) << not_fat.err;
  }
}

TEST_F(VolumarInfo, UsageErrorsExitWithTwoAndHelpWithZero) {
  const auto image = make_image(dir, "u.img", floppy());
  const std::vector<std::vector<std::string>> usage_errors{
      {},
      {"frobnicate"},
      {"info"},
      {"info", "--properties", "C:", "extra"},
      {"--family", "nt4", "info", "--properties", image.string()},
      {"-d", "CC=" + image.string(), "info", "--properties", "C:"},
      {"-d", image.string(), "info", "--properties", "C:"},
      {"-d", "C=" + image.string() + ",type=Floppy", "info", "--properties", "C:"},
      {"-d", "C=" + image.string() + ",offset=12Q", "info", "--properties", "C:"},
      {"info", "--properties", image.string(), "--read-only"},  // global options stand before the command
      {"dump", image.string(), "--section", "boot"},
      {"find", image.string(), "used"},
      {"mark", image.string(), "bad"},
      {"mark", image.string(), "bad", "--sector", "40", "--cluster", "9"},
      {"write", image.string(), "--sector", "40"},
      {"write", image.string(), "--sector", "40", "--hex", "4G"},
      {"cipher", "rot13", "x"},
      {"assoc"},
  };
  for (const auto& args : usage_errors) {
    auto run = volumar(args);
    VOLUMAR_EXPECT_RUN(run, 2);
    EXPECT_FALSE(run.err.empty()) << run.command_line();
  }
  for (const char* command : {"info", "--properties", "dump", "find", "mark", "write", "fill", "cipher", "call",
                              "drives", "assoc", "edit", "demo"}) {
    auto run = volumar({command, "--help"});
    VOLUMAR_EXPECT_RUN(run, 0);
    EXPECT_NE(run.out.find("Usage"), std::string::npos) << command;
  }
  for (const char* sub : {"reg-extension", "associate-extension", "associate-command", "export"}) {
    auto run = volumar({"assoc", sub, "--help"});
    VOLUMAR_EXPECT_RUN(run, 0);
  }
  VOLUMAR_EXPECT_RUN(volumar({"--help"}), 0);
}

TEST_F(VolumarInfo, TraceShowsThePlatformCallsOnStandardError) {
  const auto image = make_image(dir, "t.img", floppy());
  const auto plain = volumar({"info", "--properties", image.string()});
  const auto nt = volumar({"--trace", "info", "--properties", image.string()});
  VOLUMAR_EXPECT_RUN(nt, 0);
  EXPECT_EQ(nt.out, plain.out) << "the trace goes to standard error only";
  EXPECT_NE(nt.err.find("CreateFileA(\"\\\\\\\\.\\\\C:\""), std::string::npos) << nt.err;
  EXPECT_NE(nt.err.find("ReadFile("), std::string::npos);
  EXPECT_TRUE(plain.err.empty()) << plain.err;

  const auto nine = volumar({"--trace", "--family", "9x", "info", "--properties", image.string()});
  VOLUMAR_EXPECT_RUN(nine, 0);
  EXPECT_NE(nine.err.find("CreateFileA(\"\\\\\\\\.\\\\VWIN32\""), std::string::npos) << nine.err;
  EXPECT_NE(nine.err.find("DeviceIoControl("), std::string::npos);
  EXPECT_EQ(nine.err.find("\\\\\\\\.\\\\C:\""), std::string::npos) << "no volume device path opens on 9x";
}

}  // namespace
}  // namespace tooltest
