// Timers and deferred calls of the event loop that runs the script objects;
// everything scheduled here runs on that loop's thread, between method calls.
#pragma once

#include <cstdint>
#include <functional>

namespace vx::script {

class LoopScheduler {
 public:
  using TimerId = uint64_t;
  static constexpr TimerId kNoTimer = 0;

  virtual ~LoopScheduler() = default;
  // Calls `tick` every `periodMs` until stopped.
  virtual TimerId every(int periodMs, std::function<void()> tick) = 0;
  // Calls `fn` once after `delayMs` (0: as soon as the loop is idle).
  virtual TimerId after(int delayMs, std::function<void()> fn) = 0;
  // Stops a timer; unknown or finished timers are ignored.
  virtual void cancel(TimerId id) = 0;
  // Calls `fn` on the loop's thread as soon as it is idle. The only member
  // that may be called from another thread (a worker's end comes this way).
  virtual void post(std::function<void()> fn) = 0;
};

}  // namespace vx::script
