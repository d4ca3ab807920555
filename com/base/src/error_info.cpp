#include "vx/com/error_info.h"

#include <utility>

namespace vx::com {

namespace {
thread_local std::string description;
}  // namespace

void SetErrorDescription(std::string text) { description = std::move(text); }

std::string TakeErrorDescription() { return std::exchange(description, {}); }

}  // namespace vx::com
