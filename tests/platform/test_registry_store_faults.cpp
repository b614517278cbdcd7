// The registry store with each of its file writes and flushes failed in
// turn: a call that reports success stored everything, one that fails
// stored nothing.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <list>
#include <string>

#include "platform/registry/registry.h"
#include "platform/utf8.h"

using namespace win;

namespace {

// SQLite's own file system, with the nth write or flush failing. Each kind
// of file keeps its own methods, wrapped once.
struct FaultyVfs {
  struct Methods {
    sqlite3_io_methods ours;
    const sqlite3_io_methods* base;
  };
  static inline sqlite3_vfs vfs;
  static inline sqlite3_vfs* base = nullptr;
  static inline std::list<Methods> wrapped;
  static inline int nth = 0, calls = 0;

  static const sqlite3_io_methods* base_of(sqlite3_file* f) {
    for (const Methods& m : wrapped)
      if (&m.ours == f->pMethods) return m.base;
    return nullptr;
  }
  static bool fails() { return ++calls == nth; }
  static int write(sqlite3_file* f, const void* p, int n, sqlite3_int64 at) {
    return fails() ? SQLITE_IOERR_WRITE : base_of(f)->xWrite(f, p, n, at);
  }
  static int sync(sqlite3_file* f, int flags) { return fails() ? SQLITE_IOERR_FSYNC : base_of(f)->xSync(f, flags); }
  static int open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* out) {
    const int rc = base->xOpen(base, name, f, flags, out);
    if (rc != SQLITE_OK || !f->pMethods) return rc;
    auto m = std::find_if(wrapped.begin(), wrapped.end(), [&](const Methods& w) { return w.base == f->pMethods; });
    if (m == wrapped.end()) {
      m = wrapped.insert(wrapped.end(), {*f->pMethods, f->pMethods});
      m->ours.xWrite = write;
      m->ours.xSync = sync;
    }
    f->pMethods = &m->ours;
    return rc;
  }
  static void install() {
    base = sqlite3_vfs_find(nullptr);
    vfs = *base;
    vfs.zName = "faulty";
    vfs.xOpen = open;
    sqlite3_vfs_register(&vfs, 1);
  }
  static void remove() {
    sqlite3_vfs_register(base, 1);
    sqlite3_vfs_unregister(&vfs);
  }
};

std::u16string exported() {
  std::u16string text;
  registry_export("HKEY_CLASSES_ROOT", text);
  return text;
}

TEST(RegistryStoreFaults, AFailedWriteOrFlushStoresNothingAndSuccessStoresAll) {
  const auto dir = std::filesystem::temp_directory_path() / ("volumar-reg-faults-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto store = dir / "store.db";
  const std::u16string change = utf8_to_utf16(
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\.xyz]\r\n@=\"Xyz.Document\"\r\n\r\n"
      "[HKEY_CLASSES_ROOT\\Xyz.Document\\shell\\open\\command]\r\n@=\"app.exe %1\"\r\n");
  ASSERT_TRUE(registry_use_file(store));
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, ".old", &h), ERROR_SUCCESS);
  RegCloseKey(h);
  registry_use_memory();
  const auto original = dir / "original.db";
  std::filesystem::copy_file(store, original, std::filesystem::copy_options::overwrite_existing);
  ASSERT_TRUE(registry_use_file(store));
  const std::u16string before = exported();
  registry_use_memory();
  std::u16string after;
  int faulted = 0;
  for (int n = 1;; ++n) {
    std::filesystem::copy_file(original, store, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(store.string() + "-wal");
    std::filesystem::remove(store.string() + "-journal");
    FaultyVfs::install();
    FaultyVfs::nth = n;
    FaultyVfs::calls = 0;
    LONG result = ERROR_INVALID_FUNCTION;
    if (registry_use_file(store)) result = registry_import(change);
    registry_use_memory();
    const bool reached = FaultyVfs::calls >= n;
    FaultyVfs::remove();
    ASSERT_TRUE(registry_use_file(store)) << "the store opens again after fault " << n;
    const std::u16string now = exported();
    registry_use_memory();
    if (result == ERROR_SUCCESS) {
      if (after.empty()) after = now;
      EXPECT_EQ(now, after) << "fault " << n << ": success without the whole change";
    } else {
      EXPECT_EQ(now, before) << "fault " << n << ": failed with part of the change stored";
    }
    if (!reached) break;
    ++faulted;
  }
  std::printf("registry store faults: %d writes and flushes of one import failed in turn\n", faulted);
  EXPECT_GT(faulted, 2);
  EXPECT_NE(after, before);
  std::filesystem::remove_all(dir);
}

}  // namespace
