// The options that stand before the command, and how they configure the
// platform the library runs on.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace volumar_tool {

struct GlobalOptions {
  std::vector<std::string> drives;  // -d mappings
  std::string family = "nt";
  std::vector<std::string> disks;
  std::string registry;
  bool trace = false;
  bool read_only = false;
  bool quiet = false;
  bool verbose = false;
  std::string journal;
  bool no_journal = false;
  bool dry_run = false;
  int crash_after_writes = -1;  // testing only: the process ends before this write
  std::string fault;            // testing only: KIND:N, a fault in the platform's calls
};

void add_global_options(CLI::App& app, GlobalOptions& options);

// Drive map, family, physical disks, read-only mode, trace and the
// message-box printer. Raises a usage error for a bad drive mapping.
void apply_global_options(const GlobalOptions& options);

// Opens the registry store: the --registry file, or the default file in the
// user's data folder. Only the commands that use the registry call this, so
// that reading a volume never creates a file.
void open_registry(const GlobalOptions& options);
// The same, at the first registry call a library member makes; a member that
// never makes one leaves no file. Afterwards, why the store did not open.
void open_registry_when_needed(const GlobalOptions& options);
const std::optional<std::string>& registry_open_failure();
std::string default_registry_path();

}  // namespace volumar_tool
