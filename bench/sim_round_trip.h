// The line's share of an NV read: the request frame written straight to a
// simulated UT's port and its answer frame read back, by the driver and the
// codec the link server uses, with nothing between them. Together with a
// mailbox round trip it is the least an NV read through the link server can
// take.
#pragma once

#include <benchmark/benchmark.h>
#include <poll.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "kmx/proto/frame_decoder.h"
#include "kmx/proto/frame_encoder.h"
#include "kmx/proto/ut_commands.h"
#include "kmxio.h"

namespace kmx::bench {

// Runs the benchmark loop against the simulator serving `port` (which no
// server may hold); stores the mean nanoseconds per round trip.
inline void simulatorRoundTrip(benchmark::State& state, const std::string& port, double* nsPerRoundTrip) {
  void* line = KMXIOOpenDriver(port.c_str(), 4096);
  if (line == nullptr) {
    state.SkipWithError("the simulator's port could not be opened");
    return;
  }
  proto::LinkStats stats;
  proto::FrameDecoder decoder(stats);
  proto::FrameEncoder encoder;
  const uint8_t item[4] = {1, 0, 0, 0};  // NV item 1, index 0, as the server sends it
  pollfd readable{KMXIOGetReadEventHandle(line), POLLIN, 0};
  uint8_t sequence = 0;
  bool failed = false;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    sequence ^= 1;
    if (!encoder.encodeRequest(proto::ut_command::kNvRead, sequence, {proto::ByteSpan(item, sizeof item)}) ||
        KMXIOWriteData(line, encoder.frame().data(), static_cast<uint32_t>(encoder.frame().size())) != 1) {
      failed = true;
    }
    for (bool answered = false; !answered && !failed;) {
      uint32_t length = 0;
      const uint8_t* bytes = poll(&readable, 1, 1000) == 1 ? KMXIOReadData(line, &length) : nullptr;
      if (bytes == nullptr && length == 0 && (readable.revents & POLLIN) == 0) failed = true;
      if (bytes != nullptr) decoder.feed({bytes, length}, [&](proto::ByteSpan) { answered = true; });
    }
    if (failed) {
      state.SkipWithError("the simulator did not answer");
      break;
    }
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  KMXIOCloseDriver(line);
  if (state.iterations() > 0 && !failed) {
    *nsPerRoundTrip =
        std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(state.iterations());
  }
}

}  // namespace kmx::bench
