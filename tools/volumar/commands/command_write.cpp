// volumar write DRIVE --sector N --offset K (--hex ... | --text ...): puts
// exactly those bytes at byte K of sector N. The whole span of sectors goes
// through DataPP as its exact text, one character per byte, because row
// texts cannot carry the bytes below 0x20.
#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdio>
#include <memory>

#include "platform/ansi_code_page.h"
#include "platform/automation/variant_conversion.h"
#include "platform/drive_map.h"
#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/editor_session.h"
#include "tools/volumar/host/far_sectors.h"
#include "tools/volumar/host/number_option.h"
#include "tools/volumar/host/text.h"
#include "tools/volumar/host/tool_error.h"
#include "tools/volumar/journal/write_guard.h"
#include "tools/volumar/journal/write_journal.h"

namespace volumar_tool {
namespace {

struct WriteOptions {
  bool raw = false;
  DriveArgument drive;
  std::int64_t sector = 0;
  std::int64_t offset = 0;
  std::string hex;
  std::string text;
  bool text_given = false;
  bool yes = false;
  bool force = false;
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "41 42 0A", "41,42,0a", "0x41 0x42" or "41420A".
std::vector<std::uint8_t> parse_hex_bytes(const std::string& text) {
  std::vector<std::uint8_t> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
      ++i;
      continue;
    }
    if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    std::size_t start = i;
    while (i < text.size() && hex_digit(text[i]) >= 0) ++i;
    const std::size_t n = i - start;
    if (n == 0 || (n > 2 && n % 2 != 0) ||
        (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) && text[i] != ','))
      usage_error("--hex wants bytes as hex digits, such as \"41 42 0A\", not '" + text + "'");
    if (n <= 2) {
      out.push_back(static_cast<std::uint8_t>(n == 1 ? hex_digit(text[start])
                                                     : hex_digit(text[start]) * 16 + hex_digit(text[start + 1])));
    } else {
      for (std::size_t k = start; k < i; k += 2)
        out.push_back(static_cast<std::uint8_t>(hex_digit(text[k]) * 16 + hex_digit(text[k + 1])));
    }
  }
  return out;
}

// The text's characters as the bytes the ANSI code page gives them.
std::vector<std::uint8_t> ansi_bytes(const std::string& utf8_text) {
  std::vector<std::uint8_t> out;
  for (char16_t c : utf16_argument(utf8_text, "--text")) {
    if (!win::ansi_representable(c)) usage_error("--text holds a character that the ANSI code page cannot store");
    out.push_back(win::ansi_byte(c));
  }
  return out;
}

int run_write(const WriteOptions& o) {
  const std::vector<std::uint8_t> data = o.text_given ? ansi_bytes(o.text) : parse_hex_bytes(o.hex);
  if (data.empty()) usage_error("nothing to write");
  const char letter = resolve_drive_argument(o.drive);
  require_journal();  // a writer opens its journal first: the session reads it there
  EditorSession session = o.raw ? EditorSession(letter, EditorSession::Raw{}) : EditorSession(letter);
  if (!session.raw()) session.require_fat();
  const std::int64_t bps = session.bytes_per_sector();
  session.check_sectors(o.sector, 1);
  // Compared before adding, which a huge offset would overflow.
  const auto size = static_cast<std::int64_t>(data.size());
  if (o.offset > (session.total_sectors() - o.sector) * bps - size) {
    std::string why = "--offset ";
    why.append(std::to_string(o.offset))
        .append(": ")
        .append(std::to_string(size))
        .append(" bytes from there in sector ")
        .append(std::to_string(o.sector))
        .append(" run past the end of the volume (its last sector is ")
        .append(std::to_string(session.total_sectors() - 1))
        .append(")");
    usage_error(why);
  }
  const std::int64_t end = o.offset + size;
  const std::int64_t sectors = (end + bps - 1) / bps;
  session.check_sectors(o.sector, sectors);

  guard_write(session.letter(),
              "Write " + std::to_string(data.size()) + " bytes at byte " + std::to_string(o.offset) + " of sector " +
                  std::to_string(o.sector) + " of " + given_name(session.letter()) + "?",
              o.yes, o.force);
  std::vector<std::uint8_t> span = session.read_sectors(o.sector, sectors);
  std::copy(data.begin(), data.end(), span.begin() + o.offset);
  if (!session.write_sectors(o.sector, span)) {
    fail_unwritten(session.letter());
  }
  std::printf("Wrote %zu bytes at byte %lld of sector %lld\n", data.size(), static_cast<long long>(o.offset),
              static_cast<long long>(o.sector));
  return 0;
}

}  // namespace

void add_write_command(CommandContext& ctx) {
  auto o = std::make_shared<WriteOptions>();
  CLI::App* sub = ctx.app.add_subcommand("write", "Write bytes at a byte offset of a sector, changing no other byte");
  sub->footer("Asks before writing unless --yes; without a terminal it needs --yes.");
  add_drive_argument(*sub, o->drive);
  add_raw_flag(*sub, o->raw);
  sub->add_option("--sector", o->sector, "Absolute sector")->required()->type_name("N")->check(whole_number(0));
  sub->add_option("--offset", o->offset, "Byte offset in the sector (default 0); may run on into the next sectors")
      ->type_name("K")
      ->check(whole_number(0));
  auto* h = sub->add_option("--hex", o->hex, "The bytes as hex, such as \"41 42 0A\"")->type_name("BYTES");
  auto* t = sub->add_option("--text", o->text, "The bytes as text (each character one ANSI byte)")->type_name("TEXT");
  h->excludes(t);
  t->excludes(h);
  sub->add_flag("--yes,-y", o->yes, "Write without asking");
  sub->add_flag("--force", o->force, "Write even to a mounted block device");
  sub->callback([&run = ctx.run, o, sub] {
    if (sub->count("--hex") + sub->count("--text") == 0) throw CLI::RequiredError("--hex or --text");
    o->text_given = sub->count("--text") > 0;
    run = [o] { return run_write(*o); };
  });
}

}  // namespace volumar_tool
