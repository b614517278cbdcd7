// The undo journal: before a byte of a volume is overwritten, the bytes it
// replaces are stored durably, grouped into one change per command and
// volume, so that every write can be listed, undone, and found incomplete
// after a crash. It lives in an SQLite store beside the registry's, never on
// the volume being edited.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace volumar_tool {

// A volume as the journal knows it: the image or device (its resolved
// path) and where the volume starts in it.
struct VolumeKey {
  std::string path;
  std::uint64_t base = 0;
  bool operator==(const VolumeKey&) const = default;
};

struct JournalBlock {
  std::uint64_t position = 0;  // within the volume
  std::vector<std::uint8_t> before;
  std::optional<std::vector<std::uint8_t>> after;  // once the change completed
};

struct JournalChange {
  std::int64_t id = 0;
  VolumeKey volume;
  std::string label;
  std::uint32_t serial = 0;
  std::string time;  // UTC, ISO 8601
  std::string command;
  std::string state;        // "open" (interrupted when not this process's), "complete", "undone"
  std::int64_t undoes = 0;  // the change this one undid, 0 for none
  std::int64_t pid = 0;
  std::vector<JournalBlock> blocks;
};

class UndoJournal {
 public:
  // Opens the store, creating it and its folder. Throws a ToolError that
  // says why when it cannot.
  explicit UndoJournal(const std::filesystem::path& path);
  ~UndoJournal();
  UndoJournal(const UndoJournal&) = delete;
  UndoJournal& operator=(const UndoJournal&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // A new open change; its blocks follow with add_block. Each call is
  // durable when it returns.
  std::int64_t begin_change(const VolumeKey& volume, const std::string& label, std::uint32_t serial,
                            const std::string& command, std::int64_t undoes);
  void add_block(std::int64_t change, std::uint64_t position, const std::vector<std::uint8_t>& before);
  // Records what the blocks hold now and closes the change.
  void complete_change(std::int64_t change, const std::vector<std::vector<std::uint8_t>>& after);
  void mark_undone(std::int64_t change);
  // Runs body as one transaction: its records are durable together, with
  // one flush, or not at all.
  void in_transaction(const std::function<void()>& body);

  // The volume's changes, oldest first, blocks included.
  std::vector<JournalChange> changes(const VolumeKey& volume);
  std::optional<JournalChange> change(std::int64_t id);
  // The volume's open changes that a process other than own_pid left.
  std::vector<JournalChange> interrupted_changes(const VolumeKey& volume, std::int64_t own_pid);

 private:
  using RowCallback = int (*)(void* data, int columns, char** values, char** names);
  void exec(const char* sql, RowCallback row = nullptr, void* data = nullptr);
  int user_version();
  std::filesystem::path path_;
  sqlite3* db_ = nullptr;
};

// The same, read without opening the store for writing. Throws a ToolError that says why
// when the store cannot be read.
std::vector<JournalChange> interrupted_changes(const std::filesystem::path& path, const VolumeKey& volume,
                                               std::int64_t own_pid);

// The journal's default file: beside the registry store in the user's data
// folder.
std::string default_journal_path();

}  // namespace volumar_tool
