#include "timer_queue.h"

#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

namespace kmx::server {

TimerQueue::TimerQueue() { tickFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

TimerQueue::~TimerQueue() {
  stopTicking();
  if (tickFd_ >= 0) close(tickFd_);
}

bool TimerQueue::startTicking() {
  if (running_ || tickFd_ < 0) return running_;
  running_ = true;
  try {
    thread_ = std::thread([this] { tickLoop(); });
  } catch (...) {
    running_ = false;
  }
  return running_;
}

void TimerQueue::stopTicking() {
  {
    std::lock_guard lock(mutex_);
    timers_.clear();
    running_ = false;
  }
  if (thread_.joinable()) thread_.join();
}

// Sleeps to absolute deadlines 100 ms apart, so ticks do not drift with the
// time spent holding the lock.
void TimerQueue::tickLoop() {
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  while (running_) {
    next.tv_nsec += kTickMs * 1000000L;
    if (next.tv_nsec >= 1000000000L) {
      next.tv_nsec -= 1000000000L;
      next.tv_sec += 1;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) != 0) {
    }
    if (running_) tick();
  }
}

void TimerQueue::tick() {
  std::lock_guard lock(mutex_);
  if (timers_.empty() || timers_.front().delta == 0) return;
  if (--timers_.front().delta == 0) signalTick();
}

void TimerQueue::signalTick() {
  uint64_t one = 1;
  (void)!write(tickFd_, &one, sizeof one);
}

TimerQueue::Id TimerQueue::start(int ms, std::function<void()> expiry) {
  std::lock_guard lock(mutex_);
  // Walk past every timer due no later than this one, so timers due in the
  // same tick stay in the order they were started.
  uint32_t n = ticksFor(ms);
  auto it = timers_.begin();
  for (; it != timers_.end(); ++it) {
    if (n < it->delta) {
      it->delta -= n;
      break;
    }
    n -= it->delta;
  }
  Id id = nextId_++;
  timers_.insert(it, Timer{id, n, std::move(expiry)});
  // A timer due now must not wait for a tick that will never count it down.
  if (timers_.front().delta == 0) signalTick();
  return id;
}

void TimerQueue::cancel(Id id) {
  if (id == kNoTimer) return;
  std::lock_guard lock(mutex_);
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->id != id) continue;
    auto next = std::next(it);
    if (next != timers_.end()) next->delta += it->delta;
    timers_.erase(it);
    return;
  }
}

bool TimerQueue::pending(Id id) const {
  std::lock_guard lock(mutex_);
  for (const auto& timer : timers_) {
    if (timer.id == id) return true;
  }
  return false;
}

void TimerQueue::runDue() {
  uint64_t value;
  (void)!read(tickFd_, &value, sizeof value);
  std::lock_guard lock(mutex_);
  while (!timers_.empty() && timers_.front().delta == 0) {
    auto expiry = std::move(timers_.front().expiry);
    timers_.pop_front();
    expiry();  // may start or cancel timers: the mutex is recursive
  }
}

}  // namespace kmx::server
