// A serial port served by the UT simulator over a Unix SOCK_SEQPACKET socket.
// The wire protocol is described at the top of simulator_port.cpp and in
// docs/design.md ("Simulated ports").
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <vector>

#include "kmx/io/simulator_protocol.h"
#include "serial_device.h"

namespace kmx::io {

class SimulatorPort final : public SerialDevice {
 public:
  using SerialDevice::SerialDevice;
  ~SimulatorPort() override;

  bool open(const std::string& path) override;
  bool write(const uint8_t* data, uint32_t length) override;
  bool writeNow(const uint8_t* data, uint32_t length, uint32_t* taken) override;
  int writeEventHandle() override { return writeEvent_.fdFor(fd_); }
  bool cts() override;
  bool setRts(bool on) override;
  bool setDtr(bool on) override;

 private:
  enum class Received { Message, Nothing, Closed };

  bool applyBaudRate(uint32_t rate) override;
  const uint8_t* readBytes(uint32_t* length, bool signalAlways) override;
  bool connectTo(const std::string& path, Clock::time_point deadline);
  bool sendMessage(uint8_t type, const uint8_t* body, std::size_t length,
                   Clock::time_point deadline);
  bool sendLines();
  // Receives one message, its body into `body` (room for kMaxDataBody).
  // Malformed messages are dropped and reported as Message with type 0.
  Received receiveMessage(uint8_t* body, uint8_t* type, std::size_t* length);
  // Receives up to `count` (at most kBatchMessages) waiting messages in one
  // call into the batch slots; the number received, 0 when none waited or
  // the connection ended.
  int receiveBatch(int count);
  // Message `index` of the last batch, as receiveMessage would have given it
  // (Closed at the end of the connection).
  Received batchEntry(int index, uint8_t* type, const uint8_t** body, std::size_t* length);
  // Applies a LINES message; other control messages are not for the host.
  void handleControl(uint8_t type, const uint8_t* body, std::size_t length);
  // Takes every waiting message without blocking: control messages are
  // applied, data goes to the stash while it has room.
  void drain();
  void appendToStash(const uint8_t* data, std::size_t length);
  std::size_t stashed() const { return stash_.size() - stashHead_; }
  // The simulator went away: writes fail and CTS reads off. Messages it sent
  // before are still read until the end of the connection.
  void markHungUp();
  // The connection ended: nothing more to read, so stop watching it (its
  // hang-up would keep the read event signalled for ever).
  void markEnd();

  int fd_ = -1;
  bool hungUp_ = false;
  bool atEnd_ = false;
  bool linesSeen_ = false;  // the simulator has told its CTS state
  bool cts_ = false;
  bool dtr_ = true;
  bool rts_ = true;
  // Data that arrived while the caller was not reading (or had no room):
  // handed out by the next reads, oldest first.
  std::vector<uint8_t> stash_;
  std::size_t stashHead_ = 0;
  WriteEvent writeEvent_;
  static constexpr int kBatchMessages = 16;
  static constexpr std::size_t kBatchSlot = 1 + sim::kMaxDataBody;
  std::unique_ptr<uint8_t[]> batch_;  // kBatchMessages slots, made on the first read
  iovec batchIov_[kBatchMessages]{};
  mmsghdr batchHeaders_[kBatchMessages]{};
  std::unique_ptr<uint8_t[]> scratch_ = std::make_unique_for_overwrite<uint8_t[]>(sim::kMaxDataBody);
};

}  // namespace kmx::io
