// The terminal sector editor.
#include "tools/volumar/editor/terminal_editor.h"

#include <langinfo.h>
#include <unistd.h>
#include <wchar.h>

#include <clocale>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "drw/drw_enumerations.h"
#include "drw/hex_dump.h"
#include "platform/ansi_code_page.h"
#include "platform/automation/automation_error.h"
#include "platform/automation/variant_conversion.h"
#include "platform/drive_map.h"
#include "platform/user32/message_box.h"
#include "platform/volume_shortfall.h"
#include "tools/volumar/editor/editor_controls.h"
#include "tools/volumar/host/editor_session.h"
#include "tools/volumar/host/far_sectors.h"
#include "tools/volumar/host/message_box_printer.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/write_guard.h"

// Last: curses defines TRUE and FALSE as macros.
#include <curses.h>

namespace volumar_tool {
namespace {

// DRWFindClusterConstants
constexpr int kRow = 16;
constexpr int kHeaderRows = 3;
const char* const kHelp =
    "n/p sector  N/P cluster  L last  s/S section  g sector#  j cluster#  u/U free  x/X bad  m/M mark bad/free  "
    "0-9a-f edit  w write  z undo  ? help  q quit";

const char* const kHelpLines[] = {
    "arrows, Home, End   move the byte cursor",
    "n p  PgDn PgUp      next / previous sector",
    "N P                 next / previous cluster;  L  last cluster",
    "s S                 next / previous disk section",
    "g  j                go to a sector / a cluster",
    "u U                 first / next free cluster",
    "x X                 first / next bad cluster",
    "m M                 mark the current cluster bad / free",
    "0-9 a-f             type hex digits over the byte at the cursor",
    "w                   write the changed bytes (asks first);  z  undo the changes",
    "q                   quit",
};

// Leaves the terminal as it found it, whatever ends the editor.
struct CursesScreen {
  CursesScreen() {
    std::setlocale(LC_ALL, "");
    utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    initscr();
    raw();
    noecho();
    keypad(stdscr, TRUE);
    curs_set(0);
  }
  ~CursesScreen() { endwin(); }
  bool utf8 = false;
};

class TerminalEditor {
 public:
  TerminalEditor(EditorSession& session, bool force, bool utf8)
      : s_(session),
        force_(force),
        utf8_(utf8),
        text_(std::make_shared<TextControl>()),
        form_(std::make_shared<EditorForm>()) {}

  int run() {
    win::set_message_box_sink([this](const win::MessageBoxRequest& box) {
      record_box(box);
      return dialog(ansi_to_utf8(box.caption), ansi_to_utf8(box.text), box.style);
    });
    if (!s_.raw()) size_form();
    section_ = 0;
    if (!s_.raw())
      guarded([&] {
        s_.put(u"DiskSectionPP", win::Variant(std::int32_t{0}));
        s_.put(u"ClusterFoundPP", win::Variant(std::int32_t{0}));
      });
    show();
    for (;;) {
      draw();
      const int key = getch();
      if (key == 'q' || key == 27) {
        if (!discard_changes()) continue;
        break;
      }
      handle(key);
    }
    install_message_box_printer();
    return 0;
  }

 private:
  // Runs a step of the library, turning its errors into a message.
  template <class F>
  bool guarded(F&& f) {
    try {
      f();
      return true;
    } catch (const win::AutomationError& e) {
      message_ = "error " + std::to_string(e.number()) + ": " + ansi_to_utf8(e.description());
    } catch (const ToolError& e) {
      message_ = e.what();
    }
    return false;
  }

  void size_form() {
    form_->height = LINES;
    form_->width = COLS;
    guarded([&] {
      s_.call(u"SizeDRWForm", {win::Variant(win::ObjectRef(form_)), win::Variant(win::ObjectRef(text_))});
    });
  }

  // The current sector through the editor into the text control; its bytes
  // are read back from the dump text.
  void show() {
    const std::uint64_t shortfalls = win::volume_shortfalls();
    guarded([&] {
      if (!s_.raw()) sector_ = s_.get_long(u"ClusterFoundPP");
      // Past the library's 2 GiB reach, and in raw mode, the bytes come
      // through the session and the dump from the library's own dump lines.
      if (s_.raw() || beyond_library_reach(sector_, 1, s_.bytes_per_sector())) {
        const auto bytes = s_.read_sectors(sector_, 1);
        text_->text = volumar::hex_dump(bytes, static_cast<volumar::Long>(bytes.size()));
      } else {
        s_.call(u"ShowSectorInEditControlPP", {win::Variant(win::ObjectRef(text_)), win::Variant(false)});
        sector_ = s_.get_long(u"ClusterFoundPP");  // the member keeps it inside the section
      }
    });
    lines_.clear();
    // The library pads what the image does not hold with zeros: no data to
    // show or edit.
    if (win::volume_shortfalls() != shortfalls) {
      message_ = "sector " + std::to_string(sector_) + " lies past the end of the image or device";
      bytes_.clear();
      edited_.clear();
      cursor_ = 0;
      return;
    }
    const std::u16string& dump = text_->text;
    for (std::size_t start = 0, at; (at = dump.find(u"\r\n", start)) != std::u16string::npos; start = at + 2)
      lines_.push_back(dump.substr(start, at - start));
    bytes_.clear();
    for (const auto& line : lines_) {
      const auto bar = line.find(u'|');
      for (int k = 0; k < kRow && bar != std::u16string::npos; ++k) {
        const std::string hex = utf8(line.substr(bar + 1 + 3 * k, 2));
        bytes_.push_back(static_cast<std::uint8_t>(std::stoi(hex, nullptr, 16)));
      }
    }
    edited_ = bytes_;
    nibble_ = 0;
    if (cursor_ >= bytes_.size()) cursor_ = 0;
  }

  std::size_t changed_count() const {
    std::size_t n = 0;
    for (std::size_t i = 0; i < bytes_.size(); ++i) n += bytes_[i] != edited_[i];
    return n;
  }

  bool discard_changes() {
    const std::size_t n = changed_count();
    if (n == 0) return true;
    return dialog("volumar", "Discard " + std::to_string(n) + " changed bytes?", win::MB_YESNO) == win::IDYES;
  }

  // Runs a move; the editor shows the sector it lands on.
  void navigate(const char16_t* member) {
    if (!discard_changes()) return;
    if (s_.raw()) {
      const std::u16string m = member;
      const std::int64_t to = m == u"NextSectorPP" ? sector_ + 1 : m == u"PreviousSectorPP" ? sector_ - 1 : -1;
      if (to < 0 || to >= s_.total_sectors()) {
        message_ = m.find(u"Sector") == std::u16string::npos ? "raw mode has no clusters" : "no sector there";
        return;
      }
      sector_ = to;
    } else {
      guarded([&] { s_.call(member); });
    }
    show();
  }

  void set_section(int section) {
    if (s_.raw()) {
      message_ = "raw mode has no sections";
      return;
    }
    if (!discard_changes()) return;
    section_ = (section + kSectionCount) % kSectionCount;
    guarded([&] { s_.put(u"DiskSectionPP", win::Variant(static_cast<std::int32_t>(section_))); });
    show();
  }

  void go_to_sector(std::int64_t sector) {
    if (sector < 0 || sector >= s_.total_sectors()) {
      message_ = "sector " + std::to_string(sector) + " is outside the volume";
      return;
    }
    if (s_.raw()) {
      if (!discard_changes()) return;
      sector_ = sector;
      show();
      return;
    }
    const int section = s_.section_of(sector);
    if (section < 0) {
      message_ = "sector " + std::to_string(sector) + " lies in no disk section";
      return;
    }
    if (!discard_changes()) return;
    section_ = section;
    guarded([&] {
      s_.put(u"DiskSectionPP", win::Variant(static_cast<std::int32_t>(section)));
      s_.put(u"ClusterFoundPP", win::Variant(static_cast<std::int32_t>(sector)));
    });
    show();
  }

  void find(std::int32_t action) {
    if (s_.raw()) {
      message_ = "raw mode has no FAT to search";
      return;
    }
    if (!discard_changes()) return;
    guarded([&] {
      if (win::to_string(s_.call(u"FindCluster", {win::Variant(action)})).empty()) section_ = 4;
    });
    show();
  }

  void mark(bool bad) {
    if (s_.raw()) {
      message_ = "raw mode has no FAT to mark";
      return;
    }
    if (!discard_changes()) return;
    const auto in_cluster = s_.geometry().cluster_of(static_cast<std::uint64_t>(sector_));
    if (!in_cluster) {
      message_ = "the current sector is not in a cluster of the data area";
      return;
    }
    const auto cluster = static_cast<std::int64_t>(*in_cluster);
    if (!writable()) return;
    if (dialog("volumar", "Mark cluster " + std::to_string(cluster) + " as " + (bad ? "bad" : "free") + "?",
               win::MB_YESNO) != win::IDYES)
      return;
    guarded([&] {
      if (win::to_string(s_.call(u"FindCluster", {win::Variant(bad ? volumar::drwFindClusterFreeMarkBad
                                                                   : volumar::drwFindClusterBadMarkFree)}))
              .empty())
        message_ = "cluster " + std::to_string(cluster) + " marked " + (bad ? "bad" : "free");
    });
    section_ = 4;
    show();
  }

  bool writable() {
    try {
      refuse_if_mounted(s_.letter(), force_);
      return true;
    } catch (const ToolError& e) {
      dialog("volumar", e.what(), win::MB_OK | win::MB_ICONHAND);
      return false;
    }
  }

  void write() {
    const std::size_t n = changed_count();
    if (n == 0) {
      message_ = "nothing changed";
      return;
    }
    if (!writable()) return;
    if (dialog("volumar", "Write " + std::to_string(n) + " changed bytes to sector " + std::to_string(sector_) + "?",
               win::MB_YESNO) != win::IDYES)
      return;
    bool written = false;
    guarded([&] { written = s_.write_sectors(sector_, edited_); });
    if (!written) {
      // The changes stay, to be written again or discarded.
      dialog(
          "volumar",
          win::DriveMap::is_read_only(s_.letter()) ? "Nothing written: the volume is read-only." : "The write failed.",
          win::MB_OK | win::MB_ICONHAND);
      return;
    }
    message_ = "wrote " + std::to_string(n) + " bytes to sector " + std::to_string(sector_);
    const std::size_t keep = cursor_;
    show();
    cursor_ = keep;
  }

  std::optional<std::int64_t> ask_number(const std::string& label) {
    move(2, 0);
    clrtoeol();
    mvaddstr(2, 0, label.c_str());
    echo();
    curs_set(1);
    char buf[32] = {};
    getnstr(buf, sizeof buf - 1);
    noecho();
    curs_set(0);
    try {
      std::size_t used = 0;
      const long long v = std::stoll(buf, &used, 0);
      if (used == std::strlen(buf)) return v;
    } catch (const std::exception&) {
    }
    message_ = "not a number";
    return std::nullopt;
  }

  void type_digit(int digit) {
    if (bytes_.empty()) return;
    std::uint8_t& b = edited_[cursor_];
    if (nibble_ == 0) {
      b = static_cast<std::uint8_t>(digit << 4 | (b & 0x0F));
      nibble_ = 1;
    } else {
      b = static_cast<std::uint8_t>((b & 0xF0) | digit);
      nibble_ = 0;
      if (cursor_ + 1 < edited_.size()) ++cursor_;
    }
  }

  void handle(int key) {
    message_.clear();
    const std::size_t size = bytes_.size();
    auto step_cursor = [&](long delta) {
      const long next = static_cast<long>(cursor_) + delta;
      if (next >= 0 && static_cast<std::size_t>(next) < size) cursor_ = static_cast<std::size_t>(next);
      nibble_ = 0;
    };
    if (std::isxdigit(key) && key < 128) {
      type_digit(std::isdigit(key) ? key - '0' : std::tolower(key) - 'a' + 10);
      return;
    }
    switch (key) {
      case KEY_LEFT: step_cursor(-1); break;
      case KEY_RIGHT: step_cursor(1); break;
      case KEY_UP: step_cursor(-kRow); break;
      case KEY_DOWN: step_cursor(kRow); break;
      case KEY_HOME:
        cursor_ = 0;
        nibble_ = 0;
        break;
      case KEY_END:
        cursor_ = size ? size - 1 : 0;
        nibble_ = 0;
        break;
      case 'n':
      case KEY_NPAGE: navigate(u"NextSectorPP"); break;
      case 'p':
      case KEY_PPAGE: navigate(u"PreviousSectorPP"); break;
      case 'N': navigate(u"NextClusterPP"); break;
      case 'P': navigate(u"PreviousClusterPP"); break;
      case 'L': navigate(u"LastClusterPP"); break;
      case 's': set_section(section_ + 1); break;
      case 'S': set_section(section_ - 1); break;
      case 'g':
        if (auto n = ask_number("Go to sector: ")) go_to_sector(*n);
        break;
      case 'j':
        if (auto c = ask_number("Go to cluster: ")) {
          if (*c < 0 || !s_.geometry().has_cluster(static_cast<std::uint64_t>(*c)))
            message_ = "cluster " + std::to_string(*c) + " is outside the volume";
          else
            go_to_sector(static_cast<std::int64_t>(s_.geometry().sector_of(static_cast<std::uint64_t>(*c))));
        }
        break;
      case 'u': find(volumar::drwFindClusterFreeFindFirst); break;
      case 'U': find(volumar::drwFindClusterFreeFindNext); break;
      case 'x': find(volumar::drwFindClusterBadFindFirst); break;
      case 'X': find(volumar::drwFindClusterBadFindNext); break;
      case 'm': mark(true); break;
      case 'M': mark(false); break;
      case 'w': write(); break;
      case 'z':
        edited_ = bytes_;
        nibble_ = 0;
        message_ = "changes undone";
        break;
      case '?': help(); break;
      case KEY_RESIZE: size_form(); break;
      default: break;
    }
  }

  void help() {
    std::string text;
    for (const char* line : kHelpLines) text += std::string(line) + "\n";
    dialog("volumar edit: keys", text, win::MB_OK);
  }

  // A modal box; y/n for the yes-no styles, any key closes the others.
  int dialog(const std::string& caption, const std::string& text, unsigned style) {
    std::vector<std::string> body;
    std::string line;
    for (char c : text) {
      if (c == '\r') continue;
      if (c == '\n') {
        body.push_back(line);
        line.clear();
      } else {
        line += c;
      }
    }
    if (!line.empty()) body.push_back(line);
    const bool yes_no =
        (style & win::MB_BUTTONS_MASK) == win::MB_YESNO || (style & win::MB_BUTTONS_MASK) == win::MB_YESNOCANCEL;
    body.push_back("");
    body.push_back(yes_no ? "[y] Yes   [n] No" : "[ OK ]");
    int width = static_cast<int>(caption.size()) + 4;
    for (const auto& l : body) width = std::max(width, static_cast<int>(l.size()) + 4);
    width = std::min(width, std::max(COLS - 2, 10));
    const int height = std::min(static_cast<int>(body.size()) + 2, std::max(LINES - 2, 3));
    WINDOW* w = newwin(height, width, std::max((LINES - height) / 2, 0), std::max((COLS - width) / 2, 0));
    box(w, 0, 0);
    mvwaddnstr(w, 0, 2, (" " + caption + " ").c_str(), width - 4);
    for (int i = 0; i < static_cast<int>(body.size()) && i + 1 < height - 1; ++i)
      mvwaddnstr(w, i + 1, 2, body[i].c_str(), width - 4);
    wrefresh(w);
    int answer = win::IDOK;
    for (;;) {
      const int key = wgetch(w);
      if (!yes_no) break;
      if (key == 'y' || key == 'Y') {
        answer = win::IDYES;
        break;
      }
      if (key == 'n' || key == 'N' || key == 27) {
        answer = win::IDNO;
        break;
      }
    }
    delwin(w);
    touchwin(stdscr);
    return answer;
  }

  std::wstring shown(const std::u16string& text) const {
    std::wstring out;
    for (char16_t c : text) {
      const wchar_t w = static_cast<wchar_t>(c);
      out += (c < 0x80 && c >= 0x20) || (utf8_ && wcwidth(w) == 1) ? w : L'.';
    }
    return out;
  }

  void draw() {
    erase();
    std::string title = " volumar edit  " + std::string(1, s_.letter()) + ": " + s_.fs_type();
    if (win::DriveMap::is_read_only(s_.letter())) title += "  [read-only]";
    attron(A_REVERSE);
    mvaddnstr(0, 0, (title + std::string(static_cast<std::size_t>(std::max(COLS, 1)), ' ')).c_str(), COLS);
    attroff(A_REVERSE);

    std::string status, location, caption;
    std::int64_t min = 0, max = 0, cluster = 0;
    if (!s_.raw())
      guarded([&] {
        min = s_.get_long(u"MinSectorPP");
        max = s_.get_long(u"MaxSectorPP");
        cluster = s_.get_long(u"LogicalClusterPP");
        location = utf8(win::to_string(s_.call(u"SectorDataLocation")));
        caption = utf8(win::to_string(s_.get(u"CaptionPP")));
      });
    status = s_.raw() ? "raw 0-" + std::to_string(s_.total_sectors() - 1) + "  Sector: " + std::to_string(sector_) +
                            "  Byte: " + std::to_string(cursor_)
                      : section_name(section_) + " " + std::to_string(min) + "-" + std::to_string(max) +
                            "  Sector: " + std::to_string(sector_) + "  Cluster: " + std::to_string(cluster) +
                            "  Byte: " + std::to_string(cursor_) + "  [" + location + "]";
    mvaddnstr(1, 0, status.c_str(), COLS);
    const std::size_t changes = changed_count();
    std::string line2 = !message_.empty() ? message_ : caption;
    if (changes)
      line2 = std::to_string(changes) + " changed byte(s), w writes" + (line2.empty() ? "" : "  |  " + line2);
    mvaddnstr(2, 0, line2.c_str(), COLS);

    const int visible = std::max(LINES - kHeaderRows - 1, 1);
    const int cursor_line = static_cast<int>(cursor_ / kRow);
    if (cursor_line < top_) top_ = cursor_line;
    if (cursor_line >= top_ + visible) top_ = cursor_line - visible + 1;
    for (int i = 0; i < visible && top_ + i < static_cast<int>(lines_.size()); ++i) {
      const int r = top_ + i;
      const std::u16string& line = lines_[static_cast<std::size_t>(r)];
      const int y = kHeaderRows + i;
      const std::wstring w = shown(line);
      mvaddnwstr(y, 0, w.c_str(), std::min(static_cast<int>(w.size()), COLS));
      const int hex_at = static_cast<int>(line.find(u'|')) + 1;
      const int text_at = hex_at + 3 * kRow + 1;
      for (int k = 0; k < kRow; ++k) {
        const std::size_t at = static_cast<std::size_t>(r) * kRow + static_cast<std::size_t>(k);
        if (at >= edited_.size()) break;
        const bool changed = edited_[at] != bytes_[at];
        const bool here = at == cursor_;
        if (!changed && !here) continue;
        const int attr = (changed ? A_BOLD | A_UNDERLINE : 0) | (here ? A_REVERSE : 0);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", edited_[at]);
        attron(attr);
        mvaddstr(y, hex_at + 3 * k, hex);
        const std::u16string ch(1, edited_[at] < 0x20 ? u'.' : win::ansi_char(edited_[at]));
        mvaddnwstr(y, text_at + k, shown(ch).c_str(), 1);
        attroff(attr);
      }
    }
    if (text_->width > COLS) mvaddnstr(LINES - 2, 0, "(the terminal is narrower than the dump)", COLS);
    mvaddnstr(LINES - 1, 0, kHelp, COLS);
    refresh();
  }

  EditorSession& s_;
  bool force_;
  bool utf8_;
  std::shared_ptr<TextControl> text_;
  std::shared_ptr<EditorForm> form_;
  std::vector<std::u16string> lines_;
  std::vector<std::uint8_t> bytes_, edited_;
  std::size_t cursor_ = 0;
  int nibble_ = 0;
  int top_ = 0;
  int section_ = 0;
  std::int64_t sector_ = 0;
  std::string message_;
};

}  // namespace

int run_terminal_editor(char letter, bool force, bool raw) {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) usage_error("edit needs a terminal");
  EditorSession session = raw ? EditorSession(letter, EditorSession::Raw{}) : EditorSession(letter);
  if (!raw) session.require_fat();
  CursesScreen screen;
  TerminalEditor editor(session, force, screen.utf8);
  return editor.run();
}

}  // namespace volumar_tool
