// The command calls: each sends one command on the connection's command
// mailbox and turns its reply into results for the caller.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "api_support.h"
#include "kmx/proto/byte_order.h"
#include "kmx_messages.h"
#include "kmxio.h"

namespace kmx::client {
namespace {

using proto::loadLe16;
using proto::loadLe32;
using proto::storeLe16;
using proto::storeLe32;

// The most a reply can carry after its status word.
constexpr uint32_t kMaxReplyBody = msg::kMaxMessage - msg::reply::kBody;

bool invalidArguments() {
  setError(KMX_ERR_INVALID_ARGUMENTS);
  return false;
}

bool invalidResponse() {
  setError(KMX_ERR_INVALID_RESPONSE);
  return false;
}

// A request whose size was computed from a caller's count: one that cannot
// be a message fails like a refused send, before anything is built.
bool fitsInMessage(uint64_t size) {
  if (size <= msg::kMaxMessage) return true;
  setError(KMX_ERR_IPC_SENDV);
  return false;
}

// A command whose reply is the status word alone.
bool statusOnly(Connection& c, Form form, std::span<const KMXBuffer> request) {
  uint8_t reply[4];
  KMXBuffer in[] = {piece(reply, sizeof reply)};
  return c.exchange(form, request, in);
}

// Form C with a reply body of exactly `size` bytes; a shorter one is invalid.
bool fixedReply(Connection& c, std::span<const KMXBuffer> request, void* body, uint32_t size) {
  uint8_t status[4];
  KMXBuffer in[] = {piece(status, sizeof status), piece(body, size)};
  if (!c.exchange(Form::C, request, in)) return false;
  return in[1].length == size || invalidResponse();
}

// Form C with a reply body of any length up to a message into `body`
// (kMaxReplyBody bytes); *length gets what arrived.
bool variableReply(Connection& c, std::span<const KMXBuffer> request, uint8_t* body,
                   uint32_t* length) {
  uint8_t status[4];
  KMXBuffer in[] = {piece(status, sizeof status), piece(body, kMaxReplyBody)};
  if (!c.exchange(Form::C, request, in)) return false;
  *length = in[1].length;
  return true;
}

// Commands 18 and 26: item, index and data.
int writeNvItem(void* connection, uint32_t command, uint32_t item, uint32_t index,
                const void* data, uint32_t length) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (data == nullptr && length != 0) return invalidArguments();
    uint8_t header[msg::cmd::kNvData];
    storeLe32(&header[msg::cmd::kId], command);
    storeLe32(&header[msg::cmd::kNvItem], item);
    storeLe32(&header[msg::cmd::kNvIndex], index);
    const KMXBuffer out[] = {piece(header, sizeof header), piece(data, length)};
    return statusOnly(c, Form::B, out);
  });
}

// Commands 42 and 43: a code's characters, one result byte back.
int sendCode(void* connection, uint32_t command, const char* code, uint8_t* result) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (code == nullptr) return invalidArguments();
    const std::size_t length = std::strlen(code);
    if (!fitsInMessage(msg::cmd::kCodeText + uint64_t{length})) return 0;
    uint8_t header[msg::cmd::kCodeText];
    storeLe32(&header[msg::cmd::kId], command);
    const KMXBuffer out[] = {piece(header, sizeof header),
                             piece(code, static_cast<uint32_t>(length))};
    uint8_t answer = 0;
    if (!fixedReply(c, out, &answer, 1)) return 0;
    if (result != nullptr) *result = answer;
    return 1;
  });
}

// Commands 14 and 16 asked for no items: the exchange is made, and whatever
// its outcome there is nothing to hand out, so the call succeeds (the server
// may well refuse an empty list).
int emptyListAsked(Connection& c, std::span<const KMXBuffer> request) {
  uint8_t status[4];
  uint8_t body[msg::kMaxMessage - sizeof status];
  KMXBuffer in[] = {piece(status, sizeof status), piece(body, sizeof body)};
  c.exchange(Form::C, request, in);
  clearError();
  return 1;
}

// A request with a fixed part and a list of one byte per item.
struct ListRequest {
  uint8_t bytes[msg::kMaxMessage];
  uint32_t size = 0;
};

}  // namespace
}  // namespace kmx::client

using namespace kmx::client;
using kmx::proto::loadLe16;
using kmx::proto::loadLe32;
using kmx::proto::storeLe16;
using kmx::proto::storeLe32;
namespace msg = kmx::msg;

extern "C" {

KMXCLIENT_API int KMXGetAsyncDropPktCnts(void* connection, uint32_t* droppedForClient,
                                         uint32_t* droppedForAll) {
  const int result = onConnection(connection, [&](Connection& c) -> int {
    uint8_t request[4];
    storeLe32(request, msg::kCmdGetDropCounts);
    uint8_t reply[msg::reply::kDropsSize];
    const KMXBuffer out[] = {piece(request, sizeof request)};
    KMXBuffer in[] = {piece(reply, sizeof reply)};
    if (!c.exchange(Form::A, out, in)) return 0;
    if (in[0].length != sizeof reply) return invalidResponse();
    if (droppedForClient != nullptr) *droppedForClient = loadLe32(&reply[msg::reply::kDropsForClient]);
    if (droppedForAll != nullptr) *droppedForAll = loadLe32(&reply[msg::reply::kDropsForAll]);
    return 1;
  });
  if (result == 0) {
    if (droppedForClient != nullptr) *droppedForClient = 0;
    if (droppedForAll != nullptr) *droppedForAll = 0;
  }
  return result;
}

KMXCLIENT_API int KMXGetStatusData(void* connection, uint32_t count, const uint32_t* selectors,
                                   KMXStatusRecord* records) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (count != 0 && (selectors == nullptr || records == nullptr)) return invalidArguments();
    if (!fitsInMessage(msg::cmd::kListItems + 4 * uint64_t{count})) return 0;
    ListRequest request;
    storeLe32(&request.bytes[msg::cmd::kId], msg::kCmdGetStatusData);
    storeLe32(&request.bytes[msg::cmd::kListCount], count);
    for (uint32_t i = 0; i < count; ++i) {
      storeLe32(&request.bytes[msg::cmd::kListItems + 4 * i], selectors[i]);
    }
    request.size = msg::cmd::kListItems + 4 * count;
    const KMXBuffer out[] = {piece(request.bytes, request.size)};
    if (count == 0) return emptyListAsked(c, out);
    std::vector<uint8_t> body(kMaxReplyBody);
    uint32_t length = 0;
    if (!variableReply(c, out, body.data(), &length)) return 0;

    // Count, then per record: u16 (unused), u16 length L, L bytes. Every
    // record must lie inside the reply before anything is handed out.
    kmx::proto::ByteReader reader({body.data(), length});
    uint32_t replyCount = 0;
    if (!reader.u32(replyCount) || replyCount != count) return invalidResponse();
    std::vector<std::span<const uint8_t>> data(count);
    for (uint32_t i = 0; i < count; ++i) {
      uint16_t unused = 0, size = 0;
      if (!reader.u16(unused) || !reader.u16(size) || !reader.bytes(size, data[i])) {
        return invalidResponse();
      }
    }
    std::vector<void*> blocks(count, nullptr);
    for (uint32_t i = 0; i < count; ++i) {
      if (data[i].empty()) continue;
      blocks[i] = std::calloc(data[i].size(), 1);
      if (blocks[i] == nullptr) {
        for (void* block : blocks) std::free(block);
        setError(KMX_ERR_NO_MEMORY);
        return 0;
      }
      std::memcpy(blocks[i], data[i].data(), data[i].size());
    }
    for (uint32_t i = 0; i < count; ++i) {
      records[i].length = static_cast<uint16_t>(data[i].size());
      records[i].data = blocks[i];
    }
    return 1;
  });
}

KMXCLIENT_API int KMXGetTestModeState(void* connection, uint32_t count,
                                      KMXTestModeRecord* records) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (count != 0 && records == nullptr) return invalidArguments();
    if (!fitsInMessage(msg::cmd::kListItems + uint64_t{count})) return 0;
    ListRequest request;
    storeLe32(&request.bytes[msg::cmd::kId], msg::kCmdGetTestModeState);
    storeLe32(&request.bytes[msg::cmd::kListCount], count);
    for (uint32_t i = 0; i < count; ++i) request.bytes[msg::cmd::kListItems + i] = records[i].itemId;
    request.size = msg::cmd::kListItems + count;
    const KMXBuffer out[] = {piece(request.bytes, request.size)};
    if (count == 0) return emptyListAsked(c, out);
    std::vector<uint8_t> body(kMaxReplyBody);
    uint32_t length = 0;
    if (!variableReply(c, out, body.data(), &length)) return 0;

    constexpr uint32_t kRecords = msg::reply::kListRecords - msg::reply::kBody;
    constexpr uint32_t kSize = msg::reply::kTestModeRecordSize;
    if (length < kRecords || loadLe32(body.data()) != count ||
        length - kRecords < uint64_t{count} * kSize) {
      return invalidResponse();
    }
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* record = &body[kRecords + i * kSize];
      // The records must answer the ids in the order they were asked.
      if (record[0] != records[i].itemId) return invalidResponse();
      records[i].value = loadLe32(record + 4);
    }
    return 1;
  });
}

KMXCLIENT_API int KMXReadNVItemData(void* connection, uint32_t item, uint32_t index,
                                    void* buffer, uint32_t bufferSize, uint32_t* length) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (buffer == nullptr && bufferSize != 0) return invalidArguments();
    uint8_t request[msg::cmd::kNvSize];
    storeLe32(&request[msg::cmd::kId], msg::kCmdReadNvItem);
    storeLe32(&request[msg::cmd::kNvItem], item);
    storeLe32(&request[msg::cmd::kNvIndex], index);
    uint8_t status[4];
    const KMXBuffer out[] = {piece(request, sizeof request)};
    KMXBuffer in[] = {piece(status, sizeof status), piece(buffer, bufferSize)};
    if (!c.exchange(Form::C, out, in)) return 0;
    if (length != nullptr) *length = in[1].length;
    return 1;
  });
}

KMXCLIENT_API int KMXReadRegion(void* connection, uint8_t region, uint32_t address,
                                uint32_t length, uint32_t qualifier, void* buffer) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (buffer == nullptr && length != 0) return invalidArguments();
    auto* out = static_cast<uint8_t*>(buffer);
    // Chunks of 256 bytes, the last one holding the rest; the command
    // mutex stays held across all of them.
    for (uint32_t done = 0; done < length;) {
      const uint32_t chunk = std::min(length - done, msg::cmd::kReadRegionMaxChunk);
      uint8_t request[msg::cmd::kReadRegionSize] = {};
      storeLe32(&request[msg::cmd::kId], msg::kCmdReadRegion);
      storeLe32(&request[msg::cmd::kReadRegionAddress], address + done);
      storeLe32(&request[msg::cmd::kReadRegionQualifier], qualifier);
      storeLe16(&request[msg::cmd::kReadRegionLength], static_cast<uint16_t>(chunk));
      request[msg::cmd::kReadRegionRegion] = region;
      const KMXBuffer pieces[] = {piece(request, sizeof request)};
      // A chunk that comes back short would leave the caller's bytes unread.
      if (!fixedReply(c, pieces, out + done, chunk)) return 0;
      done += chunk;
    }
    return 1;
  });
}

KMXCLIENT_API int KMXSendOprCmd(void* connection, uint8_t operation, const void* data,
                                uint32_t dataLength, void* reply, uint32_t* replyLength) {
  const uint32_t capacity = replyLength != nullptr ? *replyLength : 0;
  const int result = onConnection(connection, [&](Connection& c) -> int {
    if (reply == nullptr && capacity != 0) return invalidArguments();
    // A length without its data is refused like every other call's.
    if (data == nullptr && dataLength != 0) return invalidArguments();
    uint8_t header[msg::cmd::kOprData] = {};
    storeLe32(&header[msg::cmd::kId], msg::kCmdSendOprCmd);
    header[msg::cmd::kOprCode] = operation;
    const KMXBuffer out[] = {piece(header, sizeof header), piece(data, dataLength)};
    uint8_t status[4];
    KMXBuffer in[] = {piece(status, sizeof status), piece(reply, capacity)};
    if (!c.exchange(Form::C, out, in)) return 0;
    if (replyLength != nullptr) *replyLength = in[1].length;
    return 1;
  });
  if (result == 0 && replyLength != nullptr) *replyLength = 0;
  return result;
}

KMXCLIENT_API int KMXTestModeControl(void* connection, uint8_t command, uint32_t parameter,
                                     void* buffer, uint16_t length, uint16_t* outLength) {
  if (length != 0 && buffer == nullptr) {
    // Refused before the handle is even looked at.
    clearError();
    setError(KMX_ERR_INVALID_ARGUMENTS);
    if (outLength != nullptr) *outLength = 0;
    return 0;
  }
  const int result = onConnection(connection, [&](Connection& c) -> int {
    uint8_t header[msg::cmd::kTestModeData] = {};
    storeLe32(&header[msg::cmd::kId], msg::kCmdTestModeControl);
    header[msg::cmd::kTestModeCommand] = command;
    storeLe32(&header[msg::cmd::kTestModeParameter], parameter);
    const KMXBuffer out[] = {piece(header, sizeof header), piece(buffer, length)};
    uint8_t status[4];
    KMXBuffer in[] = {piece(status, sizeof status), piece(buffer, length)};
    if (!c.exchange(Form::C, out, in)) return 0;
    if (outLength != nullptr) *outLength = static_cast<uint16_t>(in[1].length);
    return 1;
  });
  if (result == 0 && outLength != nullptr) *outLength = 0;
  return result;
}

KMXCLIENT_API int KMXWriteNVItemData(void* connection, uint32_t item, uint32_t index,
                                     const void* data, uint32_t length) {
  return writeNvItem(connection, msg::kCmdWriteNvItem, item, index, data, length);
}

KMXCLIENT_API int KMXInsertNVItemData(void* connection, uint32_t item, uint32_t index,
                                      const void* data, uint32_t length) {
  return writeNvItem(connection, msg::kCmdInsertNvItem, item, index, data, length);
}

KMXCLIENT_API int KMXDeleteNVItemData(void* connection, uint32_t item, uint32_t index) {
  return onConnection(connection, [&](Connection& c) -> int {
    uint8_t request[msg::cmd::kNvSize];
    storeLe32(&request[msg::cmd::kId], msg::kCmdDeleteNvItem);
    storeLe32(&request[msg::cmd::kNvItem], item);
    storeLe32(&request[msg::cmd::kNvIndex], index);
    const KMXBuffer out[] = {piece(request, sizeof request)};
    return statusOnly(c, Form::A, out);
  });
}

KMXCLIENT_API int KMXWriteRegion(void* connection, uint8_t region, uint32_t address,
                                 uint32_t length, uint32_t qualifier, const void* data) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (data == nullptr && length != 0) return invalidArguments();
    uint8_t header[msg::cmd::kWriteRegionData] = {};
    storeLe32(&header[msg::cmd::kId], msg::kCmdWriteRegion);
    storeLe32(&header[msg::cmd::kWriteRegionAddress], address);
    storeLe32(&header[msg::cmd::kWriteRegionQualifier], qualifier);
    header[msg::cmd::kWriteRegionRegion] = region;
    const KMXBuffer out[] = {piece(header, sizeof header), piece(data, length)};
    return statusOnly(c, Form::B, out);
  });
}

KMXCLIENT_API int KMXGetKMXVersionInfo(void* connection, uint8_t* versionInfo) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (versionInfo == nullptr) return invalidArguments();
    uint8_t request[4];
    storeLe32(request, msg::kCmdGetVersionInfo);
    uint8_t block[msg::reply::kVersionSize];
    const KMXBuffer out[] = {piece(request, sizeof request)};
    if (!fixedReply(c, out, block, sizeof block)) return 0;
    std::memcpy(versionInfo, block, sizeof block);
    return 1;
  });
}

KMXCLIENT_API int KMXXmodemCmd(void* connection, int32_t subcommand, uint32_t parameter,
                               uint32_t dataLength, const void* data) {
  return onConnection(connection, [&](Connection& c) -> int {
    // Only subcommand 1 (send data) carries data.
    constexpr int32_t kSendData = 1;
    const bool withData = subcommand == kSendData;
    if (withData && data == nullptr && dataLength != 0) return invalidArguments();
    uint8_t header[msg::cmd::kXmodemData];
    storeLe32(&header[msg::cmd::kId], msg::kCmdXmodem);
    storeLe32(&header[msg::cmd::kXmodemSubcommand], static_cast<uint32_t>(subcommand));
    storeLe32(&header[msg::cmd::kXmodemParameter], parameter);
    const KMXBuffer out[] = {piece(header, sizeof header),
                             piece(data, withData ? dataLength : 0)};
    return statusOnly(c, Form::B, std::span(out, withData ? 2 : 1));
  });
}

KMXCLIENT_API int KMXGetLogStatusData(void* connection, uint32_t count,
                                      KMXLogStatusRecord* records) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (count == 0) return 1;
    if (records == nullptr) return invalidArguments();
    if (!fitsInMessage(msg::cmd::kListItems + uint64_t{count})) return 0;
    ListRequest request;
    storeLe32(&request.bytes[msg::cmd::kId], msg::kCmdGetLogStatusData);
    storeLe32(&request.bytes[msg::cmd::kListCount], count);
    for (uint32_t i = 0; i < count; ++i) request.bytes[msg::cmd::kListItems + i] = records[i].bytes[0];
    request.size = msg::cmd::kListItems + count;
    const KMXBuffer out[] = {piece(request.bytes, request.size)};
    // The records come straight into the caller's records.
    const uint32_t recordBytes = count * msg::reply::kLogStatusRecordSize;
    uint8_t status[4];
    uint8_t replyCount[4];
    KMXBuffer in[] = {piece(status, sizeof status), piece(replyCount, sizeof replyCount),
                      piece(records, recordBytes)};
    if (!c.exchange(Form::C, out, in)) return 0;
    if (in[1].length != sizeof replyCount || loadLe32(replyCount) != count ||
        in[2].length != recordBytes) {
      return invalidResponse();
    }
    return 1;
  });
}

KMXCLIENT_API int KMXGetLinkStats(void* connection, uint32_t* crcErrors,
                                  uint32_t* receiveOverflows, uint32_t* badEscapes,
                                  uint32_t* retransmissions, uint32_t count,
                                  const uint8_t* logCodes, KMXLinkStatsRecord* records,
                                  uint32_t reset) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (count != 0 && (logCodes == nullptr || records == nullptr)) return invalidArguments();
    if (!fitsInMessage(msg::cmd::kLinkStatsCodes + uint64_t{count})) return 0;
    uint8_t header[msg::cmd::kLinkStatsCodes];
    storeLe32(&header[msg::cmd::kId], msg::kCmdGetLinkStats);
    storeLe32(&header[msg::cmd::kLinkStatsReset], reset);
    storeLe32(&header[msg::cmd::kLinkStatsCount], count);
    const KMXBuffer out[] = {piece(header, sizeof header), piece(logCodes, count)};
    std::vector<uint8_t> body(kMaxReplyBody);
    uint32_t length = 0;
    if (!variableReply(c, out, body.data(), &length)) return 0;

    // Offsets within the body (the reply less its status word).
    auto at = [](uint32_t replyOffset) { return replyOffset - msg::reply::kBody; };
    const uint32_t recordsAt = at(msg::reply::kStatsRecords);
    if (length < recordsAt || loadLe32(&body[at(msg::reply::kStatsCount)]) != count ||
        length - recordsAt < uint64_t{count} * msg::reply::kStatsRecordSize) {
      return invalidResponse();
    }
    if (crcErrors != nullptr) *crcErrors = loadLe32(&body[at(msg::reply::kStatsCrcErrors)]);
    if (receiveOverflows != nullptr) *receiveOverflows = loadLe32(&body[at(msg::reply::kStatsOverflows)]);
    if (badEscapes != nullptr) *badEscapes = loadLe32(&body[at(msg::reply::kStatsBadEscapes)]);
    if (retransmissions != nullptr) {
      *retransmissions = loadLe32(&body[at(msg::reply::kStatsRetransmissions)]);
    }
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* record = &body[recordsAt + i * msg::reply::kStatsRecordSize];
      records[i].logCode = loadLe32(record);
      records[i].counter = loadLe32(record + 4);
    }
    return 1;
  });
}

KMXCLIENT_API int KMXGetNVItemListDimension(void* connection, uint32_t item,
                                            uint16_t* dimension) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (dimension == nullptr) return invalidArguments();
    uint8_t request[msg::cmd::kListDimensionSize];
    storeLe32(&request[msg::cmd::kId], msg::kCmdGetNvListDimension);
    storeLe16(&request[msg::cmd::kListDimensionItem], static_cast<uint16_t>(item));
    uint8_t value[2];
    const KMXBuffer out[] = {piece(request, sizeof request)};
    if (!fixedReply(c, out, value, sizeof value)) return 0;
    *dimension = loadLe16(value);
    return 1;
  });
}

KMXCLIENT_API int KMXGetMemPoolsInfo(void* connection, uint8_t* info) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (info == nullptr) return invalidArguments();
    uint8_t request[4];
    storeLe32(request, msg::kCmdGetMemPoolsInfo);
    uint8_t block[msg::reply::kMemPoolsSize];
    const KMXBuffer out[] = {piece(request, sizeof request)};
    if (!fixedReply(c, out, block, sizeof block)) return 0;
    std::memcpy(info, block, sizeof block);
    return 1;
  });
}

KMXCLIENT_API int KMXSendSecurityPassword(void* connection, const char* password,
                                          uint8_t* result) {
  return sendCode(connection, msg::kCmdSendSecurityPassword, password, result);
}

KMXCLIENT_API int KMXSendSPCode(void* connection, const char* code, uint8_t* result) {
  return sendCode(connection, msg::kCmdSendSpCode, code, result);
}

KMXCLIENT_API int KMXCancelXmodemBlockingCall(void* connection) {
  return guarded(0, [&]() -> int {
    clearError();
    auto c = findConnection(connection);
    if (!c) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    // Without the command mutex: the Xmodem command it cancels holds it.
    if (!c->sendCancel()) {
      setError(KMX_ERR_IPC_SEND);
      return 0;
    }
    return 1;
  });
}

KMXCLIENT_API int KMXGetAvailableBaudRates(void* connection, uint32_t* rates) {
  return onConnection(connection, [&](Connection& c) -> int {
    if (rates == nullptr) return invalidArguments();
    uint8_t request[4];
    storeLe32(request, msg::kCmdGetAvailableBaudRates);
    uint8_t value[4];
    const KMXBuffer out[] = {piece(request, sizeof request)};
    if (!fixedReply(c, out, value, sizeof value)) return 0;
    *rates = loadLe32(value);
    return 1;
  });
}

KMXCLIENT_API int KMXGetAvailableBaudRatesOnCOMPort(const char* portName, uint32_t* rates) {
  return guarded(0, [&]() -> int {
    clearError();
    if (portName == nullptr || rates == nullptr) return invalidArguments();
    void* port = KMXIOOpenDriver(portName, 0);
    if (port == nullptr) {
      setError(KMX_ERR_PORT_NOT_OPENED);
      return 0;
    }
    *rates = KMXIOGetAvailableBaudRates(port);
    KMXIOCloseDriver(port);
    return 1;
  });
}

KMXCLIENT_API int KMXSetAKey(void*, uint8_t, uint16_t, uint32_t, uint32_t) {
  clearError();
  setError(KMX_ERR_NOT_SUPPORTED);
  return 0;
}

KMXCLIENT_API int KMXVerifyAKey(void* connection, uint8_t selector, uint16_t value,
                                uint32_t keyHigh, uint32_t keyLow, uint32_t* result) {
  if (result != nullptr) *result = 0;
  return onConnection(connection, [&](Connection& c) -> int {
    uint8_t request[msg::cmd::kKeySize] = {};
    storeLe32(&request[msg::cmd::kId], msg::kCmdVerifyAKey);
    request[msg::cmd::kKeyByte] = selector;
    storeLe16(&request[msg::cmd::kKeyHalf], value);
    storeLe32(&request[msg::cmd::kKeyWord1], keyHigh);
    storeLe32(&request[msg::cmd::kKeyWord2], keyLow);
    uint8_t reply[msg::reply::kVerifySize];
    const KMXBuffer out[] = {piece(request, sizeof request)};
    KMXBuffer in[] = {piece(reply, sizeof reply)};
    if (!c.exchange(Form::A, out, in)) return 0;
    // A reply of another size carries no result: the call fails, the result
    // stays 0, and there is no error to report.
    if (in[0].length != sizeof reply) return 0;
    if (result != nullptr) *result = loadLe32(&reply[msg::reply::kVerifyResult]);
    return 1;
  });
}

KMXCLIENT_API int KMXSetDTRState(void* connection, uint32_t state) {
  return onConnection(connection, [&](Connection& c) -> int {
    uint8_t request[msg::cmd::kDtrSize];
    storeLe32(&request[msg::cmd::kId], msg::kCmdSetDtrState);
    storeLe32(&request[msg::cmd::kDtrState], state);
    const KMXBuffer out[] = {piece(request, sizeof request)};
    return statusOnly(c, Form::A, out);
  });
}

}  // extern "C"
