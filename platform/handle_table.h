// The process's handle table: HANDLE values for kernel objects (open files
// and devices, \\.\VWIN32 connections). Values start at 0x10, step by 4 and
// are not reused, so a stale handle fails with ERROR_INVALID_HANDLE.
#pragma once
#include <cstddef>
#include <memory>
#include <mutex>

#include "platform/win_types.h"

namespace win {

struct KernelObject {
  virtual ~KernelObject() = default;
  std::mutex mutex;  // serialises calls on one handle
};

HANDLE insert_handle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookup_handle(HANDLE handle);
// Removes the handle; the object goes when its last user lets go.
std::shared_ptr<KernelObject> remove_handle(HANDLE handle);
std::size_t open_handle_count();

}  // namespace win
