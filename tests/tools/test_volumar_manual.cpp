// The manual page and --help describe the same program: every command and
// every option that --help lists has its place in the manual.
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/tools/volumar_runner.h"

namespace tooltest {
namespace {

// The names a --help text lists: its subcommands and its options.
struct HelpNames {
  std::vector<std::string> commands, options;
};

HelpNames help_names(const std::string& help) {
  HelpNames out;
  bool in_commands = false;
  for (const std::string& line : lines(help)) {
    if (line == "Subcommands:") in_commands = true;
    if (line.empty() || line.starts_with("Global options")) in_commands = false;
    // A listed entry starts two spaces in; its description stands further right.
    if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
    const std::string head = line.substr(2, line.find("  ", 2) - 2);
    if (in_commands) {
      out.commands.push_back(head.substr(0, head.find(',')));
      continue;
    }
    // "-C,--canonical TYPE": the names before the first space.
    std::stringstream names(head.substr(0, head.find(' ')));
    for (std::string name; std::getline(names, name, ',');)
      if (name.starts_with("-") && name != "-h" && name != "--help") out.options.push_back(name);
  }
  return out;
}

TEST(VolumarManual, EveryCommandAndOptionOfTheHelpIsInTheManual) {
  std::ifstream file(std::string(VOLUMAR_SOURCE_DIR) + "/tools/volumar.1");
  std::stringstream source;
  source << file.rdbuf();
  // The roff as a reader sees the names: "\-\-json" is "--json", fonts dropped.
  const std::string manual =
      std::regex_replace(std::regex_replace(source.str(), std::regex(R"(\\f[BIRP])"), ""), std::regex(R"(\\-)"), "-");
  std::vector<std::vector<std::string>> todo{{}};
  int checked = 0;
  while (!todo.empty()) {
    const std::vector<std::string> path = todo.back();
    todo.pop_back();
    std::vector<std::string> args = path;
    args.push_back("--help");
    const auto help = volumar(args);
    ASSERT_EQ(help.exit_code, 0) << help.describe();
    const HelpNames names = help_names(help.out);
    std::string where = "volumar", prefix;
    for (const auto& p : path) {
      where += " " + p;
      prefix += p + " ";
    }
    // Each command has an entry: a line that starts with its name.
    for (const std::string& command : names.commands) {
      const std::string text = "\n" + manual;
      EXPECT_TRUE(text.find("\n" + prefix + command) != std::string::npos ||
                  (!path.empty() && text.find("\n" + command) != std::string::npos))
          << where << " " << command << ": no entry in the manual";
      auto sub = path;
      sub.push_back(command);
      todo.push_back(sub);
      ++checked;
    }
    for (const std::string& option : names.options) {
      EXPECT_NE(manual.find(option), std::string::npos) << where << " " << option << ": not in the manual";
      ++checked;
    }
  }
  EXPECT_GT(checked, 60);
}

}  // namespace
}  // namespace tooltest
