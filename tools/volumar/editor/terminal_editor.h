// The terminal sector editor (ncurses) over one sector editor object: the
// library's hex dump of the current sector with its row text, section,
// sector and cluster moves, jumps, searches, marks, and bytes edited in
// place and written after a confirmation. Message boxes are modal dialogs.
#pragma once

namespace volumar_tool {

// Runs until the user quits; returns the exit status.
int run_terminal_editor(char letter, bool force, bool raw);

}  // namespace volumar_tool
