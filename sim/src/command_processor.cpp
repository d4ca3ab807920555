#include "command_processor.h"

#include <algorithm>
#include <string>

#include "kmx/proto/byte_order.h"
#include "kmx/sim/ut_commands.h"
#include "kmx/sim/ut_errors.h"

namespace kmx::sim {
namespace {

using proto::appendLe16;
using proto::appendLe32;
using proto::ByteReader;

CommandOutcome accept(std::vector<uint8_t> payload = {}) {
  CommandOutcome outcome;
  outcome.payload = std::move(payload);
  return outcome;
}

CommandOutcome reject(UtError error, const std::string& text) {
  CommandOutcome outcome;
  outcome.accepted = false;
  outcome.payload = rejectionPayload(static_cast<uint16_t>(error), text);
  return outcome;
}

CommandOutcome badLength(uint8_t code) {
  return reject(UtError::BadLength, "bad length for command " + std::to_string(code));
}

bool isKnownRate(uint32_t rate) {
  return rate == 9600 || rate == 19200 || rate == 38400 || rate == 57600 || rate == 115200;
}

// The most bytes one region read returns, so that every answer fits a frame.
constexpr uint16_t kMaxRegionChunk = 4096;

std::size_t recordLimit(std::size_t perResponse, std::size_t asked) {
  return perResponse == 0 ? asked : std::min(perResponse, asked);
}

}  // namespace

CommandOutcome CommandProcessor::process(uint8_t code, std::span<const uint8_t> p) {
  using namespace ut_command;
  switch (code) {
    case kSetRate: return setRate(p);
    case kVersion: return version();
    case kReadRegion: return readRegion(p);
    case kWriteRegion: return writeRegion(p);
    case kOperation: return operation(p);
    case kPluginWrite: return pluginWrite(p);
    case kSync: return accept(std::vector<uint8_t>(p.begin(), p.end()));  // echo the probe
    case kStartDownload: {
      CommandOutcome outcome = accept();
      outcome.after = CommandOutcome::After::EnterLoader;
      return outcome;
    }
    case kLogConfig: return logConfig(p);
    case kPluginConfig: return pluginConfig(p);
    case kTestMode: return testModeCommand(p);
    case kLogStatus: return logStatus(p);
    case kTestModeState: return testModeState(p);
    case kStatusData: return statusData(p);
    case kNvRead:
    case kNvWrite:
    case kNvDelete:
    case kNvListDimension:
    case kNvInsert: return nvCommand(code, p);
    case kSecurityPassword: return checkCode(model_.securityPassword, p, nullptr);
    case kServiceProgrammingCode: return checkCode(model_.serviceProgrammingCode, p, &model_.spcAccepted);
    case kMemoryPools: return memoryPools();
    case kKeyStore:
    case kKeyVerify:
    case kKeyStoreShort: return keyCommand(code, p);
    default: return reject(UtError::UnknownCommand, "unknown command " + std::to_string(code));
  }
}

CommandOutcome CommandProcessor::setRate(std::span<const uint8_t> p) {
  ByteReader in(p);
  uint32_t rate = 0;
  if (!in.u32(rate) || in.remaining() != 0) return badLength(ut_command::kSetRate);
  if (!isKnownRate(rate)) return reject(UtError::BadParameter, "rate " + std::to_string(rate) + " not supported");
  CommandOutcome outcome = accept();
  outcome.after = CommandOutcome::After::ChangeRate;
  outcome.newRate = rate;
  return outcome;
}

CommandOutcome CommandProcessor::version() {
  auto block = model_.versionBlock();
  return accept(std::vector<uint8_t>(block.begin(), block.end()));
}

// Region commands: qualifier (1), region (1), address (4), then a 16-bit
// length (read) or the data (write). The qualifier is accepted and ignored.
CommandOutcome CommandProcessor::readRegion(std::span<const uint8_t> p) {
  ByteReader in(p);
  uint8_t qualifier = 0, region = 0;
  uint32_t address = 0;
  uint16_t length = 0;
  if (!in.u8(qualifier) || !in.u8(region) || !in.u32(address) || !in.u16(length) || in.remaining() != 0)
    return badLength(ut_command::kReadRegion);
  if (length > kMaxRegionChunk) return reject(UtError::BadParameter, "read of " + std::to_string(length) + " bytes too long");
  std::vector<uint8_t> bytes;
  if (!model_.memory.read(region, address, length, bytes))
    return reject(UtError::MemoryFault, "memory fault reading region " + std::to_string(region));
  return accept(std::move(bytes));
}

CommandOutcome CommandProcessor::writeRegion(std::span<const uint8_t> p) {
  ByteReader in(p);
  uint8_t qualifier = 0, region = 0;
  uint32_t address = 0;
  if (!in.u8(qualifier) || !in.u8(region) || !in.u32(address)) return badLength(ut_command::kWriteRegion);
  if (!model_.memory.write(region, address, in.rest()))
    return reject(UtError::MemoryFault, "memory fault writing region " + std::to_string(region));
  return accept();
}

CommandOutcome CommandProcessor::operation(std::span<const uint8_t> p) {
  ByteReader in(p);
  uint8_t op = 0;
  if (!in.u8(op)) return badLength(ut_command::kOperation);
  auto data = in.rest();
  if (op == ut_operation::kQuery) {
    return accept({static_cast<uint8_t>(model_.serviceSession), static_cast<uint8_t>(model_.testMode),
                   static_cast<uint8_t>(model_.spcAccepted)});
  }
  if (op == ut_operation::kService && data.size() == 2) {
    if (data[0] == ut_operation::kResetArg0 && data[1] == ut_operation::kResetArg1) {
      CommandOutcome outcome = accept();
      outcome.after = CommandOutcome::After::Restart;
      return outcome;
    }
    if (data[0] == ut_operation::kSessionArg0 && data[1] == ut_operation::kSessionArg1) {
      model_.serviceSession = true;
      return accept();
    }
  }
  return reject(UtError::BadParameter, "unknown operation " + std::to_string(op));
}

// A plug-in that the host enabled answers what is written to it with the same
// bytes as plug-in data, so a host can see its writes arrive.
CommandOutcome CommandProcessor::pluginWrite(std::span<const uint8_t> p) {
  ByteReader in(p);
  uint8_t id = 0;
  if (!in.u8(id)) return badLength(ut_command::kPluginWrite);
  CommandOutcome outcome = accept();
  if (model_.plugins[id].enabled) {
    UnsolicitedPacket echo{ut_packet::kPluginData, {id}};
    auto data = in.rest();
    echo.payload.insert(echo.payload.end(), data.begin(), data.end());
    outcome.packets.push_back(std::move(echo));
  }
  return outcome;
}

CommandOutcome CommandProcessor::logConfig(std::span<const uint8_t> p) {
  ByteReader in(p);
  uint8_t id = 0, enabled = 0, priority = 0;
  uint16_t maxPackets = 0;
  if (!in.u8(id) || !in.u8(enabled) || !in.u8(priority) || !in.u16(maxPackets) || in.remaining() != 0)
    return badLength(ut_command::kLogConfig);
  if (id >= kLogIds) return reject(UtError::BadParameter, "log id " + std::to_string(id) + " out of range");
  auto& log = model_.logs[id];
  log.enabled = enabled != 0;
  log.priority = priority;
  log.maxPacketsPerSecond = maxPackets;
  return accept();
}

CommandOutcome CommandProcessor::pluginConfig(std::span<const uint8_t> p) {
  ByteReader in(p);
  uint8_t id = 0, enabled = 0, priority = 0;
  if (!in.u8(id) || !in.u8(enabled) || !in.u8(priority) || in.remaining() != 0)
    return badLength(ut_command::kPluginConfig);
  model_.plugins[id].enabled = enabled != 0;
  model_.plugins[id].priority = priority;
  return accept();
}

CommandOutcome CommandProcessor::testModeCommand(std::span<const uint8_t> p) {
  ByteReader in(p);
  uint8_t command = 0, parameter = 0;
  if (!in.u8(command) || !in.u8(parameter)) return badLength(ut_command::kTestMode);
  switch (command) {
    case ut_test_mode::kQuery: return accept({static_cast<uint8_t>(model_.testMode)});
    case ut_test_mode::kEnter: model_.testMode = true; return accept({1});
    case ut_test_mode::kLeave: model_.testMode = false; return accept({0});
    case ut_test_mode::kSetItem: {
      if (!model_.testMode) return reject(UtError::NotInTestMode, "not in test mode");
      uint8_t value = 0;
      if (!in.u8(value)) return badLength(ut_command::kTestMode);
      model_.testModeItems[parameter] = value;
      return accept({parameter, value});
    }
    default:
      return reject(UtError::BadParameter, "unknown test-mode command " + std::to_string(command));
  }
}

// Answer: count k, then k pairs (item id, value); an unknown item reads 0.
CommandOutcome CommandProcessor::testModeState(std::span<const uint8_t> p) {
  if (p.empty() || p.size() > 255) return badLength(ut_command::kTestModeState);
  std::vector<uint8_t> out = {static_cast<uint8_t>(p.size())};
  for (uint8_t id : p) {
    auto it = model_.testModeItems.find(id);
    out.push_back(id);
    out.push_back(it == model_.testModeItems.end() ? 0 : it->second);
  }
  return accept(std::move(out));
}

// Answer: count k, then k records of 12 bytes: log code, enabled, priority,
// packet limit (16), packets waiting (16), packets sent (32), last sequence.
CommandOutcome CommandProcessor::logStatus(std::span<const uint8_t> p) {
  if (p.empty()) return badLength(ut_command::kLogStatus);
  std::size_t count = recordLimit(logStatusRecordsPerResponse_, std::min<std::size_t>(p.size(), 255));
  std::vector<uint8_t> out = {static_cast<uint8_t>(count)};
  for (std::size_t i = 0; i < count; ++i) {
    uint8_t code = p[i];
    LogStreamConfig log = code < kLogIds ? model_.logs[code] : LogStreamConfig{};
    out.push_back(code);
    out.push_back(static_cast<uint8_t>(log.enabled));
    out.push_back(log.priority);
    appendLe16(out, log.maxPacketsPerSecond);
    appendLe16(out, 0);
    appendLe32(out, log.packetsSent);
    out.push_back(log.lastSequence);
  }
  return accept(std::move(out));
}

// Selectors are 4 bytes each; the item is the low half. Answer: count k, then
// k records: item (16), length L (16), L bytes.
CommandOutcome CommandProcessor::statusData(std::span<const uint8_t> p) {
  if (p.empty() || p.size() % 4 != 0) return badLength(ut_command::kStatusData);
  std::size_t asked = std::min<std::size_t>(p.size() / 4, 255);
  std::size_t count = recordLimit(statusRecordsPerResponse_, asked);
  std::vector<uint8_t> out = {static_cast<uint8_t>(count)};
  for (std::size_t i = 0; i < count; ++i) {
    uint16_t item = proto::loadLe16(p.data() + 4 * i);
    std::vector<uint8_t> answer = model_.status.answer(item);
    appendLe16(out, item);
    appendLe16(out, static_cast<uint16_t>(answer.size()));
    out.insert(out.end(), answer.begin(), answer.end());
  }
  return accept(std::move(out));
}

CommandOutcome CommandProcessor::nvCommand(uint8_t code, std::span<const uint8_t> p) {
  using namespace ut_command;
  ByteReader in(p);
  uint16_t number = 0, index = 0;
  if (!in.u16(number)) return badLength(code);
  NvStatus status = NvStatus::Done;
  std::vector<uint8_t> answer;
  if (code == kNvListDimension) {
    if (in.remaining() != 0) return badLength(code);
    uint16_t dimension = 0;
    status = model_.nv.listDimension(number, dimension);
    appendLe16(answer, dimension);
  } else {
    if (!in.u16(index)) return badLength(code);
    switch (code) {
      case kNvRead:
        if (in.remaining() != 0) return badLength(code);
        status = model_.nv.read(number, index, answer);
        break;
      case kNvWrite: status = model_.nv.write(number, index, in.rest()); break;
      case kNvInsert: status = model_.nv.insert(number, index, in.rest()); break;
      case kNvDelete:
        if (in.remaining() != 0) return badLength(code);
        status = model_.nv.remove(number, index);
        break;
      default: break;
    }
  }
  if (status != NvStatus::Done) return reject(UtError::NvFailure, nvStatusText(status));
  return accept(std::move(answer));
}

// Answer: one byte, 1 when the code matches.
CommandOutcome CommandProcessor::checkCode(const std::string& expected, std::span<const uint8_t> p,
                                           bool* accepted) {
  bool match = std::string(p.begin(), p.end()) == expected;
  if (accepted != nullptr) *accepted = match;
  return accept({static_cast<uint8_t>(match)});
}

CommandOutcome CommandProcessor::memoryPools() {
  std::vector<uint8_t> out;
  for (uint32_t word : model_.memoryPools) appendLe32(out, word);
  return accept(std::move(out));
}

// A-keys, one per NAM. 28 stores: NAM (16), a zero byte, key low, key high.
// 30 stores into NAM 0: key low, key high. 29 verifies: NAM (8), check value
// (16, not used), key low, key high; answers 1 when the key matches.
CommandOutcome CommandProcessor::keyCommand(uint8_t code, std::span<const uint8_t> p) {
  ByteReader in(p);
  uint32_t low = 0, high = 0;
  uint16_t nam = 0;
  if (code == ut_command::kKeyStore) {
    uint8_t zero = 0;
    if (!in.u16(nam) || !in.u8(zero)) return badLength(code);
  } else if (code == ut_command::kKeyVerify) {
    uint8_t nam8 = 0;
    uint16_t check = 0;
    if (!in.u8(nam8) || !in.u16(check)) return badLength(code);
    nam = nam8;
  }
  if (!in.u32(low) || !in.u32(high) || in.remaining() != 0) return badLength(code);
  if (nam >= model_.akeys.size()) return reject(UtError::BadParameter, "NAM " + std::to_string(nam) + " out of range");
  uint64_t key = (static_cast<uint64_t>(high) << 32) | low;
  if (code == ut_command::kKeyVerify) return accept({static_cast<uint8_t>(model_.akeys[nam] == key)});
  model_.akeys[nam] = key;
  return accept();
}

}  // namespace kmx::sim
