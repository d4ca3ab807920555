// kmxserver D: the link server of serial device D, started by the client
// library when no server runs for D.
#include <csignal>
#include <cstdio>
#include <string>

#include "kmx/platform/mapping_guard.h"
#include "server.h"

int main(int argc, char** argv) {
  const char* device = argc > 1 ? argv[1] : "";
  std::printf("__argc is %d, cmdLine is %s\n", argc, device);
  if (device[0] == '\0') {
    std::printf("No driver name specified\n");
    return 1;
  }
  std::fflush(stdout);
  // A client that vanishes must not take the server down with it, nor one
  // that shrinks its block under the server's mapping.
  std::signal(SIGPIPE, SIG_IGN);
  kmx::guardSharedMappings();
  kmx::server::Server server(device);
  return server.run();
}
