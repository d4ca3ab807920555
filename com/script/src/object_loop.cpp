#include "object_loop.h"

#include <algorithm>

namespace vx::script {

std::shared_ptr<ObjectLoop> ObjectLoop::start() {
  std::shared_ptr<ObjectLoop> loop(new ObjectLoop());
  loop->thread_ = std::thread([self = loop] { self->run(); });
  return loop;
}

// The last owner may be the thread itself, when the service let the loop go
// while a call was still under way.
ObjectLoop::~ObjectLoop() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();
  } else {
    thread_.join();
  }
}

LoopScheduler::TimerId ObjectLoop::add(int delayMs, int periodMs, std::function<void()> fn) {
  std::lock_guard lock(mutex_);
  if (finishing_) return kNoTimer;
  const TimerId id = nextId_++;
  timers_.emplace(id, Timer{Clock::now() + std::chrono::milliseconds(delayMs), periodMs, std::move(fn)});
  wake_.notify_one();
  return id;
}

LoopScheduler::TimerId ObjectLoop::every(int periodMs, std::function<void()> tick) {
  return add(periodMs, std::max(periodMs, 1), std::move(tick));
}

LoopScheduler::TimerId ObjectLoop::after(int delayMs, std::function<void()> fn) {
  return add(std::max(delayMs, 0), 0, std::move(fn));
}

void ObjectLoop::cancel(TimerId id) {
  std::function<void()> dropped;  // destroyed outside the lock: it may own anything
  std::lock_guard lock(mutex_);
  if (auto it = timers_.find(id); it != timers_.end()) {
    dropped = std::move(it->second.fn);
    timers_.erase(it);
  }
}

void ObjectLoop::post(std::function<void()> fn) {
  std::lock_guard lock(mutex_);
  if (finishing_ || !fn) return;
  posted_.push_back(std::move(fn));
  wake_.notify_one();
}

bool ObjectLoop::finish(std::function<void()> last, Clock::time_point deadline) {
  std::deque<std::function<void()>> dropped;  // destroyed outside the lock
  std::unique_lock lock(mutex_);
  if (!finishing_) {
    // Calls still queued were answered by whoever ends the loop.
    dropped.swap(posted_);
    if (last) posted_.push_back(std::move(last));
    finishing_ = true;
    wake_.notify_one();
  }
  const bool stopped = stoppedSignal_.wait_until(lock, deadline, [this] { return stopped_; });
  lock.unlock();
  dropped.clear();
  if (!stopped) return false;
  if (thread_.joinable()) thread_.join();
  return true;
}

bool ObjectLoop::busyLongerThan(std::chrono::milliseconds limit) const {
  std::lock_guard lock(mutex_);
  return callStarted_ != Clock::time_point{} && Clock::now() - callStarted_ > limit;
}

// Posted calls first, in order; then each due timer, the earliest first.
// Once finishing, only what was posted before runs.
std::function<void()> ObjectLoop::next(std::unique_lock<std::mutex>& lock) {
  for (;;) {
    if (!posted_.empty()) {
      std::function<void()> fn = std::move(posted_.front());
      posted_.pop_front();
      return fn;
    }
    if (finishing_) return nullptr;
    auto due = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (due == timers_.end() || it->second.due < due->second.due) due = it;
    }
    const Clock::time_point now = Clock::now();
    if (due != timers_.end() && due->second.due <= now) {
      if (due->second.periodMs > 0) {
        due->second.due = now + std::chrono::milliseconds(due->second.periodMs);
        return due->second.fn;
      }
      std::function<void()> fn = std::move(due->second.fn);
      timers_.erase(due);
      return fn;
    }
    if (due == timers_.end()) {
      wake_.wait(lock);
    } else {
      wake_.wait_until(lock, due->second.due);
    }
  }
}

void ObjectLoop::run() {
  std::unique_lock lock(mutex_);
  while (std::function<void()> fn = next(lock)) {
    callStarted_ = Clock::now();
    lock.unlock();
    fn();
    fn = nullptr;  // what it owned goes on this thread
    lock.lock();
    callStarted_ = {};
  }
  // What is left (timers, a late post) owns objects that end on this thread.
  std::map<TimerId, Timer> timers = std::move(timers_);
  std::deque<std::function<void()>> posted = std::move(posted_);
  lock.unlock();
  timers.clear();
  posted.clear();
  lock.lock();
  stopped_ = true;
  stoppedSignal_.notify_all();
}

}  // namespace vx::script
