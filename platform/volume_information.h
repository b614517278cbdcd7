// GetVolumeInformationA and GetDriveTypeA as a system answers them: the file
// system named by probing the volume's own first sectors ("FAT" for FAT12
// and FAT16, "FAT32", "NTFS"), label and serial number from the volume, the
// drive type from the drive map.
#pragma once
#include "platform/win_types.h"

namespace win {

inline constexpr DWORD FILE_CASE_SENSITIVE_SEARCH = 0x00000001;
inline constexpr DWORD FILE_CASE_PRESERVED_NAMES = 0x00000002;
inline constexpr DWORD FILE_UNICODE_ON_DISK = 0x00000004;
inline constexpr DWORD FILE_PERSISTENT_ACLS = 0x00000008;
inline constexpr DWORD FILE_READ_ONLY_VOLUME = 0x00080000;

// lpRootPathName: a root such as "C:\" (either letter case). Failures leave
// the given buffers empty: ERROR_INVALID_NAME without the backslash,
// ERROR_DIR_NOT_ROOT for a folder, ERROR_PATH_NOT_FOUND for an unmapped
// letter, ERROR_NOT_READY when the volume does not open or read,
// ERROR_UNRECOGNIZED_VOLUME when it holds no known file system,
// ERROR_BAD_LENGTH when a buffer cannot hold its text. An NTFS label is not
// read (it lives in the volume's metadata files) and comes back empty.
BOOL GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,
                           DWORD* lpVolumeSerialNumber, DWORD* lpMaximumComponentLength, DWORD* lpFileSystemFlags,
                           LPSTR lpFileSystemNameBuffer, DWORD nFileSystemNameSize);

// "C:\" or "C:": the mapped drive's type (2..6); DRIVE_NO_ROOT_DIR (1) for
// an unmapped letter or anything that is not a drive root.
UINT GetDriveTypeA(LPCSTR lpRootPathName);

}  // namespace win
