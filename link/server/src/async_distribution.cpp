#include "async_distribution.h"

#include <algorithm>

#include "kmx/proto/byte_order.h"
#include "kmx/proto/ut_commands.h"
#include "kmx_messages.h"
#include "kmxipc.h"
#include "last_gasp.h"

namespace kmx::server {
namespace {

using namespace proto::ut_packet;
constexpr uint8_t kUtLogConfig = proto::ut_command::kLogConfig;
constexpr uint8_t kUtPluginConfig = proto::ut_command::kPluginConfig;
constexpr int kPendingDisableMs = 10000;

bool configurable(uint32_t type) { return type == msg::kAsyncPlugin || type == msg::kAsyncLog; }

// The UT carries ids and priorities in one byte and packet limits in two: a
// value that does not fit would be cut and stand for another client's
// stream, so such a registration changes nothing.
bool fitsTheUt(uint32_t type, uint32_t id, int32_t priority, int32_t maxPackets) {
  const uint32_t maxId = type == msg::kAsyncLog ? 0x7F : 0xFF;
  return id <= maxId && priority >= -1 && priority <= 0xFF && maxPackets >= -1 && maxPackets <= 0xFFFF;
}

}  // namespace

AsyncDistribution::AsyncDistribution(UtLink& link, TimerQueue& timers, LogLossTable& losses, uint32_t& totalDrops)
    : link_(link), timers_(timers), losses_(losses), totalDrops_(totalDrops) {}

AsyncDistribution::~AsyncDistribution() { clearPendingDisables(); }

AsyncDistribution::Entry* AsyncDistribution::find(uint32_t type, uint32_t id) {
  for (auto& entry : entries_[type]) {
    if (entry.id == id) return &entry;
    if (entry.id > id) break;
  }
  return nullptr;
}

void AsyncDistribution::registerCommand(ClientEntry& client) {
  // Command 8 is answered with 0 whatever becomes of it: a short message
  // changes nothing.
  auto c = client.command();
  if (c.size() < msg::cmd::kRegisterSize) {
    client.finishStatus(msg::kStatusOk);
    return;
  }
  const uint32_t action = proto::loadLe32(&c[msg::cmd::kRegisterAction]);
  const uint32_t type = proto::loadLe32(&c[msg::cmd::kRegisterType]);
  const uint32_t id = proto::loadLe32(&c[msg::cmd::kRegisterAsyncId]);
  const auto priority = static_cast<int32_t>(proto::loadLe32(&c[msg::cmd::kRegisterPriority]));
  const auto maxPackets = static_cast<int32_t>(proto::loadLe32(&c[msg::cmd::kRegisterMaxPackets]));
  if (type < kTypes && fitsTheUt(type, id, priority, maxPackets)) {
    if (action == 1) {
      registerClient(client, type, id, priority, maxPackets);
    } else {
      unregisterClient(client, type, id);
    }
  }
  client.finishStatus(msg::kStatusOk);
}

void AsyncDistribution::registerClient(ClientEntry& client, uint32_t type, uint32_t id, int32_t priority,
                                       int32_t maxPackets) {
  auto& list = entries_[type];
  auto at = std::find_if(list.begin(), list.end(), [id](const Entry& e) { return e.id >= id; });
  if (at == list.end() || at->id != id) {
    Entry fresh;
    fresh.id = id;
    at = list.insert(at, std::move(fresh));
    if (type == msg::kAsyncLog) losses_.stopCounting(static_cast<uint8_t>(id));
  }
  Entry& entry = *at;
  const bool wasEmpty = entry.clients.empty();
  auto mine = std::find_if(entry.clients.begin(), entry.clients.end(),
                           [&](const Registration& r) { return r.client == &client; });
  if (mine != entry.clients.end()) {
    if (priority != -1) mine->priority = priority;
    if (maxPackets != -1) mine->maxPackets = maxPackets;
  } else {
    entry.clients.push_back(Registration{&client, priority, maxPackets});
  }
  int32_t highestPriority = -1, highestMax = -1;
  for (const auto& r : entry.clients) {
    highestPriority = std::max(highestPriority, r.priority);
    highestMax = std::max(highestMax, r.maxPackets);
  }
  const bool changed = highestPriority != entry.priority || highestMax != entry.maxPackets;
  entry.priority = highestPriority;
  entry.maxPackets = highestMax;
  if (wasEmpty || changed) sendConfiguration(type, entry);
}

// The configured values stay as they are until the next registration; only
// the last client's leaving tells the UT to stop.
void AsyncDistribution::unregisterClient(ClientEntry& client, uint32_t type, uint32_t id) {
  Entry* entry = find(type, id);
  if (entry == nullptr) return;
  auto before = entry->clients.size();
  std::erase_if(entry->clients, [&](const Registration& r) { return r.client == &client; });
  if (before != entry->clients.size() && entry->clients.empty()) sendConfiguration(type, *entry);
}

void AsyncDistribution::clientRetiring(ClientEntry& client) {
  for (uint32_t type = 0; type < kTypes; ++type) {
    std::vector<uint32_t> ids;
    for (const auto& entry : entries_[type]) ids.push_back(entry.id);
    for (uint32_t id : ids) unregisterClient(client, type, id);
  }
}

// Log ids: code 12 with id, enabled, priority, packet limit (16 bits);
// plug-in ids: code 13 with id, enabled, priority.
void AsyncDistribution::sendConfiguration(uint32_t type, const Entry& entry) {
  if (!configurable(type) || link_.state() != LinkState::Up) return;
  if (entry.clients.empty()) {
    notePendingDisable(type, entry.id, false);
    sendDisable(type, entry.id);
    return;
  }
  std::vector<uint8_t> payload = {static_cast<uint8_t>(entry.id), 1, static_cast<uint8_t>(entry.priority)};
  if (type == msg::kAsyncLog) proto::appendLe16(payload, static_cast<uint16_t>(entry.maxPackets));
  link_.submit(std::make_unique<UtRequest>(type == msg::kAsyncLog ? kUtLogConfig : kUtPluginConfig, std::move(payload)), 1);
}

void AsyncDistribution::sendDisable(uint32_t type, uint32_t id) {
  if (!configurable(type) || link_.state() != LinkState::Up) return;
  std::vector<uint8_t> payload = {static_cast<uint8_t>(id), 0, 0xFF};
  if (type == msg::kAsyncLog) proto::appendLe16(payload, 0xFFFF);
  auto done = [this, type, id](RequestStatus status, std::span<const uint8_t>) {
    if (status != RequestStatus::Accepted) return;
    // The UT has stopped the id: an entry nobody came back to is dropped.
    std::erase_if(entries_[type], [id](const Entry& e) { return e.id == id && e.clients.empty(); });
  };
  link_.submit(std::make_unique<UtRequest>(type == msg::kAsyncLog ? kUtLogConfig : kUtPluginConfig,
                                           std::move(payload), done),
               1);
}

void AsyncDistribution::notePendingDisable(uint32_t type, uint32_t id, bool send) {
  auto& list = pending_[type];
  auto at = std::find_if(list.begin(), list.end(), [id](const PendingDisable& p) { return p.id >= id; });
  if (at != list.end() && at->id == id) return;
  auto timer = timers_.start(kPendingDisableMs, [this, type, id] {
    std::erase_if(pending_[type], [id](const PendingDisable& p) { return p.id == id; });
  });
  list.insert(at, PendingDisable{id, timer});
  if (send) sendDisable(type, id);
}

void AsyncDistribution::clearPendingDisables() {
  for (auto& list : pending_) {
    for (auto& p : list) timers_.cancel(p.timer);
    list.clear();
  }
}

void AsyncDistribution::forward(uint8_t packetType, std::span<const uint8_t> bytes) {
  uint32_t type = 0, id = 0;
  std::span<const uint8_t> payload;
  std::vector<uint8_t> record;
  if (packetType >= kLogBase) {
    if (bytes.empty()) return;  // no sequence number
    type = msg::kAsyncLog;
    id = packetType & 0x7Fu;
    payload = bytes;
  } else if (packetType == kPluginData || packetType == kAlert) {
    if (bytes.empty()) return;  // no id
    type = packetType == kPluginData ? msg::kAsyncPlugin : msg::kAsyncAlert;
    id = bytes[0];
    payload = bytes.subspan(1);
  } else if (packetType == kLastGaspOld || packetType == kLastGaspNew) {
    auto made = lastGaspPayload(packetType, bytes);
    if (!made) return;  // shorter than its fixed fields
    record = std::move(*made);
    type = msg::kAsyncLastGasp;
    payload = record;
  } else {
    return;
  }

  Entry* entry = find(type, id);
  if (entry == nullptr) {
    if (link_.state() == LinkState::Up && type != msg::kAsyncLastGasp) notePendingDisable(type, id, true);
    return;
  }
  if (type == msg::kAsyncLog) losses_.count(static_cast<uint8_t>(id), payload[0]);
  deliver(*entry, type, id, payload);
}

void AsyncDistribution::deliver(Entry& entry, uint32_t type, uint32_t id, std::span<const uint8_t> payload) {
  uint8_t header[msg::async::kHeaderSize];
  proto::storeLe32(&header[msg::async::kMarker], msg::async::kMarkerValue);
  proto::storeLe32(&header[msg::async::kType], type);
  proto::storeLe32(&header[msg::async::kId], id);
  KMXBuffer pieces[2] = {{header, sizeof header},
                         {const_cast<uint8_t*>(payload.data()), static_cast<uint32_t>(payload.size())}};
  const uint32_t count = payload.empty() ? 1 : 2;
  for (const auto& registration : entry.clients) {
    ClientEntry& client = *registration.client;
    if (!client.connectionOpen) continue;
    // A state change that waits for room goes first: data that took the
    // room would reach the client before it, so it is dropped meanwhile.
    if (!client.pendingStates().empty()) {
      ++client.dropCount;
      ++totalDrops_;
      continue;
    }
    uint32_t error = 0;
    if (!client.sendAsync({pieces, count}, &error) && (error & IPC_ERR_CODE_MASK) == IPC_ERR_MAILBOX_FULL) {
      ++client.dropCount;
      ++totalDrops_;
    }
  }
}

void AsyncDistribution::linkStateChanging(LinkState state) {
  if (state == LinkState::Up) {
    for (uint32_t type : {uint32_t{msg::kAsyncPlugin}, uint32_t{msg::kAsyncLog}}) {
      std::vector<Entry> snapshot = entries_[type];
      for (const auto& entry : snapshot) sendConfiguration(type, entry);
    }
    return;
  }
  if (state == LinkState::Down) losses_.stopAll();
  clearPendingDisables();
}

}  // namespace kmx::server
