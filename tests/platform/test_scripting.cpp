// The script file-system component reached by name as a client reaches it,
// and the runtime's file statements over the drive map's folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "platform/automation/automation_error.h"
#include "platform/automation/class_objects.h"
#include "platform/automation/variant_conversion.h"
#include "platform/drive_map.h"
#include "platform/kernel32_files.h"
#include "platform/scripting/file_system_object.h"
#include "platform/scripting/runtime_files.h"
#include "platform/syscalls.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using win::OpenMode;
using win::Variant;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

win::VolumeMapping volume(const fs::path& image, const fs::path& folder = {},
                          win::DriveType type = win::DriveType::Fixed, bool read_only = false) {
  win::VolumeMapping mapping;
  mapping.path = image.string();
  mapping.folder = folder.string();
  mapping.type = type;
  mapping.read_only = read_only;
  return mapping;
}

// The number of the run-time error that f raises, 0 for none.
std::int32_t error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const win::AutomationError& e) {
    return e.number();
  }
  return 0;
}

std::string narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

class Scripting : public ::testing::Test {
 protected:
  void SetUp() override {
    win::DriveMap::clear();
    std::ofstream(image_) << std::string(4096, '\0');
    fs::create_directory(folder_);
    win::DriveMap::map('C', volume(image_, folder_));
  }
  void TearDown() override {
    win::FileClose();
    win::DriveMap::clear();
    win::register_scripting_classes();
  }

  win::ObjectRef drive(std::u16string mapping) {
    auto fso = win::create_object("Scripting.FileSystemObject");
    return win::to_object(win::call_method(fso, u"GetDrive", {Variant(std::move(mapping))}));
  }
  bool ready(const win::ObjectRef& d) { return win::to_bool(win::get_property(d, u"IsReady")); }

  fixtures::TempDir dir_{"scripting"};
  fs::path image_ = dir_.file("c.img"), folder_ = dir_.file("croot");
};

TEST_F(Scripting, TheComponentIsOfferedFromStartUpAndCanBeWithdrawn) {
  EXPECT_EQ(win::create_object("scripting.filesystemobject")->type_name(), u"FileSystemObject");
  win::revoke_scripting_classes();
  EXPECT_EQ(error_of([] { win::create_object("Scripting.FileSystemObject"); }), win::kErrCannotCreateObject);
  win::register_scripting_classes();
  EXPECT_TRUE(drive(u"C:"));
}

TEST_F(Scripting, GetDriveTakesEachSpellingOfADriveAndRaisesItsOwnErrors) {
  for (std::u16string mapping : {u"C", u"c", u"C:", u"c:\\", u"c:/"}) {
    auto d = drive(mapping);
    EXPECT_EQ(win::get_property(d, u"DriveLetter"), Variant(u"C")) << narrow(mapping);
    std::vector<Variant> none;
    EXPECT_EQ(d->Invoke(win::DISPID_VALUE, win::DISPATCH_PROPERTYGET, none), Variant(u"C:"));  // Path
  }
  try {
    drive(u"Q:");
    FAIL() << "an unmapped letter names no drive";
  } catch (const win::AutomationError& e) {
    EXPECT_EQ(e.number(), win::kErrDeviceUnavailable);
    EXPECT_EQ(e.source(), win::kScriptingErrorSource);
  }
  for (std::u16string mapping : {u"", u"1", u"CC", u"C:x", u"C:\\dir", u" C", u"\\\\srv\\share", u"\u00c4:"})
    EXPECT_EQ(error_of([&] { drive(mapping); }), win::kErrInvalidProcedureCall) << narrow(mapping);
  auto fso = win::create_object("Scripting.FileSystemObject");
  EXPECT_EQ(error_of([&] { win::call_method(fso, u"GetDrive"); }), win::kErrNotOptional);
  EXPECT_EQ(win::call_method(fso, u"DriveExists", {Variant(u"q")}), Variant(false));
  EXPECT_EQ(error_of([&] { win::put_property(drive(u"C"), u"IsReady", Variant(true)); }), win::kErrNotSupported);
}

TEST_F(Scripting, IsReadyOnlyWhileTheMappedVolumeOpens) {
  auto c = drive(u"C:");
  EXPECT_TRUE(ready(c));
  {
    win::SyscallFaults faults;
    faults.fail_open(0, EACCES);  // an image the process may not read
    EXPECT_FALSE(ready(c));
  }
  fs::remove(image_);
  EXPECT_FALSE(ready(c));  // asked anew each time: the disk was taken out
  win::DriveMap::map('F', volume({}, folder_));
  EXPECT_FALSE(ready(drive(u"F")));  // only a folder, no volume
  win::DriveMap::map('D', volume(folder_));
  EXPECT_FALSE(ready(drive(u"D")));  // a folder is no volume
  win::DriveMap::map('R', volume(dir_.file("r.img"), {}, win::DriveType::CDRom, true));
  std::ofstream(dir_.file("r.img")) << "x";
  auto r = drive(u"R");
  EXPECT_TRUE(ready(r));  // write protection is not readiness
  EXPECT_EQ(win::get_property(r, u"DriveType"), Variant(std::int32_t{4}));
  win::DriveMap::unmap('R');
  EXPECT_FALSE(ready(r));
  EXPECT_EQ(win::get_property(r, u"DriveType"), Variant(std::int32_t{0}));
}

TEST_F(Scripting, OutputTruncatesAppendAddsAndLinesGoOutInTheAnsiCodePage) {
  std::ofstream(folder_ / "t.txt") << "old contents that must go";
  const int n = win::FreeFile();
  win::FileOpen(n, u"C:\\t.txt", OpenMode::Output);
  win::PrintLine(n, u"X");
  win::FileClose(n);
  win::FileOpen(n, u"c:\\t.txt", OpenMode::Append);
  win::PrintLine(n, u"\u00e9\u20ac\u4e00");  // e acute, the euro sign at 0x80, a character 1252 lacks
  win::FileClose(n);
  EXPECT_EQ(slurp(folder_ / "t.txt"), "X\r\n\xe9\x80?\r\n");
  win::FileOpen(n, u"C:\\new.txt", OpenMode::Append);
  win::FileClose(n);
  EXPECT_TRUE(fs::exists(folder_ / "new.txt"));
}

TEST_F(Scripting, FileNumbersAreTheThreadsOwnAndCheckedAsTheRuntimeChecksThem) {
  const std::size_t handles = win::open_handle_count();
  win::FileOpen(1, u"C:\\a.txt", OpenMode::Output);
  EXPECT_EQ(win::FreeFile(), 2);
  EXPECT_EQ(error_of([] { win::FileOpen(1, u"C:\\b.txt", OpenMode::Output); }), win::kErrFileAlreadyOpen);
  EXPECT_FALSE(fs::exists(folder_ / "b.txt"));
  for (int bad : {0, win::kMaxFileNumber + 1})
    EXPECT_EQ(error_of([&] { win::FileOpen(bad, u"C:\\b.txt", OpenMode::Output); }), win::kErrBadFileNameOrNumber);
  EXPECT_EQ(error_of([] { win::PrintLine(7, u"x"); }), win::kErrBadFileNameOrNumber);
  int free_elsewhere = 0;
  std::thread([&] {
    free_elsewhere = win::FreeFile();
    win::FileOpen(1, u"C:\\thread.txt", OpenMode::Output);  // closed when the thread ends
  }).join();
  EXPECT_EQ(free_elsewhere, 1);
  EXPECT_EQ(win::open_handle_count(), handles + 1);
  win::FileOpen(2, u"C:\\b.txt", OpenMode::Output);
  win::FileClose();
  EXPECT_EQ(win::open_handle_count(), handles);
  win::FileClose(1);  // closing a closed number is no error
}

TEST_F(Scripting, FailuresCarryTheRuntimesNumbersAndTheSystemsCode) {
  std::ofstream(dir_.file("plain")) << "";
  win::DriveMap::map('N', volume(image_));                    // no folder
  win::DriveMap::map('M', volume({}, dir_.file("missing")));  // its folder is gone
  win::DriveMap::map('P', volume({}, dir_.file("plain")));    // a file, not a folder
  win::DriveMap::map('W', volume({}, folder_, win::DriveType::Fixed, true));
  fs::create_directory(folder_ / "dir");
  const std::pair<std::u16string, std::int32_t> cases[] = {
      {u"N:\\f", 71}, {u"M:\\f", 76},   {u"P:\\f", 76},   {u"Q:\\f", 76}, {u"C:\\nodir\\f", 76},
      {u"W:\\f", 70}, {u"C:\\dir", 75}, {u"C:\\a|b", 52}, {u"", 52},
  };
  for (const auto& [path, number] : cases)
    for (auto mode : {OpenMode::Output, OpenMode::Append})
      EXPECT_EQ(error_of([&, &path = path] { win::FileOpen(1, path, mode); }), number) << narrow(path);
  try {
    win::FileOpen(1, u"C:\\nodir\\f", OpenMode::Output);
    ADD_FAILURE() << "a missing folder opened";
  } catch (const win::AutomationError& e) {
    EXPECT_EQ(e.last_error(), win::ERROR_PATH_NOT_FOUND);
  }
  {
    win::SyscallFaults faults;
    faults.fail_open(0, EROFS);  // a read-only mount
    EXPECT_EQ(error_of([] { win::FileOpen(1, u"C:\\f", OpenMode::Output); }), win::kErrPermissionDenied);
  }
  EXPECT_TRUE(fs::is_empty(folder_ / "dir") && !fs::exists(folder_ / "f"));
  win::FileOpen(1, u"C:\\f", OpenMode::Output);
  win::SyscallFaults faults;
  faults.fail_write(1, ENOSPC);
  EXPECT_EQ(error_of([] { win::PrintLine(1, u"x"); }), win::kErrDiskFull);
  faults.fail_write(2, EIO);
  EXPECT_EQ(error_of([] { win::PrintLine(1, u"x"); }), win::kErrDeviceIoError);
  faults.fail_write(-1);
  faults.short_write(0, 1);  // short transfers are carried on to the end
  win::PrintLine(1, u"abc");
  win::FileClose(1);
  EXPECT_EQ(slurp(folder_ / "f"), "abc\r\n");
}

TEST_F(Scripting, KillDeletesOneFileAndNothingElse) {
  std::ofstream(folder_ / "k.txt") << "k";
  win::Kill(u"C:\\k.txt");
  EXPECT_FALSE(fs::exists(folder_ / "k.txt"));
  fs::create_directory(folder_ / "d");
  std::ofstream(folder_ / "w.txt") << "w";
  win::DriveMap::map('W', volume({}, folder_, win::DriveType::Fixed, true));
  const std::pair<std::u16string, std::int32_t> cases[] = {
      {u"C:\\k.txt", 53}, {u"C:\\nodir\\k.txt", 76}, {u"C:\\d", 53}, {u"C:\\*.txt", 52}, {u"W:\\w.txt", 70},
  };
  for (const auto& [path, number] : cases)
    EXPECT_EQ(error_of([&path = path] { win::Kill(path); }), number) << narrow(path);
  EXPECT_TRUE(fs::is_directory(folder_ / "d") && fs::exists(folder_ / "w.txt"));
}

}  // namespace
