// Completion of platform calls: last error and trace line.
#include "platform/call_trace.h"

#include <cstdio>

#include "platform/failed_call.h"
#include "platform/last_error.h"
#include "platform/trace.h"

namespace win::detail {

void complete(std::optional<DWORD> last_error, const std::function<std::string()>& line) {
  if (last_error) SetLastError(*last_error);
  const bool failed = last_error && *last_error;
  if (!failed && !trace_enabled()) return;
  std::string text = line();
  if (failed) note_failed_call(text.substr(0, text.find('(')), *last_error);
  if (!trace_enabled()) return;
  if (last_error && *last_error) text += " error=" + std::to_string(*last_error);
  trace(text);
}

std::string quote(const char* text) {
  if (!text) return "null";
  std::string out = "\"";
  for (const char* p = text; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 32 || c == 127) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string hex(std::uint64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(value));
  return buf;
}

std::string handle_text(HANDLE h) {
  if (h == INVALID_HANDLE_VALUE) return "INVALID_HANDLE_VALUE";
  if (!h) return "NULL";
  return hex(reinterpret_cast<std::uintptr_t>(h));
}

std::string access_text(DWORD access) {
  std::string out;
  auto add = [&](const char* name) { out += out.empty() ? name : std::string("|") + name; };
  if (access & GENERIC_READ) add("GENERIC_READ");
  if (access & GENERIC_WRITE) add("GENERIC_WRITE");
  DWORD rest = access & ~(GENERIC_READ | GENERIC_WRITE);
  if (rest) add(hex(rest).c_str());
  return out.empty() ? "0" : out;
}

std::string disposition_text(DWORD d) {
  switch (d) {
    case CREATE_NEW: return "CREATE_NEW";
    case CREATE_ALWAYS: return "CREATE_ALWAYS";
    case OPEN_EXISTING: return "OPEN_EXISTING";
    case OPEN_ALWAYS: return "OPEN_ALWAYS";
    case TRUNCATE_EXISTING: return "TRUNCATE_EXISTING";
    default: return std::to_string(d);
  }
}

}  // namespace win::detail
