#include "tools/volumar/fault_option.h"

#include <cerrno>
#include <charconv>
#include <memory>

#include "platform/syscalls.h"
#include "tools/volumar/tool_error.h"

namespace volumar_tool {
namespace {

// Part of a sector, so that a reader or writer has to go on for the rest.
constexpr std::size_t kShortBytes = 256;

struct Fault {
  std::unique_ptr<win::SyscallFaults> faults;
  std::string kind;
  int nth = 0;
};

Fault& fault() {
  static Fault f;
  return f;
}

}  // namespace

void install_fault(const std::string& plan) {
  const auto colon = plan.find(':');
  int nth = 0;
  const char* end = plan.data() + plan.size();
  if (colon == std::string::npos || std::from_chars(plan.data() + colon + 1, end, nth).ptr != end || nth < 1)
    usage_error("--fault " + plan + ": wants KIND:N with N from 1");
  Fault& f = fault();
  f.faults = std::make_unique<win::SyscallFaults>();
  f.kind = plan.substr(0, colon);
  f.nth = nth;
  win::SyscallFaults& s = *f.faults;
  if (f.kind == "open")
    s.fail_open(nth, EIO);
  else if (f.kind == "read")
    s.fail_read(nth, EIO);
  else if (f.kind == "short-read")
    s.short_read(nth, kShortBytes);
  else if (f.kind == "write")
    s.fail_write(nth, EIO);
  else if (f.kind == "short-write")
    s.short_write(nth, kShortBytes);
  else if (f.kind == "fsync")
    s.fail_fsync(EIO, nth);
  else if (f.kind == "lock")
    s.refuse_lock(nth);
  else if (f.kind == "crash-write")
    s.end_at_write(nth);
  else if (f.kind == "torn-write")
    s.end_at_write(nth, true);
  else
    usage_error("--fault " + plan + ": no such kind of fault");
}

bool fault_reached() {
  const Fault& f = fault();
  if (!f.faults) return true;
  const win::SyscallFaults& s = *f.faults;
  const int made = f.kind == "open"                           ? s.opens()
                   : f.kind == "fsync"                        ? s.fsyncs()
                   : f.kind == "lock"                         ? s.locks()
                   : f.kind.find("read") != std::string::npos ? s.reads()
                                                              : s.writes();
  return made >= f.nth;
}

}  // namespace volumar_tool
