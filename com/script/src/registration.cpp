#include "registration.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <strings.h>

namespace vx::script {

RegistrationSwitch findRegistrationSwitch(const std::vector<std::string>& words) {
  for (const std::string& word : words) {
    std::size_t start = word.find_first_not_of("-/");
    if (start == 0 || start == std::string::npos) continue;
    const char* name = word.c_str() + start;
    if (strcasecmp(name, "UnregServer") == 0) return RegistrationSwitch::Unregister;
    if (strcasecmp(name, "RegServer") == 0) return RegistrationSwitch::Register;
  }
  return RegistrationSwitch::None;
}

std::string serviceFilePath() {
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
    base = data;
  } else if (const char* home = std::getenv("HOME"); home != nullptr) {
    base = std::string(home) + "/.local/share";
  } else {
    base = "/tmp";
  }
  return base + "/dbus-1/services/UTVEX.Script.service";
}

bool registerService(const std::string& programPath, std::string* error) {
  namespace fs = std::filesystem;
  const fs::path file = serviceFilePath();
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  if (ec) {
    *error = file.parent_path().string() + ": " + ec.message();
    return false;
  }
  // Written beside and renamed, so the bus never reads half a file.
  const fs::path temporary = file.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << "[D-BUS Service]\nName=UTVEX.Script\nExec=" << programPath << "\n";
    if (!out.flush()) {
      *error = temporary.string() + ": " + std::strerror(errno);
      fs::remove(temporary, ec);
      return false;
    }
  }
  fs::rename(temporary, file, ec);
  if (ec) {
    *error = file.string() + ": " + ec.message();
    fs::remove(temporary, ec);
    return false;
  }
  return true;
}

bool unregisterService(std::string* error) {
  std::error_code ec;
  std::filesystem::remove(serviceFilePath(), ec);
  if (ec) {
    *error = serviceFilePath() + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace vx::script
