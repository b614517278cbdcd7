// The built-in companion QzCommon10 and the two calls into it: what the
// about box and the error report show, the arguments the library passes,
// and the object-creation error when a host leaves the companion out.
#include <gtest/gtest.h>

#include "frame/application_object.h"
#include "frame/companion/qzcommon10.h"
#include "frame/companion_calls.h"
#include "frame/dispatch_binding.h"
#include "frame/failure_conventions.h"
#include "frame/root_object.h"
#include "platform/automation/class_objects.h"
#include "platform/user32/message_box.h"
#include "server/class_registry.h"

using namespace volumar;

namespace {

class Companion : public ::testing::Test {
 protected:
  void SetUp() override {
    register_companion();
    win::set_message_box_sink([this](const win::MessageBoxRequest& r) {
      boxes_.push_back(r);
      return win::IDOK;
    });
  }
  void TearDown() override {
    win::set_message_box_sink({});
    register_companion();
  }
  std::vector<win::MessageBoxRequest> boxes_;
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Stands in for the error handler and keeps what it was called with.
struct Recorded {
  std::vector<Variant> args;
  std::vector<bool> by_ref;
};
Recorded g_recorded;

class RecordingHandler : public win::Object {
 public:
  std::optional<win::DISPID> GetIDsOfNames(std::u16string_view name) override {
    if (win::names_equal(name, u"ErrorHandlerMessageQz")) return 7;
    return std::nullopt;
  }
  Variant Invoke(win::DISPID, win::DispatchKind, std::vector<Variant>& args) override {
    g_recorded = {};
    for (auto& a : args) {
      g_recorded.by_ref.push_back(a.is_ref());
      g_recorded.args.push_back(a.is_missing() ? Variant::missing() : Variant(a.deref()));
    }
    return {};
  }
  std::u16string type_name() const override { return u"RecordingHandler"; }
};

void expect_cannot_create(const std::function<void()>& call) {
  try {
    call();
    ADD_FAILURE() << "expected the object-creation error";
  } catch (const win::AutomationError& e) {
    EXPECT_EQ(e.number(), win::kErrCannotCreateObject);
  }
}

}  // namespace

TEST_F(Companion, AboutShowsTheApplicationTitleAndVersionAndReturnsZero) {
  clsQzVolumarA root;
  EXPECT_EQ(root.About(), 0);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].caption, "About Volumar10");
  EXPECT_TRUE(contains(boxes_[0].text, "Volumar10"));
  EXPECT_TRUE(contains(boxes_[0].text, "Version 1.0.0"));
  EXPECT_EQ(boxes_[0].style & win::MB_BUTTONS_MASK, win::MB_OK);
}

TEST_F(Companion, AboutFailsWithCannotCreateObjectWhenTheCompanionIsLeftOut) {
  revoke_companion();
  clsQzVolumarA root;
  expect_cannot_create([&] { root.About(); });
  ObjectRef by_dispatch = std::make_shared<clsQzVolumarA>();
  expect_cannot_create([&] { win::call_method(by_dispatch, u"About"); });
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(Companion, AboutWithOnlyTheErrorHandlerReportsEachFailingStepAndSucceeds) {
  win::revoke_class_object(kCompanionAboutProgId);
  clsQzVolumarA root;
  EXPECT_EQ(root.About(), 0);
  // Creating fails (429), then calling on Nothing fails (91); releasing succeeds.
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_TRUE(contains(boxes_[0].text, "Error 429: ActiveX component can't create object"));
  EXPECT_TRUE(contains(boxes_[0].text, "Source: basQzcoCommonA.AppAboutQzco_Pro"));
  EXPECT_TRUE(contains(boxes_[1].text, "Error 91:"));
  EXPECT_TRUE(contains(boxes_[1].text, "Source: basQzcoCommonA.AppAboutQzco_Pro"));
  EXPECT_EQ(boxes_[0].caption, "Volumar10");
}

TEST_F(Companion, TheErrorReportShowsNumberDescriptionSourceAndSystemError) {
  RuntimeError error(win::kErrFileNotFound, "File not found", "", 2);
  ErrorHandlerMessageQz_Pro(error, "czVolmCustomFileExt.RegExtension");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Error 53: File not found\r\nSystem error 2\r\nSource: czVolmCustomFileExt.RegExtension");
  EXPECT_EQ(boxes_[0].caption, "Volumar10");
}

TEST_F(Companion, AReportedErrorRaisedElsewhereNamesBothSources) {
  RuntimeError error(win::kErrPathNotFound, "Path not found", "Scripting.FileSystemObject");
  report_runtime_error(error, "czVolmCustomFileExt.AssociateFileCommand");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(contains(boxes_[0].text, "Source: czVolmCustomFileExt.AssociateFileCommand"));
  EXPECT_TRUE(contains(boxes_[0].text, "Raised by: Scripting.FileSystemObject"));
}

TEST_F(Companion, TheLibraryPassesEightArgumentsAllByReferenceButTheLastWhichIsMissing) {
  win::register_class_object({kCompanionErrorHandlerProgId, "{00000000-0000-0000-0000-00000000E001}",
                              [] { return ObjectRef(std::make_shared<RecordingHandler>()); }});
  report_runtime_error(RuntimeError(win::kErrOverflow, "Overflow"), "basX.Proc");
  ASSERT_EQ(g_recorded.args.size(), 8u);
  EXPECT_EQ(g_recorded.by_ref, (std::vector<bool>{true, true, true, true, true, true, true, false}));
  EXPECT_EQ(g_recorded.args[0], Variant(application_object()));
  ASSERT_TRUE(g_recorded.args[1].is_object());
  EXPECT_EQ(win::get_property(g_recorded.args[1].object_value(), u"Number"), Variant(Long{6}));
  EXPECT_EQ(win::get_property(g_recorded.args[1].object_value(), u"Source"), Variant(u"basX.Proc"));
  EXPECT_EQ(g_recorded.args[2], Variant(String()));
  EXPECT_EQ(g_recorded.args[3], Variant(u"basX.Proc"));
  EXPECT_EQ(g_recorded.args[4], Variant(Long{0}));
  EXPECT_EQ(g_recorded.args[5], Variant(String()));
  EXPECT_EQ(g_recorded.args[6], Variant(Long{0}));
  EXPECT_TRUE(g_recorded.args[7].is_missing());
}

TEST_F(Companion, ReportAndContinueRunsOnButAMissingHandlerLeavesTheMember) {
  int after = 0;
  report_and_continue("m.p", [] { raise_error(win::kErrDivisionByZero); });
  ++after;
  EXPECT_EQ(after, 1);
  EXPECT_EQ(boxes_.size(), 1u);
  revoke_companion();
  expect_cannot_create([] { report_and_continue("m.p", [] { raise_error(win::kErrDivisionByZero); }); });
  // A statement that succeeds needs no companion.
  report_and_continue("m.p", [] {});
}

TEST_F(Companion, TheCompanionIsReachedByProgIdAndCallByName) {
  ObjectRef about = win::create_object("qzcommon10.CLSQZCOMMON10A");
  win::call_method(about, u"AppAboutQzco", {Variant(application_object())});
  ASSERT_EQ(boxes_.size(), 1u);
  // An about box for an object without a version is the companion's own failure.
  try {
    win::call_method(about, u"AppAboutQzco", {Variant(ObjectRef(std::make_shared<clsQzVolumarA>()))});
    ADD_FAILURE();
  } catch (const win::AutomationError& e) {
    EXPECT_EQ(e.number(), win::kErrNotSupported);
  }
}

TEST_F(Companion, TheServerOffersTheCompanionUnlessTheHostLeavesItOut) {
  revoke_companion();
  register_class_objects(false);
  expect_cannot_create([] { win::create_object(kCompanionAboutProgId); });
  register_class_objects();
  EXPECT_TRUE(win::create_object(kCompanionAboutProgId));
  EXPECT_TRUE(win::create_object(kCompanionErrorHandlerProgId));
  revoke_class_objects();
  expect_cannot_create([] { win::create_object(kCompanionErrorHandlerProgId); });
  expect_cannot_create([] { win::create_object("Volumar10.clsQzVolumarA"); });
  register_class_objects();  // as the program's host had it
}
