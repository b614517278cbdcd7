// The terminal editor's curses screen.
#include "tools/volumar/editor/editor_screen.h"

#include <langinfo.h>
#include <wchar.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/user32/message_box.h"
#include "platform/utf8.h"

// Last: curses defines TRUE and FALSE as macros.
#include <curses.h>

namespace volumar_tool {
namespace {

constexpr int kRow = 16;
constexpr int kHeaderLines = 3;
constexpr int kEsc = 27;

bool is_enter(Key k) {
  return (!k.function && (k.code == '\n' || k.code == '\r')) || (k.function && k.code == KEY_ENTER);
}
bool is_backspace(Key k) {
  return (k.function && k.code == KEY_BACKSPACE) || (!k.function && (k.code == 127 || k.code == 8));
}
bool is_resize(Key k) { return k.function && k.code == KEY_RESIZE; }

void put_line(int y, const std::string& utf8_text, int attr = 0) {
  move(y, 0);
  clrtoeol();
  attron(attr);
  const std::u16string w = win::utf8_to_utf16(utf8_text);
  std::wstring wide(w.begin(), w.end());
  mvaddnwstr(y, 0, wide.c_str(), std::min(static_cast<int>(wide.size()), COLS));
  attroff(attr);
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> out(1);
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n')
      out.emplace_back();
    else
      out.back() += c;
  }
  if (out.back().empty() && out.size() > 1) out.pop_back();
  return out;
}

}  // namespace

EditorScreen::EditorScreen(const EditorModel& model, std::string title) : model_(model), title_(std::move(title)) {
  std::setlocale(LC_ALL, "");
  utf8_ = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  // Esc cancels at once rather than after the usual second.
  set_escdelay(25);
  initscr();
  raw();
  noecho();
  keypad(stdscr, TRUE);
  curs_set(0);
}

EditorScreen::~EditorScreen() { endwin(); }

Key EditorScreen::key() {
  wint_t c = 0;
  for (;;) {
    const int got = get_wch(&c);
    if (got == KEY_CODE_YES) return {static_cast<int>(c), true};
    if (got == OK) return {static_cast<int>(c), false};
  }
}

bool EditorScreen::resized(Key key) { return is_resize(key); }

void EditorScreen::repaint() { clearok(curscr, TRUE); }

std::optional<Key> EditorScreen::poll() {
  nodelay(stdscr, TRUE);
  wint_t c = 0;
  const int got = get_wch(&c);
  nodelay(stdscr, FALSE);
  if (got == ERR) return std::nullopt;
  return Key{static_cast<int>(c), got == KEY_CODE_YES};
}

void EditorScreen::draw(const std::string& busy) {
  erase();
  put_line(0, title_ + std::string(static_cast<std::size_t>(std::max(COLS, 1)), ' '), A_REVERSE);

  const EditorModel& m = model_;
  const SectorRange r = m.range();
  std::string where = m.volume().raw() ? "raw" : m.section() >= 0 ? section_name(m.section()) : "outside the sections";
  where += " " + std::to_string(r.first) + "-" + std::to_string(r.last) + "  Sector: " + std::to_string(m.sector());
  if (!m.volume().raw()) where += "  Cluster: " + (m.cluster() ? std::to_string(*m.cluster()) : std::string("-"));
  where += "  Byte: " + std::to_string(m.cursor()) + (m.column() == Column::Hex ? "  [hex]" : "  [text]");
  put_line(1, where);

  std::string line2 = busy.empty() ? m.message() : busy;
  if (const std::size_t n = m.changed_bytes(); n && busy.empty()) {
    const std::size_t sectors = m.changed_sectors().size();
    line2 = std::to_string(n) + " changed byte(s)" +
            (sectors > 1 ? " in " + std::to_string(sectors) + " sectors" : std::string()) + ", w writes" +
            (line2.empty() ? "" : "  |  " + line2);
  }
  put_line(2, line2);

  const int dump_width = 5 + 3 * kRow + 1 + kRow;
  const bool narrow = COLS < dump_width;
  const int rows = std::max(LINES - kHeaderLines - 1 - (narrow ? 1 : 0), 1);
  draw_rows(kHeaderLines, rows);
  if (narrow)
    put_line(LINES - 2, "(the terminal is narrower than the dump: " + std::to_string(dump_width) + " columns)");
  put_line(LINES - 1, key_line(COLS, m.column()));
  refresh();
}

void EditorScreen::draw_rows(int first_line, int lines) {
  const auto& bytes = model_.bytes();
  const int count = static_cast<int>((bytes.size() + kRow - 1) / kRow);
  const int cursor_row = static_cast<int>(model_.cursor() / kRow);
  top_ = std::clamp(top_, std::max(cursor_row - lines + 1, 0), cursor_row);
  for (int i = 0; i < lines && top_ + i < count; ++i) {
    const int row = top_ + i, y = first_line + i;
    char offset[16];
    std::snprintf(offset, sizeof offset, "%03X |", row * kRow);
    // Too narrow for both columns, the text column typed in stands alone.
    const bool text_alone =
        COLS < static_cast<int>(std::strlen(offset)) + 4 * kRow + 1 && model_.column() == Column::Text;
    const int hex_at = static_cast<int>(std::strlen(offset)), text_at = hex_at + (text_alone ? 0 : 3 * kRow + 1);
    mvaddnstr(y, 0, offset, COLS);
    if (!text_alone && text_at - 1 < COLS) mvaddch(y, text_at - 1, '|');
    for (int k = 0; k < kRow; ++k) {
      const std::size_t at = static_cast<std::size_t>(row) * kRow + static_cast<std::size_t>(k);
      if (at >= bytes.size()) break;
      const std::uint8_t b = bytes[at];
      const bool here = at == model_.cursor();
      const bool hex_active = model_.column() == Column::Hex;
      int attr = model_.changed_at(at) ? A_BOLD | A_UNDERLINE : 0;
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02X", b);
      attron(attr | (here ? (hex_active ? A_REVERSE : A_UNDERLINE) : 0));
      if (!text_alone) mvaddnstr(y, hex_at + 3 * k, hex, std::max(COLS - hex_at - 3 * k, 0));
      attroff(A_REVERSE | A_UNDERLINE | A_BOLD);
      const wchar_t c = b < 0x20 ? L'.' : static_cast<wchar_t>(win::ansi_char(b));
      const wchar_t shown = (c >= 0x20 && c < 0x7F) || (utf8_ && c >= 0xA0 && wcwidth(c) == 1) ? c : L'.';
      attron(attr | (here ? (hex_active ? A_UNDERLINE : A_REVERSE) : 0));
      if (text_at + k < COLS) mvaddnwstr(y, text_at + k, &shown, 1);
      attroff(A_REVERSE | A_UNDERLINE | A_BOLD);
    }
  }
}

int EditorScreen::dialog(const std::string& caption, const std::string& text, unsigned style) {
  std::vector<std::string> body = split_lines(text);
  const unsigned buttons = style & win::MB_BUTTONS_MASK;
  const bool yes_no = buttons == win::MB_YESNO || buttons == win::MB_YESNOCANCEL;
  const std::string footer = yes_no ? "[y] Yes   [n] No" : "[ OK ]";
  int scroll = 0;
  for (;;) {
    draw();
    int width = static_cast<int>(caption.size()) + 6;
    for (const auto& l : body) width = std::max(width, static_cast<int>(win::utf8_to_utf16(l).size()) + 4);
    width = std::min(width, std::max(COLS - 2, 10));
    const int room = std::max(LINES - 6, 1);  // body lines that fit between the borders and the footer
    const int shown = std::min(static_cast<int>(body.size()), room);
    scroll = std::clamp(scroll, 0, static_cast<int>(body.size()) - shown);
    const int height = shown + 4;
    WINDOW* w = newwin(height, width, std::max((LINES - height) / 2, 0), std::max((COLS - width) / 2, 0));
    if (!w) {
      // No room for a box: the question still wants its answer.
      const Key k = key();
      if (is_resize(k)) continue;
      return !yes_no ? win::IDOK : !k.function && (k.code == 'y' || k.code == 'Y') ? win::IDYES : win::IDNO;
    }
    keypad(w, TRUE);
    box(w, 0, 0);
    mvwaddnstr(w, 0, 2, (" " + caption + " ").c_str(), width - 4);
    for (int i = 0; i < shown; ++i) {
      const std::u16string l = win::utf8_to_utf16(body[static_cast<std::size_t>(scroll) + static_cast<std::size_t>(i)]);
      const std::wstring wide(l.begin(), l.end());
      mvwaddnwstr(w, i + 1, 2, wide.c_str(), std::min(static_cast<int>(wide.size()), width - 4));
    }
    const bool more = shown < static_cast<int>(body.size());
    mvwaddnstr(w, height - 2, 2, (footer + (more ? "   Up/Down scroll" : "")).c_str(), width - 4);
    wrefresh(w);
    wint_t c = 0;
    const int got = wget_wch(w, &c);
    delwin(w);
    touchwin(stdscr);
    const Key k{static_cast<int>(c), got == KEY_CODE_YES};
    if (got == ERR || is_resize(k)) continue;
    if (more && k.function && (k.code == KEY_UP || k.code == KEY_DOWN || k.code == KEY_PPAGE || k.code == KEY_NPAGE)) {
      scroll += (k.code == KEY_UP ? -1 : k.code == KEY_DOWN ? 1 : k.code == KEY_PPAGE ? -shown : shown);
      continue;
    }
    if (!yes_no) return win::IDOK;
    if (!k.function && (k.code == 'y' || k.code == 'Y')) return win::IDYES;
    if (!k.function && (k.code == 'n' || k.code == 'N' || k.code == kEsc)) return win::IDNO;
  }
}

std::optional<std::string> EditorScreen::prompt(const std::function<std::string()>& label,
                                                const std::function<void()>& on_tab) {
  std::u16string input;
  curs_set(1);
  for (;;) {
    draw();
    const std::string shown = label() + win::utf16_to_utf8(input);
    put_line(2, shown);
    move(2, std::min(static_cast<int>(win::utf8_to_utf16(shown).size()), COLS - 1));
    refresh();
    const Key k = key();
    if (is_resize(k)) continue;
    if (!k.function && k.code == kEsc) {
      curs_set(0);
      return std::nullopt;
    }
    if (is_enter(k)) {
      curs_set(0);
      return win::utf16_to_utf8(input);
    }
    if (is_backspace(k)) {
      if (!input.empty()) input.pop_back();
    } else if (!k.function && k.code == '\t') {
      if (on_tab) on_tab();
    } else if (!k.function && k.code >= 0x20 && k.code <= 0xFFFF && k.code != 0x7F) {
      input += static_cast<char16_t>(k.code);
    }
  }
}

}  // namespace volumar_tool
