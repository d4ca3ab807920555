// A serial port on a tty device: raw 8N1, non-blocking, no flow control, with
// DTR and RTS driven and CTS read through the modem-line ioctls. A device
// without modem lines (a pty, a three-wire adapter) reads CTS as on and takes
// DTR and RTS changes as no-ops.
#pragma once

#include "serial_device.h"

namespace kmx::io {

class ComPort final : public SerialDevice {
 public:
  using SerialDevice::SerialDevice;
  ~ComPort() override;

  bool open(const std::string& path) override;
  bool write(const uint8_t* data, uint32_t length) override;
  bool writeNow(const uint8_t* data, uint32_t length, uint32_t* taken) override;
  int writeEventHandle() override { return writeEvent_.fdFor(fd_); }
  bool cts() override;
  bool setRts(bool on) override;
  bool setDtr(bool on) override;

 private:
  bool applyBaudRate(uint32_t rate) override;
  const uint8_t* readBytes(uint32_t* length, bool signalAlways) override;
  bool setModemLine(int line, bool on);
  // The line hung up for good (device gone, pty master closed).
  void markDead();

  int fd_ = -1;
  bool dead_ = false;
  WriteEvent writeEvent_;
};

}  // namespace kmx::io
