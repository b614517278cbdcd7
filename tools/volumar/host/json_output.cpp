#include "tools/volumar/host/json_output.h"

#include <CLI/CLI.hpp>

namespace volumar_tool {

void add_json_flag(CLI::App& command, bool& json) {
  command.add_flag("--json", json, "One JSON document on standard output, for scripts (see the manual for its shape)");
}

}  // namespace volumar_tool
