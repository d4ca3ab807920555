// Helper processes of one vexctl run (the private bus daemon, the script
// server, the simulated UT): started with chosen descriptors, ended by
// their process id.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vx::cli {

struct ChildSpec {
  std::vector<std::string> argv;
  int stdinFd = -1;   // -1: /dev/null
  int reportFd = -1;  // given to the child as descriptor 3 when >= 0
};

// Starts the program; -1 when fork fails. A program that cannot be
// executed ends at once with status 127. The child's standard output and
// error go to /dev/null: its messages would mix with vexctl's own.
pid_t startChild(const ChildSpec& spec);

// Waits up to `timeoutMs` for our child to end; true when it has (reaped).
bool waitChild(pid_t pid, int timeoutMs);

// Ends our child: SIGTERM, then after `graceMs` SIGKILL; always reaps it.
void stopChild(pid_t pid, int graceMs);

// Whether any process `pid` still runs (zombies count as ended).
bool processRuns(pid_t pid);

// The running children of `parent`, from /proc.
std::vector<pid_t> childrenOf(pid_t parent);

// How long a helper has to end after SIGTERM when a signal or --timeout
// ends the run.
inline constexpr int kEmergencyGraceMs = 3000;

// Ends processes that may or may not be ours: SIGTERM to each, then
// SIGKILL to those that still run after `graceMs`; reaps those that are our
// children. A helper whose loop is held by a UT that never answers does not
// see SIGTERM in time, and must not outlive the run.
void endProcesses(const std::vector<pid_t>& pids, int graceMs);

// The directory of the running program (for its sibling programs).
std::string programDirectory();

}  // namespace vx::cli
