// Case folding for key and value names: ASCII, Latin-1 and the letters of the
// ANSI code page, which is every case pair an ANSI caller can spell.
#include "platform/registry/registry_store.h"

namespace win::registry {
namespace {

char16_t fold_char(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  switch (c) {
    case 0xFF: return 0x178;
    case 0x161: return 0x160;
    case 0x153: return 0x152;
    case 0x17E: return 0x17D;
    default: return c;
  }
}

}  // namespace

std::u16string fold_name(std::u16string_view name) {
  std::u16string out(name);
  for (auto& c : out) c = fold_char(c);
  return out;
}

}  // namespace win::registry
