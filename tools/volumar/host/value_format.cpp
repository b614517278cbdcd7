// Printing of automation values.
#include "tools/volumar/host/value_format.h"

#include <charconv>
#include <cstdio>
#include <optional>

#include "platform/automation/collection.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/variant_conversion.h"
#include "tools/volumar/host/text.h"

namespace volumar_tool {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void append_hex2(std::string& out, unsigned v) {
  out += kHexDigits[(v >> 4) & 0xF];
  out += kHexDigits[v & 0xF];
}

void append_decimal(std::string& out, std::int64_t v) {
  char buf[24];
  out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

bool needs_escape(char16_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0xA0 || c == 0xAD; }

const win::Collection* as_collection(const win::Variant& v) {
  if (v.type() != win::VarType::Object) return nullptr;
  return dynamic_cast<const win::Collection*>(v.object_value().get());
}

void append_quoted(std::string& out, std::u16string_view text) {
  // One pass through a pointer: a character takes at most four bytes
  // (\xNN, or the four UTF-8 bytes of a surrogate pair for its two units).
  const std::size_t start = out.size();
  out.resize(start + 4 * text.size() + 2);
  char* p = out.data() + start;
  *p++ = '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0x20 && c < 0x7F) {
      if (c == '"' || c == '\\') *p++ = '\\';
      *p++ = static_cast<char>(c);
    } else if (c == u'\r') {
      *p++ = '\\';
      *p++ = 'r';
    } else if (c == u'\n') {
      *p++ = '\\';
      *p++ = 'n';
    } else if (needs_escape(static_cast<char16_t>(c))) {
      const unsigned b = win::ansi_byte(static_cast<char16_t>(c));
      *p++ = '\\';
      *p++ = 'x';
      *p++ = kHexDigits[(b >> 4) & 0xF];
      *p++ = kHexDigits[b & 0xF];
    } else {
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
        ++i;
      }
      if (c < 0x800) {
        *p++ = static_cast<char>(0xC0 | (c >> 6));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
      } else if (c < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (c >> 12));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
      } else {
        *p++ = static_cast<char>(0xF0 | (c >> 18));
        *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
      }
    }
  }
  *p++ = '"';
  out.resize(static_cast<std::size_t>(p - out.data()));
}

void append_scalar(std::string& out, const win::Variant& v) {
  switch (v.type()) {
    case win::VarType::Empty: out += v.is_missing() ? "Missing" : "Empty"; return;
    case win::VarType::Null: out += "Null"; return;
    case win::VarType::Integer: append_decimal(out, v.integer_value()); return;
    case win::VarType::Long: append_decimal(out, v.long_value()); return;
    case win::VarType::Byte: append_decimal(out, v.byte_value()); return;
    case win::VarType::Double: win::append_utf8(out, win::number_text(v.double_value())); return;
    case win::VarType::Boolean: out += v.bool_value() ? "True" : "False"; return;
    case win::VarType::String: append_quoted(out, v.string_value()); return;
    case win::VarType::ByteArray: {
      const auto& bytes = v.bytes_value();
      out += "Bytes(";
      append_decimal(out, static_cast<std::int64_t>(bytes.size()));
      out += ')';
      for (auto b : bytes) {
        out += ' ';
        append_hex2(out, b);
      }
      return;
    }
    case win::VarType::Object: {
      const auto& object = v.object_value();
      if (!object) {
        out += "Nothing";
      } else if (const auto* c = dynamic_cast<const win::Collection*>(object.get())) {
        out += "Collection(";
        append_decimal(out, c->Count());
        out += ')';
      } else {
        out += "Object(";
        win::append_utf8(out, object->type_name());
        out += ')';
      }
      return;
    }
    case win::VarType::Error: out += v.is_missing() ? "Missing" : "Error"; return;
    default: out += '?'; return;
  }
}

void append_value_indented(std::string& out, const win::Variant& v, std::string& indent) {
  append_scalar(out, v);
  const win::Collection* c = as_collection(v);
  if (!c) return;
  // The items are read in place; the indent grows for nested collections
  // and is given back after them.
  const std::size_t outer = indent.size();
  for (std::int32_t i = 1; i <= c->Count(); ++i) {
    out += '\n';
    out += indent;
    out += "  [";
    append_decimal(out, i);
    out += "] ";
    const auto at = static_cast<std::size_t>(i - 1);
    if (const auto& key = c->key_at(at)) {
      win::append_utf8(out, *key);
      out += " = ";
    }
    indent += "  ";
    append_value_indented(out, c->item_at(at), indent);
    indent.resize(outer);
  }
}

}  // namespace

std::string quote_string(std::u16string_view text) {
  std::string out;
  append_quoted(out, text);
  return out;
}

std::string format_scalar(const win::Variant& v) {
  std::string out;
  append_scalar(out, v);
  return out;
}

std::string format_value(const win::Variant& v, const std::string& indent) {
  std::string out;
  append_value(out, v, indent);
  return out;
}

void append_value(std::string& out, const win::Variant& v, std::string_view indent) {
  std::string grown(indent);
  append_value_indented(out, v, grown);
}

std::string format_plain(const win::Variant& v) {
  switch (v.type()) {
    case win::VarType::String: return utf8(v.string_value());
    case win::VarType::Object: {
      auto c = v.object_value() ? std::dynamic_pointer_cast<win::Collection>(v.object_value()) : nullptr;
      if (!c) return format_scalar(v);
      std::string out;
      for (std::int32_t i = 1; i <= c->Count(); ++i) {
        if (i > 1) out += ",";
        out += format_plain(c->Item(win::Variant(i)));
      }
      return out;
    }
    default: return format_scalar(v);
  }
}

}  // namespace volumar_tool
