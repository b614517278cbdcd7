// volumar write and fill: exactly the bytes asked for change on disk, on
// both families, and refusals change nothing.
#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

class VolumarWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat");
    image = make_image(dir, "w.img", floppy());
    // Sectors 40 and 41 hold every byte value, controls included, which a
    // write through row texts would turn into dots.
    std::vector<std::uint8_t> pattern(1024);
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i * 7 + 3);
    write_bytes(image, 40 * 512, pattern);
  }
  // Runs a write and checks that exactly `expected` bytes from `offset` changed.
  void expect_written(const std::vector<std::string>& args, std::uint64_t offset,
                      const std::vector<std::uint8_t>& expected) {
    const auto before = read_file(image);
    const auto run = volumar(args);
    VOLUMAR_EXPECT_RUN(run, 0);
    auto wanted = before;
    std::copy(expected.begin(), expected.end(), wanted.begin() + static_cast<std::ptrdiff_t>(offset));
    const auto after = read_file(image);
    EXPECT_TRUE(after == wanted) << run.command_line() << ": " << differences(wanted, after).size() << " bytes differ";
  }
  void expect_refused(const std::vector<std::string>& args, int status) {
    const auto before = read_file(image);
    const auto run = volumar(args);
    VOLUMAR_EXPECT_RUN(run, status);
    EXPECT_FALSE(run.err.empty());
    EXPECT_TRUE(read_file(image) == before) << run.command_line();
  }
  TempDir dir{"volumar-write"};
  std::filesystem::path image;
};

TEST_F(VolumarWrite, HexBytesLandExactlyAtTheOffsetOnBothFamilies) {
  for (const auto& family : kFamilies) {
    SCOPED_TRACE(family);
    expect_written({"--family", family, "write", image.string(), "--sector", "40", "--offset", "100", "--hex",
                    "00 0A 1F 2E 7F 80 81 9D FF", "--yes"},
                   40 * 512 + 100, {0x00, 0x0A, 0x1F, 0x2E, 0x7F, 0x80, 0x81, 0x9D, 0xFF});
    expect_written({"--family", family, "write", image.string(), "--sector", "41", "--hex", "C3", "--yes"}, 41 * 512,
                   {0xC3});
  }
  const auto run = volumar({"write", image.string(), "--sector", "40", "--offset", "7", "--hex", "41 42 0A", "--yes"});
  EXPECT_EQ(run.out, "Wrote 3 bytes at byte 7 of sector 40\n");
}

TEST_F(VolumarWrite, ABlockRunsOnIntoTheNextSector) {
  expect_written({"write", image.string(), "--sector", "40", "--offset", "509", "--hex", "01 02 03 04 05", "--yes"},
                 40 * 512 + 509, {1, 2, 3, 4, 5});
  // An offset past the sector addresses the following sectors.
  expect_written({"write", image.string(), "--sector", "40", "--offset", "1030", "--hex", "EE", "--yes"},
                 40 * 512 + 1030, {0xEE});
}

TEST_F(VolumarWrite, HexSpellingsAndTextThroughTheAnsiCodePage) {
  for (const char* hex : {"41 42", "41,42", "0x41 0x42", "4142", " 41  42 "})
    expect_written({"write", image.string(), "--sector", "40", "--offset", "20", "--hex", hex, "--yes"}, 40 * 512 + 20,
                   {0x41, 0x42});
  expect_written({"write", image.string(), "--sector", "40", "--offset", "30", "--hex", "7", "--yes"}, 40 * 512 + 30,
                 {0x07});
  expect_written(
      {"write", image.string(), "--sector", "40", "--offset", "40", "--text", "H\xC3\xA9llo \xE2\x82\xAC.", "--yes"},
      40 * 512 + 40, {'H', 0xE9, 'l', 'l', 'o', ' ', 0x80, '.'});
  expect_refused({"write", image.string(), "--sector", "40", "--text", "\xE4\xB8\xAD", "--yes"},
                 2);  // not in the code page
  expect_refused({"write", image.string(), "--sector", "40", "--hex", "414", "--yes"}, 2);
  expect_refused({"write", image.string(), "--sector", "40", "--hex", "4G", "--yes"}, 2);
  expect_refused({"write", image.string(), "--sector", "40", "--hex", "", "--yes"}, 2);
  expect_refused({"write", image.string(), "--sector", "40", "--hex", "41", "--text", "A", "--yes"}, 2);
}

TEST_F(VolumarWrite, WritesOutsideTheVolumeOrWithoutConsentChangeNothing) {
  expect_refused({"write", image.string(), "--sector", "2880", "--hex", "41", "--yes"}, 2);
  expect_refused({"write", image.string(), "--sector", "2879", "--offset", "510", "--hex", "41 42 43", "--yes"}, 2);
  expect_written({"write", image.string(), "--sector", "2879", "--offset", "510", "--hex", "41 42", "--yes"},
                 2879 * 512 + 510, {0x41, 0x42});
  expect_refused({"write", image.string(), "--sector", "40", "--hex", "41"}, 1);
  expect_refused({"--read-only", "write", image.string(), "--sector", "40", "--hex", "41", "--yes"}, 1);
  expect_refused({"--read-only", "--family", "9x", "write", image.string(), "--sector", "40", "--hex", "41", "--yes"},
                 1);
  const auto run = volumar({"--read-only", "write", image.string(), "--sector", "40", "--hex", "41", "--yes"});
  EXPECT_NE(run.err.find("read-only"), std::string::npos) << run.err;
}

TEST_F(VolumarWrite, FillPutsQuestionMarksInTheWholeSectorOnly) {
  for (const auto& family : kFamilies) {
    SCOPED_TRACE(family);
    const std::string sector = family == "nt" ? "40" : "41";
    expect_written({"--family", family, "fill", image.string(), "--sector", sector, "--yes"}, std::stoul(sector) * 512,
                   std::vector<std::uint8_t>(512, 0x3F));
  }
  expect_refused({"fill", image.string(), "--sector", "42"}, 1);
  expect_refused({"--read-only", "fill", image.string(), "--sector", "42", "--yes"}, 1);
  expect_refused({"fill", image.string(), "--sector", "2880", "--yes"}, 2);
}

TEST_F(VolumarWrite, FillOnLargeSectorsCoversTheWholeSector) {
  auto options = fat16();
  options.sector_size = 4096;
  options.sectors_per_cluster = 1;
  options.size_kb = 64 * 1024;
  image = make_image(dir, "big.img", options);
  expect_written({"fill", image.string(), "--sector", "100", "--yes"}, 100 * 4096,
                 std::vector<std::uint8_t>(4096, 0x3F));
}

}  // namespace
}  // namespace tooltest
