#include "xmodem_session.h"

#include <algorithm>
#include <cstring>

#include "kmx/proto/byte_order.h"
#include "kmx/proto/ut_commands.h"
#include "kmx_messages.h"
#include "kmxio.h"
#include "link_manager.h"

namespace kmx::server {
namespace {

constexpr uint8_t kStx = 0x02, kEot = 0x04, kAck = 0x06, kBs = 0x08, kNak = 0x15, kCan = 0x18, kSub = 0x1A;
constexpr uint8_t kUtStartDownload = proto::ut_command::kStartDownload;
constexpr int32_t kSubEnter = 0, kSubEnd = 2;

}  // namespace

XmodemSession::XmodemSession(UtLink& link, LinkManager& manager, TimerQueue& timers)
    : link_(link), manager_(manager), timers_(timers) {}

XmodemSession::~XmodemSession() { timers_.cancel(&timer_); }

void XmodemSession::command(ClientEntry& client) {
  auto c = client.command();
  if (c.size() < msg::cmd::kXmodemData) {
    client.finishStatus(msg::kStatusFailed);
    return;
  }
  const auto sub = static_cast<int32_t>(proto::loadLe32(&c[msg::cmd::kXmodemSubcommand]));
  if (sub == kSubEnter) {
    enter(client);
    return;
  }
  // The owner is idle while its data goes out, and hears the outcome later.
  client.finishWithoutReply();
  uint32_t refusal = !active() ? msg::kStatusNotInXmodem
                     : owner_ != &client ? msg::kStatusNotXmodemOwner
                     : state_ != State::Ready ? msg::kStatusXmodemBadState
                                              : msg::kStatusOk;
  if (refusal != msg::kStatusOk) {
    client.replyStatus(refusal);
    return;
  }
  if (sub == kSubEnd) {
    writeCanBs();
    finish(msg::kStatusOk);
    return;
  }
  data_.assign(c.begin() + msg::cmd::kXmodemData, c.end());
  position_ = 0;
  lastData_ = proto::loadLe32(&c[msg::cmd::kXmodemParameter]) == 1;
  send(false);
}

// With the link up the UT is first asked to start its loader (UT command 21);
// with the link down it is taken to be waiting in its loader already.
void XmodemSession::enter(ClientEntry& client) {
  if (link_.state() != LinkState::Up) {
    begin(client);
    return;
  }
  // Held weakly: a client retired while the UT has the request is not
  // answered, and takes no port.
  auto request = std::make_unique<UtRequest>(
      kUtStartDownload, std::vector<uint8_t>{},
      [this, target = client.weak_from_this()](RequestStatus status, std::span<const uint8_t> response) {
        auto entry = target.lock();
        if (!entry) return;
        if (status == RequestStatus::Accepted) {
          begin(*entry);
        } else {
          entryRefused(*entry, status, response);
        }
      });
  request->owner = client.serial();
  client.busy = Busy::Serving;
  link_.submit(std::move(request), 1);
}

void XmodemSession::entryRefused(ClientEntry& client, RequestStatus status, std::span<const uint8_t> response) {
  switch (status) {
    case RequestStatus::Rejected: client.finishUtError(response); return;
    case RequestStatus::NoResponse: client.finishStatus(msg::kStatusNoUtReply); return;
    case RequestStatus::Flushed: client.finishStatus(msg::kStatusLinkDown); return;
    case RequestStatus::LinkInitial: client.finishStatus(msg::kStatusLinkNotMade); return;
    default: client.finishStatus(msg::kStatusXmodemOther); return;
  }
}

void XmodemSession::begin(ClientEntry& client) {
  if (active()) {
    client.finishStatus(msg::kStatusAlreadyInXmodem);
    return;
  }
  // The owner waits for the receiver without being busy, so that it can
  // cancel with command 47.
  client.finishWithoutReply();
  owner_ = &client;
  buildLength_ = 0;
  data_.clear();
  position_ = 0;
  lastData_ = false;
  // Set before the port is handed over: bytes drained on the way in are
  // already the receiver's.
  state_ = State::WaitingForReceiver;
  startTimer(kStartMs);
  link_.setXmodem(true);
  manager_.enterXmodem();
  link_.setRate(manager_.targetRate());
}

void XmodemSession::leave() {
  stopTimer();
  owner_ = nullptr;
  buildLength_ = 0;
  data_.clear();
  link_.setXmodem(false);
  manager_.leaveXmodem();
}

// Ends the session and then answers its owner: by the time the owner reads
// the answer, the server has left Xmodem mode and restarted the link, so a
// line change the owner causes next is seen as a change.
void XmodemSession::finish(uint32_t status) {
  ClientEntry* owner = owner_;
  leave();
  if (owner != nullptr) owner->replyStatus(status);
}

void XmodemSession::reply(uint32_t status) {
  if (owner_ != nullptr) owner_->replyStatus(status);
}

void XmodemSession::write(std::span<const uint8_t> bytes) { link_.write(bytes); }

// The answer timer of a block runs from when the port has taken the block
// (the timer of the block before stops now), unless the timer was started
// or stopped meanwhile.
void XmodemSession::writeBlock() {
  stopTimer();
  const uint64_t epoch = timerEpoch_;
  pendingStart_ = epoch;
  link_.write(sent_, [this, epoch] {
    if (epoch == timerEpoch_) startTimer(kBlockMs);
  });
}

bool XmodemSession::timerStartPending() const { return pendingStart_ == timerEpoch_; }

void XmodemSession::stopTimer() {
  ++timerEpoch_;
  timers_.cancel(&timer_);
}

void XmodemSession::writeCanBs() {
  const uint8_t bytes[2] = {kCan, kBs};
  write(bytes);
}

void XmodemSession::startTimer(int ms) {
  stopTimer();
  timer_ = timers_.start(ms, [this] {
    timer_ = TimerQueue::kNoTimer;
    handle(Event::Timer);
  });
}

void XmodemSession::cancel(ClientEntry& client) {
  client.finishWithoutReply();
  if (active() && owner_ == &client) handle(Event::Cancel);
}

void XmodemSession::ctsLost() {
  if (active()) handle(Event::CtsLost);
}

void XmodemSession::clientRetiring(ClientEntry& client) {
  if (owner_ == &client) leave();
}

void XmodemSession::bytes(std::span<const uint8_t> received) {
  if (!active()) return;
  if (state_ == State::EndSent) {
    // After EOT the first answer counts.
    for (uint8_t b : received) {
      if (b == kAck) return handle(Event::Ack);
      if (b == kNak) return handle(Event::Nak);
      if (b == kCan) return handle(Event::Can);
    }
    return;
  }
  auto has = [&](uint8_t b) { return std::find(received.begin(), received.end(), b) != received.end(); };
  if (has(kCan)) {
    handle(Event::Can);
  } else if (has(kNak)) {
    handle(Event::Nak);
  } else if (has(kAck)) {
    handle(Event::Ack);
  }
}

void XmodemSession::handle(Event event) {
  switch (state_) {
    case State::WaitingForReceiver:
      switch (event) {
        case Event::Timer:
          if (KMXIOGetBaudRate(link_.port()) != 115200 && link_.setRate(115200)) {
            startTimer(kStartMs);
          } else {
            finish(msg::kStatusXmodemStartFailed);
          }
          return;
        case Event::Nak:
          stopTimer();
          reply(msg::kStatusOk);
          blockNumber_ = 0;
          state_ = State::Ready;
          return;
        case Event::Cancel:
          stopTimer();
          finish(msg::kStatusXmodemCancelled);
          return;
        case Event::CtsLost:
          finish(msg::kStatusLinkDown);
          return;
        default:
          return;
      }
    case State::Ready:
      switch (event) {
        case Event::Timer:
          writeCanBs();
          leave();
          return;
        case Event::Can:
        case Event::CtsLost:
          leave();
          return;
        default:
          return;
      }
    case State::BlockSent:
    case State::EndSent:
      break;
  }

  // A block or the end is out: what the receiver answers, and what the two
  // states share.
  const bool end = state_ == State::EndSent;
  switch (event) {
    case Event::Timer:
      finish(end ? msg::kStatusXmodemFailed : msg::kStatusNoUtReply);
      return;
    case Event::Nak:
      if (end) {
        const uint8_t eot = kEot;
        write({&eot, 1});
      } else if (retries_ >= kMaxNaks) {
        finish(msg::kStatusXmodemFailed);
      } else {
        send(true);
      }
      return;
    case Event::Ack:
      if (end) {
        finish(msg::kStatusOk);
      } else {
        send(false);
      }
      return;
    case Event::Can:
      finish(msg::kStatusXmodemCancelledByUt);
      return;
    case Event::Cancel:
      stopTimer();
      reply(msg::kStatusXmodemCancelled);
      state_ = State::Ready;
      return;
    case Event::CtsLost:
      finish(msg::kStatusLinkDown);
      return;
  }
}

// Builds and writes the next block from the owner's data; a block the data
// does not fill waits for the next send-data command unless this was the
// last data, when it is padded with SUB.
void XmodemSession::send(bool repeat) {
  bool written = false;
  if (repeat) {
    ++retries_;
    writeBlock();
    written = true;
  } else {
    retries_ = 0;
    const bool dataLeft = position_ < data_.size();
    if (buildLength_ == 0 && (dataLeft || !lastData_)) {
      ++blockNumber_;
      building_[0] = kStx;
      building_[1] = blockNumber_;
      building_[2] = static_cast<uint8_t>(blockNumber_ ^ 0xFF);
      buildLength_ = 3;
    }
    if (buildLength_ > 0) {
      std::size_t room = kBlockSize - 1 - buildLength_;
      std::size_t take = std::min(room, data_.size() - position_);
      std::memcpy(&building_[buildLength_], data_.data() + position_, take);
      buildLength_ += take;
      position_ += take;
      if (buildLength_ < kBlockSize - 1 && lastData_) {
        std::memset(&building_[buildLength_], kSub, kBlockSize - 1 - buildLength_);
        buildLength_ = kBlockSize - 1;
      }
      if (buildLength_ == kBlockSize - 1) {
        uint8_t sum = 0;
        for (std::size_t i = 3; i < kBlockSize - 1; ++i) sum = static_cast<uint8_t>(sum + building_[i]);
        building_[kBlockSize - 1] = sum;
        sent_ = building_;
        buildLength_ = 0;
        writeBlock();
        written = true;
      }
    }
  }
  if (written) {
    state_ = State::BlockSent;
  } else if (lastData_) {
    const uint8_t eot = kEot;
    write({&eot, 1});
    // The last block's timer keeps running (or starts once the block is
    // out); an image without any block gets one.
    if (timer_ == TimerQueue::kNoTimer && !timerStartPending()) startTimer(kBlockMs);
    state_ = State::EndSent;
  } else {
    reply(msg::kStatusOk);
    state_ = State::Ready;
  }
}

}  // namespace kmx::server
