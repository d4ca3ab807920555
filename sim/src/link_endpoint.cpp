#include "link_endpoint.h"

#include <algorithm>

#include "kmx/sim/ut_commands.h"
#include "kmx/sim/ut_errors.h"

namespace kmx::sim {

LinkEndpoint::LinkEndpoint(CommandProcessor& processor, Faults& faults, Transmit transmit)
    : processor_(processor), faults_(faults), transmit_(std::move(transmit)) {}

void LinkEndpoint::receive(std::span<const uint8_t> bytes) {
  decoder_.feed(bytes, [this](proto::ByteSpan packet) { handlePacket(packet); });
}

void LinkEndpoint::reset() {
  decoder_.reset();
  haveLastRequest_ = false;
  lastRequest_.clear();
  lastResponse_.clear();
}

// A request packet: command code, sequence byte, payload (CRC removed).
void LinkEndpoint::handlePacket(std::span<const uint8_t> packet) {
  if (trace_) trace_("host->ut", packet);
  if (packet.size() < 2) return;
  ++framesReceived_;
  const uint8_t code = packet[0];
  ++framesByCode_[code];
  const uint8_t sequence = packet[1] & 1;
  if (faults_.takeSilence(code)) return;

  bool repeat = haveLastRequest_ && std::equal(packet.begin(), packet.end(), lastRequest_.begin(),
                                               lastRequest_.end());
  if (repeat) {
    // Our answer was lost on the way: send the same answer again.
    ++repeatsAnswered_;
    if (!lastResponse_.empty()) {
      ++responsesSent_;
      transmit_(lastResponse_);
    }
    return;
  }

  lastRequest_.assign(packet.begin(), packet.end());
  haveLastRequest_ = true;
  lastResponse_.clear();

  CommandOutcome outcome;
  auto injected = faults_.rejections.find(code);
  if (injected != faults_.rejections.end()) {
    outcome.accepted = false;
    outcome.payload = rejectionPayload(injected->second.errorCode, injected->second.text);
  } else {
    ++requestsApplied_;
    outcome = processor_.process(code, packet.subspan(2));
    if (code == ut_command::kVersion && outcome.accepted && faults_.badVersionTimes > 0) {
      --faults_.badVersionTimes;
      outcome.payload.resize(faults_.badVersionLength, 0);
    }
  }
  respond(sequence, outcome);
}

void LinkEndpoint::respond(uint8_t sequence, const CommandOutcome& outcome) {
  const uint8_t header[2] = {outcome.accepted ? ut_packet::kAccepted : ut_packet::kRejected, sequence};
  bool lose = faults_.loseResponses > 0;
  if (lose) --faults_.loseResponses;
  if (encoder_.encode(header, {proto::ByteSpan(outcome.payload)})) {
    auto frame = encoder_.frame();
    lastResponse_.assign(frame.begin(), frame.end());
    if (trace_) {
      std::vector<uint8_t> packet(header, header + 2);
      packet.insert(packet.end(), outcome.payload.begin(), outcome.payload.end());
      trace_(lose ? "ut->host (lost)" : "ut->host", packet);
    }
    if (!lose) {
      ++responsesSent_;
      transmit_(frame);
    }
  }
  if (after_) after_(outcome);
  for (const auto& packet : outcome.packets) sendUnsolicited(packet);
}

void LinkEndpoint::sendUnsolicited(const UnsolicitedPacket& packet) {
  const uint8_t header[1] = {packet.type};
  if (trace_) {
    std::vector<uint8_t> bytes = {packet.type};
    bytes.insert(bytes.end(), packet.payload.begin(), packet.payload.end());
    trace_("ut->host", bytes);
  }
  sendFrame(header, packet.payload);
  ++unsolicitedSent_;
}

void LinkEndpoint::sendFrame(std::span<const uint8_t> header, std::span<const uint8_t> payload) {
  if (encoder_.encode(header, {payload})) transmit_(encoder_.frame());
}

}  // namespace kmx::sim
