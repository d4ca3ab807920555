// Registering for asynchronous data, changing a registration's parameters,
// writing to a plug-in, and closing registrations and connections.
#include "registrations.h"

#include "api_support.h"
#include "kmx/proto/byte_order.h"
#include "kmx_messages.h"
#include "listener.h"

namespace kmx::client {
namespace {

using proto::storeLe32;

constexpr uint32_t kActionUnregister = 0;
constexpr uint32_t kActionRegister = 1;
constexpr int32_t kKeepValue = -1;

bool validPriority(int32_t p) { return p >= KMX_PRIORITY_MIN && p <= KMX_PRIORITY_MAX; }
bool validMaxPackets(int32_t m) { return m >= KMX_MAX_PACKETS_MIN && m <= KMX_MAX_PACKETS_MAX; }

// Checks a priority and a packet limit; false with the error of the first
// that is out of range.
bool checkParams(int32_t priority, int32_t maxPackets) {
  if (!validPriority(priority)) {
    setError(KMX_ERR_INVALID_PRIORITY);
    return false;
  }
  if (!validMaxPackets(maxPackets)) {
    setError(KMX_ERR_INVALID_MAX_PACKETS);
    return false;
  }
  return true;
}

// Ids travel to the UT in one byte: a larger one would be cut and stand for
// another client's stream, so it is refused.
bool validId(Kind kind, uint32_t id) {
  switch (kind) {
    case Kind::Log: return id <= KMX_LOG_CODE_MAX;
    case Kind::Plugin: return id <= KMX_PLUGIN_ID_MAX;
    case Kind::Alert: return id <= KMX_ALERT_ID_MAX;
    default: return true;  // chosen by the library
  }
}

// The id a registration has on the server: last gasp registrations are
// registered under 0 whatever their callback form.
uint32_t serverId(const Registration& r) { return r.kind() == Kind::LastGasp ? 0 : r.id; }
// The key of a registration in its connection's list.
uint32_t listKey(const Registration& r) { return serverId(r); }

// Command 8. The caller holds the command mutex.
bool exchangeRegister(Connection& c, uint32_t action, Kind kind, uint32_t id, int32_t priority,
                      int32_t maxPackets) {
  uint8_t request[msg::cmd::kRegisterSize];
  storeLe32(&request[msg::cmd::kId], msg::kCmdRegister);
  storeLe32(&request[msg::cmd::kRegisterAction], action);
  storeLe32(&request[msg::cmd::kRegisterType], static_cast<uint32_t>(kind));
  storeLe32(&request[msg::cmd::kRegisterAsyncId], id);
  storeLe32(&request[msg::cmd::kRegisterPriority], static_cast<uint32_t>(priority));
  storeLe32(&request[msg::cmd::kRegisterMaxPackets], static_cast<uint32_t>(maxPackets));
  uint8_t reply[4];
  const KMXBuffer out[] = {piece(request, sizeof request)};
  KMXBuffer in[] = {piece(reply, sizeof reply)};
  return c.exchange(Form::A, out, in);
}

// Takes an attached registration off its connection's list and, unless the
// server does not know it, unregisters it. The caller holds the command
// mutex.
void detachAndUnregister(Connection& c, Registration& r) {
  bool wasAttached = false;
  {
    std::lock_guard lock(c.registrationsMutex);
    if (r.attached) {
      auto& list = c.registrations[static_cast<int>(r.kind())];
      auto it = list.find(listKey(r));
      if (it != list.end() && it->second.get() == &r) list.erase(it);
      r.attached = false;
      wasAttached = true;
    }
  }
  if (wasAttached && r.kind() != Kind::StateChange && !c.closed) {
    exchangeRegister(c, kActionUnregister, r.kind(), serverId(r), kKeepValue, kKeepValue);
  }
}

void* openRegistration(void* connection, Kind kind, uint32_t id, AnyCallback callback,
                       void* userData, int32_t priority) {
  return guarded<void*>(nullptr, [&]() -> void* {
    clearError();
    auto c = findConnection(connection);
    if (!c) {
      setError(KMX_ERR_INVALID_HANDLE);
      return nullptr;
    }
    return registerAsync(c, kind, id, callback, userData, priority, kKeepValue);
  });
}

template <class Callback>
AnyCallback any(Callback callback) {
  return reinterpret_cast<AnyCallback>(callback);
}

}  // namespace

void* registerAsync(const std::shared_ptr<Connection>& c, Kind kind, uint32_t id,
                    AnyCallback callback, void* userData, int32_t priority, int32_t maxPackets) {
  const int k = static_cast<int>(kind);
  if (k < 0 || k >= kRegistrationKinds) {
    setError(KMX_ERR_INVALID_ASYNC_TYPE);
    return nullptr;
  }
  if (callback == nullptr) {
    setError(KMX_ERR_INVALID_CALLBACK);
    return nullptr;
  }
  if (!checkParams(priority, maxPackets)) return nullptr;
  if (!validId(kind, id)) {
    setError(KMX_ERR_INVALID_ARGUMENTS);
    return nullptr;
  }

  auto& registry = HandleRegistry::instance();
  std::lock_guard commandLock(c->commandMutex);
  if (c->closed) {
    setError(KMX_ERR_INVALID_HANDLE);
    return nullptr;
  }
  std::unique_lock lock(c->registrationsMutex);
  auto& list = c->registrations[k];
  uint32_t key = id;
  if (kind == Kind::StateChange) {
    // The lowest id no other state change registration of the connection uses.
    key = 0;
    for (const auto& entry : list) {
      if (entry.first != key) break;
      ++key;
    }
    id = key;
  } else if (kind == Kind::LastGasp) {
    // One per connection: calling again changes its form and callback.
    key = 0;
    if (auto it = list.find(key); it != list.end()) {
      Registration& existing = *it->second;
      existing.id = id;
      existing.callback = callback;
      existing.userData = userData;
      return existing.handle();
    }
  } else if (list.count(key) != 0) {
    setError(KMX_ERR_ALREADY_REGISTERED);
    return nullptr;
  }

  auto r = std::make_shared<Registration>(kind, id, callback, userData, c);
  list.emplace(key, r);
  r->attached = true;
  void* handle = nullptr;
  try {
    handle = registry.add(r);
  } catch (...) {
    list.erase(key);
    r->attached = false;
    throw;
  }
  lock.unlock();
  if (kind == Kind::StateChange) return handle;  // the server is not told

  if (!exchangeRegister(*c, kActionRegister, kind, serverId(*r), priority, maxPackets)) {
    // Undone with an unregister; the registration's failure stays the
    // thread's error.
    SavedError saved = saveError();
    registry.take(handle);
    detachAndUnregister(*c, *r);
    restoreError(std::move(saved));
    return nullptr;
  }
  return handle;
}

void destroyRegistration(const std::shared_ptr<Registration>& r) {
  auto c = r->connection.lock();
  if (!c) return;
  std::lock_guard lock(c->commandMutex);
  detachAndUnregister(*c, *r);
}

void destroyConnection(const std::shared_ptr<Connection>& c) {
  // Off the wait list first, without holding the connection's mutexes: a
  // callback of another connection may be in a command on this one.
  Listener::instance().detach(c.get());
  {
    std::lock_guard commandLock(c->commandMutex);
    {
      std::lock_guard lock(c->registrationsMutex);
      c->closed = true;
      // The server drops the registrations with the client: no unregisters.
      for (auto& list : c->registrations) {
        for (auto& entry : list) {
          entry.second->attached = false;
          HandleRegistry::instance().take(entry.second->handle());
        }
        list.clear();
      }
    }
    uint8_t request[4];
    proto::storeLe32(request, msg::kCmdClose);
    uint8_t reply[4];
    const KMXBuffer out[] = {piece(request, sizeof request)};
    KMXBuffer in[] = {piece(reply, sizeof reply)};
    SavedError saved = saveError();
    c->exchange(Form::A, out, in);  // its outcome does not matter
    restoreError(std::move(saved));
    c->closeChannel();
  }
  Listener::instance().release();
}

}  // namespace kmx::client

using namespace kmx::client;
namespace msg = kmx::msg;

extern "C" {

KMXCLIENT_API void* KMXOpenPlugin(void* connection, uint32_t pluginId, KMXDataCallback callback,
                                  void* userData) {
  return openRegistration(connection, Kind::Plugin, pluginId, any(callback), userData, 1);
}

KMXCLIENT_API void* KMXOpenAsyncData(void* connection, uint32_t logCode,
                                     KMXLogDataCallback callback, void* userData) {
  return openRegistration(connection, Kind::Log, logCode, any(callback), userData, 1);
}

KMXCLIENT_API void* KMXOpenAlertData(void* connection, uint8_t alertId, KMXDataCallback callback,
                                     void* userData) {
  return openRegistration(connection, Kind::Alert, alertId, any(callback), userData, -1);
}

KMXCLIENT_API void* KMXOpenLastGaspData(void* connection, KMXLastGaspCallback callback,
                                        void* userData) {
  return openRegistration(connection, Kind::LastGasp, 0, any(callback), userData, -1);
}

KMXCLIENT_API void* KMXOpenNewLastGaspData(void* connection, KMXNewLastGaspCallback callback,
                                           void* userData) {
  return openRegistration(connection, Kind::LastGasp, 1, any(callback), userData, -1);
}

KMXCLIENT_API void* KMXOpenStateChangeData(void* connection, KMXStateChangeCallback callback,
                                           void* userData) {
  return guarded<void*>(nullptr, [&]() -> void* {
    clearError();
    auto c = findConnection(connection);
    if (!c) {
      setError(KMX_ERR_INVALID_HANDLE);
      return nullptr;
    }
    if (callback == nullptr) return nullptr;  // no error for this one
    return registerAsync(c, Kind::StateChange, 0, any(callback), userData, kKeepValue, kKeepValue);
  });
}

KMXCLIENT_API int KMXSetAsyncDataParams(void* registration, int32_t priority, int32_t maxPackets) {
  return guarded(0, [&]() -> int {
    clearError();
    auto& registry = HandleRegistry::instance();
    auto r = registry.findAs<Registration>(registration, Kind::Log);
    if (!r) r = registry.findAs<Registration>(registration, Kind::Plugin);
    auto c = r ? r->connection.lock() : nullptr;
    if (!c || !findConnection(c->handle())) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    if (!checkParams(priority, maxPackets)) return 0;
    std::lock_guard lock(c->commandMutex);
    if (c->closed || !r->attached) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    return exchangeRegister(*c, kActionRegister, r->kind(), r->id, priority, maxPackets) ? 1 : 0;
  });
}

KMXCLIENT_API int KMXSetLogDataParams(void* connection, uint32_t logCode, int32_t priority,
                                      int32_t maxPackets) {
  return guarded(0, [&]() -> int {
    clearError();
    auto c = findConnection(connection);
    if (!c) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    if (!checkParams(priority, maxPackets)) return 0;
    if (!validId(Kind::Log, logCode)) {
      setError(KMX_ERR_INVALID_ARGUMENTS);
      return 0;
    }
    std::lock_guard commandLock(c->commandMutex);
    if (c->closed) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    {
      std::lock_guard lock(c->registrationsMutex);
      if (c->registrations[static_cast<int>(Kind::Log)].count(logCode) == 0) {
        setError(KMX_ERR_NOT_REGISTERED);
        return 0;
      }
    }
    return exchangeRegister(*c, kActionRegister, Kind::Log, logCode, priority, maxPackets) ? 1 : 0;
  });
}

KMXCLIENT_API int KMXWriteToPlugin(void* registration, const void* data, uint32_t length) {
  return guarded(0, [&]() -> int {
    clearError();
    auto r = HandleRegistry::instance().findAs<Registration>(registration, Kind::Plugin);
    auto c = r ? r->connection.lock() : nullptr;
    if (!c || !findConnection(c->handle())) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    if (data == nullptr && length != 0) {
      setError(KMX_ERR_INVALID_ARGUMENTS);
      return 0;
    }
    std::lock_guard lock(c->commandMutex);
    if (c->closed || !r->attached) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    uint8_t header[msg::cmd::kPluginData];
    storeLe32(&header[msg::cmd::kId], msg::kCmdWriteToPlugin);
    storeLe32(&header[msg::cmd::kPluginId], r->id);
    uint8_t reply[4];
    const KMXBuffer out[] = {piece(header, sizeof header), piece(data, length)};
    KMXBuffer in[] = {piece(reply, sizeof reply)};
    return c->exchange(Form::B, out, in) ? 1 : 0;
  });
}

}  // extern "C"
