// The commands of volumar. Each add_*_command adds its subcommand to the
// program; when the command line chooses it, its callback leaves the work
// to do in `run`, which the program calls once the global options are in
// force. The work returns the exit status.
#pragma once
#include <functional>

namespace CLI {
class App;
}

namespace volumar_tool {

struct GlobalOptions;
using Runner = std::function<int()>;

struct CommandContext {
  CLI::App& app;
  const GlobalOptions& globals;
  Runner& run;
};

void add_info_command(CommandContext& ctx);
void add_dump_command(CommandContext& ctx);
void add_find_command(CommandContext& ctx);
void add_mark_command(CommandContext& ctx);
void add_write_command(CommandContext& ctx);
void add_fill_command(CommandContext& ctx);
void add_cipher_command(CommandContext& ctx);
void add_call_command(CommandContext& ctx);
void add_demo_command(CommandContext& ctx);
void add_drives_command(CommandContext& ctx);
void add_assoc_command(CommandContext& ctx);
void add_edit_command(CommandContext& ctx);
void add_history_command(CommandContext& ctx);
void add_undo_command(CommandContext& ctx);
void add_boot_command(CommandContext& ctx);
void add_completion_command(CommandContext& ctx);

}  // namespace volumar_tool
