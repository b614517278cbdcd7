// Sector bytes shown as dump lines and row texts, and row texts taken back:
// an edited row swapped into the row collection, and the collection
// written into a sector of a volume made once per process.
//
// Input: flags, the row offset (2 bytes), the row to change, then the
// payload: the sector bytes for the dump, and the text of the rows (ANSI,
// or UTF-16LE when flag 1 is set), one row a line.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "cipher/string_cipher.h"
#include "drw/hex_dump.h"
#include "drw/sector_editor.h"
#include "frame/runtime_error.h"
#include "fuzz/fuzz_support.h"
#include "imaging/fat_image_builder.h"
#include "platform/ansi_code_page.h"
#include "platform/automation/variant_conversion.h"
#include "platform/drive_map.h"
#include "platform/user32/message_box.h"
#include "volume/drive_sectors.h"

using namespace volumar;

namespace {

constexpr char kLetter = 'H';
const String kDrive = u"H:";
constexpr std::size_t kHeader = 4;

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "==ERROR: %s\n", what);
  std::abort();
}

int raised(const std::function<void()>& step) {
  try {
    step();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

int hex_value(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The dump read back: its offsets, its bytes and its row texts must be the
// payload's own.
void check_dump(std::span<const std::uint8_t> bytes) {
  const Long length = static_cast<Long>(bytes.size());
  String dump;
  const int error = raised([&] { dump = hex_dump(bytes, length); });
  if ((error != 0) != (bytes.size() % kRowBytes != 0)) broken("hex_dump raised for whole rows or not for a part row");
  if (error) return;
  if (dump.size() != bytes.size() / kRowBytes * kDumpLineChars) broken("a dump line is not 72 characters");
  for (std::size_t row = 0; row < bytes.size() / kRowBytes; ++row) {
    const std::u16string_view line = std::u16string_view(dump).substr(row * kDumpLineChars, kDumpLineChars);
    const std::size_t hex_at = line.find(kDumpAfterOffset) + 2;
    if (line.substr(0, hex_at - 2) != offset_text(static_cast<Long>(row * kRowBytes)))
      broken("a dump line's offset is not its row's");
    for (std::size_t k = 0; k < kRowBytes; ++k) {
      const int hi = hex_value(line[hex_at + 3 * k]), lo = hex_value(line[hex_at + 3 * k + 1]);
      if (hi < 0 || lo < 0 || (hi << 4 | lo) != bytes[row * kRowBytes + k]) broken("a dump's hex is not its byte");
    }
    if (line.substr(hex_at + 3 * kRowBytes + 1, kRowBytes) != row_text(bytes, static_cast<Long>(row * kRowBytes)))
      broken("a dump line's text is not the row text");
  }
}

// A row shows each byte's ANSI character, the control bytes as dots.
void check_row(std::span<const std::uint8_t> bytes, Long offset) {
  String row;
  const int error = raised([&] { row = row_text(bytes, offset); });
  const bool inside = offset >= 0 && static_cast<std::uint64_t>(offset) + kRowBytes <= bytes.size();
  if (error != (inside ? 0 : win::kErrSubscriptOutOfRange)) broken("row_text raised the wrong error");
  if (error) return;
  const std::string ansi = win::utf16_to_ansi(row);
  if (ansi.size() != static_cast<std::size_t>(kRowBytes)) broken("a row text is not 16 ANSI characters");
  for (std::size_t k = 0; k < ansi.size(); ++k) {
    const std::uint8_t b = bytes[static_cast<std::size_t>(offset) + k];
    if (static_cast<std::uint8_t>(ansi[k]) != (b < 0x20 ? '.' : b)) broken("a row character is not its byte");
  }
}

std::vector<String> lines_of(const String& text) {
  std::vector<String> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(u'\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == String::npos) return lines;
    start = end + 1;
  }
}

void check_change(clsQzVolmDrwA& drw, const std::vector<String>& rows, Long index, String replacement) {
  CollectionRef old = Collection::create();
  for (const String& r : rows) old->Add(Variant(r));
  CollectionRef changed;
  const String result = drw.ChangeCollectionItem(old, index, replacement, changed);
  if (!changed || changed->Count() != old->Count()) broken("the changed collection lost or gained rows");
  for (Long i = 1; i <= old->Count(); ++i) {
    const String want = i == index ? replacement.substr(0, kRowBytes) : rows[static_cast<std::size_t>(i - 1)];
    if (win::to_string(changed->Item(Variant(i))) != want) broken("a row of the changed collection is wrong");
  }
  const Long count = old->Count();
  const String want = count == 0 ? String() : index == count ? rows.back() : String(u"SUCCESS");
  if (result != want) broken("ChangeCollectionItem answered the wrong text");
}

struct Volume {
  std::shared_ptr<clsQzVolmDrwA> drw;
  Long sector = 0;
};

Volume& volume() {
  static Volume v = [] {
    win::set_message_box_sink([](const win::MessageBoxRequest& box) { return win::default_button(box.style); });
    const auto image = fuzz::scratch().file("rows.img");
    imaging::FatImageBuilder(imaging::FatType::fat12).write(image);
    win::VolumeMapping mapping;
    mapping.path = image.string();
    win::DriveMap::map(kLetter, mapping);
    Volume made{clsQzVolmDrwA::create(), 0};
    made.drw->put_DrivePP(kDrive);
    made.drw->put_DiskSectionPP(drwDiskSectionDataEntry);
    made.sector = made.drw->get_MinSectorPP();
    return made;
  }();
  return v;
}

// The sector holds the rows as WriteSectorDataWhole joins them: at most 16
// characters each, an empty or missing row as sixteen '?'.
void check_write_back(const std::vector<String>& rows, bool cryptography) {
  Volume& v = volume();
  clsQzVolmDrwA& drw = *v.drw;
  drw.put_ClusterFoundPP(v.sector);
  drw.put_CryptographyPP(cryptography);
  CollectionRef collection = Collection::create();
  for (const String& r : rows) collection->Add(Variant(r));
  const int error = raised([&] { drw.WriteSectorDataWhole(collection); });
  if (error) return;
  const Long row_count = drw.get_BytesPerSectorPP() / kRowBytes;
  String joined;
  for (Long i = 1; i <= row_count; ++i) {
    const String item =
        static_cast<std::size_t>(i) <= rows.size() ? rows[static_cast<std::size_t>(i - 1)] : String(kRowBytes, u'?');
    if (item.empty()) joined += String(kRowBytes, u'?');
    joined += item.substr(0, kRowBytes);
  }
  if (cryptography) joined = cipher::GetCrypEncString(joined);
  const std::string want = win::utf16_to_ansi(joined);
  if (want.size() > static_cast<std::size_t>(drw.get_BytesPerSectorPP())) return;
  const auto sector = ReadDriveSectors(kDrive, v.sector, 0, static_cast<Long>(want.size()));
  if (!sector || std::string(sector->begin(), sector->end()) != want) broken("the sector does not hold the rows");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  const std::uint8_t flags = data[0];
  const auto offset = static_cast<Long>(static_cast<std::int16_t>(data[1] | data[2] << 8));
  const Long index = data[3];
  const std::span<const std::uint8_t> payload(data + kHeader, size - kHeader);

  check_dump(payload);
  check_row(payload, offset);
  check_row(payload, static_cast<Long>(payload.size()) - kRowBytes);

  String text;
  if (flags & 1) {
    for (std::size_t i = 0; i + 1 < payload.size(); i += 2)
      text += static_cast<char16_t>(payload[i] | payload[i + 1] << 8);
  } else {
    text = win::ansi_to_utf16(std::string_view(reinterpret_cast<const char*>(payload.data()), payload.size()));
  }
  const std::vector<String> rows = lines_of(text);
  check_change(*volume().drw, rows, index, rows.front());
  check_write_back(rows, (flags & 2) != 0);
  return 0;
}
