// A serial port as the link sees it: raw bytes in and out without blocking,
// a read event, the line rate and the modem lines DTR, RTS and CTS.
// ComPort drives a tty, SimulatorPort the socket of a UT simulator.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "read_event.h"

namespace kmx::io {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC

class SerialDevice {
 public:
  // Allocates the read buffer of `bufferSize` bytes (0 allowed).
  explicit SerialDevice(uint32_t bufferSize);
  virtual ~SerialDevice();
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  // Writes all of it; false (errno set) when not everything was written.
  virtual bool write(const uint8_t* data, uint32_t length) = 0;
  // Writes what the port takes at once, without waiting; *taken says how
  // much (on a simulator port whole DATA messages of at most 4096 bytes).
  // False (errno set) when the port has failed.
  virtual bool writeNow(const uint8_t* data, uint32_t length, uint32_t* taken) = 0;
  // A descriptor that polls readable while the port can take more output;
  // -1 (errno set) on failure. Made on first use; belongs to the port.
  virtual int writeEventHandle() = 0;
  int readEventHandle() const { return readEvent_.fd(); }
  virtual bool cts() = 0;
  virtual bool setRts(bool on) = 0;
  virtual bool setDtr(bool on) = 0;
  // Opens the port at `path` (once per object); ends at 9600 bit/s.
  virtual bool open(const std::string& path) = 0;
  // What has arrived, in the read buffer, or null with *length 0. A read
  // that returns bytes leaves the read event signalled.
  const uint8_t* read(uint32_t* length) { return readBytes(length, true); }
  // The same, but the read event stays signalled only while more may wait:
  // a read that emptied the port spares its caller the empty read after it.
  const uint8_t* readAvailable(uint32_t* length) { return readBytes(length, false); }
  // The read event's own flag: set at open, after a read that may have left
  // bytes behind and while the driver holds data; no system call.
  bool readPending() const { return readEvent_.isSet(); }

  // Looks `rate` up in the rate table and applies it. False (EINVAL) for an
  // unknown rate, or when the port refuses; the current rate is then kept.
  bool setBaudRate(uint32_t rate);
  uint32_t baudRate() const { return currentRate_; }
  uint32_t availableRates() const { return availableRates_; }

 protected:
  // Puts the port to `rate` (a rate of the table).
  virtual bool applyBaudRate(uint32_t rate) = 0;
  // A read; with `signalAlways` false the read event is set after bytes only
  // when the port may hold more.
  virtual const uint8_t* readBytes(uint32_t* length, bool signalAlways) = 0;
  // The last step of every open: marks the port open and sets 9600 bit/s.
  bool finishOpen();

  uint32_t availableRates_ = 0;
  const uint32_t bufferSize_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t bytesRead_ = 0;
  bool open_ = false;
  uint32_t currentRate_ = 0;
  ReadEvent readEvent_;
};

// Waits until `fd` reports `events` or `deadline` passes; false with errno
// ETIMEDOUT on time-out.
bool waitForEvents(int fd, short events, Clock::time_point deadline);

}  // namespace kmx::io
