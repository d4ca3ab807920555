// The thread of one script object: its calls, its poll and its waits run
// there one at a time, in the order they were posted, so that a call that
// waits (a file, the link, a long save) holds up this object only and never
// the bus loop or another object.
//
// The loop is shared: the thread keeps it alive until it ends, so an
// object that is still busy when the service lets it go finishes on a
// loop that still exists.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "loop_scheduler.h"

namespace vx::script {

class ObjectLoop final : public LoopScheduler, public std::enable_shared_from_this<ObjectLoop> {
 public:
  static std::shared_ptr<ObjectLoop> start();
  ~ObjectLoop() override;
  ObjectLoop(const ObjectLoop&) = delete;
  ObjectLoop& operator=(const ObjectLoop&) = delete;

  // All four may be called from any thread.
  TimerId every(int periodMs, std::function<void()> tick) override;
  TimerId after(int delayMs, std::function<void()> fn) override;
  void cancel(TimerId id) override;
  void post(std::function<void()> fn) override;

  // Runs `last` instead of what is still queued (the caller has answered
  // those calls), then ends: timers and later posts are dropped. Waits for the end until
  // `deadline`; true when the thread has ended, false when it is still in
  // a call (it then ends on its own once that call returns).
  bool finish(std::function<void()> last, std::chrono::steady_clock::time_point deadline);

  // Whether the thread is in a call that has run longer than `limit`.
  bool busyLongerThan(std::chrono::milliseconds limit) const;

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    Clock::time_point due;
    int periodMs;  // 0: once
    std::function<void()> fn;
  };

  ObjectLoop() = default;
  TimerId add(int delayMs, int periodMs, std::function<void()> fn);
  void run();
  // The next function to run, or nothing once the loop has ended.
  std::function<void()> next(std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable stoppedSignal_;
  std::deque<std::function<void()>> posted_;
  std::map<TimerId, Timer> timers_;
  TimerId nextId_ = 1;
  bool finishing_ = false;  // no more posts or timers are taken
  bool stopped_ = false;    // the thread has left its loop
  Clock::time_point callStarted_{};  // of the call under way; epoch when idle
  std::thread thread_;
};

}  // namespace vx::script
