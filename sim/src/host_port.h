// The UT's side of the serial port: a Unix SOCK_SEQPACKET socket in the port
// directory (data, modem lines and rate changes as separate messages) or a
// pty. One host at a time; a second one is turned away while the first is
// connected.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace kmx::sim {

class HostPort {
 public:
  struct Events {
    std::function<void()> connected;
    std::function<void()> disconnected;
    std::function<void(std::span<const uint8_t>)> data;
    std::function<void(bool rts, bool dtr)> lines;
    std::function<void(uint32_t rate)> baud;
  };

  explicit HostPort(Events events) : events_(std::move(events)) {}
  ~HostPort();
  HostPort(const HostPort&) = delete;
  HostPort& operator=(const HostPort&) = delete;

  // Makes <dir>/<name>: a listening socket, or a link to a new pty. False
  // with `error` set on failure.
  bool open(const std::string& dir, const std::string& name, bool pty, std::string& error);
  void close();
  const std::string& path() const { return path_; }
  bool isPty() const { return pty_; }
  bool hostConnected() const { return pty_ || connection_ >= 0; }

  // Descriptors to poll for input (up to two), and the handler for them.
  int listenFd() const { return listen_; }
  int connectionFd() const { return pty_ ? ptyMaster_ : connection_; }
  void onListenReadable();
  void onConnectionReadable();

  void sendData(std::span<const uint8_t> bytes);
  void sendCts(bool on);

 private:
  void dropConnection();

  Events events_;
  std::string path_;
  bool pty_ = false;
  int listen_ = -1;
  int connection_ = -1;
  int ptyMaster_ = -1;
  bool lastCts_ = true;
};

}  // namespace kmx::sim
