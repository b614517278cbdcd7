// The .reg text format of the system's registry editor: writing version 5.00
// (UTF-16LE, CRLF) and reading both 5.00 and REGEDIT4 files.
#include <fstream>
#include <iterator>

#include "platform/ansi_code_page.h"
#include "platform/registry/registry_internal.h"
#include "platform/utf8.h"

namespace win {
namespace registry {
namespace {

using namespace std::string_view_literals;

constexpr std::u16string_view kHeader5 = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kHeader4 = u"REGEDIT4";
constexpr std::size_t kLineWidth = 80;

std::u16string ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

std::u16string hex2(BYTE b) {
  static const char16_t digits[] = u"0123456789abcdef";
  return {digits[b >> 4], digits[b & 15]};
}

std::u16string escaped(std::u16string_view s) {
  std::u16string out;
  for (char16_t c : s) {
    if (c == u'\\' || c == u'"') out += u'\\';
    out += c;
  }
  return out;
}

// Text the editor can show between quotes: one terminated string, no line breaks.
bool plain_string(const Value& v) {
  if (v.type != REG_SZ || v.data.size() < 2 || v.data.size() % 2) return false;
  auto text = utf16le_text(v.data);
  if (text.back() != 0) return false;
  text.pop_back();
  return text.find_first_of(u"\0\r\n"sv) == std::u16string::npos;
}

// Hex data wrapped as the editor wraps it: lines of at most 80 characters,
// continued by a backslash after the comma.
std::u16string hex_data(std::u16string line, const std::vector<BYTE>& data) {
  std::u16string out;
  bool bytes_on_line = false;
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::u16string piece = hex2(data[i]);
    if (i + 1 < data.size()) piece += u',';
    if (bytes_on_line && line.size() + piece.size() + 1 > kLineWidth) {
      out += line + u"\\\r\n";
      line = u"  ";
    }
    line += piece;
    bytes_on_line = true;
  }
  return out + line;
}

std::u16string value_line(const Value& v) {
  std::u16string line = v.name.empty() ? u"@=" : u"\"" + escaped(v.name) + u"\"=";
  if (plain_string(v)) {
    auto text = utf16le_text(v.data);
    text.pop_back();
    return line + u"\"" + escaped(text) + u"\"";
  }
  if (v.type == REG_DWORD && v.data.size() == 4) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x",
                  static_cast<unsigned>(v.data[0] | v.data[1] << 8 | v.data[2] << 16 | v.data[3] << 24));
    return line + ascii(buf);
  }
  if (v.type == REG_BINARY) return hex_data(line + u"hex:", v.data);
  char buf[24];
  std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
  return hex_data(line + ascii(buf), v.data);
}

void write_section(Store& store, KeyId key, const std::u16string& path, std::u16string& out) {
  out += u"[" + path + u"]\r\n";
  auto values = store.values(key);
  // The default value leads, as the editor writes it.
  for (const auto& v : values)
    if (v.name.empty()) out += value_line(v) + u"\r\n";
  for (const auto& v : values)
    if (!v.name.empty()) out += value_line(v) + u"\r\n";
  out += u"\r\n";
  for (const auto& sub : store.subkeys(key)) write_section(store, sub.id, path + u"\\" + sub.name, out);
}

// ---- reading --------------------------------------------------------------------

struct Op {
  enum Kind { kKey, kDeleteKey, kValue, kDeleteValue } kind;
  KeyId root = 0;
  std::vector<std::u16string> path;
  Value value;
};

struct ParseError {
  std::size_t line;
};

std::vector<std::u16string_view> split_lines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == u'\r' || text[i] == u'\n') {
      lines.push_back(text.substr(start, i - start));
      if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n') ++i;
      start = i + 1;
    }
  }
  return lines;
}

std::u16string_view trim(std::u16string_view s) {
  while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
  return s;
}

int hex_digit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::optional<std::uint32_t> hex_number(std::u16string_view s, std::size_t max_digits) {
  if (s.empty() || s.size() > max_digits) return std::nullopt;
  std::uint32_t v = 0;
  for (char16_t c : s) {
    int d = hex_digit(c);
    if (d < 0) return std::nullopt;
    v = v << 4 | static_cast<std::uint32_t>(d);
  }
  return v;
}

// A quoted text at the start of s; s is left after the closing quote.
std::optional<std::u16string> quoted_text(std::u16string_view& s) {
  if (s.empty() || s.front() != u'"') return std::nullopt;
  std::u16string out;
  for (std::size_t i = 1; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c == u'"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c == u'\\' && i + 1 < s.size() && (s[i + 1] == u'\\' || s[i + 1] == u'"')) c = s[++i];
    out += c;
  }
  return std::nullopt;
}

std::optional<std::vector<BYTE>> hex_list(std::u16string_view s) {
  std::vector<BYTE> out;
  s = trim(s);
  if (s.empty()) return out;
  for (;;) {
    auto comma = s.find(u',');
    auto b = hex_number(trim(s.substr(0, comma)), 2);
    if (!b) return std::nullopt;
    out.push_back(static_cast<BYTE>(*b));
    if (comma == std::u16string_view::npos) return out;
    s.remove_prefix(comma + 1);
  }
}

class Parser {
 public:
  explicit Parser(std::u16string_view text) : lines_(split_lines(text)) {}

  std::vector<Op> parse() {
    std::size_t i = 0;
    while (i < lines_.size() && trim(lines_[i]).empty()) ++i;
    if (i == lines_.size()) throw ParseError{1};
    auto header = trim(lines_[i]);
    if (header == kHeader5) {
      unicode_ = true;
    } else if (header == kHeader4) {
      unicode_ = false;
    } else {
      throw ParseError{i + 1};
    }
    for (++i; i < lines_.size(); ++i) {
      std::size_t first = i;
      auto line = trim(lines_[i]);
      if (line.empty() || line.front() == u';') continue;
      if (line.front() == u'[') {
        section(line, first);
        continue;
      }
      // A value's data may go on over lines ending in a backslash.
      std::u16string logical(line);
      while (!logical.empty() && logical.back() == u'\\' && i + 1 < lines_.size()) {
        logical.pop_back();
        logical += trim(lines_[++i]);
      }
      value(logical, first);
    }
    return std::move(ops_);
  }

 private:
  void section(std::u16string_view line, std::size_t at) {
    auto close = line.rfind(u']');
    if (close == std::u16string_view::npos || close == 0) throw ParseError{at + 1};
    auto inner = line.substr(1, close - 1);
    bool remove = !inner.empty() && inner.front() == u'-';
    if (remove) inner.remove_prefix(1);
    auto slash = inner.find(u'\\');
    auto root = root_by_name(inner.substr(0, slash));
    if (!root) throw ParseError{at + 1};
    std::vector<std::u16string> names;
    if (slash != std::u16string_view::npos && split_path(inner.substr(slash + 1), names) != ERROR_SUCCESS)
      throw ParseError{at + 1};
    if (remove && names.empty()) throw ParseError{at + 1};  // a root cannot go
    ops_.push_back(Op{remove ? Op::kDeleteKey : Op::kKey, *root, names, {}});
    in_deleted_key_ = remove;
    have_key_ = true;
  }

  void value(std::u16string_view line, std::size_t at) {
    if (!have_key_) throw ParseError{at + 1};
    Value v;
    if (line.front() == u'@') {
      line.remove_prefix(1);
    } else {
      auto name = quoted_text(line);
      if (!name) throw ParseError{at + 1};
      v.name = *name;
    }
    line = trim(line);
    if (line.empty() || line.front() != u'=') throw ParseError{at + 1};
    line = trim(line.substr(1));
    if (in_deleted_key_) return;  // the editor ignores them too
    const Op& key = last_key();
    if (line == u"-") {
      ops_.push_back(Op{Op::kDeleteValue, key.root, key.path, std::move(v)});
      return;
    }
    if (!data(line, v)) throw ParseError{at + 1};
    ops_.push_back(Op{Op::kValue, key.root, key.path, std::move(v)});
  }

  bool data(std::u16string_view s, Value& v) {
    if (!s.empty() && s.front() == u'"') {
      auto text = quoted_text(s);
      if (!text || !trim(s).empty()) return false;
      v.type = REG_SZ;
      v.data = utf16le_bytes(*text + u'\0');
      return true;
    }
    if (s.substr(0, 6) == u"dword:") {
      auto n = hex_number(s.substr(6), 8);
      if (!n) return false;
      v.type = REG_DWORD;
      v.data = {static_cast<BYTE>(*n), static_cast<BYTE>(*n >> 8), static_cast<BYTE>(*n >> 16),
                static_cast<BYTE>(*n >> 24)};
      return true;
    }
    if (s.substr(0, 4) == u"hex:") {
      v.type = REG_BINARY;
    } else if (s.substr(0, 4) == u"hex(") {
      auto close = s.find(u')');
      if (close == std::u16string_view::npos || s.substr(close + 1, 1) != u":") return false;
      auto type = hex_number(s.substr(4, close - 4), 8);
      if (!type) return false;
      v.type = *type;
      s.remove_prefix(close - 2);
    } else {
      return false;
    }
    auto bytes = hex_list(s.substr(4));
    if (!bytes) return false;
    v.data = std::move(*bytes);
    // REGEDIT4 spells string data in the ANSI code page.
    if (!unicode_ && is_string_type(v.type))
      v.data =
          utf16le_bytes(ansi_to_utf16(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size())));
    return true;
  }

  const Op& last_key() const {
    for (auto it = ops_.rbegin(); it != ops_.rend(); ++it)
      if (it->kind == Op::kKey) return *it;
    throw ParseError{0};
  }

  std::vector<std::u16string_view> lines_;
  std::vector<Op> ops_;
  bool unicode_ = true;
  bool have_key_ = false;
  bool in_deleted_key_ = false;
};

void apply_ops(Store& store, const std::vector<Op>& ops) {
  auto now = now_filetime();
  KeyId current = 0;
  for (const auto& op : ops) {
    switch (op.kind) {
      case Op::kKey: current = create_path(store, op.root, op.path, now); break;
      case Op::kDeleteKey:
        if (auto key = find_path(store, op.root, op.path)) {
          KeyId parent = store.parent_of(*key);
          store.remove_tree(*key);
          store.touch(parent, now);
        }
        break;
      case Op::kValue:
        store.put_value(current, op.value);
        store.touch(current, now);
        break;
      case Op::kDeleteValue:
        if (store.remove_value(current, op.value.name)) store.touch(current, now);
        break;
    }
  }
}

bool valid_utf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

std::u16string decode(std::string_view bytes) {
  auto starts = [&](std::string_view p) { return bytes.substr(0, p.size()) == p; };
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    bool big = bytes[0] == '\xFE';
    bytes.remove_prefix(2);
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i) {
      auto lo = static_cast<unsigned char>(bytes[2 * i + (big ? 1 : 0)]);
      auto hi = static_cast<unsigned char>(bytes[2 * i + (big ? 0 : 1)]);
      out[i] = static_cast<char16_t>(lo | hi << 8);
    }
    return out;
  }
  if (starts("\xEF\xBB\xBF")) return utf8_to_utf16(bytes.substr(3));
  return valid_utf8(bytes) ? utf8_to_utf16(bytes) : ansi_to_utf16(bytes);
}

}  // namespace
}  // namespace registry

using namespace registry;

LONG registry_export(std::string_view key_path, std::u16string& text) {
  auto path = ansi_to_utf16(key_path);
  std::vector<KeyId> roots;
  std::vector<std::u16string> names;
  if (path.empty()) {
    roots = {kClassesRootId, kCurrentUserId, kLocalMachineId};
  } else {
    auto slash = path.find(u'\\');
    auto root = root_by_name(std::u16string_view(path).substr(0, slash));
    if (!root) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    if (slash != std::u16string::npos)
      if (auto rc = split_path(std::u16string_view(path).substr(slash + 1), names)) return static_cast<LONG>(rc);
    roots = {*root};
  }
  auto store = current_store();
  if (!store) return static_cast<LONG>(ERROR_REGISTRY_IO_FAILED);
  std::u16string out = std::u16string(kHeader5) + u"\r\n\r\n";
  LONG rc = store->transact(false, [&]() -> LONG {
    for (KeyId root : roots) {
      KeyId key = root;
      std::u16string full = root_name(root);
      // The stored spelling of each name, not the caller's.
      for (const auto& name : names) {
        auto folded = fold_name(name);
        std::optional<SubKey> match;
        for (auto& sub : store->subkeys(key))
          if (fold_name(sub.name) == folded) match = sub;
        if (!match) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
        key = match->id;
        full += u"\\" + match->name;
      }
      write_section(*store, key, full, out);
    }
    return static_cast<LONG>(ERROR_SUCCESS);
  });
  if (rc == static_cast<LONG>(ERROR_SUCCESS)) text = std::move(out);
  return rc;
}

LONG registry_export_file(std::string_view key_path, const std::filesystem::path& file) {
  std::u16string text;
  if (auto rc = registry_export(key_path, text)) return rc;
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out ? static_cast<LONG>(ERROR_SUCCESS) : static_cast<LONG>(ERROR_CANTWRITE);
}

LONG registry_import(std::u16string_view text, std::size_t* error_line) {
  if (!text.empty() && text.front() == u'\xFEFF') text.remove_prefix(1);
  std::vector<Op> ops;
  try {
    ops = Parser(text).parse();
  } catch (const ParseError& e) {
    if (error_line) *error_line = e.line;
    return static_cast<LONG>(ERROR_INVALID_DATA);
  }
  auto store = current_store();
  if (!store) return static_cast<LONG>(ERROR_REGISTRY_IO_FAILED);
  return store->transact(true, [&]() -> LONG {
    apply_ops(*store, ops);
    return static_cast<LONG>(ERROR_SUCCESS);
  });
}

LONG registry_import_file(const std::filesystem::path& file, std::size_t* error_line) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return static_cast<LONG>(ERROR_CANTREAD);
  return registry_import(decode(bytes), error_line);
}

}  // namespace win
