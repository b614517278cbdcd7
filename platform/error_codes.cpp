// errno to system error code.
#include "platform/error_codes.h"

#include <cerrno>

namespace win {

DWORD error_from_errno(int error, DWORD io_fault) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EFBIG: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM: return ERROR_NOT_READY;
    case EAGAIN: return ERROR_LOCK_VIOLATION;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return io_fault;
  }
}

}  // namespace win
