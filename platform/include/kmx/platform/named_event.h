// A named event: the FIFO <runtime>/<name>.evt opened O_RDWR|O_NONBLOCK. It is
// signalled while the FIFO holds a byte, so poll() on fd() reports POLLIN
// exactly while the event is set. A manual-reset event stays set until
// reset(); an auto-reset event is taken by the waiter that consumes it.
#pragma once

#include <memory>
#include <string_view>

#include "kmx/platform/named_file.h"

namespace kmx {

class NamedEvent {
 public:
  enum class Reset { Manual, Auto };

  // Opens the event, creating it when it does not exist; a new event starts
  // in `initiallySet`; an existing one keeps its state.
  static std::unique_ptr<NamedEvent> create(std::string_view name, Reset reset,
                                            bool initiallySet);
  // Opens an existing event only (ENOENT when there is none).
  static std::unique_ptr<NamedEvent> open(std::string_view name, Reset reset);

  ~NamedEvent();
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;

  int fd() const { return file_.fd(); }

  bool set();    // writes one byte when the FIFO is empty
  bool reset();  // drains the FIFO
  bool isSet() const;
  // For an auto-reset event: takes the signal if it is there. Returns true
  // when this caller took it.
  bool tryTake();
  // Waits until the event is set (auto-reset: and takes it). timeoutMs < 0
  // waits without limit. Returns false on time-out (last-error ETIMEDOUT) or
  // failure.
  bool wait(int32_t timeoutMs);

 private:
  NamedEvent(NamedFile file, Reset reset) : file_(std::move(file)), reset_(reset) {}

  NamedFile file_;
  Reset reset_;
};

}  // namespace kmx
