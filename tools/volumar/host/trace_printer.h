// --trace: every platform call the library makes, one line each on
// standard error, in the platform's stable trace format.
#pragma once

namespace volumar_tool {

void install_trace_printer();

}  // namespace volumar_tool
