// The terminal editor driven under tmux: keys go in with send-keys, the
// screen comes back with capture-pane, and the image is read afterwards.
#include <unistd.h>

#include <chrono>
#include <thread>

#include "imaging/fat_image_builder.h"
#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

// One editor in its own tmux server, so no user session is touched.
class TmuxEditor {
 public:
  explicit TmuxEditor(const std::vector<std::string>& args)
      : socket_("volumar-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++)) {
    std::string command = volumar_path();
    for (const auto& a : args) command += " '" + a + "'";
    command += "; echo EXIT=$?; sleep 600";
    started_ = tmux({"new-session", "-d", "-s", "edit", "-x", "120", "-y", "45", command}).ok();
  }
  ~TmuxEditor() { tmux({"kill-server"}); }

  bool started() const { return started_; }
  void keys(const std::vector<std::string>& keys) {
    std::vector<std::string> args{"send-keys", "-t", "edit"};
    args.insert(args.end(), keys.begin(), keys.end());
    tmux(args);
  }
  std::string screen() { return tmux({"capture-pane", "-t", "edit", "-p"}).out; }
  // Waits until the screen shows every text (a safety limit, not a timing test).
  bool wait_for(const std::vector<std::string>& texts) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < limit) {
      const std::string s = screen();
      bool all = true;
      for (const auto& t : texts) all = all && s.find(t) != std::string::npos;
      if (all) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  fixtures::ToolRun tmux(std::vector<std::string> args) {
    args.insert(args.begin(), {"tmux", "-L", socket_});
    return fixtures::run_tool(args);
  }
  static inline int counter_ = 0;
  std::string socket_;
  bool started_ = false;
};

class VolumarEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "tmux");
    image = make_image(dir, "e.img", floppy());
  }
  TempDir dir{"volumar-edit"};
  std::filesystem::path image;
};

TEST_F(VolumarEdit, MovesDumpsAndWritesAByteAfterConfirmation) {
  const auto before = read_file(image);
  TmuxEditor ed({"edit", image.string()});
  ASSERT_TRUE(ed.started());
  ASSERT_TRUE(ed.wait_for({"drwDiskSectionMBR 0-0  Sector: 0", "1F0 |", "55 AA |"})) << ed.screen();

  ed.keys({"s"});  // the FAT copy 1 section; the editor moves into it
  ASSERT_TRUE(ed.wait_for({"drwDiskSectionFATCopy1 1-9  Sector: 1 "})) << ed.screen();
  ed.keys({"n"});
  ASSERT_TRUE(ed.wait_for({"Sector: 2 "})) << ed.screen();
  ed.keys({"S", "S"});  // back past the boot sector to the data area
  ASSERT_TRUE(ed.wait_for({"drwDiskSectionDataEntry 33-2879  Sector: 33 "})) << ed.screen();
  ed.keys({"N"});
  ASSERT_TRUE(ed.wait_for({"Sector: 34  Cluster: 3 "})) << ed.screen();

  ed.keys({"g", "40", "Enter"});
  ASSERT_TRUE(ed.wait_for({"Sector: 40  Cluster: 9 ", "000 |00 00 00"})) << ed.screen();
  ed.keys({"Right", "Right", "c", "3", "7", "F"});
  ASSERT_TRUE(ed.wait_for({"2 changed byte(s)", "000 |00 00 C3 7F 00"})) << ed.screen();
  ed.keys({"w"});
  ASSERT_TRUE(ed.wait_for({"Write 2 changed bytes to sector 40?"})) << ed.screen();
  EXPECT_TRUE(read_file(image) == before) << "nothing is written before the answer";
  ed.keys({"y"});
  ASSERT_TRUE(ed.wait_for({"wrote 2 bytes to sector 40"})) << ed.screen();

  ed.keys({"j", "10", "Enter"});  // cluster 10 begins at sector 33 + 8
  ASSERT_TRUE(ed.wait_for({"Sector: 41  Cluster: 10 "})) << ed.screen();
  ed.keys({"x"});
  ASSERT_TRUE(ed.wait_for({"ZEV DRW...", "Nothing found!"})) << ed.screen();
  ed.keys({"Enter"});
  ed.keys({"q"});
  ASSERT_TRUE(ed.wait_for({"EXIT=0"})) << ed.screen();

  auto expected = before;
  expected[40 * 512 + 2] = 0xC3;
  expected[40 * 512 + 3] = 0x7F;
  EXPECT_TRUE(read_file(image) == expected) << differences(expected, read_file(image)).size() << " bytes differ";
}

TEST_F(VolumarEdit, MarksTheCurrentClusterAndRespectsReadOnly) {
  {
    TmuxEditor ed({"edit", image.string()});
    ASSERT_TRUE(ed.started());
    ASSERT_TRUE(ed.wait_for({"Sector: 0 "})) << ed.screen();
    ed.keys({"u"});  // first free cluster
    ASSERT_TRUE(ed.wait_for({"Sector: 34  Cluster: 3 "})) << ed.screen();
    ed.keys({"m"});
    ASSERT_TRUE(ed.wait_for({"Mark cluster 3 as bad?"})) << ed.screen();
    ed.keys({"y"});
    ASSERT_TRUE(ed.wait_for({"cluster 3 marked bad"})) << ed.screen();
    ed.keys({"q"});
    ASSERT_TRUE(ed.wait_for({"EXIT=0"})) << ed.screen();
  }
  // FAT12 entry 3 is the high 12 bits of bytes 4-5 of each copy.
  EXPECT_EQ(read_bytes(image, 512 + 4, 2), (std::vector<std::uint8_t>{0x70, 0xFF}));
  EXPECT_EQ(read_bytes(image, 10 * 512 + 4, 2), (std::vector<std::uint8_t>{0x70, 0xFF}));

  const auto before = read_file(image);
  TmuxEditor ed({"--read-only", "edit", image.string()});
  ASSERT_TRUE(ed.wait_for({"[read-only]", "Sector: 0 "})) << ed.screen();
  ed.keys({"4", "1", "w"});
  ASSERT_TRUE(ed.wait_for({"Write 1 changed bytes to sector 0?"})) << ed.screen();
  ed.keys({"y"});
  ASSERT_TRUE(ed.wait_for({"read-only"})) << ed.screen();
  ed.keys({"Enter", "q"});
  ASSERT_TRUE(ed.wait_for({"Discard 1 changed bytes?"})) << ed.screen();
  ed.keys({"y"});
  ASSERT_TRUE(ed.wait_for({"EXIT=0"})) << ed.screen();
  EXPECT_TRUE(read_file(image) == before);
}

// On a FAT32 volume whose root directory is in cluster 5 the cluster keys go
// where The Sleuth Kit puts each cluster: clusters count from 2 at the data area.
TEST_F(VolumarEdit, ClusterKeysFollowTheClusterNumbersWhereverTheRootIs) {
  VOLUMAR_SKIP_WITHOUT_TOOLS("fsstat");
  imaging::FatImageBuilder b(imaging::FatType::fat32);
  b.root_cluster(5);
  const auto fat32 = b.write(dir.file("root5.img"));
  const auto fs = fixtures::fsstat(fat32);
  ASSERT_TRUE(fs.parsed) << fs.run.describe();
  const auto sector_of = [&](std::uint64_t c) { return std::to_string(fs.cluster_area.first + c - 2); };
  TmuxEditor ed({"edit", fat32.string()});
  ASSERT_TRUE(ed.started());
  ASSERT_TRUE(ed.wait_for({"Sector: 0"})) << ed.screen();
  ed.keys({"j", "7", "Enter"});
  ASSERT_TRUE(ed.wait_for({"Sector: " + sector_of(7) + "  Cluster: 7 "})) << ed.screen();
  ed.keys({"P"});
  ASSERT_TRUE(ed.wait_for({"Sector: " + sector_of(6) + "  Cluster: 6 "})) << ed.screen();
  ed.keys({"q"});
}

// Raw mode on a volume whose boot sector does not decode, and a sector past
// 4 GiB of a large volume: moved to, edited and written like any other.
TEST_F(VolumarEdit, RawModeAndSectorsPastTheLibrarysReach) {
  std::vector<std::uint8_t> zero_size{0, 0};
  write_bytes(image, 11, zero_size);  // bytes per sector 0
  const auto damaged = read_file(image);
  fixtures::MkfsOptions o;
  o.fat_bits = 32;
  o.size_kb = 5 * 1024 * 1024;
  const auto large = make_image(dir, "large.img", o);
  const struct {
    std::vector<std::string> args;
    std::string sector, status;
    std::filesystem::path image;
  } cases[] = {{{"--journal", dir.file("j.db").string(), "edit", "--raw", image.string()}, "70", "raw 0-2879", image},
               {{"--journal", dir.file("j.db").string(), "edit", large.string()}, "9000000", "Sector: 9000000", large}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    TmuxEditor ed(c.args);
    ASSERT_TRUE(ed.started());
    ASSERT_TRUE(ed.wait_for({"Sector: 0"})) << ed.screen();
    ed.keys({"g", c.sector, "Enter"});
    ASSERT_TRUE(ed.wait_for({c.status, "Sector: " + c.sector, "000 |00 00 00"})) << ed.screen();
    ed.keys({"4", "1", "w"});
    ASSERT_TRUE(ed.wait_for({"Write 1 changed bytes to sector " + c.sector + "?"})) << ed.screen();
    ed.keys({"y"});
    ASSERT_TRUE(ed.wait_for({"wrote 1 bytes to sector " + c.sector, "000 |41 00"})) << ed.screen();
    ed.keys({"q"});
    ASSERT_TRUE(ed.wait_for({"EXIT=0"})) << ed.screen();
    EXPECT_EQ(read_bytes(c.image, std::stoull(c.sector) * 512, 1)[0], 0x41);
  }
  // Both journaled: undo puts the damaged image back as it was.
  VOLUMAR_EXPECT_RUN(volumar({"--journal", dir.file("j.db").string(), "undo", image.string(), "--yes"}), 0);
  EXPECT_TRUE(read_file(image) == damaged);
}

}  // namespace
}  // namespace tooltest
