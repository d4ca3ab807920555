#include "command_relay.h"

#include <algorithm>
#include <cstring>

#include "kmx/proto/byte_order.h"
#include "kmx/proto/ut_commands.h"
#include "kmx_messages.h"
#include "kmxio.h"
#include "link_manager.h"

namespace kmx::server {
namespace {

using proto::appendLe16;
using proto::appendLe32;
using proto::loadLe16;
using proto::loadLe32;

namespace ut = proto::ut_command;

constexpr uint32_t kVersionReasks = 5;
constexpr uint32_t kLinkStatsMaxCodes = (msg::kMaxMessage - msg::reply::kStatsRecords) / msg::reply::kStatsRecordSize;

std::vector<uint8_t> statusWord(uint32_t status) {
  std::vector<uint8_t> out;
  appendLe32(out, status);
  return out;
}

void append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// The length every accepted answer of `code` has (-1: it varies): what the
// link checks before it takes an answer for a request.
int fixedAnswerLength(uint8_t code, std::span<const uint8_t> payload) {
  switch (code) {
    case ut::kNvWrite:
    case ut::kNvDelete:
    case ut::kNvInsert: return 0;
    case ut::kSecurityPassword:
    case ut::kServiceProgrammingCode: return 1;
    case ut::kNvListDimension: return 2;
    case ut::kMemoryPools: return static_cast<int>(msg::reply::kMemPoolsSize);
    case ut::kReadRegion: return payload.size() == 8 ? loadLe16(&payload[6]) : -1;  // the length asked for
    default: return -1;
  }
}

}  // namespace

CommandRelay::CommandRelay(UtLink& link, LinkManager& manager, LogLossTable& losses)
    : link_(link), manager_(manager), losses_(losses) {}

// The completion holds the client weakly: a client retired while the UT has
// its request is not answered.
void CommandRelay::submitFor(ClientEntry& client, uint8_t code, std::vector<uint8_t> payload, int level) {
  auto request = std::make_unique<UtRequest>(
      code, std::move(payload),
      [this, target = client.weak_from_this(), code](RequestStatus status, std::span<const uint8_t> response) {
        if (auto entry = target.lock()) completed(*entry, code, status, response);
      });
  request->owner = client.serial();
  request->answerLength = fixedAnswerLength(code, request->payload);
  request->answerEchoes = code == ut::kSync;  // a raw request is a sync: its answer echoes it
  client.busy = Busy::Serving;
  link_.submit(std::move(request), level);
}

bool CommandRelay::handle(ClientEntry& client) {
  const uint32_t id = client.commandId();
  auto command = client.command();
  switch (id) {
    case msg::kCmdGetDropCounts: {
      std::vector<uint8_t> reply = statusWord(msg::kStatusOk);
      appendLe32(reply, client.dropCount);
      appendLe32(reply, manager_.totalDrops);
      client.finish(reply);
      return true;
    }
    case msg::kCmdGetLinkStats:
      linkStatistics(client);
      return true;
    case msg::kCmdGetAvailableBaudRates: {
      std::vector<uint8_t> reply = statusWord(msg::kStatusOk);
      appendLe32(reply, KMXIOGetAvailableBaudRates(link_.port()));
      client.finish(reply);
      return true;
    }
    case msg::kCmdSetDtrState: {
      if (command.size() < msg::cmd::kDtrSize) {
        client.finishStatus(msg::kStatusFailed);
      } else {
        uint32_t on = loadLe32(&command[msg::cmd::kDtrState]) == 1 ? 1 : 0;
        client.finishStatus(link_.setDtr(on == 1) ? msg::kStatusOk : msg::kStatusUtReplyUnusable);
      }
      return true;
    }
    default:
      return buildUtRequest(client, id);
  }
}

// Builds the UT request of a relay command from the client's message. A
// message shorter than its fixed fields, or whose count overruns it, gets
// status 31 and nothing goes to the UT.
bool CommandRelay::buildUtRequest(ClientEntry& client, uint32_t id) {
  auto c = client.command();
  auto from = [&](std::size_t offset) {
    return offset <= c.size() ? c.subspan(offset) : std::span<const uint8_t>();
  };
  auto need = [&](std::size_t size) {
    if (c.size() >= size) return true;
    client.finishStatus(msg::kStatusFailed);
    return false;
  };
  auto low16 = [&](std::size_t offset) { return static_cast<uint16_t>(loadLe32(&c[offset])); };
  std::vector<uint8_t> p;

  switch (id) {
    case msg::kCmdRawUt:
      if (!need(4)) return true;
      append(p, from(4));
      submitFor(client, ut::kSync, std::move(p));
      return true;
    case msg::kCmdWriteToPlugin:
      if (!need(msg::cmd::kPluginData)) return true;
      p.push_back(c[msg::cmd::kPluginId]);
      append(p, from(msg::cmd::kPluginData));
      submitFor(client, ut::kPluginWrite, std::move(p));
      return true;
    case msg::kCmdWriteRegion:
      if (!need(msg::cmd::kWriteRegionData)) return true;
      p.push_back(c[msg::cmd::kWriteRegionQualifier]);
      p.push_back(c[msg::cmd::kWriteRegionRegion]);
      append(p, c.subspan(msg::cmd::kWriteRegionAddress, 4));
      append(p, from(msg::cmd::kWriteRegionData));
      submitFor(client, ut::kWriteRegion, std::move(p));
      return true;
    case msg::kCmdReadRegion:
      if (!need(msg::cmd::kReadRegionSize)) return true;
      p.push_back(c[msg::cmd::kReadRegionQualifier]);
      p.push_back(c[msg::cmd::kReadRegionRegion]);
      append(p, c.subspan(msg::cmd::kReadRegionAddress, 4));
      append(p, c.subspan(msg::cmd::kReadRegionLength, 2));
      submitFor(client, ut::kReadRegion, std::move(p));
      return true;
    case msg::kCmdSendOprCmd:
      if (!need(msg::cmd::kOprData)) return true;
      p.push_back(c[msg::cmd::kOprCode]);
      append(p, from(msg::cmd::kOprData));
      submitFor(client, ut::kOperation, std::move(p));
      return true;
    case msg::kCmdTestModeControl:
      if (!need(msg::cmd::kTestModeData)) return true;
      p.push_back(c[msg::cmd::kTestModeCommand]);
      p.push_back(c[msg::cmd::kTestModeParameter]);
      append(p, from(msg::cmd::kTestModeData));
      submitFor(client, ut::kTestMode, std::move(p));
      return true;
    case msg::kCmdGetStatusData:
    case msg::kCmdGetLogStatusData:
    case msg::kCmdGetTestModeState: {
      if (!need(msg::cmd::kListItems)) return true;
      const uint64_t n = loadLe32(&c[msg::cmd::kListCount]);
      const uint64_t width = id == msg::kCmdGetStatusData ? 4 : 1;
      if (n == 0 || msg::cmd::kListItems + n * width > c.size()) {
        client.finishStatus(msg::kStatusFailed);
        return true;
      }
      append(p, c.subspan(msg::cmd::kListItems, static_cast<std::size_t>(n * width)));
      uint8_t code = id == msg::kCmdGetStatusData ? ut::kStatusData
                     : id == msg::kCmdGetLogStatusData ? ut::kLogStatus
                                                       : ut::kTestModeState;
      submitFor(client, code, std::move(p));
      return true;
    }
    case msg::kCmdWriteNvItem:
    case msg::kCmdReadNvItem:
    case msg::kCmdDeleteNvItem:
    case msg::kCmdInsertNvItem: {
      if (!need(msg::cmd::kNvSize)) return true;
      appendLe16(p, low16(msg::cmd::kNvItem));
      appendLe16(p, low16(msg::cmd::kNvIndex));
      if (id == msg::kCmdWriteNvItem || id == msg::kCmdInsertNvItem) append(p, from(msg::cmd::kNvData));
      uint8_t code = id == msg::kCmdWriteNvItem ? ut::kNvWrite
                     : id == msg::kCmdReadNvItem ? ut::kNvRead
                     : id == msg::kCmdDeleteNvItem ? ut::kNvDelete
                                                   : ut::kNvInsert;
      submitFor(client, code, std::move(p));
      return true;
    }
    case msg::kCmdGetVersionInfo:
      submitFor(client, ut::kVersion, {});
      return true;
    case msg::kCmdGetNvListDimension:
      if (!need(msg::cmd::kListDimensionSize)) return true;
      append(p, c.subspan(msg::cmd::kListDimensionItem, 2));
      submitFor(client, ut::kNvListDimension, std::move(p));
      return true;
    case msg::kCmdGetMemPoolsInfo:
      submitFor(client, ut::kMemoryPools, {});
      return true;
    case msg::kCmdSendSecurityPassword:
    case msg::kCmdSendSpCode:
      if (!need(4)) return true;
      append(p, from(msg::cmd::kCodeText));
      submitFor(client, id == msg::kCmdSendSecurityPassword ? ut::kSecurityPassword : ut::kServiceProgrammingCode, std::move(p));
      return true;
    case msg::kCmdKeyCommand:
      if (!need(msg::cmd::kKeySize)) return true;
      if (c[msg::cmd::kKeyByte] == 1) {
        append(p, c.subspan(msg::cmd::kKeyHalf, 2));
        p.push_back(0);
        append(p, c.subspan(msg::cmd::kKeyWord1, 8));
        submitFor(client, ut::kKeyStore, std::move(p));
      } else {
        append(p, c.subspan(msg::cmd::kKeyWord1, 8));
        submitFor(client, ut::kKeyStoreShort, std::move(p));
      }
      return true;
    case msg::kCmdVerifyAKey:
      if (!need(msg::cmd::kKeySize)) return true;
      p.push_back(c[msg::cmd::kKeyByte]);
      append(p, c.subspan(msg::cmd::kKeyHalf, 2));
      append(p, c.subspan(msg::cmd::kKeyWord1, 8));
      submitFor(client, ut::kKeyVerify, std::move(p));
      return true;
    default:
      return false;
  }
}

// --- outcomes ----------------------------------------------------------------------------

void CommandRelay::completed(ClientEntry& client, uint8_t code, RequestStatus status,
                             std::span<const uint8_t> response) {
  switch (status) {
    case RequestStatus::Accepted: replyAccepted(client, code, response); return;
    case RequestStatus::Rejected: client.finishUtError(response); return;
    case RequestStatus::NoResponse: client.finishStatus(msg::kStatusNoUtReply); return;
    case RequestStatus::Flushed: client.finishStatus(msg::kStatusLinkDown); return;
    case RequestStatus::LinkInitial: client.finishStatus(msg::kStatusLinkNotMade); return;
    default: client.finishStatus(msg::kStatusFailed); return;
  }
}

void CommandRelay::replyAccepted(ClientEntry& client, uint8_t code, std::span<const uint8_t> response) {
  std::vector<uint8_t> reply = statusWord(msg::kStatusOk);
  // Answers that copy a fixed number of bytes need that many: a shorter
  // response cannot be passed on.
  auto firstBytes = [&](std::size_t n) {
    if (response.size() < n) {
      client.finishStatus(msg::kStatusUtReplyUnusable);
      return;
    }
    append(reply, response.first(n));
    client.finish(reply);
  };
  switch (code) {
    case ut::kWriteRegion:
    case ut::kPluginWrite:
    case ut::kNvWrite:
    case ut::kNvDelete:
    case ut::kNvInsert:
    case ut::kKeyStore:
    case ut::kKeyStoreShort:
      client.finish(reply);
      return;
    case ut::kReadRegion:
    case ut::kOperation:
    case ut::kSync:
    case ut::kTestMode:
    case ut::kNvRead:
      if (response.size() + reply.size() > msg::kMaxMessage) {
        client.finishStatus(msg::kStatusReplyTooBig);
        return;
      }
      append(reply, response);
      client.finish(reply);
      return;
    case ut::kSecurityPassword:
    case ut::kServiceProgrammingCode:
      firstBytes(1);
      return;
    case ut::kNvListDimension:
      firstBytes(2);
      return;
    case ut::kMemoryPools:
      firstBytes(msg::reply::kMemPoolsSize);
      return;
    case ut::kKeyVerify:
      appendLe32(reply, response.size() == 1 ? response[0] : 0);
      client.finish(reply);
      return;
    case ut::kTestModeState: testModeStateResponse(client, response); return;
    case ut::kStatusData: statusDataResponse(client, response); return;
    case ut::kLogStatus: logStatusResponse(client, response); return;
    case ut::kVersion: versionResponse(client, response); return;
    default: client.finishWithoutReply(); return;  // no handler
  }
}

// Response: count k, then k pairs (item id, value). Reply: count, then k
// records of 8 bytes (item id, 3 zero bytes, value as 32 bits).
void CommandRelay::testModeStateResponse(ClientEntry& client, std::span<const uint8_t> response) {
  if (response.empty() || response.size() < 1u + 2u * response[0]) {
    client.finishStatus(msg::kStatusUtReplyUnusable);
    return;
  }
  std::vector<uint8_t> reply = statusWord(msg::kStatusOk);
  const uint32_t k = response[0];
  appendLe32(reply, k);
  for (uint32_t i = 0; i < k; ++i) {
    reply.push_back(response[1 + 2 * i]);
    reply.insert(reply.end(), 3, 0);
    appendLe32(reply, response[2 + 2 * i]);
  }
  client.finish(reply);
}

// Status data may come in several responses: each holds a count k and k
// records (16-bit value, 16-bit length L, L bytes), gathered in the client's
// assembly area until all n selectors are answered.
void CommandRelay::statusDataResponse(ClientEntry& client, std::span<const uint8_t> response) {
  auto command = client.command();
  const uint32_t n = loadLe32(&command[msg::cmd::kListCount]);
  const uint32_t k = response.empty() ? 0 : response[0];
  auto replyWithTotal = [&](uint32_t status, bool withRecords) {
    std::vector<uint8_t> reply = statusWord(status);
    appendLe32(reply, statusTotal_);
    if (withRecords) reply.insert(reply.end(), client.assembly.begin(), client.assembly.begin() + client.assemblyLength);
    client.finish(reply);
  };
  if (k == 0) {
    if (client.assemblyLength == 0) statusTotal_ = 0;
    replyWithTotal(msg::kStatusUtReplyUnusable, true);
    return;
  }
  statusTotal_ = client.assemblyLength == 0 ? k : statusTotal_ + k;
  std::size_t pos = 1;
  for (uint32_t i = 0; i < k; ++i) {
    uint16_t length = response.size() >= pos + 4 ? loadLe16(&response[pos + 2]) : 0;
    bool truncated = response.size() < pos + 4 || length > response.size() - pos - 4;
    if (truncated || client.assemblyLength + 4u + length + 8u > msg::kMaxMessage) {
      client.assemblyLength = 0;
      replyWithTotal(msg::kStatusReplyTooBig, false);
      return;
    }
    std::memcpy(&client.assembly[client.assemblyLength], &response[pos], 4u + length);
    client.assemblyLength += 4u + length;
    pos += 4u + length;
  }
  if (statusTotal_ < n) {
    std::vector<uint8_t> rest(command.begin() + msg::cmd::kListItems + 4 * statusTotal_,
                              command.begin() + msg::cmd::kListItems + 4 * n);
    submitFor(client, ut::kStatusData, std::move(rest), 0);
    return;
  }
  replyWithTotal(msg::kStatusOk, true);
}

// Log status comes like status data, in 12-byte records that become 28-byte
// records with the server's lost-packet count of each log code.
void CommandRelay::logStatusResponse(ClientEntry& client, std::span<const uint8_t> response) {
  constexpr std::size_t kIn = 12, kOut = msg::reply::kLogStatusRecordSize;
  auto command = client.command();
  const uint32_t n = loadLe32(&command[msg::cmd::kListCount]);
  const uint32_t k = response.empty() ? 0 : response[0];
  auto replyWithTotal = [&](uint32_t status, bool withRecords) {
    std::vector<uint8_t> reply = statusWord(status);
    appendLe32(reply, logStatusTotal_);
    if (withRecords) reply.insert(reply.end(), client.assembly.begin(), client.assembly.begin() + client.assemblyLength);
    client.finish(reply);
  };
  if (k == 0) {
    if (client.assemblyLength == 0) logStatusTotal_ = 0;
    replyWithTotal(msg::kStatusUtReplyUnusable, true);
    return;
  }
  logStatusTotal_ = client.assemblyLength == 0 ? k : logStatusTotal_ + k;
  if (logStatusTotal_ * kOut + 8 > msg::kMaxMessage || response.size() < 1 + k * kIn) {
    client.assemblyLength = 0;
    replyWithTotal(msg::kStatusReplyTooBig, false);
    return;
  }
  for (uint32_t i = 0; i < k; ++i) {
    const uint8_t* in = &response[1 + i * kIn];
    uint8_t* out = &client.assembly[client.assemblyLength];
    std::memset(out, 0, kOut);
    out[0] = in[0];                                // log code
    proto::storeLe32(out + 4, in[1]);              // b1
    out[8] = in[2];                                // b2
    proto::storeLe16(out + 10, loadLe16(in + 3));  // s1
    proto::storeLe16(out + 12, loadLe16(in + 5));  // s2
    proto::storeLe32(out + 16, loadLe32(in + 7));  // w
    proto::storeLe32(out + 20, losses_.lost(in[0]));
    out[24] = in[11];                              // b3
    client.assemblyLength += kOut;
  }
  if (logStatusTotal_ < n) {
    std::vector<uint8_t> rest(command.begin() + msg::cmd::kListItems + logStatusTotal_,
                              command.begin() + msg::cmd::kListItems + n);
    submitFor(client, ut::kLogStatus, std::move(rest), 0);
    return;
  }
  replyWithTotal(msg::kStatusOk, true);
}

// The version block must be 83 bytes; a wrong size is asked again up to five
// times, then answered with status 45.
void CommandRelay::versionResponse(ClientEntry& client, std::span<const uint8_t> response) {
  uint32_t status = msg::kStatusOk;
  if (response.size() != msg::reply::kVersionSize) {
    if (versionReasks_ < kVersionReasks) {
      ++versionReasks_;
      submitFor(client, ut::kVersion, {});
      return;
    }
    status = msg::kStatusBadReplySize;
  }
  versionReasks_ = 0;
  std::vector<uint8_t> reply = statusWord(status);
  reply.resize(4 + msg::reply::kVersionSize, 0);
  std::memcpy(&reply[4], response.data(), std::min<std::size_t>(response.size(), msg::reply::kVersionSize));
  client.finish(reply);
}

// Link statistics: the four counters, then a record per listed log code with
// its lost-packet count; with the reset flag everything read is set to 0.
void CommandRelay::linkStatistics(ClientEntry& client) {
  auto c = client.command();
  if (c.size() < msg::cmd::kLinkStatsCodes) {
    client.finishStatus(msg::kStatusFailed);
    return;
  }
  const uint32_t reset = loadLe32(&c[msg::cmd::kLinkStatsReset]);
  const uint32_t n = loadLe32(&c[msg::cmd::kLinkStatsCount]);
  if (n > kLinkStatsMaxCodes) {
    client.finishStatus(msg::kStatusReplyTooBig);
    return;
  }
  if (msg::cmd::kLinkStatsCodes + n > c.size()) {
    client.finishStatus(msg::kStatusFailed);
    return;
  }
  auto codes = c.subspan(msg::cmd::kLinkStatsCodes, n);
  proto::LinkStats& stats = link_.stats();
  uint8_t head[msg::reply::kStatsRecords];
  proto::storeLe32(&head[msg::reply::kStatus], msg::kStatusOk);
  proto::storeLe32(&head[msg::reply::kStatsCrcErrors], stats.crcErrors);
  proto::storeLe32(&head[msg::reply::kStatsOverflows], stats.receiveOverflows);
  proto::storeLe32(&head[msg::reply::kStatsBadEscapes], stats.badEscapes);
  proto::storeLe32(&head[msg::reply::kStatsRetransmissions], stats.retransmissions);
  proto::storeLe32(&head[msg::reply::kStatsCount], n);
  std::vector<uint8_t> records(static_cast<std::size_t>(n) * msg::reply::kStatsRecordSize, 0);
  for (uint32_t i = 0; i < n; ++i) {
    records[i * 8] = codes[i];
    proto::storeLe32(&records[i * 8 + 4], losses_.lost(codes[i]));
  }
  KMXBuffer pieces[2] = {{head, sizeof head}, {records.data(), static_cast<uint32_t>(records.size())}};
  client.finishGathered({pieces, records.empty() ? 1u : 2u});
  if (reset != 0) {
    stats.resetAll();
    for (uint8_t code : codes) losses_.resetCount(code);
  }
}

}  // namespace kmx::server
