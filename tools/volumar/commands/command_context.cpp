#include <CLI/CLI.hpp>

#include <algorithm>

#include "tools/volumar/commands/commands.h"

namespace volumar_tool {

bool CommandContext::outline_only(const CLI::App& command) const {
  // The completion scripts walk every command's options.
  const auto named = [this](const std::string& name) { return std::ranges::find(words, name) != words.end(); };
  return !named(command.get_name()) && !named("completion");
}

}  // namespace volumar_tool
