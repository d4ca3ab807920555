// A minimal UT end of the simulator socket for the driver's tests: listens on
// a socket path, accepts one connection in the background and then exchanges
// raw protocol messages with the driver.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kmx/io/simulator_protocol.h"

namespace kmx::io::testing {

using Bytes = std::vector<uint8_t>;

struct Message {
  uint8_t type = 0;
  Bytes body;
};

class FakeUt {
 public:
  // Starts listening on `path`. After accepting, the UT tells its CTS state at
  // once unless `announceCts` is false.
  explicit FakeUt(const std::string& path, bool cts = true, bool announceCts = true);
  ~FakeUt();
  FakeUt(const FakeUt&) = delete;
  FakeUt& operator=(const FakeUt&) = delete;

  // Waits for the driver's connection (the accepting thread to finish).
  bool waitConnected();

  bool send(uint8_t type, const Bytes& body);
  bool sendRaw(const Bytes& message);
  bool sendData(const Bytes& data) { return send(sim::kData, data); }
  bool sendCts(bool on) { return send(sim::kLines, {on ? sim::kLineCts : uint8_t{0}}); }

  // The next message from the driver; nullopt on time-out or end of connection.
  std::optional<Message> receive(int timeoutMs = 5000);
  // Data bodies until `count` bytes have come, other messages skipped.
  Bytes receiveData(std::size_t count, int timeoutMs = 5000);

  void hangUp();

 private:
  int listener_ = -1;
  int conn_ = -1;
  std::thread acceptor_;
};

}  // namespace kmx::io::testing
