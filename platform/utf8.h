// UTF-8 <-> UTF-16 for hosts that talk to terminals and files.
#pragma once
#include <string>
#include <string_view>

namespace win {

std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);
// utf16_to_utf8 onto the end of `out`, for callers that build long texts.
void append_utf8(std::string& out, std::u16string_view text);

}  // namespace win
