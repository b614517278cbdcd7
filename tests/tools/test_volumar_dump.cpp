// volumar dump: the exact hex-dump text of the sector editor, held against
// a dump made here from the image's bytes and against the editor's own
// SectorDataFormattedPP read through the script host.
#include "platform/ansi_code_page.h"
#include "platform/utf8.h"
#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

// The dump text of one sector, from the layout: offset, " |", hex bytes, "|",
// the row text (bytes below 0x20 as "."), CR LF.
std::string expected_dump(const std::vector<std::uint8_t>& sector) {
  std::string out;
  char buf[24];
  for (std::size_t row = 0; row < sector.size(); row += 16) {
    std::snprintf(buf, sizeof buf, "%03zX |", row);
    out += buf;
    std::u16string text;
    for (std::size_t k = 0; k < 16; ++k) {
      std::snprintf(buf, sizeof buf, "%02X ", sector[row + k]);
      out += buf;
      text += sector[row + k] < 0x20 ? u'.' : win::ansi_char(sector[row + k]);
    }
    out += "|" + win::utf16_to_utf8(text) + "\r\n";
  }
  return out;
}

// The body of a string the script host printed, escapes resolved.
std::string unquote(const std::string& quoted) {
  std::u16string text;
  std::string plain;
  auto flush = [&] {
    text += win::utf8_to_utf16(plain);
    plain.clear();
  };
  for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
    if (quoted[i] != '\\') {
      plain += quoted[i];
      continue;
    }
    flush();
    const char e = quoted[++i];
    if (e == 'r')
      text += u'\r';
    else if (e == 'n')
      text += u'\n';
    else if (e == 'x') {
      text += win::ansi_char(static_cast<std::uint8_t>(std::stoi(quoted.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else
      text += static_cast<char16_t>(e);
  }
  flush();
  return win::utf16_to_utf8(text);
}

class VolumarDump : public ::testing::Test {
 protected:
  void SetUp() override {
    VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat");
    image = make_image(dir, "d.img", floppy());
    // Sector 40 holds every byte value, 41 a pattern with controls and 0x2E.
    std::vector<std::uint8_t> all(512);
    for (int i = 0; i < 512; ++i) all[i] = static_cast<std::uint8_t>(i < 256 ? i : 511 - i);
    write_bytes(image, 40 * 512, all);
    write_bytes(image, 41 * 512, {0x00, 0x0A, 0x2E, 0x20, 0x41, 0x7F, 0x80, 0x81, 0x9D, 0xA0, 0xAD, 0xFF});
  }
  std::vector<std::uint8_t> sector(std::int64_t n, std::size_t bps = 512) { return read_bytes(image, n * bps, bps); }
  TempDir dir{"volumar-dump"};
  std::filesystem::path image;
};

TEST_F(VolumarDump, OneSectorIsExactlyTheEditorsDumpTextOnBothFamilies) {
  for (const auto& family : kFamilies) {
    for (std::int64_t n : {0, 1, 19, 33, 40, 41, 2879}) {
      SCOPED_TRACE(family + " sector " + std::to_string(n));
      const auto run = volumar({"--family", family, "dump", "--crlf", image.string(), "--sector", std::to_string(n)});
      VOLUMAR_EXPECT_RUN(run, 0);
      EXPECT_EQ(run.out, expected_dump(sector(n)));
    }
  }
}

TEST_F(VolumarDump, EqualsSectorDataFormattedPPOfTheEditor) {
  // The data section holds sectors 33 to 2879.
  for (std::int64_t n : {40, 41}) {
    const auto shown =
        volumar({"-d", "C=" + image.string(), "call", "clsQzVolmDrwA", "DrivePP=\"C:\"", "DiskSectionPP=4",
                 "ClusterFoundPP=" + std::to_string(n), "ShowSectorInEditControlPP", "SectorDataFormattedPP"});
    VOLUMAR_EXPECT_RUN(shown, 0);
    const auto out = lines(shown.out);
    ASSERT_FALSE(out.empty());
    const std::string prefix = "SectorDataFormattedPP = ";
    ASSERT_EQ(out.back().rfind(prefix, 0), 0u) << shown.out;
    const auto dump = volumar({"-d", "C=" + image.string(), "dump", "--crlf", "C:", "--sector", std::to_string(n)});
    EXPECT_EQ(dump.out, unquote(out.back().substr(prefix.size())));
  }
}

TEST_F(VolumarDump, SeveralSectorsEachUnderASectorLine) {
  const auto run = volumar({"dump", "--crlf", image.string(), "--sector", "39", "--count", "3"});
  VOLUMAR_EXPECT_RUN(run, 0);
  std::string expected;
  for (int n = 39; n <= 41; ++n) expected += "Sector " + std::to_string(n) + "\r\n" + expected_dump(sector(n));
  EXPECT_EQ(run.out, expected);
  // --count 1 has no Sector line.
  EXPECT_EQ(volumar({"dump", "--crlf", image.string(), "--sector", "40", "--count", "1"}).out,
            expected_dump(sector(40)));
}

TEST_F(VolumarDump, SectionsGiveTheFirstSectorAndSectorStaysAbsolute) {
  const std::vector<std::pair<std::string, std::int64_t>> starts{
      {"mbr", 0}, {"fat1", 1}, {"fat2", 10}, {"root", 19}, {"data", 33}};
  for (const auto& [section, first] : starts) {
    const auto run = volumar({"dump", "--crlf", image.string(), "--section", section});
    VOLUMAR_EXPECT_RUN(run, 0);
    EXPECT_EQ(run.out, expected_dump(sector(first))) << section;
  }
  EXPECT_EQ(volumar({"dump", "--crlf", image.string(), "--section", "root", "--sector", "41"}).out,
            expected_dump(sector(41)));
  const auto two = volumar({"dump", "--crlf", image.string(), "--section", "fat2", "--count", "2"});
  EXPECT_EQ(lines(two.out).front(), "Sector 10");
}

TEST_F(VolumarDump, TheWholeVolumeAcrossReadRunsMatchesSectorBySector) {
  const auto run = volumar({"dump", "--crlf", image.string(), "--count", "2880"});
  VOLUMAR_EXPECT_RUN(run, 0);
  const auto all = read_file(image);
  std::string expected;
  for (std::size_t n = 0; n < 2880; ++n)
    expected += "Sector " + std::to_string(n) + "\r\n" +
                expected_dump(std::vector<std::uint8_t>(all.begin() + n * 512, all.begin() + (n + 1) * 512));
  EXPECT_TRUE(run.out == expected) << "whole-volume dump differs";
}

TEST_F(VolumarDump, SectorsOutsideTheVolumeAreUsageErrors) {
  VOLUMAR_EXPECT_RUN(volumar({"dump", "--crlf", image.string(), "--sector", "2879"}), 0);
  for (const auto& extra : {std::vector<std::string>{"--sector", "2880"},
                            {"--sector", "2879", "--count", "2"},
                            {"--count", "2881"},
                            {"--sector", "-1"},
                            {"--count", "0"},
                            {"--sector", "99999999999"}}) {
    auto args = std::vector<std::string>{"dump", "--crlf", image.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto run = volumar(args);
    VOLUMAR_EXPECT_RUN(run, 2);
    EXPECT_TRUE(run.out.empty());
  }
  EXPECT_NE(volumar({"dump", "--crlf", image.string(), "--sector", "2880"}).err.find("outside the volume"),
            std::string::npos);
}

TEST_F(VolumarDump, LargeSectorsAndReservedSectorsOutsideEverySection) {
  auto big = fat32();
  big.sector_size = 2048;
  big.size_kb = 300 * 1024;
  const auto image32 = make_image(dir, "big.img", big);
  // Sector 1 is the FAT32 information sector: in no disk section.
  for (std::int64_t n : {0, 1, 6}) {
    const auto run = volumar({"dump", "--crlf", image32.string(), "--sector", std::to_string(n)});
    VOLUMAR_EXPECT_RUN(run, 0);
    EXPECT_EQ(run.out, expected_dump(read_bytes(image32, n * 2048, 2048))) << n;
    EXPECT_EQ(lines(run.out).size(), 2048u / 16);
  }
}

}  // namespace
}  // namespace tooltest
