// `volumar edit` in a real pseudo-terminal: tmux runs it, send-keys types,
// capture-pane reads the screen back, and the image is checked afterwards.
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/tools/volumar_runner.h"
#include "tools/volumar/editor/editor_keys.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

// One editor in a tmux server of its own, so no user session is touched.
class Terminal {
 public:
  explicit Terminal(const std::vector<std::string>& args)
      : socket_("volumar-editor-" + std::to_string(::getpid()) + "-" + std::to_string(count_++)) {
    std::string command = volumar_path();
    for (const auto& a : args) command += " '" + a + "'";
    command += "; echo EXIT=$?; sleep 600";
    started_ = tmux({"new-session", "-d", "-s", "ed", "-x", "100", "-y", "40", command}).ok();
  }
  ~Terminal() { tmux({"kill-server"}); }

  bool started() const { return started_; }
  void keys(std::vector<std::string> keys) {
    keys.insert(keys.begin(), {"send-keys", "-t", "ed"});
    tmux(keys);
  }
  // Literal text, never taken for a key name.
  void type(const std::string& text) { tmux({"send-keys", "-t", "ed", "-l", text}); }
  void resize(int columns, int lines) {
    tmux({"resize-window", "-t", "ed", "-x", std::to_string(columns), "-y", std::to_string(lines)});
  }
  std::string screen() { return tmux({"capture-pane", "-t", "ed", "-p"}).out; }
  // Polls until every text shows (or, with present false, none does); the
  // limit is for a hung editor, not a timing test.
  bool wait_for(const std::vector<std::string>& texts, bool present = true) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < limit) {
      const std::string s = screen();
      bool all = true;
      for (const auto& t : texts) all = all && (s.find(t) != std::string::npos) == present;
      if (all) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    return false;
  }

 private:
  fixtures::ToolRun tmux(std::vector<std::string> args) {
    args.insert(args.begin(), {"tmux", "-L", socket_});
    return fixtures::run_tool(args);
  }
  static inline int count_ = 0;
  std::string socket_;
  bool started_ = false;
};

class EditorTerminal : public ::testing::Test {
 protected:
  void SetUp() override { VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat", "tmux"); }
  std::vector<std::string> edit(const std::filesystem::path& image) {
    return {"--journal", dir.file("j.db").string(), "edit", image.string()};
  }
  TempDir dir{"volumar-editor"};
};

TEST_F(EditorTerminal, SearchesEditsAsTextWritesUndoesAndQuits) {
  const auto image = make_image(dir, "f.img", floppy());
  write_bytes(image, 100 * 512 + 7, {'N', 'E', 'E', 'D', 'L', 'E'});
  const auto before = read_file(image);
  Terminal t(edit(image));
  ASSERT_TRUE(t.started());
  ASSERT_TRUE(t.wait_for({"drwDiskSectionMBR 0-0  Sector: 0", "1F0 |", "55 AA |", "? help  q quit"})) << t.screen();

  t.keys({"/"});
  ASSERT_TRUE(t.wait_for({"Search forward in this section"})) << t.screen();
  t.keys({"Tab"});
  ASSERT_TRUE(t.wait_for({"Search forward in the volume"})) << t.screen();
  t.type("\"NEEDLE\"");
  t.keys({"Enter"});
  ASSERT_TRUE(t.wait_for({"found at sector 100 byte 7", "Sector: 100  Cluster: 69  Byte: 7"})) << t.screen();

  t.keys({"Tab"});
  ASSERT_TRUE(t.wait_for({"[text]", "F1 help  ^Q quit"})) << t.screen();
  t.type("xy");
  ASSERT_TRUE(t.wait_for({"2 changed byte(s)", "000 |00 00 00 00 00 00 00 78 79 45 44 4C 45 00", "|.......xyEDLE"}))
      << t.screen();
  t.keys({"C-w"});
  ASSERT_TRUE(t.wait_for({"Write 2 changed bytes to sector 100?"})) << t.screen();
  EXPECT_TRUE(read_file(image) == before) << "nothing is written before the answer";
  t.keys({"y"});
  ASSERT_TRUE(t.wait_for({"wrote 2 bytes to sector 100"})) << t.screen();
  t.keys({"Escape"});
  ASSERT_TRUE(t.wait_for({"[hex]"})) << t.screen();

  // The editor's undo takes back the y as a new change; Esc declines the quit.
  t.keys({"z"});
  ASSERT_TRUE(t.wait_for({"1 changed byte(s)", "000 |00 00 00 00 00 00 00 78 45 45 44"})) << t.screen();
  t.keys({"q"});
  ASSERT_TRUE(t.wait_for({"Discard 1 changed bytes?"})) << t.screen();
  t.keys({"Escape"});
  ASSERT_TRUE(t.wait_for({"Discard 1 changed bytes?"}, false)) << t.screen();

  t.keys({"\\"});
  ASSERT_TRUE(t.wait_for({"Search backward in the volume"})) << t.screen();
  t.type("55aa");
  t.keys({"Enter"});
  ASSERT_TRUE(t.wait_for({"found at sector 0 byte 510", "drwDiskSectionMBR 0-0  Sector: 0"})) << t.screen();
  t.keys({">"});
  ASSERT_TRUE(t.wait_for({"not found after the cursor in the volume"})) << t.screen();

  t.keys({"q"});
  ASSERT_TRUE(t.wait_for({"Discard 1 changed bytes?"})) << t.screen();
  t.keys({"y"});
  ASSERT_TRUE(t.wait_for({"EXIT=0"})) << t.screen();

  auto expected = before;
  expected[100 * 512 + 7] = 'x';
  expected[100 * 512 + 8] = 'y';
  EXPECT_TRUE(read_file(image) == expected) << differences(expected, read_file(image)).size() << " bytes differ";
  VOLUMAR_EXPECT_RUN(volumar({"--journal", dir.file("j.db").string(), "undo", image.string(), "--yes"}), 0);
  EXPECT_TRUE(read_file(image) == before);
}

TEST_F(EditorTerminal, ReachesFsInfoAndTheBackupByNameAndFollowsResizes) {
  const auto image = make_image(dir, "f32.img", fat32());
  Terminal t(edit(image));
  ASSERT_TRUE(t.started());
  ASSERT_TRUE(t.wait_for({"Sector: 0 "})) << t.screen();
  for (const auto& [name, shown] : std::vector<std::pair<std::string, std::string>>{
           {"fsinfo", "Sector: 1  Cluster: -"}, {"backup", "Sector: 6  Cluster: -"}, {"0x20", "FATCopy1"}}) {
    t.keys({"g"});
    ASSERT_TRUE(t.wait_for({"Go to sector"})) << t.screen();
    t.type(name);
    t.keys({"Enter"});
    ASSERT_TRUE(t.wait_for({shown})) << name << "\n" << t.screen();
  }
  t.keys({"g"});
  t.type("backup");
  t.keys({"Escape"});
  ASSERT_TRUE(t.wait_for({"Go to sector"}, false)) << t.screen();
  EXPECT_NE(t.screen().find("FATCopy1"), std::string::npos) << "Esc goes nowhere";

  t.keys({"g"});
  t.type("fsinfo");
  t.keys({"Enter"});
  ASSERT_TRUE(t.wait_for({"outside the sections 1-31  Sector: 1 ", "000 |52 52 61 41"})) << t.screen();
  t.keys({"?"});
  ASSERT_TRUE(t.wait_for({"volumar edit: keys", "fsinfo or backup", "Up/Down scroll"})) << t.screen();
  t.keys({"End"});  // not a scroll key: closes
  ASSERT_TRUE(t.wait_for({"volumar edit: keys"}, false)) << t.screen();

  t.resize(50, 14);
  const std::string narrow = volumar_tool::key_line(50, volumar_tool::Column::Hex);
  ASSERT_TRUE(t.wait_for({"narrower than the dump", narrow})) << t.screen();
  t.keys({"Tab"});
  ASSERT_TRUE(t.wait_for({volumar_tool::key_line(50, volumar_tool::Column::Text)})) << t.screen();
  t.resize(100, 40);
  ASSERT_TRUE(t.wait_for({volumar_tool::key_line(100, volumar_tool::Column::Text), "1F0 |"})) << t.screen();
  t.keys({"C-q"});
  ASSERT_TRUE(t.wait_for({"EXIT=0"})) << t.screen();
}

TEST_F(EditorTerminal, ASearchOfALargeVolumeShowsProgressAndStopsOnEsc) {
  fixtures::MkfsOptions o;
  o.fat_bits = 32;
  o.size_kb = 4 * 1024 * 1024;
  const auto image = make_image(dir, "large.img", o);
  Terminal t(edit(image));
  ASSERT_TRUE(t.started());
  ASSERT_TRUE(t.wait_for({"Sector: 0 "})) << t.screen();
  t.keys({"/", "Tab"});
  t.type("DE AD BE EF 01");
  t.keys({"Enter"});
  ASSERT_TRUE(t.wait_for({"searching: ", "Esc stops"})) << t.screen();
  t.keys({"Escape"});
  ASSERT_TRUE(t.wait_for({"search stopped at sector "})) << t.screen();
  EXPECT_NE(t.screen().find("Sector: 0 "), std::string::npos);
  t.keys({"q"});
  ASSERT_TRUE(t.wait_for({"EXIT=0"})) << t.screen();
}

}  // namespace
}  // namespace tooltest
