// Argument passing through dispatch: by-reference write-back, omitted
// optional arguments, defaults, conversions and their failures.
#include <gtest/gtest.h>

#include "frame/dispatch_binding.h"

using namespace volumar;

namespace {

// A class made for the test, bound the same way the library's classes are.
class Probe : public AutomationObject {
 public:
  Probe() : AutomationObject(info()) {}

  String Grow(String& text, Long& count) {
    text += u"-grown";
    ++count;
    return text;
  }
  Long Defaults(String& s, Long& n, Boolean& b, ObjectRef& o, Boolean& with_default) {
    seen_empty = s.empty() && n == 0 && !b && !o;
    return with_default ? 1 : 0;
  }
  Integer Narrow(Integer value) { return value; }
  void FailAfterChange(String& text) {
    text = u"changed";
    raise_error(win::kErrInvalidProcedureCall);
  }
  Long Required(Long value) { return value; }

  bool seen_empty = false;

  static const ClassInfo& info() {
    static const ClassInfo i{
        "Probe",
        "_Probe",
        "{00000000-0000-0000-0000-000000000001}",
        "{00000000-0000-0000-0000-000000000002}",
        []() -> const std::vector<MemberInfo>& {
          static const std::vector<MemberInfo> m{
              method<&Probe::Grow>("Grow", 1, {{"text"}, {"count"}}),
              method<&Probe::Defaults>("Defaults", 2,
                                       {opt("s"), opt("n"), opt("b"), opt("o"), opt("withDefault", Variant(true))}),
              method<&Probe::Narrow>("Narrow", 3, {{"value"}}),
              method<&Probe::FailAfterChange>("FailAfterChange", 4, {{"text"}}),
              method<&Probe::Required>("Required", 5, {{"value"}}),
          };
          return m;
        },
        [] { return ObjectRef(std::make_shared<Probe>()); }};
    return i;
  }
};

}  // namespace

TEST(DispatchBinding, ByReferenceArgumentsComeBackChanged) {
  auto probe = std::make_shared<Probe>();
  Variant text{String(u"seed")};
  Variant count{Long{41}};
  Variant result = win::call_method(probe, u"grow", {Variant::ref(text), Variant::ref(count)});
  EXPECT_EQ(result.string_value(), u"seed-grown");
  EXPECT_EQ(text.string_value(), u"seed-grown");
  EXPECT_EQ(count.long_value(), 42);

  // A value placed directly in the argument list is updated in place.
  std::vector<Variant> args{Variant(String(u"x")), Variant(Long{0})};
  probe->Invoke(1, win::DISPATCH_METHOD, args);
  EXPECT_EQ(args[0].string_value(), u"x-grown");
}

TEST(DispatchBinding, ChangesBeforeAFailureStayWithTheCaller) {
  auto probe = std::make_shared<Probe>();
  Variant text{String(u"before")};
  std::vector<Variant> args{Variant::ref(text)};
  EXPECT_THROW(probe->Invoke(4, win::DISPATCH_METHOD, args), RuntimeError);
  EXPECT_EQ(text.string_value(), u"changed");
}

TEST(DispatchBinding, OmittedOptionalArgumentsArriveAsZeroValuesOrTheirDefault) {
  auto probe = std::make_shared<Probe>();
  std::vector<Variant> none;
  EXPECT_EQ(probe->Invoke(2, win::DISPATCH_METHOD, none).long_value(), 1);
  EXPECT_TRUE(probe->seen_empty);
  // The missing marker counts as omitted, in any position.
  std::vector<Variant> marked{Variant::missing(), Variant(Long{0}), Variant::missing(), Variant::missing(),
                              Variant(false)};
  EXPECT_EQ(probe->Invoke(2, win::DISPATCH_METHOD, marked).long_value(), 0);
  // An omitted required argument is an error, not a zero.
  EXPECT_THROW(probe->Invoke(5, win::DISPATCH_METHOD, none), RuntimeError);
  std::vector<Variant> too_many{Variant(Long{1}), Variant(Long{2})};
  try {
    probe->Invoke(5, win::DISPATCH_METHOD, too_many);
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), 450);
  }
}

TEST(DispatchBinding, ConversionsFollowTheRuntime) {
  auto probe = std::make_shared<Probe>();
  auto narrow = [&](Variant v) {
    std::vector<Variant> args{std::move(v)};
    return probe->Invoke(3, win::DISPATCH_METHOD, args);
  };
  EXPECT_EQ(narrow(Variant(String(u" 12 "))).integer_value(), 12);
  EXPECT_EQ(narrow(Variant(2.5)).integer_value(), 2);  // halves to even
  EXPECT_EQ(narrow(Variant(3.5)).integer_value(), 4);
  EXPECT_EQ(narrow(Variant(true)).integer_value(), -1);
  auto error_of = [&](Variant v) {
    try {
      narrow(std::move(v));
    } catch (const RuntimeError& e) {
      return e.number();
    }
    return 0;
  };
  EXPECT_EQ(error_of(Variant(Long{32768})), 6);
  EXPECT_EQ(error_of(Variant(String(u"twelve"))), 13);
  EXPECT_EQ(error_of(Variant(ObjectRef(probe))), 13);
}
