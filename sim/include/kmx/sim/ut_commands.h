// The UT's command codes and packet types, and the meanings the simulated UT
// gives to operation codes and test-mode commands.
#pragma once

#include <cstdint>

#include "kmx/proto/ut_commands.h"

namespace kmx::sim {

// The link's command codes and packet types.
namespace ut_command = proto::ut_command;
namespace ut_packet = proto::ut_packet;

// Operation code 6 carries a sub-operation in its two data bytes.
namespace ut_operation {
inline constexpr uint8_t kQuery = 0;
inline constexpr uint8_t kService = 6;
inline constexpr uint8_t kResetArg0 = 0x05, kResetArg1 = 0x00;
inline constexpr uint8_t kSessionArg0 = 0x07, kSessionArg1 = 0x01;
}  // namespace ut_operation

// Test-mode commands (the first payload byte of command 14).
namespace ut_test_mode {
inline constexpr uint8_t kQuery = 0;
inline constexpr uint8_t kEnter = 1;
inline constexpr uint8_t kLeave = 2;
inline constexpr uint8_t kSetItem = 3;
}  // namespace ut_test_mode

}  // namespace kmx::sim
