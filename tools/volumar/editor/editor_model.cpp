// The terminal editor's model.
#include "tools/volumar/editor/editor_model.h"

#include <algorithm>
#include <cctype>

#include "platform/ansi_code_page.h"
#include "platform/automation/automation_error.h"
#include "platform/utf8.h"

namespace volumar_tool {

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::optional<std::vector<std::uint8_t>> hex_bytes(std::string_view s) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
  std::string digits;
  for (char c : s) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    digits += c;
  }
  if (digits.empty() || digits.size() % 2) return std::nullopt;
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < digits.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

std::string where(std::uint64_t position, std::uint64_t bps) {
  return "sector " + std::to_string(position / bps) + " byte " + std::to_string(position % bps);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> parse_search_pattern(std::string_view utf8_text, std::string& why) {
  std::string_view s = trimmed(utf8_text);
  const bool quoted = !s.empty() && (s.front() == '"' || s.front() == '\'');
  if (!quoted)
    if (auto bytes = hex_bytes(s)) return bytes;
  if (quoted) {
    const char quote = s.front();
    s.remove_prefix(1);
    if (!s.empty() && s.back() == quote) s.remove_suffix(1);
  }
  if (s.empty()) {
    why = "nothing to search for";
    return std::nullopt;
  }
  std::vector<std::uint8_t> out;
  for (char16_t c : win::utf8_to_utf16(s)) {
    if (!win::ansi_representable(c)) {
      why = "the text holds a character the code page (Windows-1252) has not";
      return std::nullopt;
    }
    out.push_back(win::ansi_byte(c));
  }
  return out;
}

std::optional<std::int64_t> parse_number(std::string_view text) {
  std::string_view s = trimmed(text);
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  if (s.empty() || s.size() > 15) return std::nullopt;
  std::int64_t v = 0;
  for (char c : s) {
    const int d = std::isdigit(static_cast<unsigned char>(c))                  ? c - '0'
                  : base == 16 && std::isxdigit(static_cast<unsigned char>(c)) ? std::tolower(c) - 'a' + 10
                                                                               : -1;
    if (d < 0) return std::nullopt;
    v = v * base + d;
  }
  return v;
}

EditorModel::EditorModel(EditorVolume& volume) : volume_(volume) {
  if (volume_.raw())
    enter(-1, {0, volume_.total_sectors() - 1}, 0);
  else
    enter(0, volume_.section_range(0), 0);
}

// The library's and the volume's errors become the message line.
template <class F>
bool EditorModel::attempt(F&& f) {
  try {
    f();
    return true;
  } catch (const win::AutomationError& e) {
    message_ = "error " + std::to_string(e.number()) + ": " + win::utf16_to_utf8(win::ansi_to_utf16(e.description()));
  } catch (const std::exception& e) {
    message_ = e.what();
  }
  return false;
}

std::optional<std::uint64_t> EditorModel::cluster() const {
  if (volume_.raw()) return std::nullopt;
  return volume_.geometry().cluster_of(static_cast<std::uint64_t>(sector_));
}

void EditorModel::load() {
  disk_.clear();
  attempt([&] { disk_ = volume_.read(sector_, 1); });
  const auto it = changed_.find(sector_);
  view_ = it != changed_.end() && !disk_.empty() ? it->second.after : disk_;
  nibble_ = 0;
  if (cursor_ >= view_.size()) cursor_ = 0;
}

void EditorModel::enter(int section, SectorRange range, std::int64_t sector) {
  section_ = section;
  range_ = range;
  // As the library shows a sector: moved inside the section's bounds.
  sector_ = std::clamp(sector, range.first, std::max(range.first, range.last));
  load();
}

int EditorModel::section_of(std::int64_t sector) const {
  if (volume_.raw()) return -1;
  for (int s = 0; s < kSectionCount; ++s)
    if (volume_.section_range(s).contains(sector)) return s;
  return -1;
}

// The sectors between the library's sections that hold `sector`.
SectorRange EditorModel::range_around(std::int64_t sector) const {
  SectorRange r{0, volume_.total_sectors() - 1};
  if (volume_.raw()) return r;
  for (int s = 0; s < kSectionCount; ++s) {
    const SectorRange b = volume_.section_range(s);
    if (b.last < b.first) continue;
    if (b.last < sector) r.first = std::max(r.first, b.last + 1);
    if (b.first > sector) r.last = std::min(r.last, b.first - 1);
  }
  return r;
}

bool EditorModel::changed_at(std::size_t offset) const {
  const auto it = changed_.find(sector_);
  return it != changed_.end() && offset < it->second.before.size() &&
         it->second.before[offset] != it->second.after[offset];
}

void EditorModel::cursor_by(long delta) {
  const long next = static_cast<long>(cursor_) + delta;
  if (next >= 0 && static_cast<std::size_t>(next) < view_.size()) cursor_ = static_cast<std::size_t>(next);
  nibble_ = 0;
}

void EditorModel::cursor_to(std::size_t offset) {
  cursor_ = view_.empty() ? 0 : std::min(offset, view_.size() - 1);
  nibble_ = 0;
}

void EditorModel::move(LibraryMove m) {
  const bool by_sector = m == LibraryMove::NextSector || m == LibraryMove::PreviousSector;
  if (section_ < 0) {
    if (!by_sector) {
      message_ = volume_.raw() ? "raw mode has no clusters" : "no clusters here: this sector lies in no section";
      return;
    }
    const std::int64_t to = sector_ + (m == LibraryMove::NextSector ? 1 : -1);
    if (range_.contains(to)) enter(section_, range_, to);
    return;
  }
  std::int64_t to = sector_;
  if (!attempt([&] { to = volume_.move(m, section_, sector_); })) return;
  // The library's last cluster ignores the section; the editor follows it there.
  if (m == LibraryMove::LastCluster)
    go_to_sector(to);
  else
    enter(section_, range_, to);
}

void EditorModel::step_section(int delta) {
  if (volume_.raw()) {
    message_ = "raw mode has no sections";
    return;
  }
  int s = section_;
  if (s < 0) {
    // From between the sections to the nearest one that way.
    s = delta > 0 ? 0 : kSectionCount - 1;
    for (int k = 0; k < kSectionCount; ++k) {
      const int c = delta > 0 ? k : kSectionCount - 1 - k;
      const SectorRange b = volume_.section_range(c);
      if (delta > 0 ? b.first > sector_ : b.last < sector_) {
        s = c;
        break;
      }
    }
  } else {
    s = ((s + delta) % kSectionCount + kSectionCount) % kSectionCount;
  }
  enter(s, volume_.section_range(s), sector_);
}

bool EditorModel::go_to_sector(std::int64_t sector) {
  if (sector < 0 || sector >= volume_.total_sectors()) {
    message_ = "sector " + std::to_string(sector) + " is outside the volume (sectors 0-" +
               std::to_string(volume_.total_sectors() - 1) + ")";
    return false;
  }
  const int s = section_of(sector);
  enter(s, s >= 0 ? volume_.section_range(s) : range_around(sector), sector);
  return true;
}

bool EditorModel::go_to(std::string_view target) {
  std::string word;
  for (char c : trimmed(target)) word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto& g = volume_.geometry();
  const std::pair<const char*, std::uint32_t> named[] = {
      {"boot", 0}, {"fsinfo", g.fsinfo_sector}, {"backup", g.backup_boot_sector}};
  for (const auto& [name, at] : named) {
    if (word != name) continue;
    if (word != "boot" && (volume_.raw() || at == 0)) {
      message_ = std::string("this volume keeps no ") + (word == "fsinfo" ? "FSInfo sector" : "backup boot sector");
      return false;
    }
    return go_to_sector(at);
  }
  if (const auto n = parse_number(word)) return go_to_sector(*n);
  message_ = "not a sector: give a number, 0x hex, boot, fsinfo or backup";
  return false;
}

bool EditorModel::go_to_cluster(std::string_view target) {
  if (volume_.raw()) {
    message_ = "raw mode has no clusters";
    return false;
  }
  const auto& g = volume_.geometry();
  const auto c = parse_number(target);
  if (!c) {
    message_ = "not a cluster number";
    return false;
  }
  if (!g.has_cluster(static_cast<std::uint64_t>(*c))) {
    message_ = "cluster " + std::to_string(*c) + " is outside the volume (clusters 2-" +
               std::to_string(g.last_cluster()) + ")";
    return false;
  }
  return go_to_sector(static_cast<std::int64_t>(g.sector_of(static_cast<std::uint64_t>(*c))));
}

bool EditorModel::find_cluster(std::int32_t action) {
  if (volume_.raw()) {
    message_ = "raw mode has no FAT";
    return false;
  }
  std::optional<std::int64_t> at;
  if (!attempt([&] { at = volume_.find_cluster(action, sector_); }) || !at) return false;
  go_to_sector(*at);
  return true;
}

std::optional<std::uint64_t> EditorModel::cluster_to_mark() {
  if (volume_.raw()) {
    message_ = "raw mode has no FAT";
    return std::nullopt;
  }
  const auto c = cluster();
  if (!c) message_ = "the current sector is not in a cluster of the data area";
  return c;
}

void EditorModel::toggle_column() {
  column_ = column_ == Column::Hex ? Column::Text : Column::Hex;
  nibble_ = 0;
}

EditorModel::Changed& EditorModel::changed_entry(std::int64_t sector) {
  auto it = changed_.find(sector);
  if (it == changed_.end()) {
    const auto bytes = sector == sector_ ? disk_ : volume_.read(sector, 1);
    it = changed_.emplace(sector, Changed{bytes, bytes}).first;
  }
  return it->second;
}

void EditorModel::set_byte(std::size_t offset, std::uint8_t value, bool new_edit) {
  Changed& c = changed_entry(sector_);
  if (new_edit) edits_.push_back({sector_, offset, c.after[offset]});
  c.after[offset] = value;
  if (c.after == c.before) changed_.erase(sector_);
  view_[offset] = value;
}

bool EditorModel::type_hex(int digit) {
  if (view_.empty() || digit < 0 || digit > 15) return false;
  const std::uint8_t b = view_[cursor_];
  if (nibble_ == 0) {
    set_byte(cursor_, static_cast<std::uint8_t>(digit << 4 | (b & 0x0F)), true);
    nibble_ = 1;
  } else {
    set_byte(cursor_, static_cast<std::uint8_t>((b & 0xF0) | digit), false);
    nibble_ = 0;
    if (cursor_ + 1 < view_.size()) ++cursor_;
  }
  return true;
}

bool EditorModel::type_char(char16_t ch) {
  if (view_.empty()) return false;
  if (!win::ansi_representable(ch)) {
    message_ = "that character is not in the code page (Windows-1252)";
    return false;
  }
  set_byte(cursor_, win::ansi_byte(ch), true);
  nibble_ = 0;
  if (cursor_ + 1 < view_.size()) ++cursor_;
  return true;
}

bool EditorModel::undo_edit() {
  if (edits_.empty()) {
    message_ = "no edit to undo";
    return false;
  }
  const Edit e = edits_.back();
  if (e.sector != sector_ && !go_to_sector(e.sector)) return false;
  if (view_.empty() || e.offset >= view_.size()) return false;
  edits_.pop_back();
  set_byte(e.offset, e.old_value, false);
  cursor_to(e.offset);
  message_ = "undid the edit of sector " + std::to_string(e.sector) + " byte " + std::to_string(e.offset);
  return true;
}

void EditorModel::discard_changes() {
  changed_.clear();
  edits_.clear();
  view_ = disk_;
  nibble_ = 0;
}

std::size_t EditorModel::changed_bytes() const {
  std::size_t n = 0;
  for (const auto& [sector, c] : changed_)
    for (std::size_t i = 0; i < c.before.size(); ++i) n += c.before[i] != c.after[i];
  return n;
}

std::vector<std::int64_t> EditorModel::changed_sectors() const {
  std::vector<std::int64_t> out;
  for (const auto& entry : changed_) out.push_back(entry.first);
  return out;
}

bool EditorModel::write_changes() {
  const std::size_t bytes = changed_bytes();
  const auto sectors = changed_sectors();
  for (const std::int64_t s : sectors) {
    bool ok = false;
    attempt([&] { ok = volume_.write(s, changed_.at(s).after); });
    if (!ok) {
      if (message_.empty()) message_ = "the write of sector " + std::to_string(s) + " failed";
      return false;
    }
    changed_.erase(s);
  }
  std::string list;
  for (std::size_t i = 0; i < sectors.size(); ++i) list += (i ? ", " : "") + std::to_string(sectors[i]);
  message_ = "wrote " + std::to_string(bytes) + " bytes to sector" + (sectors.size() > 1 ? "s " : " ") + list;
  const std::size_t keep = cursor_;
  load();
  cursor_to(keep);
  return true;
}

std::vector<std::uint8_t> EditorModel::read_as_edited(std::int64_t first, std::int64_t count) {
  auto bytes = volume_.read(first, count);
  for (auto it = changed_.lower_bound(first); it != changed_.end() && it->first < first + count; ++it)
    std::copy(it->second.after.begin(), it->second.after.end(),
              bytes.begin() + static_cast<std::ptrdiff_t>((it->first - first) * static_cast<std::int64_t>(bps())));
  return bytes;
}

void EditorModel::start_search(const SearchQuery& query) {
  last_query_ = query;
  run_.reset();
  if (query.bytes.empty() || view_.empty()) {
    message_ = "nothing to search";
    return;
  }
  SearchRun r;
  r.query = query;
  const SectorRange scope = query.scope == SearchScope::Volume ? SectorRange{0, volume_.total_sectors() - 1} : range_;
  r.first = scope.first;
  r.last = scope.last;
  const std::uint64_t here = static_cast<std::uint64_t>(sector_) * bps() + cursor_;
  if (query.forward) {
    r.start = here + 1;
    r.next = sector_;
    r.total = r.last + 1 - sector_;
  } else {
    r.start = here;
    // A match that begins before the cursor may end past it.
    const auto end = static_cast<std::int64_t>((here + query.bytes.size() - 1 + bps() - 1) / bps());
    r.next = std::min(r.last + 1, std::max(end, sector_ + 1));
    r.total = r.next - r.first;
  }
  run_ = std::move(r);
}

bool EditorModel::search_again(bool forward) {
  if (!last_query_) {
    message_ = "nothing searched yet";
    return false;
  }
  SearchQuery q = *last_query_;
  q.forward = forward;
  start_search(q);
  return true;
}

void EditorModel::search_step(std::int64_t sectors) {
  if (!run_) return;
  SearchRun& r = *run_;
  const auto& pattern = r.query.bytes;
  const std::size_t keep = pattern.size() - 1;
  const std::int64_t from = r.query.forward ? r.next : std::max(r.first, r.next - std::max<std::int64_t>(sectors, 1));
  const std::int64_t count =
      r.query.forward ? std::min(std::max<std::int64_t>(sectors, 1), r.last + 1 - r.next) : r.next - from;
  std::vector<std::uint8_t> data;
  if (count <= 0 || !attempt([&] { data = read_as_edited(from, count); })) {
    run_.reset();
    return;
  }
  const std::uint64_t first_byte = static_cast<std::uint64_t>(from) * bps();
  if (r.query.forward) {
    std::vector<std::uint8_t> buf = std::move(r.carry);
    buf.insert(buf.end(), data.begin(), data.end());
    const std::uint64_t base = first_byte - (buf.size() - data.size());
    const std::size_t skip =
        r.start > base ? static_cast<std::size_t>(std::min<std::uint64_t>(r.start - base, buf.size())) : 0;
    const auto hit =
        std::search(buf.begin() + static_cast<std::ptrdiff_t>(skip), buf.end(), pattern.begin(), pattern.end());
    if (hit != buf.end()) return finish_search(base + static_cast<std::uint64_t>(hit - buf.begin()));
    r.carry.assign(buf.end() - static_cast<std::ptrdiff_t>(std::min(keep, buf.size())), buf.end());
    r.next += count;
    r.done += count;
    if (r.next > r.last) finish_search(std::nullopt);
    return;
  }
  std::vector<std::uint8_t> buf = std::move(data);
  buf.insert(buf.end(), r.carry.begin(), r.carry.end());
  if (r.start > first_byte) {
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), r.start - first_byte + keep));
    const auto stop = buf.begin() + static_cast<std::ptrdiff_t>(end);
    const auto hit = std::find_end(buf.begin(), stop, pattern.begin(), pattern.end());
    if (hit != stop) return finish_search(first_byte + static_cast<std::uint64_t>(hit - buf.begin()));
  }
  r.carry.assign(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(std::min(keep, buf.size())));
  r.next = from;
  r.done += count;
  if (r.next <= r.first) finish_search(std::nullopt);
}

void EditorModel::finish_search(std::optional<std::uint64_t> found) {
  const SearchRun r = std::move(*run_);
  run_.reset();
  const std::string scope = r.query.scope == SearchScope::Volume ? "the volume" : "this section";
  if (!found) {
    message_ = std::string("not found ") + (r.query.forward ? "after" : "before") + " the cursor in " + scope;
    return;
  }
  const auto s = static_cast<std::int64_t>(*found / bps());
  if (range_.contains(s))
    enter(section_, range_, s);
  else
    go_to_sector(s);
  cursor_to(static_cast<std::size_t>(*found % bps()));
  message_ = "found at " + where(*found, bps());
}

SearchProgress EditorModel::search_progress() const {
  if (!run_) return {};
  return {run_->done, run_->total, run_->next};
}

void EditorModel::cancel_search() {
  if (!run_) return;
  message_ = "search stopped at sector " + std::to_string(search_progress().at);
  run_.reset();
}

}  // namespace volumar_tool
