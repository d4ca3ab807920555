// Output to the serial port that never holds up the server's loop: bytes are
// queued in order, the port takes what it can at once, and the rest goes out
// when the port reports room (its write event is in the loop's wait). A
// write's completion runs when the port has taken its last byte, which is
// when a blocking write would have returned.
//
// A write that the port does not finish taking within the time its bytes
// need on the line plus a second (counted from when it reaches the head of
// the queue, where a blocking write would have started) is given up: the
// rest of it is dropped and its completion runs, as after a blocking write
// that failed. A port that fails drops its writes the same way.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

namespace kmx::server {

class PortOutput {
 public:
  using Done = std::function<void()>;
  static constexpr int64_t kGraceMs = 1000;

  // The port to write to (a kmxio handle; null: writes are dropped).
  void setPort(void* port);

  // Queues `bytes` (copied unless the port takes them at once) behind what
  // waits. `done` runs once the port has taken the last of them, or they
  // were given up: at once when the port takes everything now.
  void write(std::span<const uint8_t> bytes, Done done = {});

  // Bytes wait for room in the port.
  bool waiting() const { return !jobs_.empty(); }
  // Polls readable while the port has room; -1 when nothing waits.
  int eventFd() const;
  // When the write at the head is given up (ms on CLOCK_MONOTONIC), -1
  // when nothing waits.
  int64_t deadlineMs() const { return jobs_.empty() ? -1 : jobs_.front().deadlineMs; }

  // Writes what the port takes now; gives up the head write when its time
  // is over.
  void resume();
  // Waits (blocking) until everything queued was taken or given up: a
  // change of the line (rate, RTS, DTR) or the port's close must come after
  // the bytes written before it, as it did when writes blocked.
  void settle();

 private:
  struct Job {
    std::vector<uint8_t> bytes;
    std::size_t offset = 0;
    Done done;
    int64_t deadlineMs = -1;
  };

  // Writes from the head on; true when the port failed.
  bool pump();
  void startHead();
  void finishHead();

  void* port_ = nullptr;
  int eventFd_ = -1;
  std::deque<Job> jobs_;
};

}  // namespace kmx::server
