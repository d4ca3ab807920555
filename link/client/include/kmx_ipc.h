// KMXIpc: one IPC object together with a fixed table of its mailboxes, as
// used by both the client library (which creates channels) and the link
// server (which opens them).
//
// State: 0 closed, 1 the last Create or Open failed, 2 ready. A failed Create
// or Open keeps what it made or opened, and the next Create or Open goes on
// from there. Messaging calls fail at once, without calling the IPC library
// (and so without touching the last-error value), unless the channel is
// ready. Every other failure leaves the IPC library's error code in the
// calling thread's last-error value.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kmxipc.h"

namespace kmx {

// One mailbox of a channel: name, mode (IPC_MODE_*), message size, capacity.
struct MailboxConfig {
  const char* name;
  uint32_t mode;
  uint32_t messageSize;
  uint32_t capacity;
};

// The operation names carried by the client library's error texts.
inline constexpr const char kIpcCreateFailed[] = "KMXIpc::Create() failed";
inline constexpr const char kIpcOpenFailed[] = "KMXIpc::Open() failed";
inline constexpr const char kIpcSendMsgFailed[] = "KMXIpc::SendMsg() failed";
inline constexpr const char kIpcSendMsgVFailed[] = "KMXIpc::SendMsgV() failed";
inline constexpr const char kIpcReceiveMsgFailed[] = "KMXIpc::ReceiveMsg() failed";
inline constexpr const char kIpcReceiveMsgVFailed[] = "KMXIpc::ReceiveMsgV() failed";
inline constexpr const char kIpcReceiveMsgPeekFailed[] = "KMXIpc::ReceiveMsgPeek() failed";

class KMXIpc {
 public:
  enum State : int { kClosed = 0, kFailed = 1, kReady = 2 };

  // `name` may be null (set later with SetName). Copies the name and the
  // table; takes a reference on the process's security attributes.
  // `lockTimeoutMs` bounds every wait for the IPC object's mutex (-1: no
  // limit), for a side that must not wait on a peer it cannot trust.
  KMXIpc(const char* name, std::span<const MailboxConfig> mailboxes, int32_t lockTimeoutMs = IPC_INFINITE);
  // Closes the channel and drops the security attributes reference.
  ~KMXIpc();
  KMXIpc(const KMXIpc&) = delete;
  KMXIpc& operator=(const KMXIpc&) = delete;

  // Refused (false, nothing changes) while ready; otherwise closes whatever
  // is open and stores the new name (null: none).
  bool SetName(const char* name);

  // Create: refused while ready or without a name. Creates the IPC object
  // (mailbox count, sum of the capacities, largest message size, the lock
  // time-out) unless one is held, then every mailbox that has no handle yet.
  bool Create();
  // Open: the same with IPC_open and IPC_open_mailbox.
  bool Open();
  // Closes every held handle; true when every close succeeded. State 0. A
  // mailbox whose mutex could not be had ends the mailbox closes: the IPC
  // handle's close lets go of the rest without waiting again.
  bool Close();

  // Mailbox `index` is the position in the table given at construction.
  bool SendMsg(uint32_t index, const void* data, uint32_t length);
  bool SendMsgV(uint32_t index, const KMXBuffer* pieces, uint32_t count);
  // waitMs: -1 without limit, 0 without waiting. *received (optional) gets
  // the message length.
  bool ReceiveMsg(uint32_t index, void* buffer, uint32_t capacity, int32_t waitMs,
                  uint32_t* received);
  // Scatters the message over the pieces; each piece's length is set to what
  // it received.
  bool ReceiveMsgV(uint32_t index, KMXBuffer* pieces, uint32_t count, int32_t waitMs);
  // Copies at most `length` bytes of the next message, leaving it queued;
  // *received (optional) gets the number copied.
  bool ReceiveMsgPeek(uint32_t index, void* buffer, uint32_t length, int32_t waitMs,
                      uint32_t* received);
  // The mailbox's event descriptor (readable while messages are queued), or
  // -1. It belongs to the channel: do not close it.
  int WaitHandle(uint32_t index);

  State state() const { return state_; }
  // The IPC object's name, or null when none is set.
  const char* name() const { return name_ ? name_->c_str() : nullptr; }
  std::size_t mailboxCount() const { return mailboxes_.size(); }

 private:
  struct Mailbox {
    std::string name;
    uint32_t mode;
    uint32_t messageSize;
    uint32_t capacity;
    void* handle = nullptr;
  };

  // The handle of mailbox `index` when the channel is ready, else null (the
  // last-error value is set only for an index outside the table).
  void* readyMailbox(uint32_t index);

  std::optional<std::string> name_;
  std::vector<Mailbox> mailboxes_;
  void* ipc_ = nullptr;
  int32_t lockTimeoutMs_;
  State state_ = kClosed;
};

}  // namespace kmx
