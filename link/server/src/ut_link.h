// The server's end of the link to the UT: the serial port, the frame codec,
// and the request layer that sends one request at a time, retransmits it when
// no response comes and completes it with a status.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>

#include "kmx/proto/frame_decoder.h"
#include "kmx/proto/frame_encoder.h"
#include "kmx/proto/link_stats.h"
#include "client_observer.h"
#include "port_output.h"
#include "timer_queue.h"
#include "ut_request.h"

namespace kmx::server {

enum class LinkState : uint8_t { None = 0, Initial = 1, Establishing = 2, Up = 3, Down = 4 };

// The value clients see for a link state (also the bits of their masks).
uint32_t clientVisible(LinkState state);

// What the link reports upwards.
class UtLinkEvents {
 public:
  virtual ~UtLinkEvents() = default;
  // A request used up its transmissions, or a response timer ran out after
  // its request was dropped.
  virtual void requestFailed() = 0;
  // A packet other than a response arrived while the link was not Up.
  virtual void packetWhileNotUp() = 0;
  // An unsolicited packet while the link is Up: its type and the bytes after it.
  virtual void unsolicited(uint8_t type, std::span<const uint8_t> bytes) = 0;
};

class UtLink : public ClientObserver {
 public:
  static constexpr uint32_t kPortBufferSize = 8212;
  static constexpr int kLevels = 3;

  explicit UtLink(TimerQueue& timers);
  // Where link events go (set once, before the port is opened).
  void setEvents(UtLinkEvents* events) { events_ = events; }
  ~UtLink();  // deletes every request without completing it, closes the port
  UtLink(const UtLink&) = delete;
  UtLink& operator=(const UtLink&) = delete;

  // Opens the port at 9600 bit/s, enters Initial and decodes what the port
  // already holds. False when the port cannot be opened or set.
  bool openPort(const std::string& name);
  // Closes the port; requests still held stay until the link is destroyed.
  void closePort();
  bool portOpen() const { return port_ != nullptr; }
  void* port() const { return port_; }
  int readEventFd() const;

  // Raw bytes to the port, after everything written before; `done` runs
  // when the port has taken them (see PortOutput).
  void write(std::span<const uint8_t> bytes, PortOutput::Done done = {}) { output_.write(bytes, std::move(done)); }
  PortOutput& output() { return output_; }
  // Line changes, made once the bytes written before them are out of the
  // server's hands. Results as the driver's.
  bool setRate(uint32_t rate);
  bool setRts(bool on);
  bool setDtr(bool on);

  LinkState state() const { return state_; }
  void setState(LinkState state) { state_ = state; }
  bool xmodemMode() const { return xmodem_; }
  // Entering or leaving Xmodem mode: the codec forgets any partial frame, and
  // while the mode lasts every byte read goes to `xmodemBytes` and no link
  // request is framed. Entered from a packet's dispatch, the rest of that
  // read already goes to `xmodemBytes`.
  void setXmodem(bool on);
  std::function<void(std::span<const uint8_t>)> xmodemBytes;

  // --- requests ------------------------------------------------------------------
  // Queues a request at level 0 (first) to 2, or completes it at once when the
  // link cannot take it.
  void submit(UtRequestPtr request, int level);
  // Puts a request in the priority slot (discarding one that waits there).
  void putPriority(UtRequestPtr request);
  void sendNext();
  bool hasCurrent() const { return current_ != nullptr; }
  bool queuesEmpty() const;
  // Completes the current request with `status`, deletes it and stops its timer.
  void completeCurrent(RequestStatus status);
  // Completes every queued request with `status`, level 0 first.
  void flushQueues(RequestStatus status);
  // A client's end: its waiting requests are deleted without completion; a
  // request of it that the UT has goes on as usual (retransmitted, its
  // answer taken in) but completes without telling anyone.
  void orphanRequestsOf(uint64_t owner);
  void clientRetiring(ClientEntry& client) override;

  // The request-sent flag of the keep-alive: set by every send.
  bool takeRequestSent() {
    bool sent = requestSent_;
    requestSent_ = false;
    return sent;
  }

  // --- the port --------------------------------------------------------------------
  // Reads what the port holds and decodes every complete packet. The read
  // leaves the read event signalled only while more waits. When the read
  // ends inside a frame, the port is not looked at again until the rest of
  // the frame can have arrived (readHeldUntilUs): its bytes come at the
  // line's pace, and a wake-up for each of them would gain nothing.
  void serialDataReady();
  // Until when (us on CLOCK_MONOTONIC) the port's read event is left out of
  // the wait, after which serialDataReady() reads without it; -1: not held.
  int64_t readHeldUntilUs() const { return holdUntilUs_; }
  // Reads and decodes until the port has nothing more. Asked for while a
  // read is being handled (a packet's dispatch changed the link), it runs
  // once that read is done: the read buffer and the decoder are in use.
  void drainPort();

  proto::LinkStats& stats() { return stats_; }

 private:
  void send(UtRequestPtr request);
  // Writes the transmit buffer; the response timer starts when the port has
  // taken the whole frame, unless the request ended meanwhile.
  void transmit();
  void startResponseTimer();
  // How long the rest of a frame that has begun needs on the line: as much
  // as the last good frame had (or as much again as arrived so far, when
  // this one is longer already), with a little slack.
  int64_t partialFrameWaitUs() const;
  // A request's frame has been taken by the port.
  void awaitResponse(std::size_t frameBytes);
  int64_t byteTimeUs() const;
  void responseTimeout();
  // True when bytes were read.
  bool readPort(int reads);
  // Hands bytes read to the Xmodem session or the decoder, whichever has the
  // line, switching over when a packet's dispatch changes the mode.
  void take(std::span<const uint8_t> bytes);
  void dispatch(std::span<const uint8_t> packet);

  TimerQueue& timers_;
  UtLinkEvents* events_ = nullptr;
  void* port_ = nullptr;
  PortOutput output_;
  LinkState state_ = LinkState::None;
  bool xmodem_ = false;
  bool reading_ = false;     // a read's bytes are being handled
  bool decoding_ = false;    // inside the decoder's feed
  bool drainWanted_ = false; // drainPort() was asked for while reading

  proto::LinkStats stats_;
  proto::FrameEncoder encoder_;
  proto::FrameDecoder decoder_{stats_};
  uint8_t sequence_ = 0;
  uint64_t transmission_ = 0;        // counts frames written; names the one a timer waits for
  std::size_t lastFrameBytes_ = 0;   // line bytes of the last good frame received
  int64_t holdUntilUs_ = -1;
  bool lineKeepsTime_ = false;  // answers arrive at the line's pace
  bool checkingPace_ = false;   // the next read tells whether it does
  int sincePaceCheck_ = 0;

  UtRequestPtr priority_;
  std::array<std::deque<UtRequestPtr>, kLevels> queues_;
  UtRequestPtr current_;
  TimerQueue::Id responseTimer_ = TimerQueue::kNoTimer;
  int retries_ = 0;
  bool requestSent_ = false;
};

}  // namespace kmx::server
