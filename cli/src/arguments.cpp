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
    CommandShape{"state", 0, 0},    CommandShape{"nv", 1, 3},         CommandShape{"help", 0, 0},
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
      inv.port = value();
      if (inv.port.empty()) throw UsageError("--port needs a port name");
    } else if (word == "--baud" || word == "-b") {
      inv.baud = parseBaud(value());
    } else if (word == "--spc") {
      inv.spc = value();
    } else if (word == "--report") {
      inv.report = value();
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
  if (inv.help) return inv;
  if (positional.empty()) throw UsageError("no command given");

  inv.command = positional.front();
  inv.words.assign(positional.begin() + 1, positional.end());
  const CommandShape* shape = findShape(kCommands, inv.command);
  if (shape == nullptr) throw UsageError("unknown command '" + inv.command + "'");
  checkCount(*shape, inv.words.size(), inv.command);
  if (inv.command == "nv") {
    const CommandShape* nv = findShape(kNvCommands, inv.words.front());
    if (nv == nullptr) throw UsageError("nv: unknown command '" + inv.words.front() + "' (items, get, set, tree)");
    checkCount(*nv, inv.words.size() - 1, "nv " + inv.words.front());
  }
  if (inv.command == "help") {
    inv.help = true;
    return inv;
  }

  // Options that belong to one command are refused elsewhere.
  const bool commits = inv.command == "set" || inv.command == "call" ||
                       (inv.command == "nv" && inv.words.front() == "set");
  if (inv.noCommit && !commits) throw UsageError("--no-commit belongs to set, call and nv set");
  if ((inv.dryRun || inv.report) && inv.command != "restore") throw UsageError("--dry-run and --report belong to restore");
  if (inv.names && inv.command != "list") throw UsageError("--names belongs to list");
  if (inv.yes && inv.command != "restore") throw UsageError("--yes belongs to restore");
  if (inv.noSafetyCopy && inv.command != "restore" && inv.command != "download") {
    throw UsageError("--no-safety-copy belongs to restore and download");
  }
  if (!inv.port.empty() && inv.sim) throw UsageError("--port and --sim exclude each other");
  if (needsUt(inv) && inv.port.empty() && !inv.sim) throw UsageError(inv.command + " needs --port PORT or --sim");
  return inv;
}

bool needsUt(const Invocation& invocation) {
  return invocation.command != "list" && invocation.command != "help" && !invocation.help;
}

const char* usageLine() {
  return "usage: vexctl (--port PORT | --sim) [--baud B] [--spc CODE] [--json] COMMAND ...";
}

const char* helpText() {
  return "usage: vexctl (--port PORT | --sim) [--baud B] [--spc CODE] [--json] COMMAND ...\n"
         "Services a UT through the script server (D-Bus service UTVEX.Script).\n"
         "\n"
         "Options:\n"
         "  --port PORT        the UT's serial port (ttyUSB0, /dev/ttyS0, or a simulator port)\n"
         "  --sim              start a simulated UT for this run and use it\n"
         "  --baud B           link rate: 9600, 19200, 38400, 57600 or 115200 (default)\n"
         "  --spc CODE         service programming code (default 000000)\n"
         "  --json             print the result as JSON\n"
         "\n"
         "Commands:\n"
         "  info                        the UT's identity and versions\n"
         "  get NAME [INDEX...]         read a property of the script object\n"
         "  set NAME [INDEX...] VALUE   change a property and commit it (--no-commit: stage only)\n"
         "  list [--names]              every member with its type and limits (no UT needed)\n"
         "  call METHOD [ARG...]        call a method of the script object (commits unless --no-commit)\n"
         "  backup FILE                 save every NV item to FILE\n"
         "  restore FILE [--report R] [--dry-run] [--no-safety-copy] [--yes]\n"
         "                              write FILE's NV items to the UT; --dry-run: only the report;\n"
         "                              a FILE that lacks some of the UT's items is told, and on a\n"
         "                              terminal asked about (--yes: no question)\n"
         "  download FILE [--no-safety-copy]\n"
         "                              software or boot block, by the file's S0 header\n"
         "                              restore and download first save the UT's settings to\n"
         "                              $XDG_STATE_HOME/utvex/safety-copies (the message names the file)\n"
         "  reset                       restart the UT\n"
         "  state                       the link state on the port\n"
         "  nv items | nv get PATH | nv set PATH VALUE | nv tree ITEM\n"
         "                              raw NV items by path\n"
         "\n"
         "Exit status: 0 success, 1 a UT or link failure, 2 bad usage.\n";
}

}  // namespace vx::cli
