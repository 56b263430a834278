#include "ErrorOf.h"

#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>

#include <gtest/gtest.h>

#include <vector>

namespace tarnwick {
namespace {

using testing::errorOf;

// {5E1F0001-0000-4000-8000-000000000001}, an interface the label answers to.
constexpr IID kLabelInterface{0x5E1F0001, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 1}};

// A small automation object built from a member table, as the host's
// controls are: a default Caption, an indexed property, a method with an
// optional argument and one that changes its argument.
class Label final : public AutomationObject<Label> {
 public:
  static std::u16string_view typeName() { return u"Label"; }
  static std::span<const Member<Label>> members();
  bool answersTo(const IID& riid) const noexcept { return riid == kLabelInterface; }

  std::u16string caption = u"first";
  std::vector<double> widths = std::vector<double>(4, 0.0);
  double left = 0, top = 0, width = 100;
};

const Member<Label> kLabelMembers[] = {
    {u"Caption", DISPID_VALUE, kProperty,
     [](Label& self, Call& call) {
       call.expect(0);
       if (call.isPut()) self.caption = toText(call.value());
       else call.setResult(self.caption);
     }},
    {u"ColWidth", 2, kProperty,
     [](Label& self, Call& call) {
       call.expect(1);
       const auto index = call.int16(0);
       if (index < 0 || static_cast<std::size_t>(index) >= self.widths.size()) throw Error(errc::InvalidPropertyArrayIndex);
       if (call.isPut()) self.widths[static_cast<std::size_t>(index)] = toDouble(call.value());
       else call.setResult(self.widths[static_cast<std::size_t>(index)]);
     }},
    {u"Move", 3, kMethod,
     [](Label& self, Call& call) {
       call.expect(1, 3);
       self.left = call.number(0);
       if (call.has(1)) self.top = call.number(1);
       if (call.has(2)) self.width = call.number(2);
     }},
    {u"Double", 4, kMethod,
     [](Label&, Call& call) {
       call.expect(1);
       call.arg(0).assign(Variant(call.number(0) * 2));
     }},
    {u"Parent", 5, kGet, [](Label& self, Call& call) { call.setResult(static_cast<IDispatch*>(&self)); }},
};

std::span<const Member<Label>> Label::members() { return kLabelMembers; }

TEST(AutomationObject, CallsByNameReadNaturally) {
  Object label(makeObject<Label>().as<IDispatch>());
  EXPECT_EQ(label.get(u"Caption").text(), u"first");
  label.put(u"caption", Variant(u"second"));  // names ignore letter case
  EXPECT_EQ(label.value().text(), u"second");  // the default member
  label.put(u"ColWidth", {Variant(2)}, Variant(1200));
  EXPECT_EQ(toDouble(label.get(u"ColWidth", {Variant(2)})), 1200.0);
  label.call(u"Move", 10, 20);
  auto& self = static_cast<Label&>(*label.get());
  EXPECT_EQ(self.left, 10);
  EXPECT_EQ(self.top, 20);
  EXPECT_EQ(self.width, 100);  // left out: unchanged
  label.call(u"Move", 1, Variant::missing(), 50);
  EXPECT_EQ(self.top, 20);
  EXPECT_EQ(self.width, 50);
  // A by-reference argument carries the change back to the caller.
  Variant mine(21);
  label.call(u"Double", Variant::refTo(&mine));
  EXPECT_EQ(toDouble(mine), 42.0);
  EXPECT_EQ(label.typeName(), u"Label");
  EXPECT_TRUE(label.supports(kLabelInterface));
  EXPECT_TRUE(label.supports(IID_IDispatch));
  EXPECT_FALSE(label.supports(IID_ITypeInfo));
  Object parent(label.get(u"Parent"));
  EXPECT_EQ(parent.get(), label.get());
}

TEST(AutomationObject, BrokenCallersGetErrorsNotCrashes) {
  Object label(makeObject<Label>().as<IDispatch>());
  EXPECT_EQ(errorOf([&] { label.get(u"NoSuchMember"); }), errc::MemberNotSupported);
  EXPECT_EQ(errorOf([&] { label.call(u"Move"); }), errc::WrongArgumentCount);
  EXPECT_EQ(errorOf([&] { label.call(u"Move", 1, 2, 3, 4); }), errc::WrongArgumentCount);
  EXPECT_EQ(errorOf([&] { label.call(u"Move", u"left"); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([&] { label.get(u"ColWidth", {Variant(9)}); }), errc::InvalidPropertyArrayIndex);
  EXPECT_EQ(errorOf([&] { label.put(u"Parent", Variant(1)); }), errc::MemberNotSupported);  // read-only
  try {
    label.call(u"Move", u"left");
  } catch (const Error& e) {
    EXPECT_EQ(e.description(), u"Type mismatch");
    EXPECT_EQ(e.source(), u"Label");
  }

  // The raw interface refuses malformed calls with result codes.
  IDispatch* raw = label.get();
  DISPID id = 0;
  EXPECT_EQ(raw->GetIDsOfNames(GUID_NULL, nullptr, 1, 0, &id), E_INVALIDARG);
  const char16_t* names[] = {u"Move", u"left"};
  DISPID ids[2];
  EXPECT_EQ(raw->GetIDsOfNames(GUID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);  // no named parameters
  EXPECT_EQ(ids[0], 3);
  EXPECT_EQ(raw->Invoke(3, GUID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), E_INVALIDARG);
  DISPPARAMS noArgs{};
  EXPECT_EQ(raw->Invoke(99, GUID_NULL, 0, DISPATCH_METHOD, &noArgs, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  DISPPARAMS lying{nullptr, nullptr, 2, 0};  // claims two arguments, passes none
  EXPECT_EQ(raw->Invoke(3, GUID_NULL, 0, DISPATCH_METHOD, &lying, nullptr, nullptr, nullptr), E_INVALIDARG);
  Variant arg(1);
  DISPID named = 7;
  DISPPARAMS withName{&arg, &named, 1, 1};
  EXPECT_EQ(raw->Invoke(3, GUID_NULL, 0, DISPATCH_METHOD, &withName, nullptr, nullptr, nullptr), DISP_E_NONAMEDARGS);
  // Without room for exception information, the error's own code comes back.
  Variant text(u"x");
  DISPPARAMS badType{&text, nullptr, 1, 0};
  UINT argErr = 99;
  EXPECT_EQ(raw->Invoke(3, GUID_NULL, 0, DISPATCH_METHOD, &badType, nullptr, nullptr, &argErr), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  EXPECT_EQ(raw->QueryInterface(IID_IDispatch, nullptr), E_POINTER);
  EXPECT_EQ(raw->GetTypeInfo(1, 0, nullptr), E_POINTER);

  // A released object: the pointer is empty, and using it is error 91.
  Object released;
  EXPECT_EQ(errorOf([&] { released.get(u"Caption"); }), errc::ObjectNotSet);
  EXPECT_EQ(errorOf([] { Object fromNumber{Variant(5)}; }), errc::ObjectRequired);
  EXPECT_EQ(errorOf([] { Object fromNothing{Variant(static_cast<IDispatch*>(nullptr))}; }), errc::ObjectNotSet);
}

TEST(AutomationObject, ReferencesAndLifetime) {
  const long before = impl::liveObjects();
  {
    ComPtr<Label> label = makeObject<Label>();
    EXPECT_EQ(impl::liveObjects(), before + 1);
    ComPtr<IDispatch> asDispatch = label.as<IDispatch>();
    Variant holder(asDispatch.get());
    EXPECT_EQ(label->AddRef(), 4u);
    EXPECT_EQ(label->Release(), 3u);
    EXPECT_FALSE(label.tryAs<ITypeInfo>());
    EXPECT_EQ(errorOf([&] { label.as<ITypeInfo>(); }), errc::NoAutomationSupport);
  }
  EXPECT_EQ(impl::liveObjects(), before);  // the last Release deleted it
}

}  // namespace
}  // namespace tarnwick
