#include "service_loop.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <vector>

#include <sdbus-c++/IConnection.h>

namespace vx::script {

ServiceLoop::ServiceLoop(sdbus::IConnection& bus) : bus_(bus) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) == 0) {
    signalFd_ = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
  }
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

ServiceLoop::~ServiceLoop() {
  if (signalFd_ >= 0) ::close(signalFd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

LoopScheduler::TimerId ServiceLoop::add(int delayMs, int periodMs, std::function<void()> fn) {
  const TimerId id = nextId_++;
  timers_.emplace(id, Timer{Clock::now() + std::chrono::milliseconds(delayMs), periodMs, std::move(fn)});
  return id;
}

LoopScheduler::TimerId ServiceLoop::every(int periodMs, std::function<void()> tick) {
  return add(periodMs, std::max(periodMs, 1), std::move(tick));
}

LoopScheduler::TimerId ServiceLoop::after(int delayMs, std::function<void()> fn) {
  return add(std::max(delayMs, 0), 0, std::move(fn));
}

void ServiceLoop::cancel(TimerId id) { timers_.erase(id); }

void ServiceLoop::post(std::function<void()> fn) {
  {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(fn));
  }
  const uint64_t one = 1;
  (void)!::write(wakeFd_, &one, sizeof one);
}

void ServiceLoop::runPosted() {
  uint64_t count = 0;
  (void)!::read(wakeFd_, &count, sizeof count);
  for (;;) {
    std::function<void()> fn;
    {
      std::lock_guard lock(postedMutex_);
      if (posted_.empty()) return;
      fn = std::move(posted_.front());
      posted_.pop_front();
    }
    fn();
    if (quit_) return;
  }
}

// Runs each timer that is due once, in the order they fell due; a timer
// that a callback cancels or adds is seen correctly, since each is looked
// up again before it runs.
void ServiceLoop::runDueTimers() {
  const Clock::time_point now = Clock::now();
  std::vector<std::pair<Clock::time_point, TimerId>> due;
  for (const auto& [id, timer] : timers_) {
    if (timer.due <= now) due.emplace_back(timer.due, id);
  }
  std::sort(due.begin(), due.end());
  for (const auto& entry : due) {
    auto it = timers_.find(entry.second);
    if (it == timers_.end()) continue;
    std::function<void()> fn;
    if (it->second.periodMs > 0) {
      it->second.due = now + std::chrono::milliseconds(it->second.periodMs);
      fn = it->second.fn;
    } else {
      fn = std::move(it->second.fn);
      timers_.erase(it);
    }
    fn();
    if (quit_) return;
  }
}

int ServiceLoop::msUntilNextTimer() const {
  if (timers_.empty()) return -1;
  Clock::time_point next = Clock::time_point::max();
  for (const auto& entry : timers_) next = std::min(next, entry.second.due);
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(wait + 1, 0, INT_MAX));
}

bool ServiceLoop::run() {
  while (!quit_) {
    while (bus_.processPendingRequest()) {
      if (quit_) return true;
    }
    runDueTimers();
    if (quit_) return true;
    runPosted();
    if (quit_) return true;

    const sdbus::IConnection::PollData data = bus_.getEventLoopPollData();
    int timeout = data.getPollTimeout();
    const int timerWait = msUntilNextTimer();
    if (timerWait >= 0 && (timeout < 0 || timerWait < timeout)) timeout = timerWait;

    // A descriptor of -1 is left out by poll().
    pollfd fds[3] = {{data.fd, data.events, 0}, {wakeFd_, POLLIN, 0}, {signalFd_, POLLIN, 0}};
    if (::poll(fds, 3, timeout) < 0 && errno != EINTR) return false;
    if ((fds[2].revents & POLLIN) != 0) return true;
    if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0) return false;
  }
  return true;
}

}  // namespace vx::script
