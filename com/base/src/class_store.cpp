#include "class_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace vx::comimpl {

namespace {

constexpr const char* kClassesSuffix = "/vxcom/classes";

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string homeDirectory() {
  std::string home = environment("HOME");
  if (!home.empty()) return home;
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr)
    return found->pw_dir;
  return "/";
}

// The file's text when it is a regular file of at most kMaxEntryBytes.
std::optional<std::string> readSmallFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> result;
  struct stat info{};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::size_t>(info.st_size) <= kMaxEntryBytes) {
    std::string text(kMaxEntryBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
      ssize_t n = read(fd, text.data() + got, text.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    // A file that grew past the limit while we read it is refused too.
    if (got <= kMaxEntryBytes) {
      text.resize(got);
      result = std::move(text);
    }
  }
  close(fd);
  return result;
}

std::optional<ClassRecord> readEntry(const std::string& dir, const std::string& name) {
  auto clsid = vx::com::ParseGuid(name);
  if (!clsid) return std::nullopt;
  auto text = readSmallFile(dir + "/" + name);
  if (!text) return std::nullopt;
  auto record = ParseClassEntry(*text);
  // The file's name and its CLSID line must agree.
  if (!record || record->clsid != *clsid) return std::nullopt;
  return record;
}

bool makeDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info{};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string UserDataHome() {
  std::string dir = environment("XDG_DATA_HOME");
  if (!dir.empty() && dir.front() == '/') return dir;
  return homeDirectory() + "/.local/share";
}

std::string UserClassDirectory() { return UserDataHome() + kClassesSuffix; }

std::vector<std::string> ClassDirectories() {
  std::vector<std::string> dirs{UserClassDirectory()};
  std::string list = environment("XDG_DATA_DIRS");
  if (list.empty()) list = "/usr/local/share:/usr/share";
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t colon = list.find(':', start);
    std::string dir = list.substr(start, colon - start);
    if (!dir.empty() && dir.front() == '/') dirs.push_back(dir + kClassesSuffix);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return dirs;
}

std::vector<ClassRecord> FindRegisteredClass(REFCLSID clsid) {
  std::vector<ClassRecord> found;
  std::string name = vx::com::GuidToString(clsid);
  for (const std::string& dir : ClassDirectories())
    if (auto record = readEntry(dir, name)) found.push_back(std::move(*record));
  return found;
}

bool SameProgId(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::optional<ClassRecord> FindRegisteredProgId(std::string_view progId) {
  if (progId.empty()) return std::nullopt;
  for (const std::string& dir : ClassDirectories()) {
    DIR* listing = opendir(dir.c_str());
    if (listing == nullptr) continue;
    std::vector<std::string> names;
    while (dirent* entry = readdir(listing)) names.emplace_back(entry->d_name);
    closedir(listing);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      auto record = readEntry(dir, name);
      if (record && (SameProgId(record->progId, progId) ||
                     SameProgId(record->versionIndependentProgId, progId)))
        return record;
    }
  }
  return std::nullopt;
}

bool WriteClassEntry(const ClassRecord& record) {
  std::string dir = UserClassDirectory();
  if (!makeDirectories(dir)) return false;
  std::string path = dir + "/" + vx::com::GuidToString(record.clsid);
  std::string temp = path + ".XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fchmod(fd, 0644) == 0 && writeAll(fd, FormatClassEntry(record)) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && rename(temp.c_str(), path.c_str()) == 0) return true;
  unlink(temp.c_str());
  return false;
}

bool RemoveClassEntry(REFCLSID clsid) {
  std::string path = UserClassDirectory() + "/" + vx::com::GuidToString(clsid);
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace vx::comimpl
