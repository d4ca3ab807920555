#include "line_noise.h"

namespace kmx::sim {

void LineNoise::apply(std::vector<uint8_t>& bytes, uint32_t fromRate, uint32_t toRate) {
  if (fromRate != toRate && fromRate != 0 && toRate != 0) {
    // A receiver sampling at the wrong rate sees other bits than were sent:
    // scramble every byte with a running state, so that no byte pattern (and
    // so no frame) survives.
    for (auto& byte : bytes) {
      garbleState_ = static_cast<uint8_t>(garbleState_ * 37 + 11);
      byte = static_cast<uint8_t>((byte * 0x3B) ^ garbleState_ ^ 0xA5);
    }
  }
  if (errorRate_ > 0) {
    std::bernoulli_distribution hit(errorRate_ > 1 ? 1.0 : errorRate_);
    std::uniform_int_distribution<int> bit(0, 7);
    for (auto& byte : bytes) {
      if (hit(random_)) byte = static_cast<uint8_t>(byte ^ (1u << bit(random_)));
    }
  }
}

}  // namespace kmx::sim
