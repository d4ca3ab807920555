#include "kmx/platform/periodic_timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>

#include "kmx/platform/last_error.h"

namespace kmx {

PeriodicTimer::PeriodicTimer() {
  fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd_ < 0) setLastErrorFromErrno();
}

PeriodicTimer::~PeriodicTimer() {
  if (fd_ >= 0) close(fd_);
}

bool PeriodicTimer::start(int periodMs) {
  if (fd_ < 0 || periodMs <= 0) {
    setLastErrorFromErrno(fd_ < 0 ? EBADF : EINVAL);
    return false;
  }
  itimerspec timing{};
  timing.it_interval.tv_sec = periodMs / 1000;
  timing.it_interval.tv_nsec = static_cast<long>(periodMs % 1000) * 1000000L;
  timing.it_value = timing.it_interval;
  if (timerfd_settime(fd_, 0, &timing, nullptr) != 0) {
    setLastErrorFromErrno();
    return false;
  }
  return true;
}

void PeriodicTimer::stop() {
  if (fd_ < 0) return;
  itimerspec off{};
  timerfd_settime(fd_, 0, &off, nullptr);
  takeExpirations();
}

uint64_t PeriodicTimer::takeExpirations() {
  uint64_t count = 0;
  for (;;) {
    if (read(fd_, &count, sizeof count) == static_cast<ssize_t>(sizeof count)) return count;
    if (errno != EINTR) return 0;  // EAGAIN: none waiting
  }
}

}  // namespace kmx
