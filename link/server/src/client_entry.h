// One connected client: its channel (commands in, replies and asynchronous
// messages out), the watch on its process, and the state the server keeps
// for it.
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

enum class Busy : uint8_t { Idle = 0, Serving = 1, Closing = 2 };

class ClientEntry {
 public:
  ClientEntry(uint32_t id, std::unique_ptr<KMXIpc> channel, ProcessWatch watch, uint32_t baudRate);
  ~ClientEntry();
  ClientEntry(const ClientEntry&) = delete;
  ClientEntry& operator=(const ClientEntry&) = delete;

  uint32_t id() const { return id_; }
  bool processEnded() const { return watch_.hasEnded(); }
  // The descriptor that polls readable while a command waits.
  int commandFd() const;

  // Takes the next command without waiting; false when there is none.
  bool receiveCommand();
  std::span<const uint8_t> command() const { return {commandBuffer_.data(), commandLength_}; }
  uint32_t commandId() const;

  bool reply(std::span<const uint8_t> message);
  bool replyStatus(uint32_t status);
  bool replyGathered(std::span<const KMXBuffer> pieces);
  // The UT's rejection (its 16-bit error code, then its text) in the fixed
  // 264-byte error reply, the text cut to 255 characters.
  bool replyUtError(std::span<const uint8_t> response);
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
  uint32_t id_;
  std::unique_ptr<KMXIpc> channel_;
  ProcessWatch watch_;
  std::array<uint8_t, msg::kMaxMessage> commandBuffer_{};
  uint32_t commandLength_ = 0;
  std::deque<PendingState> pendingStates_;
};

}  // namespace kmx::server
