// Loading a language resource library and reading its texts and binary
// resources, for the script server and the service tool.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "vexres.h"

namespace vx::res {

// The English library, which every user falls back on.
inline constexpr std::string_view kEnglishLibrary = "libVEXResENU.so";

// One loaded resource library. Move-only: it owns the dlopen handle and
// closes it at its end, after which texts and bytes taken from it are gone.
class ResourceLibrary {
 public:
  ResourceLibrary() = default;
  ~ResourceLibrary();
  ResourceLibrary(ResourceLibrary&& other) noexcept;
  ResourceLibrary& operator=(ResourceLibrary&& other) noexcept;
  ResourceLibrary(const ResourceLibrary&) = delete;
  ResourceLibrary& operator=(const ResourceLibrary&) = delete;

  // Loads `fileName` (for example "libVEXResENU.so"). A name with a '/' is
  // opened as given; a bare name is looked for in the program's ../lib, then
  // beside libvxcom.so, then beside the program. A file that does not export
  // the resource interface counts as not found.
  static ResourceLibrary load(std::string_view fileName);

  bool loaded() const { return handle_ != nullptr; }
  // The full path of the file that was loaded (empty when none).
  const std::string& path() const { return path_; }

  std::optional<std::string> text(std::uint32_t id) const;
  // The bytes stay valid while this object holds the library.
  std::optional<std::span<const std::uint8_t>> binary(std::string_view type, std::uint32_t id) const;
  // "ENU", "ESN", "FRA" or "PTB"; empty when nothing is loaded.
  std::string language() const;

 private:
  void close() noexcept;

  void* handle_ = nullptr;
  std::string path_;
  VexResStringFn string_ = nullptr;
  VexResBinaryFn binary_ = nullptr;
  VexResLanguageFn language_ = nullptr;
};

// The library file for a POSIX locale name ("es_ES.UTF-8", "pt_BR@euro"):
// es_ES Spanish, fr_FR French, pt_BR Brazilian Portuguese; any other locale
// (fr_CA, es_MX, pt_PT, C, empty) English.
std::string resourceFileForLocale(std::string_view locale);

// The user's message locale: the first non-empty of LC_ALL, LC_MESSAGES, LANG.
std::string userLocale();

// The library for the user's locale, or the English one when that cannot be
// loaded. Not loaded when neither can be.
ResourceLibrary loadForUser();

}  // namespace vx::res
