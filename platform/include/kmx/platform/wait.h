// Waiting on one or several descriptors with a time-out: one poll() over all of
// them, restarted after signals with the remaining time. waitForAny names the
// first ready descriptor; waitForReady reports all of them, for an event loop
// that serves every ready source in one turn.
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

// Waits until at least one descriptor is ready or timeoutMs passes (< 0: no
// limit), then marks every ready one in `ready` (as many entries as `fds`;
// POLLHUP and POLLERR count as ready; negative descriptors are left out).
// Returns the number of ready descriptors, 0 on time-out, or kWaitFailed
// (last-error set, also for a descriptor that is not open).
int waitForReady(std::span<const int> fds, std::span<uint8_t> ready, int32_t timeoutMs);

// The same with the time-out in microseconds (< 0: no limit), for a loop
// whose next deadline is closer than a millisecond can say.
int waitForReadyUs(std::span<const int> fds, std::span<uint8_t> ready, int64_t timeoutUs);

// Makes the calling thread's timed waits end when asked, not up to the
// kernel's default timer slack (50 us) later: for a loop whose deadlines are
// the arrival times of bytes on a line.
void wakeOnTime();

// Milliseconds on CLOCK_MONOTONIC.
int64_t monotonicMs();
// Microseconds on CLOCK_MONOTONIC.
int64_t monotonicUs();

}  // namespace kmx
