// The registry kept in a SQLite file: each transaction is atomic and durable
// (write-ahead log, full sync), and writers from several processes queue on
// the file's write lock rather than fail.
#include <sqlite3.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/registry/registry_internal.h"

namespace win::registry {
namespace {

constexpr int kApplicationId = 0x566F6C52;  // "VolR"
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 30000;

DWORD status_of(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return ERROR_REGISTRY_CORRUPT;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_REGISTRY_IO_FAILED;
  }
}

[[noreturn]] void fail(int rc) { throw StoreFailure{status_of(rc)}; }

// Names are kept as UTF-16LE bytes (lossless), their folds as UTF-16BE bytes,
// whose byte order is the order of the code units: the memory store's order.
std::vector<BYTE> fold_bytes(std::u16string_view s) {
  auto folded = fold_name(s);
  std::vector<BYTE> out(folded.size() * 2);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    out[2 * i] = static_cast<BYTE>(folded[i] >> 8);
    out[2 * i + 1] = static_cast<BYTE>(folded[i] & 0xFF);
  }
  return out;
}

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    int rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK) fail(rc);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Binds in order, starting at parameter 1.
  template <typename... Args>
  Statement& bind(const Args&... args) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    int i = 0;
    (bind_one(++i, args), ...);
    (void)i;
    return *this;
  }

  // True while there is a row.
  bool step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) {
      sqlite3_reset(stmt_);
      return false;
    }
    sqlite3_reset(stmt_);
    fail(rc);
  }

  void run() {
    while (step()) {
    }
  }

  std::int64_t integer(int col) { return sqlite3_column_int64(stmt_, col); }

  std::vector<BYTE> blob(int col) {
    auto* p = static_cast<const BYTE*>(sqlite3_column_blob(stmt_, col));
    int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::vector<BYTE>(p, p + n) : std::vector<BYTE>{};
  }

  std::u16string name(int col) { return utf16le_text(blob(col)); }

  void finish() { sqlite3_reset(stmt_); }

 private:
  void bind_one(int i, std::int64_t v) { check(sqlite3_bind_int64(stmt_, i, v)); }
  void bind_one(int i, const std::vector<BYTE>& v) {
    static const BYTE empty = 0;
    check(sqlite3_bind_blob(stmt_, i, v.empty() ? &empty : v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
  }
  void check(int rc) {
    if (rc != SQLITE_OK) fail(rc);
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// Runs a statement that may meet another process's lock, waiting up to the
// busy timeout on top of the busy handler's own wait.
int exec_waiting(sqlite3* db, const char* sql) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  for (;;) {
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if ((rc & 0xFF) != SQLITE_BUSY && (rc & 0xFF) != SQLITE_LOCKED) return rc;
    if (std::chrono::steady_clock::now() > deadline) return rc;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

int pragma_int(sqlite3* db, const char* sql) {
  Statement s(db, sql);
  s.bind();
  int v = s.step() ? static_cast<int>(s.integer(0)) : 0;
  s.finish();
  return v;
}

class FileStore final : public Store {
 public:
  explicit FileStore(sqlite3* db)
      : connection_{db},
        db_(db),
        key_exists_(db, "SELECT 1 FROM reg_keys WHERE id = ?"),
        find_subkey_(db, "SELECT id FROM reg_keys WHERE parent = ? AND fold = ?"),
        add_subkey_(db, "INSERT INTO reg_keys(parent, name, fold, written) VALUES (?, ?, ?, ?)"),
        subkey_at_(db, "SELECT id, name FROM reg_keys WHERE parent = ? ORDER BY fold LIMIT 1 OFFSET ?"),
        subkeys_(db, "SELECT id, name FROM reg_keys WHERE parent = ? ORDER BY fold"),
        has_subkeys_(db, "SELECT 1 FROM reg_keys WHERE parent = ? LIMIT 1"),
        parent_of_(db, "SELECT parent FROM reg_keys WHERE id = ?"),
        remove_tree_values_(db,
                            "WITH RECURSIVE t(id) AS (SELECT ? UNION ALL SELECT k.id FROM reg_keys k "
                            "JOIN t ON k.parent = t.id) DELETE FROM reg_values WHERE key IN (SELECT id FROM t)"),
        remove_tree_keys_(db,
                          "WITH RECURSIVE t(id) AS (SELECT ? UNION ALL SELECT k.id FROM reg_keys k "
                          "JOIN t ON k.parent = t.id) DELETE FROM reg_keys WHERE id IN (SELECT id FROM t)"),
        last_write_(db, "SELECT written FROM reg_keys WHERE id = ?"),
        touch_(db, "UPDATE reg_keys SET written = ? WHERE id = ?"),
        value_(db, "SELECT name, type, data FROM reg_values WHERE key = ? AND fold = ?"),
        value_at_(db, "SELECT name, type, data FROM reg_values WHERE key = ? ORDER BY id LIMIT 1 OFFSET ?"),
        values_(db, "SELECT name, type, data FROM reg_values WHERE key = ? ORDER BY id"),
        update_value_(db, "UPDATE reg_values SET type = ?, data = ? WHERE key = ? AND fold = ?"),
        insert_value_(db, "INSERT INTO reg_values(key, name, fold, type, data) VALUES (?, ?, ?, ?, ?)"),
        remove_value_(db, "DELETE FROM reg_values WHERE key = ? AND fold = ?") {}

  LONG transact(bool write, const std::function<LONG()>& body) override {
    std::lock_guard lock(mutex_);
    int rc = exec_waiting(db_, write ? "BEGIN IMMEDIATE" : "BEGIN");
    if (rc != SQLITE_OK) return medium_failed(status_of(rc));
    LONG status;
    try {
      status = body();
    } catch (const StoreFailure& f) {
      status = medium_failed(f.status);
    } catch (...) {
      status = medium_failed(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (status != static_cast<LONG>(ERROR_SUCCESS)) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      return status;
    }
    rc = exec_waiting(db_, "COMMIT");
    if (rc != SQLITE_OK) {
      status = medium_failed(status_of(rc));
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return status;
  }

  bool key_exists(KeyId key) override {
    bool found = key_exists_.bind(key).step();
    key_exists_.finish();
    return found;
  }

  std::optional<KeyId> find_subkey(KeyId parent, std::u16string_view name) override {
    std::optional<KeyId> id;
    if (find_subkey_.bind(parent, fold_bytes(name)).step()) id = find_subkey_.integer(0);
    find_subkey_.finish();
    return id;
  }

  KeyId add_subkey(KeyId parent, std::u16string_view name, std::int64_t now) override {
    add_subkey_.bind(parent, utf16le_bytes(name), fold_bytes(name), now).run();
    KeyId id = sqlite3_last_insert_rowid(db_);
    touch(parent, now);
    return id;
  }

  std::optional<SubKey> subkey_at(KeyId parent, std::size_t index) override {
    std::optional<SubKey> out;
    if (subkey_at_.bind(parent, static_cast<std::int64_t>(index)).step())
      out = SubKey{subkey_at_.integer(0), subkey_at_.name(1)};
    subkey_at_.finish();
    return out;
  }

  std::vector<SubKey> subkeys(KeyId parent) override {
    std::vector<SubKey> out;
    subkeys_.bind(parent);
    while (subkeys_.step()) out.push_back({subkeys_.integer(0), subkeys_.name(1)});
    return out;
  }

  bool has_subkeys(KeyId key) override {
    bool any = has_subkeys_.bind(key).step();
    has_subkeys_.finish();
    return any;
  }

  KeyId parent_of(KeyId key) override {
    KeyId parent = 0;
    if (parent_of_.bind(key).step()) parent = parent_of_.integer(0);  // NULL reads as 0
    parent_of_.finish();
    return parent;
  }

  void remove_tree(KeyId key) override {
    remove_tree_values_.bind(key).run();
    remove_tree_keys_.bind(key).run();
  }

  std::int64_t last_write(KeyId key) override {
    std::int64_t t = 0;
    if (last_write_.bind(key).step()) t = last_write_.integer(0);
    last_write_.finish();
    return t;
  }

  void touch(KeyId key, std::int64_t now) override { touch_.bind(now, key).run(); }

  std::optional<Value> value(KeyId key, std::u16string_view name) override {
    std::optional<Value> out;
    if (value_.bind(key, fold_bytes(name)).step()) out = row_value(value_);
    value_.finish();
    return out;
  }

  std::optional<Value> value_at(KeyId key, std::size_t index) override {
    std::optional<Value> out;
    if (value_at_.bind(key, static_cast<std::int64_t>(index)).step()) out = row_value(value_at_);
    value_at_.finish();
    return out;
  }

  std::vector<Value> values(KeyId key) override {
    std::vector<Value> out;
    values_.bind(key);
    while (values_.step()) out.push_back(row_value(values_));
    return out;
  }

  void put_value(KeyId key, const Value& v) override {
    auto fold = fold_bytes(v.name);
    update_value_.bind(static_cast<std::int64_t>(v.type), v.data, key, fold).run();
    if (sqlite3_changes(db_) == 0)
      insert_value_.bind(key, utf16le_bytes(v.name), fold, static_cast<std::int64_t>(v.type), v.data).run();
  }

  bool remove_value(KeyId key, std::u16string_view name) override {
    remove_value_.bind(key, fold_bytes(name)).run();
    return sqlite3_changes(db_) > 0;
  }

 private:
  // Before the rollback, which would clear SQLite's message.
  LONG medium_failed(DWORD status) {
    note_store_failure(status, sqlite3_errmsg(db_));
    return static_cast<LONG>(status);
  }

  static Value row_value(Statement& s) { return Value{s.name(0), static_cast<DWORD>(s.integer(1)), s.blob(2)}; }

  // Declared first so that it is closed last, after every statement.
  struct Connection {
    sqlite3* db;
    ~Connection() { sqlite3_close_v2(db); }
  } connection_;
  sqlite3* db_;
  std::mutex mutex_;
  Statement key_exists_, find_subkey_, add_subkey_, subkey_at_, subkeys_, has_subkeys_, parent_of_, remove_tree_values_,
      remove_tree_keys_, last_write_, touch_, value_, value_at_, values_, update_value_, insert_value_, remove_value_;
};

const char* const kSchema = R"sql(
CREATE TABLE reg_keys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER,
  name BLOB NOT NULL,
  fold BLOB NOT NULL,
  written INTEGER NOT NULL);
CREATE UNIQUE INDEX reg_keys_by_name ON reg_keys(parent, fold);
CREATE TABLE reg_values(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  key INTEGER NOT NULL,
  name BLOB NOT NULL,
  fold BLOB NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL);
CREATE UNIQUE INDEX reg_values_by_name ON reg_values(key, fold);
INSERT INTO reg_keys(id, parent, name, fold, written) VALUES
  (1, NULL, x'', x'', 0), (2, NULL, x'', x'', 0), (3, NULL, x'', x'', 0);
)sql";

// Creates the schema in a new file, or checks that an existing one is ours.
bool prepare_schema(sqlite3* db) {
  if (exec_waiting(db, "BEGIN IMMEDIATE") != SQLITE_OK) return false;
  bool ok = false;
  try {
    int app = pragma_int(db, "PRAGMA application_id");
    int version = pragma_int(db, "PRAGMA user_version");
    int tables = pragma_int(db, "SELECT count(*) FROM sqlite_master");
    if (app == 0 && version == 0 && tables == 0) {
      std::string sql = std::string(kSchema) + "PRAGMA application_id = " + std::to_string(kApplicationId) +
                        "; PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";";
      ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    } else {
      ok = app == kApplicationId && version == kSchemaVersion;
    }
  } catch (const StoreFailure&) {
    ok = false;
  }
  if (ok && exec_waiting(db, "COMMIT") == SQLITE_OK) return true;
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  return false;
}

}  // namespace

std::unique_ptr<Store> open_file_store(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  int rc =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  bool ok = exec_waiting(db, "PRAGMA journal_mode = WAL") == SQLITE_OK &&
            sqlite3_exec(db, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr) == SQLITE_OK && prepare_schema(db);
  if (!ok) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  try {
    return std::make_unique<FileStore>(db);
  } catch (const StoreFailure&) {
    return nullptr;  // the half-built store has closed the connection
  }
}

}  // namespace win::registry
