// Process-local handle objects and the registry of live handles.
//
// Handles are plain pointers handed to C callers, so a caller can pass back
// anything: a closed handle, a handle of the other kind, a mailbox handle of
// another IPC object, or a pointer that never was a handle. The registry holds
// every live handle; a pointer is only dereferenced after the registry has
// confirmed it, then its marker tells the kind. (Using a handle in one thread
// while another thread closes it remains the caller's error.)
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>

#include "block.h"
#include "kmx/platform/named_event.h"
#include "kmx/platform/named_mutex.h"
#include "kmx/platform/shared_memory.h"

namespace kmx::ipc {

inline constexpr uint32_t kIpcMarker = 0xF1234567u;
inline constexpr uint32_t kMailboxMarker = 0xF89ABCDEu;

struct MailboxHandle;

struct IpcHandle {
  uint32_t marker = kIpcMarker;
  std::unique_ptr<SharedMemory> mapping;
  std::unique_ptr<NamedMutex> mutex;
  int32_t lockTimeout = -1;
  Block block;
  std::string name;
  // Mailbox handles opened through this handle (guarded by the registry lock).
  MailboxHandle* mailboxes = nullptr;
};

struct MailboxHandle {
  uint32_t marker = kMailboxMarker;
  uint32_t mode = 0;
  std::unique_ptr<NamedEvent> event;
  int eventFd = -1;
  uint32_t slot = 0;  // offset of the slot in the block
  IpcHandle* owner = nullptr;
  MailboxHandle* prev = nullptr;  // in owner->mailboxes
  MailboxHandle* next = nullptr;
  // Receive waits on this mailbox whose spin caught nothing, in a row (capped),
  // and waits that went straight to sleep since then.
  std::atomic<uint32_t> spinMisses{0};
  std::atomic<uint32_t> waitsWithoutSpin{0};
};

// The i-th of an array of mailbox handles that the registry has confirmed.
inline MailboxHandle& mailboxAt(void* const* mboxes, uint32_t i) {
  return *static_cast<MailboxHandle*>(mboxes[i]);
}

class Registry {
 public:
  static Registry& instance();

  std::unique_lock<std::mutex> lock() { return std::unique_lock<std::mutex>(mutex_); }

  // The following require the lock.
  IpcHandle* findIpc(const void* p) const;
  MailboxHandle* findMailbox(const void* p) const;
  // May throw std::bad_alloc; then nothing was added.
  void add(IpcHandle* ipc);
  void add(MailboxHandle* mbox);  // also links it into its owner's list
  // Removes the IPC handle and every mailbox handle of it; returns those
  // mailbox handles as a list (linked through next) for the caller to close.
  MailboxHandle* remove(IpcHandle* ipc);
  void remove(MailboxHandle* mbox);

 private:
  Registry() = default;
  std::mutex mutex_;
  std::unordered_set<const void*> live_;
};

}  // namespace kmx::ipc
