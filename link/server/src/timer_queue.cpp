#include "timer_queue.h"

namespace kmx::server {

bool TimerQueue::startTicking() { return ticker_.start(kTickMs); }

void TimerQueue::stopTicking() {
  ticker_.stop();
  timers_.clear();
}

void TimerQueue::tick() {
  if (timers_.empty() || timers_.front().delta == 0) return;
  --timers_.front().delta;
}

TimerQueue::Id TimerQueue::start(int ms, std::function<void()> expiry) {
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
  return id;
}

void TimerQueue::cancel(Id id) {
  if (id == kNoTimer) return;
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->id != id) continue;
    auto next = std::next(it);
    if (next != timers_.end()) next->delta += it->delta;
    timers_.erase(it);
    return;
  }
}

bool TimerQueue::pending(Id id) const {
  for (const auto& timer : timers_) {
    if (timer.id == id) return true;
  }
  return false;
}

void TimerQueue::runExpired() {
  while (!timers_.empty() && timers_.front().delta == 0) {
    auto expiry = std::move(timers_.front().expiry);
    timers_.pop_front();
    expiry();  // may start or cancel timers
  }
}

// Each tick that passed counts, even when the loop was late for several.
void TimerQueue::runDue() {
  runExpired();
  for (uint64_t ticks = ticker_.takeExpirations(); ticks > 0; --ticks) {
    tick();
    runExpired();
  }
}

}  // namespace kmx::server
