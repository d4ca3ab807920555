// A connection to the link server (kind 5) and the registrations on it
// (kinds 0 to 4).
#pragma once

#include <sys/types.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "handles.h"
#include "kmx/platform/process.h"
#include "kmx_ipc.h"
#include "reply_wait.h"

namespace kmx::client {

class Connection;

// Any callback form; cast back to its own type by kind (and, for last gasp
// registrations, by id) before it is called.
using AnyCallback = void (*)();

class Registration : public HandleObject {
 public:
  Registration(Kind kind, uint32_t registrationId, AnyCallback function, void* user,
               std::weak_ptr<Connection> owner)
      : HandleObject(kind), id(registrationId), callback(function), userData(user),
        connection(std::move(owner)) {}

  // Guarded by the connection's registrations mutex: a last gasp
  // registration changes its form (id), callback and user data in place.
  uint32_t id;
  AnyCallback callback;
  void* userData;
  // Set while the registration is in its connection's list.
  bool attached = false;

  const std::weak_ptr<Connection> connection;
};

// The three exchange forms: how the request goes out, how the reply of a
// successful command comes in.
enum class Form {
  A,  // one request buffer; the reply into one buffer
  B,  // a gathered request; the reply into one buffer
  C,  // a gathered request; the reply scattered over status word and buffers
};

class Connection : public HandleObject {
 public:
  // `channel` is the ready client channel; `serverPid` the server's process
  // (from the connection reply), or <= 0 when unknown.
  Connection(std::unique_ptr<KMXIpc> channel, pid_t serverPid);
  ~Connection() override;

  // Held for the whole of each command exchange; always taken before the
  // registrations mutex.
  std::recursive_mutex commandMutex;
  // Guards the registration lists; held while callbacks run.
  std::recursive_mutex registrationsMutex;

  // Set once KMXOpenConnection has sent its request.
  std::atomic<bool> opened{false};
  // Set (under both mutexes) when the connection is being destroyed; every
  // command checks it after taking the command mutex.
  bool closed = false;

  // One list per registration kind, by id. Last gasp registrations are kept
  // under id 0 whatever their form.
  std::array<std::map<uint32_t, std::shared_ptr<Registration>>, kRegistrationKinds> registrations;

  // One command exchange; the caller holds the command mutex. Forms A and B:
  // reply[0] is the whole reply buffer, its length set to what arrived.
  // Form C: reply[0] is the status word, its length and every other piece's
  // set to what they received. On failure the thread's error is set and a
  // reply that is still queued is discarded.
  bool exchange(Form form, std::span<const KMXBuffer> request, std::span<KMXBuffer> reply);

  // Command 47: sent without the command mutex and without a reply.
  bool sendCancel();

  // The asynchronous mailbox: its descriptor and a receive without waiting.
  int asyncFd() const { return asyncFd_; }
  bool receiveAsync(uint8_t* buffer, uint32_t capacity, uint32_t* length);

  // Closes the client channel (the caller holds the command mutex).
  void closeChannel();

 private:
  void discardReply();

  std::unique_ptr<KMXIpc> channel_;
  ProcessWatch server_;
  PeerWatch peer_;
  int asyncFd_ = -1;
  // Keeps the channel from closing under a send of command 47, which does
  // not take the command mutex.
  std::mutex channelMutex_;
};

}  // namespace kmx::client
