// The server's one event loop: the bus connection, the timers and deferred
// calls of the script objects, and SIGTERM/SIGINT, all on one thread with
// one poll().
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <mutex>

#include "loop_scheduler.h"

namespace sdbus {
class IConnection;
}

namespace vx::script {

class ServiceLoop final : public LoopScheduler {
 public:
  explicit ServiceLoop(sdbus::IConnection& bus);
  ~ServiceLoop() override;
  ServiceLoop(const ServiceLoop&) = delete;
  ServiceLoop& operator=(const ServiceLoop&) = delete;

  TimerId every(int periodMs, std::function<void()> tick) override;
  TimerId after(int delayMs, std::function<void()> fn) override;
  void cancel(TimerId id) override;
  void post(std::function<void()> fn) override;

  // Runs until quit() or a termination signal; false when the bus failed.
  bool run();
  void quit() { quit_ = true; }
  // Runs what other threads posted, once the loop has ended (the replies of
  // calls that finished while the server was ending).
  void runPostedAfterEnd() {
    quit_ = false;
    runPosted();
    quit_ = true;
  }

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    Clock::time_point due;
    int periodMs;  // 0: once
    std::function<void()> fn;
  };

  TimerId add(int delayMs, int periodMs, std::function<void()> fn);
  void runDueTimers();
  void runPosted();
  int msUntilNextTimer() const;

  sdbus::IConnection& bus_;
  std::map<TimerId, Timer> timers_;
  TimerId nextId_ = 1;
  int signalFd_ = -1;
  int wakeFd_ = -1;  // an eventfd that post() makes readable
  std::mutex postedMutex_;
  std::deque<std::function<void()>> posted_;
  bool quit_ = false;
};

}  // namespace vx::script
