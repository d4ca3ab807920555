#include "listener.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <system_error>

#include "connection.h"
#include "kmx/platform/wait.h"
#include "kmx/proto/byte_order.h"
#include "kmx_messages.h"
#include "kmxclient.h"

namespace kmx::client {
namespace {

using proto::loadLe32;

using namespace msg::async;

// After a failed wait (a descriptor closed under it), the list is rebuilt;
// the pause keeps a lasting failure from spinning.
constexpr auto kRetryPause = std::chrono::milliseconds(1);

void signal(int fd) {
  const uint64_t one = 1;
  while (write(fd, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void drain(int fd) {
  uint64_t count = 0;
  while (read(fd, &count, sizeof count) < 0 && errno == EINTR) {
  }
}

// Receives one message of the connection and calls the callbacks it is
// for; false when none was queued. `listed` says whether the connection is
// still on the wait list: a callback may close it.
template <class Listed>
bool dispatchOne(Connection& c, const Listed& listed) {
  std::lock_guard lock(c.registrationsMutex);
  // One byte more than a message, for the NUL that ends a last gasp text
  // at the latest.
  uint8_t message[msg::kMaxMessage + 1];
  uint32_t length = 0;
  if (!c.receiveAsync(message, msg::kMaxMessage, &length)) return false;
  if (length < kHeaderSize) return true;
  message[length] = 0;
  const uint32_t type = loadLe32(&message[kType]);
  const uint32_t id = loadLe32(&message[kId]);

  auto registrationFor = [&](uint32_t kind, uint32_t key) -> std::shared_ptr<Registration> {
    auto& list = c.registrations[kind];
    auto it = list.find(key);
    return it == list.end() ? nullptr : it->second;
  };

  switch (type) {
    case msg::kAsyncPlugin:
    case msg::kAsyncAlert: {
      auto r = registrationFor(type, id);
      if (!r) return true;
      reinterpret_cast<KMXDataCallback>(r->callback)(id, &message[kData], length - kData, r->userData);
      return true;
    }
    case msg::kAsyncLog: {
      auto r = registrationFor(type, id);
      if (!r || length < kLogData) return true;
      reinterpret_cast<KMXLogDataCallback>(r->callback)(
          id, message[kLogSequence], loadLe32(&message[kLogHeader1]), loadLe32(&message[kLogHeader2]),
          &message[kLogData], length - kLogData, r->userData);
      return true;
    }
    case msg::kAsyncStateChange: {
      // Every state change registration in id order; the list may change
      // under a callback, so each id is looked up afresh.
      std::vector<uint32_t> ids;
      for (const auto& entry : c.registrations[type]) ids.push_back(entry.first);
      for (uint32_t key : ids) {
        if (!listed()) return true;
        auto r = registrationFor(type, key);
        if (r) reinterpret_cast<KMXStateChangeCallback>(r->callback)(id, r->userData);
      }
      return true;
    }
    case msg::kAsyncLastGasp: {
      auto r = registrationFor(type, 0);
      if (!r || length < kLastGaspText) return true;
      const char* text = reinterpret_cast<const char*>(&message[kLastGaspText]);
      if (r->id == 0) {
        reinterpret_cast<KMXLastGaspCallback>(r->callback)(text, r->userData);
      } else {
        reinterpret_cast<KMXNewLastGaspCallback>(r->callback)(
            loadLe32(&message[kLastGaspStampHigh]), loadLe32(&message[kLastGaspStampLow]), text,
            r->userData);
      }
      return true;
    }
    default:
      return true;
  }
}

}  // namespace

Listener::Run::Run() : wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (wakeFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

Listener::Run::~Run() { close(wakeFd); }

Listener& Listener::instance() {
  // Never destroyed: a thread may still run when the process exits.
  static Listener* listener = new Listener;
  return *listener;
}

void Listener::attach(const std::shared_ptr<Connection>& connection) {
  std::shared_ptr<Run> run;
  {
    std::lock_guard lock(usersMutex_);
    if (users_ == 0) {
      auto fresh = std::make_shared<Run>();
      fresh->thread = std::thread([this, fresh] { loop(fresh); });
      run_ = std::move(fresh);
    }
    ++users_;
    run = run_;
  }
  {
    std::lock_guard lock(listMutex_);
    list_.push_back(connection);
  }
  signal(run->wakeFd);
}

void Listener::detach(const Connection* connection) {
  std::shared_ptr<Run> run;
  {
    std::lock_guard lock(usersMutex_);
    run = run_;
  }
  {
    // Waits for a dispatch pass in progress on another thread.
    std::lock_guard lock(listMutex_);
    std::erase_if(list_, [&](const auto& c) { return c.get() == connection; });
  }
  if (run) signal(run->wakeFd);
}

void Listener::release() {
  std::shared_ptr<Run> stopping;
  {
    std::lock_guard lock(usersMutex_);
    if (users_ == 0 || --users_ != 0) return;
    stopping = std::move(run_);
  }
  stopping->quit = true;
  signal(stopping->wakeFd);
  if (stopping->thread.get_id() == std::this_thread::get_id()) {
    // The last connection was closed by one of its callbacks: the thread
    // ends by itself once the callback has returned.
    stopping->thread.detach();
  } else {
    stopping->thread.join();
  }
}

bool Listener::listed(const Connection* connection) const {
  return std::any_of(list_.begin(), list_.end(),
                     [&](const auto& c) { return c.get() == connection; });
}

void Listener::loop(const std::shared_ptr<Run>& run) {
  std::vector<int> fds;
  while (!run->quit) {
    fds.assign(1, run->wakeFd);
    {
      std::lock_guard lock(listMutex_);
      for (const auto& c : list_) fds.push_back(c->asyncFd());
    }
    const int ready = waitForAny(fds, -1);
    if (ready == 0) drain(run->wakeFd);
    if (run->quit) break;
    if (ready == kWaitFailed) {
      std::this_thread::sleep_for(kRetryPause);
    } else if (ready > 0) {
      // While messages keep coming, pass after pass without a wait between.
      while (pass() && !run->quit) {
      }
    }
  }
}

// Every connection of the wait list gets one dispatch step, in the order
// they were made: the connections are served in turn, one message each per
// pass. Returns whether any message came.
bool Listener::pass() {
  std::lock_guard lock(listMutex_);
  const auto snapshot = list_;
  bool received = false;
  for (const auto& c : snapshot) {
    if (!listed(c.get())) continue;
    received = dispatchOne(*c, [&] { return listed(c.get()); }) || received;
  }
  return received;
}

}  // namespace kmx::client
