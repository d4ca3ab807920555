// One-shot timers counted in 100 ms ticks. A tick thread counts down the
// first timer of a delta list (each timer holds its distance from the one
// before it) and signals the tick event when it reaches 0; the main thread
// then runs every due timer. Timers that fall due in the same tick fire in
// the order they were started.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace kmx::server {

class TimerQueue {
 public:
  using Id = uint64_t;
  static constexpr Id kNoTimer = 0;
  static constexpr int kTickMs = 100;

  TimerQueue();
  ~TimerQueue();  // stops the tick thread and drops every timer
  TimerQueue(const TimerQueue&) = delete;
  TimerQueue& operator=(const TimerQueue&) = delete;

  // Starts the tick thread; false if it could not be started.
  bool startTicking();
  void stopTicking();

  // The tick event: readable when timers are due.
  int tickFd() const { return tickFd_; }

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

  // Main thread, on the tick event: runs every due timer.
  void runDue();
  // One tick as the tick thread makes it (tests drive time with it).
  void tick();

  static uint32_t ticksFor(int ms) { return ms <= 0 ? 0 : static_cast<uint32_t>((ms + kTickMs - 1) / kTickMs); }

 private:
  struct Timer {
    Id id;
    uint32_t delta;
    std::function<void()> expiry;
  };

  void tickLoop();
  void signalTick();

  mutable std::recursive_mutex mutex_;
  std::list<Timer> timers_;
  Id nextId_ = 1;
  int tickFd_ = -1;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

}  // namespace kmx::server
