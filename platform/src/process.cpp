#include "kmx/platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "kmx/platform/last_error.h"

extern char** environ;

namespace kmx {
namespace {

void closeInheritedDescriptors(int keep) {
  // Nothing of the starter's (pipes of a test harness, sockets) may stay open
  // in a program that can outlive it. close_range is one async-signal-safe
  // system call; the loop is for kernels that lack it.
  if (keep > 3) syscall(SYS_close_range, 3U, static_cast<unsigned>(keep - 1), 0U);
  if (syscall(SYS_close_range, static_cast<unsigned>(keep + 1), ~0U, 0U) == 0) return;
  for (int fd = 3; fd < 4096; ++fd) {
    if (fd != keep) close(fd);
  }
}

// What the starting processes tell the caller through the report pipe.
enum ReportKind : int32_t { kStarted = 1, kExecFailed = 2, kForkFailed = 3 };
struct Report {
  int32_t kind;
  int32_t value;  // the program's pid, or an errno
};

bool readAll(int fd, void* buffer, std::size_t size) {
  auto* bytes = static_cast<char*>(buffer);
  std::size_t got = 0;
  while (got < size) {
    ssize_t n = read(fd, bytes + got, size - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

// Double fork: the intermediate child starts a new session, forks the program
// and exits at once, so the program is adopted by init and the caller only
// reaps the short-lived intermediate. A close-on-exec pipe brings back the
// program's pid and, if exec failed, its errno. Between fork and exec only
// async-signal-safe calls are made.
pid_t startDetached(const std::string& program, const std::vector<std::string>& args,
                    const std::string& outputPath) {
  std::vector<std::string> argvStrings;
  argvStrings.reserve(args.size() + 1);
  argvStrings.push_back(program);
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argvStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    setLastErrorFromErrno();
    return -1;
  }
  pid_t middle = fork();
  if (middle < 0) {
    setLastErrorFromErrno();
    close(report[0]);
    close(report[1]);
    return -1;
  }
  if (middle == 0) {
    close(report[0]);
    setsid();
    pid_t program_pid = fork();
    if (program_pid == 0) {
      closeInheritedDescriptors(report[1]);
      int devNull = open("/dev/null", O_RDONLY);
      if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        if (devNull != STDIN_FILENO) close(devNull);
      }
      if (!outputPath.empty()) {
        int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (out >= 0) {
          dup2(out, STDOUT_FILENO);
          dup2(out, STDERR_FILENO);
        }
      }
      execve(program.c_str(), argv.data(), environ);
      const Report failed{kExecFailed, errno};
      (void)!write(report[1], &failed, sizeof failed);
      _exit(127);
    }
    const Report started = program_pid > 0 ? Report{kStarted, program_pid} : Report{kForkFailed, errno};
    (void)!write(report[1], &started, sizeof started);
    _exit(0);
  }

  // The two reports may come in either order; each is one atomic write.
  close(report[1]);
  pid_t pid = -1;
  int error = 0;
  Report received{};
  while (readAll(report[0], &received, sizeof received)) {
    if (received.kind == kStarted) {
      pid = received.value;
    } else {
      error = received.value != 0 ? received.value : ECHILD;
    }
  }
  close(report[0]);
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  if (error != 0 || pid <= 0) {
    setLastErrorFromErrno(error != 0 ? error : ECHILD);
    return -1;
  }
  return pid;
}

ProcessWatch::ProcessWatch(pid_t pid) : pid_(pid) {
  long fd = syscall(SYS_pidfd_open, pid, 0);
  if (fd < 0) {
    setLastErrorFromErrno();
    return;
  }
  fd_ = static_cast<int>(fd);
  fcntl(fd_, F_SETFD, FD_CLOEXEC);
}

ProcessWatch::ProcessWatch(ProcessWatch&& other) noexcept : fd_(other.fd_), pid_(other.pid_) {
  other.fd_ = -1;
}

ProcessWatch& ProcessWatch::operator=(ProcessWatch&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.fd_;
    pid_ = other.pid_;
    other.fd_ = -1;
  }
  return *this;
}

ProcessWatch::~ProcessWatch() {
  if (fd_ >= 0) close(fd_);
}

bool ProcessWatch::hasEnded() const {
  if (fd_ < 0) return true;
  pollfd pfd{fd_, POLLIN, 0};
  return poll(&pfd, 1, 0) > 0;
}

}  // namespace kmx
