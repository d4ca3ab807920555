// Cross-process tests run a second process from the same test binary: a helper
// is a named function registered with KMX_TEST_HELPER, started with
// HelperProcess. The helper inherits the environment (and so the test's
// runtime directory) and talks back through its standard output.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace kmx::testing {

using HelperMain = std::function<int(const std::vector<std::string>& args)>;

bool registerHelper(const std::string& name, HelperMain fn);

// Called by the test main: runs the helper named on the command line, if any,
// and returns true with its exit code in `exitCode`.
bool runHelperIfRequested(int argc, char** argv, int* exitCode);

// Writes one line to the parent (flushed at once).
void tellParent(const std::string& line);

class HelperProcess {
 public:
  HelperProcess(const std::string& name, const std::vector<std::string>& args = {});
  ~HelperProcess();  // kills the helper if it still runs
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  pid_t pid() const { return pid_; }
  // The next line the helper wrote, or "" when it wrote none within timeoutMs
  // or ended.
  std::string readLine(int timeoutMs = 10000);
  // Waits for the helper to end; its exit code, 128 + signal when killed.
  int wait();
  void kill(int signal = 9);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string pending_;
  bool reaped_ = false;
  int status_ = -1;
};

}  // namespace kmx::testing

#define KMX_TEST_HELPER(name)                                                \
  static int kmxHelper_##name(const std::vector<std::string>& args);         \
  [[maybe_unused]] static const bool kmxHelperRegistered_##name =            \
      ::kmx::testing::registerHelper(#name, kmxHelper_##name);               \
  static int kmxHelper_##name([[maybe_unused]] const std::vector<std::string>& args)
