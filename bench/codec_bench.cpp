// Throughput of the frame codec. Every figure comes with a baseline measured
// in the same run, so results can be compared as ratios across machines:
//   - CRC: table-driven against bit-at-a-time, and against memcpy;
//   - decoding: against a plain byte-at-a-time decoder with the same table
//     CRC, and against memcpy of the same bytes.
// Streams: "plain" frames without escapes, "mixed" frames of varied sizes with
// random payloads (about 1 byte in 85 escaped) and some escape-heavy frames.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "kmx/proto/crc16.h"
#include "kmx/proto/frame_decoder.h"
#include "kmx/proto/frame_encoder.h"

namespace {

using kmx::proto::ByteSpan;
using Bytes = std::vector<uint8_t>;

Bytes randomBytes(std::size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes data(n);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  return data;
}

uint16_t bitwiseCrc(uint16_t start, const uint8_t* data, std::size_t n) {
  unsigned reg = static_cast<uint16_t>(~start);
  for (std::size_t i = 0; i < n; ++i) {
    reg ^= static_cast<unsigned>(data[i]) << 8;
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 0x8000U) != 0 ? (reg << 1) ^ 0x1021U : reg << 1;
    }
    reg &= 0xFFFFU;
  }
  return static_cast<uint16_t>(~reg);
}

// The straightforward decoder: one byte at a time, CRC at the end.
class ByteAtATimeDecoder {
 public:
  template <class Sink>
  void feed(ByteSpan bytes, Sink&& sink) {
    for (uint8_t byte : bytes) {
      if (count_ >= kmx::proto::kMaxPacketSize) count_ = 0;
      if (afterEscape_) {
        afterEscape_ = false;
        if (byte < 4) buf_[count_++] = kmx::proto::kEscapeTable[byte];
      } else if (byte == kmx::proto::kEscapeByte) {
        afterEscape_ = true;
      } else if (byte == kmx::proto::kFrameFlag) {
        if (count_ >= 3) {
          const std::size_t n = count_ - 2;
          const uint16_t crc = static_cast<uint16_t>(buf_[n] | (buf_[n + 1] << 8));
          if (kmx::proto::crc16(0, buf_, n) == crc) sink(ByteSpan(buf_, n));
        }
        count_ = 0;
      } else {
        buf_[count_++] = byte;
      }
    }
  }

 private:
  uint8_t buf_[kmx::proto::kMaxPacketSize];
  std::size_t count_ = 0;
  bool afterEscape_ = false;
};

Bytes plainStream() {
  Bytes stream;
  kmx::proto::FrameEncoder encoder;
  std::mt19937 rng(1);
  while (stream.size() < (1U << 20)) {
    Bytes payload(1024);
    for (auto& b : payload) b = static_cast<uint8_t>(0x60 + rng() % 0x80);  // no special bytes
    encoder.encodeRequest(0x13, 1, {payload});
    stream.insert(stream.end(), encoder.frame().begin(), encoder.frame().end());
  }
  return stream;
}

Bytes mixedStream() {
  Bytes stream;
  kmx::proto::FrameEncoder encoder;
  std::mt19937 rng(2);
  while (stream.size() < (1U << 20)) {
    const std::size_t size = rng() % 8 == 0 ? 4000 : 16 + rng() % 600;
    Bytes payload = randomBytes(size, static_cast<uint32_t>(rng()));
    if (rng() % 10 == 0) {  // escape-heavy: a quarter of the bytes special
      for (auto& b : payload) {
        if (rng() % 4 == 0) b = 0x5B;
      }
    }
    const uint8_t header[2] = {static_cast<uint8_t>(rng() % 2 + 1), static_cast<uint8_t>(rng() & 1)};
    encoder.encode(header, {payload});
    stream.insert(stream.end(), encoder.frame().begin(), encoder.frame().end());
  }
  return stream;
}

const Bytes& stream(int which) {
  static const Bytes plain = plainStream();
  static const Bytes mixed = mixedStream();
  return which == 0 ? plain : mixed;
}

// Nanoseconds per byte of each run, by name, for the ratios printed at the
// end. A benchmark function runs several times; the last run counts.
std::map<std::string, double> gNsPerByte;

class PerByteTimer {
 public:
  PerByteTimer(benchmark::State& state, std::string name, std::size_t bytesPerIteration)
      : state_(state), name_(std::move(name)), bytes_(bytesPerIteration),
        start_(std::chrono::steady_clock::now()) {}
  ~PerByteTimer() {
    const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start_).count();
    const double bytes = static_cast<double>(state_.iterations()) * static_cast<double>(bytes_);
    if (bytes > 0) gNsPerByte[name_] = ns / bytes;
  }
  PerByteTimer(const PerByteTimer&) = delete;
  PerByteTimer& operator=(const PerByteTimer&) = delete;

 private:
  benchmark::State& state_;
  std::string name_;
  std::size_t bytes_;
  std::chrono::steady_clock::time_point start_;
};

std::string withArg(const char* name, int64_t arg) { return std::string(name) + "/" + std::to_string(arg); }

// ---------------------------------------------------------------- CRC

void BM_Crc16Table(benchmark::State& state) {
  const Bytes data = randomBytes(static_cast<std::size_t>(state.range(0)), 5);
  PerByteTimer timer(state, withArg("table", state.range(0)), data.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(kmx::proto::crc16(0, data));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc16Table)->Arg(64)->Arg(1024)->Arg(8192);

void BM_Crc16Bitwise_Baseline(benchmark::State& state) {
  const Bytes data = randomBytes(static_cast<std::size_t>(state.range(0)), 5);
  PerByteTimer timer(state, withArg("bitwise", state.range(0)), data.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(bitwiseCrc(0, data.data(), data.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc16Bitwise_Baseline)->Arg(64)->Arg(1024)->Arg(8192);

// ---------------------------------------------------------------- decoding

void BM_Decode(benchmark::State& state) {
  const Bytes& wire = stream(static_cast<int>(state.range(0)));
  kmx::proto::LinkStats stats;
  kmx::proto::FrameDecoder decoder(stats);
  std::size_t packets = 0;
  // Reads of the server's buffer size.
  PerByteTimer timer(state, withArg("decode", state.range(0)), wire.size());
  for (auto _ : state) {
    for (std::size_t from = 0; from < wire.size(); from += 8212) {
      decoder.feed(ByteSpan(wire).subspan(from, std::min<std::size_t>(8212, wire.size() - from)),
                   [&](ByteSpan p) { packets += p.size() != 0; });
    }
  }
  benchmark::DoNotOptimize(packets);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * wire.size()));
  state.SetLabel(state.range(0) == 0 ? "plain" : "mixed");
}
BENCHMARK(BM_Decode)->Arg(0)->Arg(1);

void BM_DecodeByteAtATime_Baseline(benchmark::State& state) {
  const Bytes& wire = stream(static_cast<int>(state.range(0)));
  ByteAtATimeDecoder decoder;
  std::size_t packets = 0;
  PerByteTimer timer(state, withArg("byte-at-a-time", state.range(0)), wire.size());
  for (auto _ : state) {
    for (std::size_t from = 0; from < wire.size(); from += 8212) {
      decoder.feed(ByteSpan(wire).subspan(from, std::min<std::size_t>(8212, wire.size() - from)),
                   [&](ByteSpan p) { packets += p.size() != 0; });
    }
  }
  benchmark::DoNotOptimize(packets);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * wire.size()));
  state.SetLabel(state.range(0) == 0 ? "plain" : "mixed");
}
BENCHMARK(BM_DecodeByteAtATime_Baseline)->Arg(0)->Arg(1);

void BM_Memcpy_Baseline(benchmark::State& state) {
  const Bytes& wire = stream(1);
  Bytes copy(8212);
  PerByteTimer timer(state, "memcpy", wire.size());
  for (auto _ : state) {
    for (std::size_t from = 0; from < wire.size(); from += 8212) {
      const std::size_t n = std::min<std::size_t>(8212, wire.size() - from);
      std::memcpy(copy.data(), wire.data() + from, n);
      benchmark::ClobberMemory();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * wire.size()));
}
BENCHMARK(BM_Memcpy_Baseline);

// ---------------------------------------------------------------- encoding

void BM_EncodeMixed(benchmark::State& state) {
  std::mt19937 rng(4);
  std::vector<Bytes> payloads;
  std::size_t total = 0;
  for (int i = 0; i < 256; ++i) {
    payloads.push_back(randomBytes(16 + rng() % 2000, static_cast<uint32_t>(rng())));
    total += payloads.back().size();
  }
  kmx::proto::FrameEncoder encoder;
  for (auto _ : state) {
    for (const Bytes& p : payloads) {
      benchmark::DoNotOptimize(encoder.encodeRequest(0x13, 1, {p}));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
}
BENCHMARK(BM_EncodeMixed);

}  // namespace

// One line per figure and its baseline: how many times the baseline's time
// per byte the figure takes (below 1 is faster).
void printRatios() {
  auto ratio = [](const std::string& figure, const std::string& baseline, const char* what) {
    auto f = gNsPerByte.find(figure);
    auto b = gNsPerByte.find(baseline);
    if (f == gNsPerByte.end() || b == gNsPerByte.end() || b->second <= 0) return;
    std::printf("ratio: %s %.3f\n", what, f->second / b->second);
  };
  for (int size : {64, 1024, 8192}) {
    const std::string table = withArg("table", size);
    ratio(table, withArg("bitwise", size), ("CRC-16 table to bit-at-a-time, " + std::to_string(size) + " bytes,").c_str());
  }
  ratio(withArg("decode", 0), withArg("byte-at-a-time", 0), "decoding plain frames to a byte-at-a-time decoder,");
  ratio(withArg("decode", 1), withArg("byte-at-a-time", 1), "decoding mixed frames to a byte-at-a-time decoder,");
  ratio(withArg("decode", 1), "memcpy", "decoding mixed frames to memcpy of the same bytes,");
  ratio(withArg("table", 8192), "memcpy", "CRC-16 table of 8192 bytes to memcpy,");
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printRatios();
  return 0;
}
