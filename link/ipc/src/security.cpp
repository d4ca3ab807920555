// The process-wide security attributes of the named objects.
//
// Named objects are files in the runtime directory, which is made 0700; every
// object in it is created 0600. That already limits every object to the user
// who started the link, so the attributes describe those permissions rather
// than change them: objects get the same permissions whether or not the
// attributes are ready. They are reference counted per process so that
// independent users of the library (the client library, the server) can
// each hold them.
#include <mutex>

#include "kmxipc.h"

namespace {

std::mutex gMutex;
unsigned gReferences = 0;
KMXSecurityAttributes gAttributes{};
bool gReady = false;

}  // namespace

extern "C" {

int init_security_attributes(void) {
  std::lock_guard<std::mutex> guard(gMutex);
  ++gReferences;
  if (!gReady) {
    gAttributes = KMXSecurityAttributes{sizeof(KMXSecurityAttributes), 0600, 0700, 0};
    gReady = true;
  }
  return 1;
}

void* get_security_attributes(void) {
  std::lock_guard<std::mutex> guard(gMutex);
  return gReady ? &gAttributes : nullptr;
}

void free_security_attributes(void) {
  std::lock_guard<std::mutex> guard(gMutex);
  if (gReferences == 0) return;
  if (--gReferences == 0) {
    gAttributes = KMXSecurityAttributes{};
    gReady = false;
  }
}

}  // extern "C"
