#include "ut_link.h"

#include <utility>

#include "client_entry.h"
#include "kmx/proto/ut_commands.h"
#include "kmxio.h"

namespace kmx::server {
namespace {

// Reads of one drain: bounded, so that a port that never stops delivering
// cannot hold the server.
constexpr int kDrainReads = 256;
// Reads when the port's read event wakes the server: the port is read until
// it has nothing (so the event is cleared in the same turn instead of waking
// the loop once more), but the clients are not kept waiting long for it.
constexpr int kReadyReads = 8;

}  // namespace

uint32_t clientVisible(LinkState state) {
  switch (state) {
    case LinkState::Up: return 1;
    case LinkState::Establishing: return 2;
    case LinkState::Down: return 4;
    default: return 0;
  }
}

UtLink::UtLink(TimerQueue& timers) : timers_(timers) {}

UtLink::~UtLink() {
  timers_.cancel(&responseTimer_);
  KMXIOCloseDriver(port_);
}

bool UtLink::openPort(const std::string& name) {
  port_ = KMXIOOpenDriver(name.c_str(), kPortBufferSize);
  if (port_ == nullptr) return false;
  if (KMXIOSetBaudRate(port_, 9600) != 1) {
    KMXIOCloseDriver(port_);
    port_ = nullptr;
    return false;
  }
  if (state_ == LinkState::None) state_ = LinkState::Initial;
  drainPort();
  return true;
}

void UtLink::closePort() {
  timers_.cancel(&responseTimer_);
  KMXIOCloseDriver(port_);
  port_ = nullptr;
}

int UtLink::readEventFd() const { return port_ ? KMXIOGetReadEventHandle(port_) : -1; }

bool UtLink::queuesEmpty() const {
  for (const auto& queue : queues_) {
    if (!queue.empty()) return false;
  }
  return true;
}

void UtLink::setXmodem(bool on) {
  xmodem_ = on;
  decoder_.reset();
  if (decoding_) decoder_.stopFeeding();
  encoder_.clear();
}

void UtLink::submit(UtRequestPtr request, int level) {
  if (state_ == LinkState::Initial) {
    request->complete(RequestStatus::LinkInitial);
    return;
  }
  if (state_ != LinkState::Up || xmodem_) {
    request->complete(RequestStatus::Flushed);
    return;
  }
  queues_[static_cast<std::size_t>(level)].push_back(std::move(request));
  sendNext();
}

void UtLink::putPriority(UtRequestPtr request) { priority_ = std::move(request); }

void UtLink::sendNext() {
  // A request whose frame does not fit is completed at once; go on with the
  // next one so that the link never stalls. Nothing is framed while the port
  // carries an Xmodem transfer.
  while (!current_ && !xmodem_) {
    UtRequestPtr next;
    if (priority_) {
      next = std::move(priority_);
    } else {
      for (auto& queue : queues_) {
        if (queue.empty()) continue;
        next = std::move(queue.front());
        queue.pop_front();
        break;
      }
    }
    if (!next) return;
    send(std::move(next));
  }
}

void UtLink::send(UtRequestPtr request) {
  sequence_ ^= 1;
  if (!encoder_.encodeRequest(request->code, sequence_, {proto::ByteSpan(request->payload)})) {
    request->complete(RequestStatus::DidNotFit);
    return;
  }
  current_ = std::move(request);
  requestSent_ = true;
  retries_ = 0;
  auto frame = encoder_.frame();
  KMXIOWriteData(port_, frame.data(), static_cast<uint32_t>(frame.size()));
  startResponseTimer();
}

void UtLink::startResponseTimer() {
  timers_.cancel(&responseTimer_);
  int timeoutMs = current_ ? current_->timeoutMs : 600;
  responseTimer_ = timers_.start(timeoutMs, [this] {
    responseTimer_ = TimerQueue::kNoTimer;
    responseTimeout();
  });
}

void UtLink::responseTimeout() {
  if (!current_) {
    sendNext();
    return;
  }
  if (state_ == LinkState::Up) ++stats_.retransmissions;
  ++retries_;
  if (current_->retryLimit != -1 && retries_ > current_->retryLimit) {
    UtRequestPtr failed = std::move(current_);
    failed->complete(RequestStatus::NoResponse);
    events_->requestFailed();
    failed.reset();
    sendNext();
    return;
  }
  auto frame = encoder_.frame();
  KMXIOWriteData(port_, frame.data(), static_cast<uint32_t>(frame.size()));
  startResponseTimer();
}

void UtLink::completeCurrent(RequestStatus status) {
  if (!current_) return;
  timers_.cancel(&responseTimer_);
  UtRequestPtr request = std::move(current_);
  request->complete(status);
}

void UtLink::flushQueues(RequestStatus status) {
  for (auto& queue : queues_) {
    std::deque<UtRequestPtr> flushed;
    flushed.swap(queue);
    for (auto& request : flushed) request->complete(status);
  }
}

void UtLink::orphanRequestsOf(uint64_t owner) {
  if (owner == 0) return;
  if (current_ && current_->owner == owner) {
    current_->completion = nullptr;
    current_->owner = 0;
  }
  if (priority_ && priority_->owner == owner) priority_.reset();
  for (auto& queue : queues_) {
    std::erase_if(queue, [owner](const UtRequestPtr& r) { return r->owner == owner; });
  }
}

void UtLink::clientRetiring(ClientEntry& client) { orphanRequestsOf(client.serial()); }

void UtLink::serialDataReady() { readPort(kReadyReads); }

void UtLink::drainPort() {
  if (reading_) {
    drainWanted_ = true;
    return;
  }
  readPort(kDrainReads);
}

void UtLink::readPort(int reads) {
  if (!port_) return;
  reading_ = true;
  bool drained = false;
  for (int done = 0; done < reads; ++done) {
    uint32_t length = 0;
    const uint8_t* bytes = KMXIOReadData(port_, &length);
    if (bytes == nullptr || length == 0) break;
    take({bytes, length});
    if (drainWanted_ && !drained) {
      drainWanted_ = false;
      drained = true;
      reads = done + 1 + kDrainReads;
    }
  }
  drainWanted_ = false;
  reading_ = false;
}

void UtLink::take(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    if (xmodem_) {
      if (xmodemBytes) xmodemBytes(bytes);
      return;
    }
    decoding_ = true;
    const std::size_t used = decoder_.feed(bytes, [this](proto::ByteSpan packet) { dispatch(packet); });
    decoding_ = false;
    bytes = bytes.subspan(used);
  }
}

void UtLink::dispatch(std::span<const uint8_t> p) {
  using proto::ut_packet::kAccepted;
  using proto::ut_packet::kRejected;
  if (p[0] == kAccepted || p[0] == kRejected) {
    if (p.size() < 2 || !current_ || (p[1] & 1) != sequence_) return;
    timers_.cancel(&responseTimer_);
    UtRequestPtr request = std::move(current_);
    request->complete(p[0] == kAccepted ? RequestStatus::Accepted : RequestStatus::Rejected, p.subspan(2));
    request.reset();
    sendNext();
    return;
  }
  if (state_ != LinkState::Up) {
    events_->packetWhileNotUp();
    if (state_ != LinkState::Up) return;
  }
  events_->unsolicited(p[0], p.subspan(1));
}

}  // namespace kmx::server
