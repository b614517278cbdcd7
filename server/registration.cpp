#include "server/registration.h"

#include "frame/application_object.h"
#include "frame/library_info.h"
#include "platform/registry/registry.h"
#include "server/class_registry.h"

namespace volumar {
namespace {

// The automation marshaller, the proxy of every dual interface.
constexpr const char* kOleAutomationProxy = "{00020424-0000-0000-C000-000000000046}";

std::string version_text() { return std::to_string(kLibraryVersionMajor) + "." + std::to_string(kLibraryVersionMinor); }

std::string typelib_key() { return std::string("TypeLib\\") + kLibid; }
std::string typelib_version_key() { return typelib_key() + "\\" + version_text(); }
std::string clsid_key(const ClassInfo& c) { return std::string("CLSID\\") + c.clsid; }
std::string interface_key(const ClassInfo& c) { return std::string("Interface\\") + c.iid; }

// Sets `name` (empty for the default value) of the key at `path`, creating the path.
bool set_text(const std::string& path, const char* name, const std::string& text) {
  win::HKEY key = nullptr;
  if (win::RegCreateKeyExA(win::HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, win::REG_OPTION_NON_VOLATILE,
                           win::KEY_ALL_ACCESS, nullptr, &key, nullptr) != win::ERROR_SUCCESS)
    return false;
  const bool ok = win::RegSetValueExA(key, name, 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>(text.c_str()),
                                      static_cast<win::DWORD>(text.size() + 1)) == win::ERROR_SUCCESS;
  win::RegCloseKey(key);
  return ok;
}

bool remove_tree(const std::string& path) {
  const win::LONG rc = win::RegDeleteTreeA(win::HKEY_CLASSES_ROOT, path.c_str());
  return rc == win::ERROR_SUCCESS || rc == win::ERROR_FILE_NOT_FOUND;
}

// Removes the key when it holds no subkey and no value.
bool remove_if_empty(const std::string& path) {
  win::HKEY key = nullptr;
  const win::LONG rc = win::RegOpenKeyExA(win::HKEY_CLASSES_ROOT, path.c_str(), 0, win::KEY_READ, &key);
  if (rc == win::ERROR_FILE_NOT_FOUND) return true;
  if (rc != win::ERROR_SUCCESS) return false;
  char name[256];
  win::DWORD name_size = sizeof name;
  const bool has_subkey = win::RegEnumKeyA(key, 0, name, sizeof name) != win::ERROR_NO_MORE_ITEMS;
  const bool has_value =
      win::RegEnumValueA(key, 0, name, &name_size, nullptr, nullptr, nullptr, nullptr) != win::ERROR_NO_MORE_ITEMS;
  win::RegCloseKey(key);
  if (has_subkey || has_value) return true;
  const win::LONG del = win::RegDeleteKeyA(win::HKEY_CLASSES_ROOT, path.c_str());
  return del == win::ERROR_SUCCESS || del == win::ERROR_FILE_NOT_FOUND;
}

std::string folder_of(const std::string& file) {
  const auto sep = file.find_last_of("/\\");
  if (sep == std::string::npos) return {};
  return file.substr(0, sep == 0 ? 1 : sep);
}

bool register_type_library(const std::string& file) {
  const std::string key = typelib_version_key();
  return set_text(key, "", kLibraryDescription) && set_text(key + "\\0\\win32", "", file) &&
         set_text(key + "\\FLAGS", "", "0") && set_text(key + "\\HELPDIR", "", folder_of(file));
}

bool register_class(const ClassInfo& c, const std::string& file) {
  const std::string key = clsid_key(c);
  const std::string progid = c.progid();
  const std::string itf = interface_key(c);
  return set_text(key, "", c.name) && set_text(key + "\\InprocServer32", "", file) &&
         set_text(key + "\\InprocServer32", "ThreadingModel", "Apartment") && set_text(key + "\\ProgID", "", progid) &&
         set_text(key + "\\TypeLib", "", kLibid) && set_text(key + "\\Version", "", version_text()) &&
         set_text(progid, "", c.name) && set_text(progid + "\\CLSID", "", c.clsid) &&
         set_text(itf, "", c.interface_name) && set_text(itf + "\\ProxyStubClsid", "", kOleAutomationProxy) &&
         set_text(itf + "\\ProxyStubClsid32", "", kOleAutomationProxy) && set_text(itf + "\\TypeLib", "", kLibid) &&
         set_text(itf + "\\TypeLib", "Version", version_text());
}

}  // namespace

std::vector<std::string> registration_keys() {
  std::vector<std::string> keys{typelib_version_key()};
  for (const ClassInfo* c : library_classes()) {
    keys.push_back(clsid_key(*c));
    keys.push_back(c->progid());
    keys.push_back(interface_key(*c));
  }
  return keys;
}

win::HRESULT DllRegisterServer() {
  const std::string file = library_file_path();
  if (file.empty()) return win::SELFREG_E_CLASS;
  if (!register_type_library(file)) {
    DllUnregisterServer();
    return SELFREG_E_TYPELIB;
  }
  for (const ClassInfo* c : library_classes())
    if (!register_class(*c, file)) {
      DllUnregisterServer();
      return win::SELFREG_E_CLASS;
    }
  return win::S_OK;
}

win::HRESULT DllUnregisterServer() {
  bool ok = true;
  for (const std::string& key : registration_keys()) ok = remove_tree(key) && ok;
  ok = remove_if_empty(typelib_key()) && ok;
  for (const char* container : {"TypeLib", "CLSID", "Interface"}) ok = remove_if_empty(container) && ok;
  return ok ? win::S_OK : win::SELFREG_E_CLASS;
}

}  // namespace volumar
