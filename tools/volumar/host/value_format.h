// How volumar prints automation values: strings quoted with \r, \n and \xNN
// escapes, numbers in decimal, True/False, Empty, Nothing, Collection(N)
// followed by its items, byte arrays as hex.
#pragma once
#include <string>
#include <string_view>

#include "platform/automation/variant.h"

namespace volumar_tool {

// A string as a quoted literal. \xNN stands for the character that byte NN
// has in the ANSI code page (the byte it becomes on disk); controls, DEL,
// the C1 controls, no-break and soft hyphen use it; other characters print
// as themselves in UTF-8.
std::string quote_string(std::u16string_view text);

// One value on one line (a collection as "Collection(N)" alone).
std::string format_scalar(const win::Variant& value);

// A value with, for a collection, one more line per item: "  [n] VALUE" or
// "  [n] KEY = VALUE", nested collections indented further. Lines after the
// first are prefixed by `indent`; no newline at the end.
std::string format_value(const win::Variant& value, const std::string& indent = "");
// format_value onto the end of `out`.
void append_value(std::string& out, const win::Variant& value, std::string_view indent = {});

// A value as plain text for "Name: value" listings: strings unquoted,
// collections as their items joined by commas.
std::string format_plain(const win::Variant& value);

}  // namespace volumar_tool
