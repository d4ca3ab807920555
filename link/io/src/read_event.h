// The read event of a port: an epoll descriptor that polls readable when the
// port descriptor has input (or hung up) or when the "read completed" flag, an
// eventfd, is set. The flag is set at open and after every read that returned
// bytes and cleared when a read starts, so the descriptor behaves like a
// manual-reset event that is signalled after each completed read and stays
// signalled while input waits. The flag's state is mirrored here, so that
// setting a set flag or clearing a clear one costs no system call.
#pragma once

namespace kmx::io {

class ReadEvent {
 public:
  ReadEvent() = default;
  ~ReadEvent();
  ReadEvent(const ReadEvent&) = delete;
  ReadEvent& operator=(const ReadEvent&) = delete;

  // Makes the descriptors, with the flag set. False (errno set) on failure.
  bool create();
  // Adds a descriptor whose input signals the event.
  bool watch(int fd);
  // Stops watching it (a hung-up line would otherwise signal for ever).
  void unwatch(int fd);

  void set();
  void clear();
  bool isSet() const { return flagSet_; }
  int fd() const { return epoll_; }

 private:
  int epoll_ = -1;
  int flag_ = -1;
  bool flagSet_ = false;
};

// The write event of a port, made when first asked for: an epoll descriptor
// that polls readable while the port descriptor can take more output (or
// hung up), for a caller that queues its output and waits for room in its
// event loop.
class WriteEvent {
 public:
  WriteEvent() = default;
  ~WriteEvent();
  WriteEvent(const WriteEvent&) = delete;
  WriteEvent& operator=(const WriteEvent&) = delete;

  // The descriptor watching `fd` for room (made on the first call); -1
  // (errno set) on failure.
  int fdFor(int fd);

 private:
  int epoll_ = -1;
};

}  // namespace kmx::io
