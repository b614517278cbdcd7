#include "tools/volumar/host/fault_option.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <iterator>
#include <memory>
#include <string_view>

#include "platform/syscalls.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {
namespace {

using win::SyscallFaults;

// Part of a sector, so that a reader or writer has to go on for the rest.
constexpr std::size_t kShortBytes = 256;

// Each kind: how the fault is set, and the count of the calls it waits for.
struct Kind {
  std::string_view name;
  void (*set)(SyscallFaults&, int nth);
  int (SyscallFaults::*made)() const;
};

const Kind kKinds[] = {
    {"open", [](SyscallFaults& s, int n) { s.fail_open(n, EIO); }, &SyscallFaults::opens},
    {"read", [](SyscallFaults& s, int n) { s.fail_read(n, EIO); }, &SyscallFaults::reads},
    {"short-read", [](SyscallFaults& s, int n) { s.short_read(n, kShortBytes); }, &SyscallFaults::reads},
    {"write", [](SyscallFaults& s, int n) { s.fail_write(n, EIO); }, &SyscallFaults::writes},
    {"short-write", [](SyscallFaults& s, int n) { s.short_write(n, kShortBytes); }, &SyscallFaults::writes},
    {"fsync", [](SyscallFaults& s, int n) { s.fail_fsync(EIO, n); }, &SyscallFaults::fsyncs},
    {"lock", [](SyscallFaults& s, int n) { s.refuse_lock(n); }, &SyscallFaults::locks},
    {"crash-write", [](SyscallFaults& s, int n) { s.end_at_write(n); }, &SyscallFaults::writes},
    {"torn-write", [](SyscallFaults& s, int n) { s.end_at_write(n, true); }, &SyscallFaults::writes},
};

struct Fault {
  std::unique_ptr<SyscallFaults> faults;
  const Kind* kind = nullptr;
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
  const std::string_view name(plan.data(), colon);
  const Kind* kind = std::find_if(std::begin(kKinds), std::end(kKinds), [&](const Kind& k) { return k.name == name; });
  if (kind == std::end(kKinds)) usage_error("--fault " + plan + ": no such kind of fault");
  Fault& f = fault();
  f.faults = std::make_unique<SyscallFaults>();
  f.kind = kind;
  f.nth = nth;
  kind->set(*f.faults, nth);
}

bool fault_reached() {
  const Fault& f = fault();
  return !f.faults || ((*f.faults).*(f.kind->made))() >= f.nth;
}

}  // namespace volumar_tool
