// The test-volume fixtures held against the peers: images the builder makes
// must check clean with fsck.fat and show fsstat and minfo the geometry the
// builder claims, and its files must read back through mtools.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "imaging/fat_image_builder.h"
#include "tests/fixtures/le.h"
#include "tests/fixtures/peer_tools.h"
#include "tests/fixtures/temp_dir.h"

namespace {

using imaging::FatImageBuilder;
using imaging::FatType;

std::vector<std::uint8_t> pattern(std::size_t n, std::uint8_t seed) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 8));
  return v;
}

std::string as_string(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

// Equal bytes, or where they first differ (no megabyte dumps in a failure).
::testing::AssertionResult same_bytes(std::string_view got, const std::vector<std::uint8_t>& want) {
  const std::size_t n = std::min(got.size(), want.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (static_cast<std::uint8_t>(got[i]) != want[i]) {
      return ::testing::AssertionFailure() << "first difference at byte " << i << " of " << want.size();
    }
  }
  if (got.size() != want.size()) {
    return ::testing::AssertionFailure() << got.size() << " bytes, expected " << want.size();
  }
  return ::testing::AssertionSuccess();
}

#define SKIP_WITHOUT_PEERS() \
  VOLUMAR_SKIP_WITHOUT_TOOLS("fsck.fat", "fsstat", "istat", "ifind", "minfo", "mtype", "mkfs.fat", "mcopy")

// --- Builder images against fsck.fat, fsstat, minfo and mtype -------------------

struct Case {
  const char* name;
  FatType type;
  std::uint16_t bps;
  std::uint8_t spc;
  std::uint16_t reserved;
  std::uint8_t fats;
  std::uint16_t root_entries;
  std::uint32_t clusters;  // 0: the type's default size
  std::uint32_t root_cluster;
  std::uint32_t hidden;
};

std::ostream& operator<<(std::ostream& o, const Case& c) { return o << c.name; }

class BuilderAgainstPeers : public ::testing::TestWithParam<Case> {};

FatImageBuilder make(const Case& c) {
  FatImageBuilder b(c.type);
  b.bytes_per_sector(c.bps).sectors_per_cluster(c.spc).number_of_fats(c.fats).hidden_sectors(c.hidden);
  if (c.reserved) b.reserved_sectors(c.reserved);
  if (c.type != FatType::fat32) b.root_entries(c.root_entries);
  if (c.clusters) b.cluster_count(c.clusters);
  if (c.root_cluster) b.root_cluster(c.root_cluster);
  b.volume_label("FIXTURE").volume_serial(0xC0FFEE42);
  return b;
}

TEST_P(BuilderAgainstPeers, ChecksCleanAndAgreesOnGeometry) {
  SKIP_WITHOUT_PEERS();
  const Case& c = GetParam();
  fixtures::TempDir dir;
  FatImageBuilder b = make(c);
  const auto data = pattern(3 * b.layout().cluster_bytes() + 5, 0x11);
  const auto file = b.add_file("DATA.BIN", data);
  const auto img = b.write(dir.file("v.img"));
  const imaging::FatLayout l = b.layout();

  EXPECT_EQ(std::filesystem::file_size(img), std::uint64_t{l.total_sectors} * l.bytes_per_sector);

  // fsck.fat checks one or two FAT copies only.
  if (l.number_of_fats <= 2) {
    const auto fsck = fixtures::fsck_check(img);
    EXPECT_TRUE(fsck.clean) << fsck.run.describe();
  }

  const auto fs = fixtures::fsstat(img);
  ASSERT_TRUE(fs.parsed) << fs.run.describe();
  EXPECT_EQ(fs.fs_type, imaging::to_string(c.type));
  EXPECT_EQ(fs.sector_size, l.bytes_per_sector);
  EXPECT_EQ(fs.cluster_size, l.cluster_bytes());
  EXPECT_EQ(fs.total, (fixtures::SectorRange{0, l.total_sectors - 1u}));
  EXPECT_EQ(fs.reserved, (fixtures::SectorRange{0, l.reserved_sectors - 1u}));
  ASSERT_EQ(fs.fats.size(), l.number_of_fats);
  for (unsigned n = 0; n < l.number_of_fats; ++n) {
    EXPECT_EQ(fs.fats[n], (fixtures::SectorRange{l.fat_first_sector(n), l.fat_first_sector(n) + l.sectors_per_fat - 1}))
        << "FAT copy " << n;
  }
  EXPECT_EQ(fs.cluster_area.first, l.first_data_sector);
  EXPECT_EQ(fs.clusters, (fixtures::SectorRange{2, l.last_cluster()}));
  ASSERT_TRUE(fs.root_directory.has_value());
  EXPECT_EQ(fs.root_directory->first, l.root_dir_first_sector);
  if (c.type != FatType::fat32) {
    EXPECT_EQ(fs.root_directory->count(), l.root_dir_sectors);
  }
  EXPECT_EQ(fs.volume_id, 0xC0FFEE42u);
  EXPECT_EQ(fs.label_boot, "FIXTURE");
  EXPECT_EQ(fs.label_root, "FIXTURE");
  EXPECT_EQ(fs.sectors_before, c.hidden);

  const auto mi = fixtures::minfo(img);
  ASSERT_TRUE(mi.parsed) << mi.run.describe();
  EXPECT_EQ(mi.sector_size, l.bytes_per_sector);
  EXPECT_EQ(mi.sectors_per_cluster, l.sectors_per_cluster);
  EXPECT_EQ(mi.reserved_sectors, l.reserved_sectors);
  EXPECT_EQ(mi.fats, l.number_of_fats);
  EXPECT_EQ(mi.fat_sectors(), l.sectors_per_fat);
  EXPECT_EQ(mi.total_sectors(), l.total_sectors);
  EXPECT_EQ(mi.hidden_sectors, c.hidden);
  EXPECT_EQ(mi.serial, 0xC0FFEE42u);
  EXPECT_EQ(mi.label, "FIXTURE");
  if (c.type == FatType::fat32) {
    EXPECT_EQ(mi.root_cluster, l.root_cluster);
  } else {
    EXPECT_EQ(mi.root_entries, c.root_entries);
  }

  const auto loc = fixtures::locate_file(img, "DATA.BIN");
  ASSERT_TRUE(loc.found) << loc.failure;
  EXPECT_EQ(loc.size, data.size());
  EXPECT_EQ(loc.first_sector, file.first_sector);
  EXPECT_EQ(loc.first_cluster, file.first_cluster);
  EXPECT_EQ(loc.sectors.size(), 4u * l.sectors_per_cluster);

  // mtools rounds a partly used last root sector down, so it looks for the
  // data one sector early there; fsstat and fsck.fat round up, as above.
  if (c.type == FatType::fat32 || c.root_entries * 32u % l.bytes_per_sector == 0) {
    const auto typed = fixtures::mtype(img, "DATA.BIN");
    ASSERT_TRUE(typed.ok()) << typed.describe();
    EXPECT_TRUE(same_bytes(typed.out, data));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Geometries, BuilderAgainstPeers,
    ::testing::Values(Case{"Fat12Floppy", FatType::fat12, 512, 1, 0, 2, 224, 0, 0, 0},
                      // 224 entries fill 3.5 sectors of 2048 bytes: the root rounds up to 4.
                      Case{"Fat12Sector2048Root224", FatType::fat12, 2048, 1, 1, 2, 224, 1200, 0, 0},
                      Case{"Fat12OneFat", FatType::fat12, 1024, 2, 2, 1, 64, 4000, 0, 0},
                      Case{"Fat16Sector1024Hidden", FatType::fat16, 1024, 2, 1, 2, 512, 5000, 0, 63},
                      Case{"Fat16Sector4096FourFats", FatType::fat16, 4096, 1, 4, 4, 256, 4500, 0, 0},
                      Case{"Fat32Default", FatType::fat32, 512, 1, 32, 2, 0, 0, 0, 0},
                      Case{"Fat32Sector4096RootCluster5", FatType::fat32, 4096, 1, 32, 2, 0, 66000, 5, 0},
                      Case{"Fat32Sector2048OneFat", FatType::fat32, 2048, 2, 16, 1, 0, 65600, 9, 2048}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Damage the builder makes is damage the peers see -------------------------

TEST(FixtureBuilderDamage, CopiesThatDifferFailFsck) {
  SKIP_WITHOUT_PEERS();
  fixtures::TempDir dir;
  FatImageBuilder b(FatType::fat16);
  b.make_chain(40, 2);
  b.set_fat_entry_in_copy(1, 41, 0x1234);
  EXPECT_EQ(b.fat_entry(0, 41), 0xFFFFu);
  EXPECT_EQ(b.fat_entry(1, 41), 0x1234u);
  const auto fsck = fixtures::fsck_check(b.write(dir.file("v.img")));
  EXPECT_FALSE(fsck.clean);
  EXPECT_NE(fsck.output.find("FATs differ"), std::string::npos) << fsck.output;
}

TEST(FixtureBuilderDamage, BadClusterIsCleanAndSeenAsBad) {
  SKIP_WITHOUT_PEERS();
  for (FatType t : {FatType::fat12, FatType::fat16, FatType::fat32}) {
    SCOPED_TRACE(std::string(imaging::to_string(t)));
    fixtures::TempDir dir;
    FatImageBuilder b(t);
    b.mark_bad(77);
    EXPECT_EQ(b.fat_entry(0, 77), imaging::bad_cluster(t));
    const auto img = b.write(dir.file("v.img"));
    const auto fsck = fixtures::fsck_check(img);
    EXPECT_TRUE(fsck.clean) << fsck.output;
    const auto fs = fixtures::fsstat(img);
    ASSERT_TRUE(fs.parsed) << fs.run.describe();
    const auto sector = b.layout().cluster_first_sector(77);
    bool seen = false;
    for (const auto& run : fs.fat_contents) seen |= run.sectors.first == sector && run.next == "BAD";
    EXPECT_TRUE(seen) << fs.run.out;
  }
}

TEST(FixtureBuilderDamage, LoopingRootChainIsDamageButStillBuildable) {
  SKIP_WITHOUT_PEERS();
  fixtures::TempDir dir;
  FatImageBuilder b(FatType::fat32);
  b.root_cluster(3);
  b.make_loop({3, 4, 5});
  // The root walk is bounded, so files still land in the looping root.
  const auto f = b.add_file("A.TXT", pattern(10, 1));
  EXPECT_EQ(f.first_cluster, 2u);
  const auto fsck = fixtures::fsck_check(b.write(dir.file("v.img")));
  EXPECT_FALSE(fsck.clean) << fsck.output;
}

// --- The oracle's own arithmetic on known bytes -------------------------------

TEST(FixtureBuilderFat12, PacksSharedNibblesAsOnDisk) {
  FatImageBuilder b(FatType::fat12);
  b.make_chain(2, 2);  // 2 -> 3 -> end
  const auto l = b.layout();
  auto fat = b.read_bytes(l.sector_offset(l.fat_first_sector(0)), 6);
  EXPECT_EQ(fat, (std::vector<std::uint8_t>{0xF0, 0xFF, 0xFF, 0x03, 0xF0, 0xFF}));
  b.set_fat_entry(3, 4);
  fat = b.read_bytes(l.sector_offset(l.fat_first_sector(1)), 6);
  EXPECT_EQ(fat, (std::vector<std::uint8_t>{0xF0, 0xFF, 0xFF, 0x03, 0x40, 0x00}));

  // Odd entry next to an even one: the even neighbour keeps its 12 bits.
  b.set_fat_entry(4, 0x123);
  b.mark_bad(5);
  EXPECT_EQ(b.read_bytes(l.sector_offset(l.fat_first_sector(0)) + 6, 3), (std::vector<std::uint8_t>{0x23, 0x71, 0xFF}));
  EXPECT_EQ(b.fat_entry(0, 4), 0x123u);
  b.set_fat_entry(4, 0);
  EXPECT_EQ(b.read_bytes(l.sector_offset(l.fat_first_sector(0)) + 6, 3), (std::vector<std::uint8_t>{0x00, 0x70, 0xFF}));
  EXPECT_EQ(b.fat_entry(0, 5), 0xFF7u);
}

TEST(FixtureBuilderLayout, FloppyAndOddSectorSizes) {
  const auto floppy = FatImageBuilder(FatType::fat12).layout();
  EXPECT_EQ(floppy.sectors_per_fat, 9u);
  EXPECT_EQ(floppy.root_dir_first_sector, 19u);
  EXPECT_EQ(floppy.root_dir_sectors, 14u);
  EXPECT_EQ(floppy.first_data_sector, 33u);
  EXPECT_EQ(floppy.cluster_first_sector(10), 41u);
  EXPECT_EQ(floppy.fat_entry_capacity(), 3072u);

  FatImageBuilder zero(FatType::fat16);
  zero.bytes_per_sector(0);
  EXPECT_EQ(zero.layout().bytes_per_sector, 512u);
  EXPECT_EQ(fixtures::le16(zero.read_sector(0), 11), 0u);

  // 128-byte sectors: the boot record must not spill into the FAT at sector 1.
  FatImageBuilder small(FatType::fat16);
  small.bytes_per_sector(128).cluster_count(5000);
  const auto l = small.layout();
  EXPECT_EQ(small.read_bytes(l.sector_offset(1), 4), (std::vector<std::uint8_t>{0xF8, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(l.fat_entry_sector(1, 64), l.fat_first_sector(1) + 1);
  EXPECT_EQ(l.fat_entry_offset_in_sector(64), 0u);

  FatImageBuilder big(FatType::fat32);
  big.root_cluster(7).sectors_per_cluster(8);
  const auto b32 = big.layout();
  EXPECT_EQ(b32.root_dir_first_sector, b32.first_data_sector + 5 * 8);
  EXPECT_EQ(b32.fat_offset(10), 40u);
}

TEST(FixtureBuilderLayout, TotalInThirtyTwoBitField) {
  FatImageBuilder b(FatType::fat12);
  b.total_in_32bit_field(true);
  const auto boot = b.read_sector(0);
  EXPECT_EQ(fixtures::le16(boot, 19), 0u);
  EXPECT_EQ(fixtures::le32(boot, 32), 2880u);
}

TEST(FixtureBuilderEntries, WidthsAndTopBits) {
  FatImageBuilder b32(FatType::fat32);
  b32.set_fat_entry(10, 0xF0000003);
  const auto l = b32.layout();
  EXPECT_EQ(b32.read_bytes(l.sector_offset(l.fat_first_sector(1)) + 40, 4),
            (std::vector<std::uint8_t>{0x03, 0x00, 0x00, 0xF0}));

  FatImageBuilder b16(FatType::fat16);
  EXPECT_THROW(b16.set_fat_entry(10, 0x10000), std::invalid_argument);
  EXPECT_THROW(b16.set_fat_entry(b16.layout().fat_entry_capacity(), 1), std::out_of_range);
  EXPECT_THROW(b16.sectors_per_cluster(8), std::logic_error);
}

TEST(FixtureBuilderEntries, FullFatLeavesNoFreeEntry) {
  for (FatType t : {FatType::fat12, FatType::fat16, FatType::fat32}) {
    SCOPED_TRACE(std::string(imaging::to_string(t)));
    FatImageBuilder b(t);
    b.fill_fat_no_free();
    const auto l = b.layout();
    ASSERT_GT(l.fat_entry_capacity(), l.last_cluster() + 1);  // entries past the last cluster exist
    for (unsigned copy = 0; copy < l.number_of_fats; ++copy) {
      for (std::uint32_t c : {2u, l.last_cluster(), l.last_cluster() + 1, l.fat_entry_capacity() - 1}) {
        EXPECT_EQ(b.fat_entry(copy, c), imaging::end_of_chain(t)) << "copy " << copy << " cluster " << c;
      }
    }
    EXPECT_THROW(b.add_file("X.BIN", pattern(1, 0)), std::runtime_error);
  }
}

TEST(FixtureBuilderFiles, PlacedWhereAskedAndChainedAroundUsedClusters) {
  FatImageBuilder b(FatType::fat16);
  const auto cb = b.layout().cluster_bytes();
  const auto data = pattern(cb * 2 + 1, 9);
  const auto f = b.add_file_at("at.bin", data, 3);
  EXPECT_EQ(f.clusters, (std::vector<std::uint32_t>{3, 4, 5}));
  EXPECT_EQ(b.fat_entry(1, 3), 4u);
  EXPECT_EQ(b.fat_entry(1, 5), 0xFFFFu);
  EXPECT_EQ(b.read_bytes(f.first_sector * 512, data.size()), data);
  EXPECT_EQ(as_string(b.read_bytes(f.dir_entry_offset, 11)), "AT      BIN");
  EXPECT_THROW(b.add_file_at("again.bin", data, 4), std::runtime_error);
  EXPECT_THROW(b.add_file("toolongname.bin", data), std::invalid_argument);
  EXPECT_EQ(b.add_file_at("empty", {}, 0).first_cluster, 0u);

  // The lowest free clusters, skipping the file above: 2 then 6.
  const auto two = pattern(cb + 1, 5);
  const auto g = b.add_file("next.bin", two);
  EXPECT_EQ(g.clusters, (std::vector<std::uint32_t>{2, 6}));
  EXPECT_EQ(b.fat_entry(0, 2), 6u);
  EXPECT_EQ(b.read_cluster(6)[0], two[cb]);
  EXPECT_EQ(g.dir_entry_offset, f.dir_entry_offset + 64);
}

TEST(FixtureBuilderFiles, LargeImageIsSparseAndExact) {
  fixtures::TempDir dir;
  FatImageBuilder b(FatType::fat32);
  b.cluster_count(4'000'000);  // about 2 GiB described, a few MiB stored
  b.write_cluster(4'000'001, pattern(512, 3));
  const auto img = b.write(dir.file("big.img"));
  const auto l = b.layout();
  EXPECT_EQ(std::filesystem::file_size(img), l.image_bytes);
  struct stat st {};
  ASSERT_EQ(::stat(img.c_str(), &st), 0);
  EXPECT_LT(static_cast<std::uint64_t>(st.st_blocks) * 512, l.image_bytes / 16);
  const auto back = imaging::SparseImage::load(img);
  EXPECT_EQ(back.read(l.sector_offset(l.cluster_first_sector(4'000'001)), 512), pattern(512, 3));
}

// --- Peer helpers on volumes that mkfs.fat made -------------------------------

TEST(PeerTools, MkfsVolumeParsesAlikeInEveryPeer) {
  SKIP_WITHOUT_PEERS();
  fixtures::TempDir dir;
  const auto img = dir.file("m.img");
  fixtures::MkfsOptions o;
  o.fat_bits = 16;
  o.sector_size = 1024;
  o.sectors_per_cluster = 2;
  o.label = "PEERS";
  o.serial = 0x0BADF00D;
  o.size_kb = 16384;
  const auto mk = fixtures::make_fat_image(img, o);
  ASSERT_TRUE(mk.ok()) << mk.describe();
  const auto put = fixtures::mcopy_bytes(img, "PUT.BIN", pattern(5000, 4));
  ASSERT_TRUE(put.ok()) << put.describe();

  const auto boot = imaging::SparseImage::load(img).read(0, 512);
  const auto fs = fixtures::fsstat(img);
  const auto mi = fixtures::minfo(img);
  ASSERT_TRUE(fs.parsed) << fs.run.describe();
  ASSERT_TRUE(mi.parsed) << mi.run.describe();
  EXPECT_EQ(fs.sector_size, fixtures::le16(boot, 11));
  EXPECT_EQ(mi.sector_size, 1024u);
  EXPECT_EQ(mi.sectors_per_cluster, boot[13]);
  EXPECT_EQ(fs.reserved.count(), fixtures::le16(boot, 14));
  EXPECT_EQ(mi.fats, boot[16]);
  EXPECT_EQ(fs.fats.size(), boot[16]);
  EXPECT_EQ(fs.fats.at(0).count(), fixtures::le16(boot, 22));
  EXPECT_EQ(mi.fat_sectors(), fixtures::le16(boot, 22));
  EXPECT_EQ(mi.total_sectors(), fs.total.count());
  EXPECT_EQ(fs.volume_id, 0x0BADF00Du);
  EXPECT_EQ(mi.serial, 0x0BADF00Du);
  EXPECT_EQ(fs.label_boot, "PEERS");
  EXPECT_EQ(mi.label, "PEERS");
  EXPECT_EQ(mi.disk_type, "FAT16");

  const auto loc = fixtures::locate_file(img, "PUT.BIN");
  ASSERT_TRUE(loc.found) << loc.failure;
  EXPECT_EQ(loc.size, 5000u);
  EXPECT_EQ(loc.first_sector, fs.cluster_area.first + (loc.first_cluster - 2) * 2u);
  const auto raw = imaging::SparseImage::load(img).read(loc.first_sector * 1024, 5000);
  EXPECT_EQ(raw, pattern(5000, 4));
  EXPECT_TRUE(fixtures::fsck_check(img).clean);
}

TEST(PeerTools, MissingToolIsReportedNotThrown) {
  const std::string msg = fixtures::missing_tools({"volumar-no-such-tool"});
  EXPECT_NE(msg.find("volumar-no-such-tool"), std::string::npos);
  const auto run = fixtures::run_tool({"volumar-no-such-tool", "x"});
  EXPECT_FALSE(run.started);
  EXPECT_FALSE(run.ok());
  const auto st = fixtures::fsstat("/nonexistent/volumar.img");
  EXPECT_FALSE(st.parsed);
}

// --- Small pieces ----------------------------------------------------------------

TEST(FixtureTempDir, RemovesEverythingAndMovesOwnership) {
  std::filesystem::path kept;
  {
    fixtures::TempDir a("volumar-td");
    kept = a.path();
    std::filesystem::create_directories(a.path() / "sub");
    FatImageBuilder(FatType::fat12).write(a.file("sub/x.img"));
    fixtures::TempDir b(std::move(a));
    EXPECT_EQ(b.path(), kept);
    EXPECT_TRUE(a.path().empty());  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  }
  EXPECT_FALSE(std::filesystem::exists(kept));

  fixtures::TempDir c;
  const auto released = c.release();
  c = fixtures::TempDir();
  EXPECT_TRUE(std::filesystem::exists(released));
  std::filesystem::remove_all(released);
}

TEST(FixtureLe, UnalignedAndBounded) {
  std::vector<std::uint8_t> buf(7, 0);
  fixtures::put_le32(buf, 3, 0x0A0B0C0D);
  fixtures::put_le16(buf, 1, 0xBEEF);
  EXPECT_EQ(buf, (std::vector<std::uint8_t>{0, 0xEF, 0xBE, 0x0D, 0x0C, 0x0B, 0x0A}));
  EXPECT_EQ(fixtures::le32(buf, 3), 0x0A0B0C0Du);
  EXPECT_EQ(fixtures::le16(buf, 1), 0xBEEFu);
  EXPECT_THROW(fixtures::le32(buf, 4), std::out_of_range);
  EXPECT_THROW(fixtures::put_le16(buf, 6, 1), std::out_of_range);
  EXPECT_THROW(fixtures::le16(buf, static_cast<std::size_t>(-1)), std::out_of_range);
}

}  // namespace
