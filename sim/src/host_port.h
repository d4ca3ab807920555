// The UT's side of the serial port: a Unix SOCK_SEQPACKET socket in the port
// directory (data, modem lines and rate changes as separate messages) or a
// pty. One host at a time; a second one is turned away while the first is
// connected.
//
// The line behaves like a real one towards a host that reads late: what the
// socket or pty cannot take yet waits here, as bytes wait in a real port's
// receive buffer, and goes out when it has room again (dataWaiting(), then
// onConnectionWritable()). Only what does not fit that buffer is lost, and
// it is counted as an overrun, as a UART counts one.
#pragma once

#include <cstdint>
#include <deque>
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
  // The connection can take more, or hung up: sends what waits.
  void onConnectionWritable(bool hungUp);

  // The receive buffer of the host's port beyond what the socket or pty
  // itself queues: a tty holds 4 KiB in its line discipline and at least as
  // much in its flip buffers before its UART overruns.
  static constexpr std::size_t kLineBufferBytes = 8192;

  void sendData(std::span<const uint8_t> bytes);
  void sendCts(bool on);
  // Bytes or a line change wait for room in the connection.
  bool dataWaiting() const { return !waiting_.empty() || ctsWaiting_; }
  // Bytes lost because the host's port had no room for them.
  uint64_t overruns() const { return overruns_; }

 private:
  void dropConnection();
  // Sends what waits, in order, while the connection takes it.
  void flushWaiting();
  // Sends one piece of line data; the count taken (0 when the connection is
  // full), or -1 when nobody can take it (no host, a hung-up line).
  long sendPiece(std::span<const uint8_t> bytes);
  bool sendLines();

  Events events_;
  std::string path_;
  bool pty_ = false;
  int listen_ = -1;
  int connection_ = -1;
  int ptyMaster_ = -1;
  bool lastCts_ = true;
  bool ctsWaiting_ = false;  // the last CTS change has not gone out yet
  std::deque<uint8_t> waiting_;
  uint64_t overruns_ = 0;
};

}  // namespace kmx::sim
