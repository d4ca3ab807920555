#include "server.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

#include "kmx/io/port_name.h"
#include "kmx/platform/last_error.h"
#include "kmx/platform/wait.h"
#include "kmx/proto/byte_order.h"
#include "kmx_channels.h"
#include "kmx_messages.h"

namespace kmx::server {
namespace {

constexpr const char kNewConnectionMutex[] = "KMX_NEW_CONNECTION_MUTEX";
// The new-connection mutex after the end of Server::run(): locked and mapped
// until the process ends, and reachable, so that it is no leak. Volatile:
// a pointer that is only ever stored could be optimised away, and the mutex
// with it would look leaked at exit.
NamedMutex* volatile mutexHeldUntilExit = nullptr;

// How long a connection mailbox that could not be read is left alone.
constexpr int kConnectionRestMs = 1000;

}  // namespace

Server::Server(std::string device) : device_(std::move(device)) {
  link_ = std::make_unique<UtLink>(timers_);
  linkManager_ = std::make_unique<LinkManager>(*link_, timers_);
  link_->setEvents(linkManager_.get());
  relay_ = std::make_unique<CommandRelay>(*link_, *linkManager_, losses_);
  async_ = std::make_unique<AsyncDistribution>(*link_, timers_, losses_, linkManager_->totalDrops);
  linkManager_->onUnsolicited = [this](uint8_t type, std::span<const uint8_t> bytes) { async_->forward(type, bytes); };
  linkManager_->onStateChange = [this](LinkState state) { async_->linkStateChanging(state); };
  xmodem_ = std::make_unique<XmodemSession>(*link_, *linkManager_, timers_);
  linkManager_->setXmodem(xmodem_.get());
  link_->xmodemBytes = [this](std::span<const uint8_t> bytes) { xmodem_->bytes(bytes); };
  observers_ = {link_.get(), async_.get(), linkManager_.get(), xmodem_.get()};
}

Server::~Server() {
  timers_.stopTicking();
  for (std::size_t slot = 0; slot < kMaxClients; ++slot) {
    if (clients_[slot]) retireClient(slot);
  }
}

int Server::run() {
  bool started = startUp();
  if (started) {
    loop();
  } else if (connectionChannelTried_) {
    refuseQueuedRequests();
  }
  timers_.stopTicking();
  if (connectionChannel_) connectionChannel_->Close();
  link_->closePort();
  claim_.release();
  // The new-connection mutex stays held until the process ends: a client
  // that took it earlier could start a second server while this one still
  // has the port. It stays mapped too, so that the process's end marks it
  // abandoned for the next client instead of leaving it locked for ever.
  if (newConnectionMutex_) mutexHeldUntilExit = newConnectionMutex_.release();
  return 0;
}

bool Server::startUp() {
  newConnectionMutex_ = NamedMutex::create(kNewConnectionMutex);
  bool ticking = timers_.startTicking();
  // The port's key names its channels; its claim keeps a second server off
  // the line. A port that cannot be found is still answered, under its
  // name's key, as a port that failed.
  const auto port = io::locatePort(device_);
  key_ = port ? port->key : io::bareKey(device_).value_or(std::string());
  if (port) claim_ = PortClaim::hold(port->identity, PortClaimRecord{key_, device_});
  bool portOpen = claim_.valid() && link_->openPort(device_);
  if (key_.empty()) return false;
  // The connection channel is a client's too: its mutex is waited for no
  // longer than a client channel's.
  connectionChannel_ = std::make_unique<KMXIpc>(connectionChannelName(key_).c_str(), kConnectionChannelServer,
                                                ClientEntry::kLockTimeoutMs);
  bool channelOpen = connectionChannel_->Open();
  connectionChannelTried_ = true;
  bool accepted = channelOpen && serveConnectionRequest(false) == Request::Accepted;
  timers_.start(kWatchdogMs, [this] { watchdog(); });
  // Without the mutex the server runs all the same (clients do too): only
  // the hand-over at the end loses its guard.
  return ticking && portOpen && channelOpen && accepted;
}

void Server::refuseQueuedRequests() {
  if (newConnectionMutex_) newConnectionMutex_->lock(kHandOverMs);
  serveQueuedRequests(true);
}

// Serves requests until the queue is empty (with `refuse`) or one is
// accepted. The receive looks at the queue itself, not only at its event: a
// request whose signal another process took by reading the event's FIFO is
// announced by no event, and the requests queued behind it set none either.
bool Server::serveQueuedRequests(bool refuse) {
  bool accepted = false;
  for (;;) {
    Request served = serveConnectionRequest(refuse);
    if (served == Request::None) break;
    if (served == Request::Accepted) {
      accepted = true;
      if (!refuse) break;
    }
  }
  return accepted;
}

// One connection request: open the client's channel, answer it, and on
// acceptance take the client in. The watch on the client's process is made
// before the answer, so a client whose process cannot be watched is refused
// rather than accepted and never served.
Server::Request Server::serveConnectionRequest(bool refuse) {
  uint8_t request[msg::kMaxMessage];
  uint32_t length = 0;
  if (!connectionChannel_->ReceiveMsg(kConnMbox, request, sizeof request, 0, &length)) {
    // A signal without a message was cleared by the receive; a queue that
    // cannot be read is left alone for a while.
    const uint32_t code = GetLastError() & IPC_ERR_CODE_MASK;
    if (code != IPC_ERR_EMPTY && code != IPC_ERR_TIMEOUT) connectionRestUntilMs_ = monotonicMs() + kConnectionRestMs;
    return Request::None;
  }
  if (length < msg::conn_request::kSize || proto::loadLe32(&request[msg::conn_request::kKind]) != 0) {
    return Request::Answered;
  }
  const uint32_t clientId = proto::loadLe32(&request[msg::conn_request::kClientId]);
  const uint32_t baudRate = proto::loadLe32(&request[msg::conn_request::kBaudRate]);
  const auto pid = static_cast<pid_t>(proto::loadLe32(&request[msg::conn_request::kProcessId]));

  auto channel = std::make_unique<KMXIpc>(clientChannelName(key_, clientId).c_str(), kClientChannelServer,
                                          ClientEntry::kLockTimeoutMs);
  if (!channel->Open()) return Request::Answered;

  uint32_t status = refuse ? msg::kConnRefused
                    : clientCount_ >= kMaxClients ? msg::kConnServerFull
                    : link_->portOpen() ? msg::kConnAccepted
                                        : msg::kConnPortFailed;
  ProcessWatch watch;
  if (status == msg::kConnAccepted) {
    watch = ProcessWatch(pid);
    if (!watch.valid() || pid <= 0) status = msg::kConnRefused;
  }
  uint8_t reply[msg::conn_reply::kSize];
  proto::storeLe32(&reply[msg::conn_reply::kKind], msg::conn_reply::kKindValue);
  proto::storeLe32(&reply[msg::conn_reply::kStatus], status);
  proto::storeLe32(&reply[msg::conn_reply::kServerPid], static_cast<uint32_t>(getpid()));
  if (!channel->SendMsg(kStoCRsp, reply, sizeof reply) || status != msg::kConnAccepted) return Request::Answered;

  for (std::size_t slot = 0; slot < kMaxClients; ++slot) {
    if (clients_[slot]) continue;
    clients_[slot] =
        std::make_shared<ClientEntry>(nextSerial_++, clientId, std::move(channel), std::move(watch), baudRate);
    ++clientCount_;
    return Request::Accepted;
  }
  return Request::Answered;
}

void Server::loop() {
  std::vector<int> fds;
  std::vector<uint8_t> ready;
  constexpr std::size_t kConnection = 0, kTick = 1, kSerial = 2, kOutput = 3, kFirstClient = 4;
  // Without a write event, waiting output is tried again this often.
  constexpr int64_t kOutputRetryUs = 10'000;
  PortOutput& output = link_->output();
  // A paced answer is read when it can be complete: a wake-up later than
  // that is latency added to every command.
  wakeOnTime();
  while (clientCount_ > 0) {
    fds.clear();
    const int64_t nowMs = monotonicMs();
    const bool connectionResting = connectionRestUntilMs_ > nowMs;
    // A frame that has begun is read when its rest can have arrived, not at
    // each of its bytes.
    const int64_t readHeldUntilUs = link_->readHeldUntilUs();
    const int outputFd = output.eventFd();
    fds.push_back(connectionResting ? -1 : connectionChannel_->WaitHandle(kConnMbox));
    fds.push_back(timers_.tickFd());
    fds.push_back(readHeldUntilUs >= 0 ? -1 : link_->readEventFd());
    fds.push_back(outputFd);
    for (auto& client : clients_) {
      if (client && client->busy == Busy::Idle) fds.push_back(client->commandFd());
    }
    ready.assign(fds.size(), 0);

    int64_t wakeAtUs = -1;
    auto wakeBy = [&wakeAtUs](int64_t us) {
      if (us >= 0 && (wakeAtUs < 0 || us < wakeAtUs)) wakeAtUs = us;
    };
    const int64_t retryAtMs = linkManager_->retryPendingStates(nowMs);
    if (retryAtMs >= 0) wakeBy(retryAtMs * 1000);
    if (connectionResting) wakeBy(connectionRestUntilMs_ * 1000);
    wakeBy(readHeldUntilUs);
    if (output.waiting()) {
      wakeBy(output.deadlineMs() * 1000);
      if (outputFd < 0) wakeBy(monotonicUs() + kOutputRetryUs);
    }
    int64_t timeoutUs = wakeAtUs < 0 ? -1 : std::max<int64_t>(0, wakeAtUs - monotonicUs());
    if (timers_.hasDue()) timeoutUs = 0;

    // Every ready source is served in this turn, in this order.
    if (waitForReadyUs(fds, ready, timeoutUs) == kWaitFailed) {
      readCommands();  // a failed wait is taken as a command wake-up
    } else {
      if (ready[kConnection]) serveQueuedRequests(false);
      if (ready[kTick] || timers_.hasDue()) timers_.runDue();
      if (output.waiting() && (ready[kOutput] || outputFd < 0 || monotonicMs() >= output.deadlineMs())) {
        output.resume();
      }
      if (ready[kSerial] || (readHeldUntilUs >= 0 && monotonicUs() >= readHeldUntilUs)) link_->serialDataReady();
      if (std::any_of(ready.begin() + kFirstClient, ready.end(), [](uint8_t r) { return r != 0; })) readCommands();
    }

    retireBrokenClients();
    if (clientCount_ == 0) {
      // The hand-over: a client that is starting to connect holds the mutex;
      // wait for it and serve what it queued before deciding to end.
      if (newConnectionMutex_) newConnectionMutex_->lock(kHandOverMs);
      serveQueuedRequests(false);
      if (clientCount_ > 0 && newConnectionMutex_) newConnectionMutex_->unlock();
    }
  }
}

void Server::readCommands() {
  for (auto& client : clients_) {
    if (!client || client->busy != Busy::Idle) continue;
    if (client->receiveCommand()) dispatch(*client);
  }
}

void Server::dispatch(ClientEntry& client) {
  client.busy = Busy::Serving;
  switch (client.commandId()) {
    case msg::kCmdClose: closeCommand(client); return;
    case msg::kCmdSetBaudRate: linkManager_->setBaudRate(client); return;
    case msg::kCmdOpenConnection: linkManager_->openConnection(client); return;
    case msg::kCmdRegister: async_->registerCommand(client); return;
    case msg::kCmdXmodem: xmodem_->command(client); return;
    case msg::kCmdCancelXmodem: xmodem_->cancel(client); return;
    default:
      if (relay_->handle(client)) return;
      client.finishWithoutReply();  // unknown: consumed without a reply
      return;
  }
}

// The client's registrations go when it is retired, at the end of this
// loop turn; a client that cannot be told it is closed stays.
void Server::closeCommand(ClientEntry& client) {
  client.busy = client.replyStatus(msg::kStatusOk) ? Busy::Closing : Busy::Idle;
}

// The connection mailbox is also looked at here, for requests that no event
// announces (see serveQueuedRequests).
void Server::watchdog() {
  checkClients();
  if (connectionRestUntilMs_ <= monotonicMs()) serveQueuedRequests(false);
  timers_.start(kWatchdogMs, [this] { watchdog(); });
}

// A client whose process has ended is dropped: it gets no more replies and
// is retired in the next reaping. Looking costs a system call per client,
// so it is the watchdog's, not every loop turn's.
void Server::checkClients() {
  for (auto& client : clients_) {
    if (client && client->busy != Busy::Closing && client->processEnded()) client->busy = Busy::Closing;
  }
}

// Every loop turn: clients that closed, or whose channel cannot be used any
// more, are retired.
void Server::retireBrokenClients() {
  for (auto& client : clients_) {
    if (client && client->channelBroken()) client->busy = Busy::Closing;
  }
  reapClients();
}

void Server::reapClients() {
  for (std::size_t slot = 0; slot < kMaxClients; ++slot) {
    if (clients_[slot] && clients_[slot]->busy == Busy::Closing) retireClient(slot);
  }
}

void Server::retireClient(std::size_t slot) {
  std::shared_ptr<ClientEntry> client = std::move(clients_[slot]);
  --clientCount_;
  for (ClientObserver* observer : observers_) observer->clientRetiring(*client);
}

}  // namespace kmx::server
