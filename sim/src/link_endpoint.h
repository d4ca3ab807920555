// The UT's end of the framed link: decodes request frames, carries each out
// once, answers with the request's sequence bit, and answers a repeated frame
// (same sequence bit, same bytes: its response was lost) from memory without
// carrying it out again. Unsolicited packets are framed here too.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "command_processor.h"
#include "faults.h"
#include "kmx/proto/frame_decoder.h"
#include "kmx/proto/frame_encoder.h"
#include "kmx/proto/link_stats.h"

namespace kmx::sim {

class LinkEndpoint {
 public:
  using Transmit = std::function<void(std::span<const uint8_t> frame)>;
  using Trace = std::function<void(const char* direction, std::span<const uint8_t> packet)>;
  // Called after a response is on its way, for effects that must follow it.
  using AfterResponse = std::function<void(const CommandOutcome&)>;

  LinkEndpoint(CommandProcessor& processor, Faults& faults, Transmit transmit);

  void setTrace(Trace trace) { trace_ = std::move(trace); }
  void setAfterResponse(AfterResponse after) { after_ = std::move(after); }

  // Bytes from the line, already at the UT's rate.
  void receive(std::span<const uint8_t> bytes);
  void sendUnsolicited(const UnsolicitedPacket& packet);
  // A restart forgets the partial frame and the last request.
  void reset();

  uint32_t framesReceived() const { return framesReceived_; }
  uint32_t framesReceived(uint8_t code) const { return framesByCode_[code]; }
  uint32_t requestsApplied() const { return requestsApplied_; }
  uint32_t repeatsAnswered() const { return repeatsAnswered_; }
  uint32_t responsesSent() const { return responsesSent_; }
  uint32_t unsolicitedSent() const { return unsolicitedSent_; }
  const proto::LinkStats& stats() const { return stats_; }

 private:
  void handlePacket(std::span<const uint8_t> packet);
  void respond(uint8_t sequence, const CommandOutcome& outcome);
  void sendFrame(std::span<const uint8_t> header, std::span<const uint8_t> payload);

  CommandProcessor& processor_;
  Faults& faults_;
  Transmit transmit_;
  Trace trace_;
  AfterResponse after_;
  proto::LinkStats stats_;
  proto::FrameDecoder decoder_{stats_};
  proto::FrameEncoder encoder_;

  std::vector<uint8_t> lastRequest_;   // packet bytes of the last request carried out
  std::vector<uint8_t> lastResponse_;  // the frame that answered it (empty if lost on purpose)
  bool haveLastRequest_ = false;

  uint32_t framesReceived_ = 0;
  std::array<uint32_t, 256> framesByCode_{};
  uint32_t requestsApplied_ = 0;
  uint32_t repeatsAnswered_ = 0;
  uint32_t responsesSent_ = 0;
  uint32_t unsolicitedSent_ = 0;
};

}  // namespace kmx::sim
