// Testing: one fault in the platform's calls for a whole run, given as
// KIND:N. The Nth call of the kind fails with EIO (open, read, write, fsync,
// lock), delivers part of what was asked (short-read, short-write), or ends
// the process once the write is on the disk (crash-write) or half of it is
// (torn-write).
#pragma once
#include <string>

namespace volumar_tool {

// Usage error for a plan it cannot read.
void install_fault(const std::string& plan);

// Whether the run made the call the fault waited for; true without a fault.
bool fault_reached();

}  // namespace volumar_tool
