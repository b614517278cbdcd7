// Message boxes as lines on standard error.
#include "tools/volumar/host/message_box_printer.h"

#include <cstdio>
#include <string>

#include "tools/volumar/host/progress_bar.h"
#include "tools/volumar/host/text.h"

namespace volumar_tool {
namespace {

std::vector<win::MessageBoxRequest>& boxes() {
  static std::vector<win::MessageBoxRequest> list;
  return list;
}

// Boxes break lines with CR LF; a terminal wants LF alone.
std::string terminal_lines(const std::string& ansi) {
  std::string out;
  for (std::size_t i = 0; i < ansi.size(); ++i) {
    if (ansi[i] == '\r' && i + 1 < ansi.size() && ansi[i + 1] == '\n') continue;
    out += ansi[i];
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return ansi_to_utf8(out);
}

}  // namespace

void print_message_box(const win::MessageBoxRequest& box) {
  clear_progress_line();
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s\n", terminal_lines(box.caption).c_str(), terminal_lines(box.text).c_str());
  std::fflush(stderr);
}

void install_message_box_printer() {
  win::set_message_box_sink([](const win::MessageBoxRequest& box) {
    record_box(box);
    print_message_box(box);
    return win::default_button(box.style);
  });
}

void record_box(const win::MessageBoxRequest& box) { boxes().push_back(box); }

const std::vector<win::MessageBoxRequest>& shown_boxes() { return boxes(); }

bool box_shown(std::string_view text) {
  for (const auto& b : boxes())
    if (b.text == text) return true;
  return false;
}

void clear_boxes() { boxes().clear(); }

}  // namespace volumar_tool
