// The terminal sector editor: keys through the key map into the model, the
// questions before a write, a mark or a quit, and the search's progress.
#include "tools/volumar/editor/terminal_editor.h"

#include <unistd.h>

#include <chrono>

#include "drw/drw_enumerations.h"
#include "platform/drive_map.h"
#include "platform/user32/message_box.h"
#include "tools/volumar/editor/editor_keys.h"
#include "tools/volumar/editor/editor_model.h"
#include "tools/volumar/editor/editor_screen.h"
#include "tools/volumar/editor/session_volume.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/message_box_printer.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/write_guard.h"
#include "tools/volumar/journal/write_journal.h"

namespace volumar_tool {
namespace {

// Sectors read between two looks at the keyboard during a search.
constexpr std::int64_t kSearchChunk = 256;
constexpr int kEsc = 27;

class TerminalEditor {
 public:
  TerminalEditor(EditorSession& session, EditorModel& model, EditorScreen& screen, bool force)
      : s_(session), m_(model), screen_(screen), force_(force) {}

  int run() {
    // The library's boxes are dialogs while the screen lives, printed again after.
    struct Sink {
      ~Sink() { install_message_box_printer(); }
    } sink;
    win::set_message_box_sink([this](const win::MessageBoxRequest& box) {
      record_box(box);
      return screen_.dialog(ansi_to_utf8(box.caption), ansi_to_utf8(box.text), box.style);
    });
    for (bool done = false; !done;) {
      screen_.draw();
      const Key key = screen_.key();
      if (EditorScreen::resized(key)) continue;
      m_.set_message({});
      done = handle(key);
    }
    return 0;
  }

 private:
  bool ask(const std::string& question) { return screen_.dialog("volumar", question, win::MB_YESNO) == win::IDYES; }

  bool writable() {
    try {
      refuse_if_mounted(s_.letter(), force_);
      return true;
    } catch (const ToolError& e) {
      screen_.dialog("volumar", e.what(), win::MB_OK | win::MB_ICONHAND);
      return false;
    }
  }

  bool no_unwritten_changes() {
    const std::size_t n = m_.changed_bytes();
    if (n == 0) return true;
    if (!ask("Discard " + std::to_string(n) + " changed bytes?")) return false;
    m_.discard_changes();
    return true;
  }

  void write() {
    const std::size_t n = m_.changed_bytes();
    if (n == 0) {
      m_.set_message("nothing changed");
      return;
    }
    const auto sectors = m_.changed_sectors();
    std::string list;
    for (std::size_t i = 0; i < sectors.size(); ++i) list += (i ? ", " : "") + std::to_string(sectors[i]);
    if (!writable() || !ask("Write " + std::to_string(n) + " changed bytes to sector" +
                            (sectors.size() > 1 ? "s " : " ") + list + "?"))
      return;
    if (m_.write_changes()) return;
    // The changes that did not reach the volume stay, to be written again or discarded.
    std::string why = "The write failed.";
    if (win::DriveMap::is_read_only(s_.letter()))
      why = "Nothing written: the volume is read-only.";
    else if (const auto refusal = journal_refusal())
      why = "Nothing written: " + *refusal;
    screen_.dialog("volumar", why + "\n" + m_.message(), win::MB_OK | win::MB_ICONHAND);
  }

  void mark(bool bad) {
    const auto cluster = m_.cluster_to_mark();
    if (!cluster || !no_unwritten_changes() || !writable()) return;
    const std::string what = std::to_string(*cluster);
    if (!ask("Mark cluster " + what + " as " + (bad ? "bad" : "free") + "?")) return;
    if (m_.find_cluster(bad ? volumar::drwFindClusterFreeMarkBad : volumar::drwFindClusterBadMarkFree))
      m_.set_message("cluster " + what + " marked " + (bad ? "bad" : "free"));
  }

  void go_to(bool cluster) {
    const auto target = screen_.prompt(
        [cluster] { return cluster ? "Go to cluster: " : "Go to sector (number, 0x.., boot, fsinfo, backup): "; });
    if (!target) return;
    if (cluster)
      m_.go_to_cluster(*target);
    else
      m_.go_to(*target);
  }

  void search(bool forward) {
    SearchQuery q;
    q.forward = forward;
    if (m_.last_search()) q.scope = m_.last_search()->scope;
    const auto text = screen_.prompt(
        [&] {
          return std::string("Search ") + (forward ? "forward" : "backward") + " in " +
                 (q.scope == SearchScope::Volume ? "the volume" : "this section") +
                 " (Tab switches; hex bytes or text): ";
        },
        [&] { q.scope = q.scope == SearchScope::Volume ? SearchScope::Section : SearchScope::Volume; });
    if (!text) return;
    std::string why;
    const auto bytes = parse_search_pattern(*text, why);
    if (!bytes) {
      m_.set_message(why);
      return;
    }
    q.bytes = *bytes;
    m_.start_search(q);
    run_search();
  }

  void run_search() {
    using clock = std::chrono::steady_clock;
    auto shown = clock::now() - std::chrono::seconds(1);
    while (m_.searching()) {
      m_.search_step(kSearchChunk);
      if (const auto k = screen_.poll(); k && !k->function && (k->code == kEsc || k->code == 'q' || k->code == 3)) {
        m_.cancel_search();
        break;
      }
      if (clock::now() - shown < std::chrono::milliseconds(100) || !m_.searching()) continue;
      const SearchProgress p = m_.search_progress();
      const auto percent = p.total ? p.done * 100 / p.total : 0;
      screen_.draw("searching: " + std::to_string(percent) + "% (sector " + std::to_string(p.at) + ", " +
                   std::to_string(p.done) + " of " + std::to_string(p.total) + " sectors)  Esc stops");
      shown = clock::now();
    }
  }

  // True when the editor ends.
  bool handle(Key key) {
    const KeyMeaning k = interpret(key, m_.column());
    if (k.hex_digit >= 0) {
      m_.type_hex(k.hex_digit);
      return false;
    }
    if (k.text) {
      m_.type_char(*k.text);
      return false;
    }
    if (!k.action) return false;
    switch (*k.action) {
      case Action::Left: m_.cursor_by(-1); break;
      case Action::Right: m_.cursor_by(1); break;
      case Action::Up: m_.cursor_by(-16); break;
      case Action::Down: m_.cursor_by(16); break;
      case Action::Home: m_.cursor_to(0); break;
      case Action::End: m_.cursor_to(m_.bytes().size()); break;
      case Action::NextSector: m_.move(LibraryMove::NextSector); break;
      case Action::PreviousSector: m_.move(LibraryMove::PreviousSector); break;
      case Action::NextCluster: m_.move(LibraryMove::NextCluster); break;
      case Action::PreviousCluster: m_.move(LibraryMove::PreviousCluster); break;
      case Action::LastCluster: m_.move(LibraryMove::LastCluster); break;
      case Action::NextSection: m_.step_section(1); break;
      case Action::PreviousSection: m_.step_section(-1); break;
      case Action::GoTo: go_to(false); break;
      case Action::GoToCluster: go_to(true); break;
      case Action::FindFreeFirst: m_.find_cluster(volumar::drwFindClusterFreeFindFirst); break;
      case Action::FindFreeNext: m_.find_cluster(volumar::drwFindClusterFreeFindNext); break;
      case Action::FindBadFirst: m_.find_cluster(volumar::drwFindClusterBadFindFirst); break;
      case Action::FindBadNext: m_.find_cluster(volumar::drwFindClusterBadFindNext); break;
      case Action::MarkBad: mark(true); break;
      case Action::MarkFree: mark(false); break;
      case Action::SearchForward: search(true); break;
      case Action::SearchBackward: search(false); break;
      case Action::SearchNext:
      case Action::SearchPrevious:
        if (m_.search_again(*k.action == Action::SearchNext)) run_search();
        break;
      case Action::ToggleColumn: m_.toggle_column(); break;
      case Action::Cancel:
        if (m_.half_typed()) m_.undo_edit();
        if (m_.column() == Column::Text) m_.toggle_column();
        break;
      case Action::Write: write(); break;
      case Action::UndoEdit: m_.undo_edit(); break;
      case Action::DiscardChanges:
        if (m_.changed_bytes() && ask("Discard " + std::to_string(m_.changed_bytes()) + " changed bytes?")) {
          m_.discard_changes();
          m_.set_message("changes discarded");
        }
        break;
      case Action::Help: screen_.dialog("volumar edit: keys", join(help_lines()), win::MB_OK); break;
      case Action::Redraw: screen_.repaint(); break;
      case Action::Quit: return no_unwritten_changes();
    }
    return false;
  }

  static std::string join(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
  }

  EditorSession& s_;
  EditorModel& m_;
  EditorScreen& screen_;
  bool force_;
};

}  // namespace

int run_terminal_editor(char letter, bool force, bool raw) {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) usage_error("edit needs a terminal");
  EditorSession session = raw ? EditorSession(letter, EditorSession::Raw{}) : EditorSession(letter);
  if (!raw) session.require_fat();
  SessionVolume volume(session);
  EditorModel model(volume);
  std::string title = " volumar edit  " + given_name(letter) + "  " + (raw ? std::string("raw") : session.fs_type());
  if (win::DriveMap::is_read_only(letter)) title += "  [read-only]";
  EditorScreen screen(model, title);
  TerminalEditor editor(session, model, screen, force);
  return editor.run();
}

}  // namespace volumar_tool
