// volumar demo: the built-in example. Builds a small FAT12 floppy image with
// the project's own fixture builder (no formatter needed), then runs the
// real commands on it one after the other, showing each command line.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "imaging/fat_image_builder.h"
#include "imaging/temp_dir.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/global_options.h"
#include "tools/volumar/host/tool_error.h"

extern char** environ;

namespace volumar_tool {
namespace {

struct DemoOptions {
  bool keep = false;
};

std::string quoted(const std::string& arg) {
  if (arg.find_first_of(" \"'\\$*?;&|<>()#") == std::string::npos && !arg.empty()) return arg;
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs this program with the arguments, echoing its output; returns it.
std::string run_self(const std::vector<std::string>& shown, const std::vector<std::string>& args) {
  std::string line = "$ volumar";
  for (const auto& a : shown) line += " " + a;
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);

  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) fail("demo: cannot make a pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
  std::vector<std::string> argv_text{"volumar"};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (rc != 0) {
    close(pipe_fds[0]);
    fail("demo: cannot run volumar");
  }
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = read(pipe_fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::printf("\n");
  std::fflush(stdout);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fail("demo: the step above failed");
  return out;
}

std::string field(const std::string& output, const std::string& name) {
  const auto at = output.find(name + ": ");
  if (at == std::string::npos) fail("demo: no " + name + " in the output");
  const auto start = at + name.size() + 2;
  return output.substr(start, output.find_first_of("\r\n", start) - start);
}

int run_demo(const DemoOptions& o, const GlobalOptions& globals) {
  imaging::TempDir dir("volumar-demo");
  const auto image = dir.file("floppy.img");
  imaging::FatImageBuilder builder(imaging::FatType::fat12);
  builder.volume_label("VOLUMAR").volume_serial(0x1A2B3C4D);
  const std::string hello = "Hello from Volumar10!\r\n";
  builder.add_file("HELLO.TXT", std::span(reinterpret_cast<const std::uint8_t*>(hello.data()), hello.size()));
  builder.write(image);
  std::printf("A 1.44 MB FAT12 floppy image with one file, HELLO.TXT, made by the project's fixture builder:\n  %s\n\n",
              image.c_str());

  std::vector<std::string> base, shown_base;
  if (globals.family != "nt") base.insert(base.end(), {"--family", globals.family});
  if (globals.trace) base.push_back("--trace");
  if (globals.read_only) base.push_back("--read-only");
  shown_base = base;
  const std::string map = "A=" + image.string() + ",type=Removable,folder=" + dir.path().string();
  base.insert(base.end(), {"-d", map});
  shown_base.insert(shown_base.end(), {"-d", "\"$MAP\""});
  std::printf("The drive map every step uses (the folder takes DriveRestrictedPP's write test):\n  MAP=%s\n\n",
              quoted(map).c_str());
  auto step = [&](const std::string& what, std::vector<std::string> args) {
    std::printf("# %s\n", what.c_str());
    std::vector<std::string> all = base, shown = shown_base;
    all.insert(all.end(), args.begin(), args.end());
    for (const auto& a : args) shown.push_back(quoted(a));
    return run_self(shown, all);
  };

  step("Select the drive: its volume properties and disk sections", {"info", "A:"});
  step("The boot sector, in the sector editor's hex-dump text", {"dump", "A:", "--section", "mbr"});
  step("The root directory as row texts, member by member through dispatch, as a script would",
       {"call", "clsQzVolmDrwA", "DrivePP=\"A:\"", "DiskSectionPP=3", "ClusterFoundPP=19", "ReadSectorData(0)",
        "ReadSectorData(32)", "SectorDataLocation"});
  const std::string found = step("Find the first free cluster through the FAT", {"find", "A:", "free"});
  const std::string cluster = field(found, "Cluster"), sector = field(found, "Sector");
  step("Mark it bad in both FAT copies", {"mark", "A:", "bad", "--cluster", cluster, "--yes"});
  step("Now the first bad cluster is that one", {"find", "A:", "bad"});
  step("The cluster of that sector as the editor reports it, by dispatch id (0x6803000d: LogicalClusterPP)",
       {"call", "clsQzVolmDrwA", "DrivePP=\"A:\"", "DiskSectionPP=4", "ClusterFoundPP=" + sector,
        "ShowSectorInEditControlPP", "#0x6803000d"});
  step("Mark it free again (a bad cluster is freed only on purpose): the volume is as it was",
       {"mark", "A:", "free", "--cluster", cluster, "--yes", "--force"});

  if (o.keep) {
    const auto kept = dir.release();
    std::printf("The image stays in %s\n", kept.c_str());
  }
  return 0;
}

}  // namespace

void add_demo_command(CommandContext& ctx) {
  auto o = std::make_shared<DemoOptions>();
  CLI::App* sub = ctx.app.add_subcommand("demo", "The built-in example on a small FAT12 volume it makes");
  sub->footer(
      "Builds a 1.44 MB FAT12 image in a temporary folder with the project's fixture builder and\n"
      "runs info, dump, find, mark and call on it, showing each command line.");
  sub->add_flag("--keep", o->keep, "Keep the temporary folder with the image");
  sub->callback([&run = ctx.run, &globals = ctx.globals, o] { run = [o, &globals] { return run_demo(*o, globals); }; });
}

}  // namespace volumar_tool
