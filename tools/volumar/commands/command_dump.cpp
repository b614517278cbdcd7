// volumar dump DRIVE: hex dumps of sectors in the sector editor's format.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>

#include <unistd.h>

#include "tools/volumar/commands/commands.h"
#include "tools/volumar/host/drive_argument.h"
#include "tools/volumar/host/editor_session.h"
#include "tools/volumar/host/number_option.h"
#include "tools/volumar/host/progress_bar.h"
#include "tools/volumar/host/sector_dump.h"
#include "tools/volumar/host/tool_error.h"

namespace volumar_tool {
namespace {

struct DumpOptions {
  bool raw = false;
  DriveArgument drive;
  std::string section;
  std::int64_t sector = -1;
  bool sector_given = false;
  std::int64_t count = 1;
  std::string offset, length;  // BYTES, when the range is given in bytes
  bool crlf = false;
  bool canonical = false;
};

// The bytes of a --offset or --length value, "s" counting the volume's sectors.
std::uint64_t bytes_option(const std::string& name, const std::string& text, std::int64_t bytes_per_sector) {
  try {
    return parse_byte_count(text, static_cast<std::uint64_t>(bytes_per_sector));
  } catch (const ToolError& e) {
    usage_error(name + ": " + e.what());
  }
}

// Large reads keep a long dump fast; this many bytes per read.
constexpr std::int64_t kReadBytes = 1 << 20;

int dump_canonical(EditorSession& session, std::uint64_t start, std::uint64_t size) {
  const auto bps = static_cast<std::uint64_t>(session.bytes_per_sector());
  const std::uint64_t per_read = std::max<std::uint64_t>(1, kReadBytes / bps) * bps;
  ProgressBar progress("dump", size);
  for (std::uint64_t done = 0; done < size;) {
    // Whole rows from the start, so that every line but the last is full.
    const std::uint64_t n = std::min(per_read, size - done), at = start + done;
    const std::uint64_t first = at / bps, last = (at + n - 1) / bps;
    const auto bytes =
        session.read_sectors(static_cast<std::int64_t>(first), static_cast<std::int64_t>(last - first + 1));
    const std::string text = canonical_dump(at, bytes.data() + (at - first * bps), n, done + n == size);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) fail("cannot write the dump");
    done += n;
    progress.update(done);
  }
  progress.finish();
  return 0;
}

int run_dump(const DumpOptions& o) {
  const char letter = resolve_drive_argument(o.drive);
  EditorSession session = o.raw ? EditorSession(letter, EditorSession::Raw{}) : EditorSession(letter);
  if (!session.raw()) session.require_fat();
  std::int64_t first = 0;
  if (o.sector_given)
    first = o.sector;
  else if (!o.section.empty() && session.raw())
    usage_error("--raw has no sections: give --sector");
  else if (!o.section.empty())
    first = session.section(section_from_word(o.section)).first;
  const std::int64_t bps = session.bytes_per_sector();
  const auto ubps = static_cast<std::uint64_t>(bps);
  // A range in bytes covers whole sectors; -C shows just its bytes.
  if (o.offset.empty() && o.length.empty()) session.check_sectors(first, o.count);
  std::uint64_t start = static_cast<std::uint64_t>(first) * ubps;
  std::uint64_t size = static_cast<std::uint64_t>(o.count) * ubps;
  if (!o.offset.empty()) start = bytes_option("--offset", o.offset, bps);
  if (!o.length.empty()) size = bytes_option("--length", o.length, bps);
  if (size == 0) usage_error("--length: 0 bytes is nothing to dump");
  const std::uint64_t volume_bytes = static_cast<std::uint64_t>(session.total_sectors()) * ubps;
  if (start >= volume_bytes || size > volume_bytes - start)
    usage_error(std::to_string(size) + " bytes from byte " + std::to_string(start) +
                " run past the end of the volume (" + std::to_string(volume_bytes) + " bytes)");
  first = static_cast<std::int64_t>(start / ubps);
  const auto count = static_cast<std::int64_t>((start + size - 1) / ubps + 1 - start / ubps);
  if (o.canonical) return dump_canonical(session, start, size);

  const std::int64_t per_read = std::max<std::int64_t>(1, kReadBytes / bps);
  ProgressBar progress("dump", static_cast<std::uint64_t>(count));
  // The library's own text goes out as it is only with --crlf, and never
  // to a terminal, which would obey DEL and C1 bytes.
  const SectorDumper dumper(static_cast<std::size_t>(bps), {o.crlf, !o.crlf || isatty(STDOUT_FILENO) == 1});
  // "Sector N" CR LF with N of at most 19 digits.
  constexpr std::size_t kSectorLineRoom = 32;
  const std::size_t room = static_cast<std::size_t>(per_read) * (kSectorLineRoom + dumper.room());
  // Uninitialised on purpose: every byte written out is written first.
  const std::unique_ptr<char[]> out(new char[room]);
  for (std::int64_t done = 0; done < count;) {
    const std::int64_t n = std::min(per_read, count - done);
    const auto bytes = session.read_sectors(first + done, n);
    char* p = out.get();
    for (std::int64_t i = 0; i < n; ++i) {
      if (count > 1) {
        static constexpr char kSector[] = "Sector ";
        std::memcpy(p, kSector, sizeof kSector - 1);
        p += sizeof kSector - 1;
        p = std::to_chars(p, p + kSectorLineRoom, first + done + i).ptr;
        if (o.crlf) *p++ = '\r';
        *p++ = '\n';
      }
      p = dumper.write(p, bytes.data() + i * bps);
    }
    const auto size = static_cast<std::size_t>(p - out.get());
    if (std::fwrite(out.get(), 1, size, stdout) != size) fail("cannot write the dump");
    done += n;
    progress.update(static_cast<std::uint64_t>(done));
  }
  progress.finish();
  return 0;
}

}  // namespace

void add_dump_command(CommandContext& ctx) {
  auto o = std::make_shared<DumpOptions>();
  CLI::App* sub = ctx.app.add_subcommand("dump", "Hex dump of sectors, as the sector editor shows them");
  sub->footer(
      "The text is the editor's SectorDataFormattedPP, with LF line ends and DEL and C1 bytes shown\n"
      "as dots; --crlf keeps the library's CR LF and its characters (dots still on a terminal).\n"
      "With more than one sector a line \"Sector N\" stands before each dump.\n"
      "--offset and --length choose bytes (the sectors that hold them are dumped; with -C just\n"
      "those bytes, offsets counted from the start of the volume).");
  add_drive_argument(*sub, o->drive);
  add_raw_flag(*sub, o->raw);
  sub->add_option("--section", o->section, "Start at the section's first sector")
      ->check(CLI::IsMember({"mbr", "fat1", "fat2", "root", "data"}))
      ->type_name("mbr|fat1|fat2|root|data");
  sub->add_option("--sector", o->sector, "First sector (absolute; default 0 or the section's first)")
      ->type_name("N")
      ->check(whole_number(0));
  auto* count =
      sub->add_option("--count", o->count, "Number of sectors (default 1)")->type_name("K")->check(whole_number(1));
  sub->add_option("--offset", o->offset, "First byte of the volume to dump; BYTES as for --drive (2048s: sectors)")
      ->type_name("BYTES")
      ->excludes("--sector")
      ->excludes("--section");
  sub->add_option("--length", o->length, "Bytes to dump (default one sector)")->type_name("BYTES")->excludes(count);
  sub->add_flag("--crlf", o->crlf, "CR LF line ends and the library's own text column");
  sub->add_flag("-C,--canonical", o->canonical,
                "hexdump -C lines: offset from the start of the volume, 16 hex bytes, printable ASCII")
      ->excludes("--crlf");
  sub->callback([&run = ctx.run, o, sub] {
    o->sector_given = sub->count("--sector") > 0;
    run = [o] { return run_dump(*o); };
  });
}

}  // namespace volumar_tool
