// The terminal editor's model and key map, without a terminal: a volume
// built in memory stands in for the library's sector editor.
#include <gtest/gtest.h>

#include <algorithm>

#include "drw/drw_enumerations.h"
#include "format/boot_sector.h"
#include "imaging/fat_image_builder.h"
#include "tools/volumar/editor/editor_keys.h"
#include "tools/volumar/editor/editor_model.h"

namespace volumar_tool {
namespace {

// Sections and moves as the library defines them, over a built image.
class MemoryVolume : public EditorVolume {
 public:
  explicit MemoryVolume(imaging::FatType type) : image_(type) {
    geometry_ = volumar::geometry_of(ondisk::decode_boot_sector(image_.read_sector(0)));
    const auto& g = geometry_;
    const auto spf = static_cast<std::int64_t>(g.sectors_per_fat);
    const auto fat1 = static_cast<std::int64_t>(g.fat_copy_start(1));
    const auto root = static_cast<std::int64_t>(g.root_directory_start);
    const auto root_len = std::max<std::int64_t>(static_cast<std::int64_t>(g.root_directory_sectors),
                                                 g.root_cluster ? g.sectors_per_cluster : 1);
    ranges_[0] = {0, 0};
    ranges_[1] = {fat1, fat1 + spf - 1};
    ranges_[2] = {fat1 + spf, fat1 + 2 * spf - 1};
    ranges_[3] = {root, root + root_len - 1};
    ranges_[4] = {static_cast<std::int64_t>(g.first_data_sector), total_sectors() - 1};
  }
  bool raw() const override { return false; }
  const volumar::VolumeGeometry& geometry() const override { return geometry_; }
  std::int64_t total_sectors() const override { return static_cast<std::int64_t>(geometry_.total_sectors); }
  SectorRange section_range(int s) const override { return ranges_[s]; }
  std::int64_t move(LibraryMove m, int section, std::int64_t s) override {
    const SectorRange r = ranges_[section];
    const std::int64_t spc = geometry_.sectors_per_cluster;
    switch (m) {
      case LibraryMove::NextSector: return s < r.last ? s + 1 : s;
      case LibraryMove::PreviousSector: return s > r.first ? s - 1 : s;
      case LibraryMove::NextCluster: return s < r.last ? s + spc : s;
      case LibraryMove::PreviousCluster: return s > r.first ? s - spc : s;
      case LibraryMove::LastCluster: return total_sectors() - spc;
    }
    return s;
  }
  std::optional<std::int64_t> find_cluster(std::int32_t action, std::int64_t) override {
    if (action != volumar::drwFindClusterFreeFindFirst) return std::nullopt;
    for (std::uint32_t c = 3; c <= geometry_.last_cluster(); ++c)
      if (image_.fat_entry(0, c) == 0) return static_cast<std::int64_t>(geometry_.sector_of(c));
    return std::nullopt;
  }
  std::vector<std::uint8_t> read(std::int64_t first, std::int64_t count) override {
    ++reads;
    if (first + count > readable) throw std::runtime_error("past the end of the image");
    std::vector<std::uint8_t> out;
    for (std::int64_t s = first; s < first + count; ++s) {
      const auto b = image_.read_sector(static_cast<std::uint64_t>(s));
      out.insert(out.end(), b.begin(), b.end());
    }
    return out;
  }
  bool write(std::int64_t first, const std::vector<std::uint8_t>& bytes) override {
    if (first == refuse) return false;
    image_.write_sector(static_cast<std::uint64_t>(first), bytes);
    written.push_back(first);
    return true;
  }
  std::vector<std::uint8_t> sector(std::int64_t s) { return image_.read_sector(static_cast<std::uint64_t>(s)); }
  void put(std::uint64_t position, const std::string& text) {
    image_.write_bytes(position, std::vector<std::uint8_t>(text.begin(), text.end()));
  }

  std::int64_t readable = INT64_MAX;
  std::int64_t refuse = -1;
  int reads = 0;
  std::vector<std::int64_t> written;

 private:
  imaging::FatImageBuilder image_;
  volumar::VolumeGeometry geometry_;
  SectorRange ranges_[kSectionCount];
};

struct Place {
  int section;
  std::int64_t sector;
};

Place at(const EditorModel& m) { return {m.section(), m.sector()}; }
bool operator==(const Place& a, const Place& b) { return a.section == b.section && a.sector == b.sector; }
void PrintTo(const Place& p, std::ostream* os) { *os << "section " << p.section << " sector " << p.sector; }

// A 1.44 MB floppy: boot 0, FAT copies 1-9 and 10-18, root 19-32, data 33-2879.
TEST(EditorModel, MovesLikeTheLibraryAndGoesToNumbersAndNames) {
  MemoryVolume v(imaging::FatType::fat12);
  EditorModel m(v);
  const struct {
    std::function<bool(EditorModel&)> step;
    Place expected;
  } steps[] = {
      {[](EditorModel& e) { return e.go_to("boot"); }, {0, 0}},
      {[](EditorModel& e) { return e.step_section(1), true; }, {1, 1}},
      {[](EditorModel& e) { return e.move(LibraryMove::NextSector), true; }, {1, 2}},
      {[](EditorModel& e) { return e.step_section(-1), true; }, {0, 0}},
      {[](EditorModel& e) { return e.step_section(-1), true; }, {4, 33}},
      {[](EditorModel& e) { return e.move(LibraryMove::PreviousSector), true; }, {4, 33}},
      {[](EditorModel& e) { return e.go_to("0x13"); }, {3, 19}},
      {[](EditorModel& e) { return e.go_to(" 2879 "); }, {4, 2879}},
      {[](EditorModel& e) { return e.move(LibraryMove::NextCluster), true; }, {4, 2879}},
      {[](EditorModel& e) { return !e.go_to("2880"); }, {4, 2879}},
      {[](EditorModel& e) { return !e.go_to("fsinfo"); }, {4, 2879}},
      {[](EditorModel& e) { return !e.go_to("12x"); }, {4, 2879}},
      {[](EditorModel& e) { return e.go_to_cluster("0xA"); }, {4, 41}},
      {[](EditorModel& e) { return !e.go_to_cluster("1"); }, {4, 41}},
      {[](EditorModel& e) { return e.go_to("5") && (e.move(LibraryMove::LastCluster), true); }, {4, 2879}},
      {[](EditorModel& e) { return e.find_cluster(volumar::drwFindClusterFreeFindFirst); }, {4, 34}},
  };
  int n = 0;
  for (const auto& s : steps) {
    SCOPED_TRACE("step " + std::to_string(n++));
    EXPECT_TRUE(s.step(m)) << m.message();
    EXPECT_EQ(at(m), s.expected);
    EXPECT_EQ(m.bytes(), v.sector(m.sector()));
  }
  EXPECT_EQ(m.cluster(), std::optional<std::uint64_t>(3));
}

// FSInfo and the backup boot sector lie between the boot sector and FAT 1.
TEST(EditorModel, ReachesTheFat32ReservedSectorsByName) {
  MemoryVolume v(imaging::FatType::fat32);
  const auto& g = v.geometry();
  ASSERT_GT(g.fsinfo_sector, 0u);
  ASSERT_GT(g.backup_boot_sector, g.fsinfo_sector);
  EditorModel m(v);
  ASSERT_TRUE(m.go_to("FSInfo"));
  EXPECT_EQ(at(m), (Place{-1, g.fsinfo_sector}));
  EXPECT_EQ(m.range().first, 1);
  EXPECT_EQ(m.range().last, static_cast<std::int64_t>(g.reserved_sectors) - 1);
  EXPECT_EQ(std::vector<std::uint8_t>(m.bytes().begin(), m.bytes().begin() + 4),
            (std::vector<std::uint8_t>{'R', 'R', 'a', 'A'}));
  m.move(LibraryMove::NextSector);
  EXPECT_EQ(m.sector(), g.fsinfo_sector + 1);
  ASSERT_TRUE(m.go_to("backup"));
  EXPECT_EQ(at(m), (Place{-1, g.backup_boot_sector}));
  m.step_section(1);
  EXPECT_EQ(at(m), (Place{1, static_cast<std::int64_t>(g.reserved_sectors)}));
}

TEST(EditorModel, EditsStayWithTheirSectorsUntilWrittenOrUndone) {
  MemoryVolume v(imaging::FatType::fat12);
  EditorModel m(v);
  ASSERT_TRUE(m.go_to("40"));
  m.cursor_to(2);
  for (int d : {0xC, 0x3, 0x7}) m.type_hex(d);  // C3, then the high half of the next byte
  EXPECT_EQ(m.cursor(), 3u);
  EXPECT_TRUE(m.half_typed());
  m.toggle_column();
  EXPECT_FALSE(m.half_typed());
  for (char16_t c : {u'A', u'\u00E9', u'\u20AC'}) EXPECT_TRUE(m.type_char(c));
  EXPECT_FALSE(m.type_char(u'\u03A9'));
  EXPECT_EQ(std::vector<std::uint8_t>(m.bytes().begin() + 2, m.bytes().begin() + 6),
            (std::vector<std::uint8_t>{0xC3, 0x41, 0xE9, 0x80}));
  ASSERT_TRUE(m.go_to("41"));
  m.type_char(u'Z');
  EXPECT_EQ(m.changed_bytes(), 5u);
  EXPECT_EQ(m.changed_sectors(), (std::vector<std::int64_t>{40, 41}));
  EXPECT_TRUE(v.written.empty());

  ASSERT_TRUE(m.undo_edit());  // the Z
  EXPECT_EQ(m.changed_sectors(), (std::vector<std::int64_t>{40}));
  ASSERT_TRUE(m.undo_edit());  // the euro sign, back in sector 40
  EXPECT_EQ(at(m), (Place{4, 40}));
  EXPECT_EQ(m.cursor(), 5u);
  EXPECT_EQ(m.changed_bytes(), 3u);

  v.refuse = 40;
  EXPECT_FALSE(m.write_changes());
  EXPECT_EQ(m.changed_bytes(), 3u);
  v.refuse = -1;
  ASSERT_TRUE(m.write_changes()) << m.message();
  EXPECT_EQ(m.message(), "wrote 3 bytes to sector 40");
  EXPECT_EQ(m.changed_bytes(), 0u);
  EXPECT_EQ(v.sector(40)[4], 0xE9);
  // Undo after a write is a change of its own, to write back.
  ASSERT_TRUE(m.undo_edit());
  EXPECT_EQ(m.changed_bytes(), 1u);
  EXPECT_EQ(m.bytes()[4], 0x00);
  m.discard_changes();
  EXPECT_FALSE(m.undo_edit());
  EXPECT_EQ(m.bytes(), v.sector(40));
}

TEST(EditorModel, SectorsTheVolumeCannotDeliverShowNothingToEdit) {
  MemoryVolume v(imaging::FatType::fat12);
  v.readable = 100;
  EditorModel m(v);
  ASSERT_TRUE(m.go_to("100"));
  EXPECT_TRUE(m.bytes().empty());
  EXPECT_NE(m.message().find("past the end"), std::string::npos);
  EXPECT_FALSE(m.type_hex(1));
  EXPECT_EQ(m.changed_bytes(), 0u);
}

// Matches inside a sector, across sectors, across the steps' chunks, and
// only in unwritten edits; each found from both sides, in steps of any size.
TEST(EditorModel, SearchesForwardAndBackwardAcrossSectorsAndSteps) {
  const std::string needle = "NEEDLE";
  const std::uint64_t places[] = {40 * 512 + 7, 41 * 512 + 509, 47 * 512 + 510, 50 * 512};
  for (const std::int64_t step : {1, 2, 7, 1000}) {
    MemoryVolume v(imaging::FatType::fat12);
    for (const auto p : places) v.put(p, needle);
    EditorModel m(v);
    ASSERT_TRUE(m.go_to("60"));
    m.cursor_to(100);
    m.type_char(u'N');  // a match in sector 60 that only the edit makes, and a decoy
    for (char c : needle.substr(1)) m.type_hex(c >> 4), m.type_hex(c & 15);
    v.put(60 * 512 + 300, needle.substr(0, 5));
    std::vector<std::uint64_t> expected(std::begin(places), std::end(places));
    expected.push_back(60 * 512 + 100);
    for (const bool forward : {true, false}) {
      SCOPED_TRACE("step " + std::to_string(step) + (forward ? " forward" : " backward"));
      ASSERT_TRUE(m.go_to(forward ? "33" : "2879"));
      m.cursor_to(forward ? 0 : 511);
      std::vector<std::uint64_t> found;
      m.start_search({std::vector<std::uint8_t>(needle.begin(), needle.end()), forward, SearchScope::Section});
      for (std::size_t n = 0; n <= expected.size(); ++n) {
        while (m.searching()) m.search_step(step);
        if (m.message().rfind("found at", 0) != 0) break;
        found.push_back(static_cast<std::uint64_t>(m.sector()) * 512 + m.cursor());
        m.search_again(forward);
      }
      if (!forward) std::reverse(found.begin(), found.end());
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(found, expected);
      EXPECT_NE(m.message().find("not found"), std::string::npos) << m.message();
    }
  }
}

TEST(EditorModel, SearchScopeProgressAndCancel) {
  MemoryVolume v(imaging::FatType::fat12);
  v.put(2000 * 512 + 3, "\x55\xAA\x01");
  EditorModel m(v);
  ASSERT_TRUE(m.go_to("1"));  // FAT 1
  SearchQuery q{{0x55, 0xAA, 0x01}, true, SearchScope::Section};
  m.start_search(q);
  while (m.searching()) m.search_step(4);
  EXPECT_EQ(m.message(), "not found after the cursor in this section");
  q.scope = SearchScope::Volume;
  m.start_search(q);
  while (m.searching()) m.search_step(64);
  EXPECT_EQ(at(m), (Place{4, 2000}));
  EXPECT_EQ(m.cursor(), 3u);

  m.start_search({{0xDE, 0xAD}, false, SearchScope::Volume});
  m.search_step(10);
  const SearchProgress p = m.search_progress();
  EXPECT_EQ(p.done, 10);
  EXPECT_EQ(p.total, 2001);
  EXPECT_EQ(p.at, 1991);
  m.cancel_search();
  EXPECT_FALSE(m.searching());
  EXPECT_EQ(m.message(), "search stopped at sector 1991");
  EXPECT_EQ(at(m), (Place{4, 2000}));
}

TEST(EditorModel, ParsesSearchPatternsAndNumbers) {
  using Bytes = std::vector<std::uint8_t>;
  const struct {
    const char* text;
    std::optional<Bytes> bytes;
  } patterns[] = {{"55 AA", Bytes{0x55, 0xAA}},
                  {"55aa", Bytes{0x55, 0xAA}},
                  {"0x55AA", Bytes{0x55, 0xAA}},
                  {"\"55\"", Bytes{'5', '5'}},
                  {"'ab", Bytes{'a', 'b'}},
                  {"abc", Bytes{'a', 'b', 'c'}},
                  {"FAT 12", Bytes{'F', 'A', 'T', ' ', '1', '2'}},
                  {"\xE2\x82\xAC", Bytes{0x80}},
                  {"", std::nullopt},
                  {"\"\"", std::nullopt},
                  {"\xCE\xA9", std::nullopt}};
  for (const auto& p : patterns) {
    std::string why;
    EXPECT_EQ(parse_search_pattern(p.text, why), p.bytes) << p.text;
    EXPECT_EQ(why.empty(), p.bytes.has_value()) << p.text;
  }
  const std::pair<const char*, std::optional<std::int64_t>> numbers[] = {
      {"10", 10},         {"0x10", 16},         {"0X1f", 31},
      {" 7 ", 7},         {"1a", std::nullopt}, {"-1", std::nullopt},
      {"", std::nullopt}, {"0x", std::nullopt}, {"9999999999999999", std::nullopt}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(parse_number(text), value) << text;
}

TEST(EditorKeys, EveryActionHasAKeyAndTheColumnsShareNoLetters) {
  std::vector<Key> keys;
  for (int c = 0; c < 128; ++c) keys.push_back({c, false});
  for (int c = 0400; c < 0777; ++c) keys.push_back({c, true});
  for (const Column column : {Column::Hex, Column::Text}) {
    std::vector<Action> reached;
    for (const Key k : keys)
      if (const auto a = interpret(k, column).action) reached.push_back(*a);
    for (int a = 0; a <= static_cast<int>(Action::Quit); ++a) {
      const bool needed = column == Column::Hex || a == static_cast<int>(Action::Write) ||
                          a == static_cast<int>(Action::Quit) || a == static_cast<int>(Action::Help) ||
                          a == static_cast<int>(Action::ToggleColumn) || a == static_cast<int>(Action::SearchForward) ||
                          a == static_cast<int>(Action::GoTo) || a == static_cast<int>(Action::UndoEdit);
      if (needed) {
        EXPECT_NE(std::find(reached.begin(), reached.end(), static_cast<Action>(a)), reached.end())
            << "action " << a << " in the " << (column == Column::Hex ? "hex" : "text") << " column";
      }
    }
  }
  for (const char* digits = "0123456789abcdefABCDEF"; *digits; ++digits) {
    EXPECT_EQ(interpret({*digits, false}, Column::Hex).hex_digit, std::stoi(std::string(1, *digits), nullptr, 16));
    EXPECT_EQ(interpret({*digits, false}, Column::Text).text, static_cast<char16_t>(*digits));
  }
  EXPECT_EQ(interpret({'q', false}, Column::Text).text, u'q');
  EXPECT_EQ(interpret({0xE9, false}, Column::Text).text, u'\u00E9');
}

TEST(EditorKeys, TheKeyLineFitsAnyWidthAndHelpNamesEveryKey) {
  for (const Column column : {Column::Hex, Column::Text})
    for (int width = 0; width <= 200; ++width)
      EXPECT_LE(key_line(width, column).size(), static_cast<std::size_t>(width));
  EXPECT_EQ(key_line(200, Column::Hex).rfind("? help  q quit  w write", 0), 0u) << key_line(200, Column::Hex);
  EXPECT_EQ(key_line(200, Column::Text).rfind("F1 help  ^Q quit  ^W write", 0), 0u) << key_line(200, Column::Text);
  std::string help;
  for (const auto& l : help_lines()) help += l + "\n";
  for (const char* word : {"fsinfo", "backup", "Tab", "Esc", "PgDn", "^F", "volumar undo", "u ", "X "})
    EXPECT_NE(help.find(word), std::string::npos) << word;
}

}  // namespace
}  // namespace volumar_tool
