// Kill's deletion over the drive map and the host's files.
#include "platform/scripting/runtime_host.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/drive_map.h"
#include "platform/error_codes.h"
#include "platform/scripting/file_system_object.h"
#include "platform/syscalls.h"

namespace win {
namespace {

bool stat_host(const std::string& host, struct stat& st) {
  int rc;
  do rc = syscalls().stat(host.c_str(), &st);
  while (rc != 0 && errno == EINTR);
  return rc == 0;
}

}  // namespace

DWORD delete_file(const std::string& win_path) {
  ResolvedPath path = resolve_path(win_path);
  if (path.error) return path.error;
  struct stat st {};
  if (!stat_host(path.host, st)) {
    if (errno != ENOENT) return error_from_errno(errno, ERROR_ACCESS_DENIED);
    const std::size_t slash = path.host.find_last_of('/');
    struct stat parent {};
    if (slash == std::string::npos ||
        (stat_host(slash == 0 ? "/" : path.host.substr(0, slash), parent) && S_ISDIR(parent.st_mode)))
      return ERROR_FILE_NOT_FOUND;
    return ERROR_PATH_NOT_FOUND;
  }
  if (S_ISDIR(st.st_mode)) return ERROR_FILE_NOT_FOUND;  // Kill matches files only
  if (path.read_only) return ERROR_WRITE_PROTECT;
  if (syscalls().unlink(path.host.c_str()) != 0) return error_from_errno(errno, ERROR_ACCESS_DENIED);
  return ERROR_SUCCESS;
}

namespace {
// The runtime brings its file-system component along, as an installed
// system has both. Here, not with the statements, because the Windows side
// has no such component; Kill's reference to delete_file links this file
// wherever the statements are.
[[maybe_unused]] const bool g_scripting_offered = (register_scripting_classes(), true);
}  // namespace

}  // namespace win
