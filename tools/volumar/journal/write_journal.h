// volumar's promise that every write can be undone: every write that is
// about to reach a volume (from any command, the terminal editor or the
// script host) first has the bytes it replaces stored in the undo journal;
// a write whose bytes cannot be stored is refused before a byte changes.
#pragma once
#include <optional>
#include <string>

#include "tools/volumar/journal/undo_journal.h"

namespace volumar_tool {

struct JournalSettings {
  bool enabled = true;
  std::string path;      // empty: the default file
  std::string command;   // the command line, as the history shows it
  int crash_after = -1;  // testing: end the process before this many writes
  bool dry_run = false;  // show each write's changes and make none
  std::int64_t undoes = 0;
  bool verbose = false;  // say which change each volume's writes were kept as
};

// Watches the platform's volume writes from now on. The store is opened at
// the first write (or by require_journal), so reading never creates it.
void start_write_journal(const JournalSettings& settings);

// Opens the store now, so that a command about to write fails before it
// starts when the journal cannot be kept. Does nothing without a journal.
void require_journal();

// The journal, when there is one to use; nullopt under --no-journal.
UndoJournal* journal();

// Whether writes are only shown.
bool dry_run();

// The command is one change that must happen whole: if it fails after
// some of its writes reached a volume, they are put back.
void roll_back_on_failure();

// Closes this process's changes: records what their blocks hold now, or,
// when the command failed and rolls back, puts their bytes back and says
// on standard error what state each volume is left in.
void finish_write_journal(bool failed = false);

// Why the journal refused a write, once one was refused.
std::optional<std::string> journal_refusal();

// The journal key of a mapped drive letter.
VolumeKey volume_key(char letter);

// Warns on standard error about changes to the drive's volume that an
// earlier process began and never finished. Reads the store only if it
// already exists.
void warn_about_interrupted_changes(char letter);

// The change the next writes belong to undoes this one.
void set_undoing(std::int64_t change);

}  // namespace volumar_tool
