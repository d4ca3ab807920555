#include "async_output.h"

#include <algorithm>
#include <cmath>

#include "kmx/proto/byte_order.h"
#include "kmx/sim/ut_commands.h"

namespace kmx::sim {
namespace {

using proto::appendLe16;
using proto::appendLe32;

void appendText(std::vector<uint8_t>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

}  // namespace

void AsyncOutput::startLogStream(uint8_t id, double perSecond, std::size_t dataSize, uint32_t gapEvery,
                                 int64_t nowMs) {
  if (id >= kLogIds || perSecond <= 0) return;
  Stream& stream = streams_[id];
  stream.running = true;
  stream.perSecond = perSecond;
  stream.dataSize = std::min<std::size_t>(dataSize, 4096);
  stream.gapEvery = gapEvery;
  stream.sinceGap = 0;
  stream.nextDueMs = nowMs;
  stream.windowStartMs = nowMs;
  stream.sentInWindow = 0;
}

void AsyncOutput::stopLogStream(uint8_t id) {
  if (id < kLogIds) streams_[id].running = false;
}

void AsyncOutput::stopAll() {
  for (auto& stream : streams_) stream.running = false;
}

// Log packet: type 0x80 | id; sequence number; two header words (the UT's
// millisecond clock and the stream's packet count); then the data bytes.
UnsolicitedPacket AsyncOutput::makeLogPacket(uint8_t id, Stream& stream, int64_t nowMs) {
  if (stream.gapEvery > 0 && ++stream.sinceGap >= stream.gapEvery) {
    stream.sinceGap = 0;
    ++stream.nextSequence;  // this number is never sent
  }
  uint8_t sequence = stream.nextSequence++;
  UnsolicitedPacket packet{static_cast<uint8_t>(ut_packet::kLogBase | id), {sequence}};
  appendLe32(packet.payload, static_cast<uint32_t>(nowMs));
  appendLe32(packet.payload, stream.sentInWindow);
  for (std::size_t i = 0; i < stream.dataSize; ++i)
    packet.payload.push_back(static_cast<uint8_t>(sequence + i));
  return packet;
}

int64_t AsyncOutput::collectDue(int64_t nowMs, UtModel& model, std::vector<UnsolicitedPacket>& out) {
  // Ids with a packet due, highest configured priority first.
  std::vector<uint8_t> due;
  int64_t next = -1;
  for (std::size_t id = 0; id < kLogIds; ++id) {
    Stream& stream = streams_[id];
    if (!stream.running) continue;
    if (stream.nextDueMs <= nowMs) due.push_back(static_cast<uint8_t>(id));
  }
  std::stable_sort(due.begin(), due.end(), [&](uint8_t a, uint8_t b) {
    return model.logs[a].priority > model.logs[b].priority;
  });

  for (uint8_t id : due) {
    Stream& stream = streams_[id];
    LogStreamConfig& config = model.logs[id];
    const double periodMs = 1000.0 / stream.perSecond;
    // Catch up at most one second's worth, so a stalled loop does not burst.
    int burst = 0;
    while (stream.nextDueMs <= nowMs && burst++ < std::max(1, static_cast<int>(stream.perSecond))) {
      stream.nextDueMs += std::max<int64_t>(1, static_cast<int64_t>(std::llround(periodMs)));
      if (nowMs - stream.windowStartMs >= 1000) {
        stream.windowStartMs = nowMs;
        stream.sentInWindow = 0;
      }
      bool withinLimit = config.maxPacketsPerSecond == 0xFFFF ||
                         stream.sentInWindow < config.maxPacketsPerSecond;
      if (!config.enabled || !withinLimit) continue;
      UnsolicitedPacket packet = makeLogPacket(id, stream, nowMs);
      ++stream.sentInWindow;
      ++config.packetsSent;
      config.lastSequence = packet.payload[0];
      out.push_back(std::move(packet));
    }
    if (stream.nextDueMs < nowMs) stream.nextDueMs = nowMs;
  }
  for (const Stream& stream : streams_) {
    if (stream.running && (next < 0 || stream.nextDueMs < next)) next = stream.nextDueMs;
  }
  return next;
}

namespace {

// An id byte followed by the data.
UnsolicitedPacket idPacket(uint8_t type, uint8_t id, std::span<const uint8_t> data) {
  UnsolicitedPacket packet{type, {}};
  packet.payload.reserve(1 + data.size());
  packet.payload.push_back(id);
  packet.payload.insert(packet.payload.end(), data.begin(), data.end());
  return packet;
}

}  // namespace

UnsolicitedPacket AsyncOutput::alert(uint8_t id, std::span<const uint8_t> data) {
  return idPacket(ut_packet::kAlert, id, data);
}

UnsolicitedPacket AsyncOutput::pluginData(uint8_t id, std::span<const uint8_t> data) {
  return idPacket(ut_packet::kPluginData, id, data);
}

// Older form (type 3): file number (16), line (16), three 32-bit arguments,
// then the NUL-terminated format at 16. Newer form (type 5): time stamp low
// (32) at 0 and high (32) at 4, three arguments at 8, 12, 16, line (16) at 20,
// the NUL-terminated file name at 22 (within 50 bytes), the format at 72.
UnsolicitedPacket AsyncOutput::lastGasp(const LastGaspRecord& r) {
  UnsolicitedPacket packet;
  auto& out = packet.payload;
  if (!r.newForm) {
    packet.type = ut_packet::kLastGaspOld;
    appendLe16(out, r.fileNumber);
    appendLe16(out, r.line);
    for (uint32_t arg : r.args) appendLe32(out, arg);
    appendText(out, r.format);
    return packet;
  }
  packet.type = ut_packet::kLastGaspNew;
  appendLe32(out, r.timeLow);
  appendLe32(out, r.timeHigh);
  for (uint32_t arg : r.args) appendLe32(out, arg);
  appendLe16(out, r.line);
  std::string file = r.file.substr(0, 49);
  out.insert(out.end(), file.begin(), file.end());
  out.resize(72, 0);
  appendText(out, r.format);
  return packet;
}

}  // namespace kmx::sim
