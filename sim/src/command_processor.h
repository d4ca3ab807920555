// Carries out one request on the UT model and says what to answer. It knows
// nothing of frames or of the serial line; effects that must wait until the
// response is on the wire (a rate change, a restart) are returned, not done.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "kmx/sim/ut_model.h"

namespace kmx::sim {

struct UnsolicitedPacket {
  uint8_t type = 0;
  std::vector<uint8_t> payload;
};

struct CommandOutcome {
  enum class After { Nothing, ChangeRate, Restart, EnterLoader };

  bool accepted = true;
  std::vector<uint8_t> payload;  // response bytes, or error code + text
  After after = After::Nothing;
  uint32_t newRate = 0;
  std::vector<UnsolicitedPacket> packets;  // sent after the response
};

class CommandProcessor {
 public:
  explicit CommandProcessor(UtModel& model) : model_(model) {}

  CommandOutcome process(uint8_t code, std::span<const uint8_t> payload);

  // How many records one status-data or log-status response carries at most
  // (0: all that were asked for); the host asks again for the rest.
  void setStatusRecordsPerResponse(std::size_t n) { statusRecordsPerResponse_ = n; }
  void setLogStatusRecordsPerResponse(std::size_t n) { logStatusRecordsPerResponse_ = n; }

 private:
  CommandOutcome setRate(std::span<const uint8_t> p);
  CommandOutcome version();
  CommandOutcome readRegion(std::span<const uint8_t> p);
  CommandOutcome writeRegion(std::span<const uint8_t> p);
  CommandOutcome operation(std::span<const uint8_t> p);
  CommandOutcome pluginWrite(std::span<const uint8_t> p);
  CommandOutcome logConfig(std::span<const uint8_t> p);
  CommandOutcome pluginConfig(std::span<const uint8_t> p);
  CommandOutcome testModeCommand(std::span<const uint8_t> p);
  CommandOutcome logStatus(std::span<const uint8_t> p);
  CommandOutcome testModeState(std::span<const uint8_t> p);
  CommandOutcome statusData(std::span<const uint8_t> p);
  CommandOutcome nvCommand(uint8_t code, std::span<const uint8_t> p);
  CommandOutcome checkCode(const std::string& expected, std::span<const uint8_t> p, bool* accepted);
  CommandOutcome memoryPools();
  CommandOutcome keyCommand(uint8_t code, std::span<const uint8_t> p);

  UtModel& model_;
  std::size_t statusRecordsPerResponse_ = 0;
  std::size_t logStatusRecordsPerResponse_ = 0;
};

}  // namespace kmx::sim
