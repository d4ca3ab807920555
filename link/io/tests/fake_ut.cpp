#include "fake_ut.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace kmx::io::testing {

FakeUt::FakeUt(const std::string& path, bool cts, bool announceCts) {
  listener_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (listener_ < 0 || path.size() >= sizeof addr.sun_path) throw std::runtime_error("socket");
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener_, 4) != 0) {
    throw std::runtime_error("bind/listen " + path);
  }
  acceptor_ = std::thread([this, cts, announceCts] {
    pollfd pfd{listener_, POLLIN, 0};
    if (::poll(&pfd, 1, 10000) != 1) return;
    conn_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn_ >= 0 && announceCts) sendCts(cts);
  });
}

FakeUt::~FakeUt() {
  if (acceptor_.joinable()) acceptor_.join();
  if (conn_ >= 0) ::close(conn_);
  ::close(listener_);
}

bool FakeUt::waitConnected() {
  if (acceptor_.joinable()) acceptor_.join();
  return conn_ >= 0;
}

bool FakeUt::send(uint8_t type, const Bytes& body) {
  Bytes message{type};
  message.insert(message.end(), body.begin(), body.end());
  return sendRaw(message);
}

bool FakeUt::sendRaw(const Bytes& message) {
  return ::send(conn_, message.data(), message.size(), MSG_NOSIGNAL) ==
         static_cast<ssize_t>(message.size());
}

std::optional<Message> FakeUt::receive(int timeoutMs) {
  pollfd pfd{conn_, POLLIN, 0};
  if (::poll(&pfd, 1, timeoutMs) != 1) return std::nullopt;
  uint8_t buffer[1 + sim::kMaxDataBody + 16];
  const ssize_t n = ::recv(conn_, buffer, sizeof buffer, 0);
  if (n <= 0) return std::nullopt;
  return Message{buffer[0], Bytes(buffer + 1, buffer + n)};
}

Bytes FakeUt::receiveData(std::size_t count, int timeoutMs) {
  Bytes data;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (data.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    auto message = receive(static_cast<int>(left));
    if (!message) break;
    if (message->type == sim::kData) data.insert(data.end(), message->body.begin(), message->body.end());
  }
  return data;
}

void FakeUt::hangUp() {
  if (conn_ >= 0) ::close(conn_);
  conn_ = -1;
}

}  // namespace kmx::io::testing
