// Bad command lines, one a row: each must fail with the expected status,
// name its cause on the first line of standard error and leave every image
// as it was.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "imaging/sparse_image.h"
#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

using fixtures::TempDir;
namespace fs = std::filesystem;

TEST(VolumarBadInput, EveryBadCommandLineFailsNamingItsCauseAndChangesNothing) {
  VOLUMAR_SKIP_WITHOUT_TOOLS("mkfs.fat");
  TempDir dir("volumar-bad");
  auto path = [&dir](const char* name) { return dir.file(name).string(); };
  auto bytes = [&path](const char* name, std::size_t n) {
    std::ofstream(path(name), std::ios::binary) << std::string(n, '\0');
    return path(name);
  };
  auto copy = [&](const std::string& from, const char* name, fs::perms perms) {
    fs::copy_file(from, path(name));
    fs::permissions(path(name), perms);
    return path(name);
  };
  const std::string img = make_image(dir, "f.img", floppy()).string();
  fixtures::MkfsOptions three_gib = fat32();
  three_gib.size_kb = 3ull << 20;
  three_gib.sectors_per_cluster = 8;
  const std::string big = make_image(dir, "big.img", three_gib).string();
  // More sectors than 32 bits count: the floppy at the start of 2200 GiB.
  imaging::SparseImage huge_image(2200ull << 30);
  huge_image.write(0, read_file(img));
  const std::string huge = path("huge.img");
  huge_image.save(huge);
  const std::string folder = path("dir"), fifo = path("fifo"), sock = path("sock"), missing = path("none.img");
  fs::create_directory(folder);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, sock.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string empty = bytes("empty.img", 0), one = bytes("one.img", 1), b511 = bytes("511.img", 511),
                    b512 = bytes("512.img", 512);
  const std::string unreadable = copy(img, "noread.img", fs::perms::none);
  const std::string read_only = copy(img, "ro.img", fs::perms::owner_read | fs::perms::group_read);
  const std::string list = path("blocks.txt"), registry = path("registry.db"), journal = path("journal.db");
  std::ofstream(list) << "12\n3x\n";
  const bool root = ::geteuid() == 0;  // reads and writes whatever the modes say
  // A change for undo to find.
  VOLUMAR_EXPECT_RUN(volumar({"--journal", journal, "write", img, "--sector", "100", "--hex", "41", "--yes"}), 0);

  struct Row {
    std::vector<std::string> args;
    int status;
    std::string first_line;  // a part of it
    bool unprivileged = false;
  };
  const std::string long_name = folder + "/" + std::string(300, 'x');
  const std::vector<Row> rows = {
      // Files that are no image.
      {{"info", missing}, 1, "no such image or device: " + missing},
      {{"info", folder}, 1, folder + " is a folder, not an image or device"},
      {{"info", empty}, 1, "first sector cannot be read (" + empty + " holds 0 bytes)"},
      {{"dump", one}, 1, one + " holds 1 bytes"},
      {{"find", b511, "free"}, 1, b511 + " holds 511 bytes"},
      {{"mark", b512, "bad", "--cluster", "2", "--yes"}, 1, "not a FAT volume"},
      {{"info", unreadable}, 1, unreadable + " cannot be opened: Permission denied", true},
      {{"write", read_only, "--sector", "100", "--hex", "41", "--yes"}, 1, read_only + ": Permission denied", true},
      {{"info", fifo}, 1, fifo + " is a FIFO, not an image or device"},
      {{"-d", "C=" + fifo + ",offset=0", "dump", "C:"}, 1, "is a FIFO"},
      {{"dump", fifo, "--partition", "1"}, 1, "is a FIFO"},
      {{"edit", fifo}, 1, "is a FIFO"},
      {{"info", sock}, 1, sock + " is a socket, not an image or device"},
      {{"info", img + "/x"}, 1, "cannot be opened: Not a directory"},
      {{"info", long_name}, 1, "cannot be opened: File name too long"},
      {{"info", folder + "/\xff\xfe.img"}, 2, "argument 4: not valid UTF-8 (byte 0xFF at offset"},
      {{"info", folder + "/a\nb.img"}, 2, "the path holds a control character (byte 0x0A at offset"},
      {{"--disk", missing, "drives"}, 2, "--disk " + missing + ": No such file or directory"},
      {{"--disk", fifo, "drives"}, 2, "--disk " + fifo + ": a FIFO, not an image or device"},
      {{"--disk", folder, "drives"}, 2, "--disk " + folder + ": a folder"},
      {{"boot", "show", empty}, 1, "sector 0 cannot be read (" + empty + " holds 0 bytes)"},
      // Read-only volumes.
      {{"--read-only", "write", img, "--sector", "100", "--hex", "42", "--yes"}, 1, "read-only"},
      {{"--read-only", "fill", img, "--sector", "100", "--yes"}, 1, "read-only"},
      {{"--read-only", "mark", img, "bad", "--cluster", "100", "--yes"}, 1, "read-only"},
      {{"--read-only", "undo", img, "--yes"}, 1, "nothing written: the volume is read-only"},
      // Numbers.
      {{"dump", img, "--sector", "-1"}, 2, "--sector: '-1' is negative"},
      {{"dump", img, "--sector", "99999999999999999999999"}, 2, "'99999999999999999999999' is too large"},
      {{"dump", img, "--sector", "12x"}, 2, "--sector: '12x' is not a whole number"},
      {{"fill", img, "--sector", "", "--yes"}, 2, "--sector: '' is not a whole number"},
      {{"write", img, "--sector", "0x", "--hex", "41", "--yes"}, 2, "--sector: '0x' is not a whole number"},
      {{"find", img, "free", "--after-sector", "-0x5"}, 2, "--after-sector: '-0x5' is negative"},
      {{"dump", img, "--count", "0"}, 2, "--count: '0' is too small"},
      {{"mark", img, "bad", "--cluster", "1e3", "--yes"}, 2, "--cluster: '1e3' is not a whole number"},
      {{"mark", img, "bad", "--from", list, "--block-size", "0", "--yes"}, 2, "--block-size: '0' is too small"},
      {{"undo", img, "--change", "0", "--yes"}, 2, "--change: '0' is too small"},
      {{"info", img, "--partition", "99999999999"}, 2, "--partition: '99999999999' is too large"},
      {{"write", img, "--sector", "100", "--offset", "-5", "--hex", "41", "--yes"}, 2, "--offset: '-5' is negative"},
      // Past the end of the volume.
      {{"dump", img, "--sector", "2880"}, 2, "sector 2880 is outside the volume (sectors 0-2879)"},
      {{"dump", img, "--sector", "2879", "--count", "2"}, 2, "sector 2880 is outside the volume"},
      {{"fill", img, "--sector", "9223372036854775807", "--yes"}, 2, "sector 9223372036854775807 is outside"},
      {{"write", img, "--sector", "2879", "--offset", "511", "--hex", "41 42", "--yes"},
       2,
       "--offset 511: 2 bytes from there in sector 2879 run past the end of the volume"},
      {{"write", img, "--sector", "0", "--offset", "9223372036854775807", "--hex", "41", "--yes"},
       2,
       "--offset 9223372036854775807:"},
      {{"mark", img, "bad", "--cluster", "2849", "--yes"}, 2, "cluster 2849 is outside the volume (clusters 2-2848)"},
      {{"mark", img, "bad", "--sector", "5", "--yes"}, 2, "sector 5 is not in a cluster of the data area"},
      {{"find", img, "free", "--after-sector", "2880"}, 2, "sector 2880 is outside the volume"},
      {{"dump", big, "--sector", "99999999"}, 2, "sector 99999999 is outside the volume"},
      {{"write", big, "--sector", "6291431", "--offset", "512", "--hex", "41", "--yes"}, 2, "run past the end"},
      {{"mark", big, "bad", "--cluster", "99999999", "--yes"}, 2, "cluster 99999999 is outside the volume"},
      {{"dump", huge, "--raw", "--sector", "4613734400"}, 2, "sector 4613734400 is outside the volume"},
      {{"fill", huge, "--sector", "4294967296", "--yes"},
       2,
       "sector 4294967296 is outside the volume (sectors 0-2879)"},
      {{"-d", "C=" + huge + ",offset=3000GiB", "info", "C:"}, 1, "the volume starts at byte 3221225472000"},
      // Drive maps.
      {{"-d", "C", "info", "C:"}, 2, "--drive wants L=PATH"},
      {{"-d", "1=" + img, "info", "C:"}, 2, "--drive wants L=PATH"},
      {{"-d", "C=", "info", "C:"}, 2, "--drive C=: no image or device after '='"},
      {{"-d", "C=" + img, "-d", "c=" + b512, "info", "C:"}, 2, "--drive C: the letter is mapped twice"},
      {{"-d", "C=" + img + ",offset=12x", "info", "C:"}, 2, "not a byte count: '12x'"},
      {{"-d", "C=" + img + ",length=0", "info", "C:"}, 2, "--drive C: length 0"},
      {{"-d", "C=" + img + ",partition=0", "info", "C:"}, 2, "partition= wants a partition number from 1, not '0'"},
      {{"-d", "C=" + img + ",partition=1", "info", "C:"}, 2, img + " has no partition table"},
      {{"-d", "C=" + img + ",type=Floppy", "info", "C:"}, 2, "unknown drive type 'Floppy'"},
      {{"-d", "C=" + img + ",offset=5000000", "info", "C:"}, 1, "the volume starts at byte 5000000"},
      {{"info", "D:"}, 2, "D: names no drive"},
      {{"-d", "C=" + img, "info", "C:", "--partition", "1"}, 2, "--partition goes with the path of a disk"},
      // Texts that are no UTF-8, and bytes that are no hex.
      {{"cipher", "encode", "\xff\xfe"}, 2, "argument 5: not valid UTF-8 (byte 0xFF at offset 0)"},
      {{"write", img, "--sector", "100", "--text", "a\xc3", "--yes"},
       2,
       "--text: not valid UTF-8 (byte 0xC3 at offset 1)"},
      {{"--registry", registry, "assoc", "reg-extension", ".x", "X\x80", "d", "c"}, 2, "not valid UTF-8 (byte 0x80"},
      {{"write", img, "--sector", "100", "--text", "\xe2\x98\x83", "--yes"}, 2, "ANSI code page cannot store"},
      {{"write", img, "--sector", "100", "--hex", "GG", "--yes"}, 2, "--hex wants bytes as hex digits"},
      {{"write", img, "--sector", "100", "--hex", "123", "--yes"}, 2, "not '123'"},
      {{"write", img, "--sector", "100", "--hex", "", "--yes"}, 2, "nothing to write"},
      {{"write", img, "--sector", "100", "--hex", "41", "--text", "A", "--yes"}, 2, "--hex excludes --text"},
      {{"mark", img, "bad", "--from", list, "--yes"}, 2, list + ", line 2: not a block number: '3x'"},
      {{"mark", img, "bad", "--from", fifo, "--yes"}, 2, "--from " + fifo + ": nothing to read"},
      {{"mark", img, "bad", "--from", folder, "--yes"}, 2, "--from " + folder + ": is a folder"},
      {{"mark", img, "bad", "--from", missing, "--yes"}, 2, "cannot be read: No such file or directory"},
      // Unknown words, missing arguments.
      {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"boot", "frob", img}, 2, "unknown command 'frob' (commands: show, restore)"},
      {{"dmup", img}, 2, "unknown command 'dmup'; did you mean 'dump'? (commands: info, dump,"},
      {{"--bogus", "info", img}, 2, "not expected: --bogus"},
      {{"info", img, "--bogus"}, 2, "not expected: --bogus"},
      {{"--family", "95", "info", img}, 2, "--family: 95 not in {nt,9x}"},
      {{"dump", img, "--section", "boot"}, 2, "--section: boot not in"},
      {{"dump", img, "--raw", "--section", "root"}, 2, "--raw has no sections"},
      {{"cipher", "rot13", "x"}, 2, "DIRECTION: rot13 not in"},
      {{"drives", "extra"}, 2, "not expected: extra"},
      {{"info"}, 2, "DRIVE is required"},
      {{"find", img}, 2, "STATE is required"},
      {{"fill", img, "--yes"}, 2, "--sector is required"},
      {{"write", img, "--sector", "100", "--yes"}, 2, "--hex or --text is required"},
      {{"mark", img, "bad", "--yes"}, 2, "--sector, --cluster or --from is required"},
      {{"call"}, 2, "CLASS is required"},
      {{"history"}, 2, "DRIVE is required"},
      {{"assoc", "export"}, 2, "FILE is required"},
      // Each command's own refusals.
      {{"write", img, "--sector", "100", "--hex", "41"}, 1, "refusing to write without --yes"},
      {{"edit", img}, 2, "edit needs a terminal"},
      {{"history", missing}, 1, "no such image or device"},
      {{"--no-journal", "history", img}, 2, "history needs the journal"},
      {{"undo", img, "--change", "99", "--yes"}, 2, "this volume has no change 99"},
      {{"undo", big, "--yes"}, 1, "nothing to undo on this volume"},
      {{"--journal", folder, "history", img}, 1, "cannot open the undo journal " + folder},
      {{"--journal", img, "history", img}, 1, "cannot use the undo journal " + img},
      {{"call", "NoSuchClass", "X"}, 1, "Volumar10.NoSuchClass"},
      {{"call", "--list", "NoSuch"}, 1, "NoSuch: not a class of the library"},
      {{"call", "clsQzVolmDrwA", "#0xZZ"}, 2, "step '#0xZZ'"},
      {{"-d", "C=" + img, "call", "clsQzVolmDrwA", "DrivePP=\"C:\"", "ClusterFoundPP=99999", "ReadSectorData"},
       1,
       "ReadSectorData: the sector lies past the end of the image"},
      {{"--family", "9x", "boot", "show", img}, 2, "which the 9x family does not have"},
      {{"boot", "restore", img, "--yes"}, 1, "sector 6 holds no sound FAT32 backup boot sector"},
      {{"--registry", folder, "assoc", "export", path("out.reg")}, 1, "registry store " + folder + ": a folder"},
      {{"--registry", img, "assoc", "export", path("out.reg")}, 1, "registry store " + img + ": not a registry store"},
      {{"--registry", fifo, "assoc", "export", path("out.reg")}, 1, "registry store " + fifo + ": a FIFO"},
      {{"--registry", registry, "assoc", "export", folder}, 1, "to " + folder + ": it is a folder"},
      {{"--registry", registry, "assoc", "export", missing + "/out.reg"}, 1, missing + ": No such file or directory"},
  };
  EXPECT_GE(rows.size(), 60u);
  const std::vector<std::string> images{img, big, huge, b512, read_only, unreadable};
  for (const Row& row : rows) {
    if (row.unprivileged && root) continue;
    std::vector<std::string> args = row.args;
    if (args[0] != "--journal") args.insert(args.begin(), {"--journal", journal});
    std::vector<std::uint64_t> before;
    for (const auto& image : images) before.push_back(content_hash(image));
    const auto run = volumar(args);
    SCOPED_TRACE(run.describe());
    EXPECT_EQ(run.exit_code, row.status);
    const auto err = lines(run.err);
    EXPECT_NE((err.empty() ? std::string() : err[0]).find(row.first_line), std::string::npos) << row.first_line;
    for (std::size_t i = 0; i < images.size(); ++i) EXPECT_EQ(content_hash(images[i]), before[i]) << images[i];
  }
  ::close(listener);
}

}  // namespace
}  // namespace tooltest
