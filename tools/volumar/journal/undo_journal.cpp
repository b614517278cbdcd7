#include "tools/volumar/journal/undo_journal.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "tools/volumar/host/global_options.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/journal_vfs.h"

namespace volumar_tool {
namespace {

constexpr int kBusyTimeoutMs = 10000;

// Raised with every change to the schema below.
constexpr int kSchemaVersion = 1;
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS changes (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  volume_path TEXT NOT NULL,
  volume_base INTEGER NOT NULL,
  label TEXT NOT NULL,
  serial INTEGER NOT NULL,
  time TEXT NOT NULL,
  command TEXT NOT NULL,
  state TEXT NOT NULL,
  undoes INTEGER NOT NULL,
  pid INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS changes_by_volume ON changes (volume_path, volume_base);
CREATE INDEX IF NOT EXISTS changes_by_state ON changes (volume_path, volume_base, state);
CREATE TABLE IF NOT EXISTS blocks (
  change_id INTEGER NOT NULL REFERENCES changes(id),
  seq INTEGER NOT NULL,
  position INTEGER NOT NULL,
  before BLOB NOT NULL,
  after BLOB,
  PRIMARY KEY (change_id, seq));
)sql";

// One prepared statement, finalized however the scope ends.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) fail_store();
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int i, std::int64_t v) { return check(sqlite3_bind_int64(stmt_, i, v)); }
  Statement& bind(int i, const std::string& v) {
    return check(sqlite3_bind_text(stmt_, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
  }
  Statement& bind(int i, const std::vector<std::uint8_t>& v) {
    return check(sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
  }
  // True while there is a row.
  bool step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) fail_store();
    return false;
  }
  std::int64_t integer(int col) const { return sqlite3_column_int64(stmt_, col); }
  std::string text(int col) const {
    const auto* p = sqlite3_column_text(stmt_, col);
    return p ? reinterpret_cast<const char*>(p) : "";
  }
  std::optional<std::vector<std::uint8_t>> blob(int col) const {
    if (sqlite3_column_type(stmt_, col) == SQLITE_NULL) return std::nullopt;
    const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, col));
    return std::vector<std::uint8_t>(p, p + sqlite3_column_bytes(stmt_, col));
  }

 private:
  Statement& check(int rc) {
    if (rc != SQLITE_OK) fail_store();
    return *this;
  }
  [[noreturn]] void fail_store() const { fail(std::string("the undo journal: ") + sqlite3_errmsg(db_)); }
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

std::string utc_now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

constexpr const char* kChangeColumns =
    "SELECT id, volume_path, volume_base, label, serial, time, command, state, undoes, pid FROM changes ";

JournalChange change_of(const Statement& s) {
  JournalChange c;
  c.id = s.integer(0);
  c.volume = {s.text(1), static_cast<std::uint64_t>(s.integer(2))};
  c.label = s.text(3);
  c.serial = static_cast<std::uint32_t>(s.integer(4));
  c.time = s.text(5);
  c.command = s.text(6);
  c.state = s.text(7);
  c.undoes = s.integer(8);
  c.pid = s.integer(9);
  return c;
}

const std::string kInterrupted =
    std::string(kChangeColumns) +
    "WHERE volume_path = ? AND volume_base = ? AND state = 'open' AND pid != ? ORDER BY id";

std::vector<JournalChange> interrupted_in(sqlite3* db, const VolumeKey& volume, std::int64_t own_pid) {
  std::vector<JournalChange> out;
  Statement s(db, kInterrupted.c_str());
  s.bind(1, volume.path).bind(2, static_cast<std::int64_t>(volume.base)).bind(3, own_pid);
  while (s.step()) out.push_back(change_of(s));
  return out;
}

}  // namespace

UndoJournal::UndoJournal(const std::filesystem::path& path) : path_(path) {
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  if (ec) fail("cannot keep the undo journal in " + path.parent_path().string() + ": " + ec.message());
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, journal_vfs_name()) !=
      SQLITE_OK) {
    const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    fail("cannot open the undo journal " + path.string() + ": " + why);
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // Each command is a short process: folding the log into the store when it
  // closes would cost every write two more flushes, so the log stays and is
  // folded in as it grows. Every process that opens the store first reads
  // the whole log back, so it is folded in while still small.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  try {
    // Every record is on disk before the write it protects is made.
    exec("PRAGMA synchronous = FULL; PRAGMA wal_autocheckpoint = 64");
    // The store's version says it is set up already: every command opens
    // it, and the mode and schema statements cost more than its write.
    if (user_version() != kSchemaVersion) {
      exec("PRAGMA journal_mode = WAL");
      exec(kSchema);
      exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    }
  } catch (...) {
    // A file that is no store: the destructor will not run to close it.
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

UndoJournal::~UndoJournal() { sqlite3_close(db_); }

int UndoJournal::user_version() {
  int version = 0;
  exec(
      "PRAGMA user_version",
      [](void* out, int, char** values, char**) {
        *static_cast<int*>(out) = values[0] ? std::atoi(values[0]) : 0;
        return 0;
      },
      &version);
  return version;
}

void UndoJournal::exec(const char* sql, RowCallback row, void* data) {
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql, row, data, &message);
  // Changing the journal mode or the schema while another process opens
  // the store answers busy at once, without the busy timeout: wait a while.
  for (int waited = 0; (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && waited < kBusyTimeoutMs; waited += 10) {
    sqlite3_free(message);
    message = nullptr;
    sqlite3_sleep(10);
    rc = sqlite3_exec(db_, sql, row, data, &message);
  }
  if (rc != SQLITE_OK) {
    const std::string why = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    fail("cannot use the undo journal " + path_.string() + ": " + why);
  }
}

std::int64_t UndoJournal::begin_change(const VolumeKey& volume, const std::string& label, std::uint32_t serial,
                                       const std::string& command, std::int64_t undoes) {
  Statement s(db_,
              "INSERT INTO changes (volume_path, volume_base, label, serial, time, command, state, undoes, pid) "
              "VALUES (?, ?, ?, ?, ?, ?, 'open', ?, ?)");
  s.bind(1, volume.path).bind(2, static_cast<std::int64_t>(volume.base)).bind(3, label).bind(4, std::int64_t{serial});
  s.bind(5, utc_now()).bind(6, command).bind(7, undoes).bind(8, static_cast<std::int64_t>(::getpid()));
  s.step();
  return sqlite3_last_insert_rowid(db_);
}

void UndoJournal::add_block(std::int64_t change, std::uint64_t position, const std::vector<std::uint8_t>& before) {
  Statement s(db_,
              "INSERT INTO blocks (change_id, seq, position, before) "
              "VALUES (?1, (SELECT COUNT(*) FROM blocks WHERE change_id = ?1), ?2, ?3)");
  s.bind(1, change).bind(2, static_cast<std::int64_t>(position)).bind(3, before);
  s.step();
}

void UndoJournal::in_transaction(const std::function<void()>& body) {
  exec("BEGIN IMMEDIATE");
  try {
    body();
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  exec("COMMIT");
}

void UndoJournal::complete_change(std::int64_t change, const std::vector<std::vector<std::uint8_t>>& after) {
  // The bytes are on the volume already: a power cut that loses this record
  // leaves the change looking interrupted, which undo restores all the
  // same. So it is not flushed on its own; the next durable record is.
  exec("PRAGMA synchronous = NORMAL");
  try {
    in_transaction([&] {
      for (std::size_t seq = 0; seq < after.size(); ++seq) {
        Statement s(db_, "UPDATE blocks SET after = ? WHERE change_id = ? AND seq = ?");
        s.bind(1, after[seq]).bind(2, change).bind(3, static_cast<std::int64_t>(seq));
        s.step();
      }
      Statement s(db_, "UPDATE changes SET state = 'complete' WHERE id = ?");
      s.bind(1, change);
      s.step();
    });
  } catch (...) {
    sqlite3_exec(db_, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    throw;
  }
  exec("PRAGMA synchronous = FULL");
}

void UndoJournal::mark_undone(std::int64_t change) {
  Statement s(db_, "UPDATE changes SET state = 'undone' WHERE id = ?");
  s.bind(1, change);
  s.step();
}

std::optional<JournalChange> UndoJournal::change(std::int64_t id) {
  std::optional<JournalChange> c;
  {
    Statement s(db_, (std::string(kChangeColumns) + "WHERE id = ?").c_str());
    s.bind(1, id);
    if (s.step()) c = change_of(s);
  }
  if (!c) return c;
  Statement b(db_, "SELECT position, before, after FROM blocks WHERE change_id = ? ORDER BY seq");
  b.bind(1, id);
  while (b.step()) c->blocks.push_back({static_cast<std::uint64_t>(b.integer(0)), *b.blob(1), b.blob(2)});
  return c;
}

std::vector<JournalChange> UndoJournal::changes(const VolumeKey& volume) {
  std::vector<std::int64_t> ids;
  {
    Statement s(db_, "SELECT id FROM changes WHERE volume_path = ? AND volume_base = ? ORDER BY id");
    s.bind(1, volume.path).bind(2, static_cast<std::int64_t>(volume.base));
    while (s.step()) ids.push_back(s.integer(0));
  }
  std::vector<JournalChange> out;
  for (std::int64_t id : ids) out.push_back(*change(id));
  return out;
}

std::vector<JournalChange> interrupted_changes(const std::filesystem::path& path, const VolumeKey& volume,
                                               std::int64_t own_pid) {
  // Read-only and without setting the store up: a reader neither writes
  // the store nor, as the last connection to close, checkpoints it.
  sqlite3* db = nullptr;
  const bool opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> guard(db, sqlite3_close);
  if (!opened)
    fail("cannot read the undo journal " + path.string() + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_stmt* probe = nullptr;
  const int rc = sqlite3_prepare_v2(db, kInterrupted.c_str(), -1, &probe, nullptr);
  sqlite3_finalize(probe);
  if (rc == SQLITE_ERROR) return {};  // a store no change was ever kept in has no tables yet
  return interrupted_in(db, volume, own_pid);
}

std::vector<JournalChange> UndoJournal::interrupted_changes(const VolumeKey& volume, std::int64_t own_pid) {
  return interrupted_in(db_, volume, own_pid);
}

std::string default_journal_path() {
  return (std::filesystem::path(default_registry_path()).parent_path() / "journal.db").string();
}

}  // namespace volumar_tool
