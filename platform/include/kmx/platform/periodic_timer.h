// A timer descriptor that expires at a fixed period: a timerfd on
// CLOCK_MONOTONIC, readable while expirations are waiting, so that an event
// loop can wait for its ticks in the same poll() as everything else instead
// of running a thread that counts them.
#pragma once

#include <cstdint>

namespace kmx {

class PeriodicTimer {
 public:
  // Made disarmed; valid() is false (last-error set) when the descriptor
  // could not be made.
  PeriodicTimer();
  ~PeriodicTimer();
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;

  bool valid() const { return fd_ >= 0; }
  // Readable while expirations wait to be taken. Belongs to the timer.
  int fd() const { return fd_; }

  // Expires every periodMs from one period after now. False (last-error
  // set) on failure.
  bool start(int periodMs);
  void stop();
  // The expirations since the last call (0: none); the descriptor is then
  // no longer readable.
  uint64_t takeExpirations();

 private:
  int fd_ = -1;
};

}  // namespace kmx
