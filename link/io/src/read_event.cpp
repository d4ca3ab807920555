#include "read_event.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace kmx::io {

ReadEvent::~ReadEvent() {
  if (epoll_ >= 0) ::close(epoll_);
  if (flag_ >= 0) ::close(flag_);
}

bool ReadEvent::create() {
  flag_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (flag_ < 0) return false;
  epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  if (epoll_ < 0) return false;
  if (!watch(flag_)) return false;
  set();
  return true;
}

bool ReadEvent::watch(int fd) {
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = fd;
  return ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) == 0;
}

void ReadEvent::unwatch(int fd) {
  const int saved = errno;
  ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
  errno = saved;
}

void ReadEvent::set() {
  if (flagSet_) return;
  flagSet_ = true;
  const int saved = errno;
  const uint64_t one = 1;
  (void)!::write(flag_, &one, sizeof one);
  errno = saved;
}

void ReadEvent::clear() {
  if (!flagSet_) return;
  flagSet_ = false;
  const int saved = errno;
  uint64_t value;
  (void)!::read(flag_, &value, sizeof value);
  errno = saved;
}

WriteEvent::~WriteEvent() {
  if (epoll_ >= 0) ::close(epoll_);
}

int WriteEvent::fdFor(int fd) {
  if (epoll_ >= 0) return epoll_;
  const int made = ::epoll_create1(EPOLL_CLOEXEC);
  if (made < 0) return -1;
  epoll_event ev{};
  ev.events = EPOLLOUT;
  ev.data.fd = fd;
  if (::epoll_ctl(made, EPOLL_CTL_ADD, fd, &ev) != 0) {
    const int saved = errno;
    ::close(made);
    errno = saved;
    return -1;
  }
  epoll_ = made;
  return epoll_;
}

}  // namespace kmx::io
