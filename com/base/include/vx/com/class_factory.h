// ClassFactory<T>: the class object of a default-constructible class T made
// with Implements<...>. When T has `HRESULT FinalConstruct()`, it runs after
// construction and a failure ends the new object.
#pragma once

#include <concepts>

#include "vx/com/object.h"

namespace vx::com {

template <class T>
class ClassFactory final : public Implements<IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    ComPtr<T> object = Make<T>();
    if (!object) return E_OUTOFMEMORY;
    if constexpr (requires(T& t) {
                    { t.FinalConstruct() } -> std::same_as<HRESULT>;
                  }) {
      HRESULT hr = E_FAIL;
      try {
        hr = object->FinalConstruct();
      } catch (...) {
      }
      if (FAILED(hr)) return hr;
    }
    return object->QueryInterface(riid, ppv);
  }

  HRESULT LockServer(BOOL lock) override {
    if (lock) {
      ModuleLock();
    } else {
      ModuleUnlock();
    }
    return S_OK;
  }

  // What DllGetClassObject hands out for T.
  static HRESULT GetClassObject(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    ComPtr<ClassFactory> factory = Make<ClassFactory>();
    if (!factory) return E_OUTOFMEMORY;
    return factory->QueryInterface(riid, ppv);
  }
};

}  // namespace vx::com
