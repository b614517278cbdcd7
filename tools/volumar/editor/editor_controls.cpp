// Form and text control objects of the terminal editor.
#include "tools/volumar/editor/editor_controls.h"

#include "platform/automation/automation_error.h"
#include "platform/automation/variant_conversion.h"

namespace volumar_tool {
namespace {

enum : win::DISPID { kText = 1, kFontSize, kFontName, kWidth, kHeight, kFont, kTextWidth };

std::optional<win::DISPID> find(std::u16string_view name,
                                std::initializer_list<std::pair<const char16_t*, win::DISPID>> names) {
  for (const auto& [n, id] : names)
    if (win::names_equal(name, n)) return id;
  return std::nullopt;
}

const win::Variant& value_arg(std::vector<win::Variant>& args) {
  if (args.empty()) win::raise_error(win::kErrNotOptional);
  return args.back().deref();
}

bool is_put(win::DispatchKind kind) { return kind & (win::DISPATCH_PROPERTYPUT | win::DISPATCH_PROPERTYPUTREF); }

}  // namespace

std::optional<win::DISPID> TextControl::GetIDsOfNames(std::u16string_view name) {
  return find(name, {{u"Text", kText}, {u"FontSize", kFontSize}, {u"FontName", kFontName}, {u"Width", kWidth}});
}

win::Variant TextControl::Invoke(win::DISPID id, win::DispatchKind kind, std::vector<win::Variant>& args) {
  const bool put = is_put(kind);
  switch (id) {
    case kText:
      if (!put) return win::Variant(text);
      text = value_arg(args).is_empty() ? std::u16string() : win::to_string(value_arg(args));
      return {};
    case kFontSize:
      if (!put) return win::Variant(font_size);
      font_size = win::to_long(value_arg(args));
      return {};
    case kFontName:
      if (!put) return win::Variant(font_name);
      font_name = win::to_string(value_arg(args));
      return {};
    case kWidth:
      if (!put) return win::Variant(width);
      width = win::to_long(value_arg(args));
      return {};
    default: win::raise_error(win::kErrNotSupported);
  }
}

std::optional<win::DISPID> EditorForm::GetIDsOfNames(std::u16string_view name) {
  return find(name, {{u"Height", kHeight},
                     {u"Width", kWidth},
                     {u"Font", kFont},
                     {u"FontSize", kFontSize},
                     {u"TextWidth", kTextWidth}});
}

win::Variant EditorForm::Invoke(win::DISPID id, win::DispatchKind kind, std::vector<win::Variant>& args) {
  const bool put = is_put(kind);
  switch (id) {
    case kHeight:
      if (!put) return win::Variant(height);
      height = win::to_long(value_arg(args));
      return {};
    case kWidth:
      if (!put) return win::Variant(width);
      width = win::to_long(value_arg(args));
      return {};
    case kFont:
      if (!put) return font;
      font = value_arg(args);
      return {};
    case kFontSize:
      if (!put) return win::Variant(font_size);
      font_size = win::to_long(value_arg(args));
      return {};
    case kTextWidth:
      if (put || args.empty()) win::raise_error(win::kErrNotSupported);
      return win::Variant(static_cast<std::int32_t>(win::to_string(args[0].deref()).size()));
    default: win::raise_error(win::kErrNotSupported);
  }
}

}  // namespace volumar_tool
