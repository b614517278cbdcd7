// Optional trace of every platform call, one line each, for hosts that ask.
#pragma once
#include <functional>
#include <string>

namespace win {

using TraceSink = std::function<void(const std::string& line)>;

// Installs the sink (an empty function turns tracing off).
void set_trace_sink(TraceSink sink);
bool trace_enabled();
void trace(const std::string& line);

// "0a 1b ..." for a record's bytes.
std::string hex_bytes(const void* data, std::size_t size);

}  // namespace win
