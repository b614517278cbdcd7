// Integer and Long arithmetic, rounding, and the Collection's semantics.
#include <gtest/gtest.h>

#include "frame/checked_math.h"
#include "platform/automation/collection.h"
#include "platform/utf8.h"

using namespace volumar;

namespace {
template <class F>
long error_number(F&& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}
}  // namespace

TEST(CheckedMath, IntegerAndLongOverflowRaiseSixInsteadOfWrapping) {
  EXPECT_EQ(checked_add<Integer>(32766, 1), 32767);
  EXPECT_EQ(error_number([] { checked_add<Integer>(32767, 1); }), 6);
  EXPECT_EQ(error_number([] { checked_sub<Integer>(-32768, 1); }), 6);
  EXPECT_EQ(error_number([] { checked_mul<Integer>(256, 128); }), 6);
  EXPECT_EQ(error_number([] { checked_add<Long>(2147483647, 1); }), 6);
  EXPECT_EQ(error_number([] { checked_mul<Long>(4194304, 512); }), 6);
  EXPECT_EQ(checked_mul<Long>(4194303, 512), 2147483136);
  EXPECT_EQ(error_number([] { checked_idiv<Long>(-2147483647 - 1, -1); }), 6);
  EXPECT_EQ(error_number([] { checked_idiv<Long>(1, 0); }), 11);
  EXPECT_EQ(error_number([] { checked_mod<Integer>(1, 0); }), 11);
  EXPECT_EQ(checked_idiv<Long>(-7, 2), -3);
  EXPECT_EQ(error_number([] { checked_add<Byte>(255, 1); }), 6);
}

TEST(CheckedMath, ConversionsRoundHalvesToEvenAndRefuseWhatDoesNotFit) {
  EXPECT_EQ(CInt(0.5), 0);
  EXPECT_EQ(CInt(1.5), 2);
  EXPECT_EQ(CInt(2.5), 2);
  EXPECT_EQ(CInt(-2.5), -2);
  EXPECT_EQ(CLng(2.4999), 2);
  EXPECT_EQ(CInt(Long{-32768}), -32768);
  EXPECT_EQ(error_number([] { CInt(Long{32768}); }), 6);
  EXPECT_EQ(error_number([] { CInt(32767.5); }), 6);  // rounds to 32768
  EXPECT_EQ(error_number([] { CLng(1e10); }), 6);
  EXPECT_EQ(error_number([] { CByte(Long{-1}); }), 6);
}

TEST(Collection, ItemsFromOneWithUniqueKeysWithoutCase) {
  auto c = Collection::create();
  c->Add(Variant(String(u"first")), u"KEY0");
  c->Add(Variant(Long{2}));
  c->Add(Variant(String(u"third")), u"Key32");
  EXPECT_EQ(c->Count(), 3);
  EXPECT_EQ(c->Item(Variant(Long{1})).string_value(), u"first");
  EXPECT_EQ(c->Item(Variant(String(u"key0"))).string_value(), u"first");
  EXPECT_EQ(c->Item(Variant(String(u"KEY32"))).string_value(), u"third");
  EXPECT_EQ(c->Key(1), u"KEY0");  // as added, not as asked for
  EXPECT_EQ(c->Key(2), std::nullopt);
  EXPECT_EQ(error_number([&] { c->Add(Variant(Long{9}), u"kEy0"); }), 457);
  EXPECT_EQ(c->Count(), 3);
  EXPECT_EQ(error_number([&] { c->Item(Variant(Long{0})); }), 9);
  EXPECT_EQ(error_number([&] { c->Item(Variant(Long{4})); }), 9);
  EXPECT_EQ(error_number([&] { c->Item(Variant(String(u"nope"))); }), 5);

  c->Remove(Variant(String(u"key0")));
  EXPECT_EQ(c->Count(), 2);
  EXPECT_EQ(c->Item(Variant(Long{1})).long_value(), 2);
  // The removed key is free again.
  c->Add(Variant(Long{7}), u"KEY0");
  EXPECT_EQ(c->Item(Variant(Long{3})).long_value(), 7);
}

TEST(Collection, ManyKeysStayUniqueAndFoundInAnyCase) {
  auto c = Collection::create();
  constexpr int kKeys = 600;
  for (int i = 0; i < kKeys; ++i) c->Add(Variant(Long{i}), u"Key" + S(std::to_string(i * 16)));
  // Each later key is refused in every spelling; the count stays.
  for (const char16_t* taken : {u"KEY0", u"key16", u"kEy9584", u"KEY4800"})
    EXPECT_EQ(error_number([&] { c->Add(Variant(Long{-1}), taken); }), 457) << win::utf16_to_utf8(taken);
  EXPECT_EQ(c->Count(), kKeys);
  for (int i = 0; i < kKeys; i += 37) {
    EXPECT_EQ(c->Item(Variant(u"KEY" + S(std::to_string(i * 16)))).long_value(), i);
    EXPECT_EQ(c->key_at(static_cast<std::size_t>(i)), u"Key" + S(std::to_string(i * 16)));
    EXPECT_EQ(c->item_at(static_cast<std::size_t>(i)).long_value(), i);
  }
  // Keys that differ from a taken one in more than case are new.
  for (const char16_t* fresh : {u"KEY1", u"KEY00", u"KEY", u"EY16", u"KEY9600"}) c->Add(Variant(Long{0}), fresh);
  EXPECT_EQ(c->Count(), kKeys + 5);
  c->Remove(Variant(String(u"key32")));
  c->Add(Variant(Long{2}), u"KEY32");
  EXPECT_EQ(c->Item(Variant(String(u"Key32"))).long_value(), 2);
}

TEST(Collection, IsOneSharedObjectAndWorksThroughDispatch) {
  auto c = Collection::create();
  ObjectRef alias = c;
  win::call_method(alias, u"Add", {Variant(String(u"row")), Variant(String(u"KEY16"))});
  EXPECT_EQ(c->Count(), 1);
  EXPECT_EQ(win::get_property(alias, u"count").long_value(), 1);
  EXPECT_EQ(win::call_method(alias, u"item", {Variant(String(u"key16"))}).string_value(), u"row");
  // Added by value: a later change to the caller's variable does not reach the item.
  Variant v{Long{1}};
  win::call_method(alias, u"Add", {Variant::ref(v)});
  v = Variant(Long{99});
  EXPECT_EQ(c->Item(Variant(Long{2})).long_value(), 1);
}
