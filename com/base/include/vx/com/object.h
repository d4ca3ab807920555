// Implementing COM objects: reference counting and QueryInterface over a list
// of interfaces.
//
//   class CThing final : public vx::com::Implements<IVexThing2, IOther> {
//    public:
//     HRESULT DoIt(UINT value) override;
//     ...
//   };
//   vx::com::ComPtr<CThing> thing = vx::com::Make<CThing>();
//
// QueryInterface answers IUnknown, every listed interface and every
// interface each one extends (IVexThing2 also answers IVexThing's IID), with
// the same pointer each time; IUnknown always gives the same pointer (the
// object's identity). A new object holds one reference, owned by Make.
// Every live object counts against its library's DllCanUnloadNow.
#pragma once

#include <atomic>
#include <new>
#include <type_traits>
#include <utility>

#include "vx/com/com_ptr.h"
#include "vx/com/unknown.h"

namespace vx::com {

namespace detail {
// One count per shared object (hidden visibility keeps each library's own):
// live objects plus LockServer(TRUE) calls of this library.
__attribute__((visibility("hidden"))) inline std::atomic<long> moduleLockCount{0};

// Walks interface I and the interfaces it extends (IUnknown excluded).
template <class I, class Object>
bool findInChain(Object* self, REFIID riid, void** ppv) {
  if constexpr (std::is_same_v<I, IUnknown>) {
    return false;
  } else {
    static_assert(ComInterface<I>, "every interface needs VX_COM_INTERFACE");
    if (riid == uuidOf<I>()) {
      *ppv = static_cast<I*>(self);
      return true;
    }
    return findInChain<typename I::VxBaseInterface>(static_cast<I*>(self), riid, ppv);
  }
}
}  // namespace detail

// Module locks of the calling library (DllCanUnloadNow, LockServer).
inline void ModuleLock() { detail::moduleLockCount.fetch_add(1, std::memory_order_relaxed); }
inline void ModuleUnlock() { detail::moduleLockCount.fetch_sub(1, std::memory_order_acq_rel); }
inline long ModuleLockCount() { return detail::moduleLockCount.load(std::memory_order_acquire); }

template <class First, class... Rest>
class Implements : public First, public Rest... {
 public:
  Implements(const Implements&) = delete;
  Implements& operator=(const Implements&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown) {
      *ppv = identity();
    } else if (!(detail::findInChain<First>(this, riid, ppv) || ... ||
                 detail::findInChain<Rest>(this, riid, ppv))) {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

  ULONG Release() override {
    ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  Implements() noexcept { ModuleLock(); }
  virtual ~Implements() { ModuleUnlock(); }

  // The object's one IUnknown pointer.
  IUnknown* identity() { return static_cast<IUnknown*>(static_cast<First*>(this)); }

 private:
  std::atomic<ULONG> refs_{1};
};

// A new object of class T, holding its first reference; null when the
// allocation or T's constructor fails (no exception leaves).
template <class T, class... Args>
ComPtr<T> Make(Args&&... args) noexcept {
  ComPtr<T> object;
  try {
    object.Attach(new T(std::forward<Args>(args)...));
  } catch (...) {
  }
  return object;
}

}  // namespace vx::com
