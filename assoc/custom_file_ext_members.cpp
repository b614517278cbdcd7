// clsQzVolmCustomFileExtA's three members. Each reports a run-time error to
// the companion's error handler and goes on with its next statement.
#include <string>

#include "assoc/custom_file_ext.h"
#include "assoc/custom_file_ext_procedures.h"
#include "frame/failure_conventions.h"
#include "platform/ansi_code_page.h"
#include "platform/registry/registry.h"

namespace volumar {
namespace {

constexpr const char* kModuleName = "czVolmCustomFileExt";

std::string source_of(const char* procedure) { return std::string(kModuleName) + procedure; }

std::string ansi(const String& s) { return win::utf16_to_ansi(s); }

}  // namespace

// Registry status codes are not looked at: a step that fails leaves its
// entry unwritten. An empty key name would name the classes root itself,
// so that step is left out.
void clsQzVolmCustomFileExtA::RegExtension(String& strExt, String& strApp, String& strFileDisc, String& strCommand) {
  const std::string source = source_of(".RegExtension");
  win::HKEY key = nullptr;
  auto create = [&](const String& name) {
    key = nullptr;
    if (!name.empty()) win::RegCreateKeyA(win::HKEY_CLASSES_ROOT, ansi(name).c_str(), &key);
  };
  auto set = [&](const char* subkey, const String& text) {
    const std::string data = ansi(text);
    win::RegSetValueA(key, subkey, win::REG_SZ, data.c_str(), static_cast<win::DWORD>(data.size()));
  };
  auto close = [&] {
    if (key) win::RegCloseKey(key);
    key = nullptr;
  };

  report_and_continue(source, [&] { create(strApp); });
  report_and_continue(source, [&] { set("", strFileDisc); });
  report_and_continue(source, [&] { close(); });
  report_and_continue(source, [&] { create(strExt); });
  report_and_continue(source, [&] { set("", strApp); });
  report_and_continue(source, [&] { close(); });
  report_and_continue(source, [&] { create(strApp); });
  report_and_continue(source, [&] { set("shell\\open\\command", strCommand + u" %1"); });
  report_and_continue(source, [&] { close(); });
}

Long clsQzVolmCustomFileExtA::AssociateFileExtension(String& sApplicationPath, String& sAppFileExtension,
                                                     String& sIdentifier, String& sDescription, String& sIconPath) {
  Long result = 0;
  report_and_continue(source_of(".AssociateFileExtension"), [&] {
    AssociateFileExtension_Pro(sApplicationPath, sAppFileExtension, sIdentifier, sDescription, sIconPath);
  });
  return result;
}

Variant clsQzVolmCustomFileExtA::AssociateFileCommand(String& sAppFileExtension, String& sAction, String& sCommand) {
  Variant result;
  report_and_continue(source_of(".AssociateFileCommand"),
                      [&] { AssociateFileCommand_Pro(sAppFileExtension, sAction, sCommand); });
  return result;
}

}  // namespace volumar
