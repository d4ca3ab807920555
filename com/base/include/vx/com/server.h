// Writing an in-process server library. The library lists its classes and
// lets VX_COM_INPROC_SERVER define its exports:
//
//   static const VxComClassEntry kClasses[] = {
//       vx::com::ClassEntryFor<CThing>(CLSID_Thing, "Vendor.Thing.1", "Vendor.Thing",
//                                      "Thing Object"),
//   };
//   VX_COM_INPROC_SERVER(kClasses)
//
// and links with vxcom_inproc_server(<target>) in CMake, which keeps these
// five exports and hides everything else:
//   DllGetClassObject, DllCanUnloadNow, DllRegisterServer,
//   DllUnregisterServer, VxComGetClassTable (read by the fresh-build
//   lookup of runtime.h).
#pragma once

#include <cstdint>
#include <iterator>

#include "vx/com/class_factory.h"
#include "vx/com/runtime.h"

// One class of a library. `getClassObject` null: the class is registered
// (its ProgID resolves) but the library serves no class object for it.
// The texts may be null, except `threadingModel`.
struct VxComClassEntry {
  CLSID clsid;
  const char* progId;
  const char* versionIndependentProgId;
  const char* description;
  const char* threadingModel;
  HRESULT (*getClassObject)(REFIID riid, void** ppv);
};

using VxComGetClassTableFn = const VxComClassEntry* (*)(uint32_t* count);

namespace vx::com {

template <class T>
constexpr VxComClassEntry ClassEntryFor(REFCLSID clsid, const char* progId,
                                        const char* versionIndependentProgId,
                                        const char* description,
                                        const char* threadingModel = "Apartment") {
  return {clsid, progId, versionIndependentProgId, description, threadingModel,
          &ClassFactory<T>::GetClassObject};
}

constexpr VxComClassEntry RegistrationOnlyEntry(REFCLSID clsid, const char* progId,
                                                const char* versionIndependentProgId,
                                                const char* description) {
  return {clsid, progId, versionIndependentProgId, description, "Apartment", nullptr};
}

// The bodies of the exports (in libvxcom). `anchor` is any address inside
// the library, to find its path.
VXCOM_API HRESULT ServeClassObject(const VxComClassEntry* table, uint32_t count, REFCLSID rclsid,
                         REFIID riid, void** ppv) noexcept;
VXCOM_API HRESULT RegisterClasses(const VxComClassEntry* table, uint32_t count, const void* anchor) noexcept;
VXCOM_API HRESULT UnregisterClasses(const VxComClassEntry* table, uint32_t count) noexcept;

}  // namespace vx::com

#define VX_COM_INPROC_SERVER(table)                                                          \
  namespace {                                                                                \
  const char vxComModuleAnchor = 0;                                                          \
  constexpr uint32_t vxComClassCount = static_cast<uint32_t>(std::size(table));              \
  }                                                                                          \
  extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(               \
      REFCLSID rclsid, REFIID riid, void** ppv) {                                            \
    return ::vx::com::ServeClassObject(table, vxComClassCount, rclsid, riid, ppv);           \
  }                                                                                          \
  extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {              \
    return ::vx::com::ModuleLockCount() == 0 ? S_OK : S_FALSE;                               \
  }                                                                                          \
  extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {            \
    return ::vx::com::RegisterClasses(table, vxComClassCount, &vxComModuleAnchor);           \
  }                                                                                          \
  extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {          \
    return ::vx::com::UnregisterClasses(table, vxComClassCount);                             \
  }                                                                                          \
  extern "C" __attribute__((visibility("default"))) const VxComClassEntry*                   \
  VxComGetClassTable(uint32_t* count) {                                                      \
    if (count != nullptr) *count = vxComClassCount;                                          \
    return table;                                                                            \
  }
