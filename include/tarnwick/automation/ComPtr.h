#pragma once
// An owning smart pointer for interfaces: AddRef on copy, Release on
// destruction, put() for out-parameters and as()/tryAs() for interface
// queries.
#include <tarnwick/automation/Dispatch.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Unknown.h>

#include <cstddef>
#include <utility>

namespace tarnwick {

// The identifier of an interface type: each interface names its own as `iid`.
template <typename T>
inline constexpr const IID& interfaceId = T::iid;

template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Takes a reference of its own.
  explicit ComPtr(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).swap(*this);
    return *this;
  }
  ~ComPtr() { reset(); }

  // Adopts a reference the caller already holds.
  static ComPtr attach(T* p) noexcept {
    ComPtr result;
    result.p_ = p;
    return result;
  }
  T* detach() noexcept { return std::exchange(p_, nullptr); }
  void reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // For out-parameters: releases what is held and hands out the slot.
  T** put() noexcept {
    reset();
    return &p_;
  }
  void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  void swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  // Queries for another interface; an empty pointer when it is not supported.
  template <typename U>
  ComPtr<U> tryAs(const IID& iid = interfaceId<U>) const noexcept {
    ComPtr<U> result;
    if (p_ && failed(p_->QueryInterface(iid, result.putVoid()))) result.reset();
    return result;
  }
  // Queries for another interface; Error 430 when it is not supported.
  template <typename U>
  ComPtr<U> as(const IID& iid = interfaceId<U>) const {
    if (!p_) throw Error(errc::ObjectNotSet);
    ComPtr<U> result = tryAs<U>(iid);
    if (!result) throw Error(errc::NoAutomationSupport);
    return result;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }

 private:
  T* p_ = nullptr;
};

}  // namespace tarnwick
