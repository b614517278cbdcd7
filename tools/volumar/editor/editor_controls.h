// The terminal editor's form and text control as automation objects, so
// that the sector editor reaches them by name through dispatch, as it does
// a client's window: ShowSectorInEditControlPP fills the text control and
// SizeDRWForm sizes both. Sizes are terminal columns and rows.
#pragma once
#include <string>

#include "platform/automation/dispatch.h"

namespace volumar_tool {

// Text, FontSize, FontName, Width.
class TextControl : public win::Object {
 public:
  std::optional<win::DISPID> GetIDsOfNames(std::u16string_view name) override;
  win::Variant Invoke(win::DISPID id, win::DispatchKind kind, std::vector<win::Variant>& args) override;
  std::u16string type_name() const override { return u"TextBox"; }

  std::u16string text;
  std::u16string font_name;
  std::int32_t font_size = 0;
  std::int32_t width = 0;
};

// Height, Width, Font (a font name held as an object or a text), FontSize,
// TextWidth(text): one column per character.
class EditorForm : public win::Object {
 public:
  std::optional<win::DISPID> GetIDsOfNames(std::u16string_view name) override;
  win::Variant Invoke(win::DISPID id, win::DispatchKind kind, std::vector<win::Variant>& args) override;
  std::u16string type_name() const override { return u"Form"; }

  std::int32_t height = 0;
  std::int32_t width = 0;
  std::int32_t font_size = 0;
  win::Variant font;
};

}  // namespace volumar_tool
