// The kernel object behind a file or device handle, shared by the kernel32
// calls that take such a handle.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/handle_table.h"
#include "platform/host_file.h"

namespace win {

struct FileObject : KernelObject {
  std::unique_ptr<HostFile> file;
  std::uint64_t pointer = 0;
  std::string name;
};

}  // namespace win
