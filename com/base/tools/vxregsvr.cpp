// vxregsvr [-u] LIBRARY...: calls each library's DllRegisterServer (or, with
// -u, DllUnregisterServer), so that CoCreateInstance finds its classes
// through their entries under $XDG_DATA_HOME/vxcom/classes.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "vxcom.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: vxregsvr [-u] LIBRARY...\n");
  return 2;
}

bool run(const char* library, bool unregister) {
  const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "vxregsvr: %s\n", dlerror());
    return false;
  }
  auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(handle, name));
  bool ok = false;
  if (entry == nullptr) {
    std::fprintf(stderr, "vxregsvr: %s has no %s\n", library, name);
  } else {
    HRESULT hr = entry();
    ok = SUCCEEDED(hr);
    if (!ok) std::fprintf(stderr, "vxregsvr: %s failed in %s: 0x%08X\n", name, library,
                          static_cast<unsigned>(hr));
  }
  dlclose(handle);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  bool unregister = false;
  if (argc > 1 && std::strcmp(argv[1], "-u") == 0) {
    unregister = true;
    first = 2;
  }
  if (first >= argc) return usage();
  bool ok = true;
  for (int i = first; i < argc; ++i) ok = run(argv[i], unregister) && ok;
  return ok ? 0 : 1;
}
