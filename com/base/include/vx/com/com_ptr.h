// ComPtr<T>: holds one reference to a COM object and releases it at its end.
#pragma once

#include <cstddef>
#include <utility>

#include "vx/com/unknown.h"

namespace vx::com {

template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Takes a reference of its own (AddRef); see Attach for adopting one.
  ComPtr(T* p) noexcept : p_(p) { addRef(); }
  ComPtr(const ComPtr& other) noexcept : p_(other.p_) { addRef(); }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U>
    requires std::is_convertible_v<U*, T*>
  ComPtr(const ComPtr<U>& other) noexcept : p_(other.Get()) {
    addRef();
  }
  ~ComPtr() { release(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // Out-parameter use: the held reference (if any) is released first.
  T** ReleaseAndGetAddressOf() noexcept {
    release();
    return &p_;
  }
  T** GetAddressOf() noexcept { return &p_; }

  // Adopts a reference the caller owns / gives the held reference away.
  void Attach(T* p) noexcept {
    release();
    p_ = p;
  }
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  void Reset() noexcept { release(); }

  // QueryInterface for U into `out`.
  template <class U>
  HRESULT As(ComPtr<U>* out) const noexcept {
    if (out == nullptr) return E_POINTER;
    if (p_ == nullptr) {
      out->Reset();
      return E_POINTER;
    }
    return p_->QueryInterface(uuidOf<U>(), reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
  }

  // Hands an AddRef'ed copy to an out parameter.
  HRESULT CopyTo(T** out) const noexcept {
    if (out == nullptr) return E_POINTER;
    *out = p_;
    addRef();
    return S_OK;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

 private:
  void addRef() const noexcept {
    if (p_ != nullptr) p_->AddRef();
  }
  void release() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }

  T* p_ = nullptr;
};

}  // namespace vx::com
