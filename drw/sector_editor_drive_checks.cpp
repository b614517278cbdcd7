// Drive checks: whether a drive is ready (through the script file-system
// component), whether a folder takes a test file, and the check of DrivePP
// that tells the user what is wrong.
#include "drw/sector_editor.h"
#include "frame/runtime_error.h"
#include "platform/automation/class_objects.h"
#include "platform/automation/variant_conversion.h"
#include "platform/scripting/runtime_files.h"
#include "platform/user32/message_box.h"

namespace volumar {
namespace {

constexpr const char16_t* kTestFileName = u"_ItrTest.$$$";

String trim_spaces(const String& text) {
  const auto first = text.find_first_not_of(u' ');
  if (first == String::npos) return {};
  return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

}  // namespace

Boolean clsQzVolmDrwA::IsDriveReady(String strDrive) {
  putref_FSO(win::create_object("Scripting.FileSystemObject"));
  // Taking the code of the first character of an empty text is an invalid call.
  if (strDrive.empty()) raise_error(win::kErrInvalidProcedureCall);
  char16_t letter = strDrive[0];
  if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
  Boolean ready = false;
  if (letter >= u'A' && letter <= u'Z') {
    Variant drive = win::call_method(m_FSO, u"GetDrive", {Variant(String(1, letter) + u":")});
    ready = win::to_bool(win::get_property(win::to_object(drive), u"IsReady"));
  }
  putref_FSO(nullptr);
  return ready;
}

Boolean clsQzVolmDrwA::IsThisRestricted(String& strPath) {
  const String folder = trim_spaces(strPath);
  if (folder.empty()) return true;
  int file = 0;
  try {
    const String test_file = Add_Trailing_Slash(folder) + kTestFileName;
    file = win::FreeFile();
    win::FileOpen(file, test_file, win::OpenMode::Output);
    win::PrintLine(file, u"X");
    win::FileClose(file);
    win::FileOpen(file, test_file, win::OpenMode::Append);
    win::PrintLine(file, u"ABC");
    win::FileClose(file);
    win::Kill(test_file);
    return false;
  } catch (const RuntimeError&) {
    // The test file stays where a failure left it, but its handle does not.
    if (file) win::FileClose(file);
    return true;
  }
}

String clsQzVolmDrwA::Add_Trailing_Slash(String strPath) {
  String path = trim_spaces(strPath);
  if (path.empty() || path.back() != u'\\') path += u'\\';
  return path;
}

Boolean clsQzVolmDrwA::ValidateDriveAndReadWriteTest(String& sDrive) {
  if (!IsDriveReady(sDrive)) return false;
  return !IsThisRestricted(sDrive);
}

Boolean clsQzVolmDrwA::ValidationCheck() {
  if (m_DrivePP.empty()) {
    win::MessageBoxA(nullptr, "Drive not entered", "Not Entered...", win::MB_OK | win::MB_ICONCRITICAL);
    return false;
  }
  if (!IsDriveReady(m_DrivePP)) {
    win::MessageBoxA(nullptr, "Drive not ready", "Not Ready...", win::MB_OK | win::MB_ICONCRITICAL);
    return false;
  }
  return true;
}

}  // namespace volumar
