// CoGetClassObject, CoCreateInstance and the ProgID look-ups: registered
// entries first, then the fresh build's libraries beside libvxcom.so.
#include "vx/com/runtime.h"

#include <new>

#include "class_store.h"
#include "libraries.h"
#include "vx/com/strings.h"
#include "vx/com/task_memory.h"

namespace vx::comimpl {
namespace {

// Calls `visit(entry, getClassObject)` for each class the fresh build's
// libraries list, until it returns true.
template <class Visit>
bool forEachBesideClass(Visit visit) {
  for (const std::string& path : LibrariesBesideVxcom()) {
    uint32_t count = 0;
    DllGetClassObjectFn getClassObject = nullptr;
    const VxComClassEntry* table = BesideClassTable(path, &count, &getClassObject);
    for (uint32_t i = 0; table != nullptr && i < count; ++i)
      if (visit(table[i], getClassObject)) return true;
  }
  return false;
}

HRESULT getClassObject(REFCLSID rclsid, DWORD context, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if ((context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;

  HRESULT loadError = S_OK;
  for (const ClassRecord& record : FindRegisteredClass(rclsid)) {
    ServerLibrary library;
    HRESULT hr = LoadServerLibrary(record.library, &library);
    if (FAILED(hr)) {
      loadError = hr;  // a stale entry: look further
      continue;
    }
    if (library.getClassObject == nullptr) return CO_E_ERRORINDLL;
    return library.getClassObject(rclsid, riid, ppv);
  }

  HRESULT hr = FAILED(loadError) ? loadError : REGDB_E_CLASSNOTREG;
  forEachBesideClass([&](const VxComClassEntry& entry, DllGetClassObjectFn serve) {
    if (entry.clsid != rclsid) return false;
    hr = serve(rclsid, riid, ppv);
    return true;
  });
  return hr;
}

std::optional<CLSID> besideProgIdClass(std::string_view progId) {
  std::optional<CLSID> found;
  forEachBesideClass([&](const VxComClassEntry& entry, DllGetClassObjectFn) {
    bool match = (entry.progId != nullptr && SameProgId(entry.progId, progId)) ||
                 (entry.versionIndependentProgId != nullptr &&
                  SameProgId(entry.versionIndependentProgId, progId));
    if (match) found = entry.clsid;
    return match;
  });
  return found;
}

std::string progIdOf(REFCLSID clsid) {
  for (const ClassRecord& record : FindRegisteredClass(clsid))
    if (!record.progId.empty()) return record.progId;
  std::string progId;
  forEachBesideClass([&](const VxComClassEntry& entry, DllGetClassObjectFn) {
    if (entry.clsid != clsid || entry.progId == nullptr) return false;
    progId = entry.progId;
    return true;
  });
  return progId;
}

}  // namespace
}  // namespace vx::comimpl

extern "C" {

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void*, REFIID riid, void** ppv) {
  try {
    return vx::comimpl::getClassObject(rclsid, dwClsContext, riid, ppv);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  vx::com::ComPtr<IClassFactory> factory;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_PPV_ARGS(factory.GetAddressOf()));
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(pUnkOuter, riid, ppv);
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (lpszProgID == nullptr || lpclsid == nullptr) return E_INVALIDARG;
  try {
    std::string progId = vx::com::Utf16ToUtf8({lpszProgID, vx::com::WideLength(lpszProgID)});
    if (auto record = vx::comimpl::FindRegisteredProgId(progId)) {
      *lpclsid = record->clsid;
      return S_OK;
    }
    if (auto clsid = vx::comimpl::besideProgIdClass(progId)) {
      *lpclsid = *clsid;
      return S_OK;
    }
    return CO_E_CLASSSTRING;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (lplpszProgID == nullptr) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  try {
    std::string progId = vx::comimpl::progIdOf(clsid);
    if (progId.empty()) return REGDB_E_CLASSNOTREG;
    *lplpszProgID = vx::com::CoTaskMemStrDupUtf8(progId);
    return *lplpszProgID != nullptr ? S_OK : E_OUTOFMEMORY;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

void CoFreeUnusedLibraries(void) {
  try {
    vx::comimpl::FreeUnusedLibraries();
  } catch (...) {
  }
}

}  // extern "C"
