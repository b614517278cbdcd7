// What stands between a command and a write: the refusal to write to a
// read-only volume, or to a mounted block device without --force, and the
// question before writing.
#pragma once
#include <string>

namespace volumar_tool {

// Raises a ToolError when the drive's volume is a block device (or an image
// behind a loop device) that is mounted, or holds a mounted partition,
// unless force is set.
void refuse_if_mounted(char letter, bool force);

// Asks "question [y/N]" on the terminal unless yes is set; without a
// terminal and without yes it refuses. A "no" ends the command (exit 1).
void confirm_write(const std::string& question, bool yes);

// Raises a ToolError when the volume is mapped read-only or its file or
// device cannot be opened for writing (a dry run writes nothing and passes).
void refuse_if_unwritable(char letter);

// The three, in that order; the command that passes them is then one
// change, put back whole if it fails part-way.
void guard_write(char letter, const std::string& question, bool yes, bool force);

// A write the volume did not take: read-only, or failed (the journal's
// closing line then names the call and the state the volume is in).
[[noreturn]] void fail_unwritten(char letter);

}  // namespace volumar_tool
