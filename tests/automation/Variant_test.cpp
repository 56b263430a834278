#include "CountedObject.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Variant.h>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using testing::CountedObject;

TEST(Variant, HoldsEveryTypeWithItsCode) {
  EXPECT_EQ(Variant().type(), VT_EMPTY);
  EXPECT_EQ(Variant::null().type(), VT_NULL);
  EXPECT_EQ(Variant(std::int16_t{5}).type(), VT_I2);
  EXPECT_EQ(Variant(5).type(), VT_I4);
  EXPECT_EQ(Variant(std::uint8_t{5}).type(), VT_UI1);
  EXPECT_EQ(Variant(1.5f).type(), VT_R4);
  EXPECT_EQ(Variant(1.5).type(), VT_R8);
  EXPECT_EQ(Variant(CY{15000}).type(), VT_CY);
  EXPECT_EQ(Variant::date(36526.5).type(), VT_DATE);
  EXPECT_EQ(Variant(u"abc").type(), VT_BSTR);
  EXPECT_EQ(Variant(true).boolVal, VARIANT_TRUE);
  EXPECT_EQ(Variant(false).boolVal, VARIANT_FALSE);
  EXPECT_EQ(Variant::error(5).type(), VT_ERROR);
  EXPECT_TRUE(Variant::missing().isMissing());
  EXPECT_FALSE(Variant::error(5).isMissing());
  EXPECT_FALSE(Variant().isMissing());
}

TEST(Variant, NullStringIsDistinctFromEmptyString) {
  Variant nullText = Variant::nullString();
  Variant emptyText(u"");
  EXPECT_EQ(nullText.bstrVal, nullptr);
  ASSERT_NE(emptyText.bstrVal, nullptr);
  EXPECT_EQ(SysStringLen(emptyText.bstrVal), 0u);
  // Both read as "".
  EXPECT_EQ(nullText.text(), u"");
  EXPECT_EQ(toText(nullText), u"");
  // A copy keeps the distinction.
  Variant copy = nullText;
  EXPECT_EQ(copy.bstrVal, nullptr);
  Variant copy2 = emptyText;
  EXPECT_NE(copy2.bstrVal, nullptr);
  EXPECT_NE(copy2.bstrVal, emptyText.bstrVal);
}

TEST(Variant, StringsCountUtf16UnitsAndKeepEmbeddedNul) {
  const std::u16string text{u'a', u'\0', u'b', 0xD83D, 0xDE00};  // a NUL b, then one emoji as two units
  Variant v(text);
  EXPECT_EQ(SysStringLen(v.bstrVal), 5u);
  EXPECT_EQ(v.text(), text);
  EXPECT_EQ(fromUtf8(toUtf8(text)), text);
  // A lone surrogate does not survive UTF-8, but becomes U+FFFD, not bad bytes.
  EXPECT_EQ(toUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
  // ASCII runs before, between and after other characters, and alone.
  EXPECT_EQ(toUtf8(u"/tmp/Gr\u00FC\u00DFe/\u20AC.ini"), "/tmp/Gr\xC3\xBC\xC3\x9F" "e/\xE2\x82\xAC.ini");
  EXPECT_EQ(toUtf8(u"plain ASCII of more than sixteen characters"), "plain ASCII of more than sixteen characters");
  EXPECT_EQ(toUtf8(std::u16string{u'a', 0xD83D}), "a\xEF\xBF\xBD");  // a high surrogate at the very end
  EXPECT_EQ(toUtf8(u""), "");
  EXPECT_EQ(fromUtf8("\xC3\xA4\xFF"), (std::u16string{0xE4, 0xFFFD}));
  EXPECT_EQ(fromUtf8("\xE2\x82"), (std::u16string{0xFFFD}));
  EXPECT_EQ(fromUtf8("\xC0\x80"), (std::u16string{0xFFFD}));  // overlong
}

TEST(Variant, CopyMoveAndClearManageReferences) {
  CountedObject object;
  {
    Variant v(static_cast<IDispatch*>(&object));
    EXPECT_EQ(object.references(), 2u);
    Variant copy = v;
    EXPECT_EQ(object.references(), 3u);
    Variant moved = std::move(copy);
    EXPECT_EQ(object.references(), 3u);
    EXPECT_TRUE(copy.isEmpty());
    moved.clear();
    EXPECT_EQ(object.references(), 2u);
    EXPECT_EQ(v.dispatch(), &object);
    v = Variant(u"replaced");
    EXPECT_EQ(object.references(), 1u);
  }
  EXPECT_EQ(object.references(), 1u);
  // Objects inside arrays are released with the array.
  {
    Variant array = makeVariantArray({Variant(static_cast<IDispatch*>(&object)), Variant(u"x")});
    EXPECT_EQ(object.references(), 2u);
    Variant copy = array;
    EXPECT_EQ(object.references(), 3u);
  }
  EXPECT_EQ(object.references(), 1u);
}

// A move releases what the target held (an object, a string, an array) and
// nothing else: a reference moved in or out owns nothing, and a variant
// moved onto itself keeps its value.
TEST(Variant, MovesReleaseWhatTheTargetOwnedAndLeaveTheSourceEmpty) {
  CountedObject object;
  Variant holder(static_cast<IDispatch*>(&object));
  Variant callers(u"the caller's");
  holder = Variant::refTo(&callers);
  EXPECT_EQ(object.references(), 1u);
  EXPECT_EQ(holder.valueType(), VT_BSTR);
  Variant taken = std::move(holder);
  EXPECT_TRUE(holder.isEmpty());
  EXPECT_EQ(taken.text(), u"the caller's");
  taken = Variant(static_cast<IDispatch*>(&object));  // the reference goes; the caller's text stays
  EXPECT_EQ(callers.text(), u"the caller's");
  EXPECT_EQ(object.references(), 2u);
  Variant& same = taken;
  taken = std::move(same);
  EXPECT_EQ(taken.dispatch(), &object);
  EXPECT_EQ(object.references(), 2u);
  taken = makeVariantArray({Variant(static_cast<IDispatch*>(&object))});
  EXPECT_EQ(object.references(), 2u);  // the one inside the array
  taken = Variant::null();
  EXPECT_EQ(object.references(), 1u);
  EXPECT_TRUE(taken.isNull());
  taken = Variant::date(36000.5);
  EXPECT_EQ(taken.type(), VT_DATE);
  EXPECT_EQ(taken.VARIANT::date, 36000.5);

  // The type a reference reaches: through chains, typed references, and a
  // reference to no variable at all.
  Variant outer = Variant::refTo(&callers);
  Variant outermost = Variant::refTo(&outer);
  EXPECT_EQ(outermost.valueType(), VT_BSTR);
  std::int32_t number = 5;
  Variant typed;
  typed.vt = VT_BYREF | VT_I4;
  typed.plVal = &number;
  EXPECT_EQ(typed.valueType(), VT_I4);
  Variant dangling;
  dangling.vt = VT_BYREF | VT_VARIANT;
  dangling.pvarVal = nullptr;
  EXPECT_EQ(dangling.valueType(), VT_VARIANT);
}

TEST(Variant, ReferencesReadAndWriteTheCallersVariable) {
  Variant callers(std::int16_t{7});
  Variant ref = Variant::refTo(&callers);
  EXPECT_EQ(ref.type(), VT_BYREF | VT_VARIANT);
  EXPECT_EQ(ref.valueType(), VT_I2);
  EXPECT_EQ(ref.value().iVal, 7);
  ref.assign(Variant(u"now text"));
  EXPECT_EQ(callers.text(), u"now text");
  // A reference to a reference is followed to the end.
  Variant outer = Variant::refTo(&ref);
  EXPECT_EQ(outer.text(), u"now text");
  outer.assign(Variant(2.5));
  EXPECT_EQ(callers.type(), VT_R8);

  // A typed reference keeps its type: the value is converted into it.
  std::int16_t slot = 0;
  Variant typed;
  typed.vt = VT_BYREF | VT_I2;
  typed.piVal = &slot;
  typed.assign(Variant(u"41"));
  EXPECT_EQ(slot, 41);
  EXPECT_THROW(typed.assign(Variant(u"70000")), Error);
  EXPECT_EQ(slot, 41);
  BSTR text = nullptr;
  Variant textRef;
  textRef.vt = VT_BYREF | VT_BSTR;
  textRef.pbstrVal = &text;
  textRef.assign(Variant(12));
  EXPECT_EQ(view(text), u"12");
  textRef.assign(Variant(u"second"));  // the old text is freed, not leaked
  EXPECT_EQ(view(text), u"second");
  SysFreeString(text);

  // A cycle of references is refused, not followed forever.
  Variant a, b;
  a.vt = b.vt = VT_BYREF | VT_VARIANT;
  a.pvarVal = &b;
  b.pvarVal = &a;
  EXPECT_THROW(a.value(), Error);
  VariantInit(&a);
  VariantInit(&b);
}

TEST(Variant, CApiRefusesBadInput) {
  EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
  EXPECT_EQ(VariantCopy(nullptr, nullptr), E_INVALIDARG);
  Variant bad;
  bad.vt = 0x0FFF;  // no such type
  Variant dest(u"kept");
  EXPECT_EQ(VariantCopy(&dest, &bad), DISP_E_BADVARTYPE);
  EXPECT_EQ(dest.text(), u"kept");  // a failed copy leaves the destination alone
  bad.vt = VT_EMPTY;
  VARIANT raw;
  VariantInit(&raw);
  Variant number(u"12");
  EXPECT_EQ(VariantChangeType(&raw, &number, 0, VT_I2), S_OK);
  EXPECT_EQ(raw.vt, VT_I2);
  EXPECT_EQ(raw.iVal, 12);
  Variant word(u"twelve");
  EXPECT_EQ(VariantChangeType(&raw, &word, 0, VT_I2), DISP_E_TYPEMISMATCH);
  Variant big(u"99999");
  EXPECT_EQ(VariantChangeType(&raw, &big, 0, VT_I2), DISP_E_OVERFLOW);
  // In place.
  EXPECT_EQ(VariantChangeType(&number, &number, 0, VT_R8), S_OK);
  EXPECT_EQ(number.dblVal, 12.0);
}

}  // namespace
}  // namespace tarnwick
