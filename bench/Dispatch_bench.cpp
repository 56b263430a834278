// Calls of one routine four ways: a direct virtual call of the same work
// (the baseline), the early-bound interface, Invoke with a known dispatch
// id, and a call by name (GetIDsOfNames, then Invoke).
#include <tarnwick/automation/Object.h>
#include <tarnwick/frame/LibraryClass.h>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace tarnwick;
using namespace tarnwick::frame;

// The routine's work: the text repeated `count` times, as a new string.
BSTR repeat(std::u16string_view text, std::int16_t count) {
  std::u16string out;
  out.reserve(text.size() * static_cast<std::size_t>(count > 0 ? count : 0));
  for (int i = 0; i < count; ++i) out += text;
  return allocBstr(out);
}

struct Direct {
  virtual ~Direct() = default;
  virtual BSTR join(std::u16string_view text, std::int16_t count) = 0;
};
struct DirectImpl final : Direct {
  BSTR join(std::u16string_view text, std::int16_t count) override { return repeat(text, count); }
};

struct _Bench : IDispatch {
  static constexpr IID iid{0x5E1F0010, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x10}};
  virtual HRESULT Join(BSTR* text, std::int16_t* count, BSTR* result) noexcept = 0;

 protected:
  ~_Bench() = default;
};

const ClassInfo& benchInfo() {
  static const ClassInfo info{
      u"Bench", u"Tarnwick.Bench", CLSID{0x5E1F0011, 0, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x11}},
      InterfaceInfo{u"_Bench",
                    _Bench::iid,
                    {RoutineInfo{u"Join",
                                 0x60030001,
                                 1,
                                 ResultType::String,
                                 {{u"text", ParamType::String, false}, {u"count", ParamType::Int16, false}}}}}};
  return info;
}

void joinBody(Call& call) {
  const Variant& text = call.arg(0);
  const std::int16_t count = call.int16(1);
  Variant result;
  result.vt = VT_BSTR;
  result.bstrVal = repeat(text.text(), count);
  call.setResult(std::move(result));
}
constexpr RoutineBinding kBindings[] = {{u"Join", joinBody}};

class Bench final : public LibraryClass<Bench, _Bench> {
 public:
  static const ClassInfo& classInfo() { return benchInfo(); }
  static std::span<const RoutineBinding> bindings() { return kBindings; }
  HRESULT Join(BSTR* text, std::int16_t* count, BSTR* result) noexcept override { return early(1, result, text, count); }
};

constexpr std::u16string_view kText = u"abcdefgh";
constexpr std::int16_t kCount = 3;

void BM_DirectVirtualCall(benchmark::State& state) {
  std::unique_ptr<Direct> direct = std::make_unique<DirectImpl>();
  for (auto _ : state) {
    BSTR out = direct->join(kText, kCount);
    benchmark::DoNotOptimize(out);
    SysFreeString(out);
  }
}
BENCHMARK(BM_DirectVirtualCall);

void BM_EarlyBoundCall(benchmark::State& state) {
  ComPtr<_Bench> bench = makeObject<Bench>().as<_Bench>();
  BSTR text = allocBstr(kText);
  std::int16_t count = kCount;
  for (auto _ : state) {
    BSTR out = nullptr;
    if (failed(bench->Join(&text, &count, &out))) state.SkipWithError("call failed");
    benchmark::DoNotOptimize(out);
    SysFreeString(out);
  }
  SysFreeString(text);
}
BENCHMARK(BM_EarlyBoundCall);

// The caller's arguments are built once, as the early-bound caller's are.
void invokeJoin(IDispatch* object, DISPID id, DISPPARAMS& params, benchmark::State& state) {
  Variant result;
  if (failed(object->Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr)))
    state.SkipWithError("invoke failed");
  benchmark::DoNotOptimize(result.bstrVal);
}

void BM_InvokeKnownId(benchmark::State& state) {
  ComPtr<IDispatch> bench = makeObject<Bench>().as<IDispatch>();
  Variant args[] = {Variant(kCount), Variant(kText)};  // reversed
  DISPPARAMS params{args, nullptr, 2, 0};
  for (auto _ : state) invokeJoin(bench.get(), 0x60030001, params, state);
}
BENCHMARK(BM_InvokeKnownId);

void BM_CallByName(benchmark::State& state) {
  ComPtr<IDispatch> bench = makeObject<Bench>().as<IDispatch>();
  const char16_t* name = u"join";
  Variant args[] = {Variant(kCount), Variant(kText)};  // reversed
  DISPPARAMS params{args, nullptr, 2, 0};
  for (auto _ : state) {
    DISPID id = 0;
    if (failed(bench->GetIDsOfNames(GUID_NULL, &name, 1, 0, &id))) state.SkipWithError("unknown name");
    invokeJoin(bench.get(), id, params, state);
  }
}
BENCHMARK(BM_CallByName);

void BM_ObjectCallByName(benchmark::State& state) {
  Object bench(makeObject<Bench>().as<IDispatch>());
  const Variant text(kText);
  for (auto _ : state) benchmark::DoNotOptimize(bench.call(u"Join", Variant::refTo(const_cast<Variant*>(&text)), kCount));
}
BENCHMARK(BM_ObjectCallByName);

}  // namespace
