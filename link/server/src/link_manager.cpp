#include "link_manager.h"

#include <algorithm>

#include "kmx/platform/wait.h"
#include "kmx/proto/byte_order.h"
#include "kmx/proto/ut_commands.h"
#include "kmxio.h"
#include "kmxipc.h"
#include "xmodem_session.h"

namespace kmx::server {
namespace {

constexpr uint8_t kUtSetRate = proto::ut_command::kSetRate;
constexpr uint8_t kUtSync = proto::ut_command::kSync;
constexpr int kCtsPollMs = 100;
constexpr int kKeepAliveMs = 1000;
constexpr int kRtsResetMs = 3200;
constexpr int kStateTries = 100;
constexpr int kStateRetryMs = 10;

std::vector<uint8_t> syncProbe() {
  std::vector<uint8_t> probe;
  for (int b = 0x80; b <= 0xFF; ++b) probe.push_back(static_cast<uint8_t>(b));
  return probe;
}

bool mailboxWasFull(uint32_t error) { return (error & 0xFFFF0000u) == IPC_ERR_MAILBOX_FULL; }

}  // namespace

LinkManager::LinkManager(UtLink& link, TimerQueue& timers) : link_(link), timers_(timers) {}

LinkManager::~LinkManager() {
  timers_.cancel(&ctsPollTimer_);
  timers_.cancel(&keepAliveTimer_);
  timers_.cancel(&rtsResetTimer_);
}

// --- requests the link manager makes ------------------------------------------------

UtRequestPtr LinkManager::makeSync(int retryLimit, int timeoutMs) {
  auto request = std::make_unique<UtRequest>(kUtSync, syncProbe(), [this](RequestStatus status, auto) {
    if (status == RequestStatus::Accepted) syncAccepted();
  });
  request->retryLimit = retryLimit;
  request->timeoutMs = timeoutMs;
  request->answerEchoes = true;
  return request;
}

UtRequestPtr LinkManager::makePing() {
  auto request = std::make_unique<UtRequest>(kUtSync, std::vector<uint8_t>{});
  request->answerEchoes = true;
  return request;
}

UtRequestPtr LinkManager::makeSetBaud(uint32_t rate) {
  std::vector<uint8_t> payload(4);
  proto::storeLe32(payload.data(), rate);
  auto request = std::make_unique<UtRequest>(kUtSetRate, std::move(payload), [this, rate](RequestStatus status, auto) {
    if (status != RequestStatus::Accepted) return;
    link_.setRate(rate);
    // Try the new rate at once.
    if (link_.queuesEmpty()) link_.submit(makePing(), 1);
  });
  request->answerLength = 0;
  return request;
}

// --- client commands ---------------------------------------------------------------------

void LinkManager::openConnection(ClientEntry& client) {
  auto command = client.command();
  if (command.size() < msg::cmd::kOpenSize) {
    client.finishStatus(msg::kStatusFailed);
    return;
  }
  uint16_t timeoutSeconds = proto::loadLe16(&command[msg::cmd::kOpenTimeout]);
  client.stateMask = proto::loadLe32(&command[msg::cmd::kOpenStateMask]);
  if (!isOpenClient(client)) openClients_.insert(openClients_.begin(), &client);

  if (!link_.xmodemMode()) restartLink();

  if (link_.state() == LinkState::Up || timeoutSeconds == 0) {
    answerOpen(client);
  } else if (timeoutSeconds != 0xFFFF) {
    timers_.cancel(&client.openTimeout);
    client.openTimeout = timers_.start(timeoutSeconds * 1000, [this, waiting = client.weak_from_this()] {
      if (auto entry = waiting.lock()) {
        entry->openTimeout = TimerQueue::kNoTimer;
        answerOpen(*entry);
      }
    });
  }
}

// What an open-connection command does to the link: read CTS and act on
// it, run the CTS poll and keep-alive, and move to the wanted rate.
void LinkManager::restartLink() {
  readCts();
  if (lastCts_) ctsOn(); else ctsOff();
  if (ctsPollTimer_ == TimerQueue::kNoTimer) ctsPollTimer_ = timers_.start(kCtsPollMs, [this] { ctsPoll(); });
  if (keepAliveTimer_ == TimerQueue::kNoTimer)
    keepAliveTimer_ = timers_.start(kKeepAliveMs, [this] { keepAlive(); });
  reevaluateRate();
}

void LinkManager::enterXmodem() {
  timers_.cancel(&keepAliveTimer_);
  ctsOff();
  link_.setRts(true);
}

void LinkManager::leaveXmodem() {
  if (openClients_.empty()) {
    link_.setState(LinkState::Initial);
  } else {
    restartLink();
  }
}

void LinkManager::answerOpen(ClientEntry& client) {
  timers_.cancel(&client.openTimeout);
  uint32_t state = clientVisible(link_.state());
  uint8_t reply[msg::reply::kOpenSize] = {};
  proto::storeLe32(&reply[msg::reply::kStatus], msg::kStatusOk);
  proto::storeLe32(&reply[msg::reply::kOpenState], state);
  client.lastStateTold = state;
  client.connectionOpen = true;
  client.finish(reply);
}

void LinkManager::setBaudRate(ClientEntry& client) {
  auto command = client.command();
  if (command.size() < msg::cmd::kSetBaudRateSize) {
    client.finishStatus(msg::kStatusFailed);
    return;
  }
  uint32_t rate = proto::loadLe32(&command[msg::cmd::kSetBaudRateRate]);
  if (KMXIOCheckBaudRate(link_.port(), rate) != 1) {
    client.finishStatus(msg::kStatusBadBaudRate);
    return;
  }
  bool changed = client.requestedBaudRate != rate;
  client.requestedBaudRate = rate;
  if (changed) reevaluateRate();
  client.finishStatus(msg::kStatusOk);
}

bool LinkManager::isOpenClient(const ClientEntry& client) const {
  return std::find(openClients_.begin(), openClients_.end(), &client) != openClients_.end();
}

void LinkManager::clientRetiring(ClientEntry& client) {
  timers_.cancel(&client.openTimeout);
  auto it = std::find(openClients_.begin(), openClients_.end(), &client);
  if (it == openClients_.end()) return;
  openClients_.erase(it);
  if (openClients_.empty()) {
    timers_.cancel(&ctsPollTimer_);
    timers_.cancel(&keepAliveTimer_);
    ctsOff();
    changeState(LinkState::Initial);
  }
  reevaluateRate();
}

// --- link events -----------------------------------------------------------------------------

void LinkManager::readCts() { lastCts_ = KMXIOCheckCTS(link_.port()) == 1; }

void LinkManager::ctsOn() {
  if (link_.state() != LinkState::Initial && link_.state() != LinkState::Down) return;
  link_.putPriority(makeSync(1, 400));
  link_.sendNext();
  changeState(LinkState::Establishing);
}

void LinkManager::ctsOff() {
  if (link_.state() == LinkState::Down) return;
  timers_.cancel(&rtsResetTimer_);
  link_.drainPort();
  link_.completeCurrent(RequestStatus::Flushed);
  link_.flushQueues(RequestStatus::Flushed);
  changeState(LinkState::Down);
}

void LinkManager::requestFailed() {
  if (link_.state() == LinkState::Establishing) {
    if (KMXIOGetBaudRate(link_.port()) != 9600) {
      link_.setRate(9600);
      link_.putPriority(makeSync(1, 600));
      link_.sendNext();
    } else {
      link_.setRts(false);
      timers_.cancel(&rtsResetTimer_);
      rtsResetTimer_ = timers_.start(kRtsResetMs, [this] {
        rtsResetTimer_ = TimerQueue::kNoTimer;
        rtsResetOver();
      });
    }
    return;
  }
  link_.drainPort();
  link_.flushQueues(RequestStatus::Flushed);
  link_.putPriority(makeSync(-1, 600));
  link_.sendNext();
  changeState(LinkState::Establishing);
}

void LinkManager::rtsResetOver() {
  link_.setRts(true);
  link_.putPriority(makeSync(8, 600));
  link_.sendNext();
}

void LinkManager::syncAccepted() {
  uint32_t target = targetRate();
  if (target != KMXIOGetBaudRate(link_.port())) {
    link_.putPriority(makeSetBaud(target));
    link_.sendNext();
  }
  changeState(LinkState::Up);
}

void LinkManager::packetWhileNotUp() {
  if (link_.state() == LinkState::Down && lastCts_) ctsOn();
  if (link_.state() != LinkState::Establishing) return;
  if (!link_.hasCurrent()) {
    changeState(LinkState::Up);
    return;
  }
  link_.completeCurrent(RequestStatus::Flushed);
  syncAccepted();
}

void LinkManager::unsolicited(uint8_t type, std::span<const uint8_t> bytes) {
  if (onUnsolicited) onUnsolicited(type, bytes);
}

uint32_t LinkManager::targetRate() const {
  uint32_t target = 9600;
  for (const ClientEntry* client : openClients_) {
    uint32_t rate = client->requestedBaudRate;
    if (rate > target && KMXIOCheckBaudRate(link_.port(), rate) == 1) target = rate;
  }
  return target;
}

void LinkManager::reevaluateRate() {
  if (link_.state() != LinkState::Up) return;
  uint32_t target = targetRate();
  if (target != KMXIOGetBaudRate(link_.port())) link_.submit(makeSetBaud(target), 1);
}

void LinkManager::ctsPoll() {
  ctsPollTimer_ = TimerQueue::kNoTimer;
  bool before = lastCts_;
  readCts();
  if (lastCts_ != before) {
    if (!lastCts_) {
      if (link_.xmodemMode() && xmodem_ != nullptr) xmodem_->ctsLost();
      ctsOff();
    } else if (!link_.xmodemMode()) {
      ctsOn();  // during Xmodem mode the line is only recorded
    }
  }
  // Leaving Xmodem mode on CTS loss restarts the link, which may have armed
  // the poll already.
  if (ctsPollTimer_ == TimerQueue::kNoTimer) ctsPollTimer_ = timers_.start(kCtsPollMs, [this] { ctsPoll(); });
}

void LinkManager::keepAlive() {
  keepAliveTimer_ = TimerQueue::kNoTimer;
  if (link_.state() == LinkState::Up && !link_.takeRequestSent() && !link_.hasCurrent()) {
    link_.putPriority(makePing());
    link_.sendNext();
  }
  link_.takeRequestSent();
  keepAliveTimer_ = timers_.start(kKeepAliveMs, [this] { keepAlive(); });
}

// --- state changes ---------------------------------------------------------------------------

void LinkManager::changeState(LinkState state) {
  if (state == link_.state()) return;
  link_.setState(state);
  if (state == LinkState::Down) link_.stats().resetOnLinkDown();
  if (state != LinkState::Establishing && state != LinkState::Up && state != LinkState::Down) return;
  if (onStateChange) onStateChange(state);
  const uint32_t visible = clientVisible(state);
  // Answering an open may not change the list, but be safe against it.
  std::vector<ClientEntry*> clients = openClients_;
  for (ClientEntry* client : clients) {
    if (state == LinkState::Down) {
      client->dropCount = 0;
      totalDrops = 0;
    }
    if (client->connectionOpen) {
      if (visible != client->lastStateTold && (visible & client->stateMask) != 0) tellState(*client, visible);
      client->lastStateTold = visible;
    } else if (state == LinkState::Up) {
      answerOpen(*client);
    }
  }
}

void LinkManager::tellState(ClientEntry& client, uint32_t state) {
  auto& pending = client.pendingStates();
  pending.push_back(ClientEntry::PendingState{state, kStateTries, 0});
  if (pending.size() == 1) deliverState(client, pending.front());
}

// One try; a message that cannot be sent stays queued (in order) for the
// next retry. After the last try it is dropped, and counted when the mailbox
// was full.
void LinkManager::deliverState(ClientEntry& client, ClientEntry::PendingState& pending) {
  uint8_t header[msg::async::kHeaderSize];
  proto::storeLe32(&header[msg::async::kMarker], msg::async::kMarkerValue);
  proto::storeLe32(&header[msg::async::kType], msg::kAsyncStateChange);
  proto::storeLe32(&header[msg::async::kId], pending.state);
  KMXBuffer piece{header, sizeof header};
  uint32_t error = 0;
  if (client.sendAsync({&piece, 1}, &error)) {
    client.pendingStates().pop_front();
    return;
  }
  if (--pending.triesLeft > 0) {
    pending.nextTryMs = monotonicMs() + kStateRetryMs;
    return;
  }
  if (mailboxWasFull(error)) {
    ++client.dropCount;
    ++totalDrops;
  }
  client.pendingStates().pop_front();
}

int64_t LinkManager::retryPendingStates(int64_t nowMs) {
  int64_t next = -1;
  for (ClientEntry* client : openClients_) {
    auto& pending = client->pendingStates();
    while (!pending.empty() && pending.front().nextTryMs <= nowMs) {
      std::size_t before = pending.size();
      deliverState(*client, pending.front());
      if (pending.size() == before) break;  // still waiting for room
    }
    if (!pending.empty() && (next < 0 || pending.front().nextTryMs < next)) next = pending.front().nextTryMs;
  }
  return next;
}

}  // namespace kmx::server
