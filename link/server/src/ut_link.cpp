#include "ut_link.h"

#include <algorithm>
#include <utility>

#include "client_entry.h"
#include "kmx/io/kmxio_internal.h"
#include "kmx/platform/wait.h"
#include "kmx/proto/ut_commands.h"
#include "kmxio.h"

namespace kmx::server {
namespace {

// Reads of one drain: bounded, so that a port that never stops delivering
// cannot hold the server.
constexpr int kDrainReads = 256;
// Reads when the port's read event wakes the server: one, which leaves the
// event signalled if more waits (the next turn reads it), so the clients are
// not kept waiting for a port that keeps delivering.
constexpr int kReadyReads = 1;
// Bounds of the wait for the rest of a frame: a frame longer than expected
// is looked at every 10 ms, which keeps a real port's input buffer far from
// full even at 115200 bit/s; with nothing to go by, a short frame is assumed.
constexpr int64_t kMaxFrameWaitUs = 10'000;
// What a real port is sure to hold unread: a tty's line discipline buffers
// 4 KiB (its flip buffers hold more). At the fastest rate a hold lets a few
// per cent of it arrive; a read that leaves bytes behind never starts one.
constexpr std::size_t kPortReceiveBuffer = 4096;
constexpr int64_t kFastestBytesPerSecond = 115200 / 10;
static_assert(kMaxFrameWaitUs * kFastestBytesPerSecond / 1'000'000 < kPortReceiveBuffer / 16,
              "a read hold must not let a real port's buffer fill at any rate");
constexpr int64_t kMaxSlackUs = 250;
constexpr std::size_t kUnknownFrameBytes = 16;
// A good frame on the line: its packet, the two CRC bytes and two flags
// (escapes not counted).
constexpr std::size_t kFrameOverhead = 4;
// One frame in this many is sent without waiting for its answer's time, to
// see whether the line still keeps time.
constexpr int kPaceCheckEvery = 16;

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
  output_.setPort(port_);
  if (state_ == LinkState::None) state_ = LinkState::Initial;
  drainPort();
  return true;
}

void UtLink::closePort() {
  output_.settle();
  timers_.cancel(&responseTimer_);
  output_.setPort(nullptr);
  KMXIOCloseDriver(port_);
  port_ = nullptr;
}

bool UtLink::setRate(uint32_t rate) {
  output_.settle();
  return KMXIOSetBaudRate(port_, rate) == 1;
}

bool UtLink::setRts(bool on) {
  output_.settle();
  return KMXIOSetRTSstate(port_, on ? 1 : 0) == 1;
}

bool UtLink::setDtr(bool on) {
  output_.settle();
  return KMXIOSetDTRstate(port_, on ? 1 : 0) == 1;
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
  transmit();
}

void UtLink::transmit() {
  const uint64_t transmission = ++transmission_;
  const std::size_t frameBytes = encoder_.frame().size();
  output_.write(encoder_.frame(), [this, transmission, frameBytes] {
    if (transmission != transmission_ || !current_) return;
    startResponseTimer();
    awaitResponse(frameBytes);
  });
}

// The frame is out of the server's hands. On a line that keeps time the
// answer cannot be complete before the frame has crossed it and the answer
// has come back: the port is not looked at until then. Now and then a
// frame is sent without that wait, to see whether the line still keeps
// time: it does when the first read after the frame ends inside a frame
// (the answer arrives byte by byte); an answer that is there whole at once
// comes from a line that does not (a simulator that is not paced).
void UtLink::awaitResponse(std::size_t frameBytes) {
  checkingPace_ = !lineKeepsTime_ || ++sincePaceCheck_ >= kPaceCheckEvery;
  if (checkingPace_) {
    sincePaceCheck_ = 0;
    return;
  }
  if (kmxio_read_pending(port_) == 1) return;  // bytes wait already: no time to lose
  const int64_t byteUs = byteTimeUs();
  const std::size_t answer = lastFrameBytes_ != 0 ? lastFrameBytes_ : kUnknownFrameBytes;
  const int64_t wait = static_cast<int64_t>(frameBytes + answer) * byteUs + std::min(byteUs, kMaxSlackUs);
  holdUntilUs_ = monotonicUs() + std::min(wait, kMaxFrameWaitUs);
}

int64_t UtLink::byteTimeUs() const { return 10'000'000 / std::max<uint32_t>(KMXIOGetBaudRate(port_), 1); }

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
  transmit();
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

// A read that found nothing goes back to waiting on the read event, so a
// frame that never ends costs no wake-ups while the line is quiet. A read
// that left bytes behind (a simulator port hands out at most 64 messages,
// 64 bytes when paced, per read) starts no hold either: the port is read
// again in the next turn, or the server would fall behind a line that
// delivers faster than one read per hold takes, until its buffer overruns.
void UtLink::serialDataReady() {
  holdUntilUs_ = -1;
  const bool gotBytes = readPort(kReadyReads);
  const bool partial = gotBytes && port_ != nullptr && !xmodem_ && decoder_.inFrame();
  if (gotBytes && checkingPace_) {
    checkingPace_ = false;
    lineKeepsTime_ = partial;
  }
  if (partial && kmxio_read_pending(port_) != 1) holdUntilUs_ = monotonicUs() + partialFrameWaitUs();
}

int64_t UtLink::partialFrameWaitUs() const {
  const int64_t byteUs = byteTimeUs();
  const std::size_t soFar = decoder_.pending() + 1;  // the opening flag too
  const std::size_t expected = lastFrameBytes_ != 0 ? lastFrameBytes_ : kUnknownFrameBytes;
  const std::size_t rest = soFar < expected ? expected - soFar : soFar;
  const int64_t wait = static_cast<int64_t>(rest) * byteUs + std::min(byteUs, kMaxSlackUs);
  return std::min(wait, kMaxFrameWaitUs);
}

void UtLink::drainPort() {
  if (reading_) {
    drainWanted_ = true;
    return;
  }
  readPort(kDrainReads);
}

bool UtLink::readPort(int reads) {
  if (!port_) return false;
  bool got = false;
  reading_ = true;
  bool drained = false;
  for (int done = 0; done < reads; ++done) {
    uint32_t length = 0;
    const uint8_t* bytes = kmxio_read_available(port_, &length);
    if (bytes == nullptr || length == 0) break;
    got = true;
    take({bytes, length});
    if (drainWanted_ && !drained) {
      drainWanted_ = false;
      drained = true;
      reads = done + 1 + kDrainReads;
    }
  }
  drainWanted_ = false;
  reading_ = false;
  return got;
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
  lastFrameBytes_ = p.size() + kFrameOverhead;
  if (p[0] == kAccepted || p[0] == kRejected) {
    // Only the waiting request's answer is taken; anything else came late
    // (its request gave up) or belongs to no request, and is counted.
    if (p.size() < 2 || !current_ || (p[1] & 1) != sequence_ ||
        (p[0] == kAccepted && !current_->answerFits(p.subspan(2)))) {
      ++stats_.strayAnswers;
      return;
    }
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
