// volumar find and mark on images made by mkfs.fat: the FAT entries on disk
// in every copy, fsck.fat afterwards, and the refusals that keep a volume
// unchanged.
#include <fstream>
#include <future>
#include <set>

#include "format/boot_sector.h"
#include "format/byte_order.h"
#include "format/fat_entry.h"
#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

struct Layout {
  ondisk::FatType type;
  int bits;
  std::uint32_t bps, spc, reserved, spf, data_start, fats, fsinfo, backup;
};

Layout layout_of(const std::filesystem::path& image) {
  const ondisk::BootSector b = ondisk::decode_boot_sector(read_bytes(image, 0, 512));
  const ondisk::BootLayout bl = ondisk::layout_of(b);
  Layout l{};
  l.type = *bl.type;
  l.bits = static_cast<int>(ondisk::entry_bits(l.type));
  l.bps = bl.bytes_per_sector;
  l.spc = b.sectors_per_cluster;
  l.reserved = b.reserved_sectors;
  l.fats = b.number_of_fats;
  l.spf = static_cast<std::uint32_t>(bl.sectors_per_fat);
  l.data_start = static_cast<std::uint32_t>(bl.first_data_sector);
  l.fsinfo = b.fsinfo_sector;
  l.backup = b.backup_boot_sector;
  return l;
}

// A FAT entry as stored in copy `copy`, read straight from the image.
std::uint32_t fat_entry(const std::filesystem::path& image, const Layout& l, unsigned copy, std::uint32_t cluster) {
  const std::uint64_t fat = std::uint64_t{l.reserved + copy * l.spf} * l.bps;
  const auto b = read_bytes(image, fat + ondisk::entry_byte_offset(l.type, cluster), ondisk::entry_span(l.type));
  const std::uint32_t v = ondisk::decode_entry(l.type, cluster, b.data());
  return l.type == ondisk::FatType::Fat32 ? v & ondisk::kFat32Max : v;
}

std::uint32_t bad_value(int bits) {
  return ondisk::bad_entry(bits == 12   ? ondisk::FatType::Fat12
                           : bits == 16 ? ondisk::FatType::Fat16
                                        : ondisk::FatType::Fat32);
}

std::string field(const std::string& out, const std::string& name) {
  for (const auto& line : lines(out))
    if (line.rfind(name + ": ", 0) == 0) return line.substr(name.size() + 2);
  return {};
}

class VolumarFindMark : public ::testing::Test {
 protected:
  void SetUp() override { VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "fsck.fat"); }
  TempDir dir{"volumar-mark"};
};

TEST_F(VolumarFindMark, MarkBadChangesOnlyTheEntryInEveryCopyAndMarkFreeUndoesIt) {
  struct Case {
    const char* name;
    fixtures::MkfsOptions options;
  } cases[] = {{"fat12.img", floppy()}, {"fat16.img", fat16()}, {"fat32.img", fat32()}};
  for (const Case& c : cases) {
    for (const auto& family : kFamilies) {
      SCOPED_TRACE(std::string(c.name) + " " + family);
      const auto image = make_image(dir, c.name, c.options);
      const Layout l = layout_of(image);
      const auto before = read_file(image);

      const auto found = volumar({"--family", family, "find", image.string(), "free"});
      VOLUMAR_EXPECT_RUN(found, 0);
      const std::uint32_t cluster = std::stoul(field(found.out, "Cluster"));
      const std::uint32_t sector = std::stoul(field(found.out, "Sector"));
      EXPECT_EQ(fat_entry(image, l, 0, cluster), 0u) << "a free cluster";
      EXPECT_EQ(sector, l.data_start + (cluster - 2) * l.spc);

      const auto marked =
          volumar({"--family", family, "mark", image.string(), "bad", "--cluster", std::to_string(cluster), "--yes"});
      VOLUMAR_EXPECT_RUN(marked, 0);
      EXPECT_EQ(field(marked.out, "Cluster"), std::to_string(cluster));
      EXPECT_NE(marked.out.find(": 0x0 (free) -> 0x"), std::string::npos) << marked.out;
      for (unsigned copy = 0; copy < l.fats; ++copy) EXPECT_EQ(fat_entry(image, l, copy, cluster), bad_value(l.bits));
      const auto after = read_file(image);
      const auto changed = differences(before, after);
      ASSERT_FALSE(changed.empty());
      // Only the entry's bytes in each copy change, and on FAT32 the free
      // count of the information sector, which fsck.fat holds against the FAT.
      std::set<std::uint64_t> allowed;
      const std::uint64_t entry_offset = l.bits == 12 ? cluster * 3 / 2 : std::uint64_t{cluster} * l.bits / 8;
      for (unsigned copy = 0; copy < l.fats; ++copy)
        for (std::uint64_t k = 0; k < (l.bits == 32 ? 4u : 2u); ++k)
          allowed.insert(std::uint64_t{l.reserved + copy * l.spf} * l.bps + entry_offset + k);
      if (l.bits == 32)  // the information sector and its copy behind the backup boot sector
        for (std::uint64_t info : {l.fsinfo, l.fsinfo + l.backup})
          for (std::uint64_t k = 0; k < 4; ++k) allowed.insert(info * l.bps + 488 + k);
      for (std::size_t at : changed) EXPECT_TRUE(allowed.count(at)) << "byte " << at << " changed";
      const auto fsck = fixtures::fsck_check(image);
      EXPECT_TRUE(fsck.clean) << fsck.output;

      const auto bad = volumar({"--family", family, "find", image.string(), "bad"});
      VOLUMAR_EXPECT_RUN(bad, 0);
      EXPECT_EQ(field(bad.out, "Cluster"), std::to_string(cluster));
      EXPECT_EQ(field(bad.out, "Sector"), std::to_string(sector));

      // The cluster named by one of its sectors, the last one.
      const auto freed = volumar({"--family", family, "mark", image.string(), "free", "--sector",
                                  std::to_string(sector + l.spc - 1), "--yes", "--force"});
      VOLUMAR_EXPECT_RUN(freed, 0);
      EXPECT_EQ(field(freed.out, "Cluster"), std::to_string(cluster));
      EXPECT_TRUE(read_file(image) == before) << "marking free again restores the volume";
    }
  }
}

TEST_F(VolumarFindMark, FindNextStartsAfterTheClusterOfTheGivenSector) {
  const auto image = make_image(dir, "n.img", fat16());
  const Layout l = layout_of(image);
  for (int cluster : {10, 20})
    VOLUMAR_EXPECT_RUN(volumar({"mark", image.string(), "bad", "--cluster", std::to_string(cluster), "--yes"}), 0);
  auto first_sector = [&](int cluster) { return std::to_string(l.data_start + (cluster - 2) * l.spc); };
  EXPECT_EQ(field(volumar({"find", image.string(), "bad"}).out, "Cluster"), "10");
  EXPECT_EQ(field(volumar({"find", image.string(), "bad", "--after-sector", first_sector(10)}).out, "Cluster"), "20");
  // Any sector of cluster 10 searches after cluster 10.
  const std::string last_of_10 = std::to_string(l.data_start + 9 * l.spc - 1);
  EXPECT_EQ(field(volumar({"find", image.string(), "bad", "--after-sector", last_of_10}).out, "Cluster"), "20");
  const auto none = volumar({"find", image.string(), "bad", "--after-sector", first_sector(20)});
  VOLUMAR_EXPECT_RUN(none, 1);
  EXPECT_TRUE(none.out.empty());
  EXPECT_NE(none.err.find("no bad cluster after sector"), std::string::npos) << none.err;
  // A free cluster after a bad one.
  EXPECT_EQ(field(volumar({"find", image.string(), "free", "--after-sector", first_sector(10)}).out, "Cluster"), "11");
}

TEST_F(VolumarFindMark, FindFreeSkipsClustersThatFilesUse) {
  VOLUMAR_SKIP_WITHOUT_TOOLS("mcopy");
  const auto image = make_image(dir, "files.img", floppy());
  ASSERT_TRUE(fixtures::mcopy_bytes(image, "DATA.BIN", std::vector<std::uint8_t>(5 * 512 + 1, 0x55)).ok());
  const Layout l = layout_of(image);
  const auto found = volumar({"find", image.string(), "free"});
  VOLUMAR_EXPECT_RUN(found, 0);
  // The file takes clusters 2 to 7.
  EXPECT_EQ(field(found.out, "Cluster"), "8");
  EXPECT_EQ(fat_entry(image, l, 0, 7), 0xFFFu);
}

TEST_F(VolumarFindMark, NothingFoundGoesToStandardErrorWithExitOne) {
  const auto image = make_image(dir, "clean.img", floppy());
  for (const auto& family : kFamilies) {
    const auto run = volumar({"--family", family, "find", image.string(), "bad"});
    VOLUMAR_EXPECT_RUN(run, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("no bad cluster"), std::string::npos) << run.err;
  }
}

// Lists as badblocks writes them: blocks of 1024 bytes (two sectors), or of
// --block-size; one change for the whole list, undone as one.
TEST_F(VolumarFindMark, BadBlockListsMarkEveryClusterThatHoldsABlock) {
  VOLUMAR_SKIP_WITHOUT_TOOLS("mcopy");
  const auto image = make_image(dir, "bb.img", floppy());
  ASSERT_TRUE(fixtures::mcopy_bytes(image, "DATA.BIN", std::vector<std::uint8_t>(2048, 1)).ok());  // clusters 2-5
  const auto before = read_file(image);
  const std::string img = image.string(), journal = (dir.path() / "j.db").string();
  const auto list = dir.file("bad.txt");
  std::ofstream(list) << "# badblocks -b 1024\n20\n\n40\n5\n";  // sectors 40-41, 80-81, and 10-11 (the FAT)
  const std::vector<std::string> mark{"--journal", journal, "mark", img, "bad", "--from", list.string(), "--yes"};
  const auto marked = volumar(mark);
  VOLUMAR_EXPECT_RUN(marked, 0);
  EXPECT_NE(marked.err.find("blocks outside the data area, no cluster to mark: 5"), std::string::npos)
      << marked.describe();
  EXPECT_NE(marked.out.find("Marked bad: 9 10 49 50"), std::string::npos) << marked.describe();
  const auto sectors = volumar({"find", img, "bad", "--all", "--sectors"});
  EXPECT_EQ(sectors.out, "40\n41\n80\n81\n") << sectors.describe();
  EXPECT_TRUE(fixtures::fsck_check(image).clean);
  VOLUMAR_EXPECT_RUN(volumar({"--journal", journal, "undo", img, "--yes"}), 0);
  EXPECT_TRUE(read_file(image) == before);
  // A listed block inside a file: named, and marked only with --force.
  std::ofstream(list) << "17\n";  // sectors 34-35: clusters 3 and 4, DATA.BIN's
  const auto refused = volumar(mark);
  VOLUMAR_EXPECT_RUN(refused, 1);
  EXPECT_NE(refused.err.find("clusters in use hold listed blocks: 3 4"), std::string::npos) << refused.describe();
  EXPECT_TRUE(read_file(image) == before);
  std::vector<std::string> forced = mark;
  forced.push_back("--force");
  forced.insert(forced.end(), {"--block-size", "512"});  // block 17 is sector 17 now: the root directory
  VOLUMAR_EXPECT_RUN(volumar(forced), 0);
  EXPECT_TRUE(read_file(image) == before);
}

// Two processes marking at the same moment: two clusters of one FAT
// sector, and on FAT32 two FAT sectors whose marks both change the FSInfo
// free counts. Each read-modify-write holds its sectors, so no mark and no
// count is lost.
TEST_F(VolumarFindMark, TwoWritersAtOnceKeepEveryMark) {
  for (const bool fat32_volume : {false, true}) {
    const auto image = make_image(dir, "two.img", fat32_volume ? fat32() : fat16());
    const Layout l = layout_of(image);
    const std::uint32_t apart = fat32_volume ? l.bps / 4 : 1;  // the second mark's cluster, this far on
    auto free_counts = [&] {
      return std::pair{ondisk::le32(read_bytes(image, std::uint64_t{l.fsinfo} * l.bps + 488, 4).data(), 0),
                       ondisk::le32(read_bytes(image, std::uint64_t{l.backup + l.fsinfo} * l.bps + 488, 4).data(), 0)};
    };
    const auto counts_before = free_counts();
    const std::string img = image.string(), journal = (dir.path() / "j.db").string();
    constexpr std::uint32_t kRounds = 20;
    for (std::uint32_t r = 0; r < kRounds; ++r) {
      auto mark = [&](std::uint32_t cluster) {
        return volumar({"--journal", journal, "mark", img, "bad", "--cluster", std::to_string(cluster), "--yes"});
      };
      auto first = std::async(std::launch::async, mark, 10 + r);
      auto second = std::async(std::launch::async, mark, 10 + r + apart * 2);
      const auto a = first.get(), b = second.get();
      VOLUMAR_EXPECT_RUN(a, 0);
      VOLUMAR_EXPECT_RUN(b, 0);
    }
    for (unsigned copy = 0; copy < l.fats; ++copy)
      for (std::uint32_t r = 0; r < kRounds; ++r)
        for (std::uint32_t c : {10 + r, 10 + r + apart * 2})
          EXPECT_EQ(fat_entry(image, l, copy, c), bad_value(l.bits)) << "copy " << copy << ", cluster " << c;
    if (fat32_volume) {
      const auto counts = free_counts();
      EXPECT_EQ(counts.first, counts_before.first - 2 * kRounds);
      EXPECT_EQ(counts.second, counts_before.second - 2 * kRounds);
    }
  }
}

TEST_F(VolumarFindMark, RefusalsAndBadClustersLeaveTheVolumeUnchanged) {
  const auto image = make_image(dir, "keep.img", floppy());
  const auto before = read_file(image);
  struct Refusal {
    std::vector<std::string> args;
    int status;
    const char* message;
  } refusals[] = {
      {{"mark", image.string(), "bad", "--cluster", "5"}, 1, "--yes"},  // no terminal, no --yes
      {{"--read-only", "mark", image.string(), "bad", "--cluster", "5", "--yes"}, 1, "read-only"},
      {{"--read-only", "--family", "9x", "mark", image.string(), "bad", "--cluster", "5", "--yes"}, 1, "read-only"},
      {{"mark", image.string(), "bad", "--sector", "32", "--yes"}, 2, "data area"},  // the last root sector
      {{"mark", image.string(), "bad", "--sector", "2880", "--yes"}, 2, "outside the volume"},
      {{"mark", image.string(), "bad", "--cluster", "1", "--yes"}, 2, "outside the volume"},
      {{"mark", image.string(), "bad", "--cluster", "2849", "--yes"}, 2, "outside the volume"},
  };
  for (const auto& r : refusals) {
    const auto run = volumar(r.args);
    VOLUMAR_EXPECT_RUN(run, r.status);
    EXPECT_NE(run.err.find(r.message), std::string::npos) << run.describe();
    EXPECT_TRUE(read_file(image) == before) << run.command_line();
  }
  // The last cluster of a 2880-sector floppy is 2848.
  VOLUMAR_EXPECT_RUN(volumar({"mark", image.string(), "bad", "--cluster", "2848", "--yes"}), 0);
  EXPECT_EQ(fat_entry(image, layout_of(image), 1, 2848), 0xFF7u);
}

}  // namespace
}  // namespace tooltest
