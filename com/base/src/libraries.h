// The in-process server libraries this process has loaded. A library stays
// loaded until CoFreeUnusedLibraries finds it idle.
#pragma once

#include <string>
#include <vector>

#include "vx/com/server.h"

namespace vx::comimpl {

using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT (*)();

struct ServerLibrary {
  DllGetClassObjectFn getClassObject = nullptr;
  VxComGetClassTableFn classTable = nullptr;  // null for a library of another kind
};

// Loads the library at `path` (or finds it loaded). VX_E_MODULE_NOT_FOUND
// when it cannot be loaded.
HRESULT LoadServerLibrary(const std::string& path, ServerLibrary* out);

// The fresh-build candidates: libvx*.so files beside libvxcom.so, by name.
std::vector<std::string> LibrariesBesideVxcom();

// The class table of the library at `path` when it is a server library of
// the fresh-build kind; null otherwise (and then it is not kept loaded).
const VxComClassEntry* BesideClassTable(const std::string& path, uint32_t* count,
                                        DllGetClassObjectFn* getClassObject);

void FreeUnusedLibraries();

// The file of the shared object that contains `address` (resolved), or "".
std::string ModulePath(const void* address);

}  // namespace vx::comimpl
