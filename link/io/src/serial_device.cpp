#include "serial_device.h"

#include <poll.h>

#include <cerrno>

#include "baud_rate.h"

namespace kmx::io {

SerialDevice::SerialDevice(uint32_t bufferSize)
    : bufferSize_(bufferSize), buffer_(std::make_unique_for_overwrite<uint8_t[]>(bufferSize)) {}

SerialDevice::~SerialDevice() = default;

bool SerialDevice::setBaudRate(uint32_t rate) {
  if (baudBitForRate(rate) == 0) {
    errno = EINVAL;
    return false;
  }
  if (!applyBaudRate(rate)) return false;
  currentRate_ = rate;
  return true;
}

bool SerialDevice::finishOpen() {
  open_ = true;
  return setBaudRate(kInitialBaudRate);
}

bool waitForEvents(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      errno = ETIMEDOUT;
      return false;
    }
    pollfd pfd{fd, events, 0};
    const int n = ::poll(&pfd, 1, static_cast<int>(left));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

}  // namespace kmx::io
