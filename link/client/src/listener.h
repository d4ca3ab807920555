// The listening thread: one per process while the process has connections.
// It waits on the asynchronous mailboxes of all connections and runs the
// registrations' callbacks.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kmx::client {

class Connection;

class Listener {
 public:
  static Listener& instance();

  // Counts one more connection, starting the thread for the first, and puts
  // the connection on the wait list. Throws std::system_error when the
  // thread cannot be started (nothing is changed then).
  void attach(const std::shared_ptr<Connection>& connection);
  // Takes the connection off the wait list. When this returns, none of its
  // callbacks runs any more (unless it is called from one of them).
  void detach(const Connection* connection);
  // Counts one connection less; the last one stops the thread.
  void release();

 private:
  struct Run {
    Run();
    ~Run();
    int wakeFd;  // eventfd: the wait list changed, or quit
    std::atomic<bool> quit{false};
    std::thread thread;
  };

  Listener() = default;
  void loop(const std::shared_ptr<Run>& run);
  bool pass();
  bool listed(const Connection* connection) const;

  // Guards the user count and the running thread. Never held while another
  // lock is taken or the thread is joined; a callback (which runs under
  // listMutex_) may take it.
  std::mutex usersMutex_;
  uint32_t users_ = 0;
  std::shared_ptr<Run> run_;

  // Guards the wait list; held for a whole dispatch pass, so callbacks run
  // one at a time. Recursive: a callback may create or close connections.
  std::recursive_mutex listMutex_;
  std::vector<std::shared_ptr<Connection>> list_;
};

}  // namespace kmx::client
