// The calling thread's last-error value: a 32-bit code that a failing call
// leaves behind for its caller to read. One value per thread, shared by every
// library of the process (it lives in libkmxplatform.so only).
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

uint32_t GetLastError(void);
void SetLastError(uint32_t code);

#ifdef __cplusplus
}

namespace kmx {

// Stores errno (or the given system error number) as the last-error value, so
// that a failing system call's code survives for the caller.
void setLastErrorFromErrno(int errnoValue);
void setLastErrorFromErrno();

}  // namespace kmx
#endif
