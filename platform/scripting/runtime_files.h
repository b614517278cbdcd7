// The script runtime's file statements (Open ... For Output/Append As #n,
// Print #n, Close, Kill, FreeFile) over kernel32. Paths are Windows paths
// resolved through the drive map: "C:\" is the folder mapped for C, a path
// without a drive is relative to the current folder, and a drive without a
// folder is not ready. Failures raise AutomationError with the runtime's
// numbers: 52 bad file name or number, 53 file not found, 55 file already
// open, 61 disk full, 70 permission denied, 71 disk not ready, 75 path/file
// access error, 76 path not found.
//
// File numbers belong to the calling thread, as the runtime keeps them per
// apartment; files still open when the thread ends are closed.
//
// Linking these statements also offers "Scripting.FileSystemObject" from
// start-up (file_system_object.h).
#pragma once
#include <cstdint>
#include <string_view>

#include "platform/win_types.h"

namespace win {

enum class OpenMode { Output, Append };

inline constexpr int kMaxFileNumber = 511;

// The lowest file number from 1 to 255 not in use; 67 (too many files)
// when none is left.
int FreeFile();
// Output creates the file or truncates it; Append creates it or writes at
// its end. A number already in use raises 55; one outside 1..511 raises 52.
void FileOpen(int file_number, std::u16string_view path, OpenMode mode);
// Writes the text in the ANSI code page followed by CR LF.
void PrintLine(int file_number, std::u16string_view text);
// Closing a number that is not open does nothing.
void FileClose(int file_number);
// Closes every file of the thread.
void FileClose();
// Deletes one file (no wildcards): 53 when there is none (a folder is not
// a file), 76 when its folder is missing, 75 when the host refuses, 70 on a
// write-protected drive.
void Kill(std::u16string_view path);

// The runtime's error number for a system error code.
std::int32_t runtime_error_number(DWORD system_error);

}  // namespace win
