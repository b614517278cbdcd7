// The undo journal, run as the real program: every kind of write undone to
// a byte-identical image, undo refused over sectors changed since, a write
// killed half-way found as interrupted and restored, and a journal that
// cannot be kept stopping the write before a byte changes.
#include "imaging/fat_image_builder.h"
#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

class VolumarJournal : public ::testing::Test {
 protected:
  void SetUp() override {
    VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat");
    image = make_image(dir, "j.img", floppy());
    original = read_file(image);
  }
  // volumar with this test's own journal.
  fixtures::ToolRun run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--journal", (dir.path() / "journal.db").string()});
    return volumar(args);
  }
  TempDir dir{"volumar-journal"};
  std::filesystem::path image;
  std::vector<std::uint8_t> original;
};

TEST_F(VolumarJournal, EveryKindOfWriteIsUndoneByteForByte) {
  const std::string img = image.string();
  const std::vector<std::vector<std::string>> writes = {
      {"mark", img, "bad", "--cluster", "7", "--yes"},
      {"write", img, "--sector", "40", "--offset", "510", "--hex", "41 42 43 44", "--yes"},  // into sector 41
      {"fill", img, "--sector", "100", "--yes"},
      {"-d", "C=" + img, "call", "clsQzVolmDrwA", "DrivePP=\"C:\"", "ClusterFoundPP=60", "DataPP=\"by script\"",
       "WriteSectorData"},
  };
  for (const auto& w : writes) {
    SCOPED_TRACE(w[w[0] == "-d" ? 2 : 0]);
    VOLUMAR_EXPECT_RUN(run(w), 0);
    EXPECT_FALSE(read_file(image) == original);
    const auto history = run({"history", img});
    EXPECT_NE(history.out.find("complete"), std::string::npos) << history.describe();
    VOLUMAR_EXPECT_RUN(run({"undo", img, "--yes"}), 0);
    EXPECT_TRUE(read_file(image) == original);
  }
  // Undo after undo walks back; an undo named with --change is taken back.
  VOLUMAR_EXPECT_RUN(run({"fill", img, "--sector", "50", "--yes"}), 0);
  VOLUMAR_EXPECT_RUN(run({"fill", img, "--sector", "51", "--yes"}), 0);
  VOLUMAR_EXPECT_RUN(run({"undo", img, "--yes"}), 0);
  VOLUMAR_EXPECT_RUN(run({"undo", img, "--yes"}), 0);
  EXPECT_TRUE(read_file(image) == original);
  const auto history = run({"history", img});
  const auto undo_line = history.out.rfind("\n", history.out.size() - 2);
  const std::string last_id = history.out.substr(undo_line + 1, history.out.find(' ', undo_line + 1) - undo_line - 1);
  VOLUMAR_EXPECT_RUN(run({"undo", img, "--change", last_id, "--yes"}), 0);
  EXPECT_EQ(read_bytes(image, 50 * 512, 1)[0], '?') << history.out;
}

TEST_F(VolumarJournal, ADryRunShowsEachChangeAndWritesNothing) {
  const std::string img = image.string();
  VOLUMAR_EXPECT_RUN(run({"fill", img, "--sector", "90", "--yes"}), 0);
  const auto before = read_file(image);
  const struct {
    std::vector<std::string> args;
    const char* shown;
  } cases[] = {
      {{"mark", img, "bad", "--cluster", "7", "--yes"}, "dry run: sector 1, bytes 10-11 (2 of 512 bytes change)"},
      {{"write", img, "--sector", "40", "--offset", "511", "--hex", "41 42", "--yes"},
       "sector 40, bytes 511-511 and on to byte 0 of sector 41 (2 of 1024 bytes change): 00 00 -> 41 42"},
      {{"fill", img, "--sector", "41", "--yes"}, "dry run: sector 41, bytes 0-511 (512 of 512 bytes change)"},
      {{"undo", img, "--yes"}, "dry run: sector 90, bytes 0-511 (512 of 512 bytes change): 3F"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"--dry-run"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto shown = run(args);
    VOLUMAR_EXPECT_RUN(shown, 0);
    EXPECT_NE(shown.out.find(c.shown), std::string::npos) << shown.describe();
    EXPECT_NE(shown.out.find("dry run: nothing was written"), std::string::npos);
    EXPECT_TRUE(read_file(image) == before) << shown.command_line();
  }
  EXPECT_EQ(lines(run({"history", img}).out).size(), 2u) << "the header and the one fill";
}

// A sparse 5 GiB FAT32 volume: sectors past 2 GiB and past 4 GiB are read,
// written, filled and undone like any other, on both families.
TEST_F(VolumarJournal, EverySectorOfALargeVolume) {
  fixtures::MkfsOptions o;
  o.fat_bits = 32;
  o.size_kb = 5 * 1024 * 1024;
  const auto large = make_image(dir, "large.img", o);
  const std::string img = large.string();
  const auto sum = [&] { return content_hash(large); };
  const std::uint64_t before = sum();
  for (const std::string family : {"nt", "9x"})
    for (const std::int64_t sector : {4200000LL, 9000000LL}) {
      SCOPED_TRACE(family + " " + std::to_string(sector));
      const std::string s = std::to_string(sector);
      VOLUMAR_EXPECT_RUN(
          run({"--family", family, "write", img, "--sector", s, "--offset", "100", "--text", "HELLO", "--yes"}), 0);
      const auto dump = run({"--family", family, "dump", img, "--sector", s});
      EXPECT_NE(dump.out.find("060 |00 00 00 00 48 45 4C 4C 4F 00"), std::string::npos) << dump.describe();
      EXPECT_NE(sum(), before);
      VOLUMAR_EXPECT_RUN(run({"--family", family, "fill", img, "--sector", std::to_string(sector + 1), "--yes"}), 0);
      EXPECT_EQ(read_bytes(large, (sector + 1) * 512, 1)[0], '?');
      VOLUMAR_EXPECT_RUN(run({"undo", img, "--yes"}), 0);
      VOLUMAR_EXPECT_RUN(run({"undo", img, "--yes"}), 0);
      EXPECT_EQ(sum(), before);
    }
}

TEST_F(VolumarJournal, UndoRefusesOverSectorsChangedSinceUnlessForced) {
  const std::string img = image.string();
  VOLUMAR_EXPECT_RUN(run({"fill", img, "--sector", "70", "--yes"}), 0);
  VOLUMAR_EXPECT_RUN(run({"--no-journal", "write", img, "--sector", "70", "--hex", "00", "--yes"}), 0);
  const auto changed = read_file(image);
  const auto refused = run({"undo", img, "--yes"});
  VOLUMAR_EXPECT_RUN(refused, 1);
  EXPECT_NE(refused.err.find("sectors 70 have changed since"), std::string::npos) << refused.describe();
  EXPECT_TRUE(read_file(image) == changed);
  VOLUMAR_EXPECT_RUN(run({"undo", img, "--yes", "--force"}), 0);
  EXPECT_TRUE(read_file(image) == original);
  // Nothing left to undo: the --no-journal write is not in the journal.
  VOLUMAR_EXPECT_RUN(run({"undo", img, "--yes"}), 1);
}

TEST_F(VolumarJournal, AWriteKilledHalfWayIsFoundInterruptedAndRestored) {
  const std::string img = image.string();
  // Marking writes one sector in each FAT copy: the process ends between them.
  VOLUMAR_EXPECT_RUN(run({"--crash-after-writes", "1", "mark", img, "bad", "--cluster", "9", "--yes"}), 137);
  EXPECT_FALSE(read_file(image) == original);
  for (const char* command : {"info", "history"}) {
    const auto opened = run({command, img});
    VOLUMAR_EXPECT_RUN(opened, 0);
    EXPECT_NE((opened.out + opened.err).find("interrupted"), std::string::npos) << opened.describe();
  }
  VOLUMAR_EXPECT_RUN(run({"undo", img, "--yes"}), 0);
  EXPECT_TRUE(read_file(image) == original);
}

TEST_F(VolumarJournal, AJournalThatCannotBeKeptStopsTheWrite) {
  const std::string img = image.string();
  const auto blocker = dir.file("a-file");
  std::ofstream(blocker) << "not a folder";
  const std::string unusable = (blocker / "journal.db").string();
  for (const auto& w : std::vector<std::vector<std::string>>{
           {"--journal", unusable, "mark", img, "bad", "--cluster", "7", "--yes"},
           {"--journal", unusable, "fill", img, "--sector", "40", "--yes"},
           {"--journal", unusable, "-d", "C=" + img, "call", "clsQzVolmDrwA", "DrivePP=\"C:\"", "ClusterFoundPP=60",
            "DataPP=\"x\"", "WriteSectorData"}}) {
    const auto refused = volumar(w);
    EXPECT_NE(refused.err.find("journal"), std::string::npos) << refused.describe();
    EXPECT_TRUE(read_file(image) == original) << refused.command_line();
  }
  // On purpose, without one.
  VOLUMAR_EXPECT_RUN(volumar({"--journal", unusable, "--no-journal", "fill", img, "--sector", "40", "--yes"}), 0);
  EXPECT_FALSE(read_file(image) == original);
}

}  // namespace
}  // namespace tooltest
