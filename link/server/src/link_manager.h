// The state machine that finds the UT and keeps the link to it: it watches
// CTS, synchronises with a probe, falls back to 9600 bit/s and resets the UT
// through RTS when probes fail, moves the link to the fastest rate the open
// clients asked for, pings an idle link, and tells clients of state changes.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "client_entry.h"
#include "client_observer.h"
#include "timer_queue.h"
#include "ut_link.h"

namespace kmx::server {

class XmodemSession;

class LinkManager : public UtLinkEvents, public ClientObserver {
 public:
  LinkManager(UtLink& link, TimerQueue& timers);
  ~LinkManager() override;

  // Asynchronous packets while the link is Up, and the hook told of every
  // change to Establishing, Up or Down before clients hear of it.
  std::function<void(uint8_t type, std::span<const uint8_t> bytes)> onUnsolicited;
  std::function<void(LinkState state)> onStateChange;

  // Command 17 (open connection) and command 7 (set baud rate).
  void openConnection(ClientEntry& client);
  void setBaudRate(ClientEntry& client);
  // A client is going away: its open time-out ends, and it leaves the
  // open-client list (the last one takes the link down to Initial).
  void clientRetiring(ClientEntry& client) override;
  bool isOpenClient(const ClientEntry& client) const;

  // Xmodem mode takes the port: the link goes down while it lasts and is
  // started again (for the open clients) when it ends.
  void setXmodem(XmodemSession* xmodem) { xmodem_ = xmodem; }
  void enterXmodem();
  void leaveXmodem();

  // Retries state-change messages that found a full mailbox; returns the time
  // of the next retry, or -1.
  int64_t retryPendingStates(int64_t nowMs);

  // UtLinkEvents
  void requestFailed() override;
  void packetWhileNotUp() override;
  void unsolicited(uint8_t type, std::span<const uint8_t> bytes) override;

  // The rate the link should run at: the highest any open client asked for,
  // at least 9600.
  uint32_t targetRate() const;

  // Asynchronous messages that could not be delivered to any client since
  // the link last went down.
  uint32_t totalDrops = 0;

 private:
  void ctsOn();
  void ctsOff();
  void readCts();
  void ctsPoll();
  void keepAlive();
  void rtsResetOver();
  void syncAccepted();
  void reevaluateRate();
  void changeState(LinkState state);
  void answerOpen(ClientEntry& client);
  void tellState(ClientEntry& client, uint32_t state);
  void deliverState(ClientEntry& client, ClientEntry::PendingState& pending);

  UtRequestPtr makeSync(int retryLimit, int timeoutMs);
  UtRequestPtr makePing();
  UtRequestPtr makeSetBaud(uint32_t rate);

  void restartLink();

  UtLink& link_;
  TimerQueue& timers_;
  XmodemSession* xmodem_ = nullptr;
  bool lastCts_ = false;
  std::vector<ClientEntry*> openClients_;  // newest first
  TimerQueue::Id ctsPollTimer_ = TimerQueue::kNoTimer;
  TimerQueue::Id keepAliveTimer_ = TimerQueue::kNoTimer;
  TimerQueue::Id rtsResetTimer_ = TimerQueue::kNoTimer;
};

}  // namespace kmx::server
