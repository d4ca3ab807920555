// What a serial line does to bytes: a receiver listening at another rate than
// the sender gets garbage, and a noisy line flips bits.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <vector>

namespace kmx::sim {

class LineNoise {
 public:
  explicit LineNoise(uint32_t seed) : random_(seed) {}

  void setErrorRate(double perByte) { errorRate_ = perByte; }
  double errorRate() const { return errorRate_; }

  // Applies the rate mismatch (when the rates differ) and the noise to bytes
  // travelling from a sender at `fromRate` to a receiver at `toRate`.
  void apply(std::vector<uint8_t>& bytes, uint32_t fromRate, uint32_t toRate);

 private:
  std::mt19937 random_;
  double errorRate_ = 0;
  uint8_t garbleState_ = 0x5A;
};

}  // namespace kmx::sim
