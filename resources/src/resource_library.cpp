// Finding, loading and reading a language resource library.
#include "vx/res/resource_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <utility>
#include <vector>

#include "vx/com/bstr.h"

namespace vx::res {
namespace {

std::string directoryOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string programDirectory() {
  std::array<char, PATH_MAX> buffer{};
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  return directoryOf(std::string(buffer.data(), static_cast<std::size_t>(n)));
}

// The directory of libvxcom.so, where the suite's libraries are installed.
std::string vxcomDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&SysAllocString), &info) == 0 || info.dli_fname == nullptr)
    return {};
  std::string file = info.dli_fname;
  std::array<char, PATH_MAX> resolved{};
  if (realpath(file.c_str(), resolved.data()) != nullptr) file = resolved.data();
  return directoryOf(file);
}

std::vector<std::string> candidates(std::string_view fileName) {
  std::vector<std::string> paths;
  if (fileName.find('/') != std::string_view::npos) {
    paths.emplace_back(fileName);
    return paths;
  }
  const std::string program = programDirectory();
  const std::string dirs[] = {program.empty() ? std::string() : program + "/../lib", vxcomDirectory(), program};
  for (const std::string& dir : dirs) {
    if (dir.empty()) continue;
    std::string path = dir + "/" + std::string(fileName);
    bool seen = false;
    for (const std::string& p : paths) seen = seen || p == path;
    if (!seen) paths.push_back(std::move(path));
  }
  return paths;
}

template <typename Fn>
Fn symbol(void* handle, const char* name) {
  return reinterpret_cast<Fn>(dlsym(handle, name));
}

}  // namespace

ResourceLibrary::~ResourceLibrary() { close(); }

ResourceLibrary::ResourceLibrary(ResourceLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      path_(std::move(other.path_)),
      string_(std::exchange(other.string_, nullptr)),
      binary_(std::exchange(other.binary_, nullptr)),
      language_(std::exchange(other.language_, nullptr)) {
  other.path_.clear();
}

ResourceLibrary& ResourceLibrary::operator=(ResourceLibrary&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, nullptr);
    path_ = std::move(other.path_);
    other.path_.clear();
    string_ = std::exchange(other.string_, nullptr);
    binary_ = std::exchange(other.binary_, nullptr);
    language_ = std::exchange(other.language_, nullptr);
  }
  return *this;
}

void ResourceLibrary::close() noexcept {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
  path_.clear();
  string_ = nullptr;
  binary_ = nullptr;
  language_ = nullptr;
}

ResourceLibrary ResourceLibrary::load(std::string_view fileName) {
  ResourceLibrary library;
  if (fileName.empty()) return library;
  for (const std::string& path : candidates(fileName)) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) continue;
    auto text = symbol<VexResStringFn>(handle, "VexResString");
    auto binary = symbol<VexResBinaryFn>(handle, "VexResBinary");
    auto language = symbol<VexResLanguageFn>(handle, "VexResLanguage");
    if (text == nullptr || binary == nullptr || language == nullptr) {
      dlclose(handle);
      continue;
    }
    library.handle_ = handle;
    library.path_ = path;
    library.string_ = text;
    library.binary_ = binary;
    library.language_ = language;
    break;
  }
  return library;
}

std::optional<std::string> ResourceLibrary::text(std::uint32_t id) const {
  if (string_ == nullptr) return std::nullopt;
  const char* s = string_(id);
  if (s == nullptr) return std::nullopt;
  return std::string(s);
}

std::optional<std::span<const std::uint8_t>> ResourceLibrary::binary(std::string_view type,
                                                                     std::uint32_t id) const {
  if (binary_ == nullptr) return std::nullopt;
  const std::string typeName(type);
  const void* data = nullptr;
  std::uint32_t size = 0;
  if (binary_(typeName.c_str(), id, &data, &size) != 1) return std::nullopt;
  return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data), size);
}

std::string ResourceLibrary::language() const {
  if (language_ == nullptr) return {};
  const char* code = language_();
  return code == nullptr ? std::string() : std::string(code);
}

std::string resourceFileForLocale(std::string_view locale) {
  // "language_TERRITORY" before any ".codeset" or "@modifier".
  const std::string_view name = locale.substr(0, locale.find_first_of(".@"));
  if (name == "es_ES") return "libVEXResESN.so";
  if (name == "fr_FR") return "libVEXResFRA.so";
  if (name == "pt_BR") return "libVEXResPTB.so";
  return std::string(kEnglishLibrary);
}

std::string userLocale() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

ResourceLibrary loadForUser() {
  const std::string file = resourceFileForLocale(userLocale());
  ResourceLibrary library = ResourceLibrary::load(file);
  if (!library.loaded() && file != kEnglishLibrary) library = ResourceLibrary::load(kEnglishLibrary);
  return library;
}

}  // namespace vx::res
