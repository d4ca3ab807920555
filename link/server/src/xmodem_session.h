// Xmodem mode: for a software download the server leaves the framed link,
// hands the port to one client (the owner), cuts its data into 1024-byte
// blocks with an 8-bit checksum and follows the receiver's ACK, NAK and CAN.
// The owner drives it with command 22 (enter, send data, end) and may cancel
// a waiting command with command 47.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "client_entry.h"
#include "client_observer.h"
#include "timer_queue.h"
#include "ut_link.h"

namespace kmx::server {

class LinkManager;

class XmodemSession : public ClientObserver {
 public:
  static constexpr std::size_t kDataSize = 1024;
  static constexpr std::size_t kBlockSize = kDataSize + 4;  // STX, number, complement, data, sum
  static constexpr int kStartMs = 2500;
  static constexpr int kBlockMs = 60000;
  static constexpr int kMaxNaks = 10;

  XmodemSession(UtLink& link, LinkManager& manager, TimerQueue& timers);
  ~XmodemSession();

  bool active() const { return owner_ != nullptr; }
  const ClientEntry* owner() const { return owner_; }

  void command(ClientEntry& client);   // 22
  void cancel(ClientEntry& client);    // 47
  void bytes(std::span<const uint8_t> received);  // from the port, while active
  void ctsLost();
  // The owner's end ends the session, whether or not it opened its
  // connection.
  void clientRetiring(ClientEntry& client) override;

 private:
  enum class State { WaitingForReceiver = 0, Ready = 1, BlockSent = 2, EndSent = 3 };
  enum class Event { Timer, Nak, Ack, Can, Cancel, CtsLost };

  void enter(ClientEntry& client);
  void entryRefused(ClientEntry& client, RequestStatus status, std::span<const uint8_t> response);
  void begin(ClientEntry& client);
  void leave();
  void handle(Event event);
  void send(bool repeat);
  void reply(uint32_t status);
  void finish(uint32_t status);
  void write(std::span<const uint8_t> bytes);
  // Writes the last block built (sent_); its answer timer starts when the
  // port has taken it.
  void writeBlock();
  void writeCanBs();
  void startTimer(int ms);
  void stopTimer();
  bool timerStartPending() const;

  UtLink& link_;
  LinkManager& manager_;
  TimerQueue& timers_;
  ClientEntry* owner_ = nullptr;
  State state_ = State::WaitingForReceiver;
  TimerQueue::Id timer_ = TimerQueue::kNoTimer;
  // Bumped by every start and stop of the timer: a block's deferred start
  // runs only if nothing touched the timer since the block was written.
  uint64_t timerEpoch_ = 0;
  uint64_t pendingStart_ = ~uint64_t{0};

  uint8_t blockNumber_ = 0;
  int retries_ = 0;
  std::array<uint8_t, kBlockSize> building_{};  // the block being filled
  std::size_t buildLength_ = 0;
  std::array<uint8_t, kBlockSize> sent_{};      // the last block written, for repeats
  // The data of the owner's last send-data command (copied: the owner may
  // send command 47 meanwhile, which lands in its command buffer).
  std::vector<uint8_t> data_;
  std::size_t position_ = 0;
  bool lastData_ = false;
};

}  // namespace kmx::server
