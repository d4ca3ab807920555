// Failure reporting shared by the library's functions: the library code in
// the upper half of the last-error value, ORed with the low half of the value
// that was current at the point of failure.
#pragma once

#include <cstdint>

#include "kmx/platform/last_error.h"
#include "kmxipc.h"

namespace kmx::ipc {

inline uint32_t compose(uint32_t code) { return code | (GetLastError() & 0xFFFFu); }

inline int fail(uint32_t composed) {
  SetLastError(composed);
  return 0;
}

inline void* failNull(uint32_t composed) {
  SetLastError(composed);
  return nullptr;
}

// Runs an exported function's body so that no exception leaves the library:
// the only ones possible are allocation failures.
template <class Result, class Body>
Result guarded(Result onFailure, Body&& body) {
  try {
    return body();
  } catch (...) {
    SetLastError(compose(IPC_ERR_NO_MEMORY));
    return onFailure;
  }
}

}  // namespace kmx::ipc
