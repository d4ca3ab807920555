#include "kmx/platform/last_error.h"

#include <cerrno>

namespace {
thread_local uint32_t tLastError = 0;
}

extern "C" uint32_t GetLastError(void) { return tLastError; }
extern "C" void SetLastError(uint32_t code) { tLastError = code; }

namespace kmx {

void setLastErrorFromErrno(int errnoValue) { tLastError = static_cast<uint32_t>(errnoValue); }
void setLastErrorFromErrno() { setLastErrorFromErrno(errno); }

}  // namespace kmx
