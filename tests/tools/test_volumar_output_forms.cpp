// What people and scripts read: info in plain words and as JSON, checked
// against fsstat; the JSON of find, history and drives; dumps that a
// terminal can take and that read like hexdump -C.
#include <nlohmann/json.hpp>

#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;
using Json = nlohmann::json;

Json json_of(const fixtures::ToolRun& run) {
  EXPECT_EQ(run.exit_code, 0) << run.describe();
  return Json::parse(run.out, nullptr, false);
}

TEST(VolumarOutputForms, InfoAgreesWithFsstatInWordsAndJsonForEachTypeAndFatCount) {
  VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "fsstat");
  TempDir dir("volumar-forms");
  for (auto options : {floppy(), fat16(), fat32()})
    for (unsigned fats : {1u, 2u}) {
      options.number_of_fats = fats;
      const auto img = make_image(dir, "v.img", options);
      const auto fs = fixtures::fsstat(img);
      ASSERT_TRUE(fs.parsed);
      const Json j = json_of(volumar({"info", img.string(), "--json"}));
      SCOPED_TRACE(j.dump());
      EXPECT_EQ(j["file_system"], fs.fs_type);
      EXPECT_EQ(j["oem_name"], fs.oem_name);
      EXPECT_EQ(j["label"], options.label);
      char serial[16];
      std::snprintf(serial, sizeof serial, "%04X-%04X", fs.volume_id >> 16, fs.volume_id & 0xFFFF);
      EXPECT_EQ(j["serial"], serial);
      EXPECT_EQ(j["total_sectors"], fs.total.count());
      ASSERT_EQ(j["fat_copies"].size(), fs.fats.size());
      for (std::size_t n = 0; n < fs.fats.size(); ++n) {
        EXPECT_EQ(j["fat_copies"][n]["first"], fs.fats[n].first);
        EXPECT_EQ(j["fat_copies"][n]["last"], fs.fats[n].last);
      }
      EXPECT_EQ(j["data_area"]["first"], fs.cluster_area.first);
      EXPECT_EQ(j["clusters"]["last"], fs.clusters.last);
      EXPECT_EQ(j["sectors_per_cluster"], fs.sectors_per_cluster());
      if (fs.root_directory && options.fat_bits != 32) {
        EXPECT_EQ(j["root_directory"]["first"], fs.root_directory->first);
        EXPECT_EQ(j["root_directory"]["last"], fs.root_directory->last);
      }
      EXPECT_EQ(j.contains("fsinfo_sector"), options.fat_bits == 32);
      // The words show the same facts, one FAT copy line per copy and no
      // section that overlaps another.
      const auto words = volumar({"info", img.string()});
      VOLUMAR_EXPECT_RUN(words, 0);
      for (const std::string& shown :
           {"File system:          " + fs.fs_type, "Serial number:        " + std::string(serial),
            "FAT copy " + std::to_string(fats) + ":",
            "Data area:            sectors " + std::to_string(fs.cluster_area.first) + "-"})
        EXPECT_NE(words.out.find(shown), std::string::npos) << shown << "\n" << words.out;
      EXPECT_EQ(words.out.find("FAT copy " + std::to_string(fats + 1)), std::string::npos);
      EXPECT_EQ(words.out.find("PP:"), std::string::npos);
      EXPECT_NE(
          volumar({"info", img.string(), "--properties"}).out.find("NumberOfFatCopiesPP: " + std::to_string(fats)),
          std::string::npos);
    }
}

TEST(VolumarOutputForms, FindHistoryDrivesAndMemberTablesInJson) {
  VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat");
  TempDir dir("volumar-forms");
  const auto img = make_image(dir, "f.img", floppy()).string();
  const std::string journal = dir.file("j.db").string();
  EXPECT_EQ(json_of(volumar({"find", img, "free", "--json"})), Json::parse(R"({"cluster":2,"first_sector":33})"));
  const auto mark = volumar({"-v", "--journal", journal, "mark", img, "bad", "--cluster", "5", "--yes"});
  VOLUMAR_EXPECT_RUN(mark, 0);
  EXPECT_EQ(mark.err, "volumar: " + img + ": kept as change 1 in the journal (volumar undo takes it back)\n");
  EXPECT_EQ(json_of(volumar({"find", img, "bad", "--all", "--json"})),
            Json::parse(R"({"clusters":[{"cluster":5,"first_sector":36,"last_sector":36}]})"));
  const auto none = volumar({"find", img, "bad", "--after-sector", "40", "--json"});
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_EQ(Json::parse(none.out), Json::parse(R"({"cluster":null,"first_sector":null})"));
  const Json history = json_of(volumar({"--journal", journal, "history", img, "--json"}));
  ASSERT_EQ(history["changes"].size(), 1u);
  EXPECT_EQ(history["changes"][0]["state"], "complete");
  EXPECT_EQ(history["changes"][0]["undoes"], nullptr);
  const Json drives = json_of(volumar({"--disk", img, "drives", "--json"}));
  ASSERT_EQ(drives["drives"].size(), 1u);
  EXPECT_EQ(drives["drives"][0]["path"], "\\\\.\\PHYSICALDRIVE0");
  EXPECT_EQ(drives["drives"][0]["BytesPerSector"], 512);
  // The member table, as call --list prints it line by line.
  const Json members = json_of(volumar({"call", "--list", "clsQzVolmDrwA", "--json"}));
  const auto listed = lines(volumar({"call", "--list", "clsQzVolmDrwA"}).out);
  ASSERT_EQ(members["members"].size(), listed.size());
  for (std::size_t i = 0; i < listed.size(); ++i)
    EXPECT_TRUE(listed[i].starts_with(members["members"][i]["name"].get<std::string>() + " " +
                                      members["members"][i]["kind"].get<std::string>()))
        << listed[i];
  EXPECT_EQ(volumar({"call", "clsQzVolmDrwA", "--json"}).exit_code, 2);
}

TEST(VolumarOutputForms, DumpsEndLinesInLfShowControlsAsDotsAndReadLikeHexdump) {
  VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "hexdump");
  TempDir dir("volumar-forms");
  const auto img = make_image(dir, "f.img", floppy()).string();
  std::vector<std::uint8_t> all(256);
  for (int b = 0; b < 256; ++b) all[b] = static_cast<std::uint8_t>(b);
  write_bytes(img, 40 * 512, all);
  const auto lf = volumar({"dump", img, "--sector", "40"});
  const auto crlf = volumar({"dump", img, "--sector", "40", "--crlf"});
  EXPECT_EQ(lf.out.find('\r'), std::string::npos);
  EXPECT_EQ(std::count(crlf.out.begin(), crlf.out.end(), '\r'), 32);
  // No C0, DEL or C1 control in the plain text, as bytes or as UTF-8.
  for (std::size_t i = 0; i < lf.out.size(); ++i) {
    const auto c = static_cast<unsigned char>(lf.out[i]);
    EXPECT_FALSE((c < 0x20 && c != '\n') || c == 0x7F) << i;
    if (c == 0xC2 && i + 1 < lf.out.size()) {
      EXPECT_GE(static_cast<unsigned char>(lf.out[i + 1]), 0xA0) << i;
    }
  }
  // Our units against the bytes hexdump counts.
  const std::vector<std::array<std::string, 4>> ranges{{"0", "512", "0", "512"},
                                                       {"20483", "77", "20483", "77"},
                                                       {"40s", "0x100", "20480", "256"},
                                                       {"1439KiB", "1KiB", "1473536", "1024"}};
  for (const auto& [offset, length, skip, n] : ranges)
    EXPECT_EQ(volumar({"dump", img, "-C", "--offset", offset, "--length", length}).out,
              fixtures::run_tool({"hexdump", "-C", "-v", "-s", skip, "-n", n, img}).out)
        << offset << " " << length;
  const auto past = volumar({"dump", img, "--offset", "1440KiB", "--length", "1"});
  EXPECT_EQ(past.exit_code, 2);
  EXPECT_NE(past.err.find("run past the end of the volume (1474560 bytes)"), std::string::npos) << past.err;
  EXPECT_EQ(volumar({"dump", img, "--offset", "1", "--length", "0xFFFFFFFFFFFFFFFF"}).exit_code, 2);
}

}  // namespace
}  // namespace tooltest
