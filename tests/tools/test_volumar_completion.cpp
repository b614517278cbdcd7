// The shell completion scripts the build makes from the command tree: bash
// completes commands, options and their values; zsh's script parses.
#include "tests/tools/volumar_transcript.h"

namespace tooltest {
namespace {

const std::string kCompletions = std::string(VOLUMAR_BINARY_DIR) + "/tools/completions/";

TEST(VolumarCompletion, BashCompletesCommandsOptionsAndTheirValues) {
  // The words typed so far, the last one where the cursor is.
  const std::string complete = ". " + kCompletions +
                               "volumar; offer() { COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _volumar; "
                               "echo \"${COMPREPLY[*]}\"; }";
  expect_transcript(R"(
$ offer volumar in
info
$ offer volumar ''
info dump find mark write fill cipher call drives assoc edit history undo boot demo
$ offer volumar --fa
--family
$ offer volumar --family ''
nt 9x
$ offer volumar --registry r.db assoc ''
reg-extension associate-extension associate-command export list query delete import
$ offer volumar -d C=x.img assoc q
query
$ offer volumar assoc export --
--help --key
$ offer volumar assoc RegExtension --h
--help
$ offer volumar dump x.img --sec
--section --sector
$ offer volumar dump x.img --section r
root
$ offer volumar cipher ''
encode decode
$ offer volumar find x.img ''
free bad
$ offer volumar comp

)",
                    complete);
}

TEST(VolumarCompletion, ZshScriptParses) {
  if (!fixtures::find_tool("zsh")) GTEST_SKIP() << "zsh is not installed";
  expect_transcript("$ zsh -n " + kCompletions + "_volumar\n");
}

}  // namespace
}  // namespace tooltest
