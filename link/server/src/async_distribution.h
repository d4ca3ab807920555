// The UT's unsolicited packets to the clients that asked for them: who is
// registered for which asynchronous type and id, forwarding with drop
// counting, lost-packet counting for log data, and telling the UT which log
// and plug-in ids anyone wants (and, at most once per 10 s, to stop sending
// an id nobody wants).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "client_entry.h"
#include "client_observer.h"
#include "log_loss_table.h"
#include "timer_queue.h"
#include "ut_link.h"

namespace kmx::server {

class AsyncDistribution : public ClientObserver {
 public:
  static constexpr uint32_t kTypes = 5;

  AsyncDistribution(UtLink& link, TimerQueue& timers, LogLossTable& losses, uint32_t& totalDrops);
  ~AsyncDistribution();

  // Command 8: register (or change) or unregister; always answered with 0.
  void registerCommand(ClientEntry& client);
  // Takes a client out of every registration (its end).
  void clientRetiring(ClientEntry& client) override;
  // An unsolicited packet while the link is Up.
  void forward(uint8_t packetType, std::span<const uint8_t> bytes);
  // The link is changing to Establishing, Up or Down.
  void linkStateChanging(LinkState state);

 private:
  struct Registration {
    ClientEntry* client;
    int32_t priority;
    int32_t maxPackets;
  };
  struct Entry {
    uint32_t id;
    int32_t priority = -1;
    int32_t maxPackets = -1;
    std::vector<Registration> clients;
  };
  struct PendingDisable {
    uint32_t id;
    TimerQueue::Id timer;
  };

  void registerClient(ClientEntry& client, uint32_t type, uint32_t id, int32_t priority, int32_t maxPackets);
  void unregisterClient(ClientEntry& client, uint32_t type, uint32_t id);
  Entry* find(uint32_t type, uint32_t id);
  void sendConfiguration(uint32_t type, const Entry& entry);
  void sendDisable(uint32_t type, uint32_t id);
  void notePendingDisable(uint32_t type, uint32_t id, bool send);
  void clearPendingDisables();
  void deliver(Entry& entry, uint32_t type, uint32_t id, std::span<const uint8_t> payload);

  UtLink& link_;
  TimerQueue& timers_;
  LogLossTable& losses_;
  uint32_t& totalDrops_;
  std::array<std::vector<Entry>, kTypes> entries_;          // ascending ids
  std::array<std::vector<PendingDisable>, kTypes> pending_;  // ascending ids
};

}  // namespace kmx::server
