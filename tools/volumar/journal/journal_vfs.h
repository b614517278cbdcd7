// The file system the undo journal opens its store through: SQLite's own,
// except that a write-ahead log that is already there is opened without
// being created. SQLite flushes the folder of a log it opens for creation
// at the first commit, which would cost every journalled write one more
// flush; a log that is already there reached its folder with the commit
// of the process that made it.
#pragma once

namespace volumar_tool {

// The name to pass to sqlite3_open_v2; registered on first use. nullptr
// (SQLite's default) if it could not be registered.
const char* journal_vfs_name();

}  // namespace volumar_tool
