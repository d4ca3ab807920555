// Simulator socket protocol
// =========================
//
// A UT simulator serves a port as a Unix SOCK_SEQPACKET socket (usually an
// entry of the port directory). The driver connects to it; one connection is
// one open port. Every SEQPACKET message is one type byte followed by a body:
//
//   type  name   direction        body
//   0x01  DATA   both             1..4096 bytes of line data, in order
//   0x02  LINES  both             1 byte of modem line states:
//                                   bit 0 CTS  (UT to host)
//                                   bit 1 DTR  (host to UT)
//                                   bit 2 RTS  (host to UT)
//                                 other bits 0; a receiver ignores the bits
//                                 the other side does not own
//   0x03  BAUD   host to UT       4 bytes: the line rate in bit/s, u32
//                                 little-endian
//
// - The simulator sends LINES with its CTS state as soon as it accepts a
//   connection, and again whenever CTS changes.
// - The host sends LINES (DTR and RTS both on) and BAUD 9600 right after
//   connecting, LINES with both bits whenever DTR or RTS changes, and BAUD on
//   every successful rate change.
// - The host's open waits up to 1 s for the simulator's first LINES; without
//   it the port opens with CTS off (a later LINES corrects it).
// - Messages of an unknown type are ignored; a message whose body size is
//   wrong for its type (an empty or over-long DATA, a LINES not of 1 byte, a
//   BAUD not of 4 bytes) is dropped.
// - A connection that ends is a line that hung up: the host reads nothing
//   more, sees CTS off and fails writes; it sends no SIGPIPE.
// - Writes of more than 4096 bytes go out as several DATA messages.

#include "simulator_port.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "baud_rate.h"

namespace kmx::io {
namespace {

constexpr auto kOpenWait = std::chrono::milliseconds(1000);
constexpr auto kSendWait = std::chrono::milliseconds(2000);
// Data held back while CTS is being checked; beyond it data stays queued in
// the socket until the caller reads.
constexpr std::size_t kStashCapacity = 64 * 1024;
// Messages handled by one read or CTS check, so that a simulator flooding
// control messages cannot hold the caller; the rest waits for the next call
// (the socket keeps the read event signalled).
constexpr int kMessagesPerCall = 64;

}  // namespace

SimulatorPort::~SimulatorPort() {
  if (fd_ >= 0) ::close(fd_);
}

bool SimulatorPort::connectTo(const std::string& path, Clock::time_point deadline) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  for (;;) {
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return true;
    // EAGAIN: the simulator's backlog is full for the moment.
    if (errno != EAGAIN && errno != EINTR) return false;
    if (Clock::now() >= deadline) {
      errno = ETIMEDOUT;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool SimulatorPort::open(const std::string& path) {
  if (open_) {
    errno = EBUSY;
    return false;
  }
  const auto deadline = Clock::now() + kOpenWait;
  if (!connectTo(path, deadline)) return false;
  availableRates_ = kAllBaudRates;
  if (!sendLines()) return false;
  if (!readEvent_.create() || !readEvent_.watch(fd_)) return false;
  if (!finishOpen()) return false;

  // Learn the CTS state before the caller asks for it.
  while (!linesSeen_ && !hungUp_) {
    drain();
    if (linesSeen_ || hungUp_) break;
    if (!waitForEvents(fd_, POLLIN, deadline)) {
      if (errno == ETIMEDOUT) break;  // a silent simulator: CTS stays off
      return false;
    }
  }
  if (hungUp_) {
    errno = ECONNRESET;
    return false;
  }
  return true;
}

bool SimulatorPort::sendMessage(uint8_t type, const uint8_t* body, std::size_t length,
                                Clock::time_point deadline) {
  if (hungUp_) {
    errno = EPIPE;
    return false;
  }
  iovec iov[2] = {{&type, 1}, {const_cast<uint8_t*>(body), length}};
  msghdr msg{};
  msg.msg_iov = iov;
  msg.msg_iovlen = 2;
  for (;;) {
    const ssize_t n = ::sendmsg(fd_, &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return true;  // a SEQPACKET message goes whole or not at all
    if (errno == EINTR) continue;
    if (errno == EAGAIN) {
      if (!waitForEvents(fd_, POLLOUT, deadline)) return false;
      continue;
    }
    if (errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN) {
      const int saved = errno;
      markHungUp();
      errno = saved;
    }
    return false;
  }
}

bool SimulatorPort::sendLines() {
  const uint8_t lines = static_cast<uint8_t>((dtr_ ? sim::kLineDtr : 0) | (rts_ ? sim::kLineRts : 0));
  return sendMessage(sim::kLines, &lines, 1, Clock::now() + kSendWait);
}

bool SimulatorPort::write(const uint8_t* data, uint32_t length) {
  const auto deadline = Clock::now() + kSendWait;
  for (uint32_t done = 0; done < length;) {
    const std::size_t chunk = std::min<std::size_t>(length - done, sim::kMaxDataBody);
    if (!sendMessage(sim::kData, data + done, chunk, deadline)) return false;
    done += static_cast<uint32_t>(chunk);
  }
  if (hungUp_) {  // a zero-length write to a dead line still fails
    errno = EPIPE;
    return false;
  }
  return true;
}

bool SimulatorPort::writeNow(const uint8_t* data, uint32_t length, uint32_t* taken) {
  *taken = 0;
  if (hungUp_) {
    errno = EPIPE;
    return false;
  }
  while (*taken < length) {
    const std::size_t chunk = std::min<std::size_t>(length - *taken, sim::kMaxDataBody);
    uint8_t type = sim::kData;
    iovec iov[2] = {{&type, 1}, {const_cast<uint8_t*>(data + *taken), chunk}};
    msghdr msg{};
    msg.msg_iov = iov;
    msg.msg_iovlen = 2;
    const ssize_t n = ::sendmsg(fd_, &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      *taken += static_cast<uint32_t>(chunk);  // a message goes whole or not at all
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return true;
    if (errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN) {
      const int saved = errno;
      markHungUp();
      errno = saved;
    }
    return false;
  }
  return true;
}

SimulatorPort::Received SimulatorPort::receiveMessage(uint8_t* body, uint8_t* type,
                                                      std::size_t* length) {
  iovec iov[2] = {{type, 1}, {body, sim::kMaxDataBody}};
  msghdr msg{};
  msg.msg_iov = iov;
  msg.msg_iovlen = 2;
  for (;;) {
    const ssize_t n = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
    if (n > 0) {
      if ((msg.msg_flags & MSG_TRUNC) != 0) {
        *type = 0;  // longer than any valid message
        *length = 0;
      } else {
        *length = static_cast<std::size_t>(n) - 1;
      }
      return Received::Message;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return Received::Nothing;
    if (n == 0) {
      // An empty message, or the end of the connection.
      pollfd pfd{fd_, POLLIN | POLLRDHUP, 0};
      if (::poll(&pfd, 1, 0) == 1 && (pfd.revents & (POLLHUP | POLLRDHUP)) != 0) {
        markEnd();
        return Received::Closed;
      }
      *type = 0;
      *length = 0;
      return Received::Message;
    }
    markEnd();  // ECONNRESET and the like
    return Received::Closed;
  }
}

int SimulatorPort::receiveBatch(int count) {
  if (!batch_) batch_ = std::make_unique_for_overwrite<uint8_t[]>(kBatchMessages * kBatchSlot);
  for (int i = 0; i < count; ++i) {
    batchIov_[i] = {batch_.get() + static_cast<std::size_t>(i) * kBatchSlot, kBatchSlot};
    batchHeaders_[i] = mmsghdr{};
    batchHeaders_[i].msg_hdr.msg_iov = &batchIov_[i];
    batchHeaders_[i].msg_hdr.msg_iovlen = 1;
  }
  for (;;) {
    const int n = ::recvmmsg(fd_, batchHeaders_, static_cast<unsigned>(count), MSG_DONTWAIT, nullptr);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if (errno != EAGAIN) markEnd();  // ECONNRESET and the like
    return 0;
  }
}

SimulatorPort::Received SimulatorPort::batchEntry(int index, uint8_t* type, const uint8_t** body,
                                                  std::size_t* length) {
  const mmsghdr& entry = batchHeaders_[index];
  const uint8_t* slot = batch_.get() + static_cast<std::size_t>(index) * kBatchSlot;
  *type = 0;
  *body = slot + 1;
  *length = 0;
  if (entry.msg_len == 0) {
    // An empty message, or the end of the connection.
    pollfd pfd{fd_, POLLIN | POLLRDHUP, 0};
    if (::poll(&pfd, 1, 0) == 1 && (pfd.revents & (POLLHUP | POLLRDHUP)) != 0) {
      markEnd();
      return Received::Closed;
    }
    return Received::Message;
  }
  if ((entry.msg_hdr.msg_flags & MSG_TRUNC) != 0) return Received::Message;  // longer than any valid message
  *type = slot[0];
  *length = entry.msg_len - 1;
  return Received::Message;
}

void SimulatorPort::handleControl(uint8_t type, const uint8_t* body, std::size_t length) {
  if (type == sim::kLines && length == 1) {
    cts_ = (body[0] & sim::kLineCts) != 0;
    linesSeen_ = true;
  }
  // BAUD is for the UT only; anything else is not ours to know.
}

void SimulatorPort::drain() {
  bool stashedData = false;
  for (int i = 0; i < kMessagesPerCall && !atEnd_ &&
                  stashed() + sim::kMaxDataBody <= kStashCapacity;
       ++i) {
    uint8_t type = 0;
    std::size_t length = 0;
    if (receiveMessage(scratch_.get(), &type, &length) != Received::Message) break;
    if (type == sim::kData) {
      if (length == 0) continue;
      appendToStash(scratch_.get(), length);
      stashedData = true;
    } else {
      handleControl(type, scratch_.get(), length);
    }
  }
  if (stashedData) readEvent_.set();
}

void SimulatorPort::appendToStash(const uint8_t* data, std::size_t length) {
  if (stashHead_ != 0) {
    stash_.erase(stash_.begin(), stash_.begin() + static_cast<std::ptrdiff_t>(stashHead_));
    stashHead_ = 0;
  }
  stash_.insert(stash_.end(), data, data + length);
}

const uint8_t* SimulatorPort::readBytes(uint32_t* length, bool signalAlways) {
  *length = 0;
  readEvent_.clear();
  uint8_t* const out = buffer_.get();
  const std::size_t room = bufferSize_;
  std::size_t filled = std::min(stashed(), room);
  if (filled != 0) {
    std::memcpy(out, stash_.data() + stashHead_, filled);
    stashHead_ += filled;
    if (stashHead_ == stash_.size()) {
      stash_.clear();
      stashHead_ = 0;
    }
  }
  // Messages are taken in batches, one system call for many (a paced line
  // sends every byte as a message of its own).
  bool emptied = false;  // the socket was found empty (or ended)
  for (int handled = 0; handled < kMessagesPerCall && filled < room && !atEnd_;) {
    const int want = std::min(kBatchMessages, kMessagesPerCall - handled);
    const int got = receiveBatch(want);
    for (int j = 0; j < got && !atEnd_; ++j) {
      uint8_t type = 0;
      const uint8_t* body = nullptr;
      std::size_t bodyLength = 0;
      if (batchEntry(j, &type, &body, &bodyLength) != Received::Message) break;
      if (type != sim::kData) {
        handleControl(type, body, bodyLength);
        continue;
      }
      // What the read buffer has no room for waits in the stash.
      const std::size_t take = std::min(bodyLength, room - filled);
      std::memcpy(out + filled, body, take);
      filled += take;
      appendToStash(body + take, bodyLength - take);
    }
    if (got < want) {
      emptied = true;
      break;
    }
    handled += got;
  }
  if (filled == 0) return nullptr;
  bytesRead_ = static_cast<uint32_t>(filled);
  *length = bytesRead_;
  if (signalAlways || !emptied || stashed() != 0) readEvent_.set();
  return out;
}

bool SimulatorPort::cts() {
  drain();
  return cts_ && !hungUp_;
}

bool SimulatorPort::setRts(bool on) {
  const bool before = rts_;
  rts_ = on;
  if (sendLines()) return true;
  rts_ = before;
  return false;
}

bool SimulatorPort::setDtr(bool on) {
  const bool before = dtr_;
  dtr_ = on;
  if (sendLines()) return true;
  dtr_ = before;
  return false;
}

bool SimulatorPort::applyBaudRate(uint32_t rate) {
  const uint8_t body[4] = {static_cast<uint8_t>(rate), static_cast<uint8_t>(rate >> 8),
                           static_cast<uint8_t>(rate >> 16), static_cast<uint8_t>(rate >> 24)};
  return sendMessage(sim::kBaud, body, sizeof body, Clock::now() + kSendWait);
}

void SimulatorPort::markHungUp() {
  hungUp_ = true;
  cts_ = false;
}

void SimulatorPort::markEnd() {
  markHungUp();
  if (!atEnd_) readEvent_.unwatch(fd_);
  atEnd_ = true;
}

}  // namespace kmx::io
