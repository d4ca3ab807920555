#include "kmx/testing/helper_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

extern char** environ;

namespace kmx::testing {
namespace {

constexpr const char* kHelperFlag = "--kmx-helper";

std::map<std::string, HelperMain>& helpers() {
  static std::map<std::string, HelperMain> table;
  return table;
}

}  // namespace

bool registerHelper(const std::string& name, HelperMain fn) {
  helpers()[name] = std::move(fn);
  return true;
}

bool runHelperIfRequested(int argc, char** argv, int* exitCode) {
  if (argc < 3 || std::strcmp(argv[1], kHelperFlag) != 0) return false;
  auto it = helpers().find(argv[2]);
  if (it == helpers().end()) {
    std::fprintf(stderr, "no test helper named %s\n", argv[2]);
    *exitCode = 99;
    return true;
  }
  std::vector<std::string> args(argv + 3, argv + argc);
  *exitCode = it->second(args);
  return true;
}

void tellParent(const std::string& line) {
  std::string text = line + "\n";
  (void)!write(STDOUT_FILENO, text.data(), text.size());
}

HelperProcess::HelperProcess(const std::string& name, const std::vector<std::string>& args) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  std::vector<std::string> argvStrings = {"/proc/self/exe", kHelperFlag, name};
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argvPtrs;
  for (auto& s : argvStrings) argvPtrs.push_back(s.data());
  argvPtrs.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  int rc = posix_spawn(&pid_, "/proc/self/exe", &actions, nullptr, argvPtrs.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  out_ = pipeFds[0];
  if (rc != 0) throw std::runtime_error("posix_spawn failed");
}

HelperProcess::~HelperProcess() {
  if (!reaped_) {
    kill(SIGKILL);
    wait();
  }
  if (out_ >= 0) close(out_);
}

std::string HelperProcess::readLine(int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto newline = pending_.find('\n');
    if (newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return line;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return "";
    pollfd pfd{out_, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left)) <= 0) continue;
    char chunk[256];
    ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) return "";
    pending_.append(chunk, static_cast<size_t>(n));
  }
}

int HelperProcess::wait() {
  if (!reaped_) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  return status_;
}

void HelperProcess::kill(int signal) {
  if (!reaped_) ::kill(pid_, signal);
}

}  // namespace kmx::testing
