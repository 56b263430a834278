#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Guid.h>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace tarnwick {
namespace {

TEST(Error, StandardDescriptionsAndDetails) {
  EXPECT_EQ(Error(errc::Overflow).description(), u"Overflow");
  EXPECT_EQ(Error(errc::TypeMismatch).description(), u"Type mismatch");
  EXPECT_EQ(Error(errc::InvalidUseOfNull).description(), u"Invalid use of Null");
  EXPECT_EQ(Error(errc::WrongArgumentCount).description(), u"Wrong number of arguments or invalid property assignment");
  EXPECT_EQ(Error(errc::PathFileAccessError).description(), u"Path/File access error");
  EXPECT_EQ(Error(errc::NoCurrentRecord).description(), u"No current record.");
  EXPECT_EQ(describe(errc::ControlArrayElementMissing, u"3"), u"Control array element '3' doesn't exist");
  EXPECT_EQ(describe(errc::ItemNotFound, u"x"), u"Item not found in this collection.");
  EXPECT_EQ(standardDescription(31999), u"Application-defined or object-defined error");
  for (int n : {5, 6, 9, 11, 13, 52, 53, 54, 55, 57, 58, 61, 62, 67, 68, 70, 71, 75, 76, 94, 340, 380, 381, 424,
                438, 450})
    EXPECT_NE(standardDescription(n), standardDescription(31999)) << n;
  Error custom(5, u"Own words", u"Tarnwick.OcxWrapper");
  EXPECT_EQ(custom.source(), u"Tarnwick.OcxWrapper");
  EXPECT_STREQ(custom.what(), "5: Own words");
}

TEST(Error, ResultCodesRoundTripTheNumber) {
  for (int n : {5, 6, 7, 9, 11, 13, 53, 76, 94, 340, 424, 438, 449, 450, 3021, 3265}) {
    const HRESULT hr = Error(n).result();
    EXPECT_TRUE(failed(hr)) << n;
    EXPECT_EQ(errorNumberFromResult(hr), n) << n;
  }
  EXPECT_EQ(Error(errc::TypeMismatch).result(), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Error(errc::FileNotFound).result(), makeResult(0x800A0035u));
  EXPECT_EQ(errorNumberFromResult(DISP_E_UNKNOWNNAME), errc::MemberNotSupported);
  EXPECT_EQ(errorNumberFromResult(E_FAIL), errc::AutomationError);
  EXPECT_NO_THROW(check(S_OK));
  EXPECT_NO_THROW(check(S_FALSE));
  try {
    check(DISP_E_OVERFLOW);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::Overflow);
  }
}

TEST(Error, GuardKeepsEveryExceptionInside) {
  EXPECT_EQ(guard([] {}), S_OK);
  EXPECT_EQ(guard([] { throw Error(errc::DivisionByZero); }), DISP_E_DIVBYZERO);
  EXPECT_EQ(guard([] { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(guard([] { throw std::runtime_error("x"); }), E_UNEXPECTED);
  EXPECT_EQ(guard([] { throw 42; }), E_UNEXPECTED);
}

TEST(Guid, ParsesAndPrintsTheRegistryForm) {
  const auto g = parseGuid("{BE34CB7D-7557-11D2-8E42-0008C7EA3DBB}");
  ASSERT_TRUE(g);
  EXPECT_EQ(g->Data1, 0xBE34CB7Du);
  EXPECT_EQ(g->Data2, 0x7557);
  EXPECT_EQ(g->Data4[7], 0xBB);
  EXPECT_EQ(toString(*g), "{BE34CB7D-7557-11D2-8E42-0008C7EA3DBB}");
  EXPECT_EQ(parseGuid("be34cb7d-7557-11d2-8e42-0008c7ea3dbb"), g);
  for (const char* bad : {"", "{}", "{BE34CB7D-7557-11D2-8E42-0008C7EA3DB}", "{BE34CB7D+7557-11D2-8E42-0008C7EA3DBB}",
                          "{BE34CB7D-7557-11D2-8E42-0008C7EA3DBG}", "BE34CB7D-7557-11D2-8E42-0008C7EA3DBB}"})
    EXPECT_FALSE(parseGuid(bad)) << bad;
}

}  // namespace
}  // namespace tarnwick
