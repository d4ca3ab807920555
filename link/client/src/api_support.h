// What every exported function shares: no exception leaves the library, the
// thread's error is reset first, and handles are looked up before use.
#pragma once

#include <memory>
#include <mutex>
#include <new>

#include "connection.h"
#include "errors.h"
#include "handles.h"
#include "kmxclient.h"

namespace kmx::client {

// Runs `body`; an exception (out of memory, a thread that cannot start)
// becomes error 12 and the failure result.
template <class Result, class Body>
Result guarded(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    setError(KMX_ERR_NO_MEMORY);
    return failure;
  }
}

inline std::shared_ptr<Connection> findConnection(void* handle) {
  return HandleRegistry::instance().findAs<Connection>(handle, Kind::Connection);
}

// The common frame of a command on a connection handle: reset the error,
// find the connection (error 1), hold its command mutex for the whole call,
// and refuse a connection that is being destroyed (error 1).
template <class Body>
int onConnection(void* handle, Body&& body) noexcept {
  return guarded(0, [&]() -> int {
    clearError();
    auto c = findConnection(handle);
    if (!c) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    std::lock_guard lock(c->commandMutex);
    if (c->closed) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    return body(*c);
  });
}

inline KMXBuffer piece(const void* data, uint32_t length) {
  return KMXBuffer{const_cast<void*>(data), length};
}

}  // namespace kmx::client
