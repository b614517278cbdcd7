// Every cluster-facing command on volumes of each kind, held against The
// Sleuth Kit and fsck.fat: FAT12, FAT16 with its type text blank or naming
// the wrong width, FAT32 with the root directory in cluster 2 and in
// cluster 5. Marks of free clusters leave the volume clean with its FAT
// copies identical and undo byte for byte; clusters in use are refused.
#include <set>

#include "format/boot_sector.h"
#include "format/fat_entry.h"
#include "format/fsinfo.h"
#include "imaging/fat_image_builder.h"
#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

std::string field(const std::string& out, const std::string& name) {
  for (const auto& line : lines(out))
    if (line.rfind(name + ": ", 0) == 0) return line.substr(name.size() + 2);
  return {};
}

struct Volume {
  std::string name;
  std::filesystem::path image;
  std::string file;  // a file on it, to find the clusters it uses
};

class VolumeMatrix : public ::testing::Test {
 protected:
  void SetUp() override { VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "mcopy", "fsck.fat", "fsstat", "istat"); }

  Volume made_by_mkfs(const std::string& name, const fixtures::MkfsOptions& options, const char* type_text = nullptr) {
    const auto image = make_image(dir, name, options);
    EXPECT_TRUE(fixtures::mcopy_bytes(image, "DATA.BIN", std::vector<std::uint8_t>(3000, 0x5A)).ok());
    if (type_text) write_bytes(image, 54, std::vector<std::uint8_t>(type_text, type_text + 8));
    return {name, image, "DATA.BIN"};
  }
  Volume fat32_root_in(std::uint32_t root_cluster) {
    imaging::FatImageBuilder b(imaging::FatType::fat32);
    b.root_cluster(root_cluster).volume_label("ROOTMOVED");
    const std::vector<std::uint8_t> data(1500, 0x33);
    b.add_file_at("DATA.BIN", data, root_cluster + 1);
    const std::string name = "fat32-root" + std::to_string(root_cluster) + ".img";
    return {name, b.write(dir.file(name)), "DATA.BIN"};
  }
  std::vector<Volume> volumes() {
    return {made_by_mkfs("fat12.img", floppy()),
            made_by_mkfs("fat16.img", fat16()),
            made_by_mkfs("fat16-blank-text.img", fat16(), "        "),
            made_by_mkfs("fat16-says-fat12.img", fat16(), "FAT12   "),
            made_by_mkfs("fat32.img", fat32()),
            fat32_root_in(5)};
  }
  TempDir dir{"volumar-matrix"};
};

// The bytes of each FAT copy.
std::vector<std::vector<std::uint8_t>> fat_copies(const std::filesystem::path& image) {
  const auto boot = ondisk::decode_boot_sector(read_bytes(image, 0, 512));
  const std::uint64_t bytes = std::uint64_t{boot.sectors_per_fat()} * boot.sector_size();
  std::vector<std::vector<std::uint8_t>> out;
  for (unsigned n = 0; n < boot.number_of_fats; ++n)
    out.push_back(read_bytes(
        image, (boot.reserved_sectors + n * std::uint64_t{boot.sectors_per_fat()}) * boot.sector_size(), bytes));
  return out;
}

std::uint32_t entry_in_copy1(const std::filesystem::path& image, std::uint64_t cluster) {
  const auto boot = ondisk::decode_boot_sector(read_bytes(image, 0, 512));
  const auto type = *ondisk::layout_of(boot).type;
  return ondisk::get_entry(type, fat_copies(image).front(), cluster);
}

TEST_F(VolumeMatrix, ClusterNumbersAgreeWithTheSleuthKitAndMarksStayClean) {
  for (const Volume& v : volumes()) {
    SCOPED_TRACE(v.name);
    const auto fs = fixtures::fsstat(v.image);
    ASSERT_TRUE(fs.parsed) << fs.run.describe();
    const auto file = fixtures::locate_file(v.image, v.file);
    ASSERT_TRUE(file.found) << file.failure;
    const std::string img = v.image.string();
    const auto original = read_file(v.image);
    auto sector_of = [&](std::uint64_t c) { return fs.cluster_area.first + (c - 2) * fs.sectors_per_cluster(); };

    // Geometry: the sections and the type agree with fsstat.
    const auto info = volumar({"info", "--properties", img});
    VOLUMAR_EXPECT_RUN(info, 0);
    EXPECT_EQ(field(info.out, "VolumarPP"), fs.fs_type);
    EXPECT_EQ(
        field(info.out, "drwDiskSectionDataEntry").substr(0, field(info.out, "drwDiskSectionDataEntry").find('-')),
        std::to_string(fs.cluster_area.first));
    if (fs.root_directory) {
      EXPECT_EQ(field(info.out, "RootDirectoryStartPP"), std::to_string(fs.root_directory->first));
    }

    // find: the first free cluster, by the number and the sector fsstat gives it.
    const auto found = volumar({"find", img, "free"});
    VOLUMAR_EXPECT_RUN(found, 0);
    const std::uint64_t free_cluster = std::stoull(field(found.out, "Cluster"));
    EXPECT_EQ(field(found.out, "Sector"), std::to_string(sector_of(free_cluster)));
    EXPECT_EQ(fs.cluster_of_sector(sector_of(free_cluster)), free_cluster);
    EXPECT_EQ(entry_in_copy1(v.image, free_cluster), 0u);
    if (v.name == "fat32-root5.img") {
      EXPECT_EQ(free_cluster, 2u) << "clusters 2 to 4 lie before the root";
    }

    // Clusters in use are refused, whether named by number or by the sector
    // istat gives: the message names the cluster The Sleuth Kit names.
    for (const auto& args : {std::vector<std::string>{"--cluster", std::to_string(file.first_cluster)},
                             std::vector<std::string>{"--sector", std::to_string(file.first_sector)}}) {
      std::vector<std::string> cmd{"mark", img, "bad", "--yes"};
      cmd.insert(cmd.end(), args.begin(), args.end());
      const auto refused = volumar(cmd);
      VOLUMAR_EXPECT_RUN(refused, 1);
      EXPECT_NE(refused.err.find("cluster " + std::to_string(file.first_cluster) + " is in use"), std::string::npos)
          << refused.describe();
    }
    EXPECT_TRUE(read_file(v.image) == original);

    // The script host: the editor on the file's first sector names its cluster.
    const auto call = volumar({"-d", "C=" + img, "call", "clsQzVolmDrwA", "DrivePP=\"C:\"", "DiskSectionPP=4",
                               "ClusterFoundPP=" + std::to_string(file.first_sector), "ShowSectorInEditControlPP",
                               "LogicalClusterPP"});
    VOLUMAR_EXPECT_RUN(call, 0);
    EXPECT_NE(call.out.find("LogicalClusterPP = " + std::to_string(file.first_cluster)), std::string::npos)
        << call.describe();

    // Free clusters, the first and the last: bad, found as bad, free again.
    for (const std::uint64_t c : {free_cluster, std::uint64_t{fs.clusters.last}}) {
      SCOPED_TRACE("cluster " + std::to_string(c));
      VOLUMAR_EXPECT_RUN(volumar({"mark", img, "bad", "--cluster", std::to_string(c), "--yes"}), 0);
      const auto copies = fat_copies(v.image);
      for (const auto& copy : copies) EXPECT_TRUE(copy == copies.front()) << "FAT copies differ";
      EXPECT_EQ(ondisk::entry_state(*ondisk::layout_of(ondisk::decode_boot_sector(read_bytes(v.image, 0, 512))).type,
                                    entry_in_copy1(v.image, c)),
                ondisk::EntryState::Bad);
      const auto fsck = fixtures::fsck_check(v.image);
      EXPECT_TRUE(fsck.clean) << fsck.output;
      const auto bad = volumar({"find", img, "bad"});
      EXPECT_EQ(field(bad.out, "Cluster"), std::to_string(c)) << bad.describe();
      EXPECT_EQ(field(bad.out, "Sector"), std::to_string(sector_of(c)));
      const auto boot = ondisk::decode_boot_sector(read_bytes(v.image, 0, 512));
      if (boot.fat32_layout() && boot.backup_boot_sector) {
        // The information sector and its copy behind the backup boot sector
        // both count one free cluster less (mcopy may have left them apart).
        for (const std::uint64_t at :
             {boot.fsinfo_sector + 0ull, boot.backup_boot_sector + boot.fsinfo_sector + 0ull}) {
          const auto was = ondisk::decode_fsinfo(std::span(original).subspan(at * 512, 512));
          const auto now = ondisk::decode_fsinfo(read_bytes(v.image, at * 512, 512));
          EXPECT_EQ(now.free_count, was.free_count - 1) << "sector " << at;
        }
      }
      VOLUMAR_EXPECT_RUN(volumar({"mark", img, "free", "--sector", std::to_string(sector_of(c)), "--yes", "--force"}),
                         0);
      EXPECT_TRUE(read_file(v.image) == original) << "marking free again restores the volume";
    }
  }
}

TEST_F(VolumeMatrix, AFat32RootClusterMarkedBadStillOpens) {
  for (std::uint32_t root : {2u, 5u}) {
    const Volume v = fat32_root_in(root);
    const std::string img = v.image.string();
    const auto refused = volumar({"mark", img, "bad", "--cluster", std::to_string(root), "--yes"});
    VOLUMAR_EXPECT_RUN(refused, 1);
    EXPECT_NE(refused.out.find("(in use, end of chain)"), std::string::npos) << refused.describe();
    VOLUMAR_EXPECT_RUN(volumar({"mark", img, "bad", "--cluster", std::to_string(root), "--yes", "--force"}), 0);
    const auto copies = fat_copies(v.image);
    EXPECT_TRUE(copies.front() == copies.back());
    // The root chain ends at the bad entry, with what it counted, and says so.
    const auto info = volumar({"info", "--properties", img});
    VOLUMAR_EXPECT_RUN(info, 0);
    EXPECT_NE(info.err.find("root directory's cluster chain is damaged"), std::string::npos) << info.describe();
    const auto bad = volumar({"find", img, "bad"});
    EXPECT_EQ(field(bad.out, "Cluster"), std::to_string(root)) << bad.describe();
    VOLUMAR_EXPECT_RUN(volumar({"mark", img, "free", "--cluster", std::to_string(root), "--yes", "--force"}), 0);
    VOLUMAR_EXPECT_RUN(volumar({"info", "--properties", img}), 0);
  }
}

TEST_F(VolumeMatrix, ATypeTextThatDisagreesIsALabel) {
  const Volume v = made_by_mkfs("says-fat12.img", fat16(), "FAT12   ");
  const auto info = volumar({"info", "--properties", v.image.string()});
  VOLUMAR_EXPECT_RUN(info, 0);
  EXPECT_EQ(field(info.out, "VolumarPP"), "FAT16");
  EXPECT_NE(info.err.find("type text \"FAT12\" disagrees"), std::string::npos) << info.describe();
}

// A FAT12 FAT of one sector holds entries 0-340 whole; with the volume's
// last cluster 340, the entry's pair partner lies past the table.
TEST_F(VolumeMatrix, TheLastFat12ClusterOfAFatEndingMidPair) {
  imaging::FatImageBuilder b(imaging::FatType::fat12);
  b.sectors_per_fat(1).cluster_count(339);
  const auto image = b.write(dir.file("midpair.img"));
  const std::string img = image.string();
  const auto original = read_file(image);
  VOLUMAR_EXPECT_RUN(volumar({"mark", img, "bad", "--cluster", "340", "--yes"}), 0);
  EXPECT_EQ(entry_in_copy1(image, 340), 0xFF7u);
  const auto changed = differences(original, read_file(image));
  const auto l = b.layout();
  for (std::size_t at : changed)  // the entry's two bytes in each copy, nothing past a copy's end
    EXPECT_TRUE(at == l.fat_first_sector(0) * 512 + 510 || at == l.fat_first_sector(0) * 512 + 511 ||
                at == l.fat_first_sector(1) * 512 + 510 || at == l.fat_first_sector(1) * 512 + 511)
        << "byte " << at;
  const auto fsck = fixtures::fsck_check(image);
  EXPECT_TRUE(fsck.clean) << fsck.output;
  VOLUMAR_EXPECT_RUN(volumar({"mark", img, "free", "--cluster", "340", "--yes", "--force"}), 0);
  EXPECT_TRUE(read_file(image) == original);
}

// 2^31 sectors and more, 16.7 million clusters and more: sparse, built
// without a formatter. Nothing is negative, nothing overflows.
TEST_F(VolumeMatrix, VolumesPastTwoToTheThirtyOneSectors) {
  imaging::FatImageBuilder b(imaging::FatType::fat32);
  const std::uint32_t total = (1u << 31) + (1u << 21);
  b.sectors_per_cluster(128).total_sectors(total);
  b.make_loop({2, 3});  // a root chain that loops: bounded, not overflowing
  const auto image = b.write(dir.file("huge.img"));
  const std::string img = image.string();
  const auto l = b.layout();
  ASSERT_GE(l.cluster_count, 16u << 20);

  const auto info = volumar({"info", "--properties", img});
  VOLUMAR_EXPECT_RUN(info, 0);
  EXPECT_EQ(field(info.out, "TotalSectorsPP"), std::to_string(total));
  EXPECT_NE(info.err.find("cluster chain is damaged"), std::string::npos) << info.describe();

  const std::uint32_t last = l.last_cluster();
  const std::uint64_t last_sector = l.cluster_first_sector(last);
  ASSERT_GT(last_sector, 1ull << 31);
  VOLUMAR_EXPECT_RUN(volumar({"mark", img, "bad", "--sector", std::to_string(last_sector + 5), "--yes"}), 0);
  const auto bad = volumar({"find", img, "bad"});
  VOLUMAR_EXPECT_RUN(bad, 0);
  EXPECT_EQ(field(bad.out, "Cluster"), std::to_string(last));
  EXPECT_EQ(field(bad.out, "Sector"), std::to_string(last_sector));
  const auto after = volumar({"find", img, "free", "--after-sector", std::to_string(last_sector - 1)});
  VOLUMAR_EXPECT_RUN(after, 1);  // past the last free cluster only the bad one
}

}  // namespace
}  // namespace tooltest
