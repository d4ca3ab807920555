#include "kmx/sim/ut_errors.h"

namespace kmx::sim {

std::vector<uint8_t> rejectionPayload(uint16_t code, const std::string& text) {
  std::vector<uint8_t> payload;
  payload.reserve(2 + text.size());
  payload.push_back(static_cast<uint8_t>(code));
  payload.push_back(static_cast<uint8_t>(code >> 8));
  payload.insert(payload.end(), text.begin(), text.end());
  return payload;
}

std::string nvStatusText(NvStatus status) {
  std::string number = std::to_string(static_cast<unsigned>(status));
  switch (status) {
    case NvStatus::Done: return "NV status " + number + ": done";
    case NvStatus::NotActive: return "NV status " + number + ": item not active";
    case NvStatus::BadItem: return "NV status " + number + ": no such item";
    case NvStatus::BadIndex: return "NV status " + number + ": bad item index";
    case NvStatus::BadLength: return "NV status " + number + ": value too long";
  }
  return "NV status " + number;
}

}  // namespace kmx::sim
