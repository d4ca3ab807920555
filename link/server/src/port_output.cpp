#include "port_output.h"

#include <poll.h>

#include <algorithm>
#include <array>

#include "kmx/io/kmxio_internal.h"
#include "kmx/platform/wait.h"

namespace kmx::server {

void PortOutput::setPort(void* port) {
  port_ = port;
  eventFd_ = -1;
}

int PortOutput::eventFd() const {
  if (jobs_.empty() || port_ == nullptr) return -1;
  return eventFd_;
}

void PortOutput::write(std::span<const uint8_t> bytes, Done done) {
  if (jobs_.empty() && port_ != nullptr) {
    // The common case: nothing waits and the port takes it all.
    uint32_t taken = 0;
    const bool ok = kmxio_write_now(port_, bytes.data(), static_cast<uint32_t>(bytes.size()), &taken) == 1;
    if (!ok || taken == bytes.size()) {
      if (done) done();
      return;
    }
    bytes = bytes.subspan(taken);
  }
  jobs_.push_back(Job{std::vector<uint8_t>(bytes.begin(), bytes.end()), 0, std::move(done), -1});
  if (jobs_.size() == 1) startHead();
  if (eventFd_ < 0 && port_ != nullptr) eventFd_ = kmxio_write_event(port_);
}

// The head write starts where a blocking write would have: its time limit
// counts from here.
void PortOutput::startHead() {
  Job& head = jobs_.front();
  const uint32_t rate = port_ != nullptr ? std::max<uint32_t>(KMXIOGetBaudRate(port_), 1) : 9600;
  const auto lineMs = static_cast<int64_t>((head.bytes.size() - head.offset) * 10 * 1000 / rate);
  head.deadlineMs = monotonicMs() + lineMs + kGraceMs;
}

void PortOutput::finishHead() {
  Done done = std::move(jobs_.front().done);
  jobs_.pop_front();
  if (!jobs_.empty()) startHead();
  if (done) done();  // may queue more output
}

bool PortOutput::pump() {
  while (!jobs_.empty()) {
    Job& head = jobs_.front();
    const std::size_t left = head.bytes.size() - head.offset;
    uint32_t taken = 0;
    if (port_ == nullptr ||
        kmxio_write_now(port_, head.bytes.data() + head.offset, static_cast<uint32_t>(left), &taken) != 1) {
      return true;
    }
    head.offset += taken;
    if (taken < left) return false;  // no more room for now
    finishHead();
  }
  return false;
}

void PortOutput::resume() {
  if (pump()) {
    // A failed port takes nothing more: every waiting write ends as a
    // failed blocking write would have.
    while (!jobs_.empty()) finishHead();
    return;
  }
  while (!jobs_.empty() && monotonicMs() >= jobs_.front().deadlineMs) {
    finishHead();
    if (pump()) {
      while (!jobs_.empty()) finishHead();
      return;
    }
  }
}

void PortOutput::settle() {
  while (!jobs_.empty()) {
    resume();
    if (jobs_.empty()) return;
    const int64_t left = jobs_.front().deadlineMs - monotonicMs();
    if (eventFd_ >= 0 && left > 0) {
      const std::array<int, 1> fds{eventFd_};
      waitForAny(fds, static_cast<int32_t>(std::min<int64_t>(left, 1000)));
    } else if (left > 0) {
      ::poll(nullptr, 0, static_cast<int>(std::min<int64_t>(left, 10)));  // no write event: look again shortly
    }
  }
}

}  // namespace kmx::server
