// The dynamic automation object clients build forms and controls from:
// names, dispatch ids, the kinds of request each member answers, client
// code's errors, and the record of calls.
#include <gtest/gtest.h>

#include <functional>

#include <stdexcept>

#include "platform/automation/automation_error.h"
#include "platform/automation/expando_object.h"

using namespace win;

namespace {

int error_number(const std::function<void()>& f) {
  try {
    f();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace

TEST(ExpandoObject, NamesIgnoreCaseAndKeepTheirIdsFromFirstDefinition) {
  auto o = ExpandoObject::create(u"Form");
  o->set(u"Width", Variant(std::int32_t{10})).method(u"TextWidth", [](std::vector<Variant>&) { return Variant(); });
  const auto width = o->GetIDsOfNames(u"WIDTH");
  ASSERT_TRUE(width);
  EXPECT_EQ(o->GetIDsOfNames(u"width"), width);
  EXPECT_NE(o->GetIDsOfNames(u"textwidth"), width);
  o->set(u"wIdTh", Variant(std::int32_t{20}));  // redefining keeps the id
  EXPECT_EQ(o->GetIDsOfNames(u"Width"), width);
  EXPECT_EQ(get_property(o, u"width"), Variant(std::int32_t{20}));
  EXPECT_FALSE(o->GetIDsOfNames(u"Height"));
  EXPECT_EQ(error_number([&] { get_property(o, u"Height"); }), kErrNotSupported);
  EXPECT_EQ(o->type_name(), u"Form");

  // A removed name answers nothing, and its old id no longer reaches anything.
  o->remove(u"WIDTH");
  EXPECT_FALSE(o->has(u"Width"));
  std::vector<Variant> none;
  EXPECT_EQ(error_number([&] { o->Invoke(*width, DISPATCH_PROPERTYGET, none); }), kErrNotSupported);
  o->set(u"Width", Variant());
  EXPECT_NE(o->GetIDsOfNames(u"Width"), width);
}

TEST(ExpandoObject, StoredPropertiesTakeValuesNotReferences) {
  auto o = ExpandoObject::create();
  o->set(u"Text", Variant());
  Variant caller(u"abc");
  put_property(o, u"Text", Variant::ref(caller));
  caller = Variant(u"changed");
  EXPECT_EQ(o->get(u"Text"), Variant(u"abc"));

  auto font = ExpandoObject::create(u"Font");
  putref_property(o, u"Text", font);
  EXPECT_EQ(o->get(u"Text").object_value(), font);
  putref_property(o, u"Text", nullptr);
  EXPECT_EQ(o->get(u"Text").object_value(), nullptr);
  std::vector<Variant> not_an_object{Variant(std::int32_t{1})};
  EXPECT_EQ(error_number([&] { o->Invoke(*o->GetIDsOfNames(u"Text"), DISPATCH_PROPERTYPUTREF, not_an_object); }),
            kErrTypeMismatch);
  EXPECT_EQ(error_number([&] { get_property(o, u"Text", {Variant(std::int32_t{1})}); }), kErrWrongArgumentCount);
}

TEST(ExpandoObject, MethodsAndComputedPropertiesRunTheClientsCode) {
  auto o = ExpandoObject::create();
  o->method(u"Twice", [](std::vector<Variant>& args) {
    std::int32_t v = args.at(0).long_value();
    args[0].deref() = Variant(v * 2);  // a by-reference argument
    return Variant(v + 1);
  });
  Variant x(std::int32_t{21});
  EXPECT_EQ(call_method(o, u"twice", {Variant::ref(x)}), Variant(std::int32_t{22}));
  EXPECT_EQ(x, Variant(std::int32_t{42}));
  EXPECT_EQ(error_number([&] { put_property(o, u"Twice", Variant()); }), kErrNotSupported);
  EXPECT_EQ(error_number([&] { o->get(u"Twice"); }), kErrNotSupported);

  std::vector<DispatchKind> kinds;
  o->define(
      u"Size", [] { return Variant(8.25); }, [&](const Variant&, DispatchKind k) { kinds.push_back(k); });
  o->define(u"ReadOnly", [] { return Variant(true); });
  EXPECT_EQ(get_property(o, u"Size"), Variant(8.25));
  put_property(o, u"Size", Variant(std::int16_t{8}));
  putref_property(o, u"Size", ExpandoObject::create());
  EXPECT_EQ(kinds, (std::vector<DispatchKind>{DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYPUTREF}));
  EXPECT_EQ(error_number([&] { put_property(o, u"ReadOnly", Variant(false)); }), kErrNotSupported);
}

TEST(ExpandoObject, ClientCodeFailuresBecomeRunTimeErrors) {
  auto o = ExpandoObject::create();
  o->method(u"Fails", [](std::vector<Variant>&) -> Variant { throw std::runtime_error("no printer"); });
  o->method(u"Raises", [](std::vector<Variant>&) -> Variant { raise_error(kErrDeviceUnavailable); });
  try {
    call_method(o, u"Fails");
    ADD_FAILURE();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 440);
    EXPECT_EQ(e.description(), "no printer");
  }
  EXPECT_EQ(error_number([&] { call_method(o, u"Raises"); }), kErrDeviceUnavailable);
}

TEST(ExpandoObject, ClientCodeMayRedefineMembersWhileItRuns) {
  auto o = ExpandoObject::create();
  o->method(u"Grow", [&](std::vector<Variant>&) {
    for (int i = 0; i < 100; ++i)
      o->set(u"P" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                 std::u16string(1, static_cast<char16_t>(u'a' + i / 26)),
             Variant(i));
    o->set(u"Grow", Variant(u"gone"));
    return Variant(u"done");
  });
  EXPECT_EQ(call_method(o, u"Grow"), Variant(u"done"));
  EXPECT_EQ(o->get(u"grow"), Variant(u"gone"));
  EXPECT_EQ(o->get(u"PAa"), Variant(0));
}

TEST(ExpandoObject, ExpandableObjectsGrowOnFirstUseAndRecordEveryCall) {
  auto o = ExpandoObject::create();
  o->set_expandable(true);
  EXPECT_EQ(get_property(o, u"Caption"), Variant());
  put_property(o, u"CAPTION", Variant(u"ZEV"));
  EXPECT_EQ(get_property(o, u"caption"), Variant(u"ZEV"));
  ASSERT_EQ(o->calls().size(), 3u);
  EXPECT_EQ(o->calls()[1].name, u"Caption");  // as first spelled
  EXPECT_EQ(o->calls()[1].kind, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(o->calls()[1].args, std::vector<Variant>{Variant(u"ZEV")});
  o->clear_calls();
  EXPECT_TRUE(o->calls().empty());
}
