// The IPC object's mutex around work on the shared block, and the processor
// helpers that brief spins use.
#pragma once

#include <sched.h>
#include <unistd.h>

#include <cstdint>

#include "errors.h"
#include "handles.h"

namespace kmx::ipc {

// Tries at the mutex before sleeping on it. A receiver that has just seen a
// queued count usually meets the sender between its last store and its
// unlock, a matter of nanoseconds; a longer spin only burns time when the
// holder has been preempted.
constexpr int kLockSpins = 32;
// Then it gives up the processor a few times before it sleeps. A sender sets
// the event with the lock held, and the receiver it wakes often runs on the
// sender's processor at once, preempting it: the holder cannot let go while
// the receiver spins, but yielding lets it run to its unlock. Sleeping on the
// mutex instead costs a system call on each side and two more switches.
constexpr int kLockYields = 4;

inline bool spinningHelps() {
  static const bool several = sysconf(_SC_NPROCESSORS_ONLN) > 1;
  return several;
}

inline void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

// The object's mutex, held for the lifetime of this object unless released.
// An abandoned mutex (its owner died) counts as acquired. A block that was
// found shrunk under its mapping (see mapping_guard.h) is corrupt: the lock
// is then not taken, and work done under it fails all the same. Critical sections
// are a few microseconds long, so the lock is first retried briefly (spinning
// with more than one processor, then yielding) instead of sleeping in the
// kernel at once: a sleeping waiter costs a wake-up on both sides, which is
// most of a round trip.
class BlockLock {
 public:
  explicit BlockLock(IpcHandle& ipc) : ipc_(ipc) {
    if (damaged()) {
      error_ = compose(IPC_ERR_CORRUPT);
      return;
    }
    NamedMutex::LockResult result = NamedMutex::LockResult::TimedOut;
    if (ipc.lockTimeout != 0) {
      // A busy try sets the last-error value; an eventual success must not
      // leave that behind. On one processor the holder cannot run while we
      // spin, so only the yields are tried.
      const uint32_t saved = GetLastError();
      const int spins = spinningHelps() ? kLockSpins : 0;
      for (int i = 0; i < spins + kLockYields; ++i) {
        result = ipc.mutex->lock(0);
        if (result != NamedMutex::LockResult::TimedOut) break;
        if (i < spins) {
          cpuRelax();
        } else {
          sched_yield();
        }
      }
      if (result != NamedMutex::LockResult::Failed) SetLastError(saved);
    }
    if (result == NamedMutex::LockResult::TimedOut) result = ipc.mutex->lock(ipc.lockTimeout);
    switch (result) {
      case NamedMutex::LockResult::Acquired:
      case NamedMutex::LockResult::Abandoned:
        held_ = true;
        break;
      case NamedMutex::LockResult::TimedOut:
        error_ = compose(IPC_ERR_LOCK_TIMEOUT);
        break;
      case NamedMutex::LockResult::Failed:
        error_ = compose(IPC_ERR_WAIT_ONE);
        break;
    }
  }
  ~BlockLock() {
    if (held_) ipc_.mutex->unlock();
  }
  BlockLock(const BlockLock&) = delete;
  BlockLock& operator=(const BlockLock&) = delete;

  uint32_t error() const { return error_; }

  // Releases the mutex. `result` is the operation's outcome so far; a failed
  // release turns a success into IPC_ERR_MUTEX_RELEASE and leaves an earlier
  // failure as it was.
  uint32_t release(uint32_t result) {
    held_ = false;
    if (!ipc_.mutex->unlock() && result == 0) return compose(IPC_ERR_MUTEX_RELEASE);
    if (damaged()) return compose(IPC_ERR_CORRUPT);
    return result;
  }

 private:
  bool damaged() const { return ipc_.mapping && ipc_.mapping->damaged(); }

  IpcHandle& ipc_;
  bool held_ = false;
  uint32_t error_ = 0;
};

}  // namespace kmx::ipc
