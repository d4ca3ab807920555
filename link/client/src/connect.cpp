// The connection lifecycle: KMXCreateConnection, KMXOpenConnection and
// KMXCloseHandle.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "api_support.h"
#include "kmx/io/port_name.h"
#include "kmx/platform/last_error.h"
#include "kmx/platform/named_mutex.h"
#include "kmx/platform/runtime_dir.h"
#include "kmx/proto/byte_order.h"
#include "kmx_channels.h"
#include "kmx_messages.h"
#include "kmx_port_claim.h"
#include "listener.h"
#include "registrations.h"
#include "server_start.h"

namespace kmx::client {
namespace {

using proto::loadLe32;
using proto::storeLe32;

constexpr const char kNewConnectionMutex[] = "KMX_NEW_CONNECTION_MUTEX";
constexpr int32_t kNewConnectionWaitMs = 5000;
constexpr uint32_t kMaxClientId = 999;

// Step one of a connection: the client channel under the lowest free id.
std::unique_ptr<KMXIpc> createClientChannel(const std::string& key, uint32_t* clientId) {
  auto channel = std::make_unique<KMXIpc>(nullptr, kClientChannelClient);
  for (uint32_t id = 0; id <= kMaxClientId; ++id) {
    if (channel->SetName(clientChannelName(key, id).c_str()) && channel->Create()) {
      *clientId = id;
      return channel;
    }
  }
  return nullptr;
}

// The server a connection goes to. A bare name whose server runs is joined
// by that name, without looking at the device (its server knows it); any
// other name is resolved to its device first, and the device's claim names
// the server that has it under whatever name it was given.
struct Target {
  std::string key;         // names the server's IPC objects
  std::string serverName;  // what a server this client starts is given
  std::string identity;    // the device, for its claim; empty when joined by name
};

// A port that does not exist or may not be opened is said at once, as the
// driver's error, with the reason and the remedy in the error's text.
uint16_t errorOfPort(int error) {
  return error == EINVAL || error == ENAMETOOLONG ? KMX_ERR_INVALID_ARGUMENTS : KMX_ERR_PORT_NOT_OPENED;
}

// Looked at without opening it: an opener would hold the channel for a
// moment, and a server that ends meanwhile would leave it to this probe,
// which a client starting the next server would then find in its way.
bool connectionChannelExists(const std::string& key) {
  return identifyFile(runtimeObjectPath(connectionChannelName(key), ".shm")).known;
}

std::optional<Target> chooseTarget(const std::string& name) {
  if (const auto key = io::bareKey(name); key && connectionChannelExists(*key)) return Target{*key, name, {}};
  const auto device = io::locatePort(name);
  if (!device) {
    const int error = errno;
    setPortError(errorOfPort(error), io::describePortError(name, error));
    return std::nullopt;
  }
  Target target{device->key, device->serverName, device->identity};
  if (const auto claim = PortClaim::read(device->identity)) {
    target.key = claim->key;
    target.serverName = claim->serverName;
  }
  return target;
}

struct Request {
  std::unique_ptr<KMXIpc> connectionChannel;  // kept while a started server must find it
  PortClaim claim;  // the device claimed for a started server, kept until it answers
  bool serverNeeded = false;
  FileIdentity channelFile;  // the connection channel joined, for the liveness check
};

// How long a connection request is offered again while the connection
// mailbox of a running server stays full, and the pauses between the tries.
// The server takes requests in its own time (none while it starts), so a
// burst of clients can fill the mailbox's ten places for a while.
constexpr auto kFullMailboxDeadline = std::chrono::seconds(5);
constexpr std::chrono::milliseconds kFirstBackOff{2};
constexpr std::chrono::milliseconds kLongestBackOff{50};

// Retarget: another client claimed the device under another key meanwhile;
// the target is chosen again.
enum class Offer { Sent, MailboxFull, Retarget, Failed };

// One try at queueing the connection request: under the new-connection
// mutex, create the connection channel (no server runs for the device) and
// claim the device for the server to come, or open the existing channel,
// and send the request. Failed: the error is set.
Offer offerRequest(const Target& target, const uint8_t* request, Request& out) {
  // Without the mutex (it could not be made, or its wait timed out) the
  // request goes ahead all the same.
  auto mutex = NamedMutex::create(kNewConnectionMutex);
  bool owned = false;
  if (mutex) {
    const auto result = mutex->lock(kNewConnectionWaitMs);
    owned = result == NamedMutex::LockResult::Acquired || result == NamedMutex::LockResult::Abandoned;
  }
  auto releaseMutex = [&] {
    if (owned) mutex->unlock();
    mutex.reset();
  };

  const std::string name = connectionChannelName(target.key);
  auto channel = std::make_unique<KMXIpc>(name.c_str(), kConnectionChannelClient);
  out.serverNeeded = channel->Create();
  if (!out.serverNeeded && !channel->Open()) {
    releaseMutex();
    setError(KMX_ERR_IPC_OPEN);
    return Offer::Failed;
  }
  if (!out.serverNeeded) out.channelFile = identifyFile(runtimeObjectPath(name, ".shm"));
  if (out.serverNeeded && !target.identity.empty()) {
    out.claim = PortClaim::hold(target.identity, PortClaimRecord{target.key, target.serverName});
    if (!out.claim.valid()) {
      const bool taken = errno == EBUSY;
      channel.reset();
      releaseMutex();
      if (taken) return Offer::Retarget;
      setError(KMX_ERR_IPC_CREATE);
      return Offer::Failed;
    }
  }

  const bool sent = channel->SendMsg(kConnMbox, request, msg::conn_request::kSize);
  const bool full = !sent && (GetLastError() & IPC_ERR_CODE_MASK) == IPC_ERR_MAILBOX_FULL;
  releaseMutex();
  if (sent) {
    out.connectionChannel = std::move(channel);
    return Offer::Sent;
  }
  out.claim.release();
  // A channel this client made has no server yet to empty it: no retry.
  if (full && !out.serverNeeded) return Offer::MailboxFull;
  setError(KMX_ERR_IPC_SEND);
  return Offer::Failed;
}

// Queues the connection request. A full mailbox of a running server is
// tried again, with growing pauses, until the deadline; each try opens the
// channel afresh, so a server that ended meanwhile (its channel gone) is
// replaced by one this client starts. Sent, Retarget, or Failed with the
// error set.
Offer queueRequest(const Target& target, uint32_t clientId, uint32_t baudRate, Request& out) {
  uint8_t request[msg::conn_request::kSize];
  storeLe32(&request[msg::conn_request::kKind], 0);
  storeLe32(&request[msg::conn_request::kClientId], clientId);
  storeLe32(&request[msg::conn_request::kBaudRate], baudRate);
  storeLe32(&request[msg::conn_request::kProcessId], static_cast<uint32_t>(getpid()));

  const auto deadline = std::chrono::steady_clock::now() + kFullMailboxDeadline;
  auto pause = kFirstBackOff;
  // Pauses differ between processes, so that a burst does not come back in
  // step.
  std::minstd_rand jitter(static_cast<uint32_t>(getpid()) ^ clientId);
  for (;;) {
    const Offer offer = offerRequest(target, request, out);
    if (offer != Offer::MailboxFull) return offer;
    if (std::chrono::steady_clock::now() + pause > deadline) {
      setError(KMX_ERR_IPC_SEND);
      return Offer::Failed;
    }
    std::this_thread::sleep_for(pause + std::chrono::microseconds(jitter() % 1000));
    pause = std::min(pause * 2, kLongestBackOff);
  }
}

uint16_t errorOfRefusal(uint32_t status) {
  switch (status) {
    case msg::kConnRefused: return KMX_ERR_SERVER_SHUTTING_DOWN;
    case msg::kConnServerFull: return KMX_ERR_SERVER_FULL;
    case msg::kConnPortFailed: return KMX_ERR_SERVER_IO_DRIVER;
    default: return KMX_ERR_STARTUP_FAILED;
  }
}

void* createConnection(const char* driverName, uint32_t baudRate) {
  if (driverName == nullptr || driverName[0] == '\0') {
    setError(KMX_ERR_INVALID_ARGUMENTS);
    return nullptr;
  }
  // The target is chosen again (a few times) when another client claimed
  // the device under another name meanwhile.
  constexpr int kTargetTries = 4;
  std::optional<Target> target;
  std::unique_ptr<KMXIpc> channel;
  uint32_t clientId = 0;
  Request request;
  for (int tries = 0;; ++tries) {
    target = chooseTarget(driverName);
    if (!target) return nullptr;
    channel = createClientChannel(target->key, &clientId);
    if (!channel) {
      setError(KMX_ERR_IPC_CREATE);
      return nullptr;
    }
    const Offer queued = queueRequest(*target, clientId, baudRate, request);
    if (queued == Offer::Sent) break;
    if (queued == Offer::Failed) return nullptr;
    if (tries + 1 == kTargetTries) {
      setError(KMX_ERR_IPC_CREATE);
      return nullptr;
    }
  }

  // Who can answer: a server this client starts is watched by its process;
  // a server that was already there is not known by its process yet, so
  // the wait checks every slice that the connection channel it joined is
  // still held by someone (the server holds it for its whole life). The
  // channel is let go at once, so that it is not this client that keeps an
  // abandoned channel alive.
  PeerWatch peer;
  ProcessWatch started;
  if (request.serverNeeded) {
    const std::string program = findServerProgram();
    const pid_t pid =
        program.empty() ? -1 : startDetached(program, {target->serverName}, serverLogPath(target->key));
    if (pid < 0) {
      setError(KMX_ERR_CREATE_PROCESS);
      return nullptr;
    }
    started = ProcessWatch(pid);
    peer.processFd = started.fd();
    peer.ended = !started.valid() && (GetLastError() & 0xFFFF) == ESRCH;
  } else {
    request.connectionChannel.reset();
    const FileIdentity joined = request.channelFile;
    peer.gone = [joined] { return !fileIsHeld(joined); };
  }

  uint32_t peeked = 0;
  if (peekNext(*channel, kStoCRsp, nullptr, 0, &peeked, peer) != Arrival::Ready) {
    setError(KMX_ERR_IPC_RECEIVE);
    return nullptr;
  }
  // Room for any message, so that a longer reply still goes by its status.
  uint8_t reply[msg::kMaxMessage];
  uint32_t length = 0;
  if (!channel->ReceiveMsg(kStoCRsp, reply, sizeof reply, 0, &length)) {
    setError(KMX_ERR_IPC_RECEIVE);
    return nullptr;
  }
  request.connectionChannel.reset();
  request.claim.release();
  // The status decides, whatever the first word says: a server that sent
  // status 0 has taken the client in. A reply too short to hold a status is
  // a start-up failure of unknown reason.
  if (length < msg::conn_reply::kStatus + 4) {
    setError(KMX_ERR_STARTUP_FAILED);
    return nullptr;
  }
  const uint32_t status = loadLe32(&reply[msg::conn_reply::kStatus]);
  if (status != msg::kConnAccepted) {
    setError(errorOfRefusal(status));
    return nullptr;
  }

  // Without the third word the server's process is not known (<= 0).
  const auto serverPid =
      length >= msg::conn_reply::kServerPid + 4
          ? static_cast<pid_t>(loadLe32(&reply[msg::conn_reply::kServerPid]))
          : pid_t{0};
  auto connection = std::make_shared<Connection>(std::move(channel), serverPid);
  auto& registry = HandleRegistry::instance();
  void* handle = registry.add(connection);
  try {
    Listener::instance().attach(connection);
  } catch (...) {
    // The server has taken the client in: tell it that it is gone again.
    registry.take(handle);
    std::lock_guard lock(connection->commandMutex);
    uint8_t close[4];
    storeLe32(close, msg::kCmdClose);
    uint8_t closeReply[4];
    const KMXBuffer out[] = {piece(close, sizeof close)};
    KMXBuffer in[] = {piece(closeReply, sizeof closeReply)};
    connection->exchange(Form::A, out, in);
    throw;
  }
  return handle;
}

}  // namespace
}  // namespace kmx::client

using namespace kmx::client;
namespace msg = kmx::msg;
using kmx::proto::loadLe32;
using kmx::proto::storeLe32;

extern "C" {

KMXCLIENT_API void* KMXCreateConnection(const char* driverName, uint32_t baudRate) {
  return guarded<void*>(nullptr, [&] {
    clearError();
    return createConnection(driverName, baudRate);
  });
}

KMXCLIENT_API int KMXOpenConnection(void* connection, uint16_t timeoutSeconds,
                                    KMXStateChangeCallback callback, uint32_t stateMask,
                                    uint32_t* linkState, void* userData) {
  return guarded(0, [&]() -> int {
    clearError();
    auto c = findConnection(connection);
    if (!c) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    if (c->opened) {
      setError(KMX_ERR_ALREADY_OPENED);
      return 0;
    }
    // The registration's handle is not handed out: it lives until it or the
    // connection is closed.
    if (callback != nullptr &&
        registerAsync(c, Kind::StateChange, 0, reinterpret_cast<AnyCallback>(callback), userData, -1, -1) ==
            nullptr) {
      return 0;
    }

    std::lock_guard lock(c->commandMutex);
    if (c->closed) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    // Another thread opened it meanwhile: this call fails without an error
    // of its own, and its state change registration stays, like one made
    // with KMXOpenStateChangeData.
    if (c->opened) return 0;

    uint8_t request[msg::cmd::kOpenSize] = {};
    storeLe32(&request[msg::cmd::kId], msg::kCmdOpenConnection);
    kmx::proto::storeLe16(&request[msg::cmd::kOpenTimeout], timeoutSeconds);
    storeLe32(&request[msg::cmd::kOpenStateMask], stateMask);
    uint8_t reply[msg::reply::kOpenSize];
    const KMXBuffer out[] = {piece(request, sizeof request)};
    KMXBuffer in[] = {piece(reply, sizeof reply)};
    bool ok = c->exchange(Form::A, out, in);
    if (ok && in[0].length < msg::reply::kOpenSize) {
      setError(KMX_ERR_INVALID_RESPONSE);
      ok = false;
    }
    if (linkState != nullptr) *linkState = ok ? loadLe32(&reply[msg::reply::kOpenState]) : 0;
    c->opened = true;
    return ok ? 1 : 0;
  });
}

KMXCLIENT_API int KMXCloseHandle(void* handle) {
  return guarded(0, [&]() -> int {
    clearError();
    auto object = HandleRegistry::instance().take(handle);
    if (!object) {
      setError(KMX_ERR_INVALID_HANDLE);
      return 0;
    }
    if (object->kind() == Kind::Connection) {
      destroyConnection(std::static_pointer_cast<Connection>(object));
    } else {
      destroyRegistration(std::static_pointer_cast<Registration>(object));
    }
    return 1;
  });
}

}  // extern "C"
