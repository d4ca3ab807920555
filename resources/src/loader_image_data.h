// The loader image that every resource library carries as ("FLASH", 176).
#pragma once

#include <cstdint>
#include <span>

namespace vx::res {

std::span<const std::uint8_t> loaderImage();

}  // namespace vx::res
