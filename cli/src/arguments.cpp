#include "arguments.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace vx::cli {
namespace {

struct CommandShape {
  const char* name;
  std::size_t minWords;
  std::size_t maxWords;  // SIZE_MAX: any number
};

constexpr std::size_t kAny = static_cast<std::size_t>(-1);

constexpr std::array kCommands = {
    CommandShape{"info", 0, 0},     CommandShape{"get", 1, kAny},     CommandShape{"set", 2, kAny},
    CommandShape{"list", 0, 0},     CommandShape{"call", 1, kAny},    CommandShape{"backup", 1, 1},
    CommandShape{"restore", 1, 1},  CommandShape{"download", 1, 1},   CommandShape{"reset", 0, 0},
    CommandShape{"state", 0, 0},    CommandShape{"nv", 1, 3},         CommandShape{"help", 0, 1},
    CommandShape{"show", 1, 1},     CommandShape{"diff", 1, 2},       CommandShape{"check", 1, 1},
    CommandShape{"ports", 0, 0},
};

constexpr std::array kNvCommands = {
    CommandShape{"items", 0, 0},
    CommandShape{"get", 1, 1},
    CommandShape{"set", 2, 2},
    CommandShape{"tree", 1, 1},
};

const CommandShape* findShape(const auto& table, const std::string& name) {
  auto it = std::find_if(table.begin(), table.end(), [&](const CommandShape& s) { return name == s.name; });
  return it == table.end() ? nullptr : &*it;
}

void checkCount(const CommandShape& shape, std::size_t count, const std::string& what) {
  if (count < shape.minWords) throw UsageError(what + ": missing arguments");
  if (shape.maxWords != kAny && count > shape.maxWords) throw UsageError(what + ": too many arguments");
}

// A word that starts with "-" and then a digit is a (negative) value.
bool isOption(const std::string& word) {
  if (word.size() < 2 || word[0] != '-') return false;
  return !(word[1] >= '0' && word[1] <= '9');
}

int32_t parseBaud(const std::string& text) {
  int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  const std::array allowed = {9600, 19200, 38400, 57600, 115200};
  if (ec != std::errc() || end != text.data() + text.size() ||
      std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
    throw UsageError("--baud: one of 9600, 19200, 38400, 57600, 115200, not '" + text + "'");
  }
  return value;
}

int parseTimeout(const std::string& text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value <= 0) {
    throw UsageError("--timeout: a whole number of seconds above 0, not '" + text + "'");
  }
  return value;
}

}  // namespace

Invocation parseArguments(const std::vector<std::string>& argv) {
  Invocation inv;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    std::string word = argv[i];
    if (optionsEnded || !isOption(word)) {
      positional.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    std::optional<std::string> inlineValue;
    if (auto eq = word.find('='); word.starts_with("--") && eq != std::string::npos) {
      inlineValue = word.substr(eq + 1);
      word.resize(eq);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= argv.size()) throw UsageError(word + " needs a value");
      return argv[++i];
    };
    auto flag = [&](bool& target) {
      if (inlineValue) throw UsageError(word + " takes no value");
      target = true;
    };
    if (word == "--port" || word == "-p") {
      const std::string port = value();
      if (port.empty()) throw UsageError("--port needs a port name");
      if (std::find(inv.ports.begin(), inv.ports.end(), port) != inv.ports.end()) {
        throw UsageError("--port " + port + " given twice");
      }
      if (inv.ports.empty()) inv.port = port;
      inv.ports.push_back(port);
    } else if (word == "--all-ports") {
      flag(inv.allPorts);
    } else if (word == "--baud" || word == "-b") {
      inv.baud = parseBaud(value());
    } else if (word == "--spc") {
      inv.spc = value();
    } else if (word == "--report") {
      inv.report = value();
    } else if (word == "--timeout") {
      inv.timeoutSeconds = parseTimeout(value());
    } else if (word == "--boot-block") {
      flag(inv.bootBlock);
    } else if (word == "--verbose" || word == "-v") {
      flag(inv.verbose);
    } else if (word == "--version") {
      flag(inv.version);
    } else if (word == "--sim") {
      flag(inv.sim);
    } else if (word == "--json") {
      flag(inv.json);
    } else if (word == "--no-commit") {
      flag(inv.noCommit);
    } else if (word == "--dry-run") {
      flag(inv.dryRun);
    } else if (word == "--no-safety-copy") {
      flag(inv.noSafetyCopy);
    } else if (word == "--yes" || word == "-y") {
      flag(inv.yes);
    } else if (word == "--names") {
      flag(inv.names);
    } else if (word == "--help" || word == "-h") {
      flag(inv.help);
    } else {
      throw UsageError("unknown option " + word);
    }
  }
  if (inv.version) return inv;
  if (inv.help) {
    // "vexctl COMMAND --help": that command's own text.
    if (!positional.empty()) {
      inv.helpTopic = positional.front();
      if (commandHelp(inv.helpTopic) == nullptr) throw UsageError("unknown command '" + inv.helpTopic + "'");
    }
    return inv;
  }
  if (positional.empty()) throw UsageError("no command given");

  inv.command = positional.front();
  inv.words.assign(positional.begin() + 1, positional.end());
  const CommandShape* shape = findShape(kCommands, inv.command);
  if (shape == nullptr) throw UsageError("unknown command '" + inv.command + "'");
  checkCount(*shape, inv.words.size(), inv.command);
  if (inv.command == "help") {
    inv.help = true;
    if (!inv.words.empty()) {
      inv.helpTopic = inv.words.front();
      if (commandHelp(inv.helpTopic) == nullptr) throw UsageError("help: unknown command '" + inv.helpTopic + "'");
    }
    return inv;
  }
  if (inv.command == "nv") {
    const CommandShape* nv = findShape(kNvCommands, inv.words.front());
    if (nv == nullptr) throw UsageError("nv: unknown command '" + inv.words.front() + "' (items, get, set, tree)");
    checkCount(*nv, inv.words.size() - 1, "nv " + inv.words.front());
  }
  // Options that belong to one command are refused elsewhere.
  const bool commits = inv.command == "set" || inv.command == "call" ||
                       (inv.command == "nv" && inv.words.front() == "set");
  if (inv.noCommit && !commits) throw UsageError("--no-commit belongs to set, call and nv set");
  if ((inv.dryRun || inv.report) && inv.command != "restore") throw UsageError("--dry-run and --report belong to restore");
  if (inv.names && inv.command != "list") throw UsageError("--names belongs to list");
  if (inv.yes && inv.command != "restore" && inv.command != "download") {
    throw UsageError("--yes belongs to restore and download");
  }
  if (inv.bootBlock && inv.command != "download") throw UsageError("--boot-block belongs to download");
  if (inv.verbose && inv.command != "restore") throw UsageError("--verbose belongs to restore");
  if (inv.noSafetyCopy && inv.command != "restore" && inv.command != "download") {
    throw UsageError("--no-safety-copy belongs to restore and download");
  }
  if (!inv.port.empty() && inv.sim) throw UsageError("--port and --sim exclude each other");
  if (inv.allPorts && (inv.sim || !inv.port.empty())) throw UsageError("--all-ports excludes --port and --sim");
  if ((inv.allPorts || inv.ports.size() > 1) && !needsUt(inv)) {
    throw UsageError(inv.command + " serves one phone at a time: several ports are for UT commands");
  }
  if (inv.command == "diff" && inv.words.size() == 2 && (!inv.port.empty() || inv.sim)) {
    throw UsageError("diff: two files are compared with each other; diff FILE --port PORT compares one with the UT");
  }
  if (needsUt(inv) && inv.port.empty() && !inv.sim && !inv.allPorts) {
    throw UsageError(inv.command + " needs --port PORT or --sim");
  }
  return inv;
}

bool needsUt(const Invocation& invocation) {
  const std::string& c = invocation.command;
  if (c == "show" || c == "check" || c == "ports" || (c == "diff" && invocation.words.size() == 2)) return false;
  return c != "list" && c != "help" && !invocation.help;
}

const char* usageLine() {
  return "usage: vexctl (--port PORT... | --all-ports | --sim) [--baud B] [--spc CODE] [--json] [--timeout S] COMMAND ...";
}

const char* helpText() {
  return "usage: vexctl (--port PORT... | --all-ports | --sim) [--baud B] [--spc CODE] [--json] [--timeout S] COMMAND ...\n"
         "Services a UT through the script server (D-Bus service UTVEX.Script).\n"
         "\n"
         "Options:\n"
         "  --port PORT        the UT's serial port (ttyUSB0, /dev/ttyS0, or a simulator port)\n"
         "                     repeated: the same command on each phone at once\n"
         "  --all-ports        the command on every port `vexctl ports` lists, at once\n"
         "  --sim              start a simulated UT for this run and use it\n"
         "  --baud B           link rate: 9600, 19200, 38400, 57600 or 115200 (default)\n"
         "  --spc CODE         service programming code (default 000000)\n"
         "  --json             print the result as JSON\n"
         "  --timeout S        give up after S seconds (exit status 124); by default a UT job may\n"
         "                     wait 30 minutes, a download 2 hours\n"
         "  --help             this text; COMMAND --help or help COMMAND: that command's\n"
         "  --version          the program's version\n"
         "\n"
         "Commands:\n"
         "  info                        the UT's identity and versions\n"
         "  get NAME [INDEX...]         read a property of the script object\n"
         "  set NAME [INDEX...] VALUE   change a property and commit it (--no-commit: stage only)\n"
         "  list [--names]              every member with its type and limits (no UT needed)\n"
         "  call METHOD [ARG...]        call a method of the script object (commits unless --no-commit)\n"
         "  backup FILE                 save every NV item to FILE\n"
         "  restore FILE [--report R] [--verbose] [--dry-run] [--no-safety-copy] [--yes]\n"
         "                              write FILE's NV items to the UT\n"
         "  download FILE [--boot-block] [--yes] [--no-safety-copy]\n"
         "                              software, or with --boot-block a boot block\n"
         "  reset                       restart the UT\n"
         "  state                       the link state on the port\n"
         "  nv items | nv get PATH | nv set PATH VALUE | nv tree ITEM\n"
         "                              raw NV items by path\n"
         "  help [COMMAND]              the help of one command\n"
         "\n"
         "Without a UT:\n"
         "  show FILE                   a backup file's header, items and values\n"
         "  diff A B | diff FILE (--port PORT | --sim)\n"
         "                              the items and values two backups (or a backup and the UT) differ in\n"
         "  check IMAGE                 whether a download would accept a software file\n"
         "  ports                       the serial ports of this machine and the simulator's\n"
         "\n"
         "Several phones: {port} and {esn} in file names are replaced per phone; two phones\n"
         "writing one file are refused before anything starts; on a terminal restore needs\n"
         "--yes and a boot block is asked about once; the result is a table (PORT, ESN,\n"
         "RESULT, TIME) or with --json an array of one record per phone.\n"
         "\n"
         "Exit status: 0 success, 1 a UT or link failure (with several phones: any phone's),\n"
         "2 bad usage, 124 --timeout expired, 128+N ended by signal N; diff: 0 the same,\n"
         "1 different, 2 trouble; check: 0 the file would be accepted, 1 not.\n";
}

const char* commandHelp(const std::string& command) {
  struct Entry {
    const char* name;
    const char* text;
  };
  static constexpr Entry kHelp[] = {
      {"info",
       "usage: vexctl (--port PORT | --sim) info\n"
       "The UT's identity and versions: ESN, model, software versions, dates.\n"},
      {"get",
       "usage: vexctl (--port PORT | --sim) get NAME [INDEX...]\n"
       "Reads a property of the script object. Properties with indexes (a NAM, a\n"
       "position) take them in order; `vexctl list` shows each property's indexes.\n"},
      {"set",
       "usage: vexctl (--port PORT | --sim) set NAME [INDEX...] VALUE [--no-commit]\n"
       "Changes a property, commits it to the UT and reads it back. With --no-commit\n"
       "the change is only staged: it ends with the run and the UT stays unchanged.\n"
       "Numbers are decimal or 0x-hex; dates YYYY-MM-DD [HH:MM:SS] or 'none'.\n"},
      {"list",
       "usage: vexctl list [--names]\n"
       "Every property and method of the script object with its indexes, type and\n"
       "limits, as the script server states them. --names: the names alone.\n"},
      {"call",
       "usage: vexctl (--port PORT | --sim) call METHOD [ARG...] [--no-commit]\n"
       "Calls a method of the script object and commits when it staged a change.\n"
       "A method that ends the session (Disconnect, the downloads) succeeds as such.\n"},
      {"backup",
       "usage: vexctl (--port PORT | --sim) backup FILE\n"
       "Saves every NV item of the UT to FILE (a new file is made 0600). The folder\n"
       "must exist; a failed backup leaves an earlier FILE as it was.\n"},
      {"restore",
       "usage: vexctl (--port PORT | --sim) restore FILE [--report R] [--verbose]\n"
       "                                      [--dry-run] [--no-safety-copy] [--yes]\n"
       "Writes FILE's NV items to the UT and prints the report's summary.\n"
       "  --report R        keep the per-item report in R\n"
       "  --verbose         print the per-item report too\n"
       "  --dry-run         write nothing; print what would change\n"
       "  --no-safety-copy  do not save the UT's settings first\n"
       "  --yes             no question when FILE lacks some of the UT's items\n"
       "The UT's settings are first saved to $XDG_STATE_HOME/utvex/safety-copies.\n"},
      {"download",
       "usage: vexctl (--port PORT | --sim) download FILE [--boot-block] [--yes]\n"
       "                                       [--no-safety-copy]\n"
       "Downloads a software image (S-records, plain or gzip) into the UT. A boot\n"
       "block (its S0 header starts with utbootbloc) needs --boot-block, and on a\n"
       "terminal a yes to the question (--yes answers it).\n"},
      {"reset",
       "usage: vexctl (--port PORT | --sim) reset\n"
       "Restarts the UT.\n"},
      {"state",
       "usage: vexctl (--port PORT | --sim) state\n"
       "The link state on the port: connected, link up and session starting, no link.\n"},
      {"nv",
       "usage: vexctl (--port PORT | --sim) nv items\n"
       "       vexctl (--port PORT | --sim) nv tree ITEM\n"
       "       vexctl (--port PORT | --sim) nv get PATH\n"
       "       vexctl (--port PORT | --sim) nv set PATH VALUE [--no-commit]\n"
       "Raw NV items by dotted path, for items that no setting covers.\n"},
      {"show",
       "usage: vexctl show FILE\n"
       "A backup file's header (model, NV numbers, NV version) and every item with its\n"
       "values, read as a restore reads it; a file it refuses is told with its line.\n"
       "No UT is needed.\n"},
      {"diff",
       "usage: vexctl diff A B\n"
       "       vexctl (--port PORT | --sim) diff FILE\n"
       "The items that differ between two backup files: added, removed, and changed\n"
       "with their old and new values. With a port, FILE is compared with what the UT\n"
       "holds now, read into a temporary backup; nothing on the UT changes.\n"
       "Exit status: 0 the same, 1 different, 2 trouble (a bad file, no UT).\n"},
      {"check",
       "usage: vexctl check IMAGE\n"
       "Checks a software or boot-block file (S-records, plain or gzip) as a download\n"
       "checks it: its kind, size, start address and the first refused record by its\n"
       "line. No UT is needed. Exit status: 0 it would be accepted, 1 not.\n"},
      {"ports",
       "usage: vexctl ports\n"
       "The serial ports of this machine (/dev/serial/by-id names first, then ttyS*,\n"
       "ttyUSB*, ttyACM*) with the device, the driver and whether you may open it (or\n"
       "the group that may), then the simulator's ports in the port directory.\n"},
      {"help",
       "usage: vexctl help [COMMAND]\n"
       "The help of vexctl, or of one command.\n"},
  };
  for (const Entry& entry : kHelp) {
    if (command == entry.name) return entry.text;
  }
  return nullptr;
}

}  // namespace vx::cli
