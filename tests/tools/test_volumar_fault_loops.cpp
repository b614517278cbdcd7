// Every write command, with each of its calls on the volume failed, cut
// short, or ended by a crash in turn: a run that reports success made the
// whole change; one that fails left the volume as it was; one that crashed
// is restored byte for byte by `volumar undo`.
#include <cstdio>
#include <set>

#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;

struct Operation {
  std::string name;
  fixtures::MkfsOptions format;
  std::vector<std::string> before;  // run once, without faults, to set the volume up
  std::vector<std::string> args;    // the operation, after "volumar --journal J"; IMG stands for the image
};

fixtures::MkfsOptions fat(int bits, unsigned fats, std::uint64_t kb) {
  fixtures::MkfsOptions o;
  o.fat_bits = bits;
  o.number_of_fats = fats;
  o.size_kb = kb;
  if (bits != 12) o.sectors_per_cluster = 1;  // the fewest bytes that still make the type
  return o;
}

// Instrumented builds start each process many times slower: there a
// sample runs (a mark on two FAT16 copies, the row write and the undo).
#ifdef __SANITIZE_ADDRESS__
constexpr bool kSample = true;
#else
constexpr bool kSample = false;
#endif

std::vector<Operation> operations() {
  std::vector<Operation> ops;
  for (int bits : {12, 16, 32})
    for (unsigned fats : {1u, 2u, 3u}) {
      const std::string tag = "FAT" + std::to_string(bits) + " x" + std::to_string(fats);
      const auto format = fat(bits, fats, bits == 12 ? 1440 : bits == 16 ? 4096 : 34000);
      // 341: a FAT12 entry that straddles the FAT's first two sectors.
      ops.push_back({"mark bad, " + tag, format, {}, {"mark", "IMG", "bad", "--cluster", "341", "--yes"}});
      ops.push_back({"mark free, " + tag,
                     format,
                     {"mark", "IMG", "bad", "--cluster", "341", "--yes"},
                     {"mark", "IMG", "free", "--cluster", "341", "--force", "--yes"}});
    }
  // The 9x family's disk service moves the same sectors by another road.
  ops.push_back({"mark bad, FAT16 x2, 9x family",
                 fat(16, 2, 4096),
                 {},
                 {"--family", "9x", "mark", "IMG", "bad", "--cluster", "341", "--yes"}});
  const auto floppy = fat(12, 2, 1440);
  ops.push_back(
      {"write a row",
       floppy,
       {},
       {"write", "IMG", "--sector", "40", "--offset", "500", "--hex", "0102030405060708090A0B0C0D0E0F10", "--yes"}});
  ops.push_back({"fill", floppy, {}, {"fill", "IMG", "--sector", "40", "--yes"}});
  ops.push_back({"undo", floppy, {"fill", "IMG", "--sector", "40", "--yes"}, {"undo", "IMG", "--yes"}});
  if (kSample)
    std::erase_if(ops, [](const Operation& op) {
      return op.name != "mark bad, FAT16 x2" && op.name != "write a row" && op.name != "undo";
    });
  return ops;
}

const std::vector<std::string> kFaults{"open",  "read", "short-read",  "write",     "short-write",
                                       "fsync", "lock", "crash-write", "torn-write"};

// The sectors where two images differ.
std::set<std::size_t> sectors_differing(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  std::set<std::size_t> out;
  for (std::size_t at : differences(a, b)) out.insert(at / 512);
  return out;
}

TEST(VolumarFaultLoops, NoFaultLeavesAPartChangeOrReportsSuccessWithoutTheWholeChange) {
  TempDir dir{"volumar-faults"};
  int runs = 0, faulted = 0;
  std::vector<std::string> broken;
  for (const Operation& op : operations()) {
    const auto image = dir.file("v.img"), journal = dir.file("j.db");
    std::filesystem::remove(journal);
    make_image(dir, "v.img", op.format);
    auto run = [&](std::vector<std::string> args, const std::string& fault) {
      for (auto& a : args)
        if (a == "IMG") a = image.string();
      std::vector<std::string> all{"--journal", journal.string()};
      if (!fault.empty()) all.insert(all.end(), {"--fault", fault});
      all.insert(all.end(), args.begin(), args.end());
      return volumar(all);
    };
    if (!op.before.empty()) {
      ASSERT_TRUE(run(op.before, "").ok()) << op.name;
    }
    // Each run starts from the same volume and the same journal (undo reads it).
    const auto snapshot = dir.file("snapshot");
    std::filesystem::create_directories(snapshot);
    auto journal_files = [&](const std::filesystem::path& from, const std::filesystem::path& to) {
      for (const char* end : {"", "-wal"}) {
        std::filesystem::remove(to.string() + end);
        if (std::filesystem::exists(from.string() + end))
          std::filesystem::copy_file(from.string() + end, to.string() + end);
      }
      std::filesystem::remove(to.string() + "-shm");
    };
    journal_files(journal, snapshot / "j.db");
    const auto original = read_file(image);
    const auto clean = run(op.args, "");
    ASSERT_TRUE(clean.ok()) << op.name << clean.describe();
    const auto changed = read_file(image);
    ASSERT_NE(changed, original) << op.name;
    // A FAT32 free count that did not follow is tolerated, as checkers do.
    const std::set<std::size_t> fsinfo =
        op.format.fat_bits == 32 ? std::set<std::size_t>{1, 7} : std::set<std::size_t>{};
    for (const std::string& kind : kFaults)
      for (int n = 1; n < 300; ++n) {
        tooltest::write_bytes(image, 0, original);
        journal_files(snapshot / "j.db", journal);
        const std::string fault = kind + ":" + std::to_string(n);
        const auto r = run(op.args, fault);
        ++runs;
        if (r.err.find("the --fault call was never made") != std::string::npos) {
          if (r.exit_code != 0 || read_file(image) != changed)
            broken.push_back(op.name + " " + fault + ": unreached yet wrong");
          break;
        }
        ++faulted;
        const auto after = read_file(image);
        std::string why;
        if (r.exit_code == 0) {
          for (std::size_t s : sectors_differing(after, changed))
            if (!fsinfo.count(s)) why = "exit 0 without the whole change (sector " + std::to_string(s) + ")";
        } else if (r.exit_code == 137) {
          const auto undo = run({"undo", "IMG", "--yes"}, "");
          if (after != original && (!undo.ok() || read_file(image) != original))
            why = "a crash that undo did not restore";
        } else if (after != original) {
          why = "failed (exit " + std::to_string(r.exit_code) + ") leaving the volume changed";
        }
        if (!why.empty()) broken.push_back(op.name + ", " + fault + ": " + why + "\n" + r.err);
      }
  }
  std::printf("fault loops: %zu operations, %d runs, %d calls faulted, %zu invariant failures\n", operations().size(),
              runs, faulted, broken.size());
  for (const auto& b : broken) ADD_FAILURE() << b;
}

}  // namespace
}  // namespace tooltest
