// The messages between the client library and the link server: the one
// definition both sides compile. Every message is one IPC message of at most
// kChannelMessageSize bytes, little-endian, laid out at the byte offsets
// below; nothing in a message states its own length (the receiver takes it
// from the IPC receive).
#pragma once

#include <cstdint>

namespace kmx::msg {

inline constexpr uint32_t kMaxMessage = 4360;

// --- connection channel ------------------------------------------------------

// Connection request on "ConnMbox", 16 bytes.
namespace conn_request {
inline constexpr uint32_t kSize = 16;
inline constexpr uint32_t kKind = 0;        // u32, always 0
inline constexpr uint32_t kClientId = 4;    // u32, N of the client channel name
inline constexpr uint32_t kBaudRate = 8;    // u32, requested rate
inline constexpr uint32_t kProcessId = 12;  // u32, the client's process
}  // namespace conn_request

// Connection reply on the new client channel's "StoCRsp", 12 bytes.
namespace conn_reply {
inline constexpr uint32_t kSize = 12;
inline constexpr uint32_t kKind = 0;       // u32, always 3
inline constexpr uint32_t kStatus = 4;     // u32, ConnStatus
inline constexpr uint32_t kServerPid = 8;  // u32, the server's process id
inline constexpr uint32_t kKindValue = 3;
}  // namespace conn_reply

enum ConnStatus : uint32_t {
  kConnAccepted = 0,
  kConnRefused = 1,     // shutting down, or the server could not start
  kConnServerFull = 2,  // 100 clients
  kConnPortFailed = 3,  // the serial port could not be opened
};

// --- commands ------------------------------------------------------------------

enum CommandId : uint32_t {
  kCmdClose = 5,
  kCmdRawUt = 6,
  kCmdSetBaudRate = 7,
  kCmdRegister = 8,
  kCmdWriteToPlugin = 9,
  kCmdWriteRegion = 10,
  kCmdReadRegion = 11,
  kCmdSendOprCmd = 12,
  kCmdTestModeControl = 13,
  kCmdGetStatusData = 14,
  kCmdGetLogStatusData = 15,
  kCmdGetTestModeState = 16,
  kCmdOpenConnection = 17,
  kCmdWriteNvItem = 18,
  kCmdReadNvItem = 19,
  kCmdGetDropCounts = 20,
  kCmdGetVersionInfo = 21,
  kCmdXmodem = 22,
  kCmdGetLinkStats = 23,
  kCmdGetNvListDimension = 24,
  kCmdDeleteNvItem = 25,
  kCmdInsertNvItem = 26,
  kCmdGetMemPoolsInfo = 41,
  kCmdSendSecurityPassword = 42,
  kCmdSendSpCode = 43,
  kCmdCancelXmodem = 47,
  kCmdGetAvailableBaudRates = 48,
  kCmdKeyCommand = 49,
  kCmdVerifyAKey = 50,
  kCmdSetDtrState = 51,
};

// Reply statuses (the first word of every reply).
enum Status : uint32_t {
  kStatusOk = 0,
  kStatusUtReplyUnusable = 1,
  kStatusNoUtReply = 2,
  kStatusLinkDown = 28,
  kStatusLinkNotMade = 29,
  kStatusUtRejected = 30,
  kStatusFailed = 31,
  kStatusReplyTooBig = 32,
  kStatusBadBaudRate = 33,
  kStatusXmodemStartFailed = 34,
  kStatusXmodemFailed = 35,
  kStatusXmodemCancelledByUt = 36,
  kStatusNotInXmodem = 37,
  kStatusXmodemBadState = 38,
  kStatusNotXmodemOwner = 39,
  kStatusXmodemOther = 40,
  kStatusAlreadyInXmodem = 44,
  kStatusBadReplySize = 45,
  kStatusXmodemCancelled = 46,
};

// Command layouts (offsets from the start of the request).
namespace cmd {
inline constexpr uint32_t kId = 0;  // u32, CommandId

// 7 set baud rate: u32 rate.
inline constexpr uint32_t kSetBaudRateRate = 4;
inline constexpr uint32_t kSetBaudRateSize = 8;

// 8 register: action, type, id, priority, maximum packets.
inline constexpr uint32_t kRegisterAction = 4;
inline constexpr uint32_t kRegisterType = 8;
inline constexpr uint32_t kRegisterAsyncId = 12;
inline constexpr uint32_t kRegisterPriority = 16;
inline constexpr uint32_t kRegisterMaxPackets = 20;
inline constexpr uint32_t kRegisterSize = 24;

// 9 write to plug-in: u32 plug-in id, data from 8.
inline constexpr uint32_t kPluginId = 4;
inline constexpr uint32_t kPluginData = 8;

// 10 write region: u32 address, u32 qualifier, u8 region, data from 16.
inline constexpr uint32_t kWriteRegionAddress = 4;
inline constexpr uint32_t kWriteRegionQualifier = 8;
inline constexpr uint32_t kWriteRegionRegion = 12;
inline constexpr uint32_t kWriteRegionData = 16;

// 11 read region, 16 bytes: u32 address, u32 qualifier, u16 length, u8 region.
inline constexpr uint32_t kReadRegionAddress = 4;
inline constexpr uint32_t kReadRegionQualifier = 8;
inline constexpr uint32_t kReadRegionLength = 12;
inline constexpr uint32_t kReadRegionRegion = 14;
inline constexpr uint32_t kReadRegionSize = 16;
inline constexpr uint32_t kReadRegionMaxChunk = 256;

// 12 operation command: u8 operation code, data from 8.
inline constexpr uint32_t kOprCode = 4;
inline constexpr uint32_t kOprData = 8;

// 13 test-mode control: u8 command, u32 parameter, data from 12.
inline constexpr uint32_t kTestModeCommand = 4;
inline constexpr uint32_t kTestModeParameter = 8;
inline constexpr uint32_t kTestModeData = 12;

// 14, 15, 16: u32 count n, then n selectors (4 bytes), log codes or item ids (1 byte).
inline constexpr uint32_t kListCount = 4;
inline constexpr uint32_t kListItems = 8;

// 17 open connection, 12 bytes: u16 time-out in seconds, u32 state mask.
inline constexpr uint32_t kOpenTimeout = 4;
inline constexpr uint32_t kOpenStateMask = 8;
inline constexpr uint32_t kOpenSize = 12;

// 18, 19, 25, 26: u32 item number, u32 item index, data from 12.
inline constexpr uint32_t kNvItem = 4;
inline constexpr uint32_t kNvIndex = 8;
inline constexpr uint32_t kNvData = 12;
inline constexpr uint32_t kNvSize = 12;

// 22 Xmodem: i32 subcommand, u32 parameter, data from 12.
inline constexpr uint32_t kXmodemSubcommand = 4;
inline constexpr uint32_t kXmodemParameter = 8;
inline constexpr uint32_t kXmodemData = 12;

// 23 link statistics: u32 reset flag, u32 count n, n log codes from 12.
inline constexpr uint32_t kLinkStatsReset = 4;
inline constexpr uint32_t kLinkStatsCount = 8;
inline constexpr uint32_t kLinkStatsCodes = 12;

// 24 list dimension, 6 bytes: u16 item number.
inline constexpr uint32_t kListDimensionItem = 4;
inline constexpr uint32_t kListDimensionSize = 6;

// 42, 43: the code's characters from 4.
inline constexpr uint32_t kCodeText = 4;

// 49 key command: u8 selector (1: UT code 28), u16 at 6, u32 at 8 and 12.
// 50 verify A-key, 16 bytes: u8 at 4, u16 at 6, u32 at 8 and 12.
inline constexpr uint32_t kKeyByte = 4;
inline constexpr uint32_t kKeyHalf = 6;
inline constexpr uint32_t kKeyWord1 = 8;
inline constexpr uint32_t kKeyWord2 = 12;
inline constexpr uint32_t kKeySize = 16;

// 51 DTR: u32 state (1 on).
inline constexpr uint32_t kDtrState = 4;
inline constexpr uint32_t kDtrSize = 8;
}  // namespace cmd

// --- replies ---------------------------------------------------------------------

namespace reply {
inline constexpr uint32_t kStatus = 0;  // u32
inline constexpr uint32_t kBody = 4;

// UT error reply (status 30), exactly 264 bytes.
inline constexpr uint32_t kUtErrorSize = 264;
inline constexpr uint32_t kUtErrorCode = 4;  // u16
inline constexpr uint32_t kUtErrorText = 6;  // char[256], NUL at 261 at the latest
inline constexpr uint32_t kUtErrorTextMax = 255;
inline constexpr uint32_t kUtErrorNulAt = 261;

// 17 open connection, 12 bytes: 8 u32 client-visible link state.
inline constexpr uint32_t kOpenState = 8;
inline constexpr uint32_t kOpenSize = 12;

// 21 version: 83 bytes from 4.
inline constexpr uint32_t kVersionSize = 83;

// 23 link statistics: four counters, count, 8-byte records.
inline constexpr uint32_t kStatsCrcErrors = 4;
inline constexpr uint32_t kStatsOverflows = 8;
inline constexpr uint32_t kStatsBadEscapes = 12;
inline constexpr uint32_t kStatsRetransmissions = 16;
inline constexpr uint32_t kStatsCount = 20;
inline constexpr uint32_t kStatsRecords = 24;
inline constexpr uint32_t kStatsRecordSize = 8;

// 14 status data: count, then records (u16, u16 length, data).
// 15 log status: count, then 28-byte records. 16 test-mode state: count,
// then 8-byte records (u8 id, 3 unused, u32 value).
inline constexpr uint32_t kListCount = 4;
inline constexpr uint32_t kListRecords = 8;
inline constexpr uint32_t kLogStatusRecordSize = 28;
inline constexpr uint32_t kTestModeRecordSize = 8;

// 41 memory pools: 24 bytes from 4.
inline constexpr uint32_t kMemPoolsSize = 24;

// 20 drop counts, 12 bytes: u32 for this client, u32 for all clients.
inline constexpr uint32_t kDropsForClient = 4;
inline constexpr uint32_t kDropsForAll = 8;
inline constexpr uint32_t kDropsSize = 12;

// 50 verify A-key, 8 bytes: u32 verification result.
inline constexpr uint32_t kVerifyResult = 4;
inline constexpr uint32_t kVerifySize = 8;
}  // namespace reply

// --- asynchronous messages (on "CtoSAsync") -----------------------------------------

namespace async {
inline constexpr uint32_t kMarkerValue = 4;
inline constexpr uint32_t kMarker = 0;  // u32, always 4
inline constexpr uint32_t kType = 4;    // u32, AsyncType
inline constexpr uint32_t kId = 8;      // u32
inline constexpr uint32_t kHeaderSize = 12;

// Payloads, offsets from the start of the message.
inline constexpr uint32_t kData = 12;  // plug-in data and alerts
// Log data: u8 sequence number, two u32 log header words, the log data.
inline constexpr uint32_t kLogSequence = 12;
inline constexpr uint32_t kLogHeader1 = 13;
inline constexpr uint32_t kLogHeader2 = 17;
inline constexpr uint32_t kLogData = 21;
// Last gasp record: u32 time stamp high and low words, NUL-terminated text.
inline constexpr uint32_t kLastGaspStampHigh = 12;
inline constexpr uint32_t kLastGaspStampLow = 16;
inline constexpr uint32_t kLastGaspText = 20;
}  // namespace async

enum AsyncType : uint32_t {
  kAsyncPlugin = 0,
  kAsyncLog = 1,
  kAsyncStateChange = 2,
  kAsyncLastGasp = 3,
  kAsyncAlert = 4,
};

// Client-visible link states, also the bits of a client's state mask.
enum LinkStateValue : uint32_t {
  kLinkNone = 0,
  kLinkUp = 1,
  kLinkEstablishing = 2,
  kLinkDown = 4,
};

}  // namespace kmx::msg
