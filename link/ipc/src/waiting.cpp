#include "waiting.h"

#include <chrono>
#include <span>
#include <vector>

#include "errors.h"
#include "kmx/platform/wait.h"
#include "lock.h"

namespace kmx::ipc {
namespace {

// A receiver that finds nothing queued watches the queued counts for a while
// before it sleeps in poll(). A message that arrives meanwhile is taken
// without a wake-up from the kernel, which is most of the cost of a round
// trip; a wait that outlasts the spin costs that much processor time. So the
// spin stops after a few misses in a row on a mailbox (its peer is slow, or
// the machine busy) and is tried again only every so many waits; one catch
// turns it back on. The spin outlasts a sleeping peer's wake-up, so a probe
// can succeed even when both sides had stopped spinning.
constexpr auto kSpinTime = std::chrono::microseconds(50);
constexpr uint32_t kMissesBeforeStop = 2;
constexpr uint32_t kProbeEvery = 64;

// The first mailbox whose queue is not empty, by its count, or -1. The count
// is read without the mutex: it only chooses where to look.
int firstNonEmpty(const Block& b, uint32_t n, void* const* mboxes) {
  for (uint32_t i = 0; i < n; ++i) {
    if (b.peekQueued(mailboxAt(mboxes, i).slot) != 0) return static_cast<int>(i);
  }
  return -1;
}

int spinForMessage(const IpcHandle& ipc, uint32_t n, void* const* mboxes) {
  MailboxHandle& first = mailboxAt(mboxes, 0);
  const uint32_t misses = first.spinMisses.load(std::memory_order_relaxed);
  if (misses >= kMissesBeforeStop &&
      first.waitsWithoutSpin.fetch_add(1, std::memory_order_relaxed) % kProbeEvery !=
          kProbeEvery - 1) {
    return -1;
  }
  const auto deadline = std::chrono::steady_clock::now() + kSpinTime;
  do {
    for (int k = 0; k < 32; ++k) {
      cpuRelax();
      int index = firstNonEmpty(ipc.block, n, mboxes);
      if (index >= 0) {
        if (misses != 0) first.spinMisses.store(0, std::memory_order_relaxed);
        return index;
      }
    }
  } while (std::chrono::steady_clock::now() < deadline);
  if (misses < kMissesBeforeStop) first.spinMisses.store(misses + 1, std::memory_order_relaxed);
  return -1;
}

}  // namespace

// Waits until one of the mailboxes holds a message and returns its index, or
// returns -1 with *error set. A mailbox's event is signalled exactly while its
// queue is non-empty, so checking the counts first (and spinning briefly)
// gives the same answer as poll() without a system call.
int awaitMailbox(const IpcHandle& ipc, uint32_t n, void* const* mboxes, int32_t timeout,
                 uint32_t* error) {
  int index = firstNonEmpty(ipc.block, n, mboxes);
  if (index >= 0) return index;
  if (timeout != 0 && spinningHelps()) {
    index = spinForMessage(ipc, n, mboxes);
    if (index >= 0) return index;
  }

  constexpr uint32_t kOnStack = 64;
  int onStack[kOnStack];
  std::vector<int> onHeap;
  int* fds = onStack;
  if (n > kOnStack) {
    onHeap.resize(n);
    fds = onHeap.data();
  }
  for (uint32_t i = 0; i < n; ++i) fds[i] = mailboxAt(mboxes, i).eventFd;
  index = waitForAny(std::span<const int>(fds, n), timeout);
  if (index >= 0) return index;
  if (index == kWaitTimedOut) {
    *error = compose(IPC_ERR_TIMEOUT);
  } else {
    *error = compose(n == 1 ? IPC_ERR_WAIT_ONE : IPC_ERR_WAIT_MANY);
  }
  return -1;
}

}  // namespace kmx::ipc
