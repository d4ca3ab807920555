// The two kinds of channel between the client library and the link server.
//
// Connection channel: IPC object D + "MainIPC" (D: the serial device name),
// made by the first client of a port. Client channel: IPC object
// D + N + "ClientIPC" (N: the client id in decimal), made by each client for
// each connection. Clients create the mailboxes with the modes below; the
// server opens the same mailboxes with the opposite modes.
#pragma once

#include <cstdint>
#include <string>

#include "kmx_ipc.h"

namespace kmx {

// Size of every message on both channels.
inline constexpr uint32_t kChannelMessageSize = 4360;

inline constexpr const char kConnectionChannelSuffix[] = "MainIPC";
inline constexpr const char kClientChannelSuffix[] = "ClientIPC";

inline std::string connectionChannelName(const std::string& device) {
  return device + kConnectionChannelSuffix;
}
inline std::string clientChannelName(const std::string& device, uint32_t clientId) {
  return device + std::to_string(clientId) + kClientChannelSuffix;
}

// Connection channel: connection requests, client to server.
inline constexpr uint32_t kConnMbox = 0;
inline constexpr MailboxConfig kConnectionChannelClient[] = {
    {"ConnMbox", IPC_MODE_SEND, kChannelMessageSize, 10},
};
inline constexpr MailboxConfig kConnectionChannelServer[] = {
    {"ConnMbox", IPC_MODE_RECEIVE, kChannelMessageSize, 10},
};

// Client channel: commands (client to server), replies including the
// connection reply (server to client), and asynchronous messages (server to
// client, despite the name).
inline constexpr uint32_t kCtoSCmd = 0;
inline constexpr uint32_t kStoCRsp = 1;
inline constexpr uint32_t kCtoSAsync = 2;
inline constexpr MailboxConfig kClientChannelClient[] = {
    {"CtoSCmd", IPC_MODE_SEND, kChannelMessageSize, 1},
    {"StoCRsp", IPC_MODE_RECEIVE, kChannelMessageSize, 1},
    {"CtoSAsync", IPC_MODE_RECEIVE, kChannelMessageSize, 20},
};
inline constexpr MailboxConfig kClientChannelServer[] = {
    {"CtoSCmd", IPC_MODE_RECEIVE, kChannelMessageSize, 1},
    {"StoCRsp", IPC_MODE_SEND, kChannelMessageSize, 1},
    {"CtoSAsync", IPC_MODE_SEND, kChannelMessageSize, 20},
};

}  // namespace kmx
