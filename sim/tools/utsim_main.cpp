// utsim: runs simulated UTs, one per port in the port directory, until it is
// told to quit (the control command "quit", or SIGINT/SIGTERM). Control
// commands come from standard input and, optionally, from a Unix stream
// socket; with several phones, "@PORT command" speaks to one of them.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kmx/sim/ut_simulator.h"

namespace {

const char kUsage[] =
    "Usage: utsim [options]\n"
    "Serves a simulated UT on a serial port in the port directory, for tests and demos.\n"
    "\n"
    "Options:\n"
    "  --port NAME        name of the port entry (default UT1); repeat it for\n"
    "                     more phones, each with the next ESN\n"
    "  --count N          N phones on the ports <name>1 .. <name>N, <name> being\n"
    "                     the --port name without its trailing digits (default UT)\n"
    "  --port-dir DIR     port directory (default $KMX_PORT_DIR, else <runtime>/ports)\n"
    "  --pty              serve a pty instead of a simulator socket\n"
    "  --pacing           deliver bytes at the wire speed\n"
    "  --uart-fifo N      with --pacing, hand received bytes over as a UART with an\n"
    "                     N-byte receive FIFO does (N at a time, the rest after four\n"
    "                     quiet character times), not one at a time (1..64)\n"
    "  --trace            log every packet received and sent on standard error\n"
    "  --control PATH     also take control commands on a Unix stream socket at PATH\n"
    "  -c COMMAND         run a control command at start (may be repeated)\n"
    "\n"
    "The NV item catalogue (the UT software variant; see the control command\n"
    "\"catalogue\" below):\n"
    "  --main-model BYTE  main model byte of the model status item (default 0xc9)\n"
    "  --unicode-names    16-bit phone-book, last dialled and service provider names\n"
    "  --name-length N    length of the service provider name arrays: 12 or 33\n"
    "  --old-sms          SMS message boxes in the old layout (smsi_msg_type)\n"
    "  --old-directory    no display copy of the directory number (NV_UI_DIRECTORY_NUMBER_I)\n"
    "  --no-symbols       the version block gives a symbol information size of 0\n"
    "  --short-descriptors  the descriptor table misses the last three names' fields\n"
    "  --hostile-list inactive|dimension  a hostile UT's list after every item, of\n"
    "                     65535-byte arrays: 50 elements without a value\n"
    "                     (NV_HUGE_INACTIVE_LIST_I), or the list dimension 65535\n"
    "                     (NV_HUGE_DIMENSION_LIST_I)\n"
    "  --item-flags NAME=FLAGS  the descriptor table's flags of item NAME in place\n"
    "                     of the catalogue's 0, 2 or 4 (may be repeated)\n"
    "  --help             show this text\n"
    "\n"
    "Control commands are read line by line from standard input (and from the\n"
    "control socket); each is answered by one line, \"ok\", a value or \"error: ...\".\n"
    "\"quit\" ends the simulator; end of input on standard input does not.\n"
    "With several phones a command goes to every phone, each answer led by its\n"
    "port's name (\"UT2: ok\"), and \"@UT2 command\" goes to UT2 alone.\n"
    "\n";

struct Args {
  kmx::sim::SimulatorOptions options;
  std::vector<std::string> ports;
  unsigned count = 0;
  std::string controlPath;
  std::vector<std::string> commands;
};

constexpr unsigned kMaxPhones = 256;

bool validPortName(const std::string& name) { return !name.empty() && name.find('/') == std::string::npos; }

// The ports to serve, in order: the --count series, or the --port names.
std::vector<std::string> portNames(const Args& args) {
  if (args.count == 0) return args.ports.empty() ? std::vector<std::string>{"UT1"} : args.ports;
  std::string prefix = args.ports.empty() ? "UT" : args.ports.front();
  while (!prefix.empty() && prefix.back() >= '0' && prefix.back() <= '9') prefix.pop_back();
  if (prefix.empty()) prefix = "UT";
  std::vector<std::string> names;
  for (unsigned i = 1; i <= args.count; ++i) names.push_back(prefix + std::to_string(i));
  return names;
}

bool parse(int argc, char** argv, Args& args) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::fputs(kmx::sim::UtSimulator::controlHelp(), stdout);
      std::exit(0);
    } else if (arg == "--port") {
      if (!value(text) || !validPortName(text)) return false;
      args.ports.push_back(text);
    } else if (arg == "--count") {
      if (!value(text)) return false;
      char* end = nullptr;
      const unsigned long n = std::strtoul(text.c_str(), &end, 10);
      if (end == text.c_str() || *end != '\0' || n == 0 || n > kMaxPhones) return false;
      args.count = static_cast<unsigned>(n);
    } else if (arg == "--port-dir") {
      if (!value(text)) return false;
      setenv("KMX_PORT_DIR", text.c_str(), 1);
    } else if (arg == "--pty") {
      args.options.pty = true;
    } else if (arg == "--pacing") {
      args.options.pacing = true;
    } else if (arg == "--uart-fifo") {
      if (!value(text)) return false;
      char* end = nullptr;
      const unsigned long n = std::strtoul(text.c_str(), &end, 10);
      if (end == text.c_str() || *end != '\0' || n == 0 || n > 64) return false;
      args.options.uartFifoBytes = static_cast<uint32_t>(n);
    } else if (arg == "--trace") {
      args.options.trace = true;
    } else if (arg == "--control") {
      if (!value(args.controlPath)) return false;
    } else if (arg == "--main-model") {
      if (!value(text)) return false;
      char* end = nullptr;
      unsigned long model = std::strtoul(text.c_str(), &end, 0);
      if (*end != '\0' || model > 255) return false;
      args.options.catalogue.mainModel = static_cast<uint8_t>(model);
    } else if (arg == "--unicode-names") {
      args.options.catalogue.unicodePhoneBookNames = true;
    } else if (arg == "--name-length") {
      if (!value(text) || (text != "12" && text != "33")) return false;
      args.options.catalogue.nameArrayLength = static_cast<uint32_t>(std::stoul(text));
    } else if (arg == "--old-sms") {
      args.options.catalogue.oldSmsLayout = true;
    } else if (arg == "--old-directory") {
      args.options.catalogue.oldDirectoryNumber = true;
    } else if (arg == "--no-symbols") {
      args.options.catalogue.emptySymbolInformation = true;
    } else if (arg == "--short-descriptors") {
      args.options.catalogue.shortDescriptorTable = true;
    } else if (arg == "--hostile-list") {
      if (!value(text) || !kmx::sim::parseHostileList(text, args.options.catalogue.hostileList)) return false;
    } else if (arg == "--item-flags") {
      if (!value(text) || !kmx::sim::parseItemFlags(text, args.options.catalogue.itemFlags)) return false;
    } else if (arg == "-c") {
      if (!value(text)) return false;
      args.commands.push_back(text);
    } else {
      std::fprintf(stderr, "utsim: unknown option %s\n", arg.c_str());
      return false;
    }
  }
  return args.ports.size() <= kMaxPhones && (args.count == 0 || args.ports.size() <= 1);
}

int listenOn(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  unlink(path.c_str());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  return fd;
}

// Control input from one source: complete lines are run, answers written back.
struct LineSource {
  int in = -1;
  int out = -1;
  std::string pending;
};

struct Phone {
  std::string port;
  std::unique_ptr<kmx::sim::UtSimulator> sim;
};
using Phones = std::vector<Phone>;

// One control line's answer: from the one phone, or from the phone "@PORT"
// names, or from every phone with its port's name before each answer.
std::string answerLine(Phones& phones, const std::string& line) {
  auto oneLine = [](std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text + "\n";
  };
  if (phones.size() == 1) return oneLine(phones.front().sim->control(line));
  if (!line.empty() && line.front() == '@') {
    const std::size_t space = line.find(' ');
    const std::string port = line.substr(1, space == std::string::npos ? std::string::npos : space - 1);
    for (auto& phone : phones) {
      if (phone.port == port) {
        return oneLine(phone.sim->control(space == std::string::npos ? std::string() : line.substr(space + 1)));
      }
    }
    return "error: no phone on port " + port + "\n";
  }
  std::string answers;
  for (auto& phone : phones) answers += phone.port + ": " + oneLine(phone.sim->control(line));
  return answers;
}

// Returns false when the source asked to quit.
bool runLines(Phones& phones, LineSource& source) {
  std::size_t newline;
  while ((newline = source.pending.find('\n')) != std::string::npos) {
    std::string line = source.pending.substr(0, newline);
    source.pending.erase(0, newline + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "quit") return false;
    const std::string answer = answerLine(phones, line);
    (void)!write(source.out, answer.data(), answer.size());
  }
  if (source.pending.size() > 65536) source.pending.clear();  // a line that never ends
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  if (!parse(argc, argv, args)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  int signalFd = signalfd(-1, &signals, SFD_CLOEXEC);

  Phones phones;
  uint64_t esn = args.options.esn;
  for (const std::string& port : portNames(args)) {
    kmx::sim::SimulatorOptions options = args.options;
    options.portName = port;
    options.esn = esn++;
    phones.push_back(Phone{port, std::make_unique<kmx::sim::UtSimulator>(options)});
    kmx::sim::UtSimulator& sim = *phones.back().sim;
    if (!sim.start()) {
      std::fprintf(stderr, "utsim: %s: %s\n", port.c_str(), sim.lastError().c_str());
      return 1;
    }
    for (const auto& command : args.commands) {
      std::string answer = sim.control(command);
      if (answer.rfind("error", 0) == 0) {
        std::fprintf(stderr, "utsim: %s: %s\n", command.c_str(), answer.c_str());
        return 2;
      }
    }
  }
  int controlFd = -1;
  if (!args.controlPath.empty()) {
    controlFd = listenOn(args.controlPath);
    if (controlFd < 0) {
      std::fprintf(stderr, "utsim: cannot listen on %s\n", args.controlPath.c_str());
      return 1;
    }
  }
  for (auto& phone : phones) std::printf("utsim: serving %s\n", phone.sim->portPath().c_str());
  std::fflush(stdout);

  std::map<int, LineSource> sources;
  sources[STDIN_FILENO] = LineSource{STDIN_FILENO, STDOUT_FILENO, {}};
  bool running = true;
  while (running) {
    std::vector<pollfd> fds = {{signalFd, POLLIN, 0}};
    if (controlFd >= 0) fds.push_back({controlFd, POLLIN, 0});
    for (auto& [fd, source] : sources) fds.push_back({fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    for (const auto& p : fds) {
      if (p.revents == 0) continue;
      if (p.fd == signalFd) {
        running = false;
      } else if (p.fd == controlFd) {
        int client = accept4(controlFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) sources[client] = LineSource{client, client, {}};
      } else {
        LineSource& source = sources[p.fd];
        char buffer[4096];
        ssize_t n = read(p.fd, buffer, sizeof buffer);
        if (n <= 0) {
          if (p.fd != STDIN_FILENO) close(p.fd);
          sources.erase(p.fd);
          continue;
        }
        source.pending.append(buffer, static_cast<std::size_t>(n));
        if (!runLines(phones, source)) running = false;
      }
    }
  }
  for (auto& phone : phones) phone.sim->stop();
  if (controlFd >= 0) unlink(args.controlPath.c_str());
  return 0;
}
