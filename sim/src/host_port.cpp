#include "host_port.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

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
  if (!path_.empty()) unlink(path_.c_str());
  path_.clear();
}

void HostPort::dropConnection() {
  if (connection_ < 0) return;
  ::close(connection_);
  connection_ = -1;
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

void HostPort::sendData(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    std::size_t chunk = std::min(bytes.size(), wire::kMaxDataBody);
    if (pty_) {
      if (write(ptyMaster_, bytes.data(), chunk) < 0) return;  // nobody reading: the bytes are lost
    } else {
      if (connection_ < 0) return;  // no host: the bytes go nowhere, as on an open line
      uint8_t message[1 + wire::kMaxDataBody];
      message[0] = wire::kData;
      std::memcpy(message + 1, bytes.data(), chunk);
      if (send(connection_, message, chunk + 1, MSG_NOSIGNAL) < 0 && errno != EAGAIN) {
        dropConnection();
        return;
      }
    }
    bytes = bytes.subspan(chunk);
  }
}

void HostPort::sendCts(bool on) {
  lastCts_ = on;
  if (connection_ < 0) return;
  uint8_t lines[2] = {wire::kLines, static_cast<uint8_t>(on ? wire::kLineCts : 0)};
  send(connection_, lines, sizeof lines, MSG_NOSIGNAL);
}

}  // namespace kmx::sim
