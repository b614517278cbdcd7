// Whole-number options, checked as text before CLI11 converts them: its own
// checks compare as doubles and its conversion clamps an overflow, so a sign,
// a stray letter or a number too large would be misreported or misread.
#pragma once
#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace volumar_tool {

// Decimal or 0x hex from `least` to `most`. The value goes on in decimal,
// since CLI11 would read a leading 0 as octal.
inline CLI::Validator whole_number(std::int64_t least, std::int64_t most = std::numeric_limits<std::int64_t>::max()) {
  return CLI::Validator(
      [least, most](std::string& text) -> std::string {
        std::string_view digits = text;
        const bool negative = !digits.empty() && digits[0] == '-';
        if (negative) digits.remove_prefix(1);
        int base = 10;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
          base = 16;
          digits.remove_prefix(2);
        }
        std::uint64_t value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
        std::string quoted(1, '\'');
        quoted.append(text).push_back('\'');
        if (digits.empty() || end != digits.data() + digits.size() ||
            (ec != std::errc() && ec != std::errc::result_out_of_range))
          return quoted + " is not a whole number (decimal, or hex after 0x)";
        if (negative && value != 0) return quoted + " is negative; the least is " + std::to_string(least);
        if (ec == std::errc::result_out_of_range || value > static_cast<std::uint64_t>(most))
          return quoted + " is too large; the most is " + std::to_string(most);
        if (static_cast<std::int64_t>(value) < least)
          return quoted + " is too small; the least is " + std::to_string(least);
        text = std::to_string(value);
        return {};
      },
      least > 0 ? "POSITIVE" : "NONNEGATIVE");
}

}  // namespace volumar_tool
