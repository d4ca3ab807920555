// vxscript: the script server. Offers script objects on the session bus
// (or the bus given with --bus) under the name UTVEX.Script, and ends a few
// seconds after its last object is gone. --RegServer and --UnregServer
// add and remove its bus activation file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sdbus-c++/sdbus-c++.h>

#include "registration.h"
#include "script_service.h"
#include "vx/res/resource_library.h"

namespace {

void usage(std::FILE* to) {
  std::fprintf(to,
               "usage: vxscript [--bus ADDRESS] [--RegServer | --UnregServer]\n"
               "  Serves script objects for UTs as the D-Bus service UTVEX.Script.\n"
               "  --bus ADDRESS   use this bus instead of the session bus\n"
               "  --RegServer     register for bus activation, then end\n"
               "  --UnregServer   remove the registration, then end\n");
}

int registration(vx::script::RegistrationSwitch which) {
  std::string error;
  if (which == vx::script::RegistrationSwitch::Register) {
    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec || !vx::script::registerService(self, &error)) {
      std::fprintf(stderr, "vxscript: cannot register: %s\n", ec ? ec.message().c_str() : error.c_str());
      return 1;
    }
    std::printf("vxscript: registered in %s\n", vx::script::serviceFilePath().c_str());
    return 0;
  }
  if (!vx::script::unregisterService(&error)) {
    std::fprintf(stderr, "vxscript: cannot unregister: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  std::string busAddress;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == "--help" || words[i] == "-h") {
      usage(stdout);
      return 0;
    }
    if (words[i] == "--bus") {
      if (i + 1 >= words.size()) {
        usage(stderr);
        return 2;
      }
      busAddress = words[++i];
    }
  }
  if (auto which = vx::script::findRegistrationSwitch(words); which != vx::script::RegistrationSwitch::None) {
    return registration(which);
  }

  // Texts of reported failures and the loader program of downloads come
  // from the English resource library; without it every failure still
  // carries its HRESULT, and a software download fails for want of its loader.
  auto resources = std::make_shared<vx::res::ResourceLibrary>(vx::res::ResourceLibrary::load("libVEXResENU.so"));
  if (!resources->loaded()) std::fprintf(stderr, "vxscript: libVEXResENU.so not found; messages are not available\n");
  auto texts = [resources](uint32_t id) { return resources->text(id); };

  try {
    std::unique_ptr<sdbus::IConnection> bus = busAddress.empty()
                                                  ? sdbus::createSessionBusConnection()
                                                  : sdbus::createSessionBusConnectionWithAddress(busAddress);
    vx::script::ServiceLoop loop(*bus);
    vx::script::ScriptService service(*bus, loop, texts, resources, {});
    bus->requestName(vx::script::kBusName);
    const bool ok = loop.run();
    // A termination signal ends the server within a second, whatever its
    // objects are doing: an object's thread that is still in a call (a file
    // or a UT that does not answer) cannot be joined, and the process ends
    // without the destructors that thread may still be using.
    if (!service.shutDown(std::chrono::milliseconds(800))) {
      std::fprintf(stderr, "vxscript: ending while an object is still in a call\n");
      std::fflush(nullptr);
      std::_Exit(ok ? 0 : 1);
    }
    return ok ? 0 : 1;
  } catch (const sdbus::Error& error) {
    std::fprintf(stderr, "vxscript: %s: %s\n", error.getName().c_str(), error.getMessage().c_str());
    return 1;
  }
}
