// volumar mark DRIVE bad|free: marks one cluster in every FAT copy.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

#include "format/fat_entry.h"
#include "platform/drive_map.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/bad_block_list.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/editor_session.h"
#include "tools/volumar/host/number_option.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/write_guard.h"
#include "tools/volumar/journal/write_journal.h"
#include "volume/fat_entries.h"
#include "volume/fat_tables.h"

namespace volumar_tool {
namespace {

struct MarkOptions {
  DriveArgument drive;
  std::string state;
  std::int64_t sector = -1;
  std::int64_t cluster = -1;
  std::string from;
  std::uint64_t block_size = 1024;
  bool yes = false;
  bool force = false;
};

// What an entry value means, as a checker would say it.
std::string entry_meaning(ondisk::FatType type, std::uint32_t v) {
  switch (ondisk::entry_state(type, v)) {
    case ondisk::EntryState::Free: return "free";
    case ondisk::EntryState::Reserved: return "reserved";
    case ondisk::EntryState::Bad: return "bad";
    case ondisk::EntryState::EndOfChain: return "in use, end of chain";
    case ondisk::EntryState::Link: return "in use, next cluster " + std::to_string(v);
  }
  return {};
}

bool in_use(ondisk::FatType type, std::uint32_t entry) {
  const auto state = ondisk::entry_state(type, entry);
  return state == ondisk::EntryState::Link || state == ondisk::EntryState::EndOfChain;
}

std::string numbers(const std::vector<std::uint64_t>& list) {
  std::string out;
  for (std::uint64_t n : list) out += (out.empty() ? "" : " ") + std::to_string(n);
  return out;
}

// The whole list. A FIFO that no program writes to would block the open,
// so it opens without waiting and reads as empty; a pipe with its writer reads
// as it comes.
std::string read_list_file(const std::string& path) {
  std::string what = "--from ";
  what.append(path).append(": ");
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) usage_error(what + "cannot be read: " + std::strerror(errno));
  struct stat st {};
  std::string text;
  const char* refusal = nullptr;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    refusal = "is a folder, not a list of blocks";
  } else {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
      if (got > 0) text.append(buffer, static_cast<std::size_t>(got));
    if (got < 0) refusal = std::strerror(errno);
    if (!refusal && text.empty() && S_ISFIFO(st.st_mode)) refusal = "nothing to read (no program writes to it)";
  }
  ::close(fd);
  if (refusal) usage_error(what + refusal);
  return text;
}

// mark bad --from FILE: every cluster that holds a listed block, in one
// change. Clusters in use are named, and marked only with --force.
int mark_from_list(EditorSession& session, const MarkOptions& o) {
  std::istringstream in(read_list_file(o.from));
  const auto blocks = read_bad_block_list(in, o.from);
  const volumar::VolumeGeometry& g = session.geometry();
  const BadBlockClusters found = clusters_of_blocks(g, blocks, o.block_size);
  if (!found.outside_data.empty())
    std::fprintf(stderr, "volumar: warning: blocks outside the data area, no cluster to mark: %s\n",
                 numbers(found.outside_data).c_str());
  std::vector<std::uint64_t> to_mark, used, already;
  for (std::uint64_t c : found.clusters) {
    const auto entry = volumar::FatEntryValue(static_cast<std::int32_t>(c));
    if (!entry) fail("cluster " + std::to_string(c) + " has no entry in the FAT (the FAT is shorter than the volume)");
    if (ondisk::entry_state(*g.type, *entry) == ondisk::EntryState::Bad) {
      already.push_back(c);
      continue;
    }
    if (in_use(*g.type, *entry)) used.push_back(c);
    to_mark.push_back(c);
  }
  if (!used.empty() && !o.force)
    fail("clusters in use hold listed blocks: " + numbers(used) +
         "; marking them bad cuts the chains of the files that hold them (--force marks them all the same)");
  if (!already.empty()) std::printf("Already bad: %s\n", numbers(already).c_str());
  if (to_mark.empty()) {
    std::printf("Nothing to mark\n");
    return 0;
  }
  guard_write(session.letter(), "Mark " + std::to_string(to_mark.size()) + " clusters bad?", o.yes, o.force);
  for (std::uint64_t c : to_mark)
    if (!volumar::SetFatEntry(session.drive(), static_cast<std::int32_t>(c),
                              static_cast<std::int32_t>(ondisk::kFat32Bad)))
      fail("the FAT was not written at cluster " + std::to_string(c) + "; `volumar undo` takes back the marks made");
  std::printf("Marked bad: %s\n", numbers(to_mark).c_str());
  if (!used.empty()) std::printf("In use before: %s\n", numbers(used).c_str());
  return 0;
}

int run_mark(const MarkOptions& o) {
  require_journal();  // a writer opens its journal first: the session reads it there
  EditorSession session(resolve_drive_argument(o.drive));
  session.require_fat();
  if (!o.from.empty()) return mark_from_list(session, o);
  const volumar::VolumeGeometry& g = session.geometry();
  std::int64_t cluster;
  if (o.sector >= 0) {
    session.check_data_sector(o.sector);
    cluster = static_cast<std::int64_t>(*g.cluster_of(static_cast<std::uint64_t>(o.sector)));
  } else {
    session.check_cluster(o.cluster);
    cluster = o.cluster;
  }
  const bool bad = o.state == "bad";
  const ondisk::FatType type = *g.type;
  const auto old = volumar::FatEntryValue(static_cast<std::int32_t>(cluster));
  if (!old)
    fail("cluster " + std::to_string(cluster) + " has no entry in the FAT (the FAT is shorter than the volume)");
  const std::uint32_t value = bad ? ondisk::bad_entry(type) : ondisk::kFatFree;
  std::printf("Entry of cluster %lld: 0x%X (%s) -> 0x%X (%s)\n", static_cast<long long>(cluster), *old,
              entry_meaning(type, *old).c_str(), value, entry_meaning(type, value).c_str());
  // Cutting a file's chain, or handing a cluster known bad back for use,
  // loses data later: only on purpose.
  const auto state = ondisk::entry_state(type, *old);
  if (bad && in_use(type, *old) && !o.force)
    fail("cluster " + std::to_string(cluster) +
         " is in use; marking it bad cuts the chain of the file that holds it"
         " (--force marks it all the same)");
  if (!bad && state == ondisk::EntryState::Bad && !o.force)
    fail("cluster " + std::to_string(cluster) +
         " is marked bad; freeing it lets files use it again"
         " (--force frees it all the same)");
  guard_write(
      session.letter(),
      "Mark cluster " + std::to_string(cluster) + " of " + given_name(session.letter()) + " as " + o.state + "?", o.yes,
      o.force);
  if (!volumar::SetFatEntry(session.drive(), static_cast<std::int32_t>(cluster),
                            static_cast<std::int32_t>(bad ? ondisk::kFat32Bad : ondisk::kFatFree))) {
    if (win::DriveMap::is_read_only(session.letter())) fail("the FAT was not written: the volume is read-only");
    fail("the FAT was not written");
  }
  std::printf("Cluster: %lld\n", static_cast<long long>(cluster));
  return 0;
}

}  // namespace

void add_mark_command(CommandContext& ctx) {
  auto o = std::make_shared<MarkOptions>();
  CLI::App* sub = ctx.app.add_subcommand("mark", "Mark a cluster bad or free in every FAT copy");
  sub->footer(
      "Prints the entry's old and new value and \"Cluster: C\". Asks before writing unless --yes;\n"
      "without a terminal it needs --yes. Marking a cluster in use bad, or a bad cluster free,\n"
      "needs --force. --from FILE reads the block numbers badblocks writes (badblocks -o FILE)\n"
      "and marks every cluster holding one, in one change that volumar undo takes back.");
  add_drive_argument(*sub, o->drive);
  sub->add_option("STATE", o->state, "bad or free")->required()->check(CLI::IsMember({"bad", "free"}));
  auto* s = sub->add_option("--sector", o->sector, "The cluster that holds this sector")
                ->type_name("N")
                ->check(whole_number(0));
  auto* c = sub->add_option("--cluster", o->cluster, "The cluster")->type_name("C")->check(whole_number(0));
  auto* f = sub->add_option("--from", o->from, "Mark bad every cluster that holds a block of this badblocks list")
                ->type_name("FILE");
  sub->add_option("--block-size", o->block_size, "The list's block size in bytes, as badblocks -b (default 1024)")
      ->type_name("BYTES")
      ->check(whole_number(1));
  s->excludes(c);
  c->excludes(s);
  f->excludes(s);
  f->excludes(c);
  sub->add_flag("--yes,-y", o->yes, "Write without asking");
  sub->add_flag("--force", o->force,
                "Write even to a mounted block device, and mark a cluster in use bad or a bad cluster free");
  sub->callback([&run = ctx.run, o, sub] {
    if (sub->count("--sector") + sub->count("--cluster") + sub->count("--from") == 0)
      throw CLI::RequiredError("--sector, --cluster or --from");
    if (!o->from.empty() && o->state != "bad") throw CLI::ValidationError("--from", "marks clusters bad only");
    run = [o] { return run_mark(*o); };
  });
}

}  // namespace volumar_tool
