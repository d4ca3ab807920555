// Waiting on one or several descriptors with a time-out: one poll() over all of
// them, restarted after signals with the remaining time.
#pragma once

#include <cstdint>
#include <span>

namespace kmx {

inline constexpr int kWaitTimedOut = -1;
inline constexpr int kWaitFailed = -2;

// Returns the index of the first descriptor that is readable, kWaitTimedOut
// when none became readable within timeoutMs (< 0: no limit), or kWaitFailed
// (last-error set). POLLHUP and POLLERR count as readable, so a closed peer
// wakes the waiter.
int waitForAny(std::span<const int> fds, int32_t timeoutMs);

// Milliseconds on CLOCK_MONOTONIC.
int64_t monotonicMs();

}  // namespace kmx
