// The UT link's command codes (the first byte of a request) and the packet
// types the UT sends (the first byte of its packets), shared by the server
// and the simulated UT.
#pragma once

#include <cstdint>

namespace kmx::proto {

namespace ut_command {
inline constexpr uint8_t kSetRate = 1;
inline constexpr uint8_t kVersion = 2;
inline constexpr uint8_t kReadRegion = 3;
inline constexpr uint8_t kWriteRegion = 7;
inline constexpr uint8_t kOperation = 9;
inline constexpr uint8_t kPluginWrite = 10;
inline constexpr uint8_t kSync = 11;  // sync probe and ping
inline constexpr uint8_t kLogConfig = 12;
inline constexpr uint8_t kPluginConfig = 13;
inline constexpr uint8_t kTestMode = 14;
inline constexpr uint8_t kLogStatus = 15;
inline constexpr uint8_t kTestModeState = 17;
inline constexpr uint8_t kStatusData = 18;
inline constexpr uint8_t kNvRead = 19;
inline constexpr uint8_t kNvWrite = 20;
inline constexpr uint8_t kStartDownload = 21;  // go to the loader for an Xmodem download
inline constexpr uint8_t kSecurityPassword = 22;
inline constexpr uint8_t kServiceProgrammingCode = 23;
inline constexpr uint8_t kNvDelete = 24;
inline constexpr uint8_t kNvListDimension = 25;
inline constexpr uint8_t kNvInsert = 26;
inline constexpr uint8_t kMemoryPools = 27;
inline constexpr uint8_t kKeyStore = 28;
inline constexpr uint8_t kKeyVerify = 29;
inline constexpr uint8_t kKeyStoreShort = 30;
}  // namespace ut_command

namespace ut_packet {
inline constexpr uint8_t kAccepted = 1;
inline constexpr uint8_t kRejected = 2;
inline constexpr uint8_t kLastGaspOld = 3;
inline constexpr uint8_t kPluginData = 4;
inline constexpr uint8_t kLastGaspNew = 5;
inline constexpr uint8_t kAlert = 6;
inline constexpr uint8_t kLogBase = 0x80;  // 0x80 | log id
}  // namespace ut_packet

}  // namespace kmx::proto
