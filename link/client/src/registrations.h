// Registrations for asynchronous data, and the destruction of handles.
#pragma once

#include <cstdint>
#include <memory>

#include "connection.h"

namespace kmx::client {

// Registers kind `kind` with `id` on the connection (the thread's error is
// already reset and the connection found). Returns the handle, or null with
// the error set.
void* registerAsync(const std::shared_ptr<Connection>& c, Kind kind, uint32_t id,
                    AnyCallback callback, void* userData, int32_t priority, int32_t maxPackets);

// Destroy an object whose handle was taken out of the registry.
void destroyRegistration(const std::shared_ptr<Registration>& r);
void destroyConnection(const std::shared_ptr<Connection>& c);

}  // namespace kmx::client
