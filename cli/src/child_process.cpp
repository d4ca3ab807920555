#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace vx::cli {

pid_t startChild(const ChildSpec& spec) {
  std::vector<char*> argv;
  for (const std::string& word : spec.argv) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // The child: only async-signal-safe calls until exec. vexctl blocks the
  // signals its watcher thread takes; the helper must get them again.
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  const int null = ::open("/dev/null", O_RDWR);
  ::dup2(spec.stdinFd >= 0 ? spec.stdinFd : null, STDIN_FILENO);
  ::dup2(null, STDOUT_FILENO);
  ::dup2(null, STDERR_FILENO);
  if (spec.reportFd >= 0) ::dup2(spec.reportFd, 3);
  // Its own process group: a Ctrl-C at the terminal reaches vexctl, which
  // then ends its helpers in order.
  ::setpgid(0, 0);
  ::execvp(argv[0], argv.data());
  ::_exit(127);
}

bool waitChild(pid_t pid, int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    const pid_t got = ::waitpid(pid, nullptr, WNOHANG);
    if (got == pid || got < 0) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void stopChild(pid_t pid, int graceMs) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  if (!waitChild(pid, graceMs)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
}

bool processRuns(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return false;
  auto close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

std::vector<pid_t> childrenOf(pid_t parent) {
  std::vector<pid_t> children;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string text;
    if (!std::getline(stat, text)) continue;
    // pid (comm) state ppid ...: the name may hold spaces and brackets.
    const auto close = text.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(text.substr(close + 1));
    std::string state;
    long ppid = 0;
    if (rest >> state >> ppid && ppid == parent && state != "Z") children.push_back(std::stoi(name));
  }
  return children;
}

void endProcesses(const std::vector<pid_t>& pids, int graceMs) {
  std::vector<pid_t> live;
  for (pid_t pid : pids) {
    if (pid > 0 && ::kill(pid, SIGTERM) == 0) live.push_back(pid);
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  auto running = [&] {
    bool any = false;
    for (pid_t pid : live) {
      ::waitpid(pid, nullptr, WNOHANG);  // ours: reaped; others: no effect
      any = any || processRuns(pid);
    }
    return any;
  };
  while (running() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (pid_t pid : live) {
    if (!processRuns(pid)) continue;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
}

std::string programDirectory() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().string();
}

}  // namespace vx::cli
