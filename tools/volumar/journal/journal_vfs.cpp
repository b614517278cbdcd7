#include "tools/volumar/journal/journal_vfs.h"

#include <sqlite3.h>

namespace volumar_tool {
namespace {

sqlite3_vfs* g_base = nullptr;
sqlite3_vfs g_vfs;

int open_file(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out_flags) {
  if (name && (flags & SQLITE_OPEN_WAL) && (flags & SQLITE_OPEN_CREATE)) {
    int exists = 0;
    if (g_base->xAccess(g_base, name, SQLITE_ACCESS_EXISTS, &exists) == SQLITE_OK && exists &&
        g_base->xOpen(g_base, name, file, flags & ~SQLITE_OPEN_CREATE, out_flags) == SQLITE_OK)
      return SQLITE_OK;
  }
  return g_base->xOpen(g_base, name, file, flags, out_flags);
}

}  // namespace

const char* journal_vfs_name() {
  static const bool registered = [] {
    g_base = sqlite3_vfs_find(nullptr);
    if (!g_base) return false;
    // Every other method is the default's, with the default's own data.
    g_vfs = *g_base;
    g_vfs.zName = "volumar-journal";
    g_vfs.pNext = nullptr;
    g_vfs.xOpen = open_file;
    return sqlite3_vfs_register(&g_vfs, 0) == SQLITE_OK;
  }();
  return registered ? g_vfs.zName : nullptr;
}

}  // namespace volumar_tool
