#include "server/type_library.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

#include "drw/drw_enumerations.h"
#include "frame/library_info.h"
#include "frame/member_table.h"
#include "server/class_registry.h"

namespace volumar {
namespace {

// The runtime's own identifiers, so that a client resolves the imports
// against the runtime libraries it has.
constexpr const char* kVbaLibid = "000204EF-0000-0000-C000-000000000046";
constexpr const char* kCollectionClsid = "A4C4671C-499F-101B-BB78-00AA00383CBB";
constexpr const char* kVbrunLibid = "EA544A21-C82D-11D1-A3E4-00A0C90AEA82";

const char* const kCollectionInterface =
    R"(  [odl, uuid(A4C46780-499F-101B-BB78-00AA00383CBB), hidden, dual, nonextensible, oleautomation]
  interface _Collection : IDispatch {
    [id(0)] HRESULT Item([in] VARIANT* Index, [out, retval] VARIANT* pvarRet);
    [id(1)] HRESULT Add([in] VARIANT* Item, [in, optional] VARIANT* Key, [in, optional] VARIANT* Before,
                        [in, optional] VARIANT* After);
    [id(2)] HRESULT Count([out, retval] long* pi4);
    [id(3)] HRESULT Remove([in] VARIANT* Index);
    [id(0xfffffffc), restricted] HRESULT _NewEnum([out, retval] IUnknown** ppunk);
  };
)";

const char* const kLoadResConstants = R"(  typedef [public] enum LoadResConstants {
    vbResBitmap = 0,
    vbResIcon = 1,
    vbResCursor = 2
  } LoadResConstants;
)";

std::string strip_braces(const char* guid) {
  std::string g(guid);
  if (!g.empty() && g.front() == '{') g = g.substr(1, g.size() - 2);
  return g;
}

std::string hex(win::DISPID id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08x", static_cast<unsigned>(id));
  return buf;
}

std::string idl_type(const TypeDesc& t) {
  const std::string name = t.name;
  switch (t.vt) {
    case win::VarType::String: return "BSTR";
    case win::VarType::Long: return name == "Long" ? "long" : name;  // enumerations travel as Long
    case win::VarType::Integer: return "short";
    case win::VarType::Byte: return "unsigned char";
    case win::VarType::Boolean: return "VARIANT_BOOL";
    case win::VarType::Double: return "double";
    case win::VarType::Variant: return "VARIANT";
    case win::VarType::Object:
      if (name == "Collection") return "_Collection*";
      if (name == "Picture") return "IPictureDisp*";
      return "IDispatch*";
    default: throw std::logic_error("no IDL type for " + name);
  }
}

// A declared default as IDL writes it; strings are left out, since a
// by-reference String cannot carry one there.
std::string default_text(const Variant& v) {
  switch (v.type()) {
    case win::VarType::Boolean: return v.bool_value() ? "-1" : "0";
    case win::VarType::Integer: return std::to_string(v.integer_value());
    case win::VarType::Long: return std::to_string(v.long_value());
    case win::VarType::Byte: return std::to_string(v.byte_value());
    default: return {};
  }
}

std::string parameter(const ParamDesc& p, MemberKind kind) {
  std::string attrs = p.by_ref ? "in, out" : "in";
  if (p.optional) attrs += ", optional";
  if (p.default_value) {
    std::string d = default_text(*p.default_value);
    if (!d.empty()) attrs += ", defaultvalue(" + d + ")";
  }
  std::string type = idl_type(p.type);
  if (p.by_ref && kind != MemberKind::Put && kind != MemberKind::PutRef) type += "*";
  return "[" + attrs + "] " + type + " " + p.name;
}

void write_member(std::ostringstream& out, const MemberInfo& m) {
  std::string attrs = "id(" + hex(m.id) + ")";
  switch (m.kind) {
    case MemberKind::Get: attrs += ", propget"; break;
    case MemberKind::Put: attrs += ", propput"; break;
    case MemberKind::PutRef: attrs += ", propputref"; break;
    case MemberKind::Method: break;
  }
  std::vector<std::string> params;
  for (const ParamDesc& p : m.params) params.push_back(parameter(p, m.kind));
  if (m.result.vt != win::VarType::Empty) params.push_back("[out, retval] " + idl_type(m.result) + "* pRetVal");
  out << "    [" << attrs << "]\n    HRESULT " << m.name << "(";
  for (std::size_t i = 0; i < params.size(); ++i) out << (i ? ",\n        " : "") << params[i];
  out << ");\n";
}

void write_class(std::ostringstream& out, const ClassInfo& c) {
  out << "  [odl, uuid(" << strip_braces(c.iid) << "), version(1.0), hidden, dual, nonextensible, oleautomation]\n"
      << "  interface " << c.interface_name << " : IDispatch {\n";
  for (const MemberInfo& m : c.members()) write_member(out, m);
  out << "  };\n\n"
      << "  [uuid(" << strip_braces(c.clsid) << "), version(1.0)]\n"
      << "  coclass " << c.name << " {\n    [default] interface " << c.interface_name << ";\n  };\n\n";
}

void write_enum(std::ostringstream& out, const EnumDesc& e) {
  out << "  typedef [public] enum " << e.name << " {\n";
  for (std::size_t i = 0; i < e.constants.size(); ++i)
    out << "    " << e.constants[i].first << " = " << e.constants[i].second
        << (i + 1 < e.constants.size() ? ",\n" : "\n");
  out << "  } " << e.name << ";\n\n";
}

const char* const kBanner = "// Generated from the member tables by the build. Do not edit.\n";

}  // namespace

TypeLibraryIdl type_library_idl() {
  TypeLibraryIdl idl;

  std::ostringstream decl;
  decl << kBanner << "import \"oaidl.idl\";\nimport \"ocidl.idl\";\n\n"
       << kCollectionInterface << "\n"
       << kLoadResConstants;
  idl.runtime_declarations = decl.str();

  std::ostringstream vba;
  vba << kBanner << "import \"oaidl.idl\";\n\n[uuid(" << kVbaLibid << "), version(6.0), lcid(9)]\nlibrary VBA {\n"
      << "  importlib(\"stdole2.tlb\");\n\n"
      << kCollectionInterface << "\n  [uuid(" << kCollectionClsid
      << ")]\n  coclass Collection {\n    [default] interface _Collection;\n  };\n};\n";
  idl.vba_library = vba.str();

  std::ostringstream vbrun;
  vbrun << kBanner << "import \"oaidl.idl\";\n\n[uuid(" << kVbrunLibid << "), version(6.0), lcid(9)]\nlibrary VBRUN {\n"
        << "  importlib(\"stdole2.tlb\");\n\n"
        << kLoadResConstants << "};\n";
  idl.vbrun_library = vbrun.str();

  std::ostringstream lib;
  lib << kBanner << "import \"oaidl.idl\";\nimport \"ocidl.idl\";\nimport \"" << kRuntimeDeclarationsFile << "\";\n\n"
      << "[uuid(" << strip_braces(kLibid) << "), version(" << kLibraryVersionMajor << "." << kLibraryVersionMinor
      << "), lcid(0), helpstring(\"" << kLibraryDescription << "\")]\n"
      << "library " << kLibraryName << " {\n"
      << "  importlib(\"stdole2.tlb\");\n  importlib(\"" << kVbaTypeLibFile << "\");\n  importlib(\""
      << kVbrunTypeLibFile << "\");\n\n";
  for (const EnumDesc& e : drw_enumerations()) write_enum(lib, e);
  for (const ClassInfo* c : library_classes()) write_class(lib, *c);
  lib << "};\n";
  idl.library = lib.str();
  return idl;
}

}  // namespace volumar
