#include "frame/root_object_resources.h"

#include "format/byte_order.h"
#include "frame/application_object.h"
#include "frame/library_info.h"
#include "platform/ansi_code_page.h"
#include "platform/automation/dispatch.h"

namespace volumar {
namespace {

// One node of a version record: header, key, value, children, each part
// starting on a 32-bit boundary.
struct VersionNode {
  String key;
  win::Bytes value;
  bool text = false;  // value is UTF-16 text; its length counts characters
  std::vector<VersionNode> children;
};

void pad4(win::Bytes& out) {
  while (out.size() % 4) out.push_back(0);
}

void put_utf16z(win::Bytes& out, const String& s) {
  for (char16_t c : s) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
}

win::Bytes encode(const VersionNode& node) {
  win::Bytes out(6, 0);
  put_utf16z(out, node.key);
  pad4(out);
  out.insert(out.end(), node.value.begin(), node.value.end());
  for (const VersionNode& child : node.children) {
    pad4(out);
    win::Bytes c = encode(child);
    out.insert(out.end(), c.begin(), c.end());
  }
  const std::size_t value_length = node.text ? node.value.size() / 2 : node.value.size();
  ondisk::put_le16(out.data(), 0, static_cast<std::uint16_t>(out.size()));
  ondisk::put_le16(out.data(), 2, static_cast<std::uint16_t>(value_length));
  ondisk::put_le16(out.data(), 4, node.text || node.value.empty() ? 1 : 0);
  return out;
}

VersionNode text_entry(const char16_t* key, const String& value) {
  VersionNode n{key, {}, true, {}};
  put_utf16z(n.value, value);
  return n;
}

bool names_match(const String& a, const char16_t* b) { return win::names_equal(a, b); }

}  // namespace

std::span<const std::uint8_t> type_library_resource() { return {generated::kTypeLibrary, generated::kTypeLibrarySize}; }

win::Bytes version_resource() {
  const std::uint32_t major = kLibraryVersionMajor, minor = kLibraryVersionMinor, revision = kLibraryRevision;
  win::Bytes fixed(52, 0);
  ondisk::put_le32(fixed.data(), 0, 0xFEEF04BDu);  // signature
  ondisk::put_le32(fixed.data(), 4, 0x00010000u);  // structure version
  ondisk::put_le32(fixed.data(), 8, major << 16 | minor);
  ondisk::put_le32(fixed.data(), 12, revision);
  ondisk::put_le32(fixed.data(), 16, major << 16 | minor);
  ondisk::put_le32(fixed.data(), 20, revision);
  ondisk::put_le32(fixed.data(), 24, 0x3F);  // flags mask
  ondisk::put_le32(fixed.data(), 32, 0x4);   // VOS__WINDOWS32
  ondisk::put_le32(fixed.data(), 36, 0x2);   // VFT_DLL

  const String version =
      win::ansi_to_utf16(std::to_string(major) + "." + std::to_string(minor) + ".0." + std::to_string(revision));
  auto a = [](const char* s) { return win::ansi_to_utf16(s); };
  VersionNode table{u"040904B0", {}, false, {}};
  table.children = {
      text_entry(u"Comments", a(kComments)),
      text_entry(u"CompanyName", a(kCompanyName)),
      text_entry(u"FileDescription", a(kLibraryDescription)),
      text_entry(u"FileVersion", version),
      text_entry(u"InternalName", a(kLibraryName)),
      text_entry(u"LegalCopyright", a(kLegalCopyright)),
      text_entry(u"LegalTrademarks", a(kLegalTrademarks)),
      text_entry(u"OriginalFilename", a(kLibraryFileName)),
      text_entry(u"ProductName", a(kProductName)),
      text_entry(u"ProductVersion", version),
  };
  VersionNode translation{u"Translation", win::Bytes(4, 0), false, {}};
  ondisk::put_le32(translation.value.data(), 0, 0x04B00409u);  // U.S. English, Unicode
  VersionNode root{u"VS_VERSION_INFO", fixed, false, {}};
  root.children = {VersionNode{u"StringFileInfo", {}, false, {table}},
                   VersionNode{u"VarFileInfo", {}, false, {translation}}};
  return encode(root);
}

std::optional<win::Bytes> find_library_resource(const ResourceType& type, std::int32_t id) {
  if (id != 1) return std::nullopt;
  std::optional<std::int32_t> number;
  if (!type.name)
    number = type.number;
  else if (type.name->size() > 1 && (*type.name)[0] == u'#') {
    std::int32_t n = 0;
    for (std::size_t i = 1; i < type.name->size(); ++i) {
      const char16_t c = (*type.name)[i];
      if (c < u'0' || c > u'9' || n > 65535) return std::nullopt;
      n = n * 10 + (c - u'0');
    }
    number = n;
  }
  if (number) {
    if (*number == kResourceTypeVersion) return version_resource();
    return std::nullopt;
  }
  if (names_match(*type.name, kResourceTypeTypeLib)) {
    auto bytes = type_library_resource();
    return win::Bytes(bytes.begin(), bytes.end());
  }
  return std::nullopt;
}

}  // namespace volumar
