#include "platform/file_mapping.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/call_trace.h"
#include "platform/file_object.h"
#include "platform/handle_table.h"

namespace win {
namespace {

struct MappingObject : KernelObject {
  std::shared_ptr<KernelObject> file;  // keeps the file open while views are made
};

std::mutex views_mutex;
std::map<const void*, HostFile::View>& views() {
  static std::map<const void*, HostFile::View> open;
  return open;
}

std::optional<DWORD> failure(DWORD error) { return error ? std::optional<DWORD>(error) : std::nullopt; }

}  // namespace

HANDLE CreateFileMappingA(HANDLE hFile, LPVOID, DWORD flProtect, DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow,
                          LPCSTR lpName) {
  DWORD error = ERROR_SUCCESS;
  HANDLE mapping = nullptr;
  auto object = lookup_handle(hFile);
  auto* file = dynamic_cast<FileObject*>(object.get());
  if (!file)
    error = ERROR_INVALID_HANDLE;
  else if (flProtect != PAGE_WRITECOPY || dwMaximumSizeHigh || dwMaximumSizeLow || lpName)
    error = ERROR_INVALID_PARAMETER;
  else if (!file->file->can_read())
    error = ERROR_ACCESS_DENIED;
  else {
    auto m = std::make_shared<MappingObject>();
    m->file = object;
    mapping = insert_handle(std::move(m));
  }
  detail::complete(failure(error), [&] {
    return "CreateFileMappingA(" + detail::handle_text(hFile) + ", " + detail::hex(flProtect) +
           ") = " + detail::handle_text(mapping);
  });
  return mapping;
}

LPVOID MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh, DWORD dwFileOffsetLow,
                     std::size_t dwNumberOfBytesToMap) {
  const std::uint64_t offset = (std::uint64_t{dwFileOffsetHigh} << 32) | dwFileOffsetLow;
  DWORD error = ERROR_SUCCESS;
  HostFile::View view;
  auto object = lookup_handle(hFileMappingObject);
  auto* mapping = dynamic_cast<MappingObject*>(object.get());
  if (!mapping)
    error = ERROR_INVALID_HANDLE;
  else if (dwDesiredAccess != FILE_MAP_COPY || dwNumberOfBytesToMap == 0)
    error = ERROR_INVALID_PARAMETER;
  else if (offset % kAllocationGranularity)
    error = ERROR_MAPPED_ALIGNMENT;
  else {
    auto& file = static_cast<FileObject&>(*mapping->file);
    std::lock_guard lock(file.mutex);
    error = file.file->map_copy(offset, dwNumberOfBytesToMap, view);
  }
  if (view.data) {
    std::lock_guard lock(views_mutex);
    views()[view.data] = view;
  }
  detail::complete(failure(error), [&] {
    return "MapViewOfFile(" + detail::handle_text(hFileMappingObject) + ", " + detail::hex(dwDesiredAccess) +
           ", at=" + std::to_string(offset) + ", " + std::to_string(dwNumberOfBytesToMap) +
           ") = " + (view.data ? "view" : "NULL");
  });
  return view.data;
}

BOOL UnmapViewOfFile(LPCVOID lpBaseAddress) {
  HostFile::View view;
  {
    std::lock_guard lock(views_mutex);
    auto it = views().find(lpBaseAddress);
    if (it != views().end()) {
      view = it->second;
      views().erase(it);
    }
  }
  HostFile::unmap(view);
  const BOOL ok = view.base ? TRUE : FALSE;
  detail::complete(ok ? std::nullopt : std::optional<DWORD>(ERROR_INVALID_ADDRESS),
                   [&] { return std::string("UnmapViewOfFile(view) = ") + detail::bool_text(ok); });
  return ok;
}

}  // namespace win
