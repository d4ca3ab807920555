#include "kmx_ipc.h"

#include <algorithm>
#include <limits>

#include "kmx/platform/last_error.h"

namespace kmx {

KMXIpc::KMXIpc(const char* name, std::span<const MailboxConfig> mailboxes, int32_t lockTimeoutMs)
    : lockTimeoutMs_(lockTimeoutMs) {
  if (name != nullptr) name_ = name;
  mailboxes_.reserve(mailboxes.size());
  for (const MailboxConfig& entry : mailboxes) {
    mailboxes_.push_back(Mailbox{entry.name, entry.mode, entry.messageSize, entry.capacity});
  }
  init_security_attributes();
}

KMXIpc::~KMXIpc() {
  Close();
  free_security_attributes();
}

bool KMXIpc::SetName(const char* name) {
  if (state_ == kReady) return false;
  Close();
  if (name != nullptr) {
    name_ = name;
  } else {
    name_.reset();
  }
  return true;
}

bool KMXIpc::Create() {
  if (state_ == kReady || !name_) return false;
  if (ipc_ == nullptr) {
    uint64_t messages = 0;
    uint32_t messageSize = 0;
    for (const Mailbox& m : mailboxes_) {
      messages += m.capacity;
      messageSize = std::max(messageSize, m.messageSize);
    }
    const auto messageCount =
        static_cast<uint32_t>(std::min<uint64_t>(messages, std::numeric_limits<uint32_t>::max()));
    ipc_ = IPC_create(name_->c_str(), static_cast<uint32_t>(mailboxes_.size()), messageCount,
                      messageSize, lockTimeoutMs_);
    if (ipc_ == nullptr) {
      state_ = kFailed;
      return false;
    }
  }
  for (Mailbox& m : mailboxes_) {
    if (m.handle != nullptr) continue;
    m.handle = IPC_create_mailbox(m.name.c_str(), m.mode, m.capacity, ipc_);
    if (m.handle == nullptr) {
      state_ = kFailed;
      return false;
    }
  }
  state_ = kReady;
  return true;
}

bool KMXIpc::Open() {
  if (state_ == kReady || !name_) return false;
  if (ipc_ == nullptr) {
    ipc_ = IPC_open(name_->c_str(), lockTimeoutMs_);
    if (ipc_ == nullptr) {
      state_ = kFailed;
      return false;
    }
  }
  for (Mailbox& m : mailboxes_) {
    if (m.handle != nullptr) continue;
    m.handle = IPC_open_mailbox(m.name.c_str(), m.mode, ipc_);
    if (m.handle == nullptr) {
      state_ = kFailed;
      return false;
    }
  }
  state_ = kReady;
  return true;
}

bool KMXIpc::Close() {
  bool ok = true;
  for (Mailbox& m : mailboxes_) {
    if (m.handle == nullptr) continue;
    if (ok && IPC_close_mailbox(m.handle, ipc_) == 0) ok = false;
    m.handle = nullptr;
  }
  if (ipc_ != nullptr) {
    if (IPC_close(ipc_) == 0) ok = false;
    ipc_ = nullptr;
  }
  state_ = kClosed;
  return ok;
}

void* KMXIpc::readyMailbox(uint32_t index) {
  if (state_ != kReady) return nullptr;
  if (index >= mailboxes_.size()) {
    SetLastError(IPC_ERR_INVALID_ARGUMENT | (GetLastError() & 0xFFFFu));
    return nullptr;
  }
  return mailboxes_[index].handle;
}

bool KMXIpc::SendMsg(uint32_t index, const void* data, uint32_t length) {
  void* mbox = readyMailbox(index);
  return mbox != nullptr && IPC_send(data, length, 1, &mbox, ipc_) != 0;
}

bool KMXIpc::SendMsgV(uint32_t index, const KMXBuffer* pieces, uint32_t count) {
  void* mbox = readyMailbox(index);
  return mbox != nullptr && IPC_sendv(pieces, count, 1, &mbox, ipc_) != 0;
}

bool KMXIpc::ReceiveMsg(uint32_t index, void* buffer, uint32_t capacity, int32_t waitMs,
                        uint32_t* received) {
  void* mbox = readyMailbox(index);
  return mbox != nullptr && IPC_receive(buffer, capacity, received, waitMs, 1, &mbox, ipc_) != 0;
}

bool KMXIpc::ReceiveMsgV(uint32_t index, KMXBuffer* pieces, uint32_t count, int32_t waitMs) {
  void* mbox = readyMailbox(index);
  return mbox != nullptr && IPC_receivev(pieces, count, waitMs, 1, &mbox, ipc_) != 0;
}

bool KMXIpc::ReceiveMsgPeek(uint32_t index, void* buffer, uint32_t length, int32_t waitMs,
                            uint32_t* received) {
  void* mbox = readyMailbox(index);
  uint32_t which = 0;
  return mbox != nullptr &&
         IPC_receive_peek(buffer, length, received, waitMs, 1, &mbox, &which, ipc_) != 0;
}

int KMXIpc::WaitHandle(uint32_t index) {
  void* mbox = readyMailbox(index);
  int event = -1;
  if (mbox == nullptr || IPC_get_mailbox_handles(1, &mbox, &event) == 0) return -1;
  return event;
}

}  // namespace kmx
