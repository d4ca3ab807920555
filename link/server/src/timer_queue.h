// One-shot timers counted in 100 ms ticks. The ticks come from a periodic
// timer descriptor that the main loop waits on together with everything
// else; on each tick the first timer of a delta list (each timer holds its
// distance from the one before it) is counted down, and due timers run.
// Timers that fall due in the same tick fire in the order they were started.
// Everything runs on the main thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <list>

#include "kmx/platform/periodic_timer.h"

namespace kmx::server {

class TimerQueue {
 public:
  using Id = uint64_t;
  static constexpr Id kNoTimer = 0;
  static constexpr int kTickMs = 100;

  TimerQueue() = default;
  ~TimerQueue() = default;  // drops every timer
  TimerQueue(const TimerQueue&) = delete;
  TimerQueue& operator=(const TimerQueue&) = delete;

  // Starts the ticks; false if the tick descriptor could not be armed.
  bool startTicking();
  // Stops the ticks and drops every timer.
  void stopTicking();

  // Readable when ticks have passed.
  int tickFd() const { return ticker_.fd(); }
  // True while a timer is due and waits for runDue() (one started with 0
  // ms, or left due by an expiry): the loop must not sleep then.
  bool hasDue() const { return !timers_.empty() && timers_.front().delta == 0; }

  // A timer of `ms` milliseconds fires after ceil(ms / 100) ticks.
  Id start(int ms, std::function<void()> expiry);
  // Cancels a timer that has not fired; cancelling kNoTimer or a fired timer
  // does nothing.
  void cancel(Id id);
  // Cancels `*id` and sets it to kNoTimer.
  void cancel(Id* id) {
    cancel(*id);
    *id = kNoTimer;
  }
  bool pending(Id id) const;

  // Takes the ticks that have passed, counting each, and runs every timer
  // that falls due.
  void runDue();
  // One tick (tests drive time with it).
  void tick();

  static uint32_t ticksFor(int ms) { return ms <= 0 ? 0 : static_cast<uint32_t>((ms + kTickMs - 1) / kTickMs); }

 private:
  struct Timer {
    Id id;
    uint32_t delta;
    std::function<void()> expiry;
  };

  void runExpired();

  std::list<Timer> timers_;
  Id nextId_ = 1;
  PeriodicTimer ticker_;
};

}  // namespace kmx::server
