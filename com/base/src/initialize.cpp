// CoInitialize and CoUninitialize only count per thread: objects here need
// no apartment set-up, but code written for COM calls them in pairs.
#include "vx/com/runtime.h"

namespace {
thread_local unsigned initializeCount = 0;
}

extern "C" {

HRESULT CoInitializeEx(void*, DWORD) { return initializeCount++ == 0 ? S_OK : S_FALSE; }

HRESULT CoInitialize(void* pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize(void) {
  if (initializeCount > 0) --initializeCount;
}

}  // extern "C"
