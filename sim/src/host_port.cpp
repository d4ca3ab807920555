#include "host_port.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "kmx/io/simulator_protocol.h"
#include "kmx/proto/byte_order.h"

namespace kmx::sim {

namespace wire = kmx::io::sim;

HostPort::~HostPort() { close(); }

bool HostPort::open(const std::string& dir, const std::string& name, bool pty, std::string& error) {
  close();
  pty_ = pty;
  path_ = dir + "/" + name;
  unlink(path_.c_str());  // a port entry left by an earlier simulator
  if (pty) {
    int slave = -1;
    char slaveName[256] = {};
    if (openpty(&ptyMaster_, &slave, slaveName, nullptr, nullptr) != 0) {
      error = std::string("openpty: ") + std::strerror(errno);
      return false;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    ::close(slave);  // the host opens it by name
    fcntl(ptyMaster_, F_SETFL, fcntl(ptyMaster_, F_GETFL) | O_NONBLOCK);
    fcntl(ptyMaster_, F_SETFD, FD_CLOEXEC);
    if (symlink(slaveName, path_.c_str()) != 0) {
      error = "symlink " + path_ + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path_.size() >= sizeof address.sun_path) {
    error = "port path too long: " + path_;
    return false;
  }
  std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
  listen_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listen_, 4) != 0) {
    error = "socket " + path_ + ": " + std::strerror(errno);
    return false;
  }
  chmod(path_.c_str(), 0600);
  return true;
}

void HostPort::close() {
  dropConnection();
  if (listen_ >= 0) ::close(listen_);
  if (ptyMaster_ >= 0) ::close(ptyMaster_);
  listen_ = ptyMaster_ = -1;
  waiting_.clear();
  if (!path_.empty()) unlink(path_.c_str());
  path_.clear();
}

void HostPort::dropConnection() {
  if (connection_ < 0) return;
  ::close(connection_);
  connection_ = -1;
  waiting_.clear();
  ctsWaiting_ = false;
  if (events_.disconnected) events_.disconnected();
}

void HostPort::onListenReadable() {
  int fd = accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return;
  if (connection_ >= 0) {
    ::close(fd);  // the port is in use
    return;
  }
  connection_ = fd;
  if (events_.connected) events_.connected();
  // The host learns the CTS line at once.
  uint8_t lines[2] = {wire::kLines, static_cast<uint8_t>(lastCts_ ? wire::kLineCts : 0)};
  send(connection_, lines, sizeof lines, MSG_NOSIGNAL);
}

void HostPort::onConnectionReadable() {
  uint8_t buffer[1 + wire::kMaxDataBody];
  for (int i = 0; i < 64; ++i) {
    if (pty_) {
      ssize_t n = read(ptyMaster_, buffer, sizeof buffer);
      if (n <= 0) return;
      if (events_.data) events_.data({buffer, static_cast<std::size_t>(n)});
      continue;
    }
    if (connection_ < 0) return;
    ssize_t n = recv(connection_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
      dropConnection();
      return;
    }
    if (n < 0) return;
    std::span<const uint8_t> body(buffer + 1, static_cast<std::size_t>(n - 1));
    switch (buffer[0]) {
      case wire::kData:
        if (!body.empty() && events_.data) events_.data(body);
        break;
      case wire::kLines:
        if (body.size() == 1 && events_.lines)
          events_.lines((body[0] & wire::kLineRts) != 0, (body[0] & wire::kLineDtr) != 0);
        break;
      case wire::kBaud:
        if (body.size() == 4 && events_.baud) events_.baud(proto::loadLe32(body.data()));
        break;
      default:
        break;  // unknown messages are ignored
    }
  }
}

// Bytes go straight out while nothing waits before them; what the
// connection cannot take waits, up to the buffer's size, and the rest is an
// overrun.
void HostPort::sendData(std::span<const uint8_t> bytes) {
  while (waiting_.empty() && !bytes.empty()) {
    const long taken = sendPiece(bytes.first(std::min(bytes.size(), wire::kMaxDataBody)));
    if (taken < 0) return;  // no host: the bytes go nowhere, as on an open line
    if (taken == 0) break;
    bytes = bytes.subspan(static_cast<std::size_t>(taken));
  }
  const std::size_t room = kLineBufferBytes - std::min(kLineBufferBytes, waiting_.size());
  const std::size_t kept = std::min(room, bytes.size());
  waiting_.insert(waiting_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(kept));
  overruns_ += bytes.size() - kept;
}

void HostPort::onConnectionWritable(bool hungUp) {
  if (hungUp && pty_) {
    waiting_.clear();  // nobody has the pty open: the bytes go nowhere
    return;
  }
  if (ctsWaiting_ && !sendLines()) return;
  flushWaiting();
}

void HostPort::flushWaiting() {
  uint8_t piece[wire::kMaxDataBody];
  while (!waiting_.empty()) {
    const std::size_t chunk = std::min(waiting_.size(), sizeof piece);
    std::copy_n(waiting_.begin(), chunk, piece);
    const long taken = sendPiece({piece, chunk});
    if (taken < 0) {
      waiting_.clear();  // the host went: nobody is left to read them
      return;
    }
    if (taken == 0) return;
    waiting_.erase(waiting_.begin(), waiting_.begin() + taken);
  }
}

long HostPort::sendPiece(std::span<const uint8_t> bytes) {
  if (pty_) {
    const ssize_t n = write(ptyMaster_, bytes.data(), bytes.size());
    if (n >= 0) return static_cast<long>(n);
    return errno == EAGAIN || errno == EINTR ? 0 : -1;  // EIO: nobody has the other end open
  }
  if (connection_ < 0) return -1;
  uint8_t message[1 + wire::kMaxDataBody];
  message[0] = wire::kData;
  std::memcpy(message + 1, bytes.data(), bytes.size());
  if (send(connection_, message, bytes.size() + 1, MSG_NOSIGNAL) >= 0) return static_cast<long>(bytes.size());
  if (errno == EAGAIN || errno == EINTR) return 0;
  dropConnection();
  return -1;
}

// A modem line is a level, not a message that may be lost: a change that
// finds the connection full goes out when it has room, before the data
// that waits (the lines do not travel with the data on a real port either).
void HostPort::sendCts(bool on) {
  lastCts_ = on;
  ctsWaiting_ = true;
  sendLines();
}

bool HostPort::sendLines() {
  if (pty_ || connection_ < 0) {
    ctsWaiting_ = false;
    return true;
  }
  const uint8_t lines[2] = {wire::kLines, static_cast<uint8_t>(lastCts_ ? wire::kLineCts : 0)};
  if (send(connection_, lines, sizeof lines, MSG_NOSIGNAL) < 0) {
    if (errno == EAGAIN || errno == EINTR) return false;
    dropConnection();
    return false;
  }
  ctsWaiting_ = false;
  return true;
}

}  // namespace kmx::sim
