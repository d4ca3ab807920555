// The exported C functions of libkmxio.so. Handles are tokens that a
// process-wide registry maps to port objects: a null, closed or foreign
// handle is refused with the failure result instead of being dereferenced,
// and a token is never reused, so a stale handle cannot reach a newer port.

#include "kmxio.h"
#include "kmx/io/kmxio_internal.h"

#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

#include "baud_rate.h"
#include "com_port.h"
#include "kmx/platform/last_error.h"
#include "kmx/io/port_name.h"
#include "simulator_port.h"

namespace kmx::io {
namespace {

class Registry {
 public:
  void* add(std::shared_ptr<SerialDevice> port) {
    std::lock_guard lock(mutex_);
    next_ += kStep;
    ports_.emplace(next_, std::move(port));
    return reinterpret_cast<void*>(next_);
  }

  std::shared_ptr<SerialDevice> find(void* handle) {
    std::lock_guard lock(mutex_);
    auto it = ports_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == ports_.end()) return nullptr;
    return it->second;
  }

  std::shared_ptr<SerialDevice> remove(void* handle) {
    std::lock_guard lock(mutex_);
    auto it = ports_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == ports_.end()) return nullptr;
    auto port = std::move(it->second);
    ports_.erase(it);
    return port;
  }

 private:
  static constexpr uintptr_t kStep = 0x10;
  std::mutex mutex_;
  std::unordered_map<uintptr_t, std::shared_ptr<SerialDevice>> ports_;
  uintptr_t next_ = 0x4B4D0000;
};

// Never destroyed: ports still open at exit are closed by the system, and no
// call can race with the registry's destruction.
Registry& registry() {
  static Registry* const instance = new Registry;
  return *instance;
}

void failWith(int err) { kmx::setLastErrorFromErrno(err); }

// The port of a handle, or null with the last-error EBADF.
std::shared_ptr<SerialDevice> portOf(void* handle) {
  auto port = registry().find(handle);
  if (!port) failWith(EBADF);
  return port;
}

int result(bool ok) {
  if (!ok) failWith(errno);
  return ok ? 1 : 0;
}

// The checks both reads make before `read(port, length)` runs: *length is 0
// on every failure, an unknown handle is EBADF, a missing length EINVAL.
template <class Read>
const uint8_t* checkedRead(void* handle, uint32_t* length, Read read) {
  if (length != nullptr) *length = 0;
  auto port = portOf(handle);
  if (!port) return nullptr;
  if (length == nullptr) {
    failWith(EINVAL);
    return nullptr;
  }
  return read(*port, length);
}

}  // namespace
}  // namespace kmx::io

using kmx::io::portOf;

extern "C" {

void* KMXIOOpenDriver(const char* portName, uint32_t bufferSize) {
  try {
    if (portName == nullptr) {
      kmx::io::failWith(EINVAL);
      return nullptr;
    }
    const auto where = kmx::io::resolvePort(portName);
    if (!where) {
      kmx::io::failWith(errno);
      return nullptr;
    }
    std::shared_ptr<kmx::io::SerialDevice> port;
    if (where->kind == kmx::io::PortKind::Simulator) {
      port = std::make_shared<kmx::io::SimulatorPort>(bufferSize);
    } else {
      port = std::make_shared<kmx::io::ComPort>(bufferSize);
    }
    if (!port->open(where->path)) {
      kmx::io::failWith(errno);
      return nullptr;  // the half-open port is destroyed here
    }
    return kmx::io::registry().add(std::move(port));
  } catch (const std::bad_alloc&) {
    kmx::io::failWith(ENOMEM);
  } catch (...) {
    kmx::io::failWith(EIO);
  }
  return nullptr;
}

int KMXIOCloseDriver(void* handle) {
  // The port is destroyed when the last call still using it returns.
  if (handle != nullptr) kmx::io::registry().remove(handle);
  return 1;
}

int KMXIOWriteData(void* handle, const void* data, uint32_t length) {
  auto port = portOf(handle);
  if (!port) return 0;
  if (data == nullptr && length != 0) {
    kmx::io::failWith(EINVAL);
    return 0;
  }
  return kmx::io::result(port->write(static_cast<const uint8_t*>(data), length));
}

const uint8_t* KMXIOReadData(void* handle, uint32_t* length) {
  return kmx::io::checkedRead(handle, length,
                              [](kmx::io::SerialDevice& port, uint32_t* got) { return port.read(got); });
}

int KMXIOGetReadEventHandle(void* handle) {
  auto port = portOf(handle);
  return port ? port->readEventHandle() : -1;
}

int KMXIOSetBaudRate(void* handle, uint32_t rate) {
  auto port = portOf(handle);
  if (!port) return 0;
  return kmx::io::result(port->setBaudRate(rate));
}

uint32_t KMXIOGetBaudRate(void* handle) {
  auto port = portOf(handle);
  return port ? port->baudRate() : 0;
}

uint32_t KMXIOGetAvailableBaudRates(void* handle) {
  auto port = portOf(handle);
  return port ? port->availableRates() : 0;
}

int KMXIOCheckBaudRate(void* /*handle*/, uint32_t rate) {
  return kmx::io::baudBitForRate(rate) != 0 ? 1 : 0;
}

int KMXIOCheckCTS(void* handle) {
  auto port = portOf(handle);
  if (!port) return 0;
  errno = 0;
  const bool on = port->cts();
  if (!on && errno != 0) kmx::io::failWith(errno);
  return on ? 1 : 0;
}

int KMXIOSetRTSstate(void* handle, uint32_t state) {
  auto port = portOf(handle);
  if (!port) return 0;
  return kmx::io::result(port->setRts(state == 1));
}

int KMXIOSetDTRstate(void* handle, uint32_t state) {
  auto port = portOf(handle);
  if (!port) return 0;
  return kmx::io::result(port->setDtr(state == 1));
}

int kmxio_write_now(void* handle, const void* data, uint32_t length, uint32_t* taken) {
  if (taken != nullptr) *taken = 0;
  auto port = portOf(handle);
  if (!port) return 0;
  if (taken == nullptr || (data == nullptr && length != 0)) {
    kmx::io::failWith(EINVAL);
    return 0;
  }
  return kmx::io::result(port->writeNow(static_cast<const uint8_t*>(data), length, taken));
}

int kmxio_write_event(void* handle) {
  auto port = portOf(handle);
  if (!port) return -1;
  const int fd = port->writeEventHandle();
  if (fd < 0) kmx::io::failWith(errno);
  return fd;
}

const uint8_t* kmxio_read_available(void* handle, uint32_t* length) {
  return kmx::io::checkedRead(handle, length,
                              [](kmx::io::SerialDevice& port, uint32_t* got) { return port.readAvailable(got); });
}

int kmxio_read_pending(void* handle) {
  auto port = portOf(handle);
  return port && port->readPending() ? 1 : 0;
}

}  // extern "C"
