// The system's ANSI code page: Windows-1252, one byte to exactly one
// character and back. The five unassigned bytes map to the C1 controls of
// the same value so that every byte survives a round trip.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace win {

char16_t ansi_char(std::uint8_t byte);
// A character the code page cannot hold becomes '?', as the system does.
std::uint8_t ansi_byte(char16_t ch);
bool ansi_representable(char16_t ch);

std::u16string ansi_to_utf16(std::string_view bytes);
std::string utf16_to_ansi(std::u16string_view text);

}  // namespace win
