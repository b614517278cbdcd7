// The member table of a class: every entry of its interface in
// function-table order, with dispatch id, kind and argument conventions.
// Dispatch, the typed C++ members' binding and the type library are all
// derived from these tables.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/value_types.h"

namespace volumar {

enum class MemberKind { Get, Put, PutRef, Method };

// An automation type as the type library names it.
struct TypeDesc {
  win::VarType vt = win::VarType::Empty;  // Empty for "no result"
  const char* name = "";                  // "String", "Collection", "DRWDiskSectionConstants"...
  bool operator==(const TypeDesc& other) const { return vt == other.vt && std::string_view(name) == other.name; }
};

struct ParamDesc {
  const char* name;
  TypeDesc type;
  bool by_ref = false;
  bool optional = false;
  std::optional<Variant> default_value;
};

class AutomationObject;
struct MemberInfo;
using Invoker = Variant (*)(AutomationObject& self, std::vector<Variant>& args, const MemberInfo& member);

struct MemberInfo {
  const char* name;
  MemberKind kind;
  win::DISPID id;
  std::vector<ParamDesc> params;
  TypeDesc result;
  Invoker invoke;
};

struct EnumDesc {
  const char* name;
  std::vector<std::pair<std::string, std::int32_t>> constants;
};

struct ClassInfo {
  const char* name;            // "clsQzVolmDrwA"
  const char* interface_name;  // "_clsQzVolmDrwA"
  const char* clsid;
  const char* iid;
  std::function<const std::vector<MemberInfo>&()> members;
  std::function<ObjectRef()> create;
  std::string progid() const;
};

const char* member_kind_name(MemberKind kind);

}  // namespace volumar
