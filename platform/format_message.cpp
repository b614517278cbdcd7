// System message texts.
#include "platform/format_message.h"

#include <cstring>

#include "platform/call_trace.h"
#include "platform/error_codes.h"

namespace win {
namespace {

struct Message {
  DWORD code;
  const char* text;
};

constexpr Message kMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough storage is available to process this command.\r\n"},
    {14, "Not enough storage is available to complete this operation.\r\n"},
    {15, "The system cannot find the drive specified.\r\n"},
    {19, "The media is write protected.\r\n"},
    {21, "The device is not ready.\r\n"},
    {23, "Data error (cyclic redundancy check).\r\n"},
    {24, "The program issued a command but the command length is incorrect.\r\n"},
    {25, "The drive cannot locate a specific area or track on the disk.\r\n"},
    {27, "The drive cannot find the sector requested.\r\n"},
    {29, "The system cannot write to the specified device.\r\n"},
    {30, "The system cannot read from the specified device.\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {33, "The process cannot access the file because another process has locked a portion of the file.\r\n"},
    {38, "Reached the end of the file.\r\n"},
    {50, "The request is not supported.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {123, "The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {131, "An attempt was made to move the file pointer before the beginning of the file.\r\n"},
    {144, "The directory is not a subdirectory of the root directory.\r\n"},
    {158, "The segment is already unlocked.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {1005,
     "The volume does not contain a recognized file system.\r\nPlease make sure that all required file system "
     "drivers are loaded and that the volume is not corrupted.\r\n"},
    {1011, "The configuration registry key could not be opened.\r\n"},
    {1012, "The configuration registry key could not be read.\r\n"},
    {1013, "The configuration registry key could not be written.\r\n"},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
};

bool known_language(DWORD language) {
  return language == 0 || language == 0x0400 || language == 0x0800 || language == 0x0409;
}

}  // namespace

const char* system_message_text(DWORD code) {
  for (const Message& m : kMessages)
    if (m.code == code) return m.text;
  return nullptr;
}

DWORD FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize,
                     void*) {
  DWORD error = ERROR_SUCCESS, stored = 0;
  const DWORD accepted = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY;
  const char* text = nullptr;
  if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || (dwFlags & ~accepted & ~FORMAT_MESSAGE_MAX_WIDTH_MASK) ||
      (dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK) || !lpBuffer)
    error = ERROR_INVALID_PARAMETER;
  else if (!known_language(dwLanguageId))
    error = ERROR_RESOURCE_LANG_NOT_FOUND;
  else if (!(text = system_message_text(dwMessageId)))
    error = ERROR_MR_MID_NOT_FOUND;
  else if (std::strlen(text) + 1 > nSize)
    error = ERROR_INSUFFICIENT_BUFFER;
  if (!error) {
    stored = static_cast<DWORD>(std::strlen(text));
    std::memcpy(lpBuffer, text, stored + 1);
  }
  detail::complete(error ? std::optional<DWORD>(error) : std::nullopt, [&] {
    return "FormatMessageA(" + detail::hex(dwFlags) + ", " + std::to_string(dwMessageId) + ", " +
           std::to_string(dwLanguageId) + ", " + std::to_string(nSize) + ") = " + std::to_string(stored);
  });
  return stored;
}

}  // namespace win
