// volumar on the partitions of whole-disk images: MBR tables (with a
// logical partition) made by sfdisk and GPT tables made by sgdisk, each FAT
// volume made in place by mkfs.fat --offset and read back by fsstat -o.
#include <iterator>
#include <map>
#include <sstream>

#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

struct Volume {
  int number;
  std::uint64_t start, sectors;
  std::string fat_bits, label, serial;  // serial: digits only, the same in every spelling of hex
  std::string number_text() const { return std::to_string(number); }
  std::uint64_t first_byte() const { return start * 512; }
  std::uint64_t end_byte() const { return (start + sectors) * 512; }
};
const Volume kFat16{1, 2048, 20480, "16", "SIXTEEN", "16001600"};
const Volume kFat32{2, 22528, 81920, "32", "THIRTYTWO", "32003200"};
const Volume kLogical{5, 106496, 8192, "16", "LOGICAL", "50005000"};

std::map<std::string, std::string> fields(const std::string& out) {
  std::map<std::string, std::string> f;
  for (const auto& line : lines(out))
    if (const auto colon = line.find(": "); colon != std::string::npos)
      f[line.substr(0, colon)] = line.substr(colon + 2);
  return f;
}

// fsstat's "Key: a - b" as volumar writes a range, "a-b".
std::string fsstat_range(const std::string& out, const std::string& key) {
  std::string range = fields(out)[key];
  std::erase(range, ' ');
  return range;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

void expect_ok(const fixtures::ToolRun& run) { EXPECT_TRUE(run.ok()) << run.describe(); }

class VolumarPartitions : public ::testing::Test {
 protected:
  void SetUp() override {
    VOLUMAR_SKIP_WITHOUT_TOOLS("sfdisk", "sgdisk", "mkfs.fat", "fsstat");
    for (const auto& disk : {mbr, gpt}) std::filesystem::resize_file((std::ofstream(disk), disk), 131072 * 512);
    std::ofstream(dir.file("mbr.sfdisk")) << "label: dos\nstart=2048, size=20480, type=6\n"
                                             "start=22528, size=81920, type=c\nstart=104448, type=5\n"
                                             "start=106496, size=8192, type=6\n";
    expect_ok(fixtures::run_tool({"sh", "-c", "\"$0\" -q \"$1\" < \"$2\"", fixtures::find_tool("sfdisk")->string(),
                                  mbr.string(), dir.file("mbr.sfdisk").string()}));
    format(mbr, {kFat16, kFat32, kLogical});
    expect_ok(fixtures::run_tool({"sgdisk", "-n", "1:2048:22527", "-t", "1:0700", "-c", "1:SIXTEEN", "-n",
                                  "2:22528:104447", "-t", "2:0700", gpt.string()}));
    format(gpt, {kFat16, kFat32});
  }
  static void format(const std::filesystem::path& disk, const std::vector<Volume>& volumes) {
    for (const Volume& v : volumes)
      expect_ok(fixtures::run_tool({"mkfs.fat", "-F", v.fat_bits, "-s", "1", "-n", v.label, "-i", v.serial, "--offset",
                                    std::to_string(v.start), disk.string(), std::to_string(v.sectors / 2)}));
  }
  fixtures::ToolRun volumar_writing(std::vector<std::string> args) {
    args.insert(args.begin(), {"--journal", dir.file("journal.db").string()});
    return volumar(args);
  }
  TempDir dir{"volumar-partitions"};
  std::filesystem::path mbr = dir.file("mbr.img"), gpt = dir.file("gpt.img");  // 64 MiB each
};

TEST_F(VolumarPartitions, EachFatPartitionReadsAsFsstatReadsItAtItsStart) {
  const struct {
    std::filesystem::path disk;
    Volume v;
  } cases[] = {{mbr, kFat16}, {mbr, kFat32}, {mbr, kLogical}, {gpt, kFat16}, {gpt, kFat32}};
  for (const auto& [disk, v] : cases) {
    SCOPED_TRACE(disk.filename().string() + " partition " + v.number_text());
    const auto run = volumar({"info", "--properties", disk.string(), "--partition", v.number_text()});
    VOLUMAR_EXPECT_RUN(run, 0);
    const auto peer = fixtures::run_tool({"fsstat", "-o", std::to_string(v.start), disk.string()});
    ASSERT_TRUE(peer.ok()) << peer.describe();
    auto f = fields(run.out);
    auto p = fields(peer.out);
    EXPECT_EQ(f["VolumarPP"], "FAT" + v.fat_bits);
    EXPECT_EQ(p["File System Type"], "FAT" + v.fat_bits);
    EXPECT_EQ(f["VolumeSerialHexPP"], "&H" + v.serial);
    EXPECT_EQ(p["Volume ID"], "0x" + v.serial);
    EXPECT_EQ(f["TotalSectorsPP"], std::to_string(v.sectors));
    EXPECT_EQ(fsstat_range(peer.out, "Total Range"), "0-" + std::to_string(v.sectors - 1));
    EXPECT_EQ(f["drwDiskSectionFATCopy1"], fsstat_range(peer.out, "* FAT 0"));
    EXPECT_EQ(f["drwDiskSectionFATCopy2"], fsstat_range(peer.out, "* FAT 1"));
    const std::string cluster_area = fsstat_range(peer.out, "** Cluster Area");
    EXPECT_EQ(f["drwDiskSectionDataEntry"].substr(f["drwDiskSectionDataEntry"].find('-')),
              cluster_area.substr(cluster_area.find('-')));
  }
}

TEST_F(VolumarPartitions, EveryPlacementOfTheFirstPartitionNamesTheSameVolume) {
  const auto reference = volumar({"info", "--properties", mbr.string(), "--partition", "1"});
  VOLUMAR_EXPECT_RUN(reference, 0);
  for (const std::string placement : {",partition=1", ",offset=2048s", ",offset=1MiB", ",offset=1024KiB",
                                      ",offset=0x100000,length=10M", ",offset=1M,length=20480S"}) {
    const auto run = volumar({"-d", "C=" + mbr.string() + placement, "info", "--properties", "C:"});
    VOLUMAR_EXPECT_RUN(run, 0);
    EXPECT_EQ(run.out, reference.out) << placement;
  }
}

TEST_F(VolumarPartitions, WrongChoicesSayWhatThereIs) {
  const std::string m = mbr.string(), g = gpt.string();
  const struct {
    std::vector<std::string> args;
    int status;
    std::string first_line;
    bool lists_partitions;
  } cases[] = {
      {{"info", "--properties", m},
       1,
       m + " is a whole disk with a partition table (MBR), not a FAT volume; use --partition N or -d C=" + m +
           ",partition=N:",
       true},
      {{"-d", "D=" + g, "dump", "D:"},
       1,
       g +
           " is a whole disk with a partition table (GPT), not a FAT volume; use "
           "--partition N or -d D=" +
           g + ",partition=N:",
       true},
      {{"find", m, "free", "--partition", "4"}, 2, m + " has no partition 4; its partitions are:", true},
      {{"-d", "C=" + g + ",partition=5", "info", "--properties", "C:"},
       2,
       g + " has no partition 5; its partitions are:",
       true},
      {{"info", "--properties", m, "--partition", "3"},
       2,
       "partition 3 of " + m + " is an extended partition, which only holds the logical partitions (5 and on):",
       true},
      {{"-d", "C=" + m, "info", "--properties", "C:", "--partition", "1"},
       2,
       "--partition goes with the path of a disk; for a letter map it with -d C=PATH,partition=N",
       false},
      {{"-d", "C=" + m + ",partition=1,offset=2048s", "info", "--properties", "C:"},
       2,
       "--drive C: partition= places the volume itself; give it without offset= and length=",
       false},
      {{"-d", "C=" + m + ",offset=2048x", "info", "--properties", "C:"}, 2, "not a byte count: '2048x'", false},
      // The partition's length bounds even raw sectors: the next sector is partition 2's.
      {{"--no-journal", "fill", m, "--partition", "1", "--raw", "--sector", "20480", "--yes"},
       2,
       "sector 20480 is outside the volume (sectors 0-20479)",
       false},
  };
  for (const auto& c : cases) {
    const auto run = volumar(c.args);
    VOLUMAR_EXPECT_RUN(run, c.status);
    const auto err = lines(run.err);
    ASSERT_FALSE(err.empty()) << run.describe();
    EXPECT_EQ(err[0], "volumar: " + c.first_line);
    if (c.lists_partitions) {
      EXPECT_EQ(words(err.at(1)), (std::vector<std::string>{"Number", "Start", "Sectors", "Size", "Type", "Label"}));
    }
  }
}

TEST_F(VolumarPartitions, APartitionPastTheEndOfItsImageIsCutAndReadOnly) {
  std::filesystem::resize_file(mbr, 30 * 1024 * 1024);
  const auto before = read_file(mbr);
  const auto info = volumar({"info", "--properties", mbr.string(), "--partition", "2"});
  VOLUMAR_EXPECT_RUN(info, 0);
  EXPECT_EQ(lines(info.err).at(0), "volumar: warning: partition 2 of " + mbr.string() +
                                       " reaches 22020096 bytes (43008 sectors) past the end of the disk; it is "
                                       "mapped read-only, cut to the 19922944 bytes the disk holds of it");
  const auto mark = volumar_writing({"mark", mbr.string(), "--partition", "2", "bad", "--cluster", "5", "--yes"});
  VOLUMAR_EXPECT_RUN(mark, 1);
  EXPECT_TRUE(read_file(mbr) == before) << "a read-only partition changed";
}

TEST_F(VolumarPartitions, WritesToTheSecondPartitionChangeNothingOutsideIt) {
  for (const auto& disk : {mbr, gpt}) {
    SCOPED_TRACE(disk.filename().string());
    const auto before = read_file(disk);
    const std::string last = std::to_string(kFat32.sectors - 1);
    VOLUMAR_EXPECT_RUN(volumar_writing({"fill", disk.string(), "--partition", "2", "--sector", last, "--yes"}), 0);
    VOLUMAR_EXPECT_RUN(volumar_writing({"-d", "C=" + disk.string() + ",partition=2", "write", "C:", "--sector", "0",
                                        "--offset", "3", "--hex", "41 42", "--yes"}),
                       0);
    const auto changed = differences(before, read_file(disk));
    ASSERT_FALSE(changed.empty());
    for (const std::size_t at : changed) EXPECT_TRUE(at >= kFat32.first_byte() && at < kFat32.end_byte()) << at;
    EXPECT_EQ(read_bytes(disk, kFat32.end_byte() - 512, 512), std::vector<std::uint8_t>(512, '?'));
    EXPECT_EQ(read_bytes(disk, kFat32.first_byte() + 3, 2), (std::vector<std::uint8_t>{0x41, 0x42}));
  }
}

TEST_F(VolumarPartitions, DrivesListsThePartitionsUnderEachDisk) {
  const auto run = volumar({"--disk", mbr.string(), "--disk", gpt.string(), "drives"});
  VOLUMAR_EXPECT_RUN(run, 0);
  const std::string basic_data = "ebd0a0a2-b9e5-4433-87c0-68b6b72699c7";
  const std::vector<std::vector<std::string>> expected{
      {"\\\\.\\PHYSICALDRIVE0"},
      {"Partitions", "(MBR):"},
      {"Number", "Start", "Sectors", "Size", "Type", "Label"},
      {"1", "2048", "20480", "10.0", "MiB", "0x06", "SIXTEEN"},
      {"2", "22528", "81920", "40.0", "MiB", "0x0c", "THIRTYTWO"},
      {"3", "104448", "26624", "13.0", "MiB", "0x05", "(extended)"},
      {"5", "106496", "8192", "4.0", "MiB", "0x06", "LOGICAL"},
      {},
      {"\\\\.\\PHYSICALDRIVE1"},
      {"Partitions", "(GPT):"},
      {"Number", "Start", "Sectors", "Size", "Type", "Label"},
      {"1", "2048", "20480", "10.0", "MiB", basic_data, "SIXTEEN"},     // the GPT entry's name
      {"2", "22528", "81920", "40.0", "MiB", basic_data, "THIRTYTWO"},  // its file system's label
      {}};
  std::vector<std::vector<std::string>> listed;
  for (const auto& line : lines(run.out))
    if (line.find(" : ") == std::string::npos) listed.push_back(words(line));  // the geometry lines are the library's
  EXPECT_EQ(listed, expected) << run.out;
}

}  // namespace
}  // namespace tooltest
