// The terminal editor's key map.
#include "tools/volumar/editor/editor_keys.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

// Last: curses defines TRUE and FALSE as macros.
#include <curses.h>

namespace volumar_tool {
namespace {

constexpr Key fn(int code) { return {code, true}; }
constexpr Key ch(int code) { return {code, false}; }
constexpr Key ctrl(char c) { return {c & 0x1F, false}; }
constexpr int kTab = 9, kEsc = 27;

struct Binding {
  Action action;
  std::vector<int> letters;  // the hex column's own; the text column types them
  std::vector<Key> keys;     // in both columns
  const char* help;
};

const std::vector<Binding>& bindings() {
  static const std::vector<Binding> table = {
      {Action::Left, {}, {fn(KEY_LEFT), fn(KEY_BACKSPACE), ch(127), ch(8)}, "cursor one byte left"},
      {Action::Right, {}, {fn(KEY_RIGHT)}, "cursor one byte right"},
      {Action::Up, {}, {fn(KEY_UP)}, "cursor one row up"},
      {Action::Down, {}, {fn(KEY_DOWN)}, "cursor one row down"},
      {Action::Home, {}, {fn(KEY_HOME)}, "cursor to the sector's first byte"},
      {Action::End, {}, {fn(KEY_END)}, "cursor to the sector's last byte"},
      {Action::NextSector, {'n'}, {fn(KEY_NPAGE)}, "next sector of the section"},
      {Action::PreviousSector, {'p'}, {fn(KEY_PPAGE)}, "previous sector of the section"},
      {Action::NextCluster, {'N'}, {}, "a cluster forward"},
      {Action::PreviousCluster, {'P'}, {}, "a cluster back"},
      {Action::LastCluster, {'L'}, {}, "the volume's last cluster"},
      {Action::NextSection, {'s'}, {}, "next disk section (boot, FAT 1, FAT 2, root, data)"},
      {Action::PreviousSection, {'S'}, {}, "previous disk section"},
      {Action::GoTo, {'g'}, {ctrl('G')}, "go to a sector: 123, 0x7B, boot, fsinfo or backup"},
      {Action::GoToCluster, {'j'}, {}, "go to a cluster: 123 or 0x7B"},
      {Action::FindFreeFirst, {'u'}, {}, "first free cluster"},
      {Action::FindFreeNext, {'U'}, {}, "next free cluster"},
      {Action::FindBadFirst, {'x'}, {}, "first bad cluster"},
      {Action::FindBadNext, {'X'}, {}, "next bad cluster"},
      {Action::MarkBad, {'m'}, {}, "mark the current cluster bad in every FAT copy (asks)"},
      {Action::MarkFree, {'M'}, {}, "mark the current cluster free in every FAT copy (asks)"},
      {Action::SearchForward,
       {'/'},
       {ctrl('F')},
       "search forward: hex bytes (55 AA) or text (\"quoted\" if it looks hex)"},
      {Action::SearchBackward, {'\\'}, {ctrl('R')}, "search backward; in the prompt Tab switches section/volume"},
      {Action::SearchNext, {'>'}, {ctrl('N')}, "the search again, forward"},
      {Action::SearchPrevious, {'<'}, {ctrl('P')}, "the search again, backward"},
      {Action::ToggleColumn, {}, {ch(kTab), fn(KEY_BTAB)}, "type in the hex or the text column"},
      {Action::Cancel,
       {},
       {ch(kEsc)},
       "back to the hex column, a half-typed byte as it was; in a prompt or box: cancel"},
      {Action::Write, {'w'}, {ctrl('W')}, "write the changed sectors (asks; undo later with volumar undo)"},
      {Action::UndoEdit, {'z'}, {ctrl('Z')}, "undo the last byte edit, written or not"},
      {Action::DiscardChanges, {'Z'}, {}, "drop every unwritten change"},
      {Action::Help, {'?'}, {fn(KEY_F(1))}, "this help"},
      {Action::Redraw, {}, {ctrl('L')}, "redraw the screen"},
      {Action::Quit, {'q'}, {ctrl('Q')}, "quit (asks about unwritten changes)"},
  };
  return table;
}

const Binding& binding(Action a) {
  return *std::find_if(bindings().begin(), bindings().end(), [a](const Binding& b) { return b.action == a; });
}

std::string name(Key k) {
  if (k.function) {
    switch (k.code) {
      case KEY_LEFT: return "Left";
      case KEY_RIGHT: return "Right";
      case KEY_UP: return "Up";
      case KEY_DOWN: return "Down";
      case KEY_HOME: return "Home";
      case KEY_END: return "End";
      case KEY_NPAGE: return "PgDn";
      case KEY_PPAGE: return "PgUp";
      case KEY_BACKSPACE: return "Backspace";
      case KEY_F(1): return "F1";
      default: return {};  // a second name of a key already named
    }
  }
  if (k.code == kTab) return "Tab";
  if (k.code == kEsc) return "Esc";
  if (k.code == 8 || k.code == 127) return {};
  if (k.code < 32) return std::string("^") + static_cast<char>('@' + k.code);
  return std::string(1, static_cast<char>(k.code));
}

// The name of the key that does `a` in the column; empty when none does.
std::string key_for(Action a, Column column) {
  const Binding& b = binding(a);
  if (column == Column::Hex && !b.letters.empty()) return name(ch(b.letters.front()));
  return b.keys.empty() ? std::string() : name(b.keys.front());
}

}  // namespace

KeyMeaning interpret(Key key, Column column) {
  KeyMeaning m;
  if (!key.function && column == Column::Hex && key.code < 128 && std::isxdigit(key.code)) {
    m.hex_digit = std::isdigit(key.code) ? key.code - '0' : std::tolower(key.code) - 'a' + 10;
    return m;
  }
  if (!key.function && column == Column::Text && key.code >= 0x20 && key.code != 0x7F && key.code <= 0xFFFF) {
    m.text = static_cast<char16_t>(key.code);
    return m;
  }
  for (const Binding& b : bindings()) {
    const bool letter = !key.function && column == Column::Hex &&
                        std::find(b.letters.begin(), b.letters.end(), key.code) != b.letters.end();
    if (letter || std::find(b.keys.begin(), b.keys.end(), key) != b.keys.end()) {
      m.action = b.action;
      return m;
    }
  }
  return m;
}

std::vector<std::string> help_lines() {
  std::vector<std::string> out{"Hex column: the letters below; 0-9 a-f type over the byte at the cursor.",
                               "Text column: characters type over bytes; only the keys after the letters work.", ""};
  for (const Binding& b : bindings()) {
    std::string keys;
    for (int letter : b.letters) keys += name(ch(letter)) + " ";
    for (Key k : b.keys)
      if (!name(k).empty()) keys += name(k) + " ";
    char line[160];
    std::snprintf(line, sizeof line, "%-18s %s", keys.c_str(), b.help);
    out.push_back(line);
  }
  out.push_back("");
  out.push_back("Esc cancels any prompt or question; a running search stops with Esc.");
  return out;
}

std::string key_line(int width, Column column) {
  const struct {
    std::vector<Action> actions;
    const char* label;
  } entries[] = {{{Action::Help}, "help"},
                 {{Action::Quit}, "quit"},
                 {{Action::Write}, "write"},
                 {{Action::UndoEdit}, "undo"},
                 {{Action::ToggleColumn}, column == Column::Hex ? "text column" : "hex column"},
                 {{Action::SearchForward, Action::SearchBackward}, "search"},
                 {{Action::SearchNext, Action::SearchPrevious}, "again"},
                 {{Action::GoTo}, "go to"},
                 {{Action::NextSector, Action::PreviousSector}, "sector"},
                 {{Action::NextCluster, Action::PreviousCluster}, "cluster"},
                 {{Action::NextSection, Action::PreviousSection}, "section"},
                 {{Action::GoToCluster}, "cluster#"},
                 {{Action::FindFreeFirst, Action::FindBadFirst}, "free/bad"},
                 {{Action::MarkBad, Action::MarkFree}, "mark bad/free"}};
  std::string line;
  for (const auto& e : entries) {
    std::vector<std::string> keys;
    for (Action a : e.actions)
      if (const std::string k = key_for(a, column); !k.empty()) keys.push_back(k);
    if (keys.size() != e.actions.size()) continue;
    const bool slashed = std::any_of(keys.begin(), keys.end(), [](const std::string& k) { return k == "/"; });
    std::string joined;
    for (const auto& k : keys) joined += (joined.empty() ? "" : slashed ? " " : "/") + k;
    const std::string item = (line.empty() ? "" : "  ") + joined + " " + e.label;
    if (static_cast<int>(line.size() + item.size()) > width) continue;
    line += item;
  }
  return line;
}

}  // namespace volumar_tool
