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
#include "kmx_port_claim.h"
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
  enum class Request { Accepted, Answered, None };

  bool startUp();
  void loop();
  void refuseQueuedRequests();
  // Serves one queued connection request. None: nothing could be taken
  // from the mailbox.
  Request serveConnectionRequest(bool refuse);
  void readCommands();
  void dispatch(ClientEntry& client);
  void closeCommand(ClientEntry& client);
  void watchdog();
  // Marks for retirement every client whose process has ended.
  void checkClients();
  // Marks every client whose channel can no longer be used and retires the
  // marked ones.
  void retireBrokenClients();
  void reapClients();
  // The one place a client ends: every module that may hold it is told, in
  // a fixed order, then its entry (and with it its channel) goes.
  void retireClient(std::size_t slot);
  // Serves connection requests while the connection mailbox holds some;
  // true once one was accepted.
  bool serveQueuedRequests(bool refuse);

  std::string device_;  // the port as the server was told it
  std::string key_;     // names the port's channels (see kmx/io/port_name.h)
  PortClaim claim_;     // the device, held while the server has it
  std::unique_ptr<NamedMutex> newConnectionMutex_;
  TimerQueue timers_;
  LogLossTable losses_;
  std::unique_ptr<UtLink> link_;
  std::unique_ptr<LinkManager> linkManager_;
  std::unique_ptr<CommandRelay> relay_;
  std::unique_ptr<AsyncDistribution> async_;
  std::unique_ptr<XmodemSession> xmodem_;
  std::unique_ptr<KMXIpc> connectionChannel_;
  // The modules told of a client's end, in that order: its requests are
  // orphaned before anything can complete them, its registrations go
  // (which may ask the UT to stop a stream) before the link manager may
  // take the link down, and the Xmodem session ends last, when the
  // open-client list no longer holds the client.
  std::array<ClientObserver*, 4> observers_{};
  // The only owners of the client entries; callbacks hold weak references.
  std::array<std::shared_ptr<ClientEntry>, kMaxClients> clients_;
  std::size_t clientCount_ = 0;
  uint64_t nextSerial_ = 1;
  bool connectionChannelTried_ = false;
  // A connection mailbox that failed to give up a request (a damaged block)
  // is left out of the wait until then, so that it cannot keep the loop busy.
  int64_t connectionRestUntilMs_ = 0;
};

}  // namespace kmx::server
