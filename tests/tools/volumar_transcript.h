// Transcripts of volumar sessions, written as a user would read them:
//   $ command      a bash line, run in a scratch folder kept for the whole
//                  transcript; `volumar` is the program under test
//   text           a line the command prints on standard output
//   ! text         a line it prints on standard error
//   ? N            its exit status, when not 0
#pragma once
#include "tests/tools/volumar_runner.h"

namespace tooltest {

// `prelude` runs before each command (shell functions, variables).
inline void expect_transcript(const std::string& transcript, const std::string& prelude = "") {
  struct Entry {
    std::string command, out, err;
    int status = 0;
  };
  std::vector<Entry> entries;
  for (const std::string& line : lines(transcript)) {
    if (line.starts_with("$ ")) entries.push_back({line.substr(2), "", "", 0});
    if (entries.empty() || line.starts_with("$ ")) continue;
    if (line.starts_with("! "))
      entries.back().err += line.substr(2) + "\n";
    else if (line.starts_with("? "))
      entries.back().status = std::stoi(line.substr(2));
    else
      entries.back().out += line + "\n";
  }
  ASSERT_FALSE(entries.empty()) << "a transcript without commands";
  fixtures::TempDir dir("volumar-transcript");
  for (const Entry& e : entries) {
    const auto run = fixtures::run_tool(
        {"bash", "-c", "cd \"$1\" || exit 99; volumar() { \"$0\" \"$@\"; }\n" + prelude + "\n" + e.command,
         volumar_path(), dir.path().string()});
    EXPECT_EQ(run.out, e.out) << "$ " << e.command;
    EXPECT_EQ(run.err, e.err) << "$ " << e.command;
    EXPECT_EQ(run.exit_code, e.status) << "$ " << e.command;
  }
}

}  // namespace tooltest
