// The terminal editor's model: where it stands (sector, section, byte
// cursor, column), the bytes changed and not yet written (kept with their
// sectors across moves), its undo of single edits, go-to targets and the
// byte search. It reads and writes through an EditorVolume and knows no
// terminal; the screen draws it and the key map drives it.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/volumar/editor/editor_volume.h"

namespace volumar_tool {

enum class Column { Hex, Text };
enum class SearchScope { Section, Volume };

struct SearchQuery {
  std::vector<std::uint8_t> bytes;
  bool forward = true;
  SearchScope scope = SearchScope::Section;
};

// "55 AA", "55aa" or "0x55AA" are bytes; anything else, or text in quotes,
// is text in the ANSI code page. nullopt (with why) when nothing is left
// to search for.
std::optional<std::vector<std::uint8_t>> parse_search_pattern(std::string_view utf8_text, std::string& why);

// Decimal or 0x hexadecimal, nothing else.
std::optional<std::int64_t> parse_number(std::string_view text);

struct SearchProgress {
  std::int64_t done = 0;   // sectors searched
  std::int64_t total = 0;  // sectors to search
  std::int64_t at = 0;     // the sector the search has come to
};

class EditorModel {
 public:
  // Opens on the boot sector.
  explicit EditorModel(EditorVolume& volume);

  const EditorVolume& volume() const { return volume_; }
  std::int64_t sector() const { return sector_; }
  // The library's section of the current sector; -1 in raw mode and for
  // sectors between the sections (the reserved sectors after the boot sector).
  int section() const { return section_; }
  SectorRange range() const { return range_; }
  std::optional<std::uint64_t> cluster() const;
  std::size_t cursor() const { return cursor_; }
  bool half_typed() const { return nibble_ != 0; }
  Column column() const { return column_; }
  // The current sector as edited; empty when the volume does not deliver it.
  const std::vector<std::uint8_t>& bytes() const { return view_; }
  bool changed_at(std::size_t offset) const;
  const std::string& message() const { return message_; }
  void set_message(std::string text) { message_ = std::move(text); }

  void cursor_by(long delta);
  void cursor_to(std::size_t offset);
  void move(LibraryMove move);
  void step_section(int delta);
  // A sector number (decimal or 0x), or "boot", "fsinfo", "backup".
  bool go_to(std::string_view target);
  bool go_to_cluster(std::string_view target);
  bool go_to_sector(std::int64_t sector);
  // FindCluster's searches and marks; the editor lands where the library stands.
  bool find_cluster(std::int32_t action);
  // The cluster a mark would change; nullopt (with a message) when none.
  std::optional<std::uint64_t> cluster_to_mark();

  void toggle_column();
  bool type_hex(int digit);
  bool type_char(char16_t ch);
  // Takes back the last byte edit, written or not, going to its sector.
  bool undo_edit();
  void discard_changes();
  std::size_t changed_bytes() const;
  std::vector<std::int64_t> changed_sectors() const;
  // Writes every changed sector, lowest first, and stops at the first that
  // fails; true when all were written.
  bool write_changes();

  // A search from the cursor, run in steps so that the caller can show its
  // progress and stop it.
  void start_search(const SearchQuery& query);
  // The last query again, in the given direction; false when there is none.
  bool search_again(bool forward);
  bool searching() const { return run_.has_value(); }
  // Searches up to `sectors` more sectors.
  void search_step(std::int64_t sectors);
  SearchProgress search_progress() const;
  void cancel_search();
  const std::optional<SearchQuery>& last_search() const { return last_query_; }

 private:
  struct Changed {
    std::vector<std::uint8_t> before, after;
  };
  struct Edit {
    std::int64_t sector;
    std::size_t offset;
    std::uint8_t old_value;
  };
  struct SearchRun {
    SearchQuery query;
    std::int64_t first = 0, last = 0;  // the sectors in scope
    std::uint64_t start = 0;           // forward: matches from here; backward: before here
    std::int64_t next = 0;             // forward: the next sector; backward: the end of the next chunk
    std::vector<std::uint8_t> carry;   // the bytes a match may span into from the last chunk
    std::int64_t done = 0, total = 0;
  };

  template <class F>
  bool attempt(F&& f);
  void load();
  void enter(int section, SectorRange range, std::int64_t sector);
  SectorRange range_around(std::int64_t sector) const;
  int section_of(std::int64_t sector) const;
  void set_byte(std::size_t offset, std::uint8_t value, bool new_edit);
  Changed& changed_entry(std::int64_t sector);
  std::vector<std::uint8_t> read_as_edited(std::int64_t first, std::int64_t count);
  void finish_search(std::optional<std::uint64_t> found);
  std::uint64_t bps() const { return volume_.geometry().bytes_per_sector; }

  EditorVolume& volume_;
  std::int64_t sector_ = 0;
  int section_ = -1;
  SectorRange range_;
  std::size_t cursor_ = 0;
  int nibble_ = 0;
  Column column_ = Column::Hex;
  std::vector<std::uint8_t> disk_, view_;
  std::map<std::int64_t, Changed> changed_;
  std::vector<Edit> edits_;
  std::string message_;
  std::optional<SearchRun> run_;
  std::optional<SearchQuery> last_query_;
};

}  // namespace volumar_tool
