#pragma once
// Helpers of the four classes' tests: a class instance reached by name, a
// form loaded from a description, and the host's message box recording
// what a routine shows.
#include <tarnwick/automation/AutomationObject.h>
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Enumerator.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/automation/String.h>
#include <tarnwick/frame/ClassCatalogue.h>
#include <tarnwick/host/FormDescription.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/Services.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

namespace tarnwick::testing {

// A fresh folder for one test, removed afterwards.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-class-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const char* name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline std::u16string pathText(const std::filesystem::path& p) { return fromUtf8(p.string()); }

// A new instance of one of the library's classes, as a client gets it.
template <typename T>
Object instanceOf() {
  ComPtr<IDispatch> object;
  check(frame::createAndQuery<T>(IID_IDispatch, object.putVoid()));
  return Object(object);
}

inline Object formFrom(std::string_view description, const std::filesystem::path& folder = {}) {
  return Object(host::loadFormText(description, folder).template as<IDispatch>());
}

// A collection of the client's own making, numbered from 1: Count, Item
// (its default member, from 1) and, when `enumerable`, an enumerator
// (member -4) whose order may differ from Item's.
class ItemList final : public AutomationObject<ItemList> {
 public:
  ItemList(std::vector<Variant> byItem, std::vector<Variant> byEnumerator, bool enumerable)
      : byItem_(std::move(byItem)), byEnumerator_(std::move(byEnumerator)), enumerable_(enumerable) {}
  static Object make(std::vector<Variant> byItem, std::vector<Variant> byEnumerator, bool enumerable) {
    return Object(ComPtr<IDispatch>::attach(new ItemList(std::move(byItem), std::move(byEnumerator), enumerable)));
  }
  static std::u16string_view typeName() { return u"Collection"; }
  static std::span<const Member<ItemList>> members() {
    static const Member<ItemList> kMembers[] = {
        {u"Item", DISPID_VALUE, kGet | kMethod,
         [](ItemList& self, Call& call) {
           call.expect(1);
           const std::int32_t i = call.int32(0);
           if (i < 1 || static_cast<std::size_t>(i) > self.byItem_.size()) raise(errc::SubscriptOutOfRange);
           call.setResult(self.byItem_[static_cast<std::size_t>(i - 1)]);
         }},
        {u"Count", 1, kGet,
         [](ItemList& self, Call& call) { call.setResult(Variant(static_cast<std::int32_t>(self.byItem_.size()))); }},
        {u"_NewEnum", DISPID_NEWENUM, kGet | kMethod,
         [](ItemList& self, Call& call) {
           if (!self.enumerable_) raise(errc::MemberNotSupported);
           call.setResult(makeEnumerator(self.byEnumerator_));
         }},
    };
    return kMembers;
  }

 private:
  std::vector<Variant> byItem_;
  std::vector<Variant> byEnumerator_;
  bool enumerable_;
};

// A control array whose UBound is 32767 and that answers every index with
// the same control, counting the elements taken. A walk that wraps past
// 32767 would never end: the array stops answering after `limit` elements.
class EveryIndexArray final : public AutomationObject<EveryIndexArray> {
 public:
  EveryIndexArray(Variant control, long limit) : control_(std::move(control)), limit_(limit) {}
  static std::u16string_view typeName() { return u"Object"; }
  long taken() const { return taken_; }
  static std::span<const Member<EveryIndexArray>> members() {
    static const Member<EveryIndexArray> kMembers[] = {
        {u"Item", DISPID_VALUE, kGet | kMethod,
         [](EveryIndexArray& self, Call& call) {
           call.expect(1);
           call.int32(0);
           if (++self.taken_ > self.limit_) raise(errc::OutOfMemory);
           call.setResult(self.control_);
         }},
        {u"UBound", 1, kGet, [](EveryIndexArray&, Call& call) { call.setResult(Variant(std::int16_t{32767})); }},
        {u"LBound", 2, kGet, [](EveryIndexArray&, Call& call) { call.setResult(Variant(std::int16_t{0})); }},
    };
    return kMembers;
  }

 private:
  Variant control_;
  long limit_;
  long taken_ = 0;
};

// A view of a recordset whose fields answer only by their named members:
// every call goes on to the real recordset, its Fields collection and its
// fields, except a field's default member, which is not there. A routine
// must read a field through Value to see its data.
class FieldsByNameOnly final : public IDispatch {
 public:
  enum class Role { Recordset, Fields, Field, Plain };
  static Object wrap(const Object& recordset) { return Object(ComPtr<IDispatch>::attach(new FieldsByNameOnly(recordset.pointer(), Role::Recordset))); }
  // Any object reached by name only: its members pass through unchanged,
  // its interfaces beside IDispatch are hidden.
  static Object byNameOnly(const Object& object) { return Object(ComPtr<IDispatch>::attach(new FieldsByNameOnly(object.pointer(), Role::Plain))); }

  HRESULT QueryInterface(const IID& riid, void** object) noexcept override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() noexcept override { return ++count_; }
  ULONG Release() noexcept override {
    const ULONG left = --count_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT GetTypeInfoCount(UINT* count) noexcept override { return target_->GetTypeInfoCount(count); }
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override {
    return target_->GetTypeInfo(index, lcid, info);
  }
  HRESULT GetIDsOfNames(const IID& interfaceId, const char16_t* const* names, UINT count, LCID lcid, DISPID* ids) noexcept override {
    const HRESULT hr = target_->GetIDsOfNames(interfaceId, names, count, lcid, ids);
    // The field's Value is its default member: reached by name it gets an
    // id of its own, so that only the unnamed default member is missing.
    if (hr == S_OK && role_ == Role::Field && ids[0] == DISPID_VALUE) ids[0] = kValueByName;
    return hr;
  }
  HRESULT Invoke(DISPID id, const IID& interfaceId, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* info, UINT* argErr) noexcept override {
    if (role_ == Role::Field && id == DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
    try {
      if (role_ == Role::Fields && id == DISPID_NEWENUM) {
        std::vector<Variant> fields;
        for (const Variant& field : enumerate(Object(target_))) fields.push_back(wrapped(field, Role::Field));
        if (result) *result = makeEnumerator(std::move(fields)).detach();
        return S_OK;
      }
      Variant answer;
      if (role_ == Role::Field && id == kValueByName) id = DISPID_VALUE;
      const HRESULT hr = target_->Invoke(id, interfaceId, lcid, flags, params, &answer, info, argErr);
      if (failed(hr)) return hr;
      if (role_ == Role::Recordset && id == Object(target_).idOf(u"Fields")) answer = wrapped(answer, Role::Fields);
      else if (role_ == Role::Fields && id == DISPID_VALUE) answer = wrapped(answer, Role::Field);
      if (result) *result = answer.detach();
      return S_OK;
    } catch (...) {
      return E_FAIL;
    }
  }

 private:
  FieldsByNameOnly(ComPtr<IDispatch> target, Role role) : target_(std::move(target)), role_(role) {}
  ~FieldsByNameOnly() = default;
  static Variant wrapped(const Variant& value, Role role) {
    const Object object(value);
    return Variant(static_cast<IDispatch*>(ComPtr<IDispatch>::attach(new FieldsByNameOnly(object.pointer(), role)).get()));
  }
  static constexpr DISPID kValueByName = 0x7FFF'0000;
  ComPtr<IDispatch> target_;
  Role role_;
  std::atomic<ULONG> count_{1};
};

// Installs a scripted message box for the test's life.
class MessageBoxScope {
 public:
  MessageBoxScope() : box_(std::make_shared<host::ScriptedMessageBox>()), previous_(host::messageBox()) {
    host::setMessageBox(box_);
  }
  ~MessageBoxScope() { host::setMessageBox(previous_); }
  host::ScriptedMessageBox& operator*() { return *box_; }
  host::ScriptedMessageBox* operator->() { return box_.get(); }

 private:
  std::shared_ptr<host::ScriptedMessageBox> box_;
  std::shared_ptr<host::MessageBox> previous_;
};

}  // namespace tarnwick::testing
