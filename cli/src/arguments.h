// The command line of vexctl: global options, the command and its words.
// Options may stand before or after the command; "--" ends them, and a
// word such as "-1" is a value, not an option.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vx::cli {

// Bad usage: exit status 2 with the message and the usage line.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Invocation {
  std::string port;          // --port: the first one given (the phone's, once per phone)
  std::vector<std::string> ports;  // every --port, in order
  bool allPorts = false;     // --all-ports: every port `vexctl ports` lists
  bool sim = false;          // --sim
  int32_t baud = 115200;     // --baud
  std::string spc = "000000";  // --spc
  bool json = false;         // --json
  bool noCommit = false;     // --no-commit (set, call)
  bool dryRun = false;       // --dry-run (restore)
  std::optional<std::string> report;  // --report (restore)
  bool noSafetyCopy = false;  // --no-safety-copy (restore, download)
  bool yes = false;           // --yes: no questions (restore, download)
  bool bootBlock = false;     // --boot-block: a boot block may be written (download)
  bool verbose = false;       // --verbose: the whole report (restore)
  std::optional<int> timeoutSeconds;  // --timeout: the whole run's limit
  bool names = false;        // --names (list)
  bool help = false;         // --help, help [COMMAND]
  bool version = false;      // --version
  std::string helpTopic;     // the command whose help is asked for ("" for all)
  std::string command;       // info, get, ...; "nv" keeps its subcommand in words[0]
  std::vector<std::string> words;  // the command's own words
};

// Parses argv (without the program name); throws UsageError.
Invocation parseArguments(const std::vector<std::string>& argv);

// Whether the command talks to a UT (and so needs --port or --sim).
bool needsUt(const Invocation& invocation);

// The one-line usage and the full help text.
const char* usageLine();
const char* helpText();
// One command's help ("nv", "backup", ...); nullptr for an unknown name.
const char* commandHelp(const std::string& command);

// The exit status of a run that --timeout ended.
inline constexpr int kTimedOutStatus = 124;

}  // namespace vx::cli
