#include "com_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "baud_rate.h"

namespace kmx::io {
namespace {

speed_t speedFor(uint32_t rate) {
  switch (rate) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    default: return B115200;
  }
}

// The modem-line ioctls fail this way on a device that has no modem lines.
bool noModemLines(int err) { return err == ENOTTY || err == EINVAL; }

}  // namespace

ComPort::~ComPort() {
  if (fd_ >= 0) ::close(fd_);  // also drops the flock
}

bool ComPort::open(const std::string& path) {
  if (open_) {
    errno = EBUSY;
    return false;
  }
  fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return false;
  if (!::isatty(fd_)) {
    errno = ENOTTY;
    return false;
  }
  // One user at a time: a second open of the same device fails with EBUSY.
  // An advisory lock, so that it also holds for root (TIOCEXCL does not) and
  // goes away with the process.
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) errno = EBUSY;
    return false;
  }
  availableRates_ = kAllBaudRates;

  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
  if (!setModemLine(TIOCM_DTR, true) || !setModemLine(TIOCM_RTS, true)) return false;

  if (!readEvent_.create() || !readEvent_.watch(fd_)) return false;
  return finishOpen();
}

bool ComPort::write(const uint8_t* data, uint32_t length) {
  if (dead_) {
    errno = EIO;
    return false;
  }
  // Bounded by the time the bytes need on the line, plus a second.
  const uint32_t rate = currentRate_ != 0 ? currentRate_ : kInitialBaudRate;
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(1000 + uint64_t{length} * 10 * 1000 / rate);
  uint32_t done = 0;
  while (done < length) {
    const ssize_t n = ::write(fd_, data + done, length - done);
    if (n > 0) {
      done += static_cast<uint32_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      if (!waitForEvents(fd_, POLLOUT, deadline)) return false;
    } else if (n < 0 && errno != EINTR) {
      return false;
    }
  }
  return true;
}

bool ComPort::writeNow(const uint8_t* data, uint32_t length, uint32_t* taken) {
  *taken = 0;
  if (dead_) {
    errno = EIO;
    return false;
  }
  while (*taken < length) {
    const ssize_t n = ::write(fd_, data + *taken, length - *taken);
    if (n > 0) {
      *taken += static_cast<uint32_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      return true;
    } else if (n < 0 && errno != EINTR) {
      return false;
    }
  }
  return true;
}

const uint8_t* ComPort::readBytes(uint32_t* length, bool signalAlways) {
  *length = 0;
  readEvent_.clear();
  if (dead_ || bufferSize_ == 0) return nullptr;
  ssize_t n;
  do {
    n = ::read(fd_, buffer_.get(), bufferSize_);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    bytesRead_ = static_cast<uint32_t>(n);
    *length = bytesRead_;
    // A read that did not fill the buffer took all there was; more input
    // signals the event through the port descriptor itself.
    if (signalAlways || bytesRead_ == bufferSize_) readEvent_.set();
    return buffer_.get();
  }
  if (n < 0 && errno == EAGAIN) return nullptr;
  // End of file or an error: when the line has hung up, stop watching it, or
  // its hang-up would keep the read event signalled for ever.
  const int saved = errno;
  pollfd pfd{fd_, POLLIN, 0};
  if (::poll(&pfd, 1, 0) == 1 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) markDead();
  errno = saved;
  return nullptr;
}

void ComPort::markDead() {
  dead_ = true;
  readEvent_.unwatch(fd_);
}

bool ComPort::cts() {
  if (dead_) return false;
  pollfd pfd{fd_, 0, 0};
  if (::poll(&pfd, 1, 0) == 1 && (pfd.revents & POLLHUP) != 0) return false;  // nobody there
  int status = 0;
  if (::ioctl(fd_, TIOCMGET, &status) == 0) return (status & TIOCM_CTS) != 0;
  return noModemLines(errno);
}

bool ComPort::setRts(bool on) { return setModemLine(TIOCM_RTS, on); }
bool ComPort::setDtr(bool on) { return setModemLine(TIOCM_DTR, on); }

bool ComPort::setModemLine(int line, bool on) {
  if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return true;
  return noModemLines(errno);
}

bool ComPort::applyBaudRate(uint32_t rate) {
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return false;
  const speed_t speed = speedFor(rate);
  if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return false;
  return ::tcsetattr(fd_, TCSANOW, &tio) == 0;
}

}  // namespace kmx::io
