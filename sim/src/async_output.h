// What the UT sends without being asked: log streams at a set rate, plug-in
// data, alerts and last gasp records. Log and plug-in packets go out only for
// ids the host enabled, within the packet limit it configured, higher
// priority first.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "command_processor.h"
#include "kmx/sim/ut_model.h"

namespace kmx::sim {

struct LastGaspRecord {
  bool newForm = true;       // packet type 5; false: the older type 3
  std::string file = "main.c";  // newer form: the file name; older form: ignored
  uint16_t fileNumber = 7;   // older form only
  uint16_t line = 123;
  uint32_t args[3] = {1, 2, 3};
  uint32_t timeHigh = 0x01020304;  // newer form only
  uint32_t timeLow = 0x05060708;
  std::string format = "fault %d %d %d";
};

class AsyncOutput {
 public:
  // Starts (or changes) the stream of log id `id`: `perSecond` packets with
  // `dataSize` bytes of data each; with `gapEvery` > 0 every gapEvery-th
  // sequence number is skipped, as if a packet had been lost.
  void startLogStream(uint8_t id, double perSecond, std::size_t dataSize, uint32_t gapEvery, int64_t nowMs);
  void stopLogStream(uint8_t id);
  void stopAll();

  // Appends the log packets due by `nowMs` (for enabled ids, within their
  // limits) in priority order. Returns the time the next one is due, or -1.
  int64_t collectDue(int64_t nowMs, UtModel& model, std::vector<UnsolicitedPacket>& out);

  static UnsolicitedPacket alert(uint8_t id, std::span<const uint8_t> data);
  static UnsolicitedPacket pluginData(uint8_t id, std::span<const uint8_t> data);
  static UnsolicitedPacket lastGasp(const LastGaspRecord& record);

 private:
  struct Stream {
    bool running = false;
    double perSecond = 0;
    std::size_t dataSize = 0;
    uint32_t gapEvery = 0;
    uint32_t sinceGap = 0;
    uint8_t nextSequence = 0;
    int64_t nextDueMs = 0;
    int64_t windowStartMs = 0;  // one-second window of the packet limit
    uint32_t sentInWindow = 0;
  };
  UnsolicitedPacket makeLogPacket(uint8_t id, Stream& stream, int64_t nowMs);

  std::array<Stream, kLogIds> streams_{};
};

}  // namespace kmx::sim
