// Registration of the server with the session bus's activation: a service
// file under $XDG_DATA_HOME/dbus-1/services that names this program, so
// that a script's first call starts it.
#pragma once

#include <string>
#include <vector>

namespace vx::script {

enum class RegistrationSwitch { None, Register, Unregister };

// Every word after a '-' or '/' (also "--") is compared, ignoring case,
// first with "UnregServer" and then with "RegServer".
RegistrationSwitch findRegistrationSwitch(const std::vector<std::string>& words);

// The service file's path, from XDG_DATA_HOME (default ~/.local/share).
std::string serviceFilePath();

// Write and remove the service file; false with `error` set on failure.
bool registerService(const std::string& programPath, std::string* error);
bool unregisterService(std::string* error);

}  // namespace vx::script
