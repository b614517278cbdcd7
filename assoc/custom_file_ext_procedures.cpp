#include "assoc/custom_file_ext_procedures.h"

#include <limits>
#include <new>

#include "frame/application_object.h"
#include "frame/runtime_error.h"
#include "platform/ansi_code_page.h"
#include "platform/registry/registry.h"
#include "platform/user32/message_box.h"

namespace volumar {
namespace {

using win::HKEY;

std::string ansi(const String& s) { return win::utf16_to_ansi(s); }

void show(const char* text) { win::MessageBoxA(nullptr, text, kApplicationTitle, win::MB_OK); }

// An empty path would name the classes root itself, which these procedures
// never write: it counts as a key that cannot be opened or created. A
// failed call leaves `key` null, so the next write finds no key.
bool create_key(const String& path, HKEY& key) {
  key = nullptr;
  if (path.empty()) return false;
  win::DWORD disposition = 0;
  return win::RegCreateKeyExA(win::HKEY_CLASSES_ROOT, ansi(path).c_str(), 0, nullptr, win::REG_OPTION_NON_VOLATILE,
                              win::KEY_ALL_ACCESS, nullptr, &key, &disposition) == win::ERROR_SUCCESS;
}

bool open_key(const String& path, HKEY& key) {
  key = nullptr;
  if (path.empty()) return false;
  return win::RegOpenKeyExA(win::HKEY_CLASSES_ROOT, ansi(path).c_str(), 0, win::KEY_ALL_ACCESS, &key) ==
         win::ERROR_SUCCESS;
}

// The data length is the text's length in characters; no NUL is counted.
bool set_default(HKEY key, const String& text) {
  const std::string data = ansi(text);
  return win::RegSetValueExA(key, "", 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>(data.c_str()),
                             static_cast<win::DWORD>(data.size())) == win::ERROR_SUCCESS;
}

void close(HKEY key) {
  if (key) win::RegCloseKey(key);
}

// A text of `size` NUL characters; a size beyond a Long is an invalid call.
std::string nul_buffer(win::DWORD size) {
  if (size > static_cast<win::DWORD>(std::numeric_limits<Long>::max())) raise_error(win::kErrInvalidProcedureCall);
  try {
    return std::string(size, '\0');
  } catch (const std::bad_alloc&) {
    raise_error(win::kErrOutOfMemory);
  }
}

}  // namespace

void AssociateFileExtension_Pro(String& sApplicationPath, String& sAppFileExtension, String& sIdentifier,
                                String& sDescription, String& sIconPath) {
  HKEY key = nullptr;
  auto final_failure = [&] {
    show(kMsgSettingValue);
    close(key);
  };

  if (!create_key(sAppFileExtension, key)) show(kMsgCreatingKey);
  if (!set_default(key, sIdentifier)) return final_failure();

  close(key);
  if (!create_key(sIdentifier, key)) show(kMsgCreatingKey);
  if (!set_default(key, sDescription)) return final_failure();

  close(key);
  if (!create_key(sIdentifier + u"\\DefaultIcon", key)) show(kMsgCreatingKey);
  if (!set_default(key, sIconPath)) {
    show(kMsgSettingValue);
    close(key);
    return;
  }

  close(key);
  sIdentifier += u"\\shell";
  if (!create_key(sIdentifier, key)) show(kMsgCreatingKey);
  close(key);

  sIdentifier += u"\\open";
  if (!create_key(sIdentifier, key)) show(kMsgCreatingKey);
  close(key);

  sIdentifier += u"\\command";
  if (!create_key(sIdentifier, key)) show(kMsgCreatingKey);
  const String command = u"\"" + sApplicationPath + u"\" \"%1\"";
  if (!set_default(key, command)) return final_failure();
  close(key);
}

void AssociateFileCommand_Pro(String& sAppFileExtension, String& sAction, String& sCommand) {
  HKEY key = nullptr;
  if (!open_key(sAppFileExtension, key)) {
    show(kMsgOpeningKey);
    close(key);
    return;
  }

  win::DWORD size = 0;
  win::DWORD type = 0;
  if (win::RegQueryValueExA(key, "", nullptr, &type, nullptr, &size) != win::ERROR_SUCCESS) {
    show(kMsgQueryingValue);
    close(key);
    return;
  }
  std::string buffer = nul_buffer(size);
  win::DWORD read = size;
  win::RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<win::BYTE*>(buffer.data()), &read);
  close(key);

  // The buffer without its last character, the value's terminating NUL. A
  // value that holds NULs of its own ends at the first one, so that no
  // write lands on a shorter key than the one named.
  if (buffer.empty()) raise_error(win::kErrInvalidProcedureCall);
  buffer.pop_back();
  if (auto nul = buffer.find('\0'); nul != std::string::npos) buffer.resize(nul);
  const String file_type = win::ansi_to_utf16(buffer);

  const String verb_key = file_type + u"\\shell\\" + sAction;
  if (!create_key(verb_key, key)) show(kMsgCreatingKey);
  if (!set_default(key, sAction)) {
    show(kMsgSettingValue);
    close(key);
    return;
  }

  close(key);
  if (!create_key(verb_key + u"\\command", key)) show(kMsgCreatingKey);
  if (!set_default(key, sCommand)) {
    show(kMsgSettingValue);
    close(key);
    return;
  }
  close(key);
}

}  // namespace volumar
