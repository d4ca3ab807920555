// A client that speaks the client-server messages directly over the IPC
// channels, the way the client library does, so that the server can be
// tested and measured on its own.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kmx_ipc.h"

namespace kmx::server::wire {

struct AsyncMessage {
  uint32_t type = 0;
  uint32_t id = 0;
  std::vector<uint8_t> payload;
};

class WireClient {
 public:
  // Connects to the server of `device`, starting `serverPath` when no server
  // runs. `status` receives the connection status (or -1: no reply).
  WireClient(const std::string& device, const std::string& serverPath, uint32_t baudRate = 9600,
             uint32_t clientId = kAutoId);
  ~WireClient();

  static constexpr uint32_t kAutoId = 0xFFFFFFFF;

  int connectionStatus() const { return status_; }
  pid_t serverPid() const { return serverPid_; }
  bool connected() const { return status_ == 0; }

  // Sends a command and returns the reply (empty when none came in time).
  std::vector<uint8_t> command(const std::vector<uint8_t>& request, int timeoutMs = 10000);
  // Sends a command without waiting for its reply.
  bool send(const std::vector<uint8_t>& request);
  std::vector<uint8_t> awaitReply(int timeoutMs = 10000);
  // 17: open the connection; returns the link state in the reply, or -1.
  int openConnection(uint16_t timeoutSeconds, uint32_t mask, int waitMs = 15000);
  uint32_t status(const std::vector<uint8_t>& reply) const;

  bool nextAsync(AsyncMessage& message, int timeoutMs = 5000);
  void close();  // command 5

 private:
  std::string device_;
  std::unique_ptr<KMXIpc> channel_;
  int status_ = -1;
  pid_t serverPid_ = -1;
};

std::vector<uint8_t> words(std::initializer_list<uint32_t> values);
void appendWord(std::vector<uint8_t>& out, uint32_t value);
uint32_t wordAt(const std::vector<uint8_t>& bytes, std::size_t offset);

}  // namespace kmx::server::wire
