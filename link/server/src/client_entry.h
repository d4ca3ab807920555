// One connected client: its channel (commands in, replies and asynchronous
// messages out), the watch on its process, and the state the server keeps
// for it. The server's client table is its only owner; modules that keep a
// client beyond one call hear of its end through ClientObserver, and
// callbacks that may run later hold a weak reference.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>

#include "kmx/platform/process.h"
#include "kmx_ipc.h"
#include "kmx_messages.h"
#include "timer_queue.h"

namespace kmx::server {

// Idle: the server reads its next command. Serving: a command is under way
// and ends with finish*(). Closing: the client is to be retired.
enum class Busy : uint8_t { Idle = 0, Serving = 1, Closing = 2 };

class ClientEntry : public std::enable_shared_from_this<ClientEntry> {
 public:
  // How long the server waits for the mutex of a client's channel before it
  // takes the channel as unusable: a healthy client holds it for
  // microseconds, a stopped or damaged one for ever.
  static constexpr int32_t kLockTimeoutMs = 500;

  // `serial` names this connection for the server's whole run (ids are
  // reused by later clients, serials never).
  ClientEntry(uint64_t serial, uint32_t id, std::unique_ptr<KMXIpc> channel, ProcessWatch watch,
              uint32_t baudRate);
  ~ClientEntry();
  ClientEntry(const ClientEntry&) = delete;
  ClientEntry& operator=(const ClientEntry&) = delete;

  uint64_t serial() const { return serial_; }
  uint32_t id() const { return id_; }
  bool processEnded() const { return watch_.hasEnded(); }
  // True once an operation on the channel failed in a way that only a
  // damaged, stopped or vanished client explains (not a full mailbox).
  bool channelBroken() const { return channelBroken_; }
  // The descriptor that polls readable while a command waits.
  int commandFd() const;

  // Takes the next command without waiting; false when there is none.
  bool receiveCommand();
  std::span<const uint8_t> command() const { return {commandBuffer_.data(), commandLength_}; }
  uint32_t commandId() const;

  // The end of a command: its one reply (or none), and the client back to
  // idle so that its next command is read.
  void finish(std::span<const uint8_t> reply);
  void finishStatus(uint32_t status);
  void finishGathered(std::span<const KMXBuffer> pieces);
  // The UT's rejection (its 16-bit error code, then its text) in the fixed
  // 264-byte error reply, the text cut to 255 characters.
  void finishUtError(std::span<const uint8_t> response);
  void finishWithoutReply() { backToIdle(); }

  // A reply outside the command's own turn: the Xmodem owner is idle while
  // its transfer runs, and hears the outcome later.
  bool reply(std::span<const uint8_t> message);
  bool replyStatus(uint32_t status);
  // Sends an asynchronous message; false with the IPC error in `error`.
  bool sendAsync(std::span<const KMXBuffer> pieces, uint32_t* error);

  // A state-change message that could not be delivered yet: retried every
  // 10 ms, 100 tries in all, without holding up the server.
  struct PendingState {
    uint32_t state;
    int triesLeft;
    int64_t nextTryMs;
  };
  std::deque<PendingState>& pendingStates() { return pendingStates_; }

  Busy busy = Busy::Idle;
  bool connectionOpen = false;
  uint32_t stateMask = 0;
  uint32_t lastStateTold = 0;
  uint32_t dropCount = 0;
  uint32_t requestedBaudRate = 0;
  TimerQueue::Id openTimeout = TimerQueue::kNoTimer;

  // Working space of replies put together from several UT responses.
  std::array<uint8_t, msg::kMaxMessage> assembly{};
  uint32_t assemblyLength = 0;

 private:
  // Records a failed channel operation; `harmless` is the one IPC error
  // code a healthy client can cause.
  void noteFailure(uint32_t harmless);
  // A client marked for retirement while its command was under way stays
  // marked.
  void backToIdle() {
    if (busy != Busy::Closing) busy = Busy::Idle;
  }

  uint64_t serial_;
  uint32_t id_;
  bool channelBroken_ = false;
  std::unique_ptr<KMXIpc> channel_;
  ProcessWatch watch_;
  std::array<uint8_t, msg::kMaxMessage> commandBuffer_{};
  uint32_t commandLength_ = 0;
  std::deque<PendingState> pendingStates_;
};

}  // namespace kmx::server
