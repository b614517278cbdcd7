// Volume information and drive type.
#include "platform/volume_information.h"

#include <cstring>
#include <memory>

#include "platform/call_trace.h"
#include "platform/drive_map.h"
#include "platform/error_codes.h"
#include "platform/host_file.h"
#include "platform/volume_probe.h"
#include "platform/win_path.h"

namespace win {
namespace {

DWORD root_letter(LPCSTR root, char& letter) {
  if (!root) return ERROR_PATH_NOT_FOUND;
  WinPath p = parse_win_path(root);
  if (p.kind != PathKind::Drive) return p.kind == PathKind::Invalid ? p.error : ERROR_PATH_NOT_FOUND;
  if (!p.rooted) return ERROR_INVALID_NAME;
  if (!p.components.empty()) return ERROR_DIR_NOT_ROOT;
  letter = p.letter;
  return ERROR_SUCCESS;
}

DWORD volume_identity(char letter, VolumeIdentity& id, bool& read_only) {
  if (!DriveMap::find(letter)) return ERROR_PATH_NOT_FOUND;
  std::unique_ptr<HostFile> volume;
  if (DWORD error = open_volume(letter, GENERIC_READ, volume))
    return error == ERROR_ACCESS_DENIED ? error : ERROR_NOT_READY;
  read_only = volume->write_protected() || DriveMap::is_read_only(letter);
  return identify_volume(
      [&](std::uint64_t offset, void* buffer, std::size_t length) {
        return length <= 0xFFFFFFFFu && volume->read_all(offset, buffer, static_cast<DWORD>(length)) == 0;
      },
      id);
}

bool fits(const std::string& text, LPSTR buffer, DWORD size) { return !buffer || text.size() < size; }

void put(const std::string& text, LPSTR buffer) {
  if (buffer) std::memcpy(buffer, text.c_str(), text.size() + 1);
}

}  // namespace

BOOL GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,
                           DWORD* lpVolumeSerialNumber, DWORD* lpMaximumComponentLength, DWORD* lpFileSystemFlags,
                           LPSTR lpFileSystemNameBuffer, DWORD nFileSystemNameSize) {
  char letter = 0;
  VolumeIdentity id;
  bool read_only = false;
  DWORD error = root_letter(lpRootPathName, letter);
  if (!error) error = volume_identity(letter, id, read_only);
  const std::string fs = fs_name(id.kind);
  if (!error &&
      (!fits(id.label, lpVolumeNameBuffer, nVolumeNameSize) || !fits(fs, lpFileSystemNameBuffer, nFileSystemNameSize)))
    error = ERROR_BAD_LENGTH;
  if (error) {
    if (lpVolumeNameBuffer && nVolumeNameSize) lpVolumeNameBuffer[0] = 0;
    if (lpFileSystemNameBuffer && nFileSystemNameSize) lpFileSystemNameBuffer[0] = 0;
  } else {
    put(id.label, lpVolumeNameBuffer);
    put(fs, lpFileSystemNameBuffer);
    if (lpVolumeSerialNumber) *lpVolumeSerialNumber = id.serial;
    if (lpMaximumComponentLength) *lpMaximumComponentLength = 255;
    if (lpFileSystemFlags) {
      DWORD flags = id.kind == FsKind::Ntfs ? FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES |
                                                  FILE_UNICODE_ON_DISK | FILE_PERSISTENT_ACLS
                                            : FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
      if (read_only) flags |= FILE_READ_ONLY_VOLUME;
      *lpFileSystemFlags = flags;
    }
  }
  const BOOL ok = error ? FALSE : TRUE;
  detail::complete(ok ? std::nullopt : std::optional<DWORD>(error), [&] {
    std::string line = "GetVolumeInformationA(" + detail::quote(lpRootPathName) + ", " +
                       std::to_string(nVolumeNameSize) + ", " + std::to_string(nFileSystemNameSize) +
                       ") = " + detail::bool_text(ok);
    if (ok)
      line += " label=" + detail::quote(id.label.c_str()) + " serial=" + detail::hex(id.serial) +
              " fs=" + detail::quote(fs.c_str());
    return line;
  });
  return ok;
}

UINT GetDriveTypeA(LPCSTR lpRootPathName) {
  UINT type = DRIVE_NO_ROOT_DIR;
  if (lpRootPathName) {
    WinPath p = parse_win_path(lpRootPathName);
    if (p.kind == PathKind::Drive && p.components.empty())
      if (auto volume = DriveMap::find(p.letter)) type = static_cast<UINT>(volume->type);
  }
  detail::complete(std::nullopt,
                   [&] { return "GetDriveTypeA(" + detail::quote(lpRootPathName) + ") = " + std::to_string(type); });
  return type;
}

}  // namespace win
