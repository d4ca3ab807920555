#include "kmx/platform/wait.h"

#include <poll.h>
#include <sys/prctl.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <vector>

#include "kmx/platform/last_error.h"

namespace kmx {

int64_t monotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int64_t monotonicUs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void wakeOnTime() {
  // One microsecond: below that, nothing a loop here waits for is measured.
  prctl(PR_SET_TIMERSLACK, 1000UL);
}

namespace {

// One ppoll() over `set` with a time-out in microseconds, restarted after
// signals with the time left.
int ppollUntil(pollfd* set, std::size_t count, int64_t timeoutUs) {
  const int64_t deadline = timeoutUs < 0 ? -1 : monotonicUs() + timeoutUs;
  for (;;) {
    timespec wait{};
    timespec* waitFor = nullptr;
    if (deadline >= 0) {
      const int64_t left = std::max<int64_t>(0, deadline - monotonicUs());
      wait.tv_sec = static_cast<time_t>(left / 1000000);
      wait.tv_nsec = static_cast<long>(left % 1000000) * 1000;
      waitFor = &wait;
    }
    int rc = ppoll(set, count, waitFor, nullptr);
    if (rc >= 0) return rc;
    if (errno != EINTR) {
      setLastErrorFromErrno();
      return kWaitFailed;
    }
  }
}

// One poll() over `set`, restarted after signals with the time left. Returns
// poll's count, 0 on time-out, or kWaitFailed.
int pollUntil(pollfd* set, std::size_t count, int32_t timeoutMs) {
  const int64_t deadline = timeoutMs < 0 ? -1 : monotonicMs() + timeoutMs;
  for (;;) {
    int wait = -1;
    if (deadline >= 0) {
      int64_t left = deadline - monotonicMs();
      wait = left > 0 ? static_cast<int>(left) : 0;
    }
    int rc = poll(set, count, wait);
    if (rc >= 0) return rc;
    if (errno != EINTR) {
      setLastErrorFromErrno();
      return kWaitFailed;
    }
  }
}

// Polls `fds` for input with `wait` and marks the ready ones.
template <class Wait>
int waitReady(std::span<const int> fds, std::span<uint8_t> ready, Wait wait) {
  if (ready.size() < fds.size()) {
    setLastErrorFromErrno(EINVAL);
    return kWaitFailed;
  }
  pollfd small[16];
  std::vector<pollfd> large;
  pollfd* set = small;
  if (fds.size() > std::size(small)) {
    large.resize(fds.size());
    set = large.data();
  }
  for (std::size_t i = 0; i < fds.size(); ++i) set[i] = pollfd{fds[i], POLLIN, 0};
  const int rc = wait(set, fds.size());
  if (rc < 0) return rc;
  int count = 0;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    if (set[i].revents & POLLNVAL) {
      setLastErrorFromErrno(EBADF);
      return kWaitFailed;
    }
    ready[i] = (set[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0 ? 1 : 0;
    count += ready[i];
  }
  return count;
}

}  // namespace

int waitForReady(std::span<const int> fds, std::span<uint8_t> ready, int32_t timeoutMs) {
  return waitReady(fds, ready, [&](pollfd* set, std::size_t count) { return pollUntil(set, count, timeoutMs); });
}

int waitForReadyUs(std::span<const int> fds, std::span<uint8_t> ready, int64_t timeoutUs) {
  return waitReady(fds, ready, [&](pollfd* set, std::size_t count) { return ppollUntil(set, count, timeoutUs); });
}

int waitForAny(std::span<const int> fds, int32_t timeoutMs) {
  if (fds.empty()) {
    setLastErrorFromErrno(EINVAL);
    return kWaitFailed;
  }
  // Small sets (the common case) stay on the stack.
  pollfd small[8];
  std::vector<pollfd> large;
  pollfd* set = small;
  if (fds.size() > std::size(small)) {
    large.resize(fds.size());
    set = large.data();
  }
  for (std::size_t i = 0; i < fds.size(); ++i) set[i] = pollfd{fds[i], POLLIN, 0};

  const int64_t deadline = timeoutMs < 0 ? -1 : monotonicMs() + timeoutMs;
  for (;;) {
    int wait = -1;
    if (deadline >= 0) {
      int64_t left = deadline - monotonicMs();
      wait = left > 0 ? static_cast<int>(left) : 0;
    }
    int rc = poll(set, fds.size(), wait);
    if (rc > 0) {
      for (std::size_t i = 0; i < fds.size(); ++i) {
        if (set[i].revents & POLLNVAL) {
          setLastErrorFromErrno(EBADF);
          return kWaitFailed;
        }
        if (set[i].revents & (POLLIN | POLLHUP | POLLERR)) return static_cast<int>(i);
      }
      continue;
    }
    if (rc == 0) return kWaitTimedOut;
    if (errno != EINTR) {
      setLastErrorFromErrno();
      return kWaitFailed;
    }
  }
}

}  // namespace kmx
