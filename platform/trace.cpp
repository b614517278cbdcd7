#include "platform/trace.h"

#include <mutex>

namespace win {
namespace {
std::mutex g_mutex;
TraceSink g_sink;
}  // namespace

void set_trace_sink(TraceSink sink) {
  std::lock_guard lock(g_mutex);
  g_sink = std::move(sink);
}

bool trace_enabled() {
  std::lock_guard lock(g_mutex);
  return static_cast<bool>(g_sink);
}

void trace(const std::string& line) {
  std::lock_guard lock(g_mutex);
  if (g_sink) g_sink(line);
}

std::string hex_bytes(const void* data, std::size_t size) {
  static const char digits[] = "0123456789abcdef";
  const auto* p = static_cast<const unsigned char*>(data);
  std::string out;
  out.reserve(size * 3);
  for (std::size_t i = 0; i < size; ++i) {
    if (i) out += ' ';
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

}  // namespace win
