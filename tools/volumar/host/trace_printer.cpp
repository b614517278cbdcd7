// The trace sink of --trace.
#include "tools/volumar/host/trace_printer.h"

#include <cstdio>

#include "platform/trace.h"
#include "tools/volumar/host/progress_bar.h"
#include "tools/volumar/host/text.h"

namespace volumar_tool {

void install_trace_printer() {
  win::set_trace_sink([](const std::string& line) {
    clear_progress_line();
    std::fflush(stdout);
    // Trace lines quote ANSI texts; show them as the terminal's characters.
    std::string shown = ansi_to_utf8(line);
    shown += '\n';
    std::fputs(shown.c_str(), stderr);
  });
}

}  // namespace volumar_tool
