#include "libraries.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>

namespace vx::comimpl {

namespace {

struct Loaded {
  void* handle;
  ServerLibrary functions;
  DllCanUnloadNowFn canUnloadNow;
};

struct Registry {
  std::mutex lock;
  std::map<std::string, Loaded> byPath;
  // Beside-libvxcom files that turned out not to be class servers.
  std::set<std::string> notServers;
};

Registry& registry() {
  static Registry* instance = new Registry;  // outlives every static destructor
  return *instance;
}

std::string resolved(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : path;
}

template <class Fn>
Fn symbol(void* handle, const char* name) {
  return reinterpret_cast<Fn>(dlsym(handle, name));
}

// With the registry locked.
HRESULT load(Registry& r, const std::string& key, Loaded** out) {
  auto found = r.byPath.find(key);
  if (found == r.byPath.end()) {
    void* handle = dlopen(key.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return VX_E_MODULE_NOT_FOUND;
    Loaded loaded{handle,
                  {symbol<DllGetClassObjectFn>(handle, "DllGetClassObject"),
                   symbol<VxComGetClassTableFn>(handle, "VxComGetClassTable")},
                  symbol<DllCanUnloadNowFn>(handle, "DllCanUnloadNow")};
    found = r.byPath.emplace(key, loaded).first;
  }
  *out = &found->second;
  return S_OK;
}

}  // namespace

std::string ModulePath(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] == '\0')
    return {};
  return resolved(info.dli_fname);
}

HRESULT LoadServerLibrary(const std::string& path, ServerLibrary* out) {
  Registry& r = registry();
  std::lock_guard guard(r.lock);
  Loaded* loaded = nullptr;
  HRESULT hr = load(r, resolved(path), &loaded);
  if (SUCCEEDED(hr)) *out = loaded->functions;
  return hr;
}

std::vector<std::string> LibrariesBesideVxcom() {
  static const char anchor = 0;  // any address inside libvxcom
  std::vector<std::string> paths;
  std::string self = ModulePath(&anchor);
  std::size_t slash = self.rfind('/');
  if (slash == std::string::npos) return paths;
  std::string dir = self.substr(0, slash);
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) return paths;
  while (dirent* entry = readdir(listing)) {
    std::string_view name = entry->d_name;
    if (name.starts_with("libvx") && name.ends_with(".so") && name != "libvxcom.so")
      paths.push_back(dir + "/" + std::string(name));
  }
  closedir(listing);
  std::sort(paths.begin(), paths.end());
  return paths;
}

const VxComClassEntry* BesideClassTable(const std::string& path, uint32_t* count,
                                        DllGetClassObjectFn* getClassObject) {
  Registry& r = registry();
  std::lock_guard guard(r.lock);
  std::string key = resolved(path);
  if (r.notServers.contains(key)) return nullptr;
  Loaded* loaded = nullptr;
  if (FAILED(load(r, key, &loaded))) return nullptr;
  if (loaded->functions.classTable == nullptr || loaded->functions.getClassObject == nullptr) {
    // Not ours: let it go again, and do not load it a second time.
    dlclose(loaded->handle);
    r.byPath.erase(key);
    r.notServers.insert(key);
    return nullptr;
  }
  *getClassObject = loaded->functions.getClassObject;
  *count = 0;
  const VxComClassEntry* table = loaded->functions.classTable(count);
  if (table == nullptr) *count = 0;
  return table;
}

void FreeUnusedLibraries() {
  Registry& r = registry();
  std::lock_guard guard(r.lock);
  for (auto it = r.byPath.begin(); it != r.byPath.end();) {
    if (it->second.canUnloadNow != nullptr && it->second.canUnloadNow() == S_OK) {
      dlclose(it->second.handle);
      it = r.byPath.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace vx::comimpl
