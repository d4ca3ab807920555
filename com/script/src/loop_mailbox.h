// The way back to the bus loop for the objects' threads, which may still
// be finishing a call when the service has ended: once closed, what they
// post is dropped instead of reaching a loop that is gone.
#pragma once

#include <functional>
#include <mutex>

#include "loop_scheduler.h"

namespace vx::script {

class LoopMailbox {
 public:
  explicit LoopMailbox(LoopScheduler& loop) : loop_(&loop) {}

  void post(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    if (loop_ != nullptr) loop_->post(std::move(fn));
  }
  void close() {
    std::lock_guard lock(mutex_);
    loop_ = nullptr;
  }

 private:
  std::mutex mutex_;
  LoopScheduler* loop_;
};

}  // namespace vx::script
