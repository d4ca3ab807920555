// The 100 ms timers, driven tick by tick.
#include <string>

#include <gtest/gtest.h>

#include "timer_queue.h"

namespace kmx::server {
namespace {

TEST(TimerQueue, LengthsRoundUpToTicksAndEqualTimersFireInOrder) {
  TimerQueue timers;
  std::string fired;
  timers.start(250, [&] { fired += "a"; });  // 3 ticks
  timers.start(100, [&] { fired += "b"; });  // 1 tick
  timers.start(300, [&] { fired += "c"; });  // 3 ticks, after a
  timers.start(300, [&] { fired += "d"; });  // 3 ticks, after c
  auto cancelled = timers.start(200, [&] { fired += "x"; });
  timers.cancel(cancelled);

  timers.tick();
  timers.runDue();
  EXPECT_EQ(fired, "b");
  timers.tick();
  timers.runDue();
  EXPECT_EQ(fired, "b");
  timers.tick();
  timers.runDue();
  EXPECT_EQ(fired, "bacd");
}

TEST(TimerQueue, ExpiryMayStartAndCancelTimers) {
  TimerQueue timers;
  int count = 0;
  TimerQueue::Id other = TimerQueue::kNoTimer;
  std::function<void()> again = [&] {
    if (++count < 3) timers.start(100, again);
  };
  timers.start(100, again);
  other = timers.start(500, [&] { count += 100; });
  for (int i = 0; i < 3; ++i) {
    timers.tick();
    timers.runDue();
  }
  EXPECT_EQ(count, 3);
  EXPECT_TRUE(timers.pending(other));
  timers.cancel(&other);
  EXPECT_EQ(other, TimerQueue::kNoTimer);
  for (int i = 0; i < 5; ++i) {
    timers.tick();
    timers.runDue();
  }
  EXPECT_EQ(count, 3);
}

}  // namespace
}  // namespace kmx::server
