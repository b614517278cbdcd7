// Printing of automation values.
#include "tools/volumar/value_format.h"

#include <cstdio>
#include <optional>

#include "platform/automation/collection.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/variant_conversion.h"
#include "tools/volumar/text.h"

namespace volumar_tool {
namespace {

std::string hex2(unsigned v) {
  static const char* digits = "0123456789ABCDEF";
  return {digits[(v >> 4) & 0xF], digits[v & 0xF]};
}

bool needs_escape(char16_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0xA0 || c == 0xAD; }

std::string number(double d) { return utf8(win::number_text(d)); }

}  // namespace

std::string quote_string(std::u16string_view text) {
  std::string out = "\"";
  std::u16string plain;
  auto flush = [&] {
    out += utf8(plain);
    plain.clear();
  };
  for (char16_t c : text) {
    if (c == u'\r' || c == u'\n' || c == u'"' || c == u'\\' || needs_escape(c)) {
      flush();
      if (c == u'\r')
        out += "\\r";
      else if (c == u'\n')
        out += "\\n";
      else if (c == u'"')
        out += "\\\"";
      else if (c == u'\\')
        out += "\\\\";
      else
        out += "\\x" + hex2(win::ansi_byte(c));
    } else {
      plain += c;
    }
  }
  flush();
  return out + "\"";
}

std::string format_scalar(const win::Variant& v) {
  switch (v.type()) {
    case win::VarType::Empty: return v.is_missing() ? "Missing" : "Empty";
    case win::VarType::Null: return "Null";
    case win::VarType::Integer: return std::to_string(v.integer_value());
    case win::VarType::Long: return std::to_string(v.long_value());
    case win::VarType::Byte: return std::to_string(v.byte_value());
    case win::VarType::Double: return number(v.double_value());
    case win::VarType::Boolean: return v.bool_value() ? "True" : "False";
    case win::VarType::String: return quote_string(v.string_value());
    case win::VarType::ByteArray: {
      const auto& bytes = v.bytes_value();
      std::string out = "Bytes(" + std::to_string(bytes.size()) + ")";
      for (auto b : bytes) out += " " + hex2(b);
      return out;
    }
    case win::VarType::Object: {
      const auto& object = v.object_value();
      if (!object) return "Nothing";
      if (auto c = std::dynamic_pointer_cast<win::Collection>(object))
        return "Collection(" + std::to_string(c->Count()) + ")";
      return "Object(" + utf8(object->type_name()) + ")";
    }
    case win::VarType::Error: return v.is_missing() ? "Missing" : "Error";
    default: return "?";
  }
}

std::string format_value(const win::Variant& v, const std::string& indent) {
  std::string out = format_scalar(v);
  if (v.type() != win::VarType::Object || !v.object_value()) return out;
  auto c = std::dynamic_pointer_cast<win::Collection>(v.object_value());
  if (!c) return out;
  for (std::int32_t i = 1; i <= c->Count(); ++i) {
    const win::Variant item = c->Item(win::Variant(i));
    out += "\n" + indent + "  [" + std::to_string(i) + "] ";
    if (auto key = c->Key(i)) out += utf8(*key) + " = ";
    out += format_value(item, indent + "  ");
  }
  return out;
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
