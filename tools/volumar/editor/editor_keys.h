// The terminal editor's key map: what each key does in the hex and the
// text column, the help that lists every key, and the key line that fits
// the terminal's width. One table holds all three, so they cannot disagree.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "tools/volumar/editor/editor_model.h"

namespace volumar_tool {

enum class Action {
  Left,
  Right,
  Up,
  Down,
  Home,
  End,
  NextSector,
  PreviousSector,
  NextCluster,
  PreviousCluster,
  LastCluster,
  NextSection,
  PreviousSection,
  GoTo,
  GoToCluster,
  FindFreeFirst,
  FindFreeNext,
  FindBadFirst,
  FindBadNext,
  MarkBad,
  MarkFree,
  SearchForward,
  SearchBackward,
  SearchNext,
  SearchPrevious,
  ToggleColumn,
  Cancel,
  Write,
  UndoEdit,
  DiscardChanges,
  Help,
  Redraw,
  Quit,
};

// A key as curses reports it: a character, or a function key's KEY_ code.
struct Key {
  int code = 0;
  bool function = false;
  bool operator==(const Key&) const = default;
};

// What a key means in a column: an action, or a hex digit or a character
// to type over the byte at the cursor; none of them for an unbound key.
struct KeyMeaning {
  std::optional<Action> action;
  int hex_digit = -1;
  std::optional<char16_t> text;
};

KeyMeaning interpret(Key key, Column column);

// Every binding, one line each: the keys, then what they do.
std::vector<std::string> help_lines();

// The most useful keys of the column that fit in `width` characters.
std::string key_line(int width, Column column);

}  // namespace volumar_tool
