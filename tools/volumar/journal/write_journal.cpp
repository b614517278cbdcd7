#include "tools/volumar/journal/write_journal.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include "format/boot_sector.h"
#include "format/padded_text.h"
#include "platform/drive_map.h"
#include "platform/error_codes.h"
#include "platform/failed_call.h"
#include "platform/format_message.h"
#include "platform/volume_write_observer.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/journal_sectors.h"

namespace volumar_tool {
namespace {

struct OpenChange {
  std::int64_t id = 0;
  std::vector<std::pair<std::uint64_t, std::size_t>> blocks;  // position, length
};

struct State {
  JournalSettings settings;
  std::unique_ptr<UndoJournal> journal;
  std::map<std::pair<std::string, std::uint64_t>, OpenChange> changes;
  std::optional<std::string> refusal;
  int writes = 0;
  bool roll_back = false;
  std::uint64_t failures_before = 0;  // platform calls that had failed when the command began writing
};

State& state() {
  static State s;
  return s;
}

std::string canonical_path(const std::string& path) {
  std::error_code ec;
  const auto p = std::filesystem::canonical(path, ec);
  return ec ? path : p.string();
}

std::filesystem::path store_path() {
  const State& s = state();
  return s.settings.path.empty() ? default_journal_path() : s.settings.path;
}

OpenChange& change_for(const VolumeKey& key) {
  State& s = state();
  auto [it, fresh] = s.changes.try_emplace({key.path, key.base});
  if (fresh) {
    const auto boot = ondisk::decode_boot_sector(volume_bytes(key, 0, ondisk::boot::kRecordSize));
    const std::string label = boot.has_label_and_type() ? ondisk::without_padding(boot.label) : "";
    try {
      it->second.id = s.journal->begin_change(key, label, boot.has_serial() ? boot.serial : 0, s.settings.command,
                                              s.settings.undoes);
    } catch (...) {
      s.changes.erase(it);
      throw;
    }
  }
  return it->second;
}

// "sector 1, bytes 7-8 (2 of 512 change): 00 00 -> F7 FF"
void show_dry_run(const win::VolumeWrite& w) {
  const VolumeKey key{canonical_path(w.host_path), w.base};
  const std::uint64_t bps = journal_sector_size(key);
  std::size_t first = w.before.size(), last = 0, changed = 0;
  for (std::size_t i = 0; i < w.before.size(); ++i)
    if (w.before[i] != w.after[i]) {
      first = std::min(first, i);
      last = i;
      ++changed;
    }
  if (changed == 0) {
    std::printf("dry run: sector %llu: no byte changes\n", static_cast<unsigned long long>(w.position / bps));
    return;
  }
  auto hex = [&](std::span<const std::uint8_t> bytes) {
    std::string out;
    char b[4];
    for (std::size_t i = first; i <= last && i < first + 16; ++i) {
      std::snprintf(b, sizeof b, "%02X ", bytes[i]);
      out += b;
    }
    if (last >= first + 16) out += "... ";
    return out;
  };
  const std::uint64_t from = w.position + first, to = w.position + last;
  std::string where = "sector " + std::to_string(from / bps) + ", bytes " + std::to_string(from % bps) + "-";
  where += to / bps == from / bps ? std::to_string(to % bps)
                                  : std::to_string(bps - 1) + " and on to byte " + std::to_string(to % bps) +
                                        " of sector " + std::to_string(to / bps);
  std::printf("dry run: %s (%zu of %zu bytes change): %s-> %s\n", where.c_str(), changed, w.before.size(),
              hex(w.before).c_str(), hex(w.after).c_str());
}

win::DWORD before_write(const win::VolumeWrite& w) {
  State& s = state();
  if (s.settings.dry_run) {
    show_dry_run(w);
    return win::VOLUME_WRITE_SKIPPED;
  }
  if (s.settings.crash_after >= 0 && s.writes >= s.settings.crash_after) std::_Exit(137);
  if (!s.settings.enabled) {
    ++s.writes;
    return win::ERROR_SUCCESS;
  }
  try {
    require_journal();
    const VolumeKey key{canonical_path(w.host_path), w.base};
    const bool fresh = !s.changes.count({key.path, key.base});
    try {
      // A new change and its first block are flushed once, together.
      s.journal->in_transaction([&] {
        OpenChange& change = change_for(key);
        s.journal->add_block(change.id, w.position, {w.before.begin(), w.before.end()});
        change.blocks.emplace_back(w.position, w.before.size());
      });
    } catch (...) {
      if (fresh) s.changes.erase({key.path, key.base});
      throw;
    }
  } catch (const ToolError& e) {
    if (!s.refusal) s.refusal = e.what();
    return win::ERROR_WRITE_FAULT;
  }
  ++s.writes;
  return win::ERROR_SUCCESS;
}

}  // namespace

void start_write_journal(const JournalSettings& settings) {
  state().settings = settings;
  if (settings.enabled || settings.crash_after >= 0 || settings.dry_run) win::set_volume_write_observer(before_write);
}

bool dry_run() { return state().settings.dry_run; }

void require_journal() {
  if (!state().settings.dry_run) journal();
}

UndoJournal* journal() {
  State& s = state();
  if (s.settings.enabled && !s.journal) s.journal = std::make_unique<UndoJournal>(store_path());
  return s.journal.get();
}

void roll_back_on_failure() {
  state().roll_back = true;
  state().failures_before = win::last_failed_call().serial;
}

namespace {

// "WriteFile failed: <the system's text> (error 1117); ", when a platform
// call failed after the command began writing.
std::string failed_call_text() {
  const win::FailedCall call = win::last_failed_call();
  if (call.serial <= state().failures_before) return {};
  std::string out = call.name + " failed: ";
  const char* text = win::system_message_text(call.error);
  out += text ? text : "unknown error";
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
  out += " (error " + std::to_string(call.error) + "); ";
  return out;
}

// Puts a failed command's blocks back, last written first; false when the
// volume could not be restored.
bool roll_back(const VolumeKey& key, std::int64_t id) {
  State& s = state();
  const std::optional<JournalChange> change = s.journal->change(id);
  if (!change) return false;
  for (auto b = change->blocks.rbegin(); b != change->blocks.rend(); ++b)
    if (!put_volume_bytes(key, b->position, b->before)) return false;
  s.journal->mark_undone(id);
  return true;
}

}  // namespace

void finish_write_journal(bool failed) {
  State& s = state();
  win::set_volume_write_observer(nullptr);
  const bool rolling_back = failed && s.roll_back;
  if (rolling_back && s.changes.empty() && !s.settings.dry_run) {
    std::fflush(stdout);
    std::fprintf(stderr, "volumar: %snothing was written\n", failed_call_text().c_str());
  }
  for (auto& [volume, change] : s.changes) {
    const VolumeKey key{volume.first, volume.second};
    if (rolling_back) {
      std::fflush(stdout);
      const std::string why = failed_call_text(), which = "change " + std::to_string(change.id);
      bool restored = false;
      try {
        restored = roll_back(key, change.id);
      } catch (const ToolError&) {
      }
      if (restored)
        std::fprintf(stderr, "volumar: %s%s is unchanged: what this command wrote was put back from the journal (%s)\n",
                     why.c_str(), key.path.c_str(), which.c_str());
      else
        std::fprintf(stderr, "volumar: %s%s is left part-written: `volumar undo` restores it (%s)\n", why.c_str(),
                     key.path.c_str(), which.c_str());
      continue;
    }
    std::vector<std::vector<std::uint8_t>> after;
    for (const auto& [position, length] : change.blocks) after.push_back(volume_bytes(key, position, length));
    try {
      s.journal->complete_change(change.id, after);
      if (s.settings.verbose)
        std::fprintf(stderr, "volumar: %s: kept as change %lld in the journal (volumar undo takes it back)\n",
                     key.path.c_str(), static_cast<long long>(change.id));
    } catch (const ToolError& e) {
      std::fflush(stdout);
      std::fprintf(stderr, "volumar: warning: change %lld stays marked unfinished: %s\n",
                   static_cast<long long>(change.id), e.what());
    }
  }
  s.changes.clear();
}

std::optional<std::string> journal_refusal() { return state().refusal; }

VolumeKey volume_key(char letter) {
  const auto mapping = win::DriveMap::find(letter);
  if (!mapping || mapping->path.empty()) return {};
  return {canonical_path(mapping->path), mapping->offset.value_or(0)};
}

void warn_about_interrupted_changes(char letter) {
  State& s = state();
  if (!s.settings.enabled) return;
  std::error_code ec;
  if (!s.journal && !std::filesystem::exists(store_path(), ec)) return;
  const VolumeKey key = volume_key(letter);
  if (key.path.empty()) return;
  // Warnings follow what stdout holds so far, also when both go to one file.
  std::fflush(stdout);
  try {
    // A writer has the store open already; a reader leaves it as it is.
    const auto changes = s.journal ? s.journal->interrupted_changes(key, ::getpid())
                                   : interrupted_changes(store_path(), key, ::getpid());
    for (const JournalChange& c : changes)
      std::fprintf(stderr,
                   "volumar: warning: change %lld to this volume (%s, `%s`) was interrupted before it finished;"
                   " `volumar undo` restores the sectors it had begun to overwrite\n",
                   static_cast<long long>(c.id), c.time.c_str(), c.command.c_str());
  } catch (const ToolError& e) {
    std::fprintf(stderr, "volumar: warning: %s\n", e.what());
  }
}

void set_undoing(std::int64_t change) { state().settings.undoes = change; }

}  // namespace volumar_tool
