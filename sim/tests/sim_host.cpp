#include "sim_host.h"

#include <poll.h>

#include <chrono>

#include "kmx/proto/byte_order.h"
#include "kmxio.h"

namespace kmx::sim::testing {
namespace {

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

SimHost::SimHost(const std::string& portName) { port_ = KMXIOOpenDriver(portName.c_str(), 8212); }

SimHost::~SimHost() { KMXIOCloseDriver(port_); }

void SimHost::readOnce(int waitMs) {
  pollfd pfd{KMXIOGetReadEventHandle(port_), POLLIN, 0};
  if (poll(&pfd, 1, waitMs) <= 0) return;
  uint32_t length = 0;
  const uint8_t* bytes = KMXIOReadData(port_, &length);
  if (bytes == nullptr || length == 0) return;
  decoder_.feed({bytes, length}, [this](proto::ByteSpan p) {
    Packet packet;
    packet.type = p[0];
    if (p[0] == 1 || p[0] == 2) {
      if (p.size() < 2) return;
      packet.sequence = p[1] & 1;
      packet.payload.assign(p.begin() + 2, p.end());
      responses_.push_back(std::move(packet));
    } else {
      packet.payload.assign(p.begin() + 1, p.end());
      unsolicited_.push_back(std::move(packet));
    }
  });
}

bool SimHost::awaitResponse(uint8_t sequence, Packet& response, int timeoutMs) {
  int64_t deadline = nowMs() + timeoutMs;
  for (;;) {
    while (!responses_.empty()) {
      Packet p = std::move(responses_.front());
      responses_.pop_front();
      if (p.sequence == sequence) {
        response = std::move(p);
        return true;
      }
    }
    int64_t left = deadline - nowMs();
    if (left <= 0) return false;
    readOnce(static_cast<int>(left));
  }
}

bool SimHost::request(uint8_t code, const std::vector<uint8_t>& payload, Packet& response, int timeoutMs) {
  sequence_ ^= 1;
  if (!encoder_.encodeRequest(code, sequence_, {proto::ByteSpan(payload)})) return false;
  auto frame = encoder_.frame();
  KMXIOWriteData(port_, frame.data(), static_cast<uint32_t>(frame.size()));
  return awaitResponse(sequence_, response, timeoutMs);
}

bool SimHost::repeat(Packet& response, int timeoutMs) {
  auto frame = encoder_.frame();
  KMXIOWriteData(port_, frame.data(), static_cast<uint32_t>(frame.size()));
  return awaitResponse(sequence_, response, timeoutMs);
}

void SimHost::writeRaw(const std::vector<uint8_t>& bytes) {
  KMXIOWriteData(port_, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

std::vector<uint8_t> SimHost::readRawBytes(std::size_t count, int timeoutMs) {
  std::vector<uint8_t> out;
  int64_t deadline = nowMs() + timeoutMs;
  while (out.size() < count) {
    int64_t left = deadline - nowMs();
    if (left <= 0) break;
    pollfd pfd{KMXIOGetReadEventHandle(port_), POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left)) <= 0) continue;
    uint32_t length = 0;
    const uint8_t* bytes = KMXIOReadData(port_, &length);
    if (bytes != nullptr) out.insert(out.end(), bytes, bytes + length);
  }
  return out;
}

void SimHost::pump(int ms) {
  int64_t deadline = nowMs() + ms;
  for (int64_t left = ms; left > 0; left = deadline - nowMs()) readOnce(static_cast<int>(left));
}

bool SimHost::nextUnsolicited(Packet& packet, int timeoutMs) {
  int64_t deadline = nowMs() + timeoutMs;
  while (unsolicited_.empty()) {
    int64_t left = deadline - nowMs();
    if (left <= 0) return false;
    readOnce(static_cast<int>(left));
  }
  packet = std::move(unsolicited_.front());
  unsolicited_.pop_front();
  return true;
}

bool SimHost::setRate(uint32_t rate) { return KMXIOSetBaudRate(port_, rate) == 1; }
bool SimHost::setRts(bool on) { return KMXIOSetRTSstate(port_, on ? 1 : 0) == 1; }
bool SimHost::cts() { return KMXIOCheckCTS(port_) == 1; }

std::vector<uint8_t> le16(uint16_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }

std::vector<uint8_t> le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::string rejectionText(const Packet& response) {
  if (response.payload.size() < 2) return "";
  return std::string(response.payload.begin() + 2, response.payload.end());
}

uint16_t rejectionCode(const Packet& response) {
  return response.payload.size() < 2 ? 0 : proto::loadLe16(response.payload.data());
}

}  // namespace kmx::sim::testing
