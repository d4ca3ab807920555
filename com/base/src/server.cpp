// The bodies of an in-process library's exports (see vx/com/server.h).
#include "vx/com/server.h"

#include <new>

#include "class_store.h"
#include "libraries.h"

namespace vx::com {

namespace {
const char* orEmpty(const char* text) { return text != nullptr ? text : ""; }
}  // namespace

HRESULT ServeClassObject(const VxComClassEntry* table, uint32_t count, REFCLSID rclsid,
                         REFIID riid, void** ppv) noexcept {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  for (uint32_t i = 0; table != nullptr && i < count; ++i) {
    if (table[i].clsid != rclsid) continue;
    if (table[i].getClassObject == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
    try {
      return table[i].getClassObject(riid, ppv);
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT RegisterClasses(const VxComClassEntry* table, uint32_t count, const void* anchor) noexcept {
  try {
    std::string library = comimpl::ModulePath(anchor);
    if (library.empty() || library.front() != '/') return SELFREG_E_CLASS;
    for (uint32_t i = 0; table != nullptr && i < count; ++i) {
      comimpl::ClassRecord record;
      record.clsid = table[i].clsid;
      record.library = library;
      record.progId = orEmpty(table[i].progId);
      record.versionIndependentProgId = orEmpty(table[i].versionIndependentProgId);
      record.threadingModel = orEmpty(table[i].threadingModel);
      record.description = orEmpty(table[i].description);
      if (!comimpl::WriteClassEntry(record)) return SELFREG_E_CLASS;
    }
    return S_OK;
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

HRESULT UnregisterClasses(const VxComClassEntry* table, uint32_t count) noexcept {
  try {
    HRESULT hr = S_OK;
    for (uint32_t i = 0; table != nullptr && i < count; ++i)
      if (!comimpl::RemoveClassEntry(table[i].clsid)) hr = SELFREG_E_CLASS;
    return hr;
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

}  // namespace vx::com
