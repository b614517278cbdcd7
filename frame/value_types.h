// The automation value types as the library's members use them.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/automation/collection.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/variant.h"

namespace volumar {

using String = std::u16string;
using Long = std::int32_t;
using Integer = std::int16_t;
using Byte = std::uint8_t;
using Boolean = bool;  // True travels as -1 in a Variant
using Double = double;
using Variant = win::Variant;
using ObjectRef = win::ObjectRef;
using Collection = win::Collection;
using CollectionRef = win::CollectionRef;

// The runtime's picture object (IPictureDisp); the library hands none out.
class Picture : public win::Object {
 public:
  std::optional<win::DISPID> GetIDsOfNames(std::u16string_view) override { return std::nullopt; }
  Variant Invoke(win::DISPID, win::DispatchKind, std::vector<Variant>&) override;
  std::u16string type_name() const override { return u"Picture"; }
};
using PictureRef = std::shared_ptr<Picture>;

// Resource kinds of the runtime's LoadResPicture.
enum LoadResConstants : std::int32_t { vbResBitmap = 0, vbResIcon = 1, vbResCursor = 2 };
constexpr const char* enum_type_name(LoadResConstants) { return "LoadResConstants"; }

// Strings from ASCII literals and texts of the library.
inline String S(std::string_view ascii) { return String(ascii.begin(), ascii.end()); }

}  // namespace volumar
