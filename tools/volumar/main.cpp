// volumar: the command-line client of the Volumar10 library.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/automation/automation_error.h"
#include "platform/descriptor_reuse.h"
#include "server/class_registry.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/fault_option.h"
#include "tools/volumar/host/global_options.h"
#include "tools/volumar/host/progress_bar.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/write_journal.h"

namespace {

int report(const std::string& message, int status) {
  volumar_tool::clear_progress_line();
  std::fflush(stdout);
  std::fprintf(stderr, "volumar: %s\n", message.c_str());
  return status;
}

// The command line as the journal's history shows it.
std::string command_line(int argc, char** argv) {
  std::string out = "volumar";
  for (int i = 1; i < argc; ++i) out += std::string(" ") + argv[i];
  return out;
}

// Edits that turn a into b: a mistyped command is a few away from its name.
std::size_t edit_distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0]++;
    for (std::size_t j = 1; j <= b.size(); ++j)
      diagonal = std::exchange(row[j], std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])}));
  }
  return row[b.size()];
}

// The word a command that wants a subcommand was given instead of one, the
// nearest command and all of them.
std::optional<std::string> unknown_command(const CLI::App& app) {
  const CLI::App* at = &app;
  while (!at->get_subcommands().empty()) at = at->get_subcommands().front();
  if (at->get_require_subcommand_min() == 0 || at->remaining().empty()) return std::nullopt;
  const std::string word = at->remaining().front();
  if (word.starts_with("-")) return std::nullopt;
  std::string out = "unknown command '" + word + "'";
  std::string names, nearest;
  std::size_t best = 3;  // further than this is no typo
  for (const CLI::App* command : at->get_subcommands([](const CLI::App* c) { return !c->get_group().empty(); })) {
    const std::string& name = command->get_name();
    names += (names.empty() ? "" : ", ") + name;
    const std::size_t d = name.starts_with(word) ? 1 : edit_distance(word, name);
    if (d < best) {
      best = d;
      nearest = name;
    }
  }
  if (!nearest.empty()) out += "; did you mean '" + nearest + "'?";
  return out + " (commands: " + names + ")";
}

// Each command, by its name, in the order the help lists them.
struct CommandAdder {
  const char* name;
  void (*add)(volumar_tool::CommandContext&);
};
constexpr CommandAdder kCommands[] = {
    {"info", volumar_tool::add_info_command},
    {"dump", volumar_tool::add_dump_command},
    {"find", volumar_tool::add_find_command},
    {"mark", volumar_tool::add_mark_command},
    {"write", volumar_tool::add_write_command},
    {"fill", volumar_tool::add_fill_command},
    {"cipher", volumar_tool::add_cipher_command},
    {"call", volumar_tool::add_call_command},
    {"drives", volumar_tool::add_drives_command},
    {"assoc", volumar_tool::add_assoc_command},
    {"edit", volumar_tool::add_edit_command},
    {"history", volumar_tool::add_history_command},
    {"undo", volumar_tool::add_undo_command},
    {"boot", volumar_tool::add_boot_command},
    {"demo", volumar_tool::add_demo_command},
    {"completion", volumar_tool::add_completion_command},  // hidden; walks the commands above
};

// Whether the command line builds every command or only those it names:
// every command's options together cost each start more than a one-sector
// write does. Help, a mistyped command and the completion scripts list them
// all.
bool names(int argc, char** argv, std::string_view word) {
  return std::find(argv + 1, argv + argc, word) != argv + argc;
}

bool builds_every_command(int argc, char** argv) {
  if (names(argc, argv, "-h") || names(argc, argv, "--help") || names(argc, argv, "completion")) return true;
  return std::none_of(std::begin(kCommands), std::end(kCommands),
                      [&](const CommandAdder& command) { return names(argc, argv, command.name); });
}

}  // namespace

int main(int argc, char** argv) {
  using namespace volumar_tool;
  // Long outputs (a script of many steps) go out in large writes; a terminal
  // keeps its line buffering.
  static char out_buffer[1 << 16];
  if (isatty(STDOUT_FILENO) != 1) std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);
  // A short-lived process: an image opened again and again keeps its
  // descriptor, and the process's end closes it.
  win::set_descriptor_reuse(true);
  CLI::App app{"volumar: sector-level tools for FAT volumes (the Volumar10 library's command-line client)", "volumar"};
  app.require_subcommand(1);
  // Parse errors begin as the program's own messages do.
  app.failure_message([](const CLI::App* a, const CLI::Error& e) {
    return std::string("volumar: ").append(CLI::FailureMessage::simple(a, e));
  });
  app.footer(
      "Global options stand before the command: volumar -d C=floppy.img info C:\n"
      "A DRIVE is a letter (C, C:, c:\\) or the path of an image or device.\n"
      "Exit status: 0 success, 1 the operation failed, 2 usage error.");
  GlobalOptions globals;
  add_global_options(app, globals);

  Runner run;
  CommandContext ctx{app, globals, run};
  const bool every_command = builds_every_command(argc, argv);
  for (const CommandAdder& command : kCommands)
    if (every_command || names(argc, argv, command.name)) command.add(ctx);

  // Bytes that are no UTF-8 would reach the library as replacement
  // characters and messages as garbage: name the argument instead.
  for (int i = 1; i < argc; ++i)
    if (invalid_utf8_at(argv[i])) {
      const std::string who = i > 1 && argv[i - 1][0] == '-' && !std::strchr(argv[i - 1], '=')
                                  ? std::string(argv[i - 1])
                                  : "argument " + std::to_string(i);
      return report(who + ": " + unusable_name(argv[i]), kExitUsage);
    }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    if (const auto unknown = unknown_command(app)) return report(*unknown, kExitUsage);
    app.exit(e);
    return kExitUsage;
  }

  // However the command ends, its changes are closed in the journal (or put
  // back, when it failed), and a write the journal refused says why.
  int status = kExitUsage;
  struct JournalEnd {
    const int& status;
    ~JournalEnd() {
      finish_write_journal(status != kExitOk);
      if (dry_run()) std::fputs("dry run: nothing was written\n", stdout);
      if (auto why = journal_refusal())
        report("nothing more was written: " + *why + " (--no-journal writes without one)", 0);
      if (!fault_reached()) report("the --fault call was never made", 0);
    }
  } journal_end{status};
  try {
    if (!globals.fault.empty()) install_fault(globals.fault);
    apply_global_options(globals);
    start_write_journal({!globals.no_journal, globals.journal, command_line(argc, argv), globals.crash_after_writes,
                         globals.dry_run, 0, globals.verbose});
    volumar::register_class_objects();  // the companion QzCommon10 with them
    status = run ? run() : kExitUsage;
    std::fflush(stdout);
  } catch (const ToolError& e) {
    status = report(e.what(), e.exit_code());
  } catch (const win::AutomationError& e) {
    status = report("error " + std::to_string(e.number()) + ": " + ansi_to_utf8(e.description()), kExitFailed);
  } catch (const std::exception& e) {
    status = report(e.what(), kExitFailed);
  }
  return status;
}
