// Creating objects through the class table.
//
// CoGetClassObject and CoCreateInstance find the library that serves a
// class, load it (it stays loaded until CoFreeUnusedLibraries finds it
// idle) and ask its DllGetClassObject. Where a class is looked up, in order:
//   1. its registered entry: $XDG_DATA_HOME/vxcom/classes/{CLSID} (default
//      ~/.local/share), then the same path under each of $XDG_DATA_DIRS
//      (default /usr/local/share:/usr/share); see class_entry.h for the
//      file format. An entry whose library cannot be loaded is passed over.
//   2. a fresh build's libraries: every file named libvx*.so in the
//      directory of libvxcom.so that exports VxComGetClassTable and lists
//      the class there.
// Only in-process servers exist: a context without CLSCTX_INPROC_SERVER
// finds nothing.
#pragma once

#include "vx/com/com_ptr.h"
#include "vx/com/unknown.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

extern "C" {
// Counted per thread: S_OK for a thread's first call, S_FALSE after. Using
// the other functions does not require it.
VXCOM_API HRESULT CoInitialize(void* pvReserved);
VXCOM_API HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit);
VXCOM_API void CoUninitialize(void);

// REGDB_E_CLASSNOTREG when no library serves the class;
// CLASS_E_CLASSNOTAVAILABLE when a library lists it but serves no class
// object for it; the load error (0x8007007E) when the only library named
// for it cannot be loaded; CO_E_ERRORINDLL when it lacks DllGetClassObject.
VXCOM_API HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved, REFIID riid,
                         void** ppv);
VXCOM_API HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv);

// A ProgID or version-independent ProgID to its class; CO_E_CLASSSTRING
// when no entry or library names it.
VXCOM_API HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
// The class's ProgID (task-allocated); REGDB_E_CLASSNOTREG when unknown or
// when the class has no ProgID.
VXCOM_API HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

// Unloads every loaded library whose DllCanUnloadNow answers S_OK.
VXCOM_API void CoFreeUnusedLibraries(void);
}

namespace vx::com {

// CoCreateInstance for an in-process object into a ComPtr.
template <class I>
HRESULT CreateInstance(REFCLSID clsid, ComPtr<I>* out) {
  if (out == nullptr) return E_POINTER;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, uuidOf<I>(),
                          reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
}

}  // namespace vx::com
