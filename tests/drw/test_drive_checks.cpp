// The sector editor's drive checks: readiness through the script component,
// the write test in a folder, and the boxes that tell the user what is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "drw/sector_editor.h"
#include "frame/runtime_error.h"
#include "imaging/fat_image_builder.h"
#include "platform/automation/class_objects.h"
#include "platform/drive_map.h"
#include "platform/kernel32_files.h"
#include "platform/scripting/file_system_object.h"
#include "platform/syscalls.h"
#include "platform/trace.h"
#include "platform/user32/message_box.h"
#include "tests/fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace volumar;

constexpr const char* kTestFile = "_ItrTest.$$$";

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

win::VolumeMapping volume(const fs::path& image, const fs::path& folder = {}, bool read_only = false) {
  win::VolumeMapping mapping;
  mapping.path = image.string();
  mapping.folder = folder.string();
  mapping.read_only = read_only;
  return mapping;
}

std::int32_t error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

std::string narrow(const String& s) { return std::string(s.begin(), s.end()); }

struct Box {
  std::string text, caption;
  win::UINT style;
  bool operator==(const Box&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Box& b) {
  return os << "{\"" << b.text << "\", \"" << b.caption << "\", 0x" << std::hex << b.style << std::dec << "}";
}
using Boxes = std::vector<Box>;

const Box kNotEntered{"Drive not entered", "Not Entered...", win::MB_OK | win::MB_ICONCRITICAL};
const Box kNotReady{"Drive not ready", "Not Ready...", win::MB_OK | win::MB_ICONCRITICAL};
const Box kValidationFails{"Validation Fails", "Volumar10", win::MB_OK};

class DriveChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    win::DriveMap::clear();
    fs::create_directory(folder_);
    fs::create_directory(floppy_folder_);
    win::DriveMap::map('C', volume(imaging::FatImageBuilder(imaging::FatType::fat12).write(image_), folder_));
    // A: a floppy drive without a disk; its folder is there.
    win::DriveMap::map('A', volume(dir_.file("no-disk.img"), floppy_folder_));
    win::set_message_box_sink([this](const win::MessageBoxRequest& r) {
      boxes_.push_back({r.text, r.caption, r.style});
      return win::IDOK;
    });
    handles_ = win::open_handle_count();
  }
  void TearDown() override {
    EXPECT_EQ(win::open_handle_count(), handles_) << "a check left a handle open";
    win::set_message_box_sink({});
    win::set_trace_sink({});
    win::register_scripting_classes();
    win::DriveMap::clear();
  }

  bool restricted(String path) { return drw_->IsThisRestricted(path); }

  fixtures::TempDir dir_{"drivechecks"};
  fs::path image_ = dir_.file("c.img"), folder_ = dir_.file("c"), floppy_folder_ = dir_.file("a");
  Boxes boxes_;
  std::size_t handles_ = 0;
  std::shared_ptr<clsQzVolmDrwA> drw_ = clsQzVolmDrwA::create();
};

TEST_F(DriveChecks, IsDriveReadyAsksAboutTheFirstCharacterWhenItIsALetter) {
  std::vector<std::string> asked;
  std::u16string held;
  win::set_trace_sink([&](const std::string& line) {
    if (line.find("GetDrive") == std::string::npos) return;
    asked.push_back(line);
    if (drw_->get_FSO()) held = drw_->get_FSO()->type_name();
  });
  drw_->putref_FSO(Collection::create());  // whatever the client left there
  for (String text : {u"C", u"c:", u"C:\\", u"c:\\no\\such\\folder"})
    EXPECT_TRUE(drw_->IsDriveReady(text)) << narrow(text);
  EXPECT_EQ(held, u"FileSystemObject");
  EXPECT_EQ(drw_->get_FSO(), nullptr);
  EXPECT_FALSE(drw_->IsDriveReady(u"a"));
  EXPECT_EQ(asked.back(), "FileSystemObject.GetDrive(\"A:\")");
  asked.clear();
  for (String text : {u"1", u"7:", u" C", u"@", u"[", u"\u00c4"})
    EXPECT_FALSE(drw_->IsDriveReady(text)) << narrow(text);
  EXPECT_TRUE(asked.empty());
  // Through dispatch, the text goes by value.
  Variant text(String(u"c:"));
  EXPECT_EQ(win::call_method(drw_, u"IsDriveReady", {Variant::ref(text)}), Variant(true));
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(DriveChecks, IsDriveReadyPassesErrorsOnAndLeavesTheComponentInFso) {
  EXPECT_EQ(error_of([&] { drw_->IsDriveReady(u""); }), win::kErrInvalidProcedureCall);
  ASSERT_NE(drw_->get_FSO(), nullptr);
  EXPECT_EQ(drw_->get_FSO()->type_name(), u"FileSystemObject");
  drw_->putref_FSO(nullptr);
  EXPECT_EQ(error_of([&] { drw_->IsDriveReady(u"Q:"); }), win::kErrDeviceUnavailable);
  EXPECT_NE(drw_->get_FSO(), nullptr);
  // The component comes first, so even a digit fails without it.
  win::revoke_scripting_classes();
  EXPECT_EQ(error_of([&] { drw_->IsDriveReady(u"1"); }), win::kErrCannotCreateObject);
}

TEST_F(DriveChecks, AddTrailingSlashTrimsSpacesOnlyAndAddsOneBackslash) {
  const std::pair<String, String> cases[] = {
      {u"  C:  ", u"C:\\"}, {u"C:\\", u"C:\\"},   {u" C:\\d\\ ", u"C:\\d\\"}, {u"", u"\\"},
      {u"   ", u"\\"},      {u"\tC:", u"\tC:\\"}, {u"C:/", u"C:/\\"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(drw_->Add_Trailing_Slash(in), out) << narrow(in);
}

TEST_F(DriveChecks, AWritableFolderPassesWritingXThenAbcAndKeepsNoTestFile) {
  // The bytes that reach the host, since the file is gone afterwards.
  std::vector<std::pair<std::string, off_t>> writes;
  win::Syscalls recording = win::syscalls();
  recording.pwrite = [&](int fd, const void* buf, std::size_t n, off_t off) {
    writes.emplace_back(std::string(static_cast<const char*>(buf), n), off);
    return win::posix_syscalls().pwrite(fd, buf, n, off);
  };
  win::set_syscalls(&recording);
  const bool result = restricted(u"C:");
  win::set_syscalls(nullptr);
  EXPECT_FALSE(result);
  EXPECT_EQ(writes, (std::vector<std::pair<std::string, off_t>>{{"X\r\n", 0}, {"ABC\r\n", 3}}));
  EXPECT_TRUE(fs::is_empty(folder_));

  std::ofstream(folder_ / kTestFile) << std::string(10000, 'z');  // one of the user's own is truncated and goes
  fs::create_directory(folder_ / "sub");
  for (String path : {u"c:\\", u"C:\\sub"}) EXPECT_FALSE(restricted(path)) << narrow(path);
  EXPECT_FALSE(fs::exists(folder_ / kTestFile));
  EXPECT_TRUE(fs::is_empty(folder_ / "sub"));
  Variant by_ref(String(u"  C:  "));
  EXPECT_EQ(win::call_method(drw_, u"IsThisRestricted", {Variant::ref(by_ref)}), Variant(false));
  EXPECT_EQ(by_ref, Variant(String(u"  C:  ")));
}

TEST_F(DriveChecks, ABlankMissingOrReadOnlyFolderIsRestrictedWithoutAnError) {
  std::ofstream(dir_.file("plain")) << "";
  win::DriveMap::map('M', volume(image_, dir_.file("gone")));   // the folder is missing
  win::DriveMap::map('P', volume(image_, dir_.file("plain")));  // a file where the folder should be
  win::DriveMap::map('N', volume(image_));                      // no folder mapped
  // Tests run as root, for whom a chmod'ed folder stays writable; the
  // read-only cases are a write-protected drive and an injected EROFS.
  win::DriveMap::map('W', volume(image_, folder_, true));
  for (String path : {u"", u"   ", u"M:", u"P:", u"N:", u"Q:", u"W:\\", u"C:\\nodir", u"C:\\a|b"}) {
    bool result = false;
    EXPECT_NO_THROW(result = restricted(path)) << narrow(path);
    EXPECT_TRUE(result) << narrow(path);
  }
  {
    win::SyscallFaults faults;
    faults.fail_open(0, EROFS);
    EXPECT_TRUE(restricted(u"C:"));
  }
  EXPECT_TRUE(fs::is_empty(folder_));
  EXPECT_FALSE(fs::exists(dir_.file("gone")));
}

TEST_F(DriveChecks, AFailureAfterTheCreateLeavesTheTestFileButNoOpenHandle) {
  {
    win::SyscallFaults faults;
    faults.fail_write(2, ENOSPC);  // the appended line does not fit
    EXPECT_TRUE(restricted(u"C:"));
    EXPECT_EQ(win::open_handle_count(), handles_);
  }
  EXPECT_EQ(slurp(folder_ / kTestFile), "X\r\n");
  EXPECT_FALSE(restricted(u"C:"));
  EXPECT_FALSE(fs::exists(folder_ / kTestFile));
}

TEST_F(DriveChecks, AFolderThatRefusesTheDeleteIsRestrictedAndKeepsTheWholeTestFile) {
  {
    win::SyscallFaults faults;
    faults.fail_unlink(EACCES);
    EXPECT_TRUE(restricted(u"C:"));
  }
  EXPECT_EQ(slurp(folder_ / kTestFile), "X\r\nABC\r\n");
  EXPECT_FALSE(restricted(u"C:"));  // the next test deletes the file it finds
  EXPECT_FALSE(fs::exists(folder_ / kTestFile));
}

TEST_F(DriveChecks, ABareLetterNamesAFolderBelowTheCurrentFolder) {
  const fs::path previous = fs::current_path();
  fs::current_path(dir_.path());
  const bool without_folder = restricted(u"C");
  String c = u"C";
  const bool validated_without_folder = drw_->ValidateDriveAndReadWriteTest(c);
  fs::create_directory(dir_.file("C"));
  const bool with_folder = restricted(u"C");
  fs::current_path(previous);
  EXPECT_TRUE(without_folder);
  EXPECT_FALSE(validated_without_folder);  // the drive is ready, the folder C is not there
  EXPECT_FALSE(with_folder);
  EXPECT_TRUE(fs::is_empty(dir_.file("C")) && fs::is_empty(folder_));
}

TEST_F(DriveChecks, ValidateNeedsAReadyDriveAndAWritableFolder) {
  String c = u"C:", w = u"W:", a = u"A:";
  EXPECT_TRUE(drw_->ValidateDriveAndReadWriteTest(c));
  win::DriveMap::map('W', volume(image_, folder_, true));
  EXPECT_FALSE(drw_->ValidateDriveAndReadWriteTest(w));
  // Not ready: no write test, so nothing is even opened in A's folder.
  std::vector<std::string> opened;
  win::set_trace_sink([&](const std::string& line) {
    if (line.rfind("CreateFileA", 0) == 0) opened.push_back(line);
  });
  EXPECT_FALSE(drw_->ValidateDriveAndReadWriteTest(a));
  win::set_trace_sink({});
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(fs::is_empty(floppy_folder_) && fs::is_empty(folder_));
  EXPECT_EQ(error_of([&] { win::call_method(drw_, u"ValidateDriveAndReadWriteTest"); }), win::kErrInvalidProcedureCall);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(DriveChecks, ValidationCheckShowsOneBoxForWhatIsWrong) {
  win::revoke_scripting_classes();  // an empty drive never gets as far as asking
  EXPECT_FALSE(drw_->ValidationCheck());
  EXPECT_EQ(boxes_, Boxes{kNotEntered});
  win::register_scripting_classes();
  for (String text : {u"A", u"a:\\", u"7", u" C"}) {
    drw_->put_DrivePP(text);  // stores the text even when it fails
    boxes_.clear();
    EXPECT_EQ(win::call_method(drw_, u"ValidationCheck"), Variant(false)) << narrow(text);
    EXPECT_EQ(boxes_, Boxes{kNotReady}) << narrow(text);
  }
  drw_->put_DrivePP(u"A");
  win::DriveMap::map('A', volume(image_));  // the disk goes in
  boxes_.clear();
  EXPECT_TRUE(drw_->ValidationCheck());
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(DriveChecks, ValidationCheckPassesTheComponentsErrorsOnWithoutABox) {
  drw_->put_DrivePP(u"A");
  win::DriveMap::unmap('A');
  boxes_.clear();
  EXPECT_EQ(error_of([&] { drw_->ValidationCheck(); }), win::kErrDeviceUnavailable);
  win::revoke_scripting_classes();
  EXPECT_EQ(error_of([&] { drw_->ValidationCheck(); }), win::kErrCannotCreateObject);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(DriveChecks, AFailedSelectionShowsTheReasonThenValidationFails) {
  drw_->put_DrivePP(u"");
  EXPECT_EQ(boxes_, (Boxes{kNotEntered, kValidationFails}));
  for (String text : {u"A:", u"1"}) {
    boxes_.clear();
    win::put_property(drw_, u"DrivePP", Variant(text));
    EXPECT_EQ(boxes_, (Boxes{kNotReady, kValidationFails})) << narrow(text);
    EXPECT_EQ(drw_->get_DrivePP(), text);
    EXPECT_FALSE(drw_->get_WorkingPP());
  }
}

}  // namespace
