#include "kmx/platform/named_event.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "kmx/platform/last_error.h"
#include "kmx/platform/wait.h"

namespace kmx {
namespace {

constexpr std::string_view kSuffix = ".evt";

bool writeSignal(int fd) {
  const char byte = 1;
  for (;;) {
    if (write(fd, &byte, 1) == 1) return true;
    if (errno == EINTR) continue;
    // A full FIFO is still signalled: nothing lost.
    if (errno == EAGAIN) return true;
    return false;
  }
}

int queuedBytes(int fd) {
  int count = 0;
  return ioctl(fd, FIONREAD, &count) == 0 ? count : -1;
}

}  // namespace

std::unique_ptr<NamedEvent> NamedEvent::create(std::string_view name, Reset reset,
                                               bool initiallySet) {
  auto prepare = [initiallySet](int fd) { return !initiallySet || writeSignal(fd); };
  NamedFile file = NamedFile::acquire(name, kSuffix, NamedFile::Kind::Fifo,
                                      NamedFile::Mode::OpenOrCreate, 0, prepare);
  if (!file.valid()) return nullptr;
  auto* event = new (std::nothrow) NamedEvent(std::move(file), reset);
  if (event == nullptr) setLastErrorFromErrno(ENOMEM);
  return std::unique_ptr<NamedEvent>(event);
}

std::unique_ptr<NamedEvent> NamedEvent::open(std::string_view name, Reset reset) {
  NamedFile file = NamedFile::acquire(name, kSuffix, NamedFile::Kind::Fifo,
                                      NamedFile::Mode::OpenExisting, 0, {});
  if (!file.valid()) return nullptr;
  auto* event = new (std::nothrow) NamedEvent(std::move(file), reset);
  if (event == nullptr) setLastErrorFromErrno(ENOMEM);
  return std::unique_ptr<NamedEvent>(event);
}

NamedEvent::~NamedEvent() = default;

bool NamedEvent::set() {
  int queued = queuedBytes(fd());
  if (queued < 0) {
    setLastErrorFromErrno();
    return false;
  }
  if (queued > 0) return true;
  if (!writeSignal(fd())) {
    setLastErrorFromErrno();
    return false;
  }
  return true;
}

bool NamedEvent::reset() {
  char sink[64];
  for (;;) {
    ssize_t n = read(fd(), sink, sizeof sink);
    if (n == static_cast<ssize_t>(sizeof sink)) continue;
    if (n >= 0) return true;
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return true;
    setLastErrorFromErrno();
    return false;
  }
}

bool NamedEvent::isSet() const { return queuedBytes(fd()) > 0; }

bool NamedEvent::tryTake() {
  char byte;
  for (;;) {
    ssize_t n = read(fd(), &byte, 1);
    if (n == 1) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

bool NamedEvent::wait(int32_t timeoutMs) {
  const int64_t start = monotonicMs();
  const int fds[1] = {fd()};
  for (;;) {
    int32_t left = timeoutMs;
    if (timeoutMs >= 0) {
      int64_t elapsed = monotonicMs() - start;
      left = elapsed >= timeoutMs ? 0 : static_cast<int32_t>(timeoutMs - elapsed);
    }
    int index = waitForAny(fds, left);
    if (index == kWaitFailed) return false;
    if (index == kWaitTimedOut) {
      setLastErrorFromErrno(ETIMEDOUT);
      return false;
    }
    // A manual-reset event stays set for every waiter; an auto-reset one goes
    // to the waiter that takes the byte, and the others wait on.
    if (reset_ == Reset::Manual || tryTake()) return true;
  }
}

}  // namespace kmx
