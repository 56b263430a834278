#include "../automation/ErrorOf.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/ClassCatalogue.h>
#include <tarnwick/frame/LibraryClass.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick::frame {
namespace {

using tarnwick::testing::errorOf;

// A class of the library's shape with routines that have bodies, to
// exercise the calling contract both ways.
struct _Probe : IDispatch {
  static constexpr IID iid{0x5E1F0002, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 2}};
  virtual HRESULT Echo(BSTR* text, std::int16_t* count, VARIANT* suffix, SAFEARRAY** rest, BSTR* result) noexcept = 0;
  virtual HRESULT Touch(VARIANT_BOOL* flag) noexcept = 0;
  virtual HRESULT Fail(std::int16_t* result) noexcept = 0;
  virtual HRESULT NotBuilt(IDispatch** result) noexcept = 0;

 protected:
  ~_Probe() = default;
};

const ClassInfo& probeInfo() {
  static const ClassInfo info{
      u"Probe",
      u"Tarnwick.Probe",
      CLSID{0x5E1F0003, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 3}},
      InterfaceInfo{u"_Probe",
                    _Probe::iid,
                    {RoutineInfo{u"Echo",
                                 0x60030001,
                                 1,
                                 ResultType::String,
                                 {{u"text", ParamType::String, false},
                                  {u"count", ParamType::Int16, false},
                                  {u"suffix", ParamType::Variant, true},
                                  {u"rest", ParamType::VarArgs, false}}},
                     RoutineInfo{u"Touch", 0x60030002, 2, ResultType::None, {{u"flag", ParamType::Flag, false}}},
                     RoutineInfo{u"Fail", 0x60030003, 3, ResultType::Int16, {}},
                     RoutineInfo{u"NotBuilt", 0x60030004, 4, ResultType::Recordset, {}}}}};
  return info;
}

// Echo: the text `count` times, the suffix if given, then the rest joined
// by commas; the count comes back increased by one.
void echo(Call& call) {
  std::u16string out;
  const std::int16_t count = call.int16(1);
  for (int i = 0; i < count; ++i) out += call.text(0);
  if (call.has(2)) out += toText(call.arg(2));
  const SAFEARRAY* list = call.arg(3).array();
  for (std::int32_t i = 0; list && i < static_cast<std::int32_t>(list->rgsabound[0].cElements); ++i) {
    std::int32_t index = i;
    Variant element;
    check(SafeArrayGetElement(const_cast<SAFEARRAY*>(list), &index, &element));
    out += u"," + toText(element);
  }
  call.arg(1).assign(Variant(static_cast<std::int16_t>(count + 1)));
  call.setResult(out);
}

void touch(Call& call) { call.arg(0).assign(Variant(!call.flag(0))); }
void failing(Call&) { throw Error(errc::FileNotFound, u"File not found: x.txt"); }

constexpr RoutineBinding kProbeBindings[] = {
    {u"Touch", touch}, {u"Echo", echo}, {u"NotBuilt", nullptr}, {u"Fail", failing}};
std::span<const RoutineBinding> probeBindings() { return kProbeBindings; }

template <std::span<const RoutineBinding> (*Bindings)()>
class ProbeClass final : public LibraryClass<ProbeClass<Bindings>, _Probe> {
 public:
  static const ClassInfo& classInfo() { return probeInfo(); }
  static std::span<const RoutineBinding> bindings() { return Bindings(); }
  HRESULT Echo(BSTR* text, std::int16_t* count, VARIANT* suffix, SAFEARRAY** rest, BSTR* result) noexcept override {
    return this->early(1, result, text, count, suffix, rest);
  }
  HRESULT Touch(VARIANT_BOOL* flag) noexcept override { return this->template early<void>(2, nullptr, flag); }
  HRESULT Fail(std::int16_t* result) noexcept override { return this->early(3, result); }
  HRESULT NotBuilt(IDispatch** result) noexcept override { return this->early(4, result); }
};
using Probe = ProbeClass<probeBindings>;

Object newProbe() { return Object(makeObject<Probe>().as<IDispatch>()); }

TEST(LibraryClass, LateBoundCallsFollowTheContract) {
  Object probe = newProbe();
  // Optional parameter left out, variable list empty.
  EXPECT_EQ(probe.call(u"echo", u"ab", 2).text(), u"abab");
  EXPECT_EQ(probe.call(u"Echo", u"ab", 1, u"!").text(), u"ab!");
  EXPECT_EQ(probe.call(u"Echo", u"ab", 1, Variant::missing(), 1, u"x", 2.5).text(), u"ab,1,x,2.5");
  // Arguments are converted to the parameter's type.
  EXPECT_EQ(probe.call(u"Echo", 7, u"2").text(), u"77");
  // The caller's variable sees the change, through a typed reference or a
  // reference to a variant that holds the type.
  std::int16_t count = 1;
  Variant typed;
  typed.vt = VT_BYREF | VT_I2;
  typed.piVal = &count;
  probe.call(u"Echo", u"a", typed);
  EXPECT_EQ(count, 2);
  Variant holder(std::int16_t{5});
  probe.call(u"Echo", u"a", Variant::refTo(&holder));
  EXPECT_EQ(holder.iVal, 6);
  // A procedure leaves the caller's result variable alone.
  IDispatch* raw = probe.get();
  Variant flag(true);
  Variant args[] = {Variant::refTo(&flag)};
  DISPPARAMS params{args, nullptr, 1, 0};
  Variant result(u"untouched");
  ASSERT_EQ(raw->Invoke(0x60030002, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(result.text(), u"untouched");
  EXPECT_EQ(flag.boolVal, VARIANT_FALSE);
  // Named arguments, by the parameters' names.
  const char16_t* names[] = {u"ECHO", u"count", u"text"};
  DISPID ids[3];
  ASSERT_EQ(raw->GetIDsOfNames(GUID_NULL, names, 3, 0, ids), S_OK);
  EXPECT_EQ(ids[0], 0x60030001);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 0);
  Variant namedArgs[] = {Variant(3), Variant(u"z")};  // count, text
  DISPID namedIds[] = {1, 0};
  DISPPARAMS named{namedArgs, namedIds, 2, 2};
  ASSERT_EQ(raw->Invoke(ids[0], GUID_NULL, 0, DISPATCH_METHOD, &named, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(result.text(), u"zzz");
}

TEST(LibraryClass, LateBoundFailuresCarryNumberAndDescription) {
  Object probe = newProbe();
  EXPECT_EQ(errorOf([&] { probe.call(u"Echo", u"a"); }), errc::ArgumentNotOptional);
  EXPECT_EQ(errorOf([&] { probe.call(u"Touch", true, false); }), errc::WrongArgumentCount);
  EXPECT_EQ(errorOf([&] { probe.call(u"Echo", u"a", u"many"); }), errc::TypeMismatch);
  EXPECT_EQ(errorOf([&] { probe.call(u"Echo", u"a", 70000); }), errc::Overflow);
  EXPECT_EQ(errorOf([&] { probe.call(u"Nothing"); }), errc::MemberNotSupported);
  EXPECT_EQ(errorOf([&] { probe.put(u"Echo", Variant(1)); }), errc::MemberNotSupported);
  try {
    probe.call(u"Fail");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::FileNotFound);
    EXPECT_EQ(e.description(), u"File not found: x.txt");
    EXPECT_EQ(e.source(), u"Tarnwick.Probe");
  }
  try {
    probe.call(u"NotBuilt");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::ActionNotSupported);
    EXPECT_EQ(e.description(), u"NotBuilt is not implemented yet");
  }
  // The argument error position names the offending argument (reversed order).
  IDispatch* raw = probe.get();
  Variant args[] = {Variant(u"bad"), Variant(u"text")};
  DISPPARAMS params{args, nullptr, 2, 0};
  UINT argErr = 99;
  EXPECT_EQ(raw->Invoke(0x60030001, GUID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  DISPID badName = 9;
  DISPPARAMS named{args, &badName, 2, 1};
  EXPECT_EQ(raw->Invoke(0x60030001, GUID_NULL, 0, DISPATCH_METHOD, &named, nullptr, nullptr, nullptr),
            DISP_E_PARAMNOTFOUND);
}

TEST(LibraryClass, EarlyBoundCallsRunTheSameBodies) {
  ComPtr<_Probe> probe = makeObject<Probe>().as<_Probe>();
  BSTR text = SysAllocString(u"ab");
  std::int16_t count = 2;
  Variant suffix = Variant::missing();
  SafeArray rest(VT_VARIANT, 0, 0);
  SAFEARRAY* restList = rest.get();
  BSTR result = nullptr;
  ASSERT_EQ(probe->Echo(&text, &count, &suffix, &restList, &result), S_OK);
  EXPECT_EQ(view(result), u"abab");
  EXPECT_EQ(count, 3);  // by reference
  SysFreeString(result);

  VARIANT_BOOL flag = VARIANT_TRUE;
  ASSERT_EQ(probe->Touch(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_FALSE);

  std::int16_t number = 77;
  const HRESULT hr = probe->Fail(&number);
  EXPECT_TRUE(failed(hr));
  EXPECT_EQ(number, 0);  // the result stays at the empty value of its type
  EXPECT_EQ(errorOf([&] { checkEarly(hr); }), errc::FileNotFound);
  EXPECT_EQ(probe->Fail(&number), hr);
  const auto info = takeErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->description(), u"File not found: x.txt");
  EXPECT_EQ(info->source(), u"Tarnwick.Probe");

  IDispatch* recordset = reinterpret_cast<IDispatch*>(0x1);
  EXPECT_TRUE(failed(probe->NotBuilt(&recordset)));
  EXPECT_EQ(recordset, nullptr);
  EXPECT_EQ(takeErrorInfo()->description(), u"NotBuilt is not implemented yet");

  // Malformed early-bound calls: a missing result slot or required argument.
  EXPECT_EQ(probe->Fail(nullptr), E_POINTER);
  EXPECT_TRUE(failed(probe->Echo(nullptr, &count, &suffix, &restList, &result)));
  EXPECT_EQ(takeErrorInfo()->number(), errc::ArgumentNotOptional);
  EXPECT_TRUE(failed(probe->Echo(&text, &count, &suffix, nullptr, &result)));
  SysFreeString(text);
}

// The text of the error that binding `rows` to the probe's routines raises
// ("" when they bind).
std::u16string bindingError(std::span<const RoutineBinding> rows) {
  try {
    bindRoutines(probeInfo(), rows);
    return {};
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::AutomationError);
    return e.description();
  }
}

constexpr RoutineBinding kWithoutFail[] = {{u"Echo", echo}, {u"Touch", touch}, {u"NotBuilt", nullptr}};
std::span<const RoutineBinding> withoutFail() { return kWithoutFail; }

TEST(LibraryClass, BindingRowsMatchTheRoutinesOneForOne) {
  // Rows in any order land on their routines' slots.
  const std::vector<RoutineBody> bodies = bindRoutines(probeInfo(), kProbeBindings);
  ASSERT_EQ(bodies.size(), 4u);
  EXPECT_EQ(bodies[0], &echo);
  EXPECT_EQ(bodies[1], &touch);
  EXPECT_EQ(bodies[2], &failing);
  EXPECT_EQ(bodies[3], nullptr);
  EXPECT_EQ(bindingError(kProbeBindings), u"");

  EXPECT_EQ(bindingError(kWithoutFail), u"Probe: Fail is a routine of the class without a body");
  const RoutineBinding unknown[] = {
      {u"Echo", echo}, {u"Touch", touch}, {u"Fail", failing}, {u"NotBuilt", nullptr}, {u"Echoes", echo}};
  EXPECT_EQ(bindingError(unknown), u"Probe: Echoes has a body but is not a routine of the class");
  // Names are spelled as the type library spells them.
  const RoutineBinding misspelt[] = {{u"echo", echo}, {u"Touch", touch}, {u"Fail", failing}, {u"NotBuilt", nullptr}};
  EXPECT_EQ(bindingError(misspelt), u"Probe: echo has a body but is not a routine of the class");
  const RoutineBinding twice[] = {
      {u"Echo", echo}, {u"Touch", touch}, {u"Fail", failing}, {u"Touch", touch}, {u"NotBuilt", nullptr}};
  EXPECT_EQ(bindingError(twice), u"Probe: Touch is bound twice");

  // A class whose table does not bind cannot be made; the process goes on
  // and the caller gets the binding's error.
  using Broken = ProbeClass<withoutFail>;
  ComPtr<IDispatch> object;
  const HRESULT hr = createAndQuery<Broken>(IID_IDispatch, object.putVoid());
  EXPECT_TRUE(failed(hr));
  EXPECT_FALSE(object);
  const auto info = takeErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->number(), errc::AutomationError);
  EXPECT_EQ(info->description(), u"Probe: Fail is a routine of the class without a body");
  EXPECT_EQ(errorOf([] { makeObject<Broken>(); }), errc::AutomationError);
}

TEST(StartProcedure, ReadsTheScreenOnceBeforeTheFirstCall) {
  // In a process of its own, where the start may not have happened yet.
  const bool startedBefore = hasStarted();
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int reads = 0;
    setScreenFactorSource([&] {
      ++reads;
      return ScreenFactors{12, 20};
    });
    Object probe = newProbe();
    probe.call(u"Echo", u"a", 1);
    setScreenFactorSource([] { return ScreenFactors{1, 1}; });
    newProbe().call(u"Echo", u"a", 1);
    const ScreenFactors f = screenFactors();
    const bool ok = startedBefore ? reads == 0 && f.twipsPerPixelX == 15 && f.twipsPerPixelY == 15
                                  : reads == 1 && f.twipsPerPixelX == 12 && f.twipsPerPixelY == 20;
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace tarnwick::frame
