// The host side of a simulated port, as the link server will drive it: the
// serial driver opened by port name, the frame codec, the sequence bit.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "kmx/proto/frame_decoder.h"
#include "kmx/proto/frame_encoder.h"

namespace kmx::sim::testing {

struct Packet {
  uint8_t type = 0;  // 1 accepted, 2 rejected, else unsolicited
  std::vector<uint8_t> payload;  // after the type (and, for responses, the sequence byte)
  uint8_t sequence = 0;
};

class SimHost {
 public:
  explicit SimHost(const std::string& portName);
  ~SimHost();
  bool ok() const { return port_ != nullptr; }
  void* port() const { return port_; }

  // Sends a request with a fresh sequence bit and waits for its response.
  // Returns false when none came within timeoutMs.
  bool request(uint8_t code, const std::vector<uint8_t>& payload, Packet& response, int timeoutMs = 2000);
  // Sends the same frame again (same sequence bit).
  bool repeat(Packet& response, int timeoutMs = 2000);
  // Sends raw bytes as they are.
  void writeRaw(const std::vector<uint8_t>& bytes);
  // Reads raw bytes, not decoded, until `count` came or the time is up.
  std::vector<uint8_t> readRawBytes(std::size_t count, int timeoutMs);

  // Reads for `ms` milliseconds, collecting packets.
  void pump(int ms);
  // Waits until an unsolicited packet has arrived; takes the oldest.
  bool nextUnsolicited(Packet& packet, int timeoutMs = 2000);
  std::size_t unsolicitedCount() const { return unsolicited_.size(); }
  void clearUnsolicited() { unsolicited_.clear(); }
  uint32_t crcErrors() const { return stats_.crcErrors; }

  bool setRate(uint32_t rate);
  bool setRts(bool on);
  bool cts();

 private:
  bool awaitResponse(uint8_t sequence, Packet& response, int timeoutMs);
  void readOnce(int waitMs);

  void* port_ = nullptr;
  uint8_t sequence_ = 0;
  proto::FrameEncoder encoder_;
  proto::LinkStats stats_;
  proto::FrameDecoder decoder_{stats_};
  std::deque<Packet> responses_;
  std::deque<Packet> unsolicited_;
};

std::vector<uint8_t> le16(uint16_t v);
std::vector<uint8_t> le32(uint32_t v);
std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts);
std::string rejectionText(const Packet& response);  // text after the error code
uint16_t rejectionCode(const Packet& response);

}  // namespace kmx::sim::testing
