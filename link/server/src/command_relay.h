// Client commands that become UT requests, and the replies made from their
// outcomes; also the commands the server answers by itself (drop counts,
// link statistics, baud rates, DTR).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "client_entry.h"
#include "log_loss_table.h"
#include "ut_link.h"

namespace kmx::server {

class LinkManager;

class CommandRelay {
 public:
  CommandRelay(UtLink& link, LinkManager& manager, LogLossTable& losses);

  // Handles the command in the client's buffer if it is one of ours; false
  // when the id is not a relay command.
  bool handle(ClientEntry& client);

 private:
  struct UtCommand;

  void submitFor(ClientEntry& client, uint8_t code, std::vector<uint8_t> payload, int level = 1);
  void completed(ClientEntry& client, uint8_t code, RequestStatus status, std::span<const uint8_t> response);
  void replyAccepted(ClientEntry& client, uint8_t code, std::span<const uint8_t> response);

  bool buildUtRequest(ClientEntry& client, uint32_t id);
  void statusDataResponse(ClientEntry& client, std::span<const uint8_t> response);
  void logStatusResponse(ClientEntry& client, std::span<const uint8_t> response);
  void testModeStateResponse(ClientEntry& client, std::span<const uint8_t> response);
  void versionResponse(ClientEntry& client, std::span<const uint8_t> response);
  void linkStatistics(ClientEntry& client);

  UtLink& link_;
  LinkManager& manager_;
  LogLossTable& losses_;
  // Shared by all clients: only one multi-part command is at the UT at a time.
  uint32_t statusTotal_ = 0;
  uint32_t logStatusTotal_ = 0;
  uint32_t versionReasks_ = 0;
};

}  // namespace kmx::server
