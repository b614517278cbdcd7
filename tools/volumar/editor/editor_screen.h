// The terminal editor's curses screen: draws the model (title, where the
// editor stands, changes and messages, the sector's rows with the cursor in
// both columns, the key line), and runs the modal parts: boxes, prompts and
// polling for a key during long work. Everything redraws on a resize.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "tools/volumar/editor/editor_keys.h"
#include "tools/volumar/editor/editor_model.h"

namespace volumar_tool {

class EditorScreen {
 public:
  EditorScreen(const EditorModel& model, std::string title);
  ~EditorScreen();
  EditorScreen(const EditorScreen&) = delete;
  EditorScreen& operator=(const EditorScreen&) = delete;

  // `busy`, when given, stands in the message line (a search's progress).
  void draw(const std::string& busy = {});
  Key key();
  static bool resized(Key key);
  // The next draw paints every cell again.
  void repaint();
  // A key if one is waiting, without blocking.
  std::optional<Key> poll();
  // A message box: y/n answer the yes-no styles (Esc is no), any key
  // closes the others; a long text scrolls. Returns IDYES, IDNO or IDOK.
  int dialog(const std::string& caption, const std::string& text, unsigned style);
  // A line of input on the message line; nullopt when Esc cancels it.
  // Tab calls on_tab (the label is asked again afterwards).
  std::optional<std::string> prompt(const std::function<std::string()>& label,
                                    const std::function<void()>& on_tab = {});

 private:
  void draw_rows(int first_line, int lines);
  const EditorModel& model_;
  std::string title_;
  bool utf8_ = false;
  int top_ = 0;
};

}  // namespace volumar_tool
