// The exported IPC_ functions.
//
// Each function validates its arguments and handles first (changing nothing
// when they are wrong), takes the object's mutex only around its work on the
// shared block, and waits for messages outside the mutex. A failure sets the
// last-error value to the library code ORed with the low half of the value
// that was current at the point of failure.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "block.h"
#include "handles.h"
#include "kmx/platform/last_error.h"
#include "kmx/platform/wait.h"
#include "kmxipc.h"

namespace kmx::ipc {
namespace {

uint32_t compose(uint32_t code) { return code | (GetLastError() & 0xFFFFu); }

int fail(uint32_t composed) {
  SetLastError(composed);
  return 0;
}

void* failNull(uint32_t composed) {
  SetLastError(composed);
  return nullptr;
}

// Runs an exported function's body so that no exception leaves the library:
// the only ones possible are allocation failures.
template <class Result, class Body>
Result guarded(Result onFailure, Body&& body) {
  try {
    return body();
  } catch (...) {
    SetLastError(compose(IPC_ERR_NO_MEMORY));
    return onFailure;
  }
}

bool validName(const char* name, std::string_view* out) {
  if (name == nullptr) return false;
  std::size_t length = strnlen(name, kMaxName + 1);
  if (length > kMaxName) return false;
  *out = std::string_view(name, length);
  return true;
}

bool validTimeout(int32_t timeout) { return timeout >= -1; }

MailboxHandle& mailboxAt(void* const* mboxes, uint32_t i) {
  return *static_cast<MailboxHandle*>(mboxes[i]);
}

// Tries at the mutex before sleeping on it. A receiver that has just seen a
// queued count usually meets the sender between its last store and its
// unlock, a matter of nanoseconds; a longer spin only burns time when the
// holder has been preempted.
constexpr int kLockSpins = 32;

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

bool spinningHelps() {
  static const bool several = sysconf(_SC_NPROCESSORS_ONLN) > 1;
  return several;
}

void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

// The object's mutex, held for the lifetime of this object unless released.
// An abandoned mutex (its owner died) counts as acquired. Critical sections
// are a few microseconds long, so with more than one processor the lock is
// first retried briefly instead of sleeping in the kernel at once: a sleeping
// waiter costs a wake-up on both sides, which is most of a round trip.
class BlockLock {
 public:
  explicit BlockLock(IpcHandle& ipc) : ipc_(ipc) {
    NamedMutex::LockResult result = NamedMutex::LockResult::TimedOut;
    if (ipc.lockTimeout != 0 && spinningHelps()) {
      // A busy try sets the last-error value; an eventual success must not
      // leave that behind.
      const uint32_t saved = GetLastError();
      for (int i = 0; i < kLockSpins; ++i) {
        result = ipc.mutex->lock(0);
        if (result != NamedMutex::LockResult::TimedOut) break;
        cpuRelax();
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
    return result;
  }

 private:
  IpcHandle& ipc_;
  bool held_ = false;
  uint32_t error_ = 0;
};

// Looks up the IPC handle and n mailbox handles that must belong to it; each
// mailbox's mode must include a bit of `modeMask` (0: any mode).
uint32_t checkHandles(void* ipcHandle, uint32_t n, void* const* mboxes, uint32_t modeMask,
                      IpcHandle** out) {
  Registry& registry = Registry::instance();
  auto guard = registry.lock();
  IpcHandle* ipc = registry.findIpc(ipcHandle);
  if (ipc == nullptr) return compose(IPC_ERR_NOT_IPC);
  for (uint32_t i = 0; i < n; ++i) {
    MailboxHandle* mbox = registry.findMailbox(mboxes[i]);
    if (mbox == nullptr || mbox->owner != ipc) return compose(IPC_ERR_NOT_MAILBOX);
    if (modeMask != 0 && (mbox->mode & modeMask) == 0) return compose(IPC_ERR_MODE);
  }
  *out = ipc;
  return 0;
}

// ---- work on the shared block (mutex held) --------------------------------

// Drops one reference to a slot; the last one unlinks it from the in-use
// list, gives back its queued descriptors and puts it on the free list.
uint32_t releaseSlot(Block& b, uint32_t slot) {
  const uint32_t open = b.load(slot + kSlotOpenCount);
  if (open == 0) return compose(IPC_ERR_CORRUPT);
  b.store(slot + kSlotOpenCount, open - 1);
  if (open > 1) return 0;

  uint32_t link = kHdrInUse;
  uint32_t current = b.load(link);
  bool found = false;
  for (uint32_t steps = 0; current != 0 && steps < b.slotBound(); ++steps) {
    if (!b.isSlot(current)) return compose(IPC_ERR_CORRUPT);
    if (current == slot) {
      b.store(link, b.load(slot + kSlotNext));
      found = true;
      break;
    }
    link = current + kSlotNext;
    current = b.load(link);
  }
  if (!found) return compose(IPC_ERR_MAILBOX_NOT_FOUND);

  const uint32_t queued = b.load(slot + kSlotQueued);
  uint32_t result = queued > b.descriptorBound() ? compose(IPC_ERR_CORRUPT) : 0;
  uint32_t descriptor = b.load(slot + kSlotFirst);
  for (uint32_t i = 0; i < queued && i < b.descriptorBound() && descriptor != 0; ++i) {
    if (!b.isDescriptor(descriptor)) {
      result = compose(IPC_ERR_CORRUPT);
      break;
    }
    const uint32_t next = b.load(descriptor + kDescNext);
    b.store(descriptor + kDescNext, b.load(kHdrFreeDescriptors));
    b.store(kHdrFreeDescriptors, descriptor);
    descriptor = next;
  }
  b.store(slot + kSlotQueued, 0);
  b.store(slot + kSlotFirst, 0);
  b.store(slot + kSlotLast, 0);
  b.store(slot + kSlotSuspended, 0);
  b.store(slot + kSlotNext, b.load(kHdrFreeSlots));
  b.store(kHdrFreeSlots, slot);
  return result;
}

// Sets a mailbox's event, which is a FIFO that is signalled while it holds a
// byte. This is called only when the queue goes from empty to non-empty, when
// the event is clear, so one write of one byte does it: the emptiness check
// that NamedEvent::set() makes first would cost a second system call on the
// hot path. A full FIFO (EAGAIN) is signalled already.
bool signalEvent(const MailboxHandle& mbox) {
  const char byte = 1;
  for (;;) {
    if (write(mbox.eventFd, &byte, 1) == 1) return true;
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return true;
    kmx::setLastErrorFromErrno();
    return false;
  }
}

// Queues one copy of the message gathered from `pieces` (total bytes, at most
// S) in the mailbox. Everything is checked before anything is changed, and
// the event is set (when the queue was empty) before the message is linked,
// so a failure leaves the mailbox as it was.
uint32_t enqueue(Block& b, MailboxHandle& mbox, const KMXBuffer* pieces, uint32_t pieceCount,
                 uint32_t total) {
  const uint32_t slot = mbox.slot;
  const uint32_t queued = b.load(slot + kSlotQueued);
  if (queued >= b.load(slot + kSlotCapacity)) return compose(IPC_ERR_MAILBOX_FULL);
  if (b.load(slot + kSlotSuspended) != 0) return compose(IPC_ERR_SUSPENDED);
  const uint32_t descriptor = b.load(kHdrFreeDescriptors);
  if (descriptor == 0) return compose(IPC_ERR_NO_DESCRIPTOR);
  if (!b.isDescriptor(descriptor)) return compose(IPC_ERR_CORRUPT);
  const uint32_t area = b.load(descriptor + kDescData);
  if (!b.isDataArea(area)) return compose(IPC_ERR_CORRUPT);
  uint32_t last = 0;
  if (queued > 0) {
    last = b.load(slot + kSlotLast);
    if (!b.isDescriptor(last)) return compose(IPC_ERR_CORRUPT);
  }
  if (queued == 0 && !signalEvent(mbox)) return compose(IPC_ERR_EVENT_SET);

  b.store(kHdrFreeDescriptors, b.load(descriptor + kDescNext));
  uint8_t* out = b.base() + area;
  for (uint32_t i = 0; i < pieceCount; ++i) {
    if (pieces[i].length == 0) continue;
    std::memcpy(out, pieces[i].data, pieces[i].length);
    out += pieces[i].length;
  }
  b.store(descriptor + kDescLength, total);
  b.store(descriptor + kDescNext, 0);
  if (queued == 0) {
    b.store(slot + kSlotFirst, descriptor);
  } else {
    b.store(last + kDescNext, descriptor);
  }
  b.store(slot + kSlotLast, descriptor);
  b.store(slot + kSlotQueued, queued + 1);
  return 0;
}

// The event of an empty mailbox is signalled: a sender died between setting
// it and linking its message in, or someone wrote to the event. Left alone,
// every waiter would wake for it again at once, so the caller (holding the
// mutex, so that no sender is between the two steps) clears it and reports
// the empty queue.
uint32_t clearStaleSignal(MailboxHandle& mbox) {
  if (!mbox.event->reset()) return compose(IPC_ERR_EVENT_RESET);
  return compose(IPC_ERR_EMPTY);
}

// Hands the oldest message of the mailbox to `sink`. sink.check(length)
// returns 0 or an error code (nothing changed); sink.copy(bytes, length) then
// takes the bytes. With `take` the message is removed and, when it was the
// last one, the event reset first, so a failing reset leaves it queued.
template <class Sink>
uint32_t dequeue(Block& b, MailboxHandle& mbox, bool take, Sink& sink) {
  const uint32_t slot = mbox.slot;
  const uint32_t queued = b.load(slot + kSlotQueued);
  if (queued == 0) return clearStaleSignal(mbox);
  const uint32_t descriptor = b.load(slot + kSlotFirst);
  if (!b.isDescriptor(descriptor)) return compose(IPC_ERR_CORRUPT);
  const uint32_t length = b.load(descriptor + kDescLength);
  const uint32_t area = b.load(descriptor + kDescData);
  if (length > b.maxMessageSize() || !b.isDataArea(area)) return compose(IPC_ERR_CORRUPT);
  const uint32_t next = b.load(descriptor + kDescNext);
  if (take && queued > 1 && !b.isDescriptor(next)) return compose(IPC_ERR_CORRUPT);
  if (uint32_t error = sink.check(length)) return error;
  if (take && queued == 1 && !mbox.event->reset()) return compose(IPC_ERR_EVENT_RESET);

  sink.copy(b.base() + area, length);
  if (!take) return 0;
  if (queued == 1) {
    b.store(slot + kSlotFirst, 0);
    b.store(slot + kSlotLast, 0);
  } else {
    b.store(slot + kSlotFirst, next);
  }
  b.store(descriptor + kDescNext, b.load(kHdrFreeDescriptors));
  b.store(kHdrFreeDescriptors, descriptor);
  b.store(slot + kSlotQueued, queued - 1);
  return 0;
}

// ---- waiting (mutex not held) ---------------------------------------------

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

// Common part of the three receives: argument checks, handles, wait, then the
// locked dequeue. Returns 0 or the error; *index gets the mailbox taken from.
template <class Sink>
uint32_t receiveInto(Sink& sink, bool take, int32_t timeout, uint32_t n, void* const* mboxes,
                     void* ipcHandle, uint32_t* index) {
  if (n == 0 || mboxes == nullptr || !validTimeout(timeout)) {
    return compose(IPC_ERR_INVALID_ARGUMENT);
  }
  IpcHandle* ipc = nullptr;
  if (uint32_t error = checkHandles(ipcHandle, n, mboxes, IPC_MODE_RECEIVE, &ipc)) return error;
  uint32_t error = 0;
  int ready = awaitMailbox(*ipc, n, mboxes, timeout, &error);
  if (ready < 0) return error;
  BlockLock lock(*ipc);
  if (lock.error() != 0) return lock.error();
  error = dequeue(ipc->block, mailboxAt(mboxes, static_cast<uint32_t>(ready)), take, sink);
  *index = static_cast<uint32_t>(ready);
  return lock.release(error);
}

// Common part of the two sends: pieces already checked, `total` their sum.
uint32_t sendPieces(const KMXBuffer* pieces, uint32_t pieceCount, uint64_t total, uint32_t n,
                    void* const* mboxes, void* ipcHandle) {
  IpcHandle* ipc = nullptr;
  if (uint32_t error = checkHandles(ipcHandle, n, mboxes, IPC_MODE_SEND, &ipc)) return error;
  BlockLock lock(*ipc);
  if (lock.error() != 0) return lock.error();
  uint32_t error = 0;
  if (total > ipc->block.maxMessageSize()) {
    error = compose(IPC_ERR_INVALID_ARGUMENT);
  } else {
    for (uint32_t i = 0; i < n && error == 0; ++i) {
      error = enqueue(ipc->block, mailboxAt(mboxes, i), pieces, pieceCount,
                      static_cast<uint32_t>(total));
    }
  }
  return lock.release(error);
}

// Releases a slot taken for a handle that could not be handed out.
void giveBackSlot(IpcHandle& ipc, uint32_t slot) {
  BlockLock lock(ipc);
  if (lock.error() == 0) lock.release(releaseSlot(ipc.block, slot));
}

// Registers a new mailbox handle; on failure gives its slot back.
void* publishMailbox(std::unique_ptr<MailboxHandle> mbox) {
  Registry& registry = Registry::instance();
  try {
    auto guard = registry.lock();
    registry.add(mbox.get());
  } catch (...) {
    uint32_t error = compose(IPC_ERR_NO_MEMORY);
    giveBackSlot(*mbox->owner, mbox->slot);
    return failNull(error);
  }
  return mbox.release();
}

// The checks and the local handle that creating and opening a mailbox share:
// the name and mode, the IPC handle, a handle for a mailbox of that object.
uint32_t newMailboxHandle(const char* name, uint32_t mode, void* ipcHandle, std::string_view* mboxName,
                          IpcHandle** ipc, std::unique_ptr<MailboxHandle>* mbox) {
  if (!validName(name, mboxName) || mode > IPC_MODE_SEND_RECEIVE) return compose(IPC_ERR_INVALID_ARGUMENT);
  if (uint32_t error = checkHandles(ipcHandle, 0, nullptr, 0, ipc)) return error;
  *mbox = std::make_unique<MailboxHandle>();
  (*mbox)->mode = mode;
  (*mbox)->owner = *ipc;
  return 0;
}

}  // namespace
}  // namespace kmx::ipc

using namespace kmx::ipc;

extern "C" {

void* IPC_create(const char* name, uint32_t mailboxCount, uint32_t messageCount,
                 uint32_t maxMessageSize, int32_t lockTimeout) {
  return guarded<void*>(nullptr, [&]() -> void* {
    std::string_view ipcName;
    if (!validName(name, &ipcName) || mailboxCount == 0 || messageCount == 0 ||
        maxMessageSize == 0 || !validTimeout(lockTimeout) ||
        blockSize(mailboxCount, messageCount, maxMessageSize) >
            std::numeric_limits<uint32_t>::max()) {
      return failNull(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    auto ipc = std::make_unique<IpcHandle>();
    ipc->name = ipcName;
    ipc->lockTimeout = lockTimeout;
    // The mutex is made before the block is published, so an opener that
    // finds the block always finds its mutex too.
    ipc->mutex = kmx::NamedMutex::create(ipc->name + "_m");
    if (!ipc->mutex) return failNull(compose(IPC_ERR_MUTEX_CREATE));
    const auto size = static_cast<uint32_t>(blockSize(mailboxCount, messageCount, maxMessageSize));
    ipc->mapping = kmx::SharedMemory::create(ipcName, size, [&](void* base) {
      Block::initialize(static_cast<uint8_t*>(base), ipcName, mailboxCount, messageCount,
                        maxMessageSize);
    });
    if (!ipc->mapping) return failNull(compose(IPC_ERR_MAPPING_CREATE));
    ipc->block = Block(static_cast<uint8_t*>(ipc->mapping->data()), size, maxMessageSize,
                       mailboxCount, messageCount);
    Registry& registry = Registry::instance();
    auto guard = registry.lock();
    registry.add(ipc.get());
    return ipc.release();
  });
}

void* IPC_open(const char* name, int32_t lockTimeout) {
  return guarded<void*>(nullptr, [&]() -> void* {
    std::string_view ipcName;
    if (!validName(name, &ipcName) || !validTimeout(lockTimeout)) {
      return failNull(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    auto ipc = std::make_unique<IpcHandle>();
    ipc->name = ipcName;
    ipc->lockTimeout = lockTimeout;
    ipc->mapping = kmx::SharedMemory::open(ipcName);
    if (!ipc->mapping) return failNull(compose(IPC_ERR_MAPPING_OPEN));
    auto* base = static_cast<uint8_t*>(ipc->mapping->data());
    const std::size_t size = ipc->mapping->size();
    const uint32_t maxMessageSize = Block::validateHeader(base, size, ipcName);
    if (maxMessageSize == 0) return failNull(compose(IPC_ERR_CORRUPT));
    ipc->block = Block(base, static_cast<uint32_t>(size), maxMessageSize, 0, 0);
    ipc->mutex = kmx::NamedMutex::open(ipc->name + "_m");
    if (!ipc->mutex) return failNull(compose(IPC_ERR_MUTEX_OPEN));
    Registry& registry = Registry::instance();
    auto guard = registry.lock();
    registry.add(ipc.get());
    return ipc.release();
  });
}

int IPC_close(void* ipcHandle) {
  return guarded(0, [&]() -> int {
    Registry& registry = Registry::instance();
    IpcHandle* ipc = nullptr;
    MailboxHandle* mailboxes = nullptr;
    {
      auto guard = registry.lock();
      ipc = registry.findIpc(ipcHandle);
      if (ipc == nullptr) return fail(compose(IPC_ERR_NOT_IPC));
      mailboxes = registry.remove(ipc);
    }
    std::unique_ptr<IpcHandle> owned(ipc);
    uint32_t error = 0;
    // Mailbox handles still open are closed with their IPC handle, so that
    // their slots are released and no descriptor is left behind.
    while (mailboxes != nullptr) {
      std::unique_ptr<MailboxHandle> mbox(mailboxes);
      mailboxes = mailboxes->next;
      BlockLock lock(*ipc);
      uint32_t result = lock.error();
      if (result == 0) result = lock.release(releaseSlot(ipc->block, mbox->slot));
      if (error == 0) error = result;
    }
    if (!ipc->mapping->close() && error == 0) error = compose(IPC_ERR_UNMAP);
    return error == 0 ? 1 : fail(error);
  });
}

void* IPC_create_mailbox(const char* name, uint32_t mode, uint32_t capacity, void* ipcHandle) {
  return guarded<void*>(nullptr, [&]() -> void* {
    std::string_view mboxName;
    IpcHandle* ipc = nullptr;
    std::unique_ptr<MailboxHandle> mbox;
    if (uint32_t error = newMailboxHandle(name, mode, ipcHandle, &mboxName, &ipc, &mbox)) return failNull(error);
    const std::string eventName = ipc->name + std::string(mboxName);

    BlockLock lock(*ipc);
    if (lock.error() != 0) return failNull(lock.error());
    Block& b = ipc->block;
    auto event = kmx::NamedEvent::create(eventName, kmx::NamedEvent::Reset::Manual, false);
    if (!event) return failNull(lock.release(compose(IPC_ERR_EVENT_CREATE)));
    const uint32_t slot = b.load(kHdrFreeSlots);
    if (slot == 0) return failNull(lock.release(compose(IPC_ERR_NO_SLOT)));
    if (!b.isSlot(slot)) return failNull(lock.release(compose(IPC_ERR_CORRUPT)));
    b.store(kHdrFreeSlots, b.load(slot + kSlotNext));
    b.writeName(slot + kSlotName, mboxName);
    b.store(slot + kSlotCapacity, capacity);
    b.store(slot + kSlotQueued, 0);
    b.store(slot + kSlotOpenCount, 1);
    b.store(slot + kSlotFirst, 0);
    b.store(slot + kSlotLast, 0);
    b.store(slot + kSlotSuspended, 0);
    b.store(slot + kSlotNext, b.load(kHdrInUse));
    b.store(kHdrInUse, slot);
    const uint32_t count = b.load(kHdrMailboxCount);
    if (count != std::numeric_limits<uint32_t>::max()) b.store(kHdrMailboxCount, count + 1);
    mbox->slot = slot;
    mbox->eventFd = event->fd();
    mbox->event = std::move(event);
    if (uint32_t error = lock.release(0)) {
      giveBackSlot(*ipc, slot);
      return failNull(error);
    }
    return publishMailbox(std::move(mbox));
  });
}

void* IPC_open_mailbox(const char* name, uint32_t mode, void* ipcHandle) {
  return guarded<void*>(nullptr, [&]() -> void* {
    std::string_view mboxName;
    IpcHandle* ipc = nullptr;
    std::unique_ptr<MailboxHandle> mbox;
    if (uint32_t error = newMailboxHandle(name, mode, ipcHandle, &mboxName, &ipc, &mbox)) return failNull(error);
    const std::string eventName = ipc->name + std::string(mboxName);

    BlockLock lock(*ipc);
    if (lock.error() != 0) return failNull(lock.error());
    Block& b = ipc->block;
    auto event = kmx::NamedEvent::open(eventName, kmx::NamedEvent::Reset::Manual);
    if (!event) return failNull(lock.release(compose(IPC_ERR_EVENT_OPEN)));
    // The walk is bounded by the creation count (as every process agrees)
    // and by the number of slots that fit, so a cycle cannot hold it.
    const uint32_t limit = std::min(b.load(kHdrMailboxCount), b.slotBound());
    uint32_t slot = b.load(kHdrInUse);
    bool found = false;
    for (uint32_t steps = 0; slot != 0 && steps < limit; ++steps) {
      if (!b.isSlot(slot)) return failNull(lock.release(compose(IPC_ERR_CORRUPT)));
      if (b.nameEquals(slot + kSlotName, mboxName)) {
        found = true;
        break;
      }
      slot = b.load(slot + kSlotNext);
    }
    if (!found) return failNull(lock.release(compose(IPC_ERR_MAILBOX_NOT_FOUND)));
    const uint32_t open = b.load(slot + kSlotOpenCount);
    if (open == std::numeric_limits<uint32_t>::max()) {
      return failNull(lock.release(compose(IPC_ERR_CORRUPT)));
    }
    b.store(slot + kSlotOpenCount, open + 1);
    mbox->slot = slot;
    mbox->eventFd = event->fd();
    mbox->event = std::move(event);
    if (uint32_t error = lock.release(0)) {
      giveBackSlot(*ipc, slot);
      return failNull(error);
    }
    return publishMailbox(std::move(mbox));
  });
}

int IPC_close_mailbox(void* mboxHandle, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    Registry& registry = Registry::instance();
    IpcHandle* ipc = nullptr;
    MailboxHandle* mbox = nullptr;
    {
      auto guard = registry.lock();
      ipc = registry.findIpc(ipcHandle);
      if (ipc == nullptr) return fail(compose(IPC_ERR_NOT_IPC));
      mbox = registry.findMailbox(mboxHandle);
      if (mbox == nullptr || mbox->owner != ipc) return fail(compose(IPC_ERR_NOT_MAILBOX));
    }
    // The handle stays valid (and its event open) until its slot reference is
    // dropped, so a lock time-out leaves a handle that can be closed again.
    BlockLock lock(*ipc);
    if (lock.error() != 0) return fail(lock.error());
    uint32_t error = lock.release(releaseSlot(ipc->block, mbox->slot));
    {
      auto guard = registry.lock();
      registry.remove(mbox);
    }
    delete mbox;
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_send(const void* data, uint32_t length, uint32_t n, void* const* mboxes, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (length == 0 || data == nullptr || n == 0 || mboxes == nullptr) {
      return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    const KMXBuffer piece{const_cast<void*>(data), length};
    uint32_t error = sendPieces(&piece, 1, length, n, mboxes, ipcHandle);
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_sendv(const KMXBuffer* pairs, uint32_t pairCount, uint32_t n, void* const* mboxes,
              void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (pairCount == 0 || pairs == nullptr || n == 0 || mboxes == nullptr) {
      return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    uint64_t total = 0;
    for (uint32_t i = 0; i < pairCount; ++i) {
      if (pairs[i].data == nullptr && pairs[i].length != 0) {
        return fail(compose(IPC_ERR_INVALID_ARGUMENT));
      }
      total += pairs[i].length;
    }
    uint32_t error = sendPieces(pairs, pairCount, total, n, mboxes, ipcHandle);
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_receive(void* buf, uint32_t bufSize, uint32_t* outLength, int32_t timeout, uint32_t n,
                void* const* mboxes, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (buf == nullptr && bufSize != 0) return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    struct {
      void* buf;
      uint32_t size;
      uint32_t received = 0;
      uint32_t check(uint32_t length) const {
        return length > size ? compose(IPC_ERR_BUFFER_TOO_SMALL) : 0;
      }
      void copy(const uint8_t* bytes, uint32_t length) {
        if (length != 0) std::memcpy(buf, bytes, length);
        received = length;
      }
    } sink{buf, bufSize};
    uint32_t index = 0;
    uint32_t error = receiveInto(sink, true, timeout, n, mboxes, ipcHandle, &index);
    if (error != 0) return fail(error);
    if (outLength != nullptr) *outLength = sink.received;
    return 1;
  });
}

int IPC_receive_peek(void* buf, uint32_t bufSize, uint32_t* outLength, int32_t timeout, uint32_t n,
                     void* const* mboxes, uint32_t* outIndex, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (buf == nullptr && bufSize != 0) return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    struct {
      void* buf;
      uint32_t size;
      uint32_t received = 0;
      uint32_t check(uint32_t) const { return 0; }
      void copy(const uint8_t* bytes, uint32_t length) {
        received = std::min(length, size);
        if (received != 0) std::memcpy(buf, bytes, received);
      }
    } sink{buf, bufSize};
    uint32_t index = 0;
    uint32_t error = receiveInto(sink, false, timeout, n, mboxes, ipcHandle, &index);
    if (error != 0) return fail(error);
    if (outLength != nullptr) *outLength = sink.received;
    if (outIndex != nullptr) *outIndex = index;
    return 1;
  });
}

int IPC_receivev(KMXBuffer* pairs, uint32_t pairCount, int32_t timeout, uint32_t n,
                 void* const* mboxes, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (pairs == nullptr && pairCount != 0) return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    uint64_t capacity = 0;
    for (uint32_t i = 0; i < pairCount; ++i) {
      if (pairs[i].data == nullptr && pairs[i].length != 0) {
        return fail(compose(IPC_ERR_INVALID_ARGUMENT));
      }
      capacity += pairs[i].length;
    }
    struct {
      KMXBuffer* pairs;
      uint32_t count;
      uint64_t capacity;
      uint32_t check(uint32_t length) const {
        return length > capacity ? compose(IPC_ERR_BUFFER_TOO_SMALL) : 0;
      }
      void copy(const uint8_t* bytes, uint32_t length) {
        for (uint32_t i = 0; i < count; ++i) {
          const uint32_t part = std::min(length, pairs[i].length);
          if (part != 0) std::memcpy(pairs[i].data, bytes, part);
          pairs[i].length = part;
          bytes += part;
          length -= part;
        }
      }
    } sink{pairs, pairCount, capacity};
    uint32_t index = 0;
    uint32_t error = receiveInto(sink, true, timeout, n, mboxes, ipcHandle, &index);
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_select(uint32_t n, void* const* mboxes, uint32_t* queued, uint32_t* openCounts,
               int lockFlag, int32_t timeout, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (n == 0 || mboxes == nullptr || !validTimeout(timeout)) {
      return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    IpcHandle* ipc = nullptr;
    if (uint32_t error = checkHandles(ipcHandle, n, mboxes, IPC_MODE_RECEIVE, &ipc)) {
      return fail(error);
    }
    uint32_t error = 0;
    const int ready = awaitMailbox(*ipc, n, mboxes, timeout, &error);
    if (ready < 0) return fail(error);
    std::optional<BlockLock> lock;
    if (lockFlag != 0) {
      lock.emplace(*ipc);
      if (lock->error() != 0) return fail(lock->error());
    }
    const Block& b = ipc->block;
    MailboxHandle& woken = mailboxAt(mboxes, static_cast<uint32_t>(ready));
    if (b.peekQueued(woken.slot) == 0) {
      // Woken by a signal without a message: cleared under the mutex, so
      // that the next select waits.
      std::optional<BlockLock> clearing;
      if (!lock) clearing.emplace(*ipc);
      if ((lock || clearing->error() == 0) && b.load(woken.slot + kSlotQueued) == 0) {
        clearStaleSignal(woken);
      }
    }
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t slot = mailboxAt(mboxes, i).slot;
      if (queued != nullptr) queued[i] = b.load(slot + kSlotQueued);
      if (openCounts != nullptr) openCounts[i] = b.load(slot + kSlotOpenCount);
    }
    if (lock) error = lock->release(0);
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_get_mailbox_handles(uint32_t n, void* const* mboxes, int* outEvents) {
  return guarded(0, [&]() -> int {
    if (n == 0 || mboxes == nullptr || outEvents == nullptr) {
      return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    }
    Registry& registry = Registry::instance();
    auto guard = registry.lock();
    for (uint32_t i = 0; i < n; ++i) {
      if (registry.findMailbox(mboxes[i]) == nullptr) return fail(compose(IPC_ERR_NOT_MAILBOX));
    }
    for (uint32_t i = 0; i < n; ++i) outEvents[i] = mailboxAt(mboxes, i).eventFd;
    return 1;
  });
}

int IPC_suspend_mailbox(uint32_t n, void* const* mboxes, uint32_t flag, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (n == 0 || mboxes == nullptr) return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    IpcHandle* ipc = nullptr;
    if (uint32_t error = checkHandles(ipcHandle, n, mboxes, 0, &ipc)) return fail(error);
    BlockLock lock(*ipc);
    if (lock.error() != 0) return fail(lock.error());
    for (uint32_t i = 0; i < n; ++i) {
      ipc->block.store(mailboxAt(mboxes, i).slot + kSlotSuspended, flag);
    }
    uint32_t error = lock.release(0);
    return error == 0 ? 1 : fail(error);
  });
}

int IPC_mailbox_state(uint32_t n, void* const* mboxes, uint32_t* capacities, uint32_t* queued,
                      uint32_t* openCounts, uint32_t* suspended, void* ipcHandle) {
  return guarded(0, [&]() -> int {
    if (n == 0 || mboxes == nullptr) return fail(compose(IPC_ERR_INVALID_ARGUMENT));
    IpcHandle* ipc = nullptr;
    if (uint32_t error = checkHandles(ipcHandle, n, mboxes, 0, &ipc)) return fail(error);
    BlockLock lock(*ipc);
    if (lock.error() != 0) return fail(lock.error());
    const Block& b = ipc->block;
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t slot = mailboxAt(mboxes, i).slot;
      if (capacities != nullptr) capacities[i] = b.load(slot + kSlotCapacity);
      if (queued != nullptr) queued[i] = b.load(slot + kSlotQueued);
      if (openCounts != nullptr) openCounts[i] = b.load(slot + kSlotOpenCount);
      if (suspended != nullptr) suspended[i] = b.load(slot + kSlotSuspended);
    }
    uint32_t error = lock.release(0);
    return error == 0 ? 1 : fail(error);
  });
}

}  // extern "C"
