// Text conversions between the library's UTF-16 and ANSI texts and the
// terminal's UTF-8.
#pragma once
#include <string>
#include <string_view>

#include "platform/ansi_code_page.h"
#include "platform/utf8.h"

namespace volumar_tool {

inline std::string utf8(std::u16string_view text) { return win::utf16_to_utf8(text); }
inline std::u16string utf16(std::string_view utf8_text) { return win::utf8_to_utf16(utf8_text); }
// A text in the ANSI code page (message boxes, trace lines) for the terminal.
inline std::string ansi_to_utf8(std::string_view ansi) { return win::utf16_to_utf8(win::ansi_to_utf16(ansi)); }

}  // namespace volumar_tool
