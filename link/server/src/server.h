// The link server of one serial port: accepts clients on the port's
// connection channel, reads their commands, runs the link to the UT, and ends
// when the last client has gone and no new one is waiting.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "async_distribution.h"
#include "client_entry.h"
#include "command_relay.h"
#include "kmx/platform/named_mutex.h"
#include "kmx_ipc.h"
#include "link_manager.h"
#include "log_loss_table.h"
#include "timer_queue.h"
#include "ut_link.h"
#include "xmodem_session.h"

namespace kmx::server {

class Server {
 public:
  static constexpr std::size_t kMaxClients = 100;
  static constexpr int kWatchdogMs = 200;
  static constexpr int kHandOverMs = 5000;

  explicit Server(std::string device);
  ~Server();

  // Runs the server to its end; returns the exit code.
  int run();

 private:
  bool startUp();
  void loop();
  void refuseQueuedRequests();
  // Serves one queued connection request; true when a client was accepted.
  bool serveConnectionRequest(bool refuse);
  void readCommands();
  void dispatch(ClientEntry& client);
  void closeCommand(ClientEntry& client);
  void watchdog();
  void checkClients();
  void reapClients();
  void destroyClient(std::size_t slot);
  // Serves connection requests while the connection mailbox holds some;
  // true once one was accepted.
  bool serveQueuedRequests(bool refuse);

  std::string device_;
  std::unique_ptr<NamedMutex> newConnectionMutex_;
  TimerQueue timers_;
  LogLossTable losses_;
  std::unique_ptr<UtLink> link_;
  std::unique_ptr<LinkManager> linkManager_;
  std::unique_ptr<CommandRelay> relay_;
  std::unique_ptr<AsyncDistribution> async_;
  std::unique_ptr<XmodemSession> xmodem_;
  std::unique_ptr<KMXIpc> connectionChannel_;
  std::array<std::unique_ptr<ClientEntry>, kMaxClients> clients_;
  std::size_t clientCount_ = 0;
  bool connectionChannelTried_ = false;
};

}  // namespace kmx::server
