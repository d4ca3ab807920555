// Starting programs and watching other processes end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kmx {

// Starts `program` with `args` (argv[1..]) detached into its own session. The
// program is not left as a child of the caller, so no zombie remains. Its
// standard input is /dev/null; its standard output and error go to
// `outputPath` (appended, made 0600) when one is given, else they are the
// caller's. Returns its process id, or -1 with the last-error set (for example
// when the program could not be executed).
pid_t startDetached(const std::string& program,
                    const std::vector<std::string>& args,
                    const std::string& outputPath = {});

// A pidfd for another process: its descriptor polls readable once the process
// has ended.
class ProcessWatch {
 public:
  ProcessWatch() = default;
  explicit ProcessWatch(pid_t pid);  // check valid() afterwards
  ProcessWatch(ProcessWatch&& other) noexcept;
  ProcessWatch& operator=(ProcessWatch&& other) noexcept;
  ProcessWatch(const ProcessWatch&) = delete;
  ProcessWatch& operator=(const ProcessWatch&) = delete;
  ~ProcessWatch();

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  pid_t pid() const { return pid_; }
  bool hasEnded() const;

 private:
  int fd_ = -1;
  pid_t pid_ = -1;
};

}  // namespace kmx
