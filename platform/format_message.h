// FormatMessageA for the system's own message texts (English), each ending
// in CR LF as the system writes them.
#pragma once
#include "platform/win_types.h"

namespace win {

inline constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
inline constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
inline constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
inline constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;

// Only FORMAT_MESSAGE_FROM_SYSTEM into the caller's buffer (with or without
// IGNORE_INSERTS; the system texts have no inserts). Returns the characters
// stored without the terminating zero; 0 with ERROR_MR_MID_NOT_FOUND for a
// code without text, ERROR_INSUFFICIENT_BUFFER when the text and its zero do
// not fit, ERROR_RESOURCE_LANG_NOT_FOUND for a language other than neutral
// or English, ERROR_INVALID_PARAMETER for other sources or flags.
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer,
                     DWORD nSize, void* Arguments);

// The system text of a code, nullptr when there is none.
const char* system_message_text(DWORD code);

}  // namespace win
