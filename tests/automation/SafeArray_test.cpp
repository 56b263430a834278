#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Variant.h>

#include <gtest/gtest.h>

#include <cstring>

namespace tarnwick {
namespace {

TEST(SafeArray, AnyLowerBoundAndSeveralDimensions) {
  // Dim a(1 To 3, -2 To 0)
  SafeArray a(VT_VARIANT, {SAFEARRAYBOUND{3, 1}, SAFEARRAYBOUND{3, -2}});
  EXPECT_EQ(a.dims(), 2u);
  EXPECT_EQ(a.lowerBound(1), 1);
  EXPECT_EQ(a.upperBound(1), 3);
  EXPECT_EQ(a.lowerBound(2), -2);
  EXPECT_EQ(a.upperBound(2), 0);
  EXPECT_THROW(a.lowerBound(3), Error);
  for (std::int32_t i = 1; i <= 3; ++i)
    for (std::int32_t j = -2; j <= 0; ++j) a.put({i, j}, Variant(i * 10 + j));
  for (std::int32_t i = 1; i <= 3; ++i)
    for (std::int32_t j = -2; j <= 0; ++j) EXPECT_EQ(a.get({i, j}).lVal, i * 10 + j);
  // The leftmost index varies fastest in memory.
  const auto* data = static_cast<const VARIANT*>(a.get()->pvData);
  EXPECT_EQ(data[0].lVal, 8);   // (1, -2)
  EXPECT_EQ(data[1].lVal, 18);  // (2, -2)
  try {
    a.get({0, 0});
    FAIL() << "index below the lower bound was accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::SubscriptOutOfRange);
    EXPECT_EQ(e.description(), u"Subscript out of range");
  }
  EXPECT_THROW(a.get({4, 0}), Error);
  EXPECT_THROW(a.get({1}), Error);  // too few indices
}

TEST(SafeArray, TypedElementsConvertOnTheWayInAndOut) {
  SafeArray numbers(VT_I2, 0, 2);
  numbers.put({0}, Variant(u"12"));
  numbers.put({1}, Variant(2.5));  // rounds half to even
  EXPECT_EQ(numbers.get({0}).type(), VT_I2);
  EXPECT_EQ(numbers.get({0}).iVal, 12);
  EXPECT_EQ(numbers.get({1}).iVal, 2);
  EXPECT_THROW(numbers.put({0}, Variant(u"abc")), Error);
  EXPECT_EQ(numbers.get({0}).iVal, 12);

  SafeArray texts(VT_BSTR, 5, 2);
  texts.put({5}, Variant(u"first"));
  texts.put({5}, Variant(u"replaced"));
  EXPECT_EQ(texts.get({5}).text(), u"replaced");
  EXPECT_EQ(texts.get({6}).bstrVal, nullptr);  // never written: the null string

  Variant holder = std::move(texts).toVariant();
  EXPECT_EQ(holder.type(), VT_ARRAY | VT_BSTR);
  Variant copy = holder;  // deep copy
  EXPECT_NE(copy.array(), holder.array());
}

// Arrays of plain numbers and bytes copy as one block; arrays that own
// strings, objects or variants copy element by element. Either copy stands
// apart from its source.
TEST(SafeArray, CopiesOfPlainAndOwningElementsStandApart) {
  SafeArray bytes(VT_UI1, 0, 8);
  for (std::int32_t i = 0; i < 8; ++i) bytes.put({i}, Variant(static_cast<std::uint8_t>(i * 31)));
  SafeArray doubles(VT_R8, {SAFEARRAYBOUND{2, 1}, SAFEARRAYBOUND{3, -1}});
  doubles.put({2, 1}, Variant(-2.5));
  SafeArray variants(VT_VARIANT, 0, 2);
  variants.put({1}, Variant(u"kept"));
  const Variant sources[] = {std::move(bytes).toVariant(), std::move(doubles).toVariant(), std::move(variants).toVariant()};
  for (const Variant& source : sources) {
    Variant copy = source;
    ASSERT_NE(copy.array(), source.array());
    ASSERT_NE(copy.array()->pvData, source.array()->pvData);
    EXPECT_EQ(copy.type(), source.type());
    EXPECT_EQ(SafeArrayGetDim(copy.array()), SafeArrayGetDim(source.array()));
  }
  Variant bytesCopy = sources[0];
  EXPECT_EQ(std::memcmp(bytesCopy.array()->pvData, sources[0].array()->pvData, 8), 0);
  static_cast<std::uint8_t*>(bytesCopy.array()->pvData)[3] = 1;
  EXPECT_EQ(static_cast<const std::uint8_t*>(sources[0].array()->pvData)[3], 93);
  Variant doublesCopy = sources[1];
  EXPECT_EQ(static_cast<const double*>(doublesCopy.array()->pvData)[5], -2.5);  // (2, 1), the leftmost index fastest
  Variant variantsCopy = sources[2];
  const auto* held = static_cast<const VARIANT*>(variantsCopy.array()->pvData);
  EXPECT_NE(held[1].bstrVal, static_cast<const VARIANT*>(sources[2].array()->pvData)[1].bstrVal);
  EXPECT_EQ(static_cast<const Variant&>(held[1]).text(), u"kept");
}

TEST(SafeArray, RedimKeepsElementsAndLockedArraysStay) {
  SafeArray a(VT_VARIANT, 0, 2);
  a.put({0}, Variant(u"keep"));
  a.put({1}, Variant(u"dropped"));
  SAFEARRAYBOUND shorter{1, 0};
  ASSERT_EQ(SafeArrayRedim(a.get(), &shorter), S_OK);
  EXPECT_EQ(a.upperBound(), 0);
  SAFEARRAYBOUND longer{4, 0};
  ASSERT_EQ(SafeArrayRedim(a.get(), &longer), S_OK);
  EXPECT_EQ(a.get({0}).text(), u"keep");
  EXPECT_TRUE(a.get({3}).isEmpty());

  ASSERT_EQ(SafeArrayLock(a.get()), S_OK);
  EXPECT_EQ(SafeArrayDestroy(a.get()), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayRedim(a.get(), &shorter), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnlock(a.get()), S_OK);
  EXPECT_EQ(SafeArrayUnlock(a.get()), E_UNEXPECTED);
}

TEST(SafeArray, CApiRefusesMalformedRequests) {
  EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 0, nullptr), nullptr);
  SAFEARRAYBOUND bound{3, 0};
  EXPECT_EQ(SafeArrayCreate(0x0FFF, 1, &bound), nullptr);
  // Sizes that overflow are refused, not wrapped around.
  SAFEARRAYBOUND huge[3] = {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 3, huge), nullptr);
  std::int32_t bound32 = 0;
  EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &bound32), E_INVALIDARG);
  SAFEARRAY* a = SafeArrayCreateVector(VT_I4, -1, 3);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(SafeArrayGetUBound(a, 1, &bound32), S_OK);
  EXPECT_EQ(bound32, 1);
  EXPECT_EQ(SafeArrayGetUBound(a, 2, &bound32), DISP_E_BADINDEX);
  std::int32_t index = 2;
  void* element = nullptr;
  EXPECT_EQ(SafeArrayPtrOfIndex(a, &index, &element), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayPutElement(a, &index, nullptr), E_INVALIDARG);
  EXPECT_EQ(SafeArrayDestroy(a), S_OK);
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

}  // namespace
}  // namespace tarnwick
